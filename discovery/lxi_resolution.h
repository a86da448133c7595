// Service discovery over multicast DNS: the records of every reply of a run,
// the follow-up questions for instances whose answer came without their
// SRV, TXT or A records, and the instruments the records name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "discovery/lxi_instrument.h"
#include "wire/dns_reply.h"
#include "wire/mdns_query.h"

// A follow-up question asked; Sends counts its queries.
struct MdnsAsked {
  DnsQuestion Question;
  std::size_t Socket = 0;
  std::uint64_t SentMs = 0;
  int Sends = 0;
};

// What the replies of one run said, each record with the reply's source
// address and the socket it came to (a bounded number of records, each
// kept once), and the follow-up questions asked so far.
struct MdnsAnswers {
  struct Held {
    DnsRecord Record;
    std::uint32_t Source = 0;
    std::size_t Socket = 0;
  };
  std::vector<Held> Records;
  std::vector<MdnsAsked> Asked;
  // A record came since the last look for follow-ups, or a repeat may be
  // due from this time on: only then is there a look.
  bool Changed = false;
  std::uint64_t NextLookMs = 0;
};

// One query to send from the socket of that index.
struct MdnsFollowUp {
  std::size_t Socket = 0;
  std::vector<DnsQuestion> Questions;
};

// Keeps the records of one reply from source that came to socket.
void NoteMdnsReply(MdnsAnswers &answers, const std::vector<DnsRecord> &records, std::uint32_t source,
                   std::size_t socket);

// The follow-up queries due at nowMs: for each instance of a service asked
// for (a PTR record's target) without an SRV or TXT record, those two
// questions; for each SRV host without an A record, that question. Each
// is sent from the socket its PTR record came to, once at once and once
// more kFollowUpRepeatMs later while still unanswered (a responder still
// probing its own records answers them only after about 750 ms), never
// again after that. At most 16 questions a query.
inline constexpr std::uint64_t kFollowUpRepeatMs = 1000;
std::vector<MdnsFollowUp> DueFollowUps(MdnsAnswers &answers, std::uint64_t nowMs);

// Notes every instance of a service asked for: its service with the port of
// its SRV record (0 without one; an SRV record of port 0 drops it), its
// name and TXT strings, at the address of the A record of the SRV host, or
// without one (or with 0.0.0.0) at the source of its PTR record.
void AddAnnouncedServices(LxiInstrumentList &list, const MdnsAnswers &answers);
