// The run's link to its instrument and one exchange over it.
#include "session/link_session.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "core/failure_report.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/instrument_link.h"
#include "session/presentation.h"

namespace {

std::unique_ptr<TInstrumentLink> g_link;
// A send the instrument takes nothing of stops after this long at least, as
// a raw send does.
constexpr int kSendTimeoutMs = 10000;

void PrintHostName(std::string_view address) {
  TTCPBlockSocket resolver;
  PrintResolvedHostName(resolver, address);
}

}  // namespace

int LinkSendTimeoutMs() { return std::max(Settings.ResponseTimeoutMs, kSendTimeoutMs); }

bool ProtocolSession() { return Settings.SessionProtocol != kRawSession; }

bool RepliesEndMarked() { return ProtocolSession() || Settings.EolEndsReply; }

std::string ProtocolErrorLine(std::string_view protocol, int code, std::string_view text) {
  std::string line = "!";
  line.append(protocol);
  line.append(" error ");
  line.append(std::to_string(code));
  line.append(" : ");
  line.append(text);
  return line;
}

TInstrumentLink *SessionLink(std::string_view address, std::string_view failureHead, int &code, std::string &text,
                             bool report) {
  if (!g_link) g_link = Settings.SessionProtocol == kHislipSession ? MakeHislipLink() : MakeVxi11Link();
  if (g_link->IsOpen()) return g_link.get();
  if (Settings.Verbose) WriteLine("TCP Create");
  LinkTarget target;
  target.Address = std::string(address);
  target.Port = Settings.TcpPort;
  target.Device = Settings.DeviceName;
  if (g_link->Open(target, Settings.ResponseTimeoutMs)) {
    if (Settings.ResolveHostName) PrintHostName(address);
    return g_link.get();
  }
  const LinkFailure &failure = g_link->Failure();
  code = failure.Code;
  text = failure.Text;
  if (!report) return nullptr;
  if (failure.What == LinkFailure::kProtocol) {
    ReportFailure(ProtocolErrorLine(g_link->ProtocolName(), failure.Code, failure.Text), failure.Code);
  } else {
    std::string line(failureHead);
    line.append(std::to_string(failure.Code) + " : " + failure.Text);
    ReportFailure(line, failure.Code);
  }
  return nullptr;
}

void CloseSessionLink() {
  if (!g_link) return;
  const bool wasOpen = g_link->IsOpen();
  g_link->Close();
  g_link.reset();
  if (wasOpen && Settings.Verbose) WriteLine("TCP Stopped");
}

void ReportLinkFailure(const TInstrumentLink &link, TcpExchangeResult &result) {
  const LinkFailure &failure = link.Failure();
  result.Failed = true;
  result.ErrorCode = failure.Code;
  result.ErrorText = failure.Text;
  switch (failure.What) {
    case LinkFailure::kTimedOut:
      if (Settings.Verbose) result.Reply = "Response Timeout!";
      break;
    case LinkFailure::kProtocol:
      // Under /json the exchange's own object carries the protocol's error.
      if (!Settings.JsonOutput)
        ReportFailure(ProtocolErrorLine(link.ProtocolName(), failure.Code, failure.Text), failure.Code);
      break;
    default:
      if (Settings.Verbose) WriteLine(RecvErrorLine(failure.Code, failure.Text));
      result.Reply = "TCP Command Error! " + std::to_string(failure.Code);
      break;
  }
}

TcpExchangeResult LinkRequest(std::string_view address, std::string_view command, bool binary, bool query) {
  TcpExchangeResult result;
  // Under /json the exchange's own object carries a failed connect.
  TInstrumentLink *link = SessionLink(address, "!TCP connect failed with error code ", result.ErrorCode,
                                      result.ErrorText, !Settings.JsonOutput);
  if (link == nullptr) return result;
  if (Settings.Verbose) WriteLine(TcpForLine(address, command, binary));
  if (!link->Write(command, LinkSendTimeoutMs())) {
    ReportLinkFailure(*link, result);
    return result;
  }
  if (!query) return result;
  std::string reply;
  bool cut = false;
  if (!link->Read(reply, Settings.ResponseTimeoutMs, ReplyCeiling(), cut)) {
    ReportLinkFailure(*link, result);
    return result;
  }
  if (cut && Settings.Verbose) WriteLine("Reply cut at " + std::to_string(reply.size()) + " bytes");
  if (binary) result.Raw = reply;
  TransformReplyInPlace(reply);
  result.Reply = std::move(reply);
  return result;
}
