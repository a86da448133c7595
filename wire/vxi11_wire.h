// The four VXI-11 core channel calls of a link (create, write, read,
// destroy), and their replies. Messages without their record mark.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::uint32_t kVxi11CoreProgram = 0x000607AF;
inline constexpr std::uint32_t kVxi11CoreVersion = 1;
// Reason bits of a device_read reply.
inline constexpr std::uint32_t kReadTermChar = 2;
inline constexpr std::uint32_t kReadEnd = 4;

// create_link: clientId, no lock, lockTimeoutMs, device name ("inst0").
std::string BuildCreateLink(std::uint32_t xid, std::uint32_t clientId, std::uint32_t lockTimeoutMs,
                            std::string_view device);
// device_write of data, with the END flag unless more of the message follows.
std::string BuildDeviceWrite(std::uint32_t xid, std::uint32_t link, std::uint32_t ioTimeoutMs,
                             std::uint32_t lockTimeoutMs, std::string_view data, bool end = true);
// device_read of up to requestSize bytes, no flags, no term character.
std::string BuildDeviceRead(std::uint32_t xid, std::uint32_t link, std::uint32_t requestSize,
                            std::uint32_t ioTimeoutMs, std::uint32_t lockTimeoutMs);
std::string BuildDestroyLink(std::uint32_t xid, std::uint32_t link);

// The results of each call's reply to xid; false when the message is not
// an accepted, successful reply to xid or its results are cut short.
// error is the device error (0: success).
bool ReadCreateLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                         std::uint32_t &link);
// The same with the largest device_write data the instrument takes.
bool ReadCreateLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                         std::uint32_t &link, std::uint32_t &maxReceiveSize);
bool ReadDeviceWriteReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                          std::uint32_t &size);
// data holds at most maxData bytes; a longer one makes the reply false.
bool ReadDeviceReadReply(std::string_view message, std::uint32_t xid, std::size_t maxData,
                         std::uint32_t &error, std::uint32_t &reason, std::string &data);
bool ReadDestroyLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error);

// The text of a device error code ("Device locked by another link").
std::string Vxi11ErrorText(std::uint32_t code);
// The device error of an I/O time-out.
inline constexpr std::uint32_t kVxi11IoTimeout = 15;
