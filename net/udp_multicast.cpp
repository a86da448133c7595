// Multicast sending: the interface a multicast datagram leaves by, chosen
// by one of its local addresses.
#include "net/block_socket.h"
#include "net/block_socket_state.h"
#include "net/socket_address.h"
#include "net/socket_platform.h"

void TUDPBlockSocket::SendMulticastFrom(const std::string &address) {
  error_code_ = 0;
  if (!HandleOpen()) {
    error_code_ = kErrorNotSocket;
    return;
  }
  SocketAddress local;
  error_code_ = ResolveSocketAddress(address, "0", TSocketFamily::IPv4, true, SOCK_DGRAM, local);
  if (error_code_ != 0) return;
  const in_addr interfaceAddress = reinterpret_cast<const sockaddr_in *>(&local.storage)->sin_addr;
  if (::setsockopt(state_->handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char *>(&interfaceAddress),
                   sizeof interfaceAddress) != 0) {
    RecordSystemError();
    return;
  }
  // Responders on this host hear it too; the link-local hop limit of
  // multicast DNS.
  set_socket_option(state_->handle, IPPROTO_IP, IP_MULTICAST_LOOP, 1);
  set_socket_option(state_->handle, IPPROTO_IP, IP_MULTICAST_TTL, 255);
}
