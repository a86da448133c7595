#include "discovery/local_addresses.h"

#include <vector>

#include "net/block_socket.h"

std::string LocalAddressList() {
  std::string list;
  for (const std::string &address : HostIPv4Addresses()) {
    list += address;
    list += ',';
  }
  if (list.empty()) list = "0.0.0.0,";
  return list;
}
