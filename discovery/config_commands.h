// Ethernet configuration of one power supply chosen by its MAC address:
// datagrams broadcast from every source address, no answer awaited.
#pragma once

#include <string>

// Each sends its datagrams from every source entry in turn and prints one
// closing line per entry. mac: the 6 bytes of the target supply.
void EnableDhcp(const std::string &mac);
// DHCP off, 2500 ms, the address of Settings (IP, mask, gateway), 300 ms,
// controller reset.
void SetStaticAddress(const std::string &mac);
void ResetController(const std::string &mac);
