// ONC RPC messages: the call header with empty credentials, and the header
// of a reply that was accepted and succeeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// xid, CALL, RPC version 2, program, version, procedure, AUTH_NONE
// credential and verifier, then the arguments as they are.
std::string BuildRpcCall(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                         std::uint32_t procedure, std::string_view arguments);

// True when message is a reply to xid that was accepted (any verifier of up
// to 400 bytes) with accept_stat SUCCESS; results is then the offset of the
// procedure's results.
bool ReadRpcReply(std::string_view message, std::uint32_t xid, std::size_t &results);
