// Ethernet configuration of one power supply chosen by its MAC address.
#pragma once

#include <string>

void EnableDhcp(const std::string &mac);
void SetStaticAddress(const std::string &mac);
void ResetController(const std::string &mac);
