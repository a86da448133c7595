// Discovery of the power supplies on the local network.
#pragma once

#include <cstdint>

// Broadcasts the query, listens for listenMs and prints one block per supply.
void DiscoverPowerSupplies(std::int64_t listenMs);
