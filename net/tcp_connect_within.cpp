// A TCP connect with a time limit: the socket is switched to non-blocking
// for the connect, the wait for its outcome is bounded, and the socket is
// blocking again afterwards.
#include <chrono>

#include "net/block_socket.h"
#include "net/block_socket_state.h"
#include "net/platform.h"
#include "net/socket_address.h"
#include "net/socket_errors.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#endif

namespace {

#ifdef _WIN32

bool SetBlocking(socket_t s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ::ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

bool ConnectPending() {
  const int code = WSAGetLastError();
  return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}

// 1 the connect has an outcome, 0 time-out, -1 failure. A failed connect
// shows in the exception set.
int WaitConnected(socket_t s, int timeoutMs) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{};
  limit.tv_sec = timeoutMs / 1000;
  limit.tv_usec = (timeoutMs % 1000) * 1000;
  const int result = ::select(0, nullptr, &writable, &failed, &limit);
  return result > 0 ? 1 : result;
}

#else

bool SetBlocking(socket_t s, bool blocking) {
  const int flags = ::fcntl(s, F_GETFL, 0);
  if (flags < 0) return false;
  return ::fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

bool ConnectPending() { return errno == EINPROGRESS || errno == EINTR; }

int WaitConnected(socket_t s, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    pollfd entry{};
    entry.fd = s;
    entry.events = POLLOUT;
    const int result = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (result > 0) return 1;
    if (result == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

#endif

// The outcome of a finished non-blocking connect: 0 or the system's code.
int PendingError(socket_t s) {
  int code = 0;
  socklen_type length = sizeof code;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&code), &length) != 0) {
    return last_socket_error();
  }
  return code;
}

}  // namespace

void TTCPBlockSocket::ConnectWithin(const std::string &address, const std::string &port, int timeoutMs) {
  error_code_ = 0;
  SocketAddress peer;
  error_code_ = ResolveSocketAddress(address, port, Family, PreferIP4, SOCK_STREAM, peer);
  if (error_code_ != 0) return;
  if (!HandleOpen() && !MakeHandle(peer.Family())) return;
  if (!SetBlocking(state_->handle, false)) {
    RecordSystemError();
    return;
  }
  if (::connect(state_->handle, peer.Get(), peer.length) != 0) {
    if (!ConnectPending()) {
      RecordSystemError();
    } else {
      const int ready = WaitConnected(state_->handle, timeoutMs > 0 ? timeoutMs : 0);
      if (ready < 0) {
        RecordSystemError();
      } else if (ready == 0) {
        error_code_ = kErrorTimedOut;
      } else if (const int code = PendingError(state_->handle); code != 0) {
        error_code_ = SocketErrorFromSystem(code);
      }
    }
  }
  if (error_code_ != 0) {
    // A connect that is still under way must not linger.
    CloseHandle();
    return;
  }
  SetBlocking(state_->handle, true);
  state_->peer = peer;
  RecordLocalAddress();
}
