// The discovery run: listener, queries, the listening loop and what is
// done with each reply.
//
// No reply is lost: a burst of replies is read at full speed (the pause
// follows only a pass that received nothing), the listener's queue holds a
// burst of 250 full replies, and what is queued when the listening time
// ends is still handled before the listener closes. Waits never run past
// the moment of the re-query or the end of the listening time.
#include "discovery/psu_discovery.h"

#include <algorithm>
#include <string>

#include "core/codecs.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "discovery/found_devices.h"
#include "wire/device_reply.h"
#include "discovery/discovery_json.h"
#include "discovery/raw_datagram.h"
#include "discovery/source_addresses.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/tcp_session.h"
#include "session/udp_endpoints.h"

namespace {

constexpr int kReceiveWaitMs = 100;    // one pass of the loop waits this long at the most
constexpr int kEmptyPassPauseMs = 10;  // after a pass that received nothing
constexpr int kAfterQueryMs = 50;      // after each query before listening
constexpr int kAfterConfigMs = 3300;   // /e: the supply restarts its network first
// The burst the listener's queue holds: every supply answering at once.
constexpr int kBurstReplies = 250;
constexpr int kFullReplyBytes = 108;
// After the listening time: datagrams handled at the most, so that a
// sender that never stops cannot keep the run going.
constexpr int kDrainLimit = 4096;
// Replies longer than this come from supplies that also answer the
// interface query.
constexpr std::size_t kLongestIdnReply = 107;

// Sends payload as one datagram from every source entry to the /bca
// address and /cport port.
void SendDiscoveryQuery(std::string_view payload);

const std::string kQuery(1, '\x05');
const std::string kReQuery(1, '\0');

std::int64_t Now() { return static_cast<std::int64_t>(TickCountMs()); }

struct ListeningTime {
  std::int64_t start;  // moved by /s at each new supply
  std::int64_t length;
  bool reQueried = false;

  bool Over() const { return start + length <= Now(); }
  bool ReQueryDue() const { return !reQueried && start + length / 2 < Now(); }
  // A wait of at most limitMs that ends no later than the next moment the
  // loop acts on: the re-query, then the end.
  int WaitMs(int limitMs) const {
    const std::int64_t mark = reQueried ? start + length : start + length / 2 + 1;
    return static_cast<int>(std::clamp<std::int64_t>(mark - Now(), 0, limitMs));
  }
};

// /a: the identity, or with a long reply the identity and the interfaces.
// The query is text with its line end, also when /cmd is binary (/hex).
void AskIdentity(const std::string &datagram, const std::string &source) {
  if (datagram.size() <= kLongestIdnReply) {
    WriteLine("IDN:  [" + TcpTextExchange(source, "*idn?") + "]");
    return;
  }
  const std::string reply = TcpTextExchange(source, "*idn?;system:interface:type all?");
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
  WriteLine("IdnIf:[" + oneLine + "]");
}

// /s: the command to the supply; the reply is shown for a query.
void SendCommand(const std::string &source) {
  const std::string reply = TcpExchange(source, Settings.Command);
  const std::size_t question = Settings.Command.find('?');
  if (question != std::string::npos && question != 0) WriteLine("Recv: [" + reply + "]");
}

// /json: the supply's object, after its /a and /s exchanges, whose replies
// it carries.
void PrintSupplyJson(const std::string &datagram, const std::string &source) {
  SupplyAnswer identity, reply;
  const bool interfaces = datagram.size() > kLongestIdnReply;
  if (Settings.AskIdentity) {
    const TcpExchangeResult result =
        TcpRequest(source, interfaces ? "*idn?;system:interface:type all?" : "*idn?", false);
    identity = {true, result.ErrorCode != 0, result.Reply, result.ErrorCode, result.ErrorText};
  }
  if (Settings.SendToAll) {
    const TcpExchangeResult result = TcpRequest(source, Settings.Command);
    const std::size_t question = Settings.Command.find('?');
    if (question != std::string::npos && question != 0) {
      reply = {true, result.ErrorCode != 0, result.Reply, result.ErrorCode, result.ErrorText};
    } else if (!result.Failed && result.ErrorCode != 0) {
      reply = {false, true, {}, result.ErrorCode, result.ErrorText};  // the connect failed
    }
  }
  WriteJsonLine(SupplyJson(datagram, source, identity, interfaces, reply));
}

void HandleReply(const std::string &datagram, const std::string &source, ListeningTime &time) {
  LimitDeviceCount(DeviceList);
  const std::string received = ReceivedFromLine(source, datagram.size());
  if (IsDuplicateReply(DeviceList, datagram)) {
    if (Settings.Verbose) WriteLine(received + " - Duplicated response");
    PrintRawDatagram(datagram);
    return;
  }
  StoreDevice(DeviceList, datagram);
  if (Settings.Verbose) WriteLine(received);
  if (Settings.JsonOutput) {
    PrintRawDatagram(datagram);
    if (Settings.SendToAll) time.start = Now();
    PrintSupplyJson(datagram, source);
    return;
  }
  WriteLine(FormatDeviceReply(datagram));
  PrintRawDatagram(datagram);
  if (Settings.AskIdentity) AskIdentity(datagram, source);
  if (Settings.SendToAll) {
    time.start = Now();
    SendCommand(source);
  }
}

void Listen(TUDPBlockSocket &listener, std::int64_t listenMs) {
  if (Settings.DiscoverAfterConfig) {
    SleepMs(kAfterConfigMs);
    SendDiscoveryQuery(kQuery);
    SleepMs(kAfterQueryMs);
  }
  SendDiscoveryQuery(kQuery);
  SleepMs(kAfterQueryMs);

  ListeningTime time{Now(), listenMs};
  int drained = 0;
  for (;;) {
    const bool over = time.Over();
    if (over && drained == kDrainLimit) break;
    // Once the time is over only what is already queued is taken.
    const std::string datagram = listener.ReceiveWaiting(over ? 0 : time.WaitMs(kReceiveWaitMs));
    const int code = listener.ErrorCode();
    if (code == 0) HandleReply(datagram, listener.PeerAddress(), time);
    if (over) {
      // kErrorConnectionReset: an empty datagram was consumed, more may follow.
      if (code != 0 && code != kErrorConnectionReset) break;
      ++drained;
      continue;
    }
    if (code != 0) SleepMs(time.WaitMs(kEmptyPassPauseMs));
    if (time.ReQueryDue()) {
      SendDiscoveryQuery(kReQuery);
      time.reQueried = true;
    }
  }
}

}  // namespace

namespace {

void SendDiscoveryQuery(std::string_view payload) {
  std::string remaining = SourceAddressSelection();
  std::string entry;
  const bool bound = SendersBindToEntry();
  while (TakeSourceEntry(remaining, entry)) {
    {
      TUDPBlockSocket sender;
      if (StartSender(sender, entry, bound)) {
        sender.SendText(payload);
        sender.CloseEndpoint();
      }
    }
    if (Settings.Verbose) WriteLine("Sender stopped");
  }
}

}  // namespace

void DiscoverPowerSupplies(std::int64_t listenMs) {
  ClearDeviceList(DeviceList);
  {
    TUDPBlockSocket listener;
    listener.ReserveReceiveRoom(kBurstReplies, kFullReplyBytes);
    const std::string port = std::to_string(Settings.ServerPort);
    if (StartListener(listener, port)) {
      if (Settings.Verbose) WriteLine("Listener started at UDP port " + port);
      Listen(listener, listenMs);
      listener.CloseEndpoint();
    }
  }
  if (Settings.JsonOutput) {
    WriteJsonLine(SummaryJson("supplies", DeviceList.Count));
  } else if (DeviceList.Count == 0) {
    WriteLine(" No Power Supply found.");
  }
  if (Settings.Verbose) WriteLine("Listener stopped");
}
