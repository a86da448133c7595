#include "session/http_get.h"

#include <algorithm>

#include "net/block_socket.h"
#include "platform/platform.h"

namespace {

// Milliseconds left until deadline, at least 1 while some are left, 0 after.
int LeftMs(std::uint64_t deadline) {
  const std::uint64_t now = TickCountMs();
  return now >= deadline ? 0 : static_cast<int>(std::min<std::uint64_t>(deadline - now, 1 << 30));
}

std::string ErrorText(const TTCPBlockSocket &socket) {
  return "failed with error code: " + std::to_string(socket.ErrorCode()) + " : " + socket.GetErrorDescEx();
}

}  // namespace

HttpFetch HttpGet(const std::string &address, int port, std::string_view path, std::uint64_t deadlineMs,
                  std::size_t maxBody) {
  HttpFetch fetch;
  TTCPBlockSocket socket;
  socket.Family = TSocketFamily::IPv4;
  socket.ConnectTimeoutMs = LeftMs(deadlineMs);
  if (socket.ConnectTimeoutMs == 0) {
    fetch.Failure = "timed out";
    return fetch;
  }
  socket.ConnectTo(address, std::to_string(port));
  if (socket.ErrorCode() == 0) {
    socket.SendTimeoutMs = std::max(1, LeftMs(deadlineMs));
    socket.SendText(BuildHttpGet(path, address));
  }
  if (socket.ErrorCode() != 0) {
    fetch.Failure = ErrorText(socket);
    socket.CloseEndpoint();
    return fetch;
  }
  std::string bytes;
  bool closed = false;
  for (;;) {
    fetch.State = ReadHttpReply(bytes, closed, maxBody, fetch.Reply);
    if (fetch.State != HttpState::Incomplete) break;
    const int left = LeftMs(deadlineMs);
    if (left == 0) {
      fetch.Failure = "timed out";
      break;
    }
    bytes += socket.ReceiveWaiting(left);
    const int code = socket.ErrorCode();
    if (code == kErrorTimedOut) continue;
    // Closed, reset or failed: what has come is all that will.
    if (code != 0) closed = true;
  }
  if (fetch.State == HttpState::Malformed) fetch.Failure = "gave a malformed reply";
  if (fetch.State == HttpState::TooLarge) fetch.Failure = "gave a reply over the size bound";
  socket.CloseEndpoint();
  return fetch;
}
