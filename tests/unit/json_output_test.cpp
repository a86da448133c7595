#include <gtest/gtest.h>

#include <string>

#include "core/codecs.h"
#include "core/json_output.h"
#include "core/json_text.h"
#include "core/settings.h"
#include "app/driver.h"
#include "app_exit_capture.h"
#include "discovery/discovery_json.h"
#include "discovery/lxi_instrument.h"
#include "session/reply_json.h"

namespace {

using namespace std::string_literals;

TEST(JsonText, ByteRuleHexTimeErrorAndSummary) {
  const std::pair<std::string, std::string> cases[] = {
      {"A\"\\/", R"("A\"\\/")"}, {"\x00\x1F\x7F"s, "\"\\u0000\\u001f\x7F\""}, {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
      // Bytes above 0x7F, UTF-8 sequences among them, are one character each.
      {"\x80\xFF\xC3\xA9", "\"\xC2\x80\xC3\xBF\xC3\x83\xC2\xA9\""},
  };
  for (const auto &[bytes, json] : cases) EXPECT_EQ(JsonLine(JsonBytes(bytes)), json);
  EXPECT_EQ(BytesToSpacedHex("\x00\x0A\xFF"s), "00 0A FF");
  EXPECT_EQ(IsoTimestamp({2024, 3, 5, 14, 7, 9, 42}), "2024-03-05T14:07:09.042");
  EXPECT_EQ(ErrorJson(10061, "!TCP connect failed"), R"({"type":"error","code":10061,"text":"!TCP connect failed"})");
  EXPECT_EQ(ErrorJson(0, "!File not found: \xE9"), "{\"type\":\"error\",\"text\":\"!File not found: \xC3\xA9\"}");
  EXPECT_EQ(SummaryJson("supplies", 0), R"({"type":"summary","supplies":0})");
}

// A reply of length bytes: MAC 02-00-00-00-00-0A, 192.168.1.5, mask, gateway,
// serial "SN12" with zero bytes inside, PUD with a quote and 0xB5, DHCP on.
std::string SupplyReply(std::size_t length) {
  std::string reply = "\x02\x00\x00\x00\x00\x0A\xC0\xA8\x01\x05\xFF\xFF\xFF\x00\xC0\xA8\x01\x01SN\x00"s "12";
  reply += std::string(7, '\0') + "-lab\"1\xB5" + std::string(66, '\0') + "tail\x01more";
  reply.resize(length, '+');
  return reply;
}

TEST(SupplyJsonTest, FieldsByReplyLengthAndAnswers) {
  const std::string head = R"({"type":"supply","serial":"SN12","mac":"02-00-00-00-00-0A","ip":"192.168.1.5","dhcp":)";
  const std::string tail = "\"mask\":\"255.255.255.0\",\"gateway\":\"192.168.1.1\",\"pud\":\"lab\\\"1\xC2\xB5\",\"from\":\"p\"";
  const SupplyAnswer none;
  const struct {
    std::size_t length; SupplyAnswer identity; bool interfaces; SupplyAnswer reply; std::string json;
  } cases[] = {
      {106, none, false, none, head + "\"not supported\"," + tail + "}"},
      {107, {true, false, "RI,1", 0, ""}, false, none, head + "\"Static\"," + tail + R"(,"idn":"RI,1"})"},
      {108, {true, false, "RI,1;LAN\r\nUSB", 0, ""}, true, {true, false, "0,\"No\"", 0, ""},
       head + "\"DHCP\"," + tail + R"(,"idn":"RI,1","interfaces":"LAN\r\nUSB","reply":"0,\"No\""})"},
      {108, {true, true, "", 10061, "Refused"}, true, {true, true, "", 10061, "Refused"},
       head + "\"DHCP\"," + tail + R"(,"idn":null,"interfaces":null,"reply":null,"error":{"code":10061,"text":"Refused"}})"},
      {105, none, false, none,
       R"({"type":"supply","serial":null,"mac":null,"ip":null,"dhcp":null,"mask":null,"gateway":null,"pud":null,"from":"p"})"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(SupplyJson(SupplyReply(c.length), "p", c.identity, c.interfaces, c.reply), c.json) << c.length;
}

TEST(DiscoveryJson, ConfigurationObjectOfTheAddressStep) {
  const std::string mac = "\xF4\xE1\x42\x00\x03\xAB"s;
  EXPECT_EQ(ConfigJson("10.0.0.2", "\x01" + mac + "\xC0\xA8\x02\x02\xFF\xFF\xFF\x00\xC0\xA8\x02\x01"s, 10049, "No"),
            R"({"type":"config","step":"address","mac":"F4-E1-42-00-03-AB","source":"10.0.0.2",)"
            R"("hex":"01 F4 E1 42 00 03 AB C0 A8 02 02 FF FF FF 00 C0 A8 02 01","ip":"192.168.2.2",)"
            R"("mask":"255.255.255.0","gateway":"192.168.2.1","error":{"code":10049,"text":"No"}})");
}

TEST(DiscoveryJson, LxiInstrumentWithAndWithoutItsFacts) {
  LxiInstrument found{.Ip = 0xC0A8011Eu, .Vxi11Port = 1024, .Services = {{"_lxi._tcp", 80}, {"_hislip._tcp", 0}},
                      .Name = "Scope \xB5", .Txt = {"Model=S1"}, .Findings = {}};
  found.Findings = {.Tried = {LxiWay::Vxi11, LxiWay::RawScpi}, .Answered = true, .AnsweredBy = LxiWay::RawScpi,
                    .Idn = "ACME,SCOPE,1,1.0", .Interfaces = {{"scope", "00-0A-35-00-00-01", "169.254.1.2",
                    "255.255.0.0", std::nullopt, true, true}}, .Notes = {"unused"}};
  EXPECT_EQ(LxiJson(found), R"({"type":"lxi","ip":"192.168.1.30","vxi11_port":1024,"services":[{"type":"_lxi._tcp",)"
                            R"("port":80},{"type":"_hislip._tcp","port":null}],"name":"Scope )" "\xC2\xB5" R"(",)"
                            R"("idn":"ACME,SCOPE,1,1.0","idnBy":"scpi-raw","announced":",S1,,","tried":["vxi11",)"
                            R"("scpi-raw"],"interfaces":[{"hostname":"scope","mac":"00-0A-35-00-00-01","ip":)"
                            R"("169.254.1.2","dhcp":"AutoIP","mask":"255.255.0.0","gateway":null}]})");
  EXPECT_EQ(LxiJson({.Ip = 0x7F000002u, .Vxi11Port = 0, .Services = {}, .Name = "", .Txt = {},
                     .Findings = {.Tried = {LxiWay::Vxi11}}}),
            R"({"type":"lxi","ip":"127.0.0.2","vxi11_port":null,"services":[],"name":null,"idn":null,"idnBy":null,)"
            R"("announced":null,"tried":["vxi11"],"interfaces":[]})");
}

TEST(ReplyJsonTest, TextBinaryViewsAndFailures) {
  // Registers 0x000A, 0xFFFF, 0x4120 0x0000 (10.0f); a float of about 1.234; a coil echo.
  const std::string registers = "\x00\x01\x00\x00\x00\x0B\x01\x03\x08\x00\x0A\xFF\xFF\x41\x20\x00\x00"s;
  const std::string floats = "\x00\x01\x00\x00\x00\x07\x01\x03\x04\x3F\x9D\xF3\xB6"s;
  const std::string coil = "\x00\x01\x00\x00\x00\x06\x01\x05\x00\x64\xFF\x00"s;
  const std::string exception = "\x00\x01\x00\x00\x00\x03\x01\x83\x02"s;
  // json: the whole line, or for binary replies its end.
  const struct { int view, function; JsonReply reply; std::string json; } cases[] = {
      {0, 0, {"volt?", "5\xB0", false, 0, "", "", "2024-03-05T14:07:09.042"},
       "{\"type\":\"reply\",\"command\":\"volt?\",\"reply\":\"5\xC2\xB0\",\"time\":\"2024-03-05T14:07:09.042\"}"},
      {0, 0, {"syst:err?", "0", false, 0, "", "outp 1", ""},
       R"({"type":"reply","command":"syst:err?","line":"outp 1","reply":"0"})"},
      {0, 0, {"*idn?", "", false, 10060, "Timed out", "", ""},
       R"({"type":"reply","command":"*idn?","reply":null,"error":{"code":10060,"text":"Timed out"}})"},
      {1, 3, {"\x01", registers, true, 0, "", "", ""},
       R"({"type":"reply","command":"\u0001","commandHex":"01","reply":"\u0000\u0001\u0000\u0000\u0000\u000b\u0001)"
       R"(\u0003\b\u0000\nÿÿA \u0000\u0000","hex":"00 01 00 00 00 0B 01 03 08 00 0A FF FF 41 20 00 00",)"
       R"("values":[10,65535,16672,0]})"},
      {3, 3, {"", floats, true, 0, "", "", ""}, "\"values\":[1.234]}"},
      {4, 3, {"", floats, true, 0, "", "", ""}, R"("values":["00111111","10011101","11110011","10110110"]})"},
      {5, 3, {"", registers, true, 0, "", "", ""}, R"("text":"\t\nÿÿA \t"})"},
      {1, 5, {"", coil, true, 0, "", "", ""}, "\"values\":[65280]}"},
      {1, 3, {"", exception, true, 0, "", "", ""}, "\"hex\":\"00 01 00 00 00 03 01 83 02\"}"},
  };
  for (const auto &c : cases) {
    Settings = SettingsRecord{};
    Settings.ModbusView = c.view;
    Settings.ModbusFunction = static_cast<std::uint8_t>(c.function);
    const std::string json = ReplyJson(c.reply);
    EXPECT_TRUE(c.json.front() == '{' ? json == c.json : json.ends_with(c.json)) << json;
  }
  Settings = SettingsRecord{};
  EXPECT_EQ(DatagramJson("p", "\xFFok\r\n", ""), R"({"type":"datagram","from":"p","data":"ÿok\r\n"})");
}


TEST(JsonText, EscapedPiecesAreTheDocumentsText) {
  // Every byte value, and a reply over several pieces written to standard output.
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  std::string text;
  AppendJsonString(text, all);
  EXPECT_EQ(text, JsonLine(JsonBytes(all)));
  const std::string bytes = std::string(300000, '\x01') + all;
  const JsonReply big{"q?", bytes, true, 0, "", "", ""};
  Settings = SettingsRecord{};
  ::testing::internal::CaptureStdout();
  WriteReplyJson(big);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), ReplyJson(big) + kLineEnd);
}

// Every failure line the command line, the look-up and the modes raise
// (those a run can provoke here) is one error object, then the closing
// object with the exit code; a failed exchange is its reply object alone.
TEST(JsonRun, EveryFailureIsOneObjectAndTheRunEndsWithItsExitCode) {
  const std::string end2 = R"({"type":"end","exit":2,"errors":1})";
  const struct { std::vector<std::string> args; std::vector<std::string> lines; int code; } cases[] = {
      {{"/json", "/bogus"}, {R"({"type":"error","text":"Error on command line: /bogus"})", end2}, 2},
      {{"/tport", "x", "-JSON"}, {R"({"type":"error","text":"Error on command line: x"})", end2}, 2},
      {{"/json", "/ip", "host.invalid", "/cmd", "x"},
       {R"({"type":"error","text":"Error: Unable to resolve Hostname to IP address."})", end2}, 2},
      {{"/json", "/dhcp"},
       {R"j({"type":"error","text":"Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /dhcp)"})j", end2}, 2},
      {{"/json", "/mac", "F4-e1-42-00-03-ab", "/static"},
       {R"j({"type":"error","text":"Error: Missing IP Address. (use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2)"})j",
        end2}, 2},
      {{"/json", "/r"}, {R"j({"type":"error","text":"Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /r)"})j", end2}, 2},
      {{"/json", "/cmd", "x"},
       {R"j({"type":"error","text":"Error: Missing IP Address. (use: /ip 192.168.2.2 /cmd meas:volt?;meas:curr?)"})j", end2}, 2},
      {{"/json", "/ip", "127.0.0.1", "/cfl", "no-such-file"},
       {R"({"type":"error","text":"!File not found: no-such-file"})", R"({"type":"end","exit":4,"replies":0,"errors":1})"}, 4},
      {{"/json", "/ip", "127.0.0.1", "/tport", "1", "/cmd", "x"},
       {R"({"type":"reply","command":"x","reply":null,"error":{"code":10061,"text":"Connection refused"}})",
        R"({"type":"end","exit":0,"replies":1,"errors":1})"}, 0},
      {{"/json", "/mac", "F4-e1-42-00-03-ab"}, {R"({"type":"end","exit":0,"errors":0})"}, 0},
  };
  for (const auto &c : cases) {
    const CapturedRun run = CaptureRun(c.args, [] { RunProgram(); });
    SendTextToStandardError(false);
    EXPECT_EQ(run.output, Lines(c.lines)) << c.args[1];
    EXPECT_EQ(run.exitCode, c.code) << c.args[1];
  }
}

}  // namespace
