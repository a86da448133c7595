// What the instrument links share: deadlines and reading more of a stream.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "net/block_socket.h"
#include "platform/platform.h"

// The tick count timeoutMs from now.
inline std::uint64_t DeadlineIn(int timeoutMs) { return TickCountMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 0)); }

// Milliseconds left until deadline, at least 1 while some are left, 0 after.
inline int LeftMs(std::uint64_t deadline) {
  const std::uint64_t now = TickCountMs();
  return now >= deadline ? 0 : static_cast<int>(std::min<std::uint64_t>(deadline - now, 1 << 30));
}

// Appends what socket brings before deadline to buffer. 0 when bytes came,
// else the socket's error code (10060 when the deadline has passed).
inline int ReceiveMore(TBlockSocket &socket, std::string &buffer, std::uint64_t deadline) {
  const int left = LeftMs(deadline);
  if (left == 0) return kErrorTimedOut;
  buffer += socket.ReceiveWaiting(left);
  return socket.ErrorCode();
}

// Sends bytes, giving up when the peer takes nothing until deadline.
inline bool SendBefore(TBlockSocket &socket, std::string_view bytes, std::uint64_t deadline) {
  socket.SendTimeoutMs = std::max(1, LeftMs(deadline));
  socket.SendText(bytes);
  return socket.ErrorCode() == 0;
}
