// The fields of a Teracom reply and the duplicate test.
#include <gtest/gtest.h>

#include <string>

#include "wire/device_list.h"
#include "wire/teracom_reply.h"

namespace {

using namespace std::string_literals;

struct ReplyCase {
  std::string reply;
  std::string host, serial, address;
};

TEST(ParseTeracomReply, FieldsOfEachLayout) {
  const ReplyCase cases[] = {
      {"TCW241\r\n00:04:A3:12:34:56\r\n192.168.1.2\r\n", "TCW241", "00:04:A3:12:34:56", "192.168.1.2"},
      {"TCW241\n00:04:A3:12:34:56\n192.168.1.2", "TCW241", "00:04:A3:12:34:56", "192.168.1.2"},
      {"TCW241\r00:04:A3:12:34:56\r192.168.1.2\r", "TCW241", "00:04:A3:12:34:56", "192.168.1.2"},
      // Spaces anywhere go, inside fields and around line ends.
      {" TCW 241 \r \n 00:04:A3 :12:34:56\r\n 192. 168.1.2 ", "TCW241", "00:04:A3:12:34:56", "192.168.1.2"},
      // LF CR is two line ends that pair up like CR LF.
      {"h\n\rs\n\ra", "h", "s", "a"},
      // The rest takes every further line, without its line ends.
      {"h\r\ns\r\nip\r\nmask\r\ngw\r\n", "h", "s", "ipmaskgw"},
      // No line end at all: host and serial empty, all of it the address.
      {"TCW24100:04:A3:12:34:56", "", "", "TCW24100:04:A3:12:34:56"},
      // One line end: the host, no serial, the rest the address.
      {"host\r\nrest of it", "host", "", "restofit"},
      // Three line ends in a row leave two: an empty serial.
      {"h\n\n\ns\na", "h", "", "sa"},
      {"h\r\n\r\n\r\ns", "h", "", "s"},
      {"h\r\r\rs\na", "h", "", "sa"},
      // Four leave two, five leave three.
      {"h\n\n\n\ns\na", "h", "", "sa"},
      {"h\n\n\n\n\na", "h", "", "a"},
      {"h\n \n\ns", "h", "", "s"},  // the space goes first: three LFs
      // Only line ends, or nothing.
      {"\r\n\r\n\r\n\r\n", "", "", ""},
      {"\n", "", "", ""},
      {"", "", "", ""},
      {"     ", "", "", ""},
      // Other bytes, 0 and TAB included, stay as they are.
      {"a\0b\tc\nd\x1A\xFF\ne\0"s, "a\0b\tc"s, "d\x1A\xFF", "e\0"s},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.reply));
    EXPECT_EQ(ParseTeracomReply(c.reply, TeracomField::HostName), c.host);
    EXPECT_EQ(ParseTeracomReply(c.reply, TeracomField::SerialMac), c.serial);
    EXPECT_EQ(ParseTeracomReply(c.reply, TeracomField::Address), c.address);
  }
}

TEST(ParseTeracomReply, DisplayLine) {
  const struct {
    std::string reply, line;
  } cases[] = {
      {"TCW 241\r\n00:04:A3:12:34:56\r\nIP: 192.168.1.2\r\n",
       "Hostname: TCW241\tSerial/MAC: 00:04:A3:12:34:56\tAddress: IP:192.168.1.2"},
      {"", "Hostname: \tSerial/MAC: \tAddress: "},
      {"just text", "Hostname: \tSerial/MAC: \tAddress: justtext"},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseTeracomReply(c.reply, TeracomField::DisplayLine), c.line);
}

// The longest reply a datagram can carry: 65 507 bytes of text and line ends.
TEST(ParseTeracomReply, LargestDatagram) {
  std::string reply = "h\r\ns\r\n";
  while (reply.size() < 65507) reply += "x\r\n";
  reply.resize(65507);
  const std::string address = ParseTeracomReply(reply, TeracomField::Address);
  EXPECT_EQ(address, std::string(21834, 'x'));
}

DeviceListRecord ListOf(std::initializer_list<std::string> entries) {
  DeviceListRecord list;
  for (const std::string &entry : entries) StoreDevice(list, entry);
  return list;
}

TEST(IsDuplicateTeracom, SeventeenCharactersCaseFolded) {
  const DeviceListRecord list = ListOf({"00:04:a3:12:34:56", "short", "aa:bb:cc:dd:ee:ffTAIL"});
  const struct {
    std::string key;
    bool duplicate;
  } cases[] = {
      {"00:04:a3:12:34:56", true},
      {"00:04:A3:12:34:56", true},         // case folded
      {"00:04:A3:12:34:56-more", true},     // only 17 characters count
      {"AA:BB:CC:DD:EE:FF", true},          // the slot's first 17 characters
      {"aa:bb:cc:dd:ee:ffOTHER", true},
      {"00:04:a3:12:34:57", false},
      {"00:04:a3:12:34:5", false},          // 16 characters: never a duplicate
      {"short", false},                     // even when stored as it is
      {"", false},
      {"shortXXXXXXXXXXXX", false},         // a stored short text is no prefix match
      // Folding maps a-z only: other bytes must be equal.
      {"00:04:a3:12:34:56"s.replace(0, 1, "\xD0"), false},
  };
  for (const auto &c : cases) EXPECT_EQ(IsDuplicateTeracom(c.key, list), c.duplicate) << c.key;
}

TEST(IsDuplicateTeracom, SearchesSlotsUpToCountInclusive) {
  DeviceListRecord list;
  list.Slots[0] = "00:04:a3:12:34:56";
  list.Slots[1] = "11:04:a3:12:34:56";
  list.Slots[2] = "22:04:a3:12:34:56";
  list.Count = 1;
  EXPECT_TRUE(IsDuplicateTeracom("00:04:a3:12:34:56", list));
  EXPECT_TRUE(IsDuplicateTeracom("11:04:a3:12:34:56", list));  // slot Count itself
  EXPECT_FALSE(IsDuplicateTeracom("22:04:a3:12:34:56", list));
  list.Count = 0;
  EXPECT_TRUE(IsDuplicateTeracom("00:04:a3:12:34:56", list));
  EXPECT_FALSE(IsDuplicateTeracom("11:04:a3:12:34:56", list));
}

}  // namespace
