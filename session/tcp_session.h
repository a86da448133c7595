// Commands to one instrument over TCP: one exchange per connection.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TTCPBlockSocket;
struct LineLog;

// The program-wide session socket slot of the command-file session.
extern std::unique_ptr<TTCPBlockSocket> SessionSocket;

// ---- One exchange (tcp_exchange.cpp) ----

// What one exchange gave: the cleaned reply or a status text, in binary
// mode also the reply bytes as received (what binary views decode: line-end
// stripping and the comma/dot swaps would corrupt register values), and
// whether the first receive failed (time-out or error). A failed exchange
// is shown in text form by its caller; binary mode itself stays as it is.
struct TcpExchangeResult {
  std::string Reply;
  std::string Raw;
  bool Failed = false;
  // The code and text of a failed connect or first receive; 0 otherwise.
  int ErrorCode = 0;
  std::string ErrorText;
};

// Fills the slot (with /v "TCP Create" when it makes a socket) and connects
// it to address on Settings.TcpPort. On failure prints failureHead's
// failure line (unless report is off: the caller shows the failure) and
// returns false; emptying the slot is the caller's.
bool ConnectSessionSocket(std::string_view address, std::string_view failureHead, bool report = true);

// "Recv error: " + code + " " + description: a receive that failed.
std::string RecvErrorLine(int code, std::string_view description);

// Connects to address (dotted text) on Settings.TcpPort, sends command (raw
// when binary, else with the line terminator), collects the reply and
// closes, on a socket of its own for the length of the call. Its lines
// (with /v "TCP Create", "TCP for: ...", "TCP Stopped"; failure lines) go
// to log. Reads Settings only, so that exchanges with several instruments
// may run at once on worker threads, each with a log that keeps its lines.
TcpExchangeResult TcpRequest(std::string_view address, std::string_view command, bool binary, LineLog &log);
// The same, its lines printed at once.
TcpExchangeResult TcpRequest(std::string_view address, std::string_view command, bool binary);
// The same in the mode of the command (binary for /hex, /mod, /hfl).
TcpExchangeResult TcpRequest(std::string_view address, std::string_view command);

// How long the first receive waits: binary mode 100 ms while the response
// time-out is still the unchanged 2001, else the time-out; text mode the
// time-out for a command holding "?", else 100 ms.
int FirstWaitMs(bool binary, int responseTimeoutMs, std::string_view command);

// The most a reply may hold. A peer that never pauses 50 ms would otherwise
// be collected until memory runs out: at this size collecting stops, the
// bytes so far are the reply, and its caller closes the connection.
inline constexpr std::size_t kReplyCeilingBytes = std::size_t{256} << 20;
// Test seam: a smaller ceiling for the rest of the process (0 restores
// kReplyCeilingBytes).
void SetReplyCeiling(std::size_t bytes);
// The ceiling in force.
std::size_t ReplyCeiling();

// A reply as the socket gave it: the first receive waits firstWaitMs, then
// pieces follow until a 50 ms receive ends with any error, with a pause of
// piecePauseMs after each piece. FirstError is the first receive's code
// (0 when it delivered data); Data is empty unless it is 0. At the ceiling
// Data holds exactly the ceiling's bytes, Cut is set and, with verbose on,
// the line "Reply cut at " + ceiling + " bytes" is printed.
struct CollectedReply {
  std::string Data;
  int FirstError = 0;
  std::string FirstErrorText;
  bool Cut = false;
};
CollectedReply CollectReply(TTCPBlockSocket &socket, int firstWaitMs, int piecePauseMs);
// The same, its line going to log.
CollectedReply CollectReply(TTCPBlockSocket &socket, int firstWaitMs, int piecePauseMs, LineLog &log);

// The verbose line of a command about to go out: "TCP for: " + address +
// " " + the command, as a hex list when binary.
std::string TcpForLine(std::string_view address, std::string_view command, bool binary);

// The /o line: "Resolving name from: " + address + ", hostname: " + name.
void PrintResolvedHostName(TTCPBlockSocket &socket, std::string_view address);
void LogResolvedHostName(TTCPBlockSocket &socket, std::string_view address, LineLog &log);

// ---- The command-line run (tcp_commands.cpp) ----

// The /cmd, /hex, /mod run: split (/d), repeat (/t) and one line per
// exchange. Returns only when no repeat is set.
void RunTcpCommands();

// The fields of a /d command in the order they are acted on: field 1 is
// skipped when empty, and the sequence ends at the next empty field or at
// the end. A field of exactly one space is a pause of kSpaceFieldPauseMs.
std::vector<std::string> SplitCommandFields(std::string_view command);
inline constexpr int kSpaceFieldPauseMs = 500;

// Output lines of an exchange, each ending with the timestamp suffix.
// Text form: reply, then (echo on) TAB " [" command "]".
std::string TextReplyLine(std::string reply, std::string_view command);
// Binary form: DecodeModbusReply of reply, then (echo on) TAB " " and the
// command as a hex list.
std::string BinaryReplyLine(std::string_view reply, std::string_view command);
