#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "core/json_output.h"
#include "core/json_text.h"
#include "discovery/discovery_json.h"
#include "session/reply_json.h"

namespace {

using namespace std::string_literals;

TEST(JsonText, EveryByteBecomesTheCharacterOfItsNumber) {
  const struct {
    std::string bytes, json;
  } cases[] = {
      {"", R"("")"},
      {"A\"\\/ ~", R"("A\"\\/ ~")"},
      {"\x00\x01\x1F"s, R"("\u0000\u0001\u001f")"},
      {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
      {"\x7F", "\"\x7F\""},
      {"\x80\xBF\xC0\xFF", "\"\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF\""},
      // Bytes that are UTF-8 already are still one character each.
      {"\xC3\xA9", "\"\xC3\x83\xC2\xA9\""},
      {"\xC3(", "\"\xC3\x83(\""},
  };
  for (const auto &c : cases) EXPECT_EQ(JsonLine(JsonBytes(c.bytes)), c.json) << c.json;
}

TEST(JsonText, HexTimestampErrorAndSummary) {
  EXPECT_EQ(SpacedHex(""), "");
  EXPECT_EQ(SpacedHex("\x00\x0A\xFF"s), "00 0A FF");
  EXPECT_EQ(IsoTimestamp({2024, 3, 5, 14, 7, 9, 42}), "2024-03-05T14:07:09.042");
  EXPECT_EQ(ErrorJson(10061, "!TCP connect failed with error code 10061 : Connection refused"),
            R"({"type":"error","code":10061,"text":"!TCP connect failed with error code 10061 : Connection refused"})");
  EXPECT_EQ(ErrorJson(0, "!File not found: a\xE9.txt"), "{\"type\":\"error\",\"text\":\"!File not found: a\xC3\xA9.txt\"}");
  EXPECT_EQ(SummaryJson("supplies", 0), R"({"type":"summary","supplies":0})");
}

// A reply of length bytes: MAC 02-00-00-00-00-0A, 192.168.1.5, 255.255.255.0,
// 192.168.1.1, serial "SN12" with zero bytes, PUD "lab\"1" with a 0xB5 byte,
// the DHCP state byte 1.
std::string SupplyReply(std::size_t length) {
  std::string reply = "\x02\x00\x00\x00\x00\x0A\xC0\xA8\x01\x05\xFF\xFF\xFF\x00\xC0\xA8\x01\x01"s;
  reply += "SN\x00"s "12" + std::string(7, '\0') + "-";
  reply += ("lab\"1\xB5" + std::string(66, '\0')) + "tail" + "\x01" + "more";
  reply.resize(length, '+');
  return reply;
}

TEST(SupplyJsonTest, FieldsByReplyLengthAndAnswers) {
  const std::string fields =
      R"("serial":"SN12","mac":"02-00-00-00-00-0A","ip":"192.168.1.5","dhcp":"%","mask":"255.255.255.0",)"
      "\"gateway\":\"192.168.1.1\",\"pud\":\"lab\\\"1\xC2\xB5\",\"from\":\"127.0.0.5\"";
  const auto with = [&](const char *state) { return fields.substr(0, fields.find('%')) + state + fields.substr(fields.find('%') + 1); };
  const SupplyAnswer none;
  const struct {
    std::size_t length;
    SupplyAnswer identity;
    bool interfaces;
    SupplyAnswer reply;
    std::string json;
  } cases[] = {
      {108, none, false, none, "{\"type\":\"supply\"," + with("DHCP") + "}"},
      {107, none, false, none, "{\"type\":\"supply\"," + with("Static") + "}"},
      {106, none, false, none, "{\"type\":\"supply\"," + with("not supported") + "}"},
      {105, none, false, none,
       R"({"type":"supply","serial":null,"mac":null,"ip":null,"dhcp":null,"mask":null,"gateway":null,"pud":null,"from":"127.0.0.5"})"},
      {107, {true, false, "RI,PSU,1"}, false, none, "{\"type\":\"supply\"," + with("Static") + R"(,"idn":"RI,PSU,1"})"},
      {108, {true, false, "RI,PSU,1;LAN\r\nUSB"}, true, {true, false, "0,\"No error\""},
       "{\"type\":\"supply\"," + with("DHCP") + R"(,"idn":"RI,PSU,1","interfaces":"LAN\r\nUSB","reply":"0,\"No error\""})"},
      {108, {true, false, "RI"}, true, {true, true, ""},
       "{\"type\":\"supply\"," + with("DHCP") + R"(,"idn":"RI","interfaces":"","reply":null})"},
      {108, {true, true, ""}, true, none, "{\"type\":\"supply\"," + with("DHCP") + R"(,"idn":null,"interfaces":null})"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(SupplyJson(SupplyReply(c.length), "127.0.0.5", c.identity, c.interfaces, c.reply), c.json) << c.length;
  }
}

TEST(DiscoveryJson, TeracomAndConfigurationObjects) {
  EXPECT_EQ(TeracomJson("TCW 122B\r\nD8:80:39:01:02:03\r\n192.168.1.2 \r\n", "127.0.0.9"),
            R"({"type":"teracom","hostname":"TCW122B","serial":"D8:80:39:01:02:03","address":"192.168.1.2","from":"127.0.0.9"})");
  const std::string mac = "\xF4\xE1\x42\x00\x03\xAB"s;
  EXPECT_EQ(ConfigJson("10.0.0.2", "\x04" + mac + "\x01" "8052719", 0, ""),
            R"({"type":"config","step":"dhcp-on","mac":"F4-E1-42-00-03-AB","source":"10.0.0.2",)"
            R"("hex":"04 F4 E1 42 00 03 AB 01 38 30 35 32 37 31 39"})");
  EXPECT_EQ(ConfigJson("10.0.0.2", "\x01" + mac + "\xC0\xA8\x02\x02\xFF\xFF\xFF\x00\xC0\xA8\x02\x01"s, 10049,
                       "Cannot assign requested address"),
            R"({"type":"config","step":"address","mac":"F4-E1-42-00-03-AB","source":"10.0.0.2",)"
            R"("hex":"01 F4 E1 42 00 03 AB C0 A8 02 02 FF FF FF 00 C0 A8 02 01","ip":"192.168.2.2",)"
            R"("mask":"255.255.255.0","gateway":"192.168.2.1","error":{"code":10049,"text":"Cannot assign requested address"}})");
  EXPECT_EQ(ConfigJson("10.0.0.2", "\x02" + mac, 0, ""),
            R"({"type":"config","step":"reset","mac":"F4-E1-42-00-03-AB","source":"10.0.0.2","hex":"02 F4 E1 42 00 03 AB"})");
}

TEST(ReplyJsonTest, TextBinaryViewsAndFailures) {
  // A read-holding-registers reply: registers 0x000A, 0xFFFF, then 0x4120 0000 (10.0f).
  const std::string registers = "\x00\x01\x00\x00\x00\x0B\x01\x03\x08\x00\x0A\xFF\xFF\x41\x20\x00\x00"s;
  const std::string floats = "\x00\x01\x00\x00\x00\x07\x01\x03\x04\x3F\x9D\xF3\xB6"s;  // about 1.234
  const std::string words = "\x00\x01\x00\x00\x00\x06\x01\x03\x04\x41\x00\x00\x42"s;
  const std::string coil = "\x00\x01\x00\x00\x00\x06\x01\x05\x00\x64\xFF\x00"s;
  const std::string exception = "\x00\x01\x00\x00\x00\x03\x01\x83\x02"s;
  const std::string command = "\x00\x01\x00\x00\x00\x06\x01\x03\x00\x64\x00\x04"s;
  const std::string sent = R"("command":"\u0000\u0001\u0000\u0000\u0000\u0006\u0001\u0003\u0000d\u0000\u0004",)"
                           R"("commandHex":"00 01 00 00 00 06 01 03 00 64 00 04",)";
  const struct {
    int view, function;
    JsonReply reply;
    std::string json;
  } cases[] = {
      {0, 0, {"meas:volt?", "5.00\xB0", false, 0, "", "", "2024-03-05T14:07:09.042"},
       "{\"type\":\"reply\",\"command\":\"meas:volt?\",\"reply\":\"5.00\xC2\xB0\",\"time\":\"2024-03-05T14:07:09.042\"}"},
      {0, 0, {"syst:err?", "0,\"No error\"", false, 0, "", "outp 1", ""},
       R"({"type":"reply","command":"syst:err?","line":"outp 1","reply":"0,\"No error\""})"},
      {0, 0, {"*idn?", "", false, 10060, "Connection timed out", "", ""},
       R"({"type":"reply","command":"*idn?","reply":null,"error":{"code":10060,"text":"Connection timed out"}})"},
      {1, 3, {command, registers, true, 0, "", "", ""},
       "{\"type\":\"reply\"," + sent +
           R"("reply":"\u0000\u0001\u0000\u0000\u0000\u000b\u0001\u0003\b\u0000\nÿÿA \u0000\u0000",)"
           R"("hex":"00 01 00 00 00 0B 01 03 08 00 0A FF FF 41 20 00 00","values":[10,65535,16672,0]})"},
      {2, 3, {command, registers, true, 0, "", "", ""}, "values\":[720895,1092616192]}"},
      {3, 3, {command, registers, true, 0, "", "", ""}, "values\":[0.0,10.0]}"},
      {3, 3, {command, floats, true, 0, "", "", ""}, "values\":[1.234]}"},
      {4, 3, {command, words, true, 0, "", "", ""}, "values\":[\"01000001\",\"00000000\",\"00000000\",\"01000010\"]}"},
      {5, 3, {command, words, true, 0, "", "", ""}, "\"text\":\"A\\tB\"}"},
      // Write single coil: the value follows the 2-byte output address.
      {1, 5, {command, coil, true, 0, "", "", ""}, "\"values\":[65280]}"},
      // An exception response and a short reply carry no values.
      {1, 3, {command, exception, true, 0, "", "", ""}, "\"hex\":\"00 01 00 00 00 03 01 83 02\"}"},
      {1, 3, {command, "", true, 0, "", "", ""}, "\"reply\":\"\",\"hex\":\"\"}"},
  };
  for (const auto &c : cases) {
    Settings = SettingsRecord{};
    Settings.ModbusView = c.view;
    Settings.ModbusFunction = static_cast<std::uint8_t>(c.function);
    const std::string json = ReplyJson(c.reply);
    // Binary cases give the end of the line after their first one.
    if (c.json.front() == '{') {
      EXPECT_EQ(json, c.json);
    } else {
      EXPECT_TRUE(json.ends_with(c.json)) << json;
    }
  }
  Settings = SettingsRecord{};
  EXPECT_EQ(DatagramJson("127.0.0.1", "\xFFok\r\n", ""), R"({"type":"datagram","from":"127.0.0.1","data":"ÿok\r\n"})");
}

}  // namespace
