#include <gtest/gtest.h>

#include <string>

#include "core/codecs.h"

namespace {

using namespace std::string_literals;

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(TranslateEscapes, EachSequenceAndItsNeighbours) {
  const TextCase cases[] = {
      {"*IDN?\\n", "*IDN?\n"},
      {"\\z", "\0"s},
      {"\\b\\t\\n\\r\\e\\s", "\b\t\n\r\x1B "},
      {"a\\sb\\sc", "a b c"},
      {"\\zA\\z", "\0A\0"s},
      // Case-sensitive: upper-case letters and unknown letters stay.
      {"\\Z\\N\\T\\S", "\\Z\\N\\T\\S"},
      {"\\x41\\q\\0", "\\x41\\q\\0"},
      // A doubled backslash is no escape of its own: the second backslash
      // still starts a sequence.
      {"\\\\n", "\\\n"},
      {"\\\\\\n", "\\\\\n"},
      {"\\\\z", "\\\0"s},
      // A lone backslash at the end, or before a byte that is no letter.
      {"abc\\", "abc\\"},
      {"\\", "\\"},
      {"\\\\", "\\\\"},
      {"\\\n", "\\\n"},
      // Replaced bytes never form a new sequence with what follows.
      {"\\zn", "\0n"s},
      {"\\nn\\n", "\nn\n"},
      // Every byte value other than the escapes passes through untouched.
      {"\0\x01\x7F\x80\xFF"s, "\0\x01\x7F\x80\xFF"s},
      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(TranslateEscapes(c.input), c.expected) << "input: " << c.input;
}

TEST(TranslateEscapes, LongTextOfEscapesKeepsItsLength) {
  std::string text;
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    text += "\\n\\zx";
    expected += "\n\0x"s;
  }
  EXPECT_EQ(TranslateEscapes(text), expected);
}

TEST(HexToBytes, PairsUntilTheFirstNonHexPair) {
  const TextCase cases[] = {
      {"01FF00", "\x01\xFF\x00"s},
      {"01FG00", "\x01"},
      {"123", "\x12"},
      {"1", ""},
      {"", ""},
      {"abcdef", "\xAB\xCD\xEF"},
      {"ABCDEF", "\xAB\xCD\xEF"},
      {"aBcD", "\xAB\xCD"},
      {"0123456789", "\x01\x23\x45\x67\x89"},
      {"G0", ""},
      {"0G", ""},
      // Stops at the first bad pair even when later pairs are good.
      {"0102 304", "\x01\x02"},
      {"01-02", "\x01"},
      {"0x12", ""},
      // The digit values just outside the ranges.
      {"/0", ""},
      {":0", ""},
      {"@0", ""},
      {"`0", ""},
      {"g0", ""},
      {"0\xFF", ""},
      {"00\0"s "1", "\0"s},
      {"F4E1420003AB", "\xF4\xE1\x42\x00\x03\xAB"s},
  };
  for (const auto &c : cases) EXPECT_EQ(HexToBytes(c.input), c.expected) << "input: " << c.input;
}

TEST(HexToBytes, EveryByteValueRoundTrips) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  const std::string dashed = BytesToDashedHex(all);
  std::string plain;
  for (char c : dashed)
    if (c != '-') plain.push_back(c);
  EXPECT_EQ(HexToBytes(plain), all);
}

TEST(HexToBytes, ArbitraryInputNeverGivesMoreThanHalfItsLength) {
  for (std::size_t length = 0; length < 300; ++length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>((i * 37 + length) % 256));
    EXPECT_LE(HexToBytes(text).size(), length / 2);
    EXPECT_EQ(HexToBytes(std::string(length, 'f')).size(), length / 2);
  }
}

TEST(HexForms, ListAndDashed) {
  const struct {
    std::string bytes;
    std::string list;
    std::string dashed;
  } cases[] = {
      {"", "[]", ""},
      {"\0"s, "[00]", "00"},
      {"\xFF", "[FF]", "FF"},
      {"\x01\xFF\x00"s, "[01 FF 00]", "01-FF-00"},
      {"\xF4\xE1\x42\x00\x03\xAB"s, "[F4 E1 42 00 03 AB]", "F4-E1-42-00-03-AB"},
      {"\x0A\xA0\x09\x90", "[0A A0 09 90]", "0A-A0-09-90"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(BytesToHexList(c.bytes), c.list);
    EXPECT_EQ(BytesToDashedHex(c.bytes), c.dashed);
  }
}

}  // namespace
