// The search for LAN instruments: portmapper and multicast DNS queries from
// every source address, one entry per instrument, each one's identity.
#pragma once

#include <cstdint>

// Sends both queries from every source entry, listens for listenMs, then
// prints one block per instrument in address order with its identity, or
// " No LXI instrument found.".
void DiscoverLxiInstruments(std::int64_t listenMs);
