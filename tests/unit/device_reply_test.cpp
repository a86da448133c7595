// The text block of a supply's reply, the duplicate test, the clean-up of
// raw datagrams and the configuration datagrams, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "wire/config_datagrams.h"
#include "wire/device_list.h"
#include "wire/device_reply.h"

namespace {

using namespace std::string_literals;

// A reply of length bytes: MAC F4-E1-42-00-03-AB, IP 10.0.0.5, mask
// 255.255.255.0, gateway 192.168.1.1, serial "SN0123456789", byte 30 'x',
// PUD "PUD text" padded with zero bytes, bytes 103-106 'y', byte 107 the
// DHCP state, then 'z' bytes. Shorter lengths cut it.
std::string Reply(std::size_t length, char state = 1) {
  std::string bytes = "\xF4\xE1\x42\x00\x03\xAB"s + "\x0A\x00\x00\x05"s + "\xFF\xFF\xFF\x00"s + "\xC0\xA8\x01\x01"s +
                      "SN0123456789" + "x" + "PUD text" + std::string(64, '\0') + "yyyy" + std::string(1, state);
  bytes.resize(std::max<std::size_t>(length, bytes.size()), 'z');
  bytes.resize(length);
  return bytes;
}

const char kBlockHead[] =
    "\r\nSerial Number: SN0123456789\r\nMAC Address:   F4-E1-42-00-03-AB\r\nIP Address:    010.000.000.005";
const char kBlockTail[] = "\r\nSubnet mask:   255.255.255.000\r\nGateway:       192.168.001.001\r\nPUD:  [PUD text]";

TEST(DeviceReply, BlockByLengthAndDhcpState) {
  const struct {
    std::string datagram;
    std::string block;
  } cases[] = {
      {"", "Message too short..."},
      {"\x05", "Message too short..."},
      {Reply(105), "Message too short..."},
      {Reply(106), kBlockHead + " - DHCP not supported!"s + kBlockTail},
      {Reply(107), kBlockHead + " - Static"s + kBlockTail},
      {Reply(108, 1), kBlockHead + " - DHCP"s + kBlockTail},
      {Reply(108, 0), kBlockHead + " - Static"s + kBlockTail},
      {Reply(108, 2), kBlockHead + " - Static"s + kBlockTail},
      {Reply(108, '1'), kBlockHead + " - Static"s + kBlockTail},
      {Reply(1400, 1), kBlockHead + " - DHCP"s + kBlockTail},
  };
  for (const auto &c : cases) EXPECT_EQ(FormatDeviceReply(c.datagram), c.block) << c.datagram.size();
}

TEST(DeviceReply, ZeroBytesLeaveTheBlockAndOtherBytesStay) {
  std::string reply = Reply(108);
  reply.replace(18, 12, "S\0N\r\n\x01\xFFN\0\0\0\0"s);
  reply.replace(31, 72, "A\0B"s + std::string(68, '\xE9') + "]");
  const std::string block = FormatDeviceReply(reply);
  EXPECT_EQ(block, "\r\nSerial Number: SN\r\n\x01\xFFN\r\nMAC Address:   F4-E1-42-00-03-AB\r\nIP Address:    "
                   "010.000.000.005 - DHCP\r\nSubnet mask:   255.255.255.000\r\nGateway:       192.168.001.001\r\n"
                   "PUD:  [AB" + std::string(68, '\xE9') + "]]");
  // Addresses with every octet width, zero bytes among them.
  reply.replace(6, 12, "\xFF\x00\x63\x64\x00\x00\x00\x00\x01\x09\x0A\xFA"s);
  const std::string addresses = FormatDeviceReply(reply);
  EXPECT_NE(addresses.find("IP Address:    255.000.099.100 - DHCP\r\n"), std::string::npos) << addresses;
  EXPECT_NE(addresses.find("Subnet mask:   000.000.000.000\r\n"), std::string::npos) << addresses;
  EXPECT_NE(addresses.find("Gateway:       001.009.010.250\r\n"), std::string::npos) << addresses;
}

TEST(DeviceReply, DuplicatesShareTheFirstSixBytesExactly) {
  DeviceListRecord list;
  StoreDevice(list, "abcdef and more");
  StoreDevice(list, "\xF4\xE1\x42\x00\x03\x41"s);
  StoreDevice(list, "xyz");
  const struct {
    std::string datagram;
    bool duplicate;
  } cases[] = {
      {"abcdef", true},   {"abcdef other", true}, {"ABCDEF other", false}, {"aBcDeF", false}, {"abcdeg", false},
      {"\xF4\xE1\x42\x00\x03\x41 + tail"s, true},
      {"\xF4\xE1\x42\x00\x03\x61"s, false},   // a MAC 0x20 apart in a letter's range: another supply
      {"\xF4\xE1\x62\x00\x03\x41"s, false},
      {"\xD4\xE1\x42\x00\x03\x41"s, false},
      {"xyz", true},      {"XYZ", false},         {"xy", false},           {"xyz!", false},
      {"@", false},       {"`", false},
  };
  for (const auto &c : cases) EXPECT_EQ(IsDuplicateReply(list, c.datagram), c.duplicate) << c.datagram;

  // Slot Count takes part: empty until the list is full, then the latest.
  DeviceListRecord full;
  for (int i = 0; i < 251; ++i) StoreDevice(full, "k" + std::to_string(10000 + i) + " reply");
  EXPECT_TRUE(IsDuplicateReply(full, "k10250"));
  LimitDeviceCount(full);
  EXPECT_TRUE(IsDuplicateReply(full, "k10250"));
  EXPECT_TRUE(IsDuplicateReply(full, "k10000"));
  EXPECT_FALSE(IsDuplicateReply(full, "K10000"));
  EXPECT_FALSE(IsDuplicateReply(full, "k10251"));
  DeviceListRecord empty;
  EXPECT_FALSE(IsDuplicateReply(empty, "\x01"));
}

TEST(DeviceReply, SanitizeControlCharsBlanksSevenBytesOnly) {
  std::string every;
  for (int b = 0; b < 256; ++b) every.push_back(static_cast<char>(b));
  std::string expected = every;
  for (const int b : {0x00, 0x07, 0x08, 0x09, 0x0A, 0x0D, 0x1A}) expected[static_cast<std::size_t>(b)] = ' ';
  EXPECT_EQ(SanitizeControlChars(every), expected);
  EXPECT_EQ(SanitizeControlChars(""), "");
  EXPECT_EQ(SanitizeControlChars("\r\n\0ok\x1b"s), "   ok\x1b");
}

TEST(ConfigDatagrams, ByteForByte) {
  const std::string mac = "\xF4\xE1\x42\x00\x03\xAB"s;
  EXPECT_EQ(DhcpModeDatagram(mac, true), "\x04\xF4\xE1\x42\x00\x03\xAB\x01" "8052719"s);
  EXPECT_EQ(DhcpModeDatagram(mac, false), "\x04\xF4\xE1\x42\x00\x03\xAB\x00" "8052719"s);
  EXPECT_EQ(AddressDatagram(mac, 0xC0A80202u, 0xFFFFFF00u, 0xC0A80201u),
            "\x01\xF4\xE1\x42\x00\x03\xAB\xC0\xA8\x02\x02\xFF\xFF\xFF\x00\xC0\xA8\x02\x01"s);
  EXPECT_EQ(ResetDatagram(mac), "\x02\xF4\xE1\x42\x00\x03\xAB"s);
  EXPECT_EQ(DhcpModeDatagram(mac, true).size(), 15u);
  EXPECT_EQ(AddressDatagram(mac, 0, 0, 0).size(), 19u);
}

}  // namespace
