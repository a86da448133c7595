#include "discovery/local_addresses.h"

// Placeholder until the socket layer lands.
std::string LocalAddressList() { return "127.0.0.1,"; }
