#include "wire/dns_reply.h"

#include <cstddef>

namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr std::uint16_t kResponseFlag = 0x8000;
constexpr std::uint16_t kOpcodeMask = 0x7800;
constexpr std::uint16_t kClassIn = 1;
constexpr std::uint16_t kCacheFlush = 0x8000;

unsigned Byte(std::string_view data, std::size_t at) { return static_cast<unsigned char>(data[at]); }

bool ReadShort(std::string_view data, std::size_t &at, std::size_t end, std::uint16_t &value) {
  if (at > end || end - at < 2) return false;
  value = static_cast<std::uint16_t>((Byte(data, at) << 8) | Byte(data, at + 1));
  at += 2;
  return true;
}

// The name at offset at; at moves past its bytes in place (up to the end
// or the first pointer). Every pointer must point before the start of the
// run of labels that holds it, so each jump goes further back and the
// walk ends.
bool ReadName(std::string_view message, std::size_t &at, DnsName &name) {
  name.clear();
  std::size_t position = at;
  std::size_t runStart = at;
  std::size_t bytes = 1;
  bool jumped = false;
  for (;;) {
    if (position >= message.size()) return false;
    const unsigned length = Byte(message, position);
    if (length == 0) {
      if (!jumped) at = position + 1;
      return true;
    }
    if ((length & 0xC0) == 0xC0) {
      if (position + 1 >= message.size()) return false;
      const std::size_t target = ((length & 0x3F) << 8) | Byte(message, position + 1);
      if (target >= runStart) return false;
      if (!jumped) at = position + 2;
      jumped = true;
      position = runStart = target;
      continue;
    }
    if ((length & 0xC0) != 0) return false;
    bytes += length + 1;
    if (bytes > kMaxNameBytes || message.size() - position - 1 < length) return false;
    name.emplace_back(message.substr(position + 1, length));
    position += 1 + length;
  }
}

// The record data of one record of a type that is kept, from at to end.
bool ReadRecordData(std::string_view message, std::size_t at, std::size_t end, DnsRecord &record) {
  switch (record.Type) {
    case kDnsTypeA:
      if (end - at != 4) return false;
      record.Address = static_cast<std::uint32_t>(Byte(message, at)) << 24 | Byte(message, at + 1) << 16 |
                       Byte(message, at + 2) << 8 | Byte(message, at + 3);
      return true;
    case kDnsTypePtr:
      return ReadName(message, at, record.Target) && at <= end;
    case kDnsTypeSrv: {
      std::uint16_t priority = 0, weight = 0, port = 0;
      if (!ReadShort(message, at, end, priority) || !ReadShort(message, at, end, weight) ||
          !ReadShort(message, at, end, port))
        return false;
      record.Port = port;
      return ReadName(message, at, record.Target) && at <= end;
    }
    case kDnsTypeTxt:
      while (at < end) {
        const std::size_t length = Byte(message, at);
        if (end - at - 1 < length) return false;
        record.Texts.emplace_back(message.substr(at + 1, length));
        at += 1 + length;
      }
      return true;
    default:
      return true;
  }
}

bool Kept(std::uint16_t type) {
  return type == kDnsTypeA || type == kDnsTypePtr || type == kDnsTypeSrv || type == kDnsTypeTxt;
}

}  // namespace

bool ReadDnsReply(std::string_view message, std::uint16_t id, std::vector<DnsRecord> &records) {
  records.clear();
  std::size_t at = 0;
  std::uint16_t header[6] = {};
  for (std::uint16_t &field : header)
    if (!ReadShort(message, at, message.size(), field)) return false;
  const auto [replyId, flags, questions, answers, authorities, additionals] = header;
  if (replyId != id || (flags & kResponseFlag) == 0 || (flags & kOpcodeMask) != 0) return false;
  DnsName name;
  for (unsigned n = 0; n < questions; ++n) {
    if (!ReadName(message, at, name) || message.size() - at < 4) return false;
    at += 4;
  }
  const unsigned total = static_cast<unsigned>(answers) + authorities + additionals;
  for (unsigned n = 0; n < total; ++n) {
    DnsRecord record;
    std::uint16_t type = 0, recordClass = 0, ttlHigh = 0, ttlLow = 0, length = 0;
    if (!ReadName(message, at, record.Name) || !ReadShort(message, at, message.size(), type) ||
        !ReadShort(message, at, message.size(), recordClass) || !ReadShort(message, at, message.size(), ttlHigh) ||
        !ReadShort(message, at, message.size(), ttlLow) || !ReadShort(message, at, message.size(), length))
      return false;
    if (message.size() - at < length) return false;
    const std::size_t end = at + length;
    record.Type = type;
    record.CacheFlush = (recordClass & kCacheFlush) != 0;
    if ((recordClass & ~kCacheFlush) == kClassIn && Kept(type)) {
      if (!ReadRecordData(message, at, end, record)) return false;
      records.push_back(std::move(record));
    }
    at = end;
  }
  return true;
}

bool SameDnsName(const DnsName &a, const DnsName &b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].size() != b[i].size()) return false;
    for (std::size_t j = 0; j < a[i].size(); ++j) {
      char x = a[i][j], y = b[i][j];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
      if (x != y) return false;
    }
  }
  return true;
}
