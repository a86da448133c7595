// Everything the instrument search asks of one instrument: instrument in,
// findings out. Prints nothing and reads no settings, so that any thread
// may run it.
#pragma once

#include <cstdint>

#include "discovery/lxi_instrument.h"

// The instrument's identity (AskLxiIdentity), then its identification
// document over HTTP (GET /lxi/identification on the port of its announced
// _lxi._tcp service, else 80) and the network interfaces it describes.
// Every wait ends by the tick count deadlineMs; xid numbers the RPC calls.
LxiFindings AskLxiInstrument(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs);
