#include "discovery/local_addresses.h"

#include <vector>

#include "net/block_socket.h"

std::string LocalAddressList() {
  TTCPBlockSocket resolver;
  std::vector<std::string> addresses;
  resolver.ResolveHostAddresses(resolver.LocalHostName(), addresses);
  std::string list;
  for (const std::string &address : addresses) {
    if (address.find(':') != std::string::npos) continue;  // IPv6
    list += address;
    list += ',';
  }
  // Only IPv6 addresses: the list of a name that resolves to nothing.
  if (list.empty()) list = "0.0.0.0,";
  return list;
}
