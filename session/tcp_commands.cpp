// The command-line run of /cmd, /hex and /mod: split, repeat, one line each.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/codecs.h"
#include "core/dotted_address.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "platform/platform.h"
#include "session/link_session.h"
#include "session/presentation.h"
#include "session/reply_json.h"
#include "session/tcp_session.h"

namespace {

constexpr int kAfterSplitFieldMs = 100;  // pause after each sent /d field
// The least pause after a repeated pass that sent nothing, whatever /ttime
// says: such a pass has no exchange to wait on and must not spin.
constexpr int kIdlePassMinimumMs = 10;

// One exchange: over the run's link for /hislip and /vxi11 (a command
// holding "?" is a query), else over a connection of its own.
TcpExchangeResult Exchange(const std::string &address, std::string_view command) {
  if (ProtocolSession())
    return LinkRequest(address, command, Settings.HexMode, command.find('?') != std::string_view::npos);
  return TcpRequest(address, command);
}

// One pass over the fields; true when at least one field was sent.
bool RunSplitPass(const std::string &address) {
  bool sent = false;
  for (const std::string &field : SplitCommandFields(Settings.Command)) {
    if (field == " ") {
      if (EchoOn()) WriteLine("[ wait 500 ms ]");
      SleepMs(kSpaceFieldPauseMs);
      continue;
    }
    // Split parts are always shown in text form.
    if (Settings.JsonOutput) {
      WriteTcpReplyJson(Exchange(address, field), field, false);
    } else {
      WriteLine(TextReplyLine(Exchange(address, field).Reply, field));
    }
    SleepMs(kAfterSplitFieldMs);
    sent = true;
  }
  return sent;
}

void RunWholePass(const std::string &address) {
  const std::string &command = Settings.Command;
  TcpExchangeResult result = Exchange(address, command);
  // A failed exchange shows its status text in text form; binary mode stays
  // on, so the next pass sends the same bytes and decodes its reply again.
  // Binary views decode the bytes as they came, not the cleaned text.
  if (Settings.JsonOutput) {
    WriteTcpReplyJson(result, command, Settings.HexMode);
  } else if (Settings.HexMode && !result.Failed) {
    WriteLine(BinaryReplyLine(result.Raw, command));
  } else {
    WriteLine(TextReplyLine(std::move(result.Reply), command));
  }
  // A reply with an end mark needs no pause behind the last pass.
  if (Settings.RepeatDelayMs > 0 && (Settings.RepeatCommand || !RepliesEndMarked())) SleepMs(Settings.RepeatDelayMs);
}

}  // namespace

std::vector<std::string> SplitCommandFields(std::string_view command) {
  std::vector<std::string_view> all;
  for (std::size_t start = 0;;) {
    const std::size_t cut = command.find(';', start);
    if (cut == std::string_view::npos) {
      all.push_back(command.substr(start));
      break;
    }
    all.push_back(command.substr(start, cut - start));
    start = cut + 1;
  }
  std::vector<std::string> fields;
  std::size_t index = all.front().empty() ? 1 : 0;
  for (; index < all.size() && !all[index].empty(); ++index) fields.emplace_back(all[index]);
  return fields;
}

std::string TextReplyLine(std::string reply, std::string_view command) {
  if (EchoOn()) {
    reply.append("\t [");
    reply.append(command);
    reply.push_back(']');
  }
  reply.append(TimestampSuffix());
  return reply;
}

std::string BinaryReplyLine(std::string_view reply, std::string_view command) {
  std::string line = DecodeModbusReply(reply);
  if (EchoOn()) {
    line.append("\t ");
    line.append(BytesToHexList(command));
  }
  line.append(TimestampSuffix());
  return line;
}

void RunTcpCommands() {
  const std::string address = FormatDottedAddress(Settings.IpAddress);
  do {
    if (Settings.SplitCommands) {
      // A pass that sent nothing (";", or only pauses) waits the repeat
      // delay before the next, as an exchange does.
      if (!RunSplitPass(address) && Settings.RepeatCommand)
        SleepMs(std::max(Settings.RepeatDelayMs, kIdlePassMinimumMs));
    } else {
      RunWholePass(address);
    }
  } while (Settings.RepeatCommand);
  CloseSessionLink();
}
