#include "net/socket_platform.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "platform/platform.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left of a wait that began at start, never below 0.
int RemainingMs(Clock::time_point start, int timeoutMs) {
  const auto spent =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

// Waits go in slices: Ctrl-C is looked at before each (CheckInterrupt ends
// the run there), and a slice is never longer than kInterruptPollMs.
// left < 0: no limit.
int NextSliceMs(int left) {
  CheckInterrupt();
  return left < 0 ? kInterruptPollMs : std::min(left, kInterruptPollMs);
}

}  // namespace

#ifdef _WIN32

namespace {
bool g_service_started = false;
void StopSocketService() { WSACleanup(); }
}  // namespace

bool start_socket_service() {
  if (g_service_started) return true;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  if (data.wVersion != MAKEWORD(2, 2)) {
    WSACleanup();
    return false;
  }
  g_service_started = true;
  std::atexit(StopSocketService);
  return true;
}

socket_t open_socket(int family, int type, int protocol) {
  start_socket_service();
  return ::socket(family, type, protocol);
}

int close_socket(socket_t s) { return ::closesocket(s); }

int last_socket_error() { return WSAGetLastError(); }

bool last_call_interrupted() { return WSAGetLastError() == WSAEINTR; }

bool last_send_timed_out() { return WSAGetLastError() == WSAETIMEDOUT; }

// The limit of Windows' own blocking connect (about 21 s), kept by the
// waits in slices that Ctrl-C can end.
constexpr int kSystemConnectLimitMs = 21000;

int connect_within(socket_t s, const sockaddr *peer, socklen_type length, int timeoutMs) {
  if (timeoutMs <= 0) timeoutMs = kSystemConnectLimitMs;
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return -1;
  int error = 0;
  if (::connect(s, peer, length) != 0) {
    error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
      const Clock::time_point start = Clock::now();
      for (int left = timeoutMs;; left = RemainingMs(start, timeoutMs)) {
        // A failed connect shows in the exception set, a made one in the write set.
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        const int slice = NextSliceMs(left);
        timeval limit{};
        limit.tv_sec = slice / 1000;
        limit.tv_usec = (slice % 1000) * 1000;
        const int result = ::select(0, nullptr, &writable, &failed, &limit);
        if (result > 0) {
          int size = sizeof error;
          if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &size) != 0)
            error = WSAGetLastError();
          break;
        }
        if (result < 0) {
          error = WSAGetLastError();
          break;
        }
        if (left == 0) {
          error = WSAETIMEDOUT;
          break;
        }
      }
    }
  }
  u_long blocking = 0;
  ::ioctlsocket(s, FIONBIO, &blocking);
  WSASetLastError(error);
  return error == 0 ? 0 : -1;
}

bool readable_byte_count(socket_t s, int &count) {
  u_long value = 0;
  if (::ioctlsocket(s, FIONREAD, &value) != 0) return false;
  count = value > static_cast<u_long>(INT_MAX) ? INT_MAX : static_cast<int>(value);
  return true;
}

// select() on Windows: its set holds handles, not bit positions, so any
// handle value fits. The time-out is whole seconds plus microseconds.
int wait_readable(socket_t s, int timeoutMs) {
  const Clock::time_point start = Clock::now();
  for (int left = timeoutMs < 0 ? -1 : timeoutMs;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    const int slice = NextSliceMs(left);
    timeval limit{};
    limit.tv_sec = slice / 1000;
    limit.tv_usec = (slice % 1000) * 1000;
    const int result = ::select(0, &readable, nullptr, nullptr, &limit);
    if (result > 0) return 1;
    if (result < 0 && !last_call_interrupted()) return -1;
    if (left == 0) return 0;
    if (timeoutMs >= 0) left = RemainingMs(start, timeoutMs);
  }
}

namespace {
int ClampLength(std::size_t length) {
  return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}
}  // namespace

long send_bytes(socket_t s, const char *data, std::size_t length) {
  return ::send(s, data, ClampLength(length), send_flags);
}

long send_datagram(socket_t s, const char *data, std::size_t length, const sockaddr *to,
                   socklen_type toLength) {
  return ::sendto(s, data, ClampLength(length), send_flags, to, toLength);
}

long receive_bytes(socket_t s, char *buffer, std::size_t length) {
  return ::recv(s, buffer, ClampLength(length), 0);
}

long receive_datagram(socket_t s, char *buffer, std::size_t length, sockaddr *from,
                      socklen_type *fromLength) {
  return ::recvfrom(s, buffer, ClampLength(length), 0, from, fromLength);
}

int set_socket_option(socket_t s, int level, int name, int value) {
  const BOOL flag = value;
  return ::setsockopt(s, level, name, reinterpret_cast<const char *>(&flag), sizeof flag);
}

void grow_receive_buffer(socket_t s, int bytes) {
  int current = 0;
  int length = sizeof current;
  if (::getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char *>(&current), &length) == 0 &&
      current >= bytes) {
    return;
  }
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&bytes), sizeof bytes);
}

int set_send_timeout(socket_t s, int timeoutMs) {
  const DWORD limit = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0;
  return ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&limit), sizeof limit);
}

#else

bool start_socket_service() { return true; }

socket_t open_socket(int family, int type, int protocol) {
#ifdef SOCK_CLOEXEC
  return ::socket(family, type | SOCK_CLOEXEC, protocol);
#else
  const socket_t s = ::socket(family, type, protocol);
  if (s != invalid_socket) ::fcntl(s, F_SETFD, FD_CLOEXEC);
  return s;
#endif
}

int close_socket(socket_t s) { return ::close(s); }

int last_socket_error() { return errno; }

bool last_call_interrupted() { return errno == EINTR; }

// A blocking send whose SO_SNDTIMEO ran out before it handed over a byte.
bool last_send_timed_out() { return errno == EAGAIN || errno == EWOULDBLOCK; }

// The limit of Windows' own blocking connect, which this platform's would
// exceed by far (six SYN retries, about 127 s).
constexpr int kSystemConnectLimitMs = 21000;

// Started without blocking and waited for with poll(); a refusal or an
// unreachable network ends the wait as soon as the system knows it.
int connect_within(socket_t s, const sockaddr *peer, socklen_type length, int timeoutMs) {
  const int flags = ::fcntl(s, F_GETFL);
  if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) return ::connect(s, peer, length) == 0 ? 0 : -1;
  int error = 0;
  if (timeoutMs <= 0) timeoutMs = kSystemConnectLimitMs;
  if (::connect(s, peer, length) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) {
      const Clock::time_point start = Clock::now();
      for (int left = timeoutMs;; left = RemainingMs(start, timeoutMs)) {
        pollfd entry{};
        entry.fd = s;
        entry.events = POLLOUT;
        const int result = ::poll(&entry, 1, NextSliceMs(left));
        if (result > 0) {
          socklen_t size = sizeof error;
          if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
          break;
        }
        if (result < 0 && errno != EINTR) {
          error = errno;
          break;
        }
        if (left == 0) {
          error = ETIMEDOUT;
          break;
        }
      }
    }
  }
  ::fcntl(s, F_SETFL, flags);
  errno = error;
  return error == 0 ? 0 : -1;
}

bool readable_byte_count(socket_t s, int &count) {
  int value = 0;
  if (::ioctl(s, FIONREAD, &value) != 0) return false;
  count = value < 0 ? 0 : value;
  return true;
}

// poll() rather than select(): descriptors above FD_SETSIZE are safe.
int wait_readable(socket_t s, int timeoutMs) {
  const Clock::time_point start = Clock::now();
  for (int left = timeoutMs < 0 ? -1 : timeoutMs;;) {
    pollfd entry{};
    entry.fd = s;
    entry.events = POLLIN;
    const int result = ::poll(&entry, 1, NextSliceMs(left));
    // Errors and hang-ups count as readable: the read that follows
    // collects them.
    if (result > 0) return 1;
    if (result < 0 && !last_call_interrupted()) return -1;
    if (left == 0) return 0;
    if (timeoutMs >= 0) left = RemainingMs(start, timeoutMs);
  }
}

long send_bytes(socket_t s, const char *data, std::size_t length) {
  return ::send(s, data, length, send_flags);
}

long send_datagram(socket_t s, const char *data, std::size_t length, const sockaddr *to,
                   socklen_type toLength) {
  return ::sendto(s, data, length, send_flags, to, toLength);
}

long receive_bytes(socket_t s, char *buffer, std::size_t length) {
  return ::recv(s, buffer, length, 0);
}

long receive_datagram(socket_t s, char *buffer, std::size_t length, sockaddr *from,
                      socklen_type *fromLength) {
  return ::recvfrom(s, buffer, length, 0, from, fromLength);
}

int set_socket_option(socket_t s, int level, int name, int value) {
  return ::setsockopt(s, level, name, &value, sizeof value);
}

// Linux reports (and grants) twice the size asked for, the second half for
// its own bookkeeping; the request is capped at net.core.rmem_max unless
// the process may lift the cap (SO_RCVBUFFORCE, privileged processes).
void grow_receive_buffer(socket_t s, int bytes) {
  int current = 0;
  socklen_t length = sizeof current;
  if (::getsockopt(s, SOL_SOCKET, SO_RCVBUF, &current, &length) == 0 && current >= bytes) return;
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
#ifdef SO_RCVBUFFORCE
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
#endif
}

int set_send_timeout(socket_t s, int timeoutMs) {
  timeval limit{};
  if (timeoutMs > 0) {
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
  }
  return ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

#endif
