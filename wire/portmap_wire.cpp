#include "wire/portmap_wire.h"

#include <cstddef>

#include "wire/rpc_message.h"
#include "wire/vxi11_wire.h"
#include "wire/xdr.h"

namespace {
constexpr std::uint32_t kPortmapperProgram = 100000;
constexpr std::uint32_t kPortmapperVersion = 2;
constexpr std::uint32_t kGetPort = 3;
constexpr std::uint32_t kProtocolTcp = 6;
}  // namespace

std::string BuildGetPortCall(std::uint32_t xid) {
  std::string arguments;
  for (const std::uint32_t word : {kVxi11CoreProgram, kVxi11CoreVersion, kProtocolTcp, 0u}) AppendWord(arguments, word);
  return BuildRpcCall(xid, kPortmapperProgram, kPortmapperVersion, kGetPort, arguments);
}

bool ReadGetPortReply(std::string_view reply, std::uint32_t xid, int &port) {
  std::size_t at = 0;
  std::uint32_t value = 0;
  if (!ReadRpcReply(reply, xid, at) || !ReadWord(reply, at, value) || at != reply.size()) return false;
  if (value == 0 || value > 65535) return false;
  port = static_cast<int>(value);
  return true;
}
