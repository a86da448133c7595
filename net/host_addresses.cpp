// The host's own IPv4 addresses: by host name on Windows, by interface
// elsewhere.
#include <string>
#include <vector>

#include "net/block_socket.h"
#include "net/socket_platform.h"

#ifdef _WIN32

std::vector<std::string> HostIPv4Addresses() {
  TTCPBlockSocket resolver;
  std::vector<std::string> resolved;
  resolver.ResolveHostAddresses(resolver.LocalHostName(), resolved);
  std::vector<std::string> addresses;
  for (const std::string &address : resolved) {
    // Leaves out IPv6 entries and the "0.0.0.0" of a name that resolves
    // to nothing.
    if (address.find(':') == std::string::npos && address != "0.0.0.0") addresses.push_back(address);
  }
  return addresses;
}

#else

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>

namespace {

struct InterfaceAddress {
  unsigned index;
  bool loopback;
  std::string dotted;
};

}  // namespace

std::vector<std::string> HostIPv4Addresses() {
  ifaddrs *list = nullptr;
  if (::getifaddrs(&list) != 0) return {};
  std::vector<InterfaceAddress> found;
  for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0) continue;
    char dotted[INET_ADDRSTRLEN] = {};
    const auto *address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
    if (::inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted) == nullptr) continue;
    found.push_back({::if_nametoindex(entry->ifa_name), (entry->ifa_flags & IFF_LOOPBACK) != 0, dotted});
  }
  ::freeifaddrs(list);

  // Interface order; the addresses of one interface as the system lists them.
  std::stable_sort(found.begin(), found.end(),
                   [](const InterfaceAddress &a, const InterfaceAddress &b) { return a.index < b.index; });
  const bool onlyLoopback =
      std::all_of(found.begin(), found.end(), [](const InterfaceAddress &a) { return a.loopback; });
  std::vector<std::string> addresses;
  for (const InterfaceAddress &address : found) {
    if (address.loopback && !onlyLoopback) continue;
    addresses.push_back(address.dotted);
  }
  return addresses;
}

#endif
