// One TCP exchange with one instrument: connect, send, collect, close.
#include <string>
#include <utility>

#include "core/codecs.h"
#include "core/failure_report.h"
#include "core/line_log.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/presentation.h"
#include "session/tcp_session.h"

std::unique_ptr<TTCPBlockSocket> SessionSocket;

namespace {

constexpr int kUnchangedTimeoutMs = 2001;  // the start value: "not changed by the user"
constexpr int kShortFirstWaitMs = 100;     // commands that expect no answer, binary default
constexpr int kQuietEndMs = 50;            // a reply ends after this long without data
constexpr int kPiecePauseMs = 5;           // pause after each further piece of a reply
constexpr int kSettleAfterSendMs = 10;     // pause between send and first receive

std::size_t g_replyCeiling = kReplyCeilingBytes;

}  // namespace

int FirstWaitMs(bool binary, int responseTimeoutMs, std::string_view command) {
  if (binary) return responseTimeoutMs == kUnchangedTimeoutMs ? kShortFirstWaitMs : responseTimeoutMs;
  return command.find('?') != std::string_view::npos ? responseTimeoutMs : kShortFirstWaitMs;
}

void SetReplyCeiling(std::size_t bytes) { g_replyCeiling = bytes > 0 ? bytes : kReplyCeilingBytes; }

std::size_t ReplyCeiling() { return g_replyCeiling; }

// /eol: whether data, of which the bytes from `from` on are new, holds the
// line terminator in force; if so data ends after its first one (bytes
// behind it in the same piece are dropped).
bool EndsAtLineEnd(std::string &data, std::size_t from) {
  const std::string &terminator = Settings.LineTerminator;
  if (!Settings.EolEndsReply || terminator.empty()) return false;
  from = from >= terminator.size() - 1 ? from - (terminator.size() - 1) : 0;
  const std::size_t at = data.find(terminator, from);
  if (at == std::string::npos) return false;
  data.resize(at + terminator.size());
  return true;
}

CollectedReply CollectReply(TTCPBlockSocket &socket, int firstWaitMs, int piecePauseMs) {
  LineLog now;
  return CollectReply(socket, firstWaitMs, piecePauseMs, now);
}

CollectedReply CollectReply(TTCPBlockSocket &socket, int firstWaitMs, int piecePauseMs, LineLog &log) {
  CollectedReply collected;
  collected.Data = socket.ReceiveWaiting(firstWaitMs);
  collected.FirstError = socket.ErrorCode();
  if (collected.FirstError != 0) {
    collected.FirstErrorText = socket.GetErrorDescEx();
    collected.Data.clear();
    return collected;
  }
  const std::size_t ceiling = g_replyCeiling;
  if (EndsAtLineEnd(collected.Data, 0) && collected.Data.size() <= ceiling) return collected;
  while (collected.Data.size() < ceiling) {
    const std::string piece = socket.ReceiveWaiting(kQuietEndMs);
    if (socket.ErrorCode() != 0) return collected;
    const std::size_t before = collected.Data.size();
    collected.Data.append(piece, 0, ceiling - collected.Data.size());
    if (EndsAtLineEnd(collected.Data, before)) return collected;
    SleepMs(piecePauseMs);
  }
  collected.Data.resize(ceiling);
  collected.Cut = true;
  if (Settings.Verbose) LogLine(log, "Reply cut at " + std::to_string(ceiling) + " bytes");
  return collected;
}

std::string TcpForLine(std::string_view address, std::string_view command, bool binary) {
  std::string line = "TCP for: ";
  line.append(address);
  line.push_back(' ');
  if (binary) {
    line.append(BytesToHexList(command));
  } else {
    line.append(command);
  }
  return line;
}

void PrintResolvedHostName(TTCPBlockSocket &socket, std::string_view address) {
  LineLog now;
  LogResolvedHostName(socket, address, now);
}

void LogResolvedHostName(TTCPBlockSocket &socket, std::string_view address, LineLog &log) {
  std::string head = "Resolving name from: ";
  head.append(address);
  LogText(log, head);
  LogLine(log, ", hostname: " + socket.ResolveAddressName(std::string(address)));
}

bool ConnectSessionSocket(std::string_view address, std::string_view failureHead, bool report) {
  if (!SessionSocket) {
    if (Settings.Verbose) WriteLine("TCP Create");
    SessionSocket = std::make_unique<TTCPBlockSocket>();
  }
  TTCPBlockSocket &socket = *SessionSocket;
  socket.PrepareHandle();
  socket.ConnectTo(std::string(address), std::to_string(Settings.TcpPort));
  if (socket.ErrorCode() == 0) return true;
  if (report) ReportFailure(FailureLine(failureHead, socket), socket.ErrorCode());
  return false;
}

std::string RecvErrorLine(int code, std::string_view description) {
  return "Recv error: " + std::to_string(code) + " " + std::string(description);
}

namespace {

// The steps of one exchange on a fresh socket: connect, send, collect, close.
TcpExchangeResult ExchangeOn(TTCPBlockSocket &socket, std::string_view address, std::string_view command,
                             bool binary, LineLog &log) {
  TcpExchangeResult result;
  socket.PrepareHandle();
  socket.ConnectTo(std::string(address), std::to_string(Settings.TcpPort));
  if (socket.ErrorCode() != 0) {
    // Under /json the exchange's own object carries a failed connect.
    if (!Settings.JsonOutput)
      LogFailure(log, FailureLine("!TCP connect failed with error code ", socket), socket.ErrorCode());
    result.ErrorCode = socket.ErrorCode();
    result.ErrorText = socket.GetErrorDescEx();
    return result;
  }

  if (Settings.Verbose) LogLine(log, TcpForLine(address, command, binary));
  if (Settings.ResolveHostName) LogResolvedHostName(socket, address, log);

  if (binary) {
    socket.SendText(command);
  } else {
    std::string line;
    line.reserve(command.size() + Settings.LineTerminator.size());
    line.append(command);
    line.append(Settings.LineTerminator);
    socket.SendText(line);
  }
  SleepMs(kSettleAfterSendMs);

  CollectedReply collected =
      CollectReply(socket, FirstWaitMs(binary, Settings.ResponseTimeoutMs, command), kPiecePauseMs, log);
  result.ErrorCode = collected.FirstError;
  result.ErrorText = collected.FirstErrorText;
  if (collected.FirstError == kErrorTimedOut) {
    result.Failed = true;
    if (Settings.Verbose) result.Reply = "Response Timeout!";
  } else if (collected.FirstError != 0) {
    result.Failed = true;
    if (Settings.Verbose) LogLine(log, RecvErrorLine(collected.FirstError, collected.FirstErrorText));
    result.Reply = "TCP Command Error! " + std::to_string(collected.FirstError);
  } else {
    // Text replies are cleaned where they lie: a large one is held once.
    if (binary) result.Raw = collected.Data;
    TransformReplyInPlace(collected.Data);
    result.Reply = std::move(collected.Data);
  }
  socket.CloseEndpoint();
  return result;
}

}  // namespace

TcpExchangeResult TcpRequest(std::string_view address, std::string_view command, bool binary, LineLog &log) {
  if (Settings.Verbose) LogLine(log, "TCP Create");
  TcpExchangeResult result;
  {
    TTCPBlockSocket socket;
    result = ExchangeOn(socket, address, command, binary, log);
  }
  if (Settings.Verbose) LogLine(log, "TCP Stopped");
  return result;
}

TcpExchangeResult TcpRequest(std::string_view address, std::string_view command, bool binary) {
  LineLog now;
  return TcpRequest(address, command, binary, now);
}

TcpExchangeResult TcpRequest(std::string_view address, std::string_view command) {
  return TcpRequest(address, command, Settings.HexMode);
}
