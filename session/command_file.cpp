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
#include "session/instrument_link.h"
#include "session/link_session.h"
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

// Where the lines go: a raw TCP connection, or the run's protocol link.
struct FileTarget {
  TTCPBlockSocket *Socket = nullptr;
  TInstrumentLink *Link = nullptr;
  std::string_view Address;
};

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

// A failed step of the link for command (the file line afterLine's error
// query): the protocol's error line always, a time-out or broken
// connection as the verbose-only lines of a raw receive; under /json the
// reply object of the failed exchange. False when the failure ended the link.
bool LinkFailed(const TInstrumentLink &link, std::string_view command, std::string_view afterLine = {}) {
  const LinkFailure &failure = link.Failure();
  if (failure.What != LinkFailure::kProtocol) {
    PrintReceiveFailure(failure.Code, failure.Text, command, afterLine);
  } else if (Settings.JsonOutput) {
    PrintReplyJson(command, {}, false, afterLine, failure.Code, failure.Text);
  } else {
    ReportFailure(ProtocolErrorLine(link.ProtocolName(), failure.Code, failure.Text), failure.Code);
  }
  return link.IsOpen();
}

// A query's whole reply over the link into reply; false (the failure
// printed) when it did not come. open tells whether the link still stands.
bool ReadLinkReply(TInstrumentLink &link, std::string_view command, std::string &reply, bool &open,
                   std::string_view afterLine = {}) {
  bool cut = false;
  if (!link.Read(reply, Settings.ResponseTimeoutMs, ReplyCeiling(), cut)) {
    open = LinkFailed(link, command, afterLine);
    return false;
  }
  if (cut && Settings.Verbose) WriteLine("Reply cut at " + std::to_string(reply.size()) + " bytes");
  open = !cut;
  return true;
}

// A query: the first "?" of the line stands at the third character or later.
bool IsQuery(std::string_view line);

// Sends the bytes of a /hfl line and prints the one reply piece that comes
// within the first wait, decoded; no reply is "No Data". Over a link the
// reply is read (to its end) only for a query. False when the link ended.
bool SendBinaryLine(const FileTarget &target, const std::string &line) {
  if (Settings.Verbose) WriteLine(TcpForLine(target.Address, line, true));
  std::string reply;
  bool open = true;
  if (target.Link != nullptr) {
    if (!target.Link->Write(line, LinkSendTimeoutMs())) return LinkFailed(*target.Link, line);
    if (IsQuery(line) && !ReadLinkReply(*target.Link, line, reply, open)) return open;
  } else {
    target.Socket->SendText(line);
    reply = target.Socket->ReceiveWaiting(FirstWaitMs(true, Settings.ResponseTimeoutMs, line));
  }
  if (Settings.JsonOutput) {
    PrintReplyJson(line, reply, true);
  } else {
    WriteLine(BinaryReplyLine(reply, line));
  }
  return open;
}

// A text line: over a link as one message, else with the line terminator.
bool SendTextLine(const FileTarget &target, const std::string &line) {
  if (Settings.Verbose) WriteLine(TcpForLine(target.Address, line, false));
  if (target.Link != nullptr) return target.Link->Write(line, LinkSendTimeoutMs()) || LinkFailed(*target.Link, line);
  target.Socket->SendText(line + Settings.LineTerminator);
  return true;
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
bool ReadQueryReply(const FileTarget &target, const std::string &line) {
  if (target.Link != nullptr) {
    std::string reply;
    bool open = true;
    if (!ReadLinkReply(*target.Link, line, reply, open)) return open;
    TransformReplyInPlace(reply);
    if (Settings.JsonOutput) {
      PrintReplyJson(line, reply, false);
    } else {
      WriteLine(TextReplyLine(std::move(reply), line));
    }
    return open;
  }
  CollectedReply collected = CollectReply(*target.Socket, Settings.ResponseTimeoutMs, 0);
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
// False when the link ended.
bool AskForErrors(const FileTarget &target, const std::string &line) {
  std::string reply;
  if (target.Link != nullptr) {
    bool open = true;
    if (!target.Link->Write(kErrorQuery, LinkSendTimeoutMs())) return LinkFailed(*target.Link, kErrorQuery, line);
    if (!ReadLinkReply(*target.Link, kErrorQuery, reply, open, line)) return open;
    if (!open) return false;
  } else {
    TTCPBlockSocket &socket = *target.Socket;
    socket.SendText(kErrorQuery + Settings.LineTerminator);
    reply = socket.ReceiveWaiting(Settings.ResponseTimeoutMs);
    if (socket.ErrorCode() != 0) {
      PrintReceiveFailure(socket.ErrorCode(), socket.GetErrorDescEx(), kErrorQuery, line);
      return true;
    }
  }
  if (Settings.JsonOutput) {
    PrintReplyJson(kErrorQuery, TransformReply(reply), false, line);
  } else {
    WriteLine(TextReplyLine(TransformReply(reply), line));
  }
  return true;
}

// Sends one line and reads what it asks for. False when the connection
// must end here (a reply cut at the ceiling).
bool SendLine(const FileTarget &target, std::string line, int verbosityLevel) {
  if (Settings.EscapeTranslation) line = TranslateEscapes(line);
  if (Settings.HexMode) line = SpacedHexToBytes(line);
  if (line.empty()) {
    if (EchoOn()) WriteLine(" Wait " + std::to_string(Settings.PauseDelayMs) + " ms");
    SleepMs(Settings.PauseDelayMs);
    return true;
  }
  if (Settings.HexMode) {
    if (!SendBinaryLine(target, line)) return false;
  } else if (!SendTextLine(target, line)) {
    return false;
  }
  SleepMs(Settings.LineDelayMs);
  // Over a link a binary query's reply was read with its line.
  const bool readNow = target.Link == nullptr || !Settings.HexMode;
  if (readNow && IsQuery(line) && !ReadQueryReply(target, line)) return false;
  if (verbosityLevel >= kErrorQueryLevel) return AskForErrors(target, line);
  return true;
}

// Every line of the file, an empty file being one empty line, until the
// end of the file or of the connection.
void SendLines(const FileTarget &target, CommandFileLines &file, int verbosityLevel) {
  do {
    if (!SendLine(target, NextCommandFileLine(file), verbosityLevel)) return;
  } while (!CommandFileAtEnd(file));
}

}  // namespace

void RunCommandFile(const std::string &address, const std::string &fileName, int verbosityLevel) {
  CommandFileLines file;
  OpenCommandFile(file, fileName);

  FileTarget target;
  target.Address = address;
  if (ProtocolSession()) {
    int code = 0;
    std::string text;
    target.Link = SessionLink(address, "!TCP failed with error code ", code, text);
    if (target.Link != nullptr) SendLines(target, file, verbosityLevel);
    if (target.Link != nullptr) target.Link->Close();
    CloseSessionLink();
  } else if (ConnectSessionSocket(address, "!TCP failed with error code ")) {
    target.Socket = SessionSocket.get();
    if (Settings.ResolveHostName) PrintResolvedHostName(*target.Socket, address);
    SendLines(target, file, verbosityLevel);
    target.Socket->CloseEndpoint();
  }
  SessionSocket.reset();
  if (Settings.Verbose) WriteLine("TCP Stopped" + TimestampSuffix());
  CloseCommandFile(file);
}
