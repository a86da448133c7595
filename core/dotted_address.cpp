#include "core/dotted_address.h"

#include "core/number_syntax.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The text before the first "." of rest, which then holds what follows it
// (nothing when there was no ".").
std::string_view TakePart(std::string_view &rest) {
  const std::size_t dot = rest.find('.');
  const std::string_view part = rest.substr(0, dot);
  rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  return part;
}

}  // namespace

std::uint32_t ParseDottedAddress(std::string_view text) {
  // Four parts split at "." from the left; a missing part is empty, anything
  // after the fourth "." is ignored, a part that is no number counts as 0.
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    std::int32_t value = 0;
    if (!ParseNumber(TrimBlanks(TakePart(text)), value)) value = 0;
    address = address * 256u + static_cast<std::uint32_t>(value);
  }
  return address;
}

bool IsHostName(std::string_view text) {
  // Every part counts here, also those after the fourth ".": 10.0.0.1.lab
  // names a host, it is no address with something ignored after it.
  while (!text.empty()) {
    const std::string_view part = TrimBlanks(TakePart(text));
    std::int32_t value = 0;
    if (!part.empty() && !ParseNumber(part, value)) return true;
  }
  return false;
}

std::string FormatDottedAddress(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFFu) + "." +
         std::to_string((address >> 8) & 0xFFu) + "." + std::to_string(address & 0xFFu);
}
