#include "discovery/lxi_identity.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

#include "core/dotted_address.h"
#include "core/settings.h"
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

void ReportIdentityFailure(std::string_view way, std::uint32_t ip, const TTCPBlockSocket &socket, LineLog &log) {
  if (!Settings.Verbose) return;
  const std::string head = std::string(way) + " to " + FormatDottedAddress(ip) + " failed";
  LogLine(log, socket.ErrorCode() != 0 ? FailureLine(head + " with error code: ", socket) : head);
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

// "*IDN?" over a protocol link (the session's own client).
std::string LinkIdentity(TInstrumentLink &link, std::string_view query, std::string_view way, std::uint32_t ip,
                         int port, std::uint64_t deadline, LineLog &log) {
  if (LeftMs(deadline) == 0) return {};
  LinkTarget target;
  target.Address = FormatDottedAddress(ip);
  target.Port = port;
  target.ConnectTimeoutMs = std::max(1, LeftMs(deadline));
  std::string identity;
  bool cut = false;
  const bool done = link.Open(target, LeftMs(deadline)) && link.Write(query, std::max(1, LeftMs(deadline))) &&
                    link.Read(identity, std::max(1, LeftMs(deadline)), kMaxLineBytes, cut);
  link.Close();
  if (!done && Settings.Verbose) {
    const LinkFailure &failure = link.Failure();
    std::string line = std::string(way) + " to " + target.Address + " failed";
    if (failure.Code != 0) line += " with error code: " + std::to_string(failure.Code) + " : " + failure.Text;
    LogLine(log, line);
  }
  return done ? WithoutLineEnd(identity) : std::string();
}

std::string RawScpiIdentity(std::uint32_t ip, int port, std::uint64_t deadline, LineLog &log) {
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
  if (buffer.empty()) ReportIdentityFailure("Identity over raw SCPI", ip, socket, log);
  socket.CloseEndpoint();
  return WithoutLineEnd(buffer.substr(0, kMaxLineBytes));
}

}  // namespace

LxiIdentityAnswer AskLxiIdentity(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs) {
  LxiIdentityAnswer answer;
  std::string &identity = answer.Idn;
  if (instrument.Vxi11Port != 0) {
    const std::unique_ptr<TInstrumentLink> link = MakeVxi11CoreLink(instrument.Vxi11Port, xid);
    identity =
        LinkIdentity(*link, kIdentityQuery, "Identity over VXI-11", instrument.Ip, 0, deadlineMs, answer.Lines);
  }
  const int rawPort = AnnouncedPort(instrument, std::string(kRawScpiService));
  if (identity.empty() && rawPort != 0) identity = RawScpiIdentity(instrument.Ip, rawPort, deadlineMs, answer.Lines);
  const int hislipPort = AnnouncedPort(instrument, std::string(kHislipService));
  if (identity.empty() && hislipPort != 0) {
    const std::unique_ptr<TInstrumentLink> link = MakeHislipLink();
    identity = LinkIdentity(*link, kHislipIdentityQuery, "Identity over HiSLIP", instrument.Ip, hislipPort,
                            deadlineMs, answer.Lines);
  }
  if (identity.empty()) identity = TxtIdentity(instrument);
  return answer;
}
