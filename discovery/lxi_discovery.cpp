// The instrument search runs in three steps: the queries leave from every
// source entry, each from a socket of its own that then collects the
// replies for the listening time, and sends the follow-up questions for
// announced instances whose answer lacked records; the replies are merged
// into one entry per address; each entry is asked for its identity and its
// identification document, and printed.
//
// Both queries share the socket of their entry, so both kinds of reply
// come back to it: a reply that reads as a GETPORT answer to this run's
// xid counts as one, else one that reads as a DNS reply to this run's id,
// and anything else is dropped.
#include "discovery/lxi_discovery.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/dotted_address.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "discovery/discovery_json.h"
#include "wire/dns_reply.h"
#include "discovery/lxi_ask.h"
#include "discovery/lxi_instrument.h"
#include "discovery/lxi_resolution.h"
#include "wire/mdns_query.h"
#include "wire/portmap_wire.h"
#include "discovery/source_addresses.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "platform/worker_jobs.h"
#include "session/udp_endpoints.h"

namespace {

// A quiet pass over the sockets is followed by this pause at the most.
constexpr int kEmptyPassPauseMs = 10;
// Datagrams read from one socket in one pass, and once the time is over.
constexpr int kReadsPerPass = 4096;
// The receive queue of each socket holds a burst of this many replies.
constexpr int kBurstReplies = 250;
constexpr int kReplyBytes = 1500;
// What the identity and identification document of one instrument may
// cost at the most.
constexpr std::uint64_t kIdentityBudgetMs = 900;
// The RPC calls of one instrument's identity are numbered from its own
// first xid on.
constexpr std::uint32_t kXidsPerInstrument = 32;

using Senders = std::vector<std::unique_ptr<TUDPBlockSocket>>;

struct RunIds {
  std::uint32_t xid;
  std::uint16_t dnsId;
};

// Ids of this run, from the clock: replies to an earlier run do not count.
// The xid's top bit is clear and the DNS id's set, so a reply that echoes
// one of them can never echo the other in its first bytes.
RunIds MakeRunIds() {
  const std::uint32_t mixed = static_cast<std::uint32_t>(TickCountMs() * 2654435761u);
  return {mixed & 0x7FFFFFF0u, static_cast<std::uint16_t>((mixed >> 16) | 0x8000u)};
}

void SendQuery(TUDPBlockSocket &socket, const std::string &address, int port, const std::string &query) {
  socket.SetPeer(address, std::to_string(port));
  if (socket.ErrorCode() == 0) socket.SendText(query);
  if (socket.ErrorCode() != 0 && Settings.Verbose)
    ReportFailure(FailureLine("!Query to " + address + " failed with error code: ", socket), socket.ErrorCode());
}

// The socket of one source entry, both queries sent from it; false when
// its destination fails (shown as for discovery).
bool StartQueries(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry, RunIds ids) {
  socket.Family = TSocketFamily::IPv4;
  socket.ReserveReceiveRoom(kBurstReplies, kReplyBytes);
  socket.PrepareHandle();
  socket.AllowBroadcast(true);
  // As for discovery, a failed bind is silent: the system picks the source.
  if (bindToEntry) socket.BindTo(entry, "0");
  const std::string broadcast = FormatDottedAddress(Settings.BroadcastAddress);
  socket.SetPeer(broadcast, std::to_string(kPortmapperPort));
  if (!SenderStarted(socket, entry)) return false;
  SendQuery(socket, broadcast, kPortmapperPort, BuildGetPortCall(ids.xid));
  if (bindToEntry) socket.SendMulticastFrom(entry);
  SendQuery(socket, kMdnsGroup, kMdnsPort, BuildServiceQuery(ids.dnsId));
  return true;
}

// What the replies of a run told.
struct Heard {
  LxiInstrumentList Portmapped;
  MdnsAnswers Announced;
};

void HandleReply(const std::string &datagram, const std::string &source, std::size_t socket, RunIds ids,
                 Heard &heard) {
  const std::string received = ReceivedFromLine(source, datagram.size());
  int port = 0;
  std::vector<DnsRecord> records;
  if (ReadGetPortReply(datagram, ids.xid, port)) {
    AddPortmapperAnswer(heard.Portmapped, ParseDottedAddress(source), port);
  } else if (ReadDnsReply(datagram, ids.dnsId, records)) {
    NoteMdnsReply(heard.Announced, records, ParseDottedAddress(source), socket);
  } else {
    if (Settings.Verbose) WriteLine(received + " - Dropped: not an answer to the queries");
    return;
  }
  if (Settings.Verbose) WriteLine(received);
}

// Reads what each socket holds; true when anything arrived.
bool ReadPass(Senders &senders, RunIds ids, Heard &heard) {
  bool any = false;
  for (std::size_t index = 0; index < senders.size(); ++index) {
    TUDPBlockSocket *socket = senders[index].get();
    for (int reads = 0; reads < kReadsPerPass; ++reads) {
      const std::string datagram = socket->ReceiveWaiting(0);
      const int code = socket->ErrorCode();
      // kErrorConnectionReset: an empty datagram or an error report was taken.
      if (code == kErrorConnectionReset) continue;
      if (code != 0) break;
      HandleReply(datagram, socket->PeerAddress(), index, ids, heard);
      any = true;
    }
  }
  return any;
}

void SendFollowUps(Senders &senders, RunIds ids, MdnsAnswers &answers) {
  for (const MdnsFollowUp &query : DueFollowUps(answers, TickCountMs()))
    SendQuery(*senders[query.Socket], kMdnsGroup, kMdnsPort, BuildQuestionQuery(ids.dnsId, query.Questions));
}

void Listen(Senders &senders, std::int64_t listenMs, RunIds ids, Heard &heard) {
  const std::int64_t end = static_cast<std::int64_t>(TickCountMs()) + listenMs;
  for (;;) {
    const bool over = static_cast<std::int64_t>(TickCountMs()) >= end;
    const bool any = ReadPass(senders, ids, heard);
    // Once the time is over, what was queued has been taken.
    if (over) return;
    SendFollowUps(senders, ids, heard.Announced);
    if (!any) SleepMs(std::min<std::int64_t>(kEmptyPassPauseMs, end - static_cast<std::int64_t>(TickCountMs())));
  }
}

}  // namespace

void DiscoverLxiInstruments(std::int64_t listenMs) {
  const RunIds ids = MakeRunIds();
  Senders senders;
  std::string remaining = SourceAddressSelection();
  std::string entry;
  const bool bindToEntry = SendersBindToEntry();
  while (TakeSourceEntry(remaining, entry)) {
    auto socket = std::make_unique<TUDPBlockSocket>();
    if (StartQueries(*socket, entry, bindToEntry, ids)) {
      senders.push_back(std::move(socket));
    } else if (Settings.Verbose) {
      WriteLine("Sender stopped");
    }
  }
  Heard heard;
  Listen(senders, listenMs, ids, heard);
  for (const auto &socket : senders) {
    socket->CloseEndpoint();
    if (Settings.Verbose) WriteLine("Sender stopped");
  }
  senders.clear();
  LxiInstrumentList list = std::move(heard.Portmapped);
  AddAnnouncedServices(list, heard.Announced);
  // Every instrument is asked at once, each on a worker with its own
  // budget from the moment its turn starts; the blocks follow in address
  // order, each as soon as the ones before it are printed.
  WorkerJobs jobs;
  for (std::size_t n = 0; n < list.size(); ++n) {
    const std::uint32_t xid = ids.xid + 1 + static_cast<std::uint32_t>(n) * kXidsPerInstrument;
    LxiInstrument *instrument = &list[n];
    StartJob(jobs, [instrument, xid] {
      instrument->Findings = AskLxiInstrument(*instrument, xid, TickCountMs() + kIdentityBudgetMs);
    });
  }
  for (std::size_t n = 0; n < list.size(); ++n) {
    WaitForJob(jobs, n);
    const LxiInstrument &instrument = list[n];
    if (Settings.Verbose)
      for (const std::string &note : instrument.Findings.Notes) WriteLine(note);
    if (Settings.JsonOutput) {
      WriteJsonLine(LxiJson(instrument));
    } else {
      for (const std::string &line : FormatLxiInstrument(instrument)) WriteLine(line);
    }
  }
  if (Settings.JsonOutput) {
    WriteJsonLine(SummaryJson("instruments", static_cast<int>(list.size())));
  } else if (list.empty()) {
    WriteLine(" No LXI instrument found.");
  }
}
