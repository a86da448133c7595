#include "discovery/lxi_identity.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "core/dotted_address.h"
#include "wire/rpc_record.h"
#include "wire/vxi11_wire.h"
#include "net/block_socket.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kDevice = "inst0";
constexpr std::string_view kIdentityQuery = "*IDN?\n";
constexpr std::string_view kRawScpiService = "_scpi-raw._tcp";
// Bounds on what one instrument may send back.
constexpr std::size_t kMaxRecordBytes = 1 << 16;
constexpr std::size_t kMaxFragments = 64;
constexpr std::uint32_t kReadRequestBytes = 4096;
constexpr int kMaxReads = 16;
constexpr std::size_t kMaxLineBytes = 1 << 16;

// Milliseconds left until deadline, at least 1 while some are left, 0 after.
int LeftMs(std::uint64_t deadline) {
  const std::uint64_t now = TickCountMs();
  return now >= deadline ? 0 : static_cast<int>(std::min<std::uint64_t>(deadline - now, 1 << 30));
}

void NoteIdentityFailure(LxiWay way, std::uint32_t ip, const TTCPBlockSocket &socket, LxiFindings &findings) {
  const std::string head = "Identity over " + std::string(LxiWayText(way)) + " to " + FormatDottedAddress(ip) + " failed";
  findings.Notes.push_back(socket.ErrorCode() != 0 ? FailureLine(head + " with error code: ", socket) : head);
}

bool Connect(TTCPBlockSocket &socket, std::uint32_t ip, int port, std::uint64_t deadline) {
  socket.Family = TSocketFamily::IPv4;
  const int left = LeftMs(deadline);
  if (left == 0) return false;
  socket.ConnectTimeoutMs = left;
  socket.ConnectTo(FormatDottedAddress(ip), std::to_string(port));
  return socket.ErrorCode() == 0;
}

bool Send(TTCPBlockSocket &socket, std::string_view bytes, std::uint64_t deadline) {
  socket.SendTimeoutMs = std::max(1, LeftMs(deadline));
  socket.SendText(bytes);
  return socket.ErrorCode() == 0;
}

// More bytes from the socket into buffer; false at the deadline, on an
// error or when the peer has closed.
bool ReceiveMore(TTCPBlockSocket &socket, std::string &buffer, std::uint64_t deadline) {
  const int left = LeftMs(deadline);
  if (left == 0) return false;
  buffer += socket.ReceiveWaiting(left);
  return socket.ErrorCode() == 0;
}

// One RPC exchange on a connection: the framed call, then the reply record.
// buffer keeps what came after the reply.
bool Exchange(TTCPBlockSocket &socket, const std::string &call, std::string &buffer, std::string &reply,
              std::uint64_t deadline) {
  if (!Send(socket, FrameRecord(call), deadline)) return false;
  for (;;) {
    std::size_t consumed = 0;
    const RecordState state = ReadRecord(buffer, kMaxRecordBytes, kMaxFragments, reply, consumed);
    if (state == RecordState::Complete) {
      buffer.erase(0, consumed);
      return true;
    }
    if (state == RecordState::Malformed || !ReceiveMore(socket, buffer, deadline)) return false;
  }
}

std::string WithoutLineEnd(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// The reply over the VXI-11 core channel; false when it gave none.
bool Vxi11Identity(std::uint32_t ip, int port, std::uint32_t xid, std::uint64_t deadline, LxiFindings &findings) {
  TTCPBlockSocket socket;
  std::string buffer, reply, identity;
  std::uint32_t error = 1, link = 0, written = 0, reason = 0;
  const auto io = [&] { return static_cast<std::uint32_t>(LeftMs(deadline)); };
  bool linked = Connect(socket, ip, port, deadline) &&
                Exchange(socket, BuildCreateLink(xid, xid, 0, kDevice), buffer, reply, deadline) &&
                ReadCreateLinkReply(reply, xid, error, link) && error == 0;
  bool done = false;
  if (linked && Exchange(socket, BuildDeviceWrite(xid + 1, link, io(), 0, kIdentityQuery), buffer, reply, deadline) &&
      ReadDeviceWriteReply(reply, xid + 1, error, written) && error == 0) {
    for (std::uint32_t n = 0; n < kMaxReads && !done; ++n) {
      const std::uint32_t callXid = xid + 2 + n;
      std::string data;
      if (!Exchange(socket, BuildDeviceRead(callXid, link, kReadRequestBytes, io(), 0), buffer, reply, deadline) ||
          !ReadDeviceReadReply(reply, callXid, kReadRequestBytes, error, reason, data) || error != 0)
        break;
      identity += data;
      done = (reason & (kReadEnd | kReadTermChar)) != 0;
    }
  }
  if (linked) {
    const std::uint32_t destroyXid = xid + 2 + kMaxReads;
    if (Exchange(socket, BuildDestroyLink(destroyXid, link), buffer, reply, deadline))
      ReadDestroyLinkReply(reply, destroyXid, error);
  }
  if (!done) NoteIdentityFailure(LxiWay::Vxi11, ip, socket, findings);
  socket.CloseEndpoint();
  // A reply cut short by the deadline has still said something.
  if (!done && identity.empty()) return false;
  findings.Idn = WithoutLineEnd(identity);
  return true;
}

// The reply line of "*IDN?" over the raw SCPI port; false when it gave none.
bool RawScpiIdentity(std::uint32_t ip, int port, std::uint64_t deadline, LxiFindings &findings) {
  TTCPBlockSocket socket;
  std::string buffer;
  std::size_t end = std::string::npos;
  if (Connect(socket, ip, port, deadline) && Send(socket, kIdentityQuery, deadline)) {
    while ((end = buffer.find('\n')) == std::string::npos && buffer.size() < kMaxLineBytes &&
           ReceiveMore(socket, buffer, deadline)) {
    }
  }
  // A peer that closes without a line end has still said something.
  if (end != std::string::npos) buffer.resize(end + 1);
  if (buffer.empty()) NoteIdentityFailure(LxiWay::RawScpi, ip, socket, findings);
  socket.CloseEndpoint();
  if (buffer.empty()) return false;
  findings.Idn = WithoutLineEnd(buffer.substr(0, kMaxLineBytes));
  return true;
}

bool Answered(LxiFindings &findings, LxiWay way, bool answered) {
  findings.Tried.push_back(way);
  if (answered) {
    findings.Answered = true;
    findings.AnsweredBy = way;
  }
  return answered;
}

}  // namespace

void AskLxiIdentity(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs,
                    LxiFindings &findings) {
  if (instrument.Vxi11Port != 0 &&
      Answered(findings, LxiWay::Vxi11, Vxi11Identity(instrument.Ip, instrument.Vxi11Port, xid, deadlineMs, findings)))
    return;
  const int rawPort = AnnouncedPort(instrument, std::string(kRawScpiService));
  if (rawPort != 0) Answered(findings, LxiWay::RawScpi, RawScpiIdentity(instrument.Ip, rawPort, deadlineMs, findings));
}
