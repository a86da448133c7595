// The one-shot multicast DNS question for the services LAN instruments
// announce.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr char kMdnsGroup[] = "224.0.0.251";
inline constexpr int kMdnsPort = 5353;

// The services asked for, in the order instruments show them.
inline constexpr std::string_view kLxiServices[] = {"_lxi._tcp", "_vxi-11._tcp", "_scpi-raw._tcp",
                                                    "_hislip._tcp"};
inline constexpr std::string_view kMdnsDomain = "local";

// A query with header id and one PTR question (class IN) for each service
// in the local domain, no answers.
std::string BuildServiceQuery(std::uint16_t id);
