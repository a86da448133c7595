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
#include <deque>
#include <memory>
#include <string>

#include "core/codecs.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/line_log.h"
#include "core/settings.h"
#include "discovery/found_devices.h"
#include "wire/device_reply.h"
#include "discovery/discovery_json.h"
#include "discovery/raw_datagram.h"
#include "discovery/source_addresses.h"
#include "discovery/supply_exchanges.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "platform/worker_jobs.h"
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
// While supplies' exchanges run, a pass of the loop waits this long at the
// most, so that each supply's lines follow soon after its exchanges end.
constexpr int kTurnPollMs = 5;

// Sends payload as one datagram from every source entry to the /bca
// address and /cport port; its lines go to log.
void SendDiscoveryQuery(std::string_view payload, LineLog &log);

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

// Discovery's output in the order the loop made it. A supply's exchanges
// run on a worker while the loop listens on; the lines that follow its
// block (its exchanges' own, the next supplies', a re-query's) wait behind
// them, and every turn is printed as soon as the ones before it are.
struct Turn {
  LineLog Lines{true, {}};                // printed first
  std::unique_ptr<SupplyExchanges> Work;  // then, when done, what it gave
  bool Running = false;                   // Work's exchanges run as Job
  std::size_t Job = 0;
};

struct Output {
  std::deque<Turn> Turns;  // nothing waits: lines are printed at once
  LineLog Now;
  WorkerJobs Jobs;
};

// Where the loop's next lines go.
LineLog &Lines(Output &out) {
  if (out.Turns.empty()) return out.Now;
  if (out.Turns.back().Work) out.Turns.emplace_back();
  return out.Turns.back().Lines;
}

void StartExchanges(Output &out, const std::string &datagram, const std::string &source) {
  if (out.Turns.empty() || out.Turns.back().Work) out.Turns.emplace_back();
  Turn &turn = out.Turns.back();
  turn.Work = std::make_unique<SupplyExchanges>();
  turn.Work->Datagram = datagram;
  turn.Work->Source = source;
  // /json alone: the supply's object, with no exchange to wait for.
  if (!Settings.AskIdentity && !Settings.SendToAll) return;
  SupplyExchanges *work = turn.Work.get();
  turn.Running = true;
  turn.Job = StartJob(out.Jobs, [work] { RunSupplyExchanges(*work); });
}

// Prints the turns at the front whose exchanges are done; with wait, every
// turn, waiting for each in order.
void PrintTurns(Output &out, bool wait) {
  while (!out.Turns.empty()) {
    Turn &turn = out.Turns.front();
    if (turn.Running) {
      if (wait) {
        WaitForJob(out.Jobs, turn.Job);
      } else if (!JobFinished(out.Jobs, turn.Job)) {
        return;
      }
    }
    PrintLog(turn.Lines);
    if (turn.Work) PrintSupplyExchanges(*turn.Work);
    out.Turns.pop_front();
  }
}

void HandleReply(const std::string &datagram, const std::string &source, ListeningTime &time, Output &out) {
  LimitDeviceCount(DeviceList);
  const std::string received = ReceivedFromLine(source, datagram.size());
  LineLog &lines = Lines(out);
  if (IsDuplicateReply(DeviceList, datagram)) {
    if (Settings.Verbose) LogLine(lines, received + " - Duplicated response");
    LogRawDatagram(datagram, lines);
    return;
  }
  StoreDevice(DeviceList, datagram);
  if (Settings.Verbose) LogLine(lines, received);
  if (!Settings.JsonOutput) LogLine(lines, FormatDeviceReply(datagram));
  LogRawDatagram(datagram, lines);
  // /s: each new supply restarts the listening time.
  if (Settings.SendToAll) time.start = Now();
  if (Settings.JsonOutput || Settings.AskIdentity || Settings.SendToAll) StartExchanges(out, datagram, source);
}

void Listen(TUDPBlockSocket &listener, std::int64_t listenMs, Output &out) {
  if (Settings.DiscoverAfterConfig) {
    SleepMs(kAfterConfigMs);
    SendDiscoveryQuery(kQuery, out.Now);
    SleepMs(kAfterQueryMs);
  }
  SendDiscoveryQuery(kQuery, out.Now);
  SleepMs(kAfterQueryMs);

  ListeningTime time{Now(), listenMs};
  int drained = 0;
  for (;;) {
    PrintTurns(out, false);
    const bool over = time.Over();
    if (over && drained == kDrainLimit) break;
    // Once the time is over only what is already queued is taken. While
    // exchanges run, the loop looks in on them more often.
    const int waitMs = out.Turns.empty() ? kReceiveWaitMs : kTurnPollMs;
    const std::string datagram = listener.ReceiveWaiting(over ? 0 : time.WaitMs(waitMs));
    const int code = listener.ErrorCode();
    if (code == 0) HandleReply(datagram, listener.PeerAddress(), time, out);
    if (over) {
      // kErrorConnectionReset: an empty datagram was consumed, more may follow.
      if (code != 0 && code != kErrorConnectionReset) break;
      ++drained;
      continue;
    }
    if (code != 0) SleepMs(time.WaitMs(kEmptyPassPauseMs));
    if (time.ReQueryDue()) {
      SendDiscoveryQuery(kReQuery, Lines(out));
      time.reQueried = true;
    }
  }
}

}  // namespace

namespace {

void SendDiscoveryQuery(std::string_view payload, LineLog &log) {
  std::string remaining = SourceAddressSelection();
  std::string entry;
  const bool bound = SendersBindToEntry();
  while (TakeSourceEntry(remaining, entry)) {
    {
      TUDPBlockSocket sender;
      if (StartSender(sender, entry, bound, log)) {
        sender.SendText(payload);
        sender.CloseEndpoint();
      }
    }
    if (Settings.Verbose) LogLine(log, "Sender stopped");
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
      Output out;
      Listen(listener, listenMs, out);
      listener.CloseEndpoint();
      PrintTurns(out, true);
    }
  }
  if (Settings.JsonOutput) {
    WriteJsonLine(SummaryJson("supplies", DeviceList.Count));
  } else if (DeviceList.Count == 0) {
    WriteLine(" No Power Supply found.");
  }
  if (Settings.Verbose) WriteLine("Listener stopped");
}
