#include <charconv>
#include <cmath>
#include <cstdlib>

#include "session/presentation.h"

namespace {

// Significant digits of the general format.
constexpr int kPrecision = 15;

}  // namespace

std::string FormatGeneralFloat(double value, std::string_view decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

  // Rounded to 15 significant digits, in the C form d.dddddddddddddde±x,
  // independent of any locale.
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                     kPrecision - 1);
  if (written.ec != std::errc()) return "0";
  const std::string_view scientific(buffer, static_cast<std::size_t>(written.ptr - buffer));

  std::string out;
  std::string digits;
  std::size_t i = 0;
  if (i < scientific.size() && scientific[i] == '-') {
    out.push_back('-');
    ++i;
  }
  for (; i < scientific.size() && scientific[i] != 'e'; ++i)
    if (scientific[i] >= '0' && scientific[i] <= '9') digits.push_back(scientific[i]);
  const int exponent = i < scientific.size() ? std::atoi(std::string(scientific.substr(i + 1)).c_str()) : 0;

  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (digits == "0") return "0";

  if (exponent < -4 || exponent >= kPrecision) {
    out.push_back(digits[0]);
    if (digits.size() > 1) {
      out.append(decimalSeparator);
      out.append(digits, 1, std::string::npos);
    }
    out.push_back('E');
    if (exponent < 0) out.push_back('-');
    out.append(std::to_string(std::abs(exponent)));
  } else if (exponent < 0) {
    out.push_back('0');
    out.append(decimalSeparator);
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out.append(digits);
  } else {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
      out.append(digits);
      out.append(integerDigits - digits.size(), '0');
    } else {
      out.append(digits, 0, integerDigits);
      out.append(decimalSeparator);
      out.append(digits, integerDigits, std::string::npos);
    }
  }
  return out;
}

std::string FormatGeneralFloat(double value) { return FormatGeneralFloat(value, DecimalSeparator()); }
