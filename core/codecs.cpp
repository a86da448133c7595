#include "core/codecs.h"

#include <cstddef>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Every occurrence of `from` in `text`, scanned left to right without
// overlap, replaced by `to`; replaced text is not scanned again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found; (found = text.find(from, start)) != std::string_view::npos;
       start = found + from.size()) {
    result.append(text.substr(start, found - start));
    result.append(to);
  }
  result.append(text.substr(start));
  return result;
}

void AppendHexByte(std::string &out, char byte) {
  const auto value = static_cast<unsigned char>(byte);
  out.push_back(kHexDigits[value >> 4]);
  out.push_back(kHexDigits[value & 0x0F]);
}

// The bytes as two-digit upper-case hex, `separator` between them.
std::string JoinHex(std::string_view bytes, char separator) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out.push_back(separator);
    AppendHexByte(out, bytes[i]);
  }
  return out;
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char &c : upper) c = AsciiUpper(c);
  return upper;
}

std::string TranslateEscapes(std::string_view text) {
  // The passes run one after the other over the result of the previous one.
  static const struct {
    std::string_view sequence;
    std::string_view byte;
  } kEscapes[] = {
      {"\\z", std::string_view("\0", 1)}, {"\\b", "\b"}, {"\\t", "\t"}, {"\\n", "\n"},
      {"\\r", "\r"},                      {"\\e", "\x1B"}, {"\\s", " "},
  };
  std::string result(text);
  for (const auto &escape : kEscapes) result = ReplaceAll(result, escape.sequence, escape.byte);
  return result;
}

std::string HexToBytes(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) break;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

std::string SpacedHexToBytes(std::string_view hex) {
  std::string digits;
  digits.reserve(hex.size());
  for (char c : hex)
    if (c != ' ') digits.push_back(c);
  return HexToBytes(digits);
}

std::string BytesToHexList(std::string_view bytes) { return "[" + JoinHex(bytes, ' ') + "]"; }

std::string BytesToSpacedHex(std::string_view bytes) { return JoinHex(bytes, ' '); }

std::string BytesToDashedHex(std::string_view bytes) { return JoinHex(bytes, '-'); }
