#include "wire/rpc_message.h"

#include "wire/xdr.h"

namespace {
constexpr std::uint32_t kCall = 0;
constexpr std::uint32_t kReply = 1;
constexpr std::uint32_t kRpcVersion = 2;
constexpr std::uint32_t kAccepted = 0;
constexpr std::uint32_t kSuccess = 0;
// The largest authentication body the protocol allows.
constexpr std::size_t kMaxAuthBytes = 400;
}  // namespace

std::string BuildRpcCall(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                         std::uint32_t procedure, std::string_view arguments) {
  std::string call;
  for (const std::uint32_t word : {xid, kCall, kRpcVersion, program, version, procedure, 0u, 0u, 0u, 0u})
    AppendWord(call, word);
  call.append(arguments);
  return call;
}

bool ReadRpcReply(std::string_view message, std::uint32_t xid, std::size_t &results) {
  std::size_t at = 0;
  std::uint32_t replyXid = 0, type = 0, status = 0, flavor = 0, acceptStat = 0;
  std::string verifier;
  if (!ReadWord(message, at, replyXid) || replyXid != xid) return false;
  if (!ReadWord(message, at, type) || type != kReply) return false;
  if (!ReadWord(message, at, status) || status != kAccepted) return false;
  if (!ReadWord(message, at, flavor) || !ReadOpaque(message, at, kMaxAuthBytes, verifier)) return false;
  if (!ReadWord(message, at, acceptStat) || acceptStat != kSuccess) return false;
  results = at;
  return true;
}
