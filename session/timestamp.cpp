#include "core/settings.h"
#include "session/presentation.h"

namespace {

// `value` as exactly `width` decimal digits (values out of range keep
// their low digits).
void AppendDigits(std::string &out, int value, int width) {
  if (value < 0) value = 0;
  std::string digits(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0; --i) {
    digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out += digits;
}

}  // namespace

std::string FormatTimestamp(int format, const LocalDateTime &time, std::string_view timeSeparator) {
  if (format < 1 || format > 6) return {};
  // Date separator, then what stands between date and time, between time and
  // milliseconds; format 6 shows the time alone.
  static const struct {
    const char *lead, *dateSeparator, *beforeTime, *beforeMillis;
  } kPatterns[] = {
      {"\t", "-", "\t", "\t"},  // 1 /xtt
      {"\t", "-", " ", "."},    // 2 /xtc
      {";", "-", ";", ";"},     // 3 /xts
      {"\t", ".", "\t", "."},   // 4 /xtk
      {"\t", ".", " ", "."},    // 5 /xtl
      {"\t", "", "", "."},      // 6 /xti
  };
  const auto &pattern = kPatterns[format - 1];
  std::string out = pattern.lead;
  if (format != 6) {
    AppendDigits(out, time.year, 4);
    out += pattern.dateSeparator;
    AppendDigits(out, time.month, 2);
    out += pattern.dateSeparator;
    AppendDigits(out, time.day, 2);
    out += pattern.beforeTime;
  }
  AppendDigits(out, time.hour, 2);
  out += timeSeparator;
  AppendDigits(out, time.minute, 2);
  out += timeSeparator;
  AppendDigits(out, time.second, 2);
  out += pattern.beforeMillis;
  AppendDigits(out, time.millisecond, 3);
  return out;
}

std::string TimestampSuffix() {
  if (Settings.TimestampFormat < 1 || Settings.TimestampFormat > 6) return {};
  return FormatTimestamp(Settings.TimestampFormat, CurrentLocalTime(), TimeSeparator());
}
