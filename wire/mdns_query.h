// The one-shot multicast DNS question for the services LAN instruments
// announce.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wire/dns_reply.h"

inline constexpr char kMdnsGroup[] = "224.0.0.251";
inline constexpr int kMdnsPort = 5353;

// The services asked for, in the order instruments show them.
inline constexpr std::string_view kLxiServices[] = {"_lxi._tcp", "_vxi-11._tcp", "_scpi-raw._tcp",
                                                    "_hislip._tcp"};
inline constexpr std::string_view kMdnsDomain = "local";

// A query with header id and one PTR question (class IN) for each service
// in the local domain, no answers.
std::string BuildServiceQuery(std::uint16_t id);

// One question of a follow-up query: a name and the record type asked for.
struct DnsQuestion {
  DnsName Name;
  std::uint16_t Type = 0;
};

// A query with header id and the questions (class IN) in their order, the
// names as their labels, uncompressed; the question whose name would not
// fit in 255 bytes is left out.
std::string BuildQuestionQuery(std::uint16_t id, const std::vector<DnsQuestion> &questions);
