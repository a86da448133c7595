#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "core/settings.h"
#include "platform/platform.h"
#include "session/presentation.h"
#include "wire/modbus_reply.h"

namespace {

using namespace std::string_literals;

// The text with every "." shown in the locale's decimal separator.
std::string Localized(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '.')
      out += DecimalSeparator();
    else
      out.push_back(c);
  }
  return out;
}

// Big-endian bytes of a single-precision float.
std::string FloatBytes(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((bits >> shift) & 0xFF));
  return bytes;
}

class PresentationTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings = SettingsRecord{}; }
  void TearDown() override { Settings = SettingsRecord{}; }
};

// ---- TransformReply --------------------------------------------------------

TEST_F(PresentationTest, TransformReplyStripsOneLineEndThenAppliesCommaSwitches) {
  const struct {
    bool commaToEol, decimalComma;
    std::string reply, expected;
  } cases[] = {
      {false, false, "1.5,2.5\r\n", "1.5,2.5"},
      {false, true, "1.5,2.5\r\n", "1,5;2,5"},
      {true, false, "1.5,2.5\r\n", "1.5\r\n2.5"},
      {true, true, "1.5,2.5\r\n", "1,5\r\n2,5"},
      {false, false, "abc\n", "abc"},
      {false, false, "abc\r", "abc"},
      {false, false, "abc", "abc"},
      // Only one line end goes; an earlier one stays.
      {false, false, "abc\r\n\r\n", "abc\r\n"},
      {false, false, "abc\n\n", "abc\n"},
      {false, false, "abc\n\r", "abc\n"},
      {false, false, "abc\r\r", "abc\r"},
      {false, false, "\r\n", ""},
      {false, false, "\n", ""},
      {false, false, "", ""},
      // Binary replies: a last byte 10 goes, then a 13 before it.
      {false, false, "\x01\x02\x0A"s, "\x01\x02"s},
      {false, false, "\x00\x0D\x0A"s, "\x00"s},
      {false, false, "\x00\x0A\x0D"s, "\x00\x0A"s},
      {false, false, "\x0A\x00"s, "\x0A\x00"s},
      {true, false, "\x2C\x00\x2E"s, "\x0D\x0A\x00\x2E"s},
      {false, true, "\x2C\x00\x2E\xFF"s, "\x3B\x00\x2C\xFF"s},
      {true, true, ",,..", "\r\n\r\n,,"},
  };
  for (const auto &c : cases) {
    Settings.CommaToEol = c.commaToEol;
    Settings.DecimalComma = c.decimalComma;
    EXPECT_EQ(TransformReply(c.reply), c.expected)
        << "reply: " << ::testing::PrintToString(c.reply) << " xc=" << c.commaToEol << " xsk=" << c.decimalComma;
  }
}

// ---- Timestamps ------------------------------------------------------------

TEST_F(PresentationTest, FormatTimestampPatterns) {
  const LocalDateTime time{2024, 3, 5, 14, 7, 9, 42};
  const struct {
    int format;
    std::string separator, expected;
  } cases[] = {
      {0, ":", ""},
      {7, ":", ""},
      {-1, ":", ""},
      {1, ":", "\t2024-03-05\t14:07:09\t042"},
      {2, ":", "\t2024-03-05 14:07:09.042"},
      {3, ":", ";2024-03-05;14:07:09;042"},
      {4, ":", "\t2024.03.05\t14:07:09.042"},
      {5, ":", "\t2024.03.05 14:07:09.042"},
      {6, ":", "\t14:07:09.042"},
      {2, ".", "\t2024-03-05 14.07.09.042"},
      {6, "", "\t140709.042"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(FormatTimestamp(c.format, time, c.separator), c.expected) << "format " << c.format;

  EXPECT_EQ(FormatTimestamp(2, {987, 12, 31, 0, 0, 0, 999}, ":"), "\t0987-12-31 00:00:00.999");
  EXPECT_EQ(FormatTimestamp(1, {2025, 1, 1, 23, 59, 59, 0}, ":"), "\t2025-01-01\t23:59:59\t000");
}

// Reads `text` against a pattern in which y, m, d, h, n, s and z stand for
// the digits of year, month, day, hour, minute, second and millisecond and
// ":" for the time separator; every other character must appear as it is.
// Returns false when the text does not fit the pattern.
bool ReadTimestamp(const std::string &text, const std::string &pattern, LocalDateTime &shown) {
  shown = {};
  std::size_t at = 0;
  for (char p : pattern) {
    if (p == ':') {
      const std::string separator = TimeSeparator();
      if (text.compare(at, separator.size(), separator) != 0) return false;
      at += separator.size();
      continue;
    }
    if (at >= text.size()) return false;
    const char c = text[at++];
    int *field = nullptr;
    switch (p) {
      case 'y': field = &shown.year; break;
      case 'm': field = &shown.month; break;
      case 'd': field = &shown.day; break;
      case 'h': field = &shown.hour; break;
      case 'n': field = &shown.minute; break;
      case 's': field = &shown.second; break;
      case 'z': field = &shown.millisecond; break;
      default:
        if (c != p) return false;
        continue;
    }
    if (c < '0' || c > '9') return false;
    *field = *field * 10 + (c - '0');
  }
  return at == text.size();
}

TEST_F(PresentationTest, TimestampSuffixShowsTheMomentOfTheCall) {
  EXPECT_EQ(TimestampSuffix(), "");

  const struct {
    int format;
    std::string pattern;
  } cases[] = {
      {1, "\tyyyy-mm-dd\thh:nn:ss\tzzz"}, {2, "\tyyyy-mm-dd hh:nn:ss.zzz"}, {3, ";yyyy-mm-dd;hh:nn:ss;zzz"},
      {4, "\tyyyy.mm.dd\thh:nn:ss.zzz"},   {5, "\tyyyy.mm.dd hh:nn:ss.zzz"}, {6, "\thh:nn:ss.zzz"},
  };
  auto key = [](const LocalDateTime &t, bool withDate) {
    return std::make_tuple(withDate ? t.year : 0, withDate ? t.month : 0, withDate ? t.day : 0, t.hour, t.minute,
                           t.second, t.millisecond);
  };
  for (const auto &c : cases) {
    Settings.TimestampFormat = c.format;
    const LocalDateTime before = CurrentLocalTime();
    const std::string suffix = TimestampSuffix();
    const LocalDateTime after = CurrentLocalTime();

    LocalDateTime shown;
    ASSERT_TRUE(ReadTimestamp(suffix, c.pattern, shown))
        << "format " << c.format << ": " << ::testing::PrintToString(suffix);
    const bool withDate = c.format != 6;
    if (withDate || before.day == after.day) {
      EXPECT_LE(key(before, withDate), key(shown, withDate)) << "format " << c.format;
      EXPECT_LE(key(shown, withDate), key(after, withDate)) << "format " << c.format;
    }
  }
}

// ---- Modbus value decoders -------------------------------------------------

TEST(ModbusValues, WordAndLong) {
  const struct {
    std::string bytes;
    int word, longValue;
  } cases[] = {
      {"", -32768, -1},
      {"\x7F", 127, -1},
      {"\xFF", 255, -1},
      {"\x00\x0A"s, 10, -1},
      {"\xFF\xFF", 65535, -1},
      {"\x80\x00\x01"s, 32768, -1},
      {"\x00\x0A\xFF\xFF"s, 10, 720895},
      {"\xFF\xFF\xFF\xFF", 65535, -1},
      {"\x80\x00\x00\x00"s, 32768, std::numeric_limits<std::int32_t>::min()},
      {"\x7F\xFF\xFF\xFF", 32767, std::numeric_limits<std::int32_t>::max()},
      {"\x12\x34\x56\x78\x9A", 0x1234, 0x12345678},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(ModbusWord(c.bytes), c.word) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(ModbusLong(c.bytes), c.longValue) << ::testing::PrintToString(c.bytes);
  }
}

TEST(ModbusValues, FloatKeepsFourDecimalsRoundingHalfToEven) {
  const struct {
    std::string bytes;
    double expected;
  } cases[] = {
      {"\x41\x20\x00\x00"s, 10.0},
      {"\x3F\x9D\xF3\xB6", 1.234},
      {"\x3F\x9D\xF3\xB6\xFF", 1.234},
      {"\x00\x00\x00\x00"s, 0.0},
      {"\x80\x00\x00\x00"s, 0.0},
      {FloatBytes(-123.456f), -123.456},
      {FloatBytes(1.0f / 3.0f), 0.3333},
      // x10000 lands exactly on .5: the even neighbour wins.
      {FloatBytes(0.03125f), 0.0312},
      {FloatBytes(0.09375f), 0.0938},
      {FloatBytes(-0.03125f), -0.0312},
      {FloatBytes(-0.09375f), -0.0938},
      {FloatBytes(0.00005f), 0.0},  // just under .5 once widened
      {FloatBytes(562949953421312.0f), 562949953421312.0},
      // Fewer than 4 bytes.
      {"", -1e-20},
      {"\x41", -1e-20},
      {"\x41\x20", -1e-20},
      {"\x41\x20\x00"s, -1e-20},
      // Not a number, infinite, or too large for a 64-bit integer once scaled.
      {"\x7F\xC0\x00\x00"s, -1e-20},
      {"\xFF\xC0\x00\x01"s, -1e-20},
      {"\x7F\x80\x00\x00"s, -1e-20},
      {"\xFF\x80\x00\x00"s, -1e-20},
      {"\x7F\x7F\xFF\xFF", -1e-20},
      {"\xFF\x7F\xFF\xFF", -1e-20},
      {FloatBytes(3.4e38f), -1e-20},
      // The floats on either side of 2^63 once scaled.
      {"\x58\x51\xB7\x17", 922337180385280.0},
      {"\xD8\x51\xB7\x17", -922337180385280.0},
      {"\x58\x51\xB7\x18", -1e-20},
      {"\xD8\x51\xB7\x18", -1e-20},
      {FloatBytes(1125899906842624.0f), -1e-20},  // 2^50
      {FloatBytes(-1125899906842624.0f), -1e-20},
  };
  for (const auto &c : cases) {
    const double value = ModbusFloat(c.bytes);
    if (c.expected == -1e-20)
      EXPECT_EQ(value, -1e-20) << ::testing::PrintToString(c.bytes);
    else
      EXPECT_NEAR(value, c.expected, std::fabs(c.expected) * 1e-15) << ::testing::PrintToString(c.bytes);
  }
}

TEST(GeneralFloat, ShortestFormWithFifteenDigits) {
  const struct {
    double value;
    std::string expected;
  } cases[] = {
      {10.0, "10"},
      {1.234, "1.234"},
      {0.0, "0"},
      {-0.0, "0"},
      {100.0, "100"},
      {-5.5, "-5.5"},
      {12340 * 0.0001, "1.234"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {123456.789, "123456.789"},
      {0.0001, "0.0001"},
      {0.00012345, "0.00012345"},
      {-0.0312, "-0.0312"},
      {0.00001, "1E-5"},
      {-1e-20, "-1E-20"},
      {1.5e20, "1.5E20"},
      {-2.25e-7, "-2.25E-7"},
      {1e14, "100000000000000"},
      {999999999999999.0, "999999999999999"},
      {999999999999999.9, "1E15"},
      {1e15, "1E15"},
      {9999999999999999.0, "1E16"},
      {123456789012345678.0, "1.23456789012346E17"},
      {1e100, "1E100"},
      {5e-324, "4.94065645841247E-324"},
      {1.7976931348623157e308, "1.79769313486232E308"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FormatGeneralFloat(c.value, "."), c.expected);
    std::string comma = c.expected;
    for (char &ch : comma)
      if (ch == '.') ch = ',';
    EXPECT_EQ(FormatGeneralFloat(c.value, ","), comma);
  }
  EXPECT_EQ(FormatGeneralFloat(1.5, DecimalSeparator()), FormatGeneralFloat(1.5));
}

// ---- DecodeModbusReply -----------------------------------------------------

// A read reply: 7-byte header, function 3, byte count, then the payload.
std::string ReadReply(const std::string &payload) {
  return "\x00\x01\x00\x00\x00\x07\x01\x03"s + static_cast<char>(payload.size()) + payload;
}

TEST_F(PresentationTest, DecodeModbusReplyViews) {
  const std::string registers = ReadReply("\x00\x0A\xFF\xFF"s);
  const std::string floats = ReadReply("\x41\x20\x00\x00\x3F\x9D\xF3\xB6"s);
  const std::string coilEcho = "\x00\x01\x00\x00\x00\x06\x01\x05\x00\x10\xFF\x00"s;
  const struct {
    int view, function;
    std::string reply, expected;
  } cases[] = {
      {1, 3, "", "No Data"},
      {1, 3, "\x00\x01\x00\x00\x00\x03\x01\x83"s, "No Data"},
      {0, 3, "\x00\x01\x00\x00\x00\x03\x01\x83\x02"s, "[00 01 00 00 00 03 01 83 02]"},
      {1, 3, "\x00\x01\x00\x00\x00\x03\x01\x83\x02"s, "[00 01 00 00 00 03 01 83 02]"},
      {5, 5, "ABCDEFGHI", "[41 42 43 44 45 46 47 48 49]"},
      {0, 3, registers, "[00 01 00 00 00 07 01 03 04 00 0A FF FF]"},
      {1, 3, registers, "10 65535"},
      {2, 3, registers, "720895"},
      {4, 3, registers, "00000000 00001010 11111111 11111111"},
      {3, 3, ReadReply("\x41\x20\x00\x00"s), "10"},
      {3, 3, ReadReply("\x3F\x9D\xF3\xB6"), "1.234"},
      {3, 3, floats, "10 1.234"},
      {3, 3, ReadReply("\x7F\xC0\x00\x00"s), "-1E-20"},
      {5, 3, ReadReply("\x41\x42\x00\x00\x43\x44\x00"s), "AB\tCD\t"},
      {5, 3, ReadReply("\x00\x00\x00"s), "\t"},
      {5, 3, ReadReply("\x00" "A\x00" "B"s), "\tA\tB"},
      {5, 3, ReadReply("AB  "), "AB "},
      // Groups: a short tail of 1 byte is dropped, of 2 or 3 bytes gives a value.
      {1, 3, ReadReply("\x00\x0A\xFF"s), "10"},
            {2, 3, ReadReply("\x00\x0A\xFF\xFF\x00"s), "720895"},
      {2, 3, ReadReply("\x00\x0A\xFF\xFF\x00\x01"s), "720895 -1"},
      {2, 3, ReadReply("\x00\x0A\xFF\xFF\x00\x01\x02"s), "720895 -1"},
      {2, 3, ReadReply("\x01"), "-1"},
      {3, 3, ReadReply("\x41\x20\x00\x00\x41\x20"s), "10 -1E-20"},
      // The byte count and header play no part.
      {1, 3, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x01"s, "1"},
      // Write single coil: the payload follows the 2-byte output address.
      {0, 5, coilEcho, "[00 01 00 00 00 06 01 05 00 10 FF 00]"},
      {1, 5, coilEcho, "65280"},
      {2, 5, coilEcho, "-1"},
      {3, 5, coilEcho, "-1E-20"},
      {4, 5, coilEcho, "11111111 00000000"},
      {5, 5, coilEcho, "\xFF\t"},
      // Empty payload.
      {1, 5, coilEcho.substr(0, 10), "-32768"},
      {2, 5, coilEcho.substr(0, 10), "-1"},
      {3, 5, coilEcho.substr(0, 10), "-1E-20"},
      {4, 5, coilEcho.substr(0, 10), ""},
      {5, 5, coilEcho.substr(0, 10), ""},
      {1, 3, ReadReply(""), "[00 01 00 00 00 07 01 03 00]"},
      {1, 3, ReadReply("\x01"), "1"},
  };
  for (const auto &c : cases) {
    Settings.ModbusView = c.view;
    Settings.ModbusFunction = static_cast<std::uint8_t>(c.function);
    EXPECT_EQ(DecodeModbusReply(c.reply), Localized(c.expected))
        << "view " << c.view << " function " << c.function << " reply " << ::testing::PrintToString(c.reply);
  }
}

// Number of space-separated values in `text`.
std::size_t ValueCount(const std::string &text) {
  std::size_t count = 1;
  for (char c : text) count += c == ' ';
  return count;
}

TEST_F(PresentationTest, DecodeModbusReplyOnGarbageOfAnyLength) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 70; ++n) lengths.push_back(n);
  for (std::size_t n : {255u, 256u, 257u, 1000u, 4095u, 4096u, 65535u, 65536u, 65537u, 70000u}) lengths.push_back(n);

  std::uint32_t seed = 12345;
  for (std::size_t length : lengths) {
    std::string reply(length, '\0');
    for (char &c : reply) {
      seed = seed * 1103515245u + 12345u;
      c = static_cast<char>(seed >> 24);
    }
    // Every few lengths, runs of zeros and spaces too.
    if (length % 3 == 0)
      for (std::size_t i = 0; i < length; i += 7) reply[i] = (i % 2) ? ' ' : '\0';

    for (int function : {3, 5}) {
      const std::size_t offset = function == 5 ? 10 : 9;
      const std::size_t p = length > offset ? length - offset : 0;
      for (int view = 0; view <= 6; ++view) {
        Settings.ModbusView = view;
        Settings.ModbusFunction = static_cast<std::uint8_t>(function);
        const std::string out = DecodeModbusReply(reply);
        SCOPED_TRACE("length " + std::to_string(length) + " view " + std::to_string(view) + " function " +
                     std::to_string(function));
        if (length < 9) {
          EXPECT_EQ(out, "No Data");
          continue;
        }
        if (length == 9 || view == 0 || view == 6) {
          EXPECT_EQ(out.size(), 3 * length + 1);
          continue;
        }
        switch (view) {
          case 1:
            EXPECT_EQ(ValueCount(out), std::max<std::size_t>(1, p / 2));
            break;
          case 2:
          case 3:
            EXPECT_EQ(ValueCount(out), std::max<std::size_t>(1, p / 4 + (p % 4 >= 2 ? 1 : 0)));
            if (view == 3) {
              EXPECT_EQ(out.find_first_of("NI"), std::string::npos);
            }
            break;
          case 4:
            EXPECT_EQ(out.size(), p ? 9 * p - 1 : 0);
            break;
          case 5:
            EXPECT_LE(out.size(), p);
            EXPECT_EQ(out.find('\0'), std::string::npos);
            break;
        }
      }
    }
  }
}

}  // namespace
