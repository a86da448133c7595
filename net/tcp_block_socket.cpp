// TCP endpoints: blocking connect (bounded in time), sends in pieces, reads of what is there,
// and the orderly close.
#include <algorithm>
#include <cstddef>

#include "net/block_socket.h"
#include "net/block_socket_state.h"
#include "net/socket_address.h"
#include "net/socket_platform.h"

namespace {
// A close reads at most this many pieces of late input before it gives
// up, so a peer that never stops sending cannot hold the close forever.
constexpr int kMaxDrainReads = 256;
}  // namespace

TTCPBlockSocket::TTCPBlockSocket() : TBlockSocket(SOCK_STREAM) {}

TTCPBlockSocket::~TTCPBlockSocket() {
  if (HandleOpen()) CloseEndpoint();
}

void TTCPBlockSocket::ConnectTo(const std::string &address, const std::string &port) {
  error_code_ = 0;
  SocketAddress peer;
  error_code_ = ResolveSocketAddress(address, port, Family, PreferIP4, SOCK_STREAM, peer);
  if (error_code_ != 0) return;
  if (!HandleOpen() && !MakeHandle(peer.Family())) return;
  if (connect_within(state_->handle, peer.Get(), peer.length, ConnectTimeoutMs) != 0) {
    RecordSystemError();
    return;
  }
  state_->peer = peer;
  RecordLocalAddress();
}

void TTCPBlockSocket::CloseEndpoint() {
  if (HandleOpen()) {
    if (error_code_ == 0) ::shutdown(state_->handle, shutdown_send);
    for (int reads = 0; reads < kMaxDrainReads; ++reads) {
      const std::string late = ReceiveWaiting(0);
      if (late.empty() || error_code_ != 0) break;
    }
    error_code_ = 0;
  }
  CloseHandle();
}

int TTCPBlockSocket::SendBytes(std::string_view data) {
  if (!HandleOpen()) {
    error_code_ = kErrorNotSocket;
    return 0;
  }
  const std::size_t chunk = SendMaxChunk > 0 ? static_cast<std::size_t>(SendMaxChunk) : 65536;
  set_send_timeout(state_->handle, SendTimeoutMs > 0 ? SendTimeoutMs : 0);
  std::size_t sent = 0;
  while (sent < data.size()) {
    const std::size_t piece = std::min(chunk, data.size() - sent);
    std::size_t done = 0;
    // One piece per send call; a blocking send may still take less.
    while (done < piece) {
      const long result =
          RetryInterrupted([&] { return send_bytes(state_->handle, data.data() + sent + done, piece - done); });
      if (result < 0) {
        RecordSystemError();
        if (last_send_timed_out()) error_code_ = kErrorTimedOut;
        return static_cast<int>(std::min<std::size_t>(sent + done, 0x7FFFFFFF));
      }
      done += static_cast<std::size_t>(result);
    }
    sent += piece;
  }
  return static_cast<int>(std::min<std::size_t>(sent, 0x7FFFFFFF));
}

std::string TTCPBlockSocket::ReadOnce(int count) {
  std::string data(static_cast<std::size_t>(count), '\0');
  const long result = RetryInterrupted([&] { return receive_bytes(state_->handle, data.data(), data.size()); });
  if (!ReadGaveBytes(result)) return {};
  data.resize(static_cast<std::size_t>(result));
  return data;
}

// Readable with nothing to read: the peer has closed (or reset) the
// connection.
std::string TTCPBlockSocket::ReadWhenNothingReadable() {
  error_code_ = kErrorConnectionReset;
  return {};
}
