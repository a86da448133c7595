// The command-file session: the lines of a file over one TCP connection.
#include "session/command_file.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/codecs.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/command_file_lines.h"
#include "session/presentation.h"
#include "session/reply_json.h"
#include "session/tcp_session.h"

namespace {

constexpr int kErrorQueryLevel = 2;  // /vv
const char kErrorQuery[] = "syst:err?";

// /json: the object of one reply line; afterLine is the file line an error
// query follows.
void PrintReplyJson(std::string_view command, std::string_view reply, bool binary, std::string_view afterLine = {},
                    int errorCode = 0, std::string_view errorText = {}) {
  const std::string time = JsonTimestamp();
  JsonReply shown;
  shown.Command = command;
  shown.Reply = reply;
  shown.Binary = binary;
  shown.Line = afterLine;
  shown.ErrorCode = errorCode;
  shown.ErrorText = errorText;
  shown.Time = time;
  WriteReplyJson(shown);
}

// A receive that brought nothing: the verbose-only line, or under /json
// the reply object of the failed exchange.
void PrintReceiveFailure(int code, const std::string &description, std::string_view command,
                         std::string_view afterLine = {}) {
  if (Settings.JsonOutput) PrintReplyJson(command, {}, false, afterLine, code, description);
  if (!Settings.Verbose) return;
  if (code == kErrorTimedOut) {
    WriteLine("Response Timeout!" + TimestampSuffix());
  } else {
    WriteLine(RecvErrorLine(code, description) + TimestampSuffix());
  }
}

// Sends the bytes of a /hfl line and prints the one reply piece that comes
// within the first wait, decoded; no reply is "No Data".
void SendBinaryLine(TTCPBlockSocket &socket, std::string_view address, const std::string &line) {
  if (Settings.Verbose) WriteLine(TcpForLine(address, line, true));
  socket.SendText(line);
  const std::string reply = socket.ReceiveWaiting(FirstWaitMs(true, Settings.ResponseTimeoutMs, line));
  if (Settings.JsonOutput) {
    PrintReplyJson(line, reply, true);
  } else {
    WriteLine(BinaryReplyLine(reply, line));
  }
}

void SendTextLine(TTCPBlockSocket &socket, std::string_view address, const std::string &line) {
  if (Settings.Verbose) WriteLine(TcpForLine(address, line, false));
  socket.SendText(line + Settings.LineTerminator);
}

// A line whose first "?" stands at the third character or later.
bool IsQuery(std::string_view line) {
  const std::size_t mark = line.find('?');
  return mark != std::string_view::npos && mark >= 2;
}

// The whole reply of a query, with the full response time-out, cleaned and
// printed where it lies. False when it was cut at the reply ceiling: the
// rest of that reply still streams in, so nothing more can be said on this
// connection.
bool ReadQueryReply(TTCPBlockSocket &socket, const std::string &line) {
  CollectedReply collected = CollectReply(socket, Settings.ResponseTimeoutMs, 0);
  if (collected.FirstError != 0) {
    PrintReceiveFailure(collected.FirstError, collected.FirstErrorText, line);
    return true;
  }
  TransformReplyInPlace(collected.Data);
  if (Settings.JsonOutput) {
    PrintReplyJson(line, collected.Data, false);
  } else {
    WriteLine(TextReplyLine(std::move(collected.Data), line));
  }
  return !collected.Cut;
}

// "syst:err?" after a line; its reply line shows the file line.
void AskForErrors(TTCPBlockSocket &socket, const std::string &line) {
  socket.SendText(kErrorQuery + Settings.LineTerminator);
  const std::string reply = socket.ReceiveWaiting(Settings.ResponseTimeoutMs);
  if (socket.ErrorCode() != 0) {
    PrintReceiveFailure(socket.ErrorCode(), socket.GetErrorDescEx(), kErrorQuery, line);
    return;
  }
  if (Settings.JsonOutput) {
    PrintReplyJson(kErrorQuery, TransformReply(reply), false, line);
  } else {
    WriteLine(TextReplyLine(TransformReply(reply), line));
  }
}

// Sends one line and reads what it asks for. False when the connection
// must end here (a reply cut at the ceiling).
bool SendLine(TTCPBlockSocket &socket, std::string_view address, std::string line, int verbosityLevel) {
  if (Settings.EscapeTranslation) line = TranslateEscapes(line);
  if (Settings.HexMode) line = SpacedHexToBytes(line);
  if (line.empty()) {
    if (EchoOn()) WriteLine(" Wait " + std::to_string(Settings.PauseDelayMs) + " ms");
    SleepMs(Settings.PauseDelayMs);
    return true;
  }
  if (Settings.HexMode) {
    SendBinaryLine(socket, address, line);
  } else {
    SendTextLine(socket, address, line);
  }
  SleepMs(Settings.LineDelayMs);
  if (IsQuery(line) && !ReadQueryReply(socket, line)) return false;
  if (verbosityLevel >= kErrorQueryLevel) AskForErrors(socket, line);
  return true;
}

// Every line of the file, an empty file being one empty line, until the
// end of the file or of the connection.
void SendLines(TTCPBlockSocket &socket, std::string_view address, CommandFileLines &file, int verbosityLevel) {
  do {
    if (!SendLine(socket, address, NextCommandFileLine(file), verbosityLevel)) return;
  } while (!CommandFileAtEnd(file));
}

}  // namespace

void RunCommandFile(const std::string &address, const std::string &fileName, int verbosityLevel) {
  CommandFileLines file;
  OpenCommandFile(file, fileName);

  if (ConnectSessionSocket(address, "!TCP failed with error code ")) {
    TTCPBlockSocket &socket = *SessionSocket;
    if (Settings.ResolveHostName) PrintResolvedHostName(socket, address);
    SendLines(socket, address, file, verbosityLevel);
    socket.CloseEndpoint();
  }
  SessionSocket.reset();
  if (Settings.Verbose) WriteLine("TCP Stopped" + TimestampSuffix());
  CloseCommandFile(file);
}
