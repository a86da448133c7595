// A VXI-11 core channel link: the core port from the instrument's
// portmapper, one link created for the session, device_write with END on
// a message's last part, device_read until END, destroy_link at the end.
#include <cstdint>
#include <string>

#include "net/block_socket.h"
#include "session/instrument_link.h"
#include "session/link_io.h"
#include "wire/portmap_wire.h"
#include "wire/rpc_record.h"
#include "wire/vxi11_wire.h"
#include "wire/xdr.h"

namespace {

constexpr std::string_view kDefaultDevice = "inst0";
// The portmapper is asked again after each of these waits without an
// answer, until the look-up's limit.
constexpr int kPortmapperRetryMs = 250;
constexpr int kPortmapperLimitMs = 1000;
// What one device_read asks for, and the largest record taken for it.
constexpr std::uint32_t kReadRequestBytes = 1u << 20;
constexpr std::size_t kMaxRecordBytes = kReadRequestBytes + 1024;
constexpr std::size_t kMaxFragments = 4096;
// Replies to earlier calls (that timed out) skipped before a call's own.
constexpr int kMaxStaleReplies = 64;
// The part of a message one device_write carries when the instrument names
// no size, and the most whatever it names.
constexpr std::uint32_t kDefaultWriteBytes = 1024;
constexpr std::uint32_t kMaxWriteBytes = 1u << 20;
constexpr int kDestroyTimeoutMs = 1000;

class TVxi11Link : public TInstrumentLink {
 public:
  TVxi11Link(int corePort, std::uint32_t firstXid) : corePort_(corePort), xid_(firstXid) {}
  ~TVxi11Link() override { Close(); }
  bool Open(const LinkTarget &target, int timeoutMs) override;
  bool Write(std::string_view message, int timeoutMs) override;
  bool Read(std::string &reply, int timeoutMs, std::size_t maxBytes, bool &cut) override;
  void Close() override;
  bool IsOpen() const override { return linked_; }
  const char *ProtocolName() const override { return "VXI-11"; }

 private:
  bool OpenLink(const LinkTarget &target, int timeoutMs);
  // The core channel's port from the portmapper at target; 0 with the
  // failure set when it does not answer.
  int AskCorePort(const LinkTarget &target, std::uint64_t deadline);
  // One RPC: the call sent, the reply with its xid into reply_.
  bool Call(const std::string &call, std::uint32_t xid, std::uint64_t deadline);
  // A device error as the failure: 15 is a time-out, others the protocol's.
  bool DeviceError(std::uint32_t error);
  bool SocketFailed(int code, LinkFailure::Kind what);
  bool Malformed();

  int corePort_;
  TTCPBlockSocket socket_;
  std::string buffer_, reply_;
  bool connected_ = false, linked_ = false;
  std::uint32_t link_ = 0, writeBytes_ = kDefaultWriteBytes;
  std::uint32_t xid_;
};

bool TVxi11Link::SocketFailed(int code, LinkFailure::Kind what) {
  std::string text = code == kErrorTimedOut ? TBlockSocket::GetErrorDesc(code) : socket_.GetErrorDescEx();
  if (code == kErrorTimedOut && what == LinkFailure::kReceive) {
    // The link stays: the late reply has an xid no later call waits for.
    return Fail(LinkFailure::kTimedOut, code, std::move(text));
  }
  linked_ = false;  // the connection is gone with the link
  Close();
  return Fail(what, code, std::move(text));
}

bool TVxi11Link::Malformed() {
  linked_ = false;
  Close();
  return Fail(LinkFailure::kProtocol, 0, "Malformed reply");
}

bool TVxi11Link::DeviceError(std::uint32_t error) {
  if (error == kVxi11IoTimeout) return Fail(LinkFailure::kTimedOut, kErrorTimedOut, TBlockSocket::GetErrorDesc(kErrorTimedOut));
  return Fail(LinkFailure::kProtocol, static_cast<int>(error), Vxi11ErrorText(error));
}

int TVxi11Link::AskCorePort(const LinkTarget &target, std::uint64_t deadline) {
  TUDPBlockSocket socket;
  socket.Family = TSocketFamily::IPv4;
  socket.ConnectTo(target.Address, std::to_string(target.Port));
  const std::uint64_t limit = std::min(deadline, DeadlineIn(kPortmapperLimitMs));
  const std::uint32_t xid = xid_++;
  int code = socket.ErrorCode();
  while (code == 0 && LeftMs(limit) > 0) {
    socket.SendText(BuildGetPortCall(xid));
    code = socket.ErrorCode();
    const std::uint64_t retry = std::min(limit, DeadlineIn(kPortmapperRetryMs));
    while (code == 0 && LeftMs(retry) > 0) {
      const std::string datagram = socket.ReceiveWaiting(LeftMs(retry));
      code = socket.ErrorCode();
      int port = 0;
      if (code == 0 && ReadGetPortReply(datagram, xid, port)) return port;
      // An empty datagram, or (Windows) a port that answered "unreachable":
      // nothing to read, the wait goes on.
      if (code == kErrorConnectionReset) code = 0;
    }
    if (code == kErrorTimedOut) code = 0;
  }
  if (code == 0) code = kErrorTimedOut;
  Fail(LinkFailure::kConnect, code, TBlockSocket::GetErrorDesc(code));
  return 0;
}

bool TVxi11Link::Call(const std::string &call, std::uint32_t xid, std::uint64_t deadline) {
  if (!SendBefore(socket_, FrameRecord(call), deadline)) return SocketFailed(socket_.ErrorCode(), LinkFailure::kReceive);
  for (int stale = 0; stale <= kMaxStaleReplies;) {
    std::size_t consumed = 0;
    const RecordState state = ReadRecord(buffer_, kMaxRecordBytes, kMaxFragments, reply_, consumed);
    if (state == RecordState::Malformed) return Malformed();
    if (state == RecordState::Complete) {
      buffer_.erase(0, consumed);
      std::uint32_t replyXid = 0;
      std::size_t at = 0;
      if (ReadWord(reply_, at, replyXid) && replyXid == xid) return true;
      ++stale;
      continue;
    }
    const int code = ReceiveMore(socket_, buffer_, deadline);
    if (code != 0) return SocketFailed(code, LinkFailure::kReceive);
  }
  return Malformed();
}

bool TVxi11Link::Open(const LinkTarget &target, int timeoutMs) {
  if (OpenLink(target, timeoutMs)) return true;
  Close();
  return false;
}

bool TVxi11Link::OpenLink(const LinkTarget &target, int timeoutMs) {
  Close();
  failure_ = {};
  const std::uint64_t deadline = DeadlineIn(timeoutMs);
  const int port = corePort_ != 0 ? corePort_ : AskCorePort(target, deadline);
  if (port == 0) return false;
  socket_.Family = TSocketFamily::IPv4;
  socket_.ConnectTimeoutMs = target.ConnectTimeoutMs;
  socket_.ConnectTo(target.Address, std::to_string(port));
  if (socket_.ErrorCode() != 0) return SocketFailed(socket_.ErrorCode(), LinkFailure::kConnect);
  connected_ = true;
  buffer_.clear();
  const std::uint32_t xid = xid_++;
  std::uint32_t error = 0, maxReceive = 0;
  const std::string_view device = target.Device.empty() ? kDefaultDevice : std::string_view(target.Device);
  if (!Call(BuildCreateLink(xid, xid, 0, device), xid, deadline)) return false;
  if (!ReadCreateLinkReply(reply_, xid, error, link_, maxReceive)) return Malformed();
  if (error != 0) {
    Close();
    return DeviceError(error);
  }
  writeBytes_ = maxReceive == 0 ? kDefaultWriteBytes : std::min(maxReceive, kMaxWriteBytes);
  linked_ = true;
  return true;
}

bool TVxi11Link::Write(std::string_view message, int timeoutMs) {
  if (!linked_) return Fail(LinkFailure::kConnect, 0, "not connected");
  const std::uint64_t deadline = DeadlineIn(timeoutMs);
  // An empty message is one call as well: END alone.
  do {
    const std::string_view part = message.substr(0, writeBytes_);
    const bool last = part.size() == message.size();
    const std::uint32_t xid = xid_++;
    std::uint32_t error = 0, written = 0;
    if (!Call(BuildDeviceWrite(xid, link_, static_cast<std::uint32_t>(timeoutMs), static_cast<std::uint32_t>(timeoutMs),
                               part, last),
              xid, deadline))
      return false;
    if (!ReadDeviceWriteReply(reply_, xid, error, written)) return Malformed();
    if (error != 0) return DeviceError(error);
    // A device that took less gets the rest in the next call.
    message.remove_prefix(written > 0 && written < part.size() ? written : part.size());
  } while (!message.empty());
  return true;
}

bool TVxi11Link::Read(std::string &reply, int timeoutMs, std::size_t maxBytes, bool &cut) {
  reply.clear();
  cut = false;
  if (!linked_) return Fail(LinkFailure::kConnect, 0, "not connected");
  const std::uint64_t deadline = DeadlineIn(timeoutMs);
  std::string data;
  for (;;) {
    const int left = LeftMs(deadline);
    if (left == 0) return DeviceError(kVxi11IoTimeout);
    const std::uint32_t xid = xid_++;
    std::uint32_t error = 0, reason = 0;
    if (!Call(BuildDeviceRead(xid, link_, kReadRequestBytes, static_cast<std::uint32_t>(left), 0), xid, deadline))
      return false;
    if (!ReadDeviceReadReply(reply_, xid, kReadRequestBytes, error, reason, data)) return Malformed();
    if (error != 0) return DeviceError(error);
    if (data.size() > maxBytes - reply.size()) {
      reply.append(data, 0, maxBytes - reply.size());
      cut = true;
      Close();
      return true;
    }
    reply += data;
    if ((reason & kReadEnd) != 0) return true;
  }
}

void TVxi11Link::Close() {
  if (linked_) {
    // The failure that ends a link stays the one reported.
    const LinkFailure failure = failure_;
    const std::uint32_t xid = xid_++;
    std::uint32_t error = 0;
    linked_ = false;
    if (Call(BuildDestroyLink(xid, link_), xid, DeadlineIn(kDestroyTimeoutMs))) ReadDestroyLinkReply(reply_, xid, error);
    failure_ = failure;
  }
  if (connected_) socket_.CloseEndpoint();
  connected_ = false;
}

}  // namespace

std::unique_ptr<TInstrumentLink> MakeVxi11Link() {
  return std::make_unique<TVxi11Link>(0, static_cast<std::uint32_t>(TickCountMs()));
}

std::unique_ptr<TInstrumentLink> MakeVxi11CoreLink(int corePort, std::uint32_t firstXid) {
  return std::make_unique<TVxi11Link>(corePort, firstXid);
}
