#include "core/number_syntax.h"

#include "core/codecs.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Value of c as a digit of the given base, or -1.
int DigitValue(char c, unsigned base) {
  const int value = HexDigitValue(c);
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// Splits off the base prefix: x X $ 0x 0X hex, % binary, & octal, none decimal.
unsigned TakeBase(std::string_view &digits) {
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    return 16;
  }
  if (!digits.empty()) {
    switch (digits[0]) {
      case 'x': case 'X': case '$': digits.remove_prefix(1); return 16;
      case '%': digits.remove_prefix(1); return 2;
      case '&': digits.remove_prefix(1); return 8;
      default: break;
    }
  }
  return 10;
}

}  // namespace

bool ParseNumber(std::string_view text, std::int32_t &value) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::string_view digits = text.substr(at);
  const unsigned base = TakeBase(digits);
  if (digits.empty()) return false;

  // The magnitude must fit in 64 bits; only its low 32 bits are kept.
  std::uint64_t magnitude = 0;
  for (char c : digits) {
    const int digit = DigitValue(c, base);
    if (digit < 0) return false;
    if (magnitude > (UINT64_MAX - static_cast<unsigned>(digit)) / base) return false;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
  }
  if (negative) magnitude = 0 - magnitude;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  return true;
}
