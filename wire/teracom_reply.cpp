#include "wire/teracom_reply.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "core/codecs.h"

namespace {

// Characters of a serial/MAC text that identify a module.
constexpr std::size_t kKeyLength = 17;

// The reply with its spaces dropped, CR as LF and each pair of LFs as one.
std::string CleanReply(std::string_view reply) {
  std::string clean;
  clean.reserve(reply.size());
  bool pendingLf = false;  // an LF that may pair with the next one
  for (char c : reply) {
    if (c == ' ') continue;
    if (c == '\r') c = '\n';
    if (c == '\n') {
      if (pendingLf) {
        pendingLf = false;  // the pair is already written as one LF
        continue;
      }
      pendingLf = true;
    } else {
      pendingLf = false;
    }
    clean.push_back(c);
  }
  return clean;
}

// The text before the first LF of rest, which loses it and that LF; empty
// (rest untouched) when rest holds no LF.
std::string TakeLine(std::string_view &rest) {
  const std::size_t end = rest.find('\n');
  if (end == std::string_view::npos) return {};
  std::string line(rest.substr(0, end));
  rest.remove_prefix(end + 1);
  return line;
}

bool SameKey(std::string_view a, std::string_view b) {
  a = a.substr(0, std::min(a.size(), kKeyLength));
  b = b.substr(0, std::min(b.size(), kKeyLength));
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

}  // namespace

std::string ParseTeracomReply(std::string_view reply, TeracomField field) {
  const std::string clean = CleanReply(reply);
  std::string_view rest = clean;
  const std::string host = TakeLine(rest);
  const std::string serial = TakeLine(rest);
  std::string address;
  address.reserve(rest.size());
  std::copy_if(rest.begin(), rest.end(), std::back_inserter(address), [](char c) { return c != '\n'; });

  switch (field) {
    case TeracomField::DisplayLine:
      return "Hostname: " + host + "\tSerial/MAC: " + serial + "\tAddress: " + address;
    case TeracomField::HostName:
      return host;
    case TeracomField::SerialMac:
      return serial;
    case TeracomField::Address:
      return address;
  }
  return {};
}

bool IsDuplicateTeracom(std::string_view key, const DeviceListRecord &list) {
  if (key.size() < kKeyLength) return false;
  const std::int32_t last = std::min<std::int32_t>(list.Count, kDeviceSlots - 1);
  for (std::int32_t slot = 0; slot <= last; ++slot) {
    if (SameKey(key, list.Slots[static_cast<std::size_t>(slot)])) return true;
  }
  return false;
}
