// Asking one LAN instrument for its identity over TCP. Prints nothing and
// reads Settings only, so that any thread may run it.
#pragma once

#include <cstdint>

#include "discovery/lxi_instrument.h"

// Asks instrument for its identity: over the VXI-11 core channel where the
// portmapper answered; else (or when that gave nothing) "*IDN?" over the
// announced raw SCPI port; else over the announced HiSLIP port. Notes in
// findings the ways tried, the one that answered and its reply (final line
// end removed), and a line for each way that failed. Every wait ends by the
// tick count deadlineMs. xid numbers the RPC calls.
void AskLxiIdentity(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs,
                    LxiFindings &findings);
