// Plain OS sockets (net/platform.h) for the other side of a test, where an
// endpoint of the layer cannot stand in: listeners and peers that misbehave.
#pragma once

#include <string>

#include "net/socket_platform.h"

// A plain OS socket bound to address:port (port 0: the system picks),
// without address reuse. Closed at the end of the scope.
class PlainSocket {
 public:
  PlainSocket(int type, const char *address, int port) {
    start_socket_service();
    handle_ = open_socket(AF_INET, type, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<unsigned short>(port));
    inet_pton(AF_INET, address, &local.sin_addr);
    bound_ = handle_ != invalid_socket &&
             ::bind(handle_, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0;
  }
  ~PlainSocket() { Close(); }
  PlainSocket(const PlainSocket &) = delete;
  PlainSocket &operator=(const PlainSocket &) = delete;

  bool Bound() const { return bound_; }
  socket_t Handle() const { return handle_; }
  void Close() {
    if (handle_ != invalid_socket) close_socket(handle_);
    handle_ = invalid_socket;
  }
  int Port() const {
    sockaddr_in local{};
    socklen_type length = sizeof local;
    ::getsockname(handle_, reinterpret_cast<sockaddr *>(&local), &length);
    return ntohs(local.sin_port);
  }
  std::string PortText() const { return std::to_string(Port()); }

 private:
  socket_t handle_ = invalid_socket;
  bool bound_ = false;
};

// A port that nothing holds right now.
inline std::string FreePort(int type) {
  PlainSocket probe(type, "0.0.0.0", 0);
  return probe.PortText();
}

// A listening plain TCP socket on 127.0.0.1.
struct TcpListener {
  PlainSocket socket{SOCK_STREAM, "127.0.0.1", 0};
  TcpListener() { ::listen(socket.Handle(), 4); }
  socket_t Accept() { return ::accept(socket.Handle(), nullptr, nullptr); }
};

