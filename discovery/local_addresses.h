// The host's own IPv4 addresses, the source addresses of every broadcast.
#pragma once

#include <string>

// Dotted addresses each followed by ",", such as "10.0.0.5,192.168.1.20,";
// "0.0.0.0," when the host has none.
std::string LocalAddressList();
