// What an endpoint keeps of the operating system: its handle, addresses
// and the options that wait for the handle. Internal to net/.
#pragma once

#include <utility>
#include <vector>

#include "net/block_socket.h"
#include "net/socket_address.h"
#include "net/socket_platform.h"

struct TBlockSocket::State {
  explicit State(int type) : socketType(type) {}

  socket_t handle = invalid_socket;
  int socketType;  // SOCK_STREAM or SOCK_DGRAM
  SocketAddress local;
  SocketAddress peer;
  // Socket-level options (name, value) set before the handle existed;
  // applied in this order when it is made.
  std::vector<std::pair<int, int>> pendingOptions;
  // Receive queue size asked for (bytes, 0: the system's default); applied
  // when the handle is made.
  int receiveRoom = 0;
};

// Runs a socket call (a lambda returning its long result) again as long as
// a signal interrupts it.
template <typename Call>
long RetryInterrupted(Call call) {
  long result;
  do {
    result = call();
  } while (result < 0 && last_call_interrupted());
  return result;
}

// Largest piece one read hands back: also the cap of the readable count.
inline constexpr int kMaxReadSize = 65536;

// Codes the layer sets itself.
inline constexpr int kErrorNotSocket = 10038;       // no OS socket
inline constexpr int kErrorDestinationRequired = 10039;
