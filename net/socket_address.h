// Socket addresses of the layer: resolving address and port texts, and
// the numeric text of a resolved address. Internal to net/.
#pragma once

#include <string>

#include "net/block_socket.h"
#include "net/socket_platform.h"

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_type length = 0;  // 0: unset

  bool IsSet() const { return length > 0; }
  int Family() const { return IsSet() ? storage.ss_family : AF_UNSPEC; }
  const sockaddr *Get() const { return reinterpret_cast<const sockaddr *>(&storage); }
  sockaddr *Get() { return reinterpret_cast<sockaddr *>(&storage); }
  // The any-address of its family (0.0.0.0 or ::).
  bool IsAnyAddress() const;
};

// Resolves address and port for a socket of socketType (SOCK_STREAM or
// SOCK_DGRAM) into result. With TSocketFamily::Any and preferIP4, IPv4 is
// asked first and IPv6 only when that fails. The first address found is
// taken. The port is decimal text or a service name. 0, or the resolver's
// code as the layer reports it (result is then unset).
int ResolveSocketAddress(const std::string &address, const std::string &port,
                         TSocketFamily family, bool preferIP4, int socketType,
                         SocketAddress &result);

// Numeric text of an address: dotted IPv4, usual IPv6 form; "0.0.0.0"
// when unset.
std::string NumericHostText(const sockaddr *address, socklen_type length);
inline std::string NumericHostText(const SocketAddress &address) {
  return NumericHostText(address.Get(), address.length);
}
