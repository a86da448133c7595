// Asking one LAN instrument for its identity over TCP.
#pragma once

#include <cstdint>
#include <string>

#include "core/line_log.h"
#include "discovery/lxi_instrument.h"

// What asking one instrument gave: its identity ("" when none), and with
// /v a line for each way that failed, kept for the search to print.
struct LxiIdentityAnswer {
  std::string Idn;
  LineLog Lines{true, {}};
};

// The identity of instrument, its final line end removed: over the VXI-11
// core channel where the portmapper answered; else (or when that gave
// nothing) "*IDN?" over the announced raw SCPI port; else over the
// announced HiSLIP port; else from its TXT keys. Every wait ends by the tick count deadlineMs. xid numbers the
// RPC calls. Prints nothing and reads Settings only: the search asks
// several instruments at once, each on a worker thread.
LxiIdentityAnswer AskLxiIdentity(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs);
