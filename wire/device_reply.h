// The replies of power supplies: the text block of one reply, the
// duplicate test, and the clean-up of raw datagrams for verbose lines.
// Pure functions over bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where the fields of a reply stand: byte offsets and widths.
inline constexpr std::size_t kMacOffset = 0, kMacWidth = 6;
inline constexpr std::size_t kIpOffset = 6, kMaskOffset = 10, kGatewayOffset = 14;
inline constexpr std::size_t kSerialOffset = 18, kSerialWidth = 12;
inline constexpr std::size_t kPudOffset = 31, kPudWidth = 72;
inline constexpr std::size_t kDhcpStateOffset = 107;
// Shortest reply that carries the fields; one of exactly this length
// reports no DHCP state.
inline constexpr std::size_t kShortestReply = 106;

// A copy of bytes in which 0x00, 0x07, 0x08, 0x09, 0x0A, 0x0D and 0x1A
// each become a space; every other byte stays.
std::string SanitizeControlChars(std::string_view bytes);

struct DeviceListRecord;

// The block printed for one reply: "Message too short..." for 105 bytes or
// fewer; otherwise CR LF, then the serial number, MAC, IP address with the
// DHCP state, subnet mask and gateway lines, each ended by CR LF, and the
// "PUD:  [...]" line without an end. Every 0x00 byte is left out.
std::string FormatDeviceReply(std::string_view datagram);

// True when the first 6 bytes of the datagram (fewer if shorter) equal those
// of a stored entry byte for byte, length included: slots 0 to Count
// inclusive.
bool IsDuplicateReply(const DeviceListRecord &list, std::string_view datagram);
