#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "core/dotted_address.h"
#include "core/number_syntax.h"

namespace {

// ---------------------------------------------------------------- numbers

struct NumberCase {
  const char *text;
  bool valid;
  std::int32_t value;
};

TEST(ParseNumber, AcceptsEverySyntaxAndKeepsLow32BitsSigned) {
  const NumberCase cases[] = {
      {"0", true, 0},
      {"123", true, 123},
      {"007", true, 7},
      {" \t 42", true, 42},
      {"+7", true, 7},
      {"-7", true, -7},
      {"x1F", true, 31},
      {"X1f", true, 31},
      {"$ff", true, 255},
      {"0x10", true, 16},
      {"0XaB", true, 171},
      {"%101", true, 5},
      {"&17", true, 15},
      {"-x10", true, -16},
      {"+$10", true, 16},
      {"x1F90", true, 8080},
      {"x80000000", true, INT32_MIN},
      {"x100000001", true, 1},
      {"2147483648", true, INT32_MIN},
      {"4294967296", true, 0},
      {"-1", true, -1},
      {"xFFFFFFFFFFFFFFFF", true, -1},
      {"18446744073709551615", true, -1},
      {"-18446744073709551615", true, 1},
  };
  for (const NumberCase &c : cases) {
    std::int32_t value = 12345;
    EXPECT_TRUE(ParseNumber(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(ParseNumber, RejectsEmptyStrayCharactersAndOver64Bits) {
  const char *const cases[] = {
      "",      " ",     "+",     "-",     "x",       "0x",        "$",     "%",     "&",
      "12a",   "1 ",    "1.5",   "- 5",   "%102",    "&8",        "xG",    "0x1G",  "abc",
      "--1",   "+-1",   "1e3",   "x-1",   "\x80",    "1\xff",     "0b101", "x 1",
      "x10000000000000000",     "18446744073709551616",            "99999999999999999999999",
      "%10000000000000000000000000000000000000000000000000000000000000000",
  };
  for (const char *text : cases) {
    std::int32_t value = 12345;
    EXPECT_FALSE(ParseNumber(text, value)) << text;
    EXPECT_EQ(value, 12345) << text;
  }
}

// ------------------------------------------------------- dotted addresses

TEST(DottedAddress, ParsesLikeTheInstrumentsAddressField) {
  const struct {
    const char *text;
    std::uint32_t address;
  } cases[] = {
      {"192.168.1.10", 0xC0A8010Au},
      {"192.168.1", 0xC0A80100u},
      {"10", 0x0A000000u},
      {"1.2.3.256", 0x01020400u},   // 256 carries into the octet before
      {"1.2.3.4.5", 0x01020304u},   // after the fourth "." ignored
      {"1.2.3.4.x", 0x01020304u},
      {" 10 . 0 .\t0. 1 ", 0x0A000001u},
      {"x0A.0.0.$1", 0x0A000001u},
      {"1..3.4", 0x01000304u},
      {"1.2.3.-1", 0x010202FFu},
      {"256.0.0.0", 0u},            // wraps in 32 bits
      {"255.255.255.255", 0xFFFFFFFFu},
      {"my-host.example", 0u},
      {"a.b.c.d", 0u},
      {"", 0u},
      {".", 0u},
      {"1.2.3.4x", 0x01020300u},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseDottedAddress(c.text), c.address) << c.text;
}

TEST(DottedAddress, HostNameWhenAnyPartIsNeitherEmptyNorANumber) {
  const struct {
    const char *text;
    bool hostName;
  } cases[] = {
      {"psu.2.lab", true},
      {"x10.lab", true},
      {"10.lab", true},
      {"10.0.0.1.lab", true},     // a part after the fourth "." counts too
      {"1.2.3.4.x", true},
      {"1.2.3.4x", true},
      {"192.168.1.1O", true},     // letter O
      {" psu . 2 ", true},
      {"localhost", true},
      {"a.b.c.d", true},
      {"0x", true},               // a prefix without digits
      {"1.99999999999999999999999", true},  // over 64 bits: no number
      {"10", false},
      {"192.168.1", false},
      {"1.2.3.256", false},
      {"1.2.3.4.5", false},
      {"x0A.0.0.$1", false},
      {"0X0a.%1010.&17.-1", false},
      {" 10 . 0 .\t0. 1 ", false},
      {"1..3.4", false},
      {"1.2.3.4.", false},
      {" . ", false},
      {"", false},
      {"0.0.0.0", false},
  };
  for (const auto &c : cases) EXPECT_EQ(IsHostName(c.text), c.hostName) << c.text;
}

TEST(DottedAddress, FormatsFourDecimalOctets) {
  EXPECT_EQ(FormatDottedAddress(0), "0.0.0.0");
  EXPECT_EQ(FormatDottedAddress(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_EQ(FormatDottedAddress(0xC0A8010Au), "192.168.1.10");
  EXPECT_EQ(FormatDottedAddress(0x0A000102u), "10.0.1.2");
}

}  // namespace
