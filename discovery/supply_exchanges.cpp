#include "discovery/supply_exchanges.h"

#include "core/json_output.h"
#include "core/settings.h"
#include "discovery/discovery_json.h"
#include "platform/platform.h"

namespace {

// Replies longer than this come from supplies that also answer the
// interface query.
constexpr std::size_t kLongestIdnReply = 107;

bool AsksInterfaces(const SupplyExchanges &work) { return work.Datagram.size() > kLongestIdnReply; }

// /s shows the reply of a query: a "?" that is not the first character.
bool CommandIsQuery() {
  const std::size_t question = Settings.Command.find('?');
  return question != std::string::npos && question != 0;
}

// The identity and interfaces reply on one line: CR as two spaces, LF as three.
std::string OnOneLine(const std::string &reply) {
  std::string oneLine;
  for (const char c : reply) {
    if (c == '\r') {
      oneLine += "  ";
    } else if (c == '\n') {
      oneLine += "   ";
    } else {
      oneLine += c;
    }
  }
  return oneLine;
}

}  // namespace

void RunSupplyExchanges(SupplyExchanges &work) {
  // The query is text with its line end, also when /cmd is binary (/hex).
  if (Settings.AskIdentity)
    work.Identity = TcpRequest(work.Source, AsksInterfaces(work) ? "*idn?;system:interface:type all?" : "*idn?",
                               false, work.IdentityLines);
  if (Settings.SendToAll) work.Reply = TcpRequest(work.Source, Settings.Command, Settings.HexMode, work.ReplyLines);
}

void PrintSupplyExchanges(SupplyExchanges &work) {
  PrintLog(work.IdentityLines);
  if (!Settings.JsonOutput && Settings.AskIdentity) {
    if (AsksInterfaces(work)) {
      WriteLine("IdnIf:[" + OnOneLine(work.Identity.Reply) + "]");
    } else {
      WriteLine("IDN:  [" + work.Identity.Reply + "]");
    }
  }
  PrintLog(work.ReplyLines);
  if (!Settings.JsonOutput) {
    if (Settings.SendToAll && CommandIsQuery()) WriteLine("Recv: [" + work.Reply.Reply + "]");
    return;
  }
  // The supply's object, after its exchanges, whose replies it carries.
  SupplyAnswer identity, reply;
  const TcpExchangeResult &asked = work.Identity, &sent = work.Reply;
  if (Settings.AskIdentity) identity = {true, asked.ErrorCode != 0, asked.Reply, asked.ErrorCode, asked.ErrorText};
  if (Settings.SendToAll && CommandIsQuery()) {
    reply = {true, sent.ErrorCode != 0, sent.Reply, sent.ErrorCode, sent.ErrorText};
  } else if (Settings.SendToAll && !sent.Failed && sent.ErrorCode != 0) {
    reply = {false, true, {}, sent.ErrorCode, sent.ErrorText};  // the connect failed
  }
  WriteJsonLine(SupplyJson(work.Datagram, work.Source, identity, AsksInterfaces(work), reply));
}
