// The portmapper question "on which TCP port is the VXI-11 core channel?",
// broadcast over UDP port 111, and its answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kPortmapperPort = 111;

// The 56-byte GETPORT call for program 395183 version 1 over TCP.
std::string BuildGetPortCall(std::uint32_t xid);

// The core channel's port from a reply to xid: false for any other reply,
// for a port of 0 (not registered: no instrument) and for one above 65535.
bool ReadGetPortReply(std::string_view reply, std::uint32_t xid, int &port);
