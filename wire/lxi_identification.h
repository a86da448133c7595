// Reading an LXI instrument's identification document (the XML it serves
// at /lxi/identification): the network set-up of each of its IPv4
// interfaces.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The longest document read; a longer one is not read at all.
inline constexpr std::size_t kMaxIdentificationBytes = 1 << 16;

// The fields of one interface as the document gives them, white space
// around them removed; a field the document leaves out is empty.
struct LxiNetworkInterface {
  std::optional<std::string> Hostname, Mac, Ip, Mask, Gateway;
  std::optional<bool> Dhcp, AutoIp;  // DHCPEnabled, AutoIPEnabled ("true"/"false", "1"/"0")
};

// The interfaces of document: every element named Interface (by its local
// name, any namespace prefix) that holds one of the fields Hostname,
// IPAddress, SubnetMask, MACAddress, Gateway, DHCPEnabled, AutoIPEnabled,
// and whose IPType, where it has one, is IPv4; at most 16, each field cut
// at 255 bytes. The root must be LXIDevice or Device. False, with no
// interfaces, when the document is longer than kMaxIdentificationBytes,
// holds more than 1024 "<", is not well-formed XML or has another root.
bool ReadLxiIdentification(std::string_view document, std::vector<LxiNetworkInterface> &interfaces);

// How the interface got its address: "AutoIP" where AutoIP is on and the
// address is a link-local one (169.254.x.x), else "DHCP" where DHCP is on,
// else "Static" where the document says DHCP is off; "" where it does not
// say.
std::string AddressMode(const LxiNetworkInterface &interface);
