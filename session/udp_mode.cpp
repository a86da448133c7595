// The UDP command mode: a listener for the whole run, a fresh sender per
// command, and one loop in which sending and listening take turns.
#include "session/udp_mode.h"

#include <algorithm>
#include <string>

#include "core/codecs.h"
#include "core/dotted_address.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/command_file_lines.h"
#include "session/presentation.h"
#include "session/reply_json.h"
#include "session/tcp_session.h"
#include "session/udp_endpoints.h"

namespace {

// Sends command as one datagram to Settings.IpAddress on Settings.ClientPort
// from a fresh endpoint, and prints a reply that comes back to it within 50 ms.
void SendUdpCommand(std::string_view command);
// The ";" fields that split mode acts on, in order: from field 1 up to the
// first empty one, so a text starting with ";" gives none.
std::vector<std::string> UdpCommandFields(std::string_view command);
// The lines printed for a datagram received on the listener: the bytes as
// they stand, with verbose the source and length before and a hex list after.
std::vector<std::string> ReceivedDatagramLines(std::string_view source, std::string_view data, bool verbose);

constexpr int kReplyWaitMs = 50;         // the sender's wait for a direct reply
constexpr int kListenWaitMs = 50;        // one listening step
constexpr int kPassPauseMs = 3;          // after each pass of the loop
constexpr int kDatagramExtendsMs = 50;   // each received datagram lengthens the window
constexpr int kEmptyLinePauseMs = 1000;  // an empty file line
constexpr int kAfterFieldMs = 300;       // after each ";" field sent

// /json: a datagram on the listener as its object, the verbose lines
// around it as in the text form.
void PrintDatagramJson(const std::string &source, const std::string &data) {
  const std::vector<std::string> lines = ReceivedDatagramLines(source, data, true);  // head, data, hex
  if (Settings.Verbose) WriteLine(lines.front());
  WriteJsonLine(DatagramJson(source, data, JsonTimestamp()));
  if (Settings.Verbose) WriteLine(lines.back());
}

// /json: a direct reply to a command as its object.
void PrintSenderReplyJson(std::string_view command, const std::string &reply) {
  const std::string time = JsonTimestamp();
  JsonReply shown;
  shown.Command = command;
  shown.Reply = reply;
  shown.Time = time;
  WriteReplyJson(shown);
}

// What is left to send: the lines of the command file, or the command's
// fields (split mode), or the command itself (single mode).
struct UdpSending {
  CommandFileLines *File = nullptr;
  bool Split = false;
  std::vector<std::string> Fields;
  std::size_t Next = 0;
};

bool MoreToSend(UdpSending &sending) {
  if (sending.File != nullptr) return !CommandFileAtEnd(*sending.File);
  return sending.Next < sending.Fields.size();
}

// Sends one command and starts the window afresh from that moment.
void SendCommand(const std::string &command, UdpWindow &window) {
  const std::uint64_t sentAt = TickCountMs();
  SendUdpCommand(command);
  RestartWindow(window, sentAt);
}

void Pause(int ms, UdpWindow &window) {
  SleepMs(ms);
  ExtendWindow(window, ms);
}

void SendFileLine(CommandFileLines &file, UdpWindow &window) {
  const std::string line = NextCommandFileLine(file);
  if (line.empty()) {
    if (EchoOn()) WriteLine(" Wait 1 s");
    Pause(kEmptyLinePauseMs, window);
    return;
  }
  if (EchoOn()) WriteLine("[" + line + "]" + TimestampSuffix());
  SendCommand(line, window);
}

void SendField(const std::string &field, UdpWindow &window) {
  if (field == " ") {
    if (EchoOn()) WriteLine("[ wait 500 ms ]");
    Pause(kSpaceFieldPauseMs, window);
    return;
  }
  if (EchoOn()) WriteLine("[" + field + "]" + TimestampSuffix());
  SendCommand(field, window);
  Pause(kAfterFieldMs, window);
}

void SendingStep(UdpSending &sending, UdpWindow &window) {
  if (sending.File != nullptr) {
    SendFileLine(*sending.File, window);
  } else if (sending.Split) {
    SendField(sending.Fields[sending.Next++], window);
  } else {
    SendCommand(sending.Fields[sending.Next++], window);
  }
}

void ListeningStep(TUDPBlockSocket &listener, UdpWindow &window) {
  const std::string data = listener.ReceiveWaiting(kListenWaitMs);
  if (listener.ErrorCode() != 0) return;
  ExtendWindow(window, kDatagramExtendsMs);
  if (Settings.JsonOutput) {
    PrintDatagramJson(listener.PeerAddress(), data);
    return;
  }
  for (const std::string &line : ReceivedDatagramLines(listener.PeerAddress(), data, Settings.Verbose)) {
    WriteLine(line);
  }
}

void SendAndListen(TUDPBlockSocket &listener, UdpSending &sending, std::int64_t windowMs) {
  if (Settings.Verbose) WriteLine("Listener started");
  UdpWindow window = OpenUdpWindow(TickCountMs(), windowMs);
  bool more = MoreToSend(sending);
  while (more || WindowOpen(window, TickCountMs())) {
    if (more) {
      SendingStep(sending, window);
      more = MoreToSend(sending);
    }
    ListeningStep(listener, window);
    SleepMs(kPassPauseMs);
  }
}

}  // namespace

UdpWindow OpenUdpWindow(std::uint64_t now, std::int64_t lengthMs) {
  UdpWindow window;
  window.LengthMs = lengthMs;
  window.End = now;
  ExtendWindow(window, lengthMs);
  return window;
}

void RestartWindow(UdpWindow &window, std::uint64_t sentAt) {
  UdpWindow fresh = OpenUdpWindow(sentAt, window.LengthMs);
  window.End = std::max(window.End, fresh.End);
}

void ExtendWindow(UdpWindow &window, std::int64_t ms) {
  if (ms > 0) window.End += static_cast<std::uint64_t>(ms);
}

bool WindowOpen(const UdpWindow &window, std::uint64_t now) { return now < window.End; }

namespace {

std::vector<std::string> UdpCommandFields(std::string_view command) {
  if (command.empty() || command.front() == ';') return {};
  return SplitCommandFields(command);
}

std::vector<std::string> ReceivedDatagramLines(std::string_view source, std::string_view data, bool verbose) {
  std::vector<std::string> lines;
  if (verbose) {
    lines.push_back(ReceivedFromLine(source, data.size()));
  }
  lines.emplace_back(data);
  if (verbose) lines.push_back(BytesToHexList(data));
  return lines;
}

void SendUdpCommand(std::string_view command) {
  const std::string address = FormatDottedAddress(Settings.IpAddress);
  TUDPBlockSocket sender;
  sender.PrepareHandle();
  sender.ConnectTo(address, std::to_string(Settings.ClientPort));
  if (!SenderStarted(sender, address)) return;
  sender.SendText(command);
  if (sender.ErrorCode() != 0) {
    ReportFailure(FailureLine("!Sender failed with error code: ", sender), sender.ErrorCode());
    sender.CloseEndpoint();
    return;
  }
  const std::string reply = sender.ReceiveWaiting(kReplyWaitMs);
  if (!reply.empty()) {
    if (Settings.JsonOutput) {
      PrintSenderReplyJson(command, reply);
    } else {
      WriteLine("Sender received: " + reply);
    }
  }
  sender.CloseEndpoint();
}

}  // namespace

void RunUdpCommandMode(std::int64_t windowMs) {
  // The file is checked before any socket is made.
  CommandFileLines file;
  UdpSending sending;
  if (Settings.FileMode) {
    OpenCommandFile(file, Settings.FileName);
    sending.File = &file;
  } else if (Settings.SplitCommands && !Settings.HexMode) {
    // Binary commands (/hex, /mod) go whole: a 0x3B byte is data, not a ";".
    sending.Split = true;
    sending.Fields = UdpCommandFields(Settings.Command);
  } else if (!Settings.Command.empty()) {
    sending.Fields.push_back(Settings.Command);
  }

  TUDPBlockSocket listener;
  if (StartListener(listener, std::to_string(Settings.ServerPort))) {
    SendAndListen(listener, sending, windowMs);
    listener.CloseEndpoint();
  }
  if (Settings.FileMode) CloseCommandFile(file);
  if (Settings.Verbose) WriteLine("Listener stopped");
}
