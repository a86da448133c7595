// Name look-ups: the host's own name and addresses, the name of an address,
// and the first IPv4 address of a host name.
#include <string>
#include <vector>

#include "net/block_socket.h"
#include "net/socket_address.h"
#include "net/socket_platform.h"

std::string TTCPBlockSocket::LocalHostName() {
  start_socket_service();
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "127.0.0.1";
  return name;
}

void TTCPBlockSocket::ResolveHostAddresses(const std::string &name,
                                           std::vector<std::string> &list) {
  list.clear();
  start_socket_service();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
    for (const addrinfo *entry = found; entry != nullptr; entry = entry->ai_next) {
      if (entry->ai_addr == nullptr) continue;
      list.push_back(NumericHostText(entry->ai_addr, static_cast<socklen_type>(entry->ai_addrlen)));
    }
    ::freeaddrinfo(found);
  }
  if (list.empty()) list.push_back("0.0.0.0");
}

std::string TTCPBlockSocket::ResolveAddressName(const std::string &address) {
  SocketAddress resolved;
  if (ResolveSocketAddress(address, "0", Family, PreferIP4, SOCK_STREAM, resolved) != 0) {
    return address;
  }
  char name[NI_MAXHOST] = {};
  if (::getnameinfo(resolved.Get(), resolved.length, name, sizeof name, nullptr, 0,
                    NI_NAMEREQD) != 0 ||
      name[0] == '\0') {
    return address;
  }
  return name;
}

std::string LookupHostAddress(const std::string &name) {
  SocketAddress resolved;
  if (ResolveSocketAddress(name, "0", TSocketFamily::IPv4, true, SOCK_STREAM, resolved) != 0) {
    return {};
  }
  return NumericHostText(resolved);
}
