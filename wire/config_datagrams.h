// The configuration datagrams of a power supply, byte for byte. Addresses
// are the 32-bit form of Settings and go out first octet first. mac is the
// 6-byte MAC address of the target supply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// 15 bytes: 0x04, MAC, mode (0x01 DHCP on, 0x00 off), "8052719".
std::string DhcpModeDatagram(std::string_view mac, bool dhcpOn);

// 19 bytes: 0x01, MAC, IP address, subnet mask, gateway.
std::string AddressDatagram(std::string_view mac, std::uint32_t ip, std::uint32_t mask, std::uint32_t gateway);

// 7 bytes: 0x02, MAC.
std::string ResetDatagram(std::string_view mac);
