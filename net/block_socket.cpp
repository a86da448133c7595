// The operations that TCP and UDP endpoints share: the lazy OS socket,
// pending options, bind, destination, the waiting receive and the codes.
#include "net/block_socket.h"

#include <algorithm>

#include "net/block_socket_state.h"
#include "net/socket_address.h"
#include "net/socket_errors.h"
#include "net/socket_platform.h"

TBlockSocket::TBlockSocket(int socketType) : state_(std::make_unique<State>(socketType)) {}

TBlockSocket::~TBlockSocket() { CloseHandle(); }

bool TBlockSocket::HandleOpen() const { return state_->handle != invalid_socket; }

void TBlockSocket::RecordSystemError() {
  error_code_ = SocketErrorFromSystem(last_socket_error());
}

bool TBlockSocket::ReadGaveBytes(long result) {
  if (result < 0) {
    RecordSystemError();
    return false;
  }
  if (result == 0) {
    error_code_ = kErrorConnectionReset;
    return false;
  }
  return true;
}

bool TBlockSocket::MakeHandle(int family) {
  state_->handle = open_socket(family, state_->socketType, 0);
  if (state_->handle == invalid_socket) {
    RecordSystemError();
    return false;
  }
  SetUpHandle();
  for (const auto &[name, value] : state_->pendingOptions) {
    set_socket_option(state_->handle, SOL_SOCKET, name, value);
  }
  state_->pendingOptions.clear();
  if (state_->receiveRoom > 0) grow_receive_buffer(state_->handle, state_->receiveRoom);
  return true;
}

void TBlockSocket::CloseHandle() {
  if (state_->handle == invalid_socket) return;
  close_socket(state_->handle);
  state_->handle = invalid_socket;
}

void TBlockSocket::RecordLocalAddress() {
  SocketAddress local;
  local.length = sizeof local.storage;
  if (::getsockname(state_->handle, local.Get(), &local.length) == 0) state_->local = local;
}

bool TBlockSocket::MayBind(const SocketAddress &) { return true; }

void TBlockSocket::PrepareHandle() {
  if (HandleOpen()) return;
  if (Family == TSocketFamily::IPv4) {
    error_code_ = 0;
    MakeHandle(AF_INET);
  } else if (Family == TSocketFamily::IPv6) {
    error_code_ = 0;
    MakeHandle(AF_INET6);
  }
}

void TBlockSocket::AllowBroadcast(bool enabled) {
  const int value = enabled ? 1 : 0;
  if (HandleOpen()) {
    set_socket_option(state_->handle, SOL_SOCKET, SO_BROADCAST, value);
  } else {
    state_->pendingOptions.emplace_back(SO_BROADCAST, value);
  }
}

void TBlockSocket::ReserveReceiveRoom(int datagrams, int datagramBytes) {
  // What the system keeps per queued datagram beside its bytes: Linux
  // charges the whole buffer the datagram arrived in (about 2 KiB from
  // most network adapters, less on loopback).
  constexpr std::int64_t kKeptPerDatagram = 2048;
  const std::int64_t bytes =
      std::max<std::int64_t>(datagrams, 0) * (std::max(datagramBytes, 0) + kKeptPerDatagram);
  state_->receiveRoom = static_cast<int>(std::min<std::int64_t>(bytes, 1 << 30));
  if (HandleOpen()) grow_receive_buffer(state_->handle, state_->receiveRoom);
}

void TBlockSocket::BindTo(const std::string &address, const std::string &port) {
  error_code_ = 0;
  if (!HandleOpen() && Family == TSocketFamily::Any && address == "0.0.0.0" && port == "0") {
    return;
  }
  SocketAddress local;
  error_code_ =
      ResolveSocketAddress(address, port, Family, PreferIP4, state_->socketType, local);
  if (error_code_ != 0) return;
  if (!HandleOpen() && !MakeHandle(local.Family())) return;
  if (!MayBind(local)) return;
  if (::bind(state_->handle, local.Get(), local.length) != 0) {
    RecordSystemError();
    return;
  }
  // With port 0 the system chose the port.
  state_->local = local;
  RecordLocalAddress();
}

void TBlockSocket::SetPeer(const std::string &address, const std::string &port) {
  error_code_ =
      ResolveSocketAddress(address, port, Family, PreferIP4, state_->socketType, state_->peer);
}

int TBlockSocket::SendText(std::string_view data) {
  error_code_ = 0;
  return SendBytes(data);
}

std::string TBlockSocket::ReceiveWaiting(int timeoutMs) {
  error_code_ = 0;
  if (!HandleOpen()) {
    error_code_ = kErrorNotSocket;
    return {};
  }
  int count = 0;
  if (!readable_byte_count(state_->handle, count)) {
    RecordSystemError();
    return {};
  }
  if (count == 0) {
    const int ready = wait_readable(state_->handle, timeoutMs);
    if (ready < 0) {
      RecordSystemError();
      return {};
    }
    if (ready == 0) {
      error_code_ = kErrorTimedOut;
      return {};
    }
    if (!readable_byte_count(state_->handle, count)) {
      RecordSystemError();
      return {};
    }
    if (count == 0) return ReadWhenNothingReadable();
  }
  return ReadOnce(std::min(count, kMaxReadSize));
}

std::string TBlockSocket::PeerAddress() const { return NumericHostText(state_->peer); }

std::string TBlockSocket::GetErrorDescEx() const { return GetErrorDesc(error_code_); }

std::string TBlockSocket::GetErrorDesc(int code) { return SocketErrorText(code); }

std::string FailureLine(std::string_view head, const TBlockSocket &socket) {
  std::string line(head);
  line += std::to_string(socket.ErrorCode());
  line += " : ";
  line += socket.GetErrorDescEx();
  return line;
}

bool StartSocketService() { return start_socket_service(); }
