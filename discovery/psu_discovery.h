// Discovery of the power supplies on the local network.
#pragma once

#include <cstdint>
#include <string_view>

// Binds the listener, broadcasts the query, listens for listenMs
// (re-querying once half-way) and prints one block per new supply; with
// /a or /s it also talks to each new supply over TCP.
void DiscoverPowerSupplies(std::int64_t listenMs);
