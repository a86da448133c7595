// Reading a DNS reply: the PTR, SRV, TXT and A records of its answer,
// authority and additional sections.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint16_t kDnsTypeA = 1;
inline constexpr std::uint16_t kDnsTypePtr = 12;
inline constexpr std::uint16_t kDnsTypeTxt = 16;
inline constexpr std::uint16_t kDnsTypeSrv = 33;

// A name as its labels, which may hold any byte, "." included.
using DnsName = std::vector<std::string>;

struct DnsRecord {
  DnsName Name{};
  std::uint16_t Type = 0;
  bool CacheFlush = false;   // top bit of the class
  DnsName Target{};          // PTR: the instance; SRV: the host
  int Port = 0;              // SRV
  std::vector<std::string> Texts{};  // TXT: its strings
  std::uint32_t Address = 0;       // A: first octet most significant
};

// The records of class IN and of the four types above, in message order;
// other records are passed over. False when message is not a reply to id
// (QR set, standard query) or anything in it is cut short or malformed:
// names longer than 255 bytes, labels of a reserved kind, compression
// pointers that do not point before the part of the name that holds them,
// data running past its record or the message.
bool ReadDnsReply(std::string_view message, std::uint16_t id, std::vector<DnsRecord> &records);

// Equal names, ASCII letters compared without case.
bool SameDnsName(const DnsName &a, const DnsName &b);
