// Asking one LAN instrument for its identity over TCP.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/lxi_instrument.h"

// The identity of instrument, its final line end removed: over the VXI-11
// core channel where the portmapper answered; else (or when that gave
// nothing) "*IDN?" over the announced raw SCPI port; else from its TXT
// keys. Every wait ends by the tick count deadlineMs. xid numbers the
// RPC calls. With /v a line tells of each way that failed.
std::string AskLxiIdentity(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs);
