// One TCP exchange with one instrument: connect, send, collect, close.
#include <string>
#include <utility>

#include "core/codecs.h"
#include "core/failure_report.h"
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

// Empties the slot when the exchange ends, however it ends.
struct SlotRelease {
  ~SlotRelease() {
    SessionSocket.reset();
    if (Settings.Verbose) WriteLine("TCP Stopped");
  }
};

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
  if (Settings.Verbose) WriteLine("Reply cut at " + std::to_string(ceiling) + " bytes");
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
  std::string head = "Resolving name from: ";
  head.append(address);
  WriteText(head);
  WriteLine(", hostname: " + socket.ResolveAddressName(std::string(address)));
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

TcpExchangeResult TcpRequest(std::string_view address, std::string_view command, bool binary) {
  TcpExchangeResult result;
  // Under /json the exchange's own object carries a failed connect.
  const bool connected = ConnectSessionSocket(address, "!TCP connect failed with error code ", !Settings.JsonOutput);
  SlotRelease release;
  TTCPBlockSocket &socket = *SessionSocket;
  if (!connected) {
    result.ErrorCode = socket.ErrorCode();
    result.ErrorText = socket.GetErrorDescEx();
    return result;
  }

  if (Settings.Verbose) WriteLine(TcpForLine(address, command, binary));
  if (Settings.ResolveHostName) PrintResolvedHostName(socket, address);

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
      CollectReply(socket, FirstWaitMs(binary, Settings.ResponseTimeoutMs, command), kPiecePauseMs);
  result.ErrorCode = collected.FirstError;
  result.ErrorText = collected.FirstErrorText;
  if (collected.FirstError == kErrorTimedOut) {
    result.Failed = true;
    if (Settings.Verbose) result.Reply = "Response Timeout!";
  } else if (collected.FirstError != 0) {
    result.Failed = true;
    if (Settings.Verbose) {
      WriteLine(RecvErrorLine(collected.FirstError, collected.FirstErrorText));
    }
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

TcpExchangeResult TcpRequest(std::string_view address, std::string_view command) {
  return TcpRequest(address, command, Settings.HexMode);
}

std::string TcpExchange(std::string_view address, std::string_view command) {
  return TcpRequest(address, command).Reply;
}

std::string TcpTextExchange(std::string_view address, std::string_view command) {
  return TcpRequest(address, command, false).Reply;
}
