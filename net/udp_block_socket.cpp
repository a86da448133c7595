// UDP endpoints: one datagram per send and per read, the sender of each
// datagram as the next destination, and the shared listening port.
//
// Address reuse. Discovery binds a listener to 0.0.0.0:P and then, in the
// same process, senders to a local address on the same port P. Linux
// allows that only when both sockets carry SO_REUSEADDR, and Windows (as
// wine shows it) the same: the second bind fails with 10048 without it,
// and with 10013 when only the second socket sets it. So every UDP socket
// gets SO_REUSEADDR as soon as it is made.
// With reuse on both sides, though, a second listener on 0.0.0.0:P would
// share the port with a first one (Linux), or take it over from a program
// that holds it without reuse (Windows) or fail with 10013 (wine), where
// the user must see 10048 "Address already in use". So before a bind to
// the any-address on a fixed port, a plain socket without reuse tries the
// same bind first: when that fails, its code is the outcome and the real
// socket stays unbound. Binds to one local address (the senders) skip the
// check, since the process's own listener holds their port on purpose.
#include <string>

#include "net/block_socket.h"
#include "net/block_socket_state.h"
#include "net/socket_address.h"
#include "net/socket_platform.h"

namespace {

// Port of a resolved address, 0 for other families.
int PortOf(const SocketAddress &address) {
  if (address.Family() == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in *>(&address.storage)->sin_port);
  }
  if (address.Family() == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6 *>(&address.storage)->sin6_port);
  }
  return 0;
}

}  // namespace

TUDPBlockSocket::TUDPBlockSocket() : TBlockSocket(SOCK_DGRAM) {}

TUDPBlockSocket::~TUDPBlockSocket() { CloseHandle(); }

void TUDPBlockSocket::SetUpHandle() {
  set_socket_option(state_->handle, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool TUDPBlockSocket::MayBind(const SocketAddress &local) {
  if (!local.IsAnyAddress() || PortOf(local) == 0) return true;
  const socket_t probe = open_socket(local.Family(), SOCK_DGRAM, 0);
  if (probe == invalid_socket) return true;  // the real bind will tell
  const bool free = ::bind(probe, local.Get(), local.length) == 0;
  if (!free) RecordSystemError();
  close_socket(probe);
  return free;
}

// Records the destination; the platform's connect is not used, so
// datagrams from any source still arrive. A destination that does not
// resolve is reported, and no OS socket is made for it.
void TUDPBlockSocket::ConnectTo(const std::string &address, const std::string &port) {
  SetPeer(address, port);
  if (error_code_ != 0) return;
  if (!HandleOpen()) MakeHandle(state_->peer.Family());
}

void TUDPBlockSocket::CloseEndpoint() { CloseHandle(); }

int TUDPBlockSocket::SendBytes(std::string_view data) {
  if (!state_->peer.IsSet()) {
    error_code_ = kErrorDestinationRequired;
    return 0;
  }
  // A socket whose bind step failed before it was made: the system picks
  // the source address and port.
  if (!HandleOpen() && !MakeHandle(state_->peer.Family())) return 0;
  const long result = RetryInterrupted([&] {
    return send_datagram(state_->handle, data.data(), data.size(), state_->peer.Get(), state_->peer.length);
  });
  if (result < 0) {
    RecordSystemError();
    return 0;
  }
  return static_cast<int>(result);
}

// One datagram whatever its size (the readable count may cover more than
// one on some systems); its sender becomes the destination. An empty
// datagram delivers nothing: 10054, like a readable endpoint without data.
std::string TUDPBlockSocket::ReadOnce(int) {
  std::string data(static_cast<std::size_t>(kMaxReadSize), '\0');
  SocketAddress source;
  const long result = RetryInterrupted([&] {
    source.length = sizeof source.storage;
    return receive_datagram(state_->handle, data.data(), data.size(), source.Get(), &source.length);
  });
  if (!ReadGaveBytes(result)) return {};
  state_->peer = source;
  data.resize(static_cast<std::size_t>(result));
  return data;
}

// Readable with a count of 0: an empty datagram or the error report of an
// earlier send waits at the head of the queue. One read takes it away, so
// the datagrams behind it are not blocked, and the receive reports 10054.
std::string TUDPBlockSocket::ReadWhenNothingReadable() {
  std::string data = ReadOnce(kMaxReadSize);
  if (data.empty()) error_code_ = kErrorConnectionReset;
  return data;
}
