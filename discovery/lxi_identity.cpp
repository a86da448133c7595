#include "discovery/lxi_identity.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/dotted_address.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/instrument_link.h"

namespace {

constexpr std::string_view kIdentityQuery = "*IDN?\n";
// HiSLIP's DataEnd ends the message: no line end.
constexpr std::string_view kHislipIdentityQuery = "*IDN?";
constexpr std::string_view kRawScpiService = "_scpi-raw._tcp";
constexpr std::string_view kHislipService = "_hislip._tcp";
// The most an identity may hold.
constexpr std::size_t kMaxLineBytes = 1 << 16;

// Milliseconds left until deadline, at least 1 while some are left, 0 after.
int LeftMs(std::uint64_t deadline) {
  const std::uint64_t now = TickCountMs();
  return now >= deadline ? 0 : static_cast<int>(std::min<std::uint64_t>(deadline - now, 1 << 30));
}

// The line of a way that gave no identity, kept in findings for /v.
void NoteIdentityFailure(LxiWay way, std::uint32_t ip, int code, std::string_view text, LxiFindings &findings) {
  std::string line = "Identity over " + std::string(LxiWayText(way)) + " to " + FormatDottedAddress(ip) + " failed";
  if (code != 0) line += " with error code: " + std::to_string(code) + " : " + std::string(text);
  findings.Notes.push_back(std::move(line));
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

std::string WithoutLineEnd(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// "*IDN?" over a protocol link (the session's own client); false when it
// gave no reply.
bool LinkIdentity(TInstrumentLink &link, std::string_view query, LxiWay way, std::uint32_t ip, int port,
                  std::uint64_t deadline, LxiFindings &findings) {
  LinkTarget target;
  target.Address = FormatDottedAddress(ip);
  target.Port = port;
  target.ConnectTimeoutMs = std::max(1, LeftMs(deadline));
  std::string identity;
  bool cut = false;
  const bool done = link.Open(target, LeftMs(deadline)) && link.Write(query, std::max(1, LeftMs(deadline))) &&
                    link.Read(identity, std::max(1, LeftMs(deadline)), kMaxLineBytes, cut);
  link.Close();
  if (!done) {
    NoteIdentityFailure(way, ip, link.Failure().Code, link.Failure().Text, findings);
    return false;
  }
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
  if (buffer.empty()) NoteIdentityFailure(LxiWay::RawScpi, ip, socket.ErrorCode(), socket.GetErrorDescEx(), findings);
  socket.CloseEndpoint();
  if (buffer.empty()) return false;
  findings.Idn = WithoutLineEnd(buffer.substr(0, kMaxLineBytes));
  return true;
}

// Notes that way was tried; true when it answered.
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
  if (instrument.Vxi11Port != 0) {
    const std::unique_ptr<TInstrumentLink> link = MakeVxi11CoreLink(instrument.Vxi11Port, xid);
    if (Answered(findings, LxiWay::Vxi11,
                 LinkIdentity(*link, kIdentityQuery, LxiWay::Vxi11, instrument.Ip, 0, deadlineMs, findings)))
      return;
  }
  // A way is tried only while the instrument's time lasts.
  const int rawPort = AnnouncedPort(instrument, std::string(kRawScpiService));
  if (rawPort != 0 && LeftMs(deadlineMs) > 0 &&
      Answered(findings, LxiWay::RawScpi, RawScpiIdentity(instrument.Ip, rawPort, deadlineMs, findings)))
    return;
  const int hislipPort = AnnouncedPort(instrument, std::string(kHislipService));
  if (hislipPort != 0 && LeftMs(deadlineMs) > 0) {
    const std::unique_ptr<TInstrumentLink> link = MakeHislipLink();
    Answered(findings, LxiWay::Hislip,
             LinkIdentity(*link, kHislipIdentityQuery, LxiWay::Hislip, instrument.Ip, hislipPort, deadlineMs,
                          findings));
  }
}
