#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/help.h"
#include "app/parser.h"
#include "app_exit_capture.h"
#include "core/dotted_address.h"

namespace {

using Arguments = std::vector<std::string>;

CapturedRun Parse(const Arguments &arguments) { return CaptureRun(arguments, ParseCommandLine); }

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

const char kMissingIpForCommands[] = "Error: Missing IP Address. (use: /ip 192.168.2.2 /cmd meas:volt?;meas:curr?)";
const char kMissingMac[] = "Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /r)";

// ------------------------------------------------- keywords, help, errors

TEST(CommandLine, SwitchPrefixesAndBareWordsAreTheSameSwitch) {
  const Arguments forms[] = {
      {"/ip", "10.0.0.1", "/cmd", "*idn?"},
      {"-IP", "10.0.0.1", "-CMD", "*idn?"},
      {"/Ip", "10.0.0.1", "/cMd", "*idn?"},
      {"ip", "10.0.0.1", "cmd", "*idn?"},
  };
  for (const Arguments &arguments : forms) {
    const CapturedRun run = Parse(arguments);
    EXPECT_EQ(run.exitCode, -1) << arguments[0];
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(Settings.IpAddress, 0x0A000001u);
    EXPECT_EQ(Settings.Command, "*idn?");
    EXPECT_TRUE(Settings.CommandMode);
  }
}

TEST(CommandLine, HelpForHelpSwitchesAndQuestionMarkInFirstTwoCharacters) {
  const Arguments cases[] = {{"/?"}, {"-?"}, {"?"}, {"a?"}, {"??"}, {"?x"}, {"/h"},
                             {"-H"}, {"h"},  {"/help"}, {"HELP"}, {"/v", "/?", "/bogus"}};
  for (const Arguments &arguments : cases) {
    const CapturedRun run = Parse(arguments);
    EXPECT_EQ(run.exitCode, 1) << arguments[0];
    EXPECT_EQ(run.output, Lines(HelpLines())) << arguments[0];
  }
}

TEST(CommandLine, HelpTextHas68LinesNamingTheBuild) {
  const std::vector<std::string> lines = HelpLines();
  ASSERT_EQ(lines.size(), 68u);
  EXPECT_EQ(lines[0], std::string("Command line configurator for Rurev Izurovozeva PSU's by www.psulan.example v1.2.36 ") +
                          TargetSystemName() + " " + TargetProcessorName());
  EXPECT_EQ(lines[23], " /cmd    - send command to PSU, use: /IP 10.0.0.1 /cmd \"sour:curr 3;outp 1\", for \" use ''");
  EXPECT_EQ(lines[47], " /xis    - translate Escaped special characters in /cmd (\\z \\b \\t \\n \\r \\e \\s)");
  EXPECT_EQ(lines[62], " /v /vv /dbg");
  EXPECT_EQ(lines[63], " /json   - print results as JSON objects, one a line; all other lines go to standard error");
  EXPECT_EQ(lines[64], " /lxi    - find LXI instruments (VXI-11 portmapper and mDNS) on all local networks, with their IDN");
  EXPECT_EQ(lines[67], " /eol    - a TCP reply ends at its first line terminator instead of after 50 ms of silence");
}

TEST(CommandLine, RejectedArgumentsNameTheArgumentAndExitWith2) {
  const std::string huge(100000, 'A');
  const struct {
    Arguments arguments;
    std::string named;
  } cases[] = {
      {{"//ip", "10.0.0.1"}, "//ip"},
      {{"ab?"}, "ab?"},
      {{"/h?"}, "/h?"},
      {{"//?"}, "//?"},
      {{""}, ""},
      {{"/"}, "/"},
      {{"-"}, "-"},
      {{"--v"}, "--v"},
      {{"/bogus", "/h"}, "/bogus"},  // parsing stops at the first error
      {{"/v", "/ip", "10.0.0.1", "/x"}, "/x"},
      {{huge}, huge},
      {{"/" + huge}, "/" + huge},
      {{"\x80\xff\xe9"}, "\x80\xff\xe9"},
      {{"/\xe9p"}, "/\xe9p"},
      {{std::string("/v\0x", 4)}, std::string("/v\0x", 4)},
  };
  for (const auto &c : cases) {
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.named.substr(0, 20);
    EXPECT_EQ(run.output, "Error on command line: " + c.named + kLineEnd) << c.named.substr(0, 20);
  }
}

TEST(CommandLine, ValuesAreNeverExaminedAsSwitches) {
  const CapturedRun run = Parse({"/ip", "1.2.3.4", "/cmd", "V?", "/cfl", "/h"});
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_EQ(Settings.Command, "V?");
  EXPECT_EQ(Settings.FileName, "/h");
}

TEST(CommandLine, IpValueIsAHostNameWhenAnyPartIsNoNumber) {
  const std::string unresolvable = std::string("Error: Unable to resolve Hostname to IP address.") + kLineEnd;
  const struct {
    Arguments arguments;
    int exitCode;  // -1: parsing returned
    std::uint32_t address;
  } cases[] = {
      {{"/ip", "10"}, -1, 0x0A000000u},
      {{"/ip", "192.168.1"}, -1, 0xC0A80100u},
      {{"/ip", "1.2.3.256"}, -1, 0x01020400u},
      {{"/ip", "x0A.0.0.%11"}, -1, 0x0A000003u},
      {{"/ip", "1.2.3.4.5"}, -1, 0x01020304u},
      {{"/ip", "0.0.0.0"}, -1, 0u},             // 0 is looked up, and stays 0
      {{"/ip", "localhost"}, -1, 0x7F000001u},
      {{"/ip", "psu.2.lab.invalid"}, 2, 0u},    // never 0.2.0.0
      {{"/ip", "x10.lab.invalid"}, 2, 0u},      // never 16.0.0.0
      {{"/ip", "10.lab.invalid"}, 2, 0u},       // never 10.0.0.0
      {{"/ip", "10.0.0.1.invalid"}, 2, 0u},     // never 10.0.0.1
      {{"/ip", "192.168.1.1O"}, 2, 0u},
      // The other address switches read numbers only, as before.
      {{"/gw", "x10.lab", "/mask", "255.255.lab", "/bad", "10.lab", "/bca", "1.2.3.4.x"}, -1, 0u},
  };
  for (const auto &c : cases) {
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments[1];
    EXPECT_EQ(run.output, c.exitCode == 2 ? unresolvable : "") << c.arguments[1];
    EXPECT_EQ(FormatDottedAddress(Settings.IpAddress), FormatDottedAddress(c.address)) << c.arguments[1];
  }
  EXPECT_EQ(Settings.Gateway, 0x10000000u);
  EXPECT_EQ(Settings.NetMask, 0xFFFF0000u);
  EXPECT_EQ(Settings.BindAddress, 0x0A000000u);
  EXPECT_EQ(Settings.BroadcastAddress, 0x01020304u);
}

// -------------------------------------------------------- switch effects

struct EffectCase {
  Arguments arguments;
  std::function<void()> check;
};

void RunEffectCases(const std::vector<EffectCase> &cases) {
  for (const EffectCase &c : cases) {
    std::string shown;
    for (const std::string &a : c.arguments) shown += a + " ";
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, -1) << shown << run.output;
    SCOPED_TRACE(shown);
    c.check();
  }
}

TEST(CommandLine, NumericValuesFallBackPerSwitch) {
  RunEffectCases({
      {{"/tport", "x1F90"}, [] { EXPECT_EQ(Settings.TcpPort, 8080); }},
      {{"/tport", "-5"}, [] { EXPECT_EQ(Settings.TcpPort, -5); }},
      {{"/sport", "$10"}, [] { EXPECT_EQ(Settings.ServerPort, 16); }},
      {{"/cport", "%11"}, [] { EXPECT_EQ(Settings.ClientPort, 3); }},
      {{"/ports", "53001"},
       [] {
         EXPECT_EQ(Settings.TcpPort, 53001);
         EXPECT_EQ(Settings.ServerPort, 53001);
         EXPECT_EQ(Settings.ClientPort, 53001);
       }},
      {{"/ttime", "abc"}, [] { EXPECT_EQ(Settings.RepeatDelayMs, 0); }},
      {{"/ttime", "&10"}, [] { EXPECT_EQ(Settings.RepeatDelayMs, 8); }},
      {{"/waitl", "abc"}, [] { EXPECT_EQ(Settings.LineDelayMs, 5); }},
      {{"/waitl", "x10"}, [] { EXPECT_EQ(Settings.LineDelayMs, 16); }},
      {{"/waitp", ""}, [] { EXPECT_EQ(Settings.PauseDelayMs, 1000); }},
      {{"/waitp", "5000"}, [] { EXPECT_EQ(Settings.PauseDelayMs, 5000); }},
      {{"/waitp"}, [] { EXPECT_EQ(Settings.PauseDelayMs, 1000); }},  // no value left: empty
      {{"/mde", "261"}, [] { EXPECT_EQ(Settings.ModbusUnit, 5); }},
  });
}

TEST(CommandLine, PortSwitchesAndPresets) {
  RunEffectCases({
      {{"/fluke"}, [] { EXPECT_EQ(Settings.TcpPort, 3490); }},
      {{"/aimtti"}, [] { EXPECT_EQ(Settings.TcpPort, 9221); }},
      {{"/sraw"}, [] { EXPECT_EQ(Settings.TcpPort, 5025); }},
      {{"/stel"}, [] { EXPECT_EQ(Settings.TcpPort, 5024); }},
      {{"/hislip"}, [] { EXPECT_EQ(Settings.TcpPort, 4880); }},
      {{"/tdkla"}, [] { EXPECT_EQ(Settings.TcpPort, 8003); }},
      {{"/fluke", "/tport", "7"}, [] { EXPECT_EQ(Settings.TcpPort, 7); }},
      {{"/u"},
       [] {
         EXPECT_TRUE(Settings.UdpMode);
         EXPECT_EQ(Settings.ClientPort, 53001);
         EXPECT_EQ(Settings.ServerPort, 53001);
         EXPECT_EQ(Settings.TcpPort, 8462);
       }},
      {{"/u", "/cport", "9"},
       [] {
         EXPECT_EQ(Settings.ClientPort, 9);
         EXPECT_EQ(Settings.ServerPort, 53001);
       }},
      {{"/sport", "9", "/u"}, [] { EXPECT_EQ(Settings.ServerPort, 53001); }},
      {{"/terac"},
       [] {
         EXPECT_TRUE(Settings.TeracomMode);
         EXPECT_EQ(Settings.ClientPort, 30303);
         EXPECT_EQ(Settings.ServerPort, 30303);
       }},
  });
}

TEST(CommandLine, RejectedValuesNameTheValue) {
  const struct {
    Arguments arguments;
    std::string named;
  } cases[] = {
      {{"/tport", "abc"}, "abc"},
      {{"/tport", "0"}, "0"},
      {{"/tport", "x100000000"}, "x100000000"},  // low 32 bits are 0
      {{"/sport", "0"}, "0"},
      {{"/cport", ""}, ""},
      {{"/ports", "zero"}, "zero"},
      {{"/tport"}, ""},
      {{"/mde", "-1"}, "-1"},
      {{"/mde", "abc"}, "abc"},
      {{"/mde", "xFFFFFFFF"}, "xFFFFFFFF"},
      {{"/mac", "F4-E1-42-00-03"}, "F4-E1-42-00-03"},
      {{"/mac", "F4-E1-42-00-03-AB-CD"}, "F4-E1-42-00-03-AB-CD"},
      {{"/mac", "F4E1420003A"}, "F4E1420003A"},
      {{"/mac", "F4-E1-42-00-03-AG"}, "F4-E1-42-00-03-AG"},
      {{"/mac", "F4 E1 42 00 03 AB"}, "F4 E1 42 00 03 AB"},
      {{"/mac"}, ""},
      {{"/mod", "3", "100"}, ""},
      {{"/mod", "3", "-1", "5"}, "-1"},
      {{"/mod", "abc", "1", "2"}, "abc"},
      {{"/mod", "x", "1", "2"}, "x"},
      {{"/mod", "3", "1", "-x1"}, "-x1"},
      {{"/mod"}, ""},
  };
  for (const auto &c : cases) {
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments[0] << " " << c.named;
    EXPECT_EQ(run.output, "Error on command line: " + c.named + kLineEnd) << c.arguments[0];
  }
}

TEST(CommandLine, MacAddressForms) {
  const std::string mac = Bytes({0xF4, 0xE1, 0x42, 0x00, 0x03, 0xAB});
  const char *const forms[] = {"F4:E1:42:00:03:AB", "f4-e1-42-00-03-ab", "F4E1420003AB",
                               "F4E1420003ABC", "-F4:E1-42::00-03-AB-", "f4-E1:4200-03aB"};
  for (const char *form : forms) {
    const CapturedRun run = Parse({"/mac", form});
    EXPECT_EQ(run.exitCode, -1) << form;
    EXPECT_EQ(Settings.MacAddress, mac) << form;
  }
}

TEST(CommandLine, ModbusRequestOrderEffects) {
  const Arguments ip = {"/ip", "10.0.0.1"};
  auto with_ip = [&](Arguments arguments) {
    arguments.insert(arguments.begin(), ip.begin(), ip.end());
    return arguments;
  };
  RunEffectCases({
      {with_ip({"/mod", "3", "100", "2"}),
       [] {
         EXPECT_EQ(Settings.Command, Bytes({0, 0, 0, 0, 0, 6, 1, 3, 0, 100, 0, 2}));
         EXPECT_TRUE(Settings.CommandMode);
         EXPECT_TRUE(Settings.HexMode);
         EXPECT_TRUE(Settings.BriefOutput);
         EXPECT_EQ(Settings.TcpPort, 502);
         EXPECT_EQ(Settings.ResponseTimeoutMs, 2000);
       }},
      {with_ip({"/mde", "5", "/mod", "3", "100", "2"}), [] { EXPECT_EQ(Settings.Command[6], 5); }},
      {with_ip({"/mod", "3", "100", "2", "/mde", "5"}),
       [] {
         EXPECT_EQ(Settings.Command[6], 1);
         EXPECT_EQ(Settings.ModbusUnit, 5);
       }},
      {with_ip({"/mod", "259", "x1FFFF", "65538"}),
       [] {
         EXPECT_EQ(Settings.ModbusFunction, 3);
         EXPECT_EQ(Settings.ModbusAddress, 0xFFFF);
         EXPECT_EQ(Settings.ModbusValue, 2);
         EXPECT_EQ(Settings.Command, Bytes({0, 0, 0, 0, 0, 6, 1, 3, 0xFF, 0xFF, 0, 2}));
       }},
      {with_ip({"/mod", "3", "100", "2", "/l"}), [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 7000); }},
      {with_ip({"/l", "/mod", "3", "100", "2"}), [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 2000); }},
      {with_ip({"/f", "/mod", "3", "100", "2", "/ll"}), [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 12000); }},
      {with_ip({"/tport", "9221", "/mod", "3", "100", "2"}), [] { EXPECT_EQ(Settings.TcpPort, 9221); }},
      {with_ip({"/mod", "3", "100", "2", "/tport", "9221"}), [] { EXPECT_EQ(Settings.TcpPort, 9221); }},
      {with_ip({"/mod", "3", "100", "2", "/sraw"}), [] { EXPECT_EQ(Settings.TcpPort, 5025); }},
      {with_ip({"/v", "/mod", "3", "100", "2"}), [] { EXPECT_FALSE(Settings.BriefOutput); }},
  });
}

TEST(CommandLine, CommandTextAndHexData) {
  const Arguments ip = {"/ip", "10.0.0.1"};
  auto with_ip = [&](Arguments arguments) {
    arguments.insert(arguments.begin(), ip.begin(), ip.end());
    return arguments;
  };
  RunEffectCases({
      {with_ip({"/cmd", "''word''"}), [] { EXPECT_EQ(Settings.Command, "\"word\""); }},
      {with_ip({"/cmd", "a'''b"}), [] { EXPECT_EQ(Settings.Command, "a\"'b"); }},
      {with_ip({"/xis", "/cmd", "a\\nb\\z"}), [] { EXPECT_EQ(Settings.Command, std::string("a\nb\0", 4)); }},
      {with_ip({"/cmd", "a\\nb", "/xis"}),
       [] {
         EXPECT_EQ(Settings.Command, "a\\nb");
         EXPECT_TRUE(Settings.EscapeTranslation);
       }},
      {with_ip({"/cmd", "x", "/cmd", "y"}), [] { EXPECT_EQ(Settings.Command, "y"); }},
      {with_ip({"/cmd", ""}),
       [] {
         EXPECT_EQ(Settings.Command, "");
         EXPECT_TRUE(Settings.CommandMode);
       }},
      {with_ip({"/hex", "01 FF 00"}),
       [] {
         EXPECT_EQ(Settings.Command, Bytes({1, 0xFF, 0}));
         EXPECT_TRUE(Settings.HexMode);
         EXPECT_TRUE(Settings.CommandMode);
       }},
      {with_ip({"/hex", "01FG00"}), [] { EXPECT_EQ(Settings.Command, Bytes({1})); }},
      {with_ip({"/hex", "not hex"}), [] { EXPECT_EQ(Settings.Command, ""); }},
      {with_ip({"/cfl", "file.txt"}),
       [] {
         EXPECT_EQ(Settings.FileName, "file.txt");
         EXPECT_TRUE(Settings.FileMode);
         EXPECT_FALSE(Settings.HexMode);
       }},
      {with_ip({"/hfl", "f.hex"}),
       [] {
         EXPECT_TRUE(Settings.FileMode);
         EXPECT_TRUE(Settings.HexMode);
       }},
  });
}

TEST(CommandLine, FlagAndOutputSwitches) {
  RunEffectCases({
      {{"/b"}, [] { EXPECT_FALSE(Settings.BindAll); }},
      {{"/b", "-B"}, [] { EXPECT_TRUE(Settings.BindAll); }},
      {{"/f"}, [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 100); }},
      {{"/l"}, [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 7001); }},
      {{"/l", "/l"}, [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 12001); }},
      {{"/ll"}, [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 12001); }},
      {{"/l", "/f"}, [] { EXPECT_EQ(Settings.ResponseTimeoutMs, 100); }},
      {{"/cr"}, [] { EXPECT_EQ(Settings.LineTerminator, "\r"); }},
      {{"/crlf"}, [] { EXPECT_EQ(Settings.LineTerminator, "\r\n"); }},
      {{"/crlf", "/cr"}, [] { EXPECT_EQ(Settings.LineTerminator, "\r"); }},
      {{"/xtt"}, [] { EXPECT_EQ(Settings.TimestampFormat, 1); }},
      {{"/xtc"}, [] { EXPECT_EQ(Settings.TimestampFormat, 2); }},
      {{"/xts"}, [] { EXPECT_EQ(Settings.TimestampFormat, 3); }},
      {{"/xtk"}, [] { EXPECT_EQ(Settings.TimestampFormat, 4); }},
      {{"/xtl"}, [] { EXPECT_EQ(Settings.TimestampFormat, 5); }},
      {{"/xti", "/xts"}, [] { EXPECT_EQ(Settings.TimestampFormat, 3); }},
      {{"/mbi"}, [] { EXPECT_EQ(Settings.ModbusView, 1); }},
      {{"/mbl"}, [] { EXPECT_EQ(Settings.ModbusView, 2); }},
      {{"/mbf"}, [] { EXPECT_EQ(Settings.ModbusView, 3); }},
      {{"/mbb"}, [] { EXPECT_EQ(Settings.ModbusView, 4); }},
      {{"/mbs"}, [] { EXPECT_EQ(Settings.ModbusView, 5); }},
      {{"/vv"},
       [] {
         EXPECT_TRUE(Settings.Verbose);
         EXPECT_EQ(Settings.VerbosityLevel, 2);
       }},
      {{"/v"},
       [] {
         EXPECT_TRUE(Settings.Verbose);
         EXPECT_EQ(Settings.VerbosityLevel, 0);
       }},
      {{"/xc", "/xsk", "/o", "/a", "/e", "/d", "/dbg"},
       [] {
         EXPECT_TRUE(Settings.CommaToEol);
         EXPECT_TRUE(Settings.DecimalComma);
         EXPECT_TRUE(Settings.ResolveHostName);
         EXPECT_TRUE(Settings.AskIdentity);
         EXPECT_TRUE(Settings.DiscoverAfterConfig);
         EXPECT_TRUE(Settings.SplitCommands);
         EXPECT_TRUE(Settings.PauseBeforeExit);
         Settings.PauseBeforeExit = false;
       }},
      {{"/bad", "192.168.1.5", "/bca", "192.168.1.255"},
       [] {
         EXPECT_TRUE(Settings.BindAddressGiven);
         EXPECT_EQ(Settings.BindAddress, 0xC0A80105u);
         EXPECT_EQ(Settings.BroadcastAddress, 0xC0A801FFu);
       }},
      {{}, [] {
         EXPECT_TRUE(Settings.BindAll);
         EXPECT_EQ(Settings.ResponseTimeoutMs, 2001);
         EXPECT_EQ(Settings.IpAddress, 0u);
         EXPECT_EQ(Settings.Gateway, 0u);
         EXPECT_EQ(Settings.NetMask, 0u);
         EXPECT_FALSE(Settings.BriefOutput);
       }},
  });
}

// ------------------------------------------------------- post-parse step

TEST(CommandLine, GatewayAndMaskCompletion) {
  const struct {
    Arguments arguments;
    std::uint32_t gateway, mask;
  } cases[] = {
      {{"/ip", "192.168.1.20"}, 0xC0A80101u, 0xFFFFFF00u},
      {{"/ip", "192.168.1.1"}, 0xC0A801FEu, 0xFFFFFF00u},
      {{"/gw", "10.0.0.5", "/ip", "10.0.0.5"}, 0x0A000102u, 0xFFFFFF00u},  // 253 carries
      {{"/ip", "10.0.0.5", "/gw", "10.0.0.5"}, 0x0A000102u, 0xFFFFFF00u},
      {{"/ip", "10.1.2.3", "/gw", "10.0.0.254", "/mask", "255.0.0.0"}, 0x0A0000FEu, 0xFF000000u},
      {{"/gw", "255.255.255.255", "/ip", "255.255.255.255"}, 0x000000FCu, 0xFFFFFF00u},
      {{"/gw", "1.2.3.4"}, 0x01020304u, 0u},  // no address: nothing completed
      {{"/mask", "255.0.0.0"}, 0u, 0xFF000000u},
  };
  for (const auto &c : cases) {
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_EQ(FormatDottedAddress(Settings.Gateway), FormatDottedAddress(c.gateway)) << c.arguments[1];
    EXPECT_EQ(FormatDottedAddress(Settings.NetMask), FormatDottedAddress(c.mask)) << c.arguments[1];
  }
}

TEST(CommandLine, BriefOutputRules) {
  const struct {
    Arguments arguments;
    bool brief;
  } cases[] = {
      {{"/v", "/cmd", "x"}, false},  {{"/cmd", "x", "/v"}, false}, {{"/cmd", "x"}, true},
      {{"/cmd", "x", "/n"}, false},  {{"/n", "/cmd", "x"}, false}, {{"/hex", "01"}, true},
      {{"/cfl", "f"}, true},         {{"/hfl", "f"}, true},         {{"/vv", "/hex", "01"}, false},
      {{"/cmd", "x", "/vv"}, false}, {{"/s", "/cmd", "x"}, true},
  };
  for (const auto &c : cases) {
    Arguments arguments = c.arguments;
    arguments.insert(arguments.begin(), {"/ip", "10.0.0.1"});
    const CapturedRun run = Parse(arguments);
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_EQ(Settings.BriefOutput, c.brief) << c.arguments[0] << " " << c.arguments[1];
  }
}

TEST(CommandLine, SendToAllAndRepeat) {
  RunEffectCases({
      {{"/s", "/t", "/cmd", "*idn?"},
       [] {
         EXPECT_FALSE(Settings.CommandMode);
         EXPECT_FALSE(Settings.RepeatCommand);
         EXPECT_TRUE(Settings.SendToAll);
         EXPECT_EQ(Settings.Command, "*idn?");
       }},
      {{"/t"}, [] { EXPECT_FALSE(Settings.RepeatCommand); }},
      {{"/ip", "1.2.3.4", "/t", "/cmd", "x"}, [] { EXPECT_TRUE(Settings.RepeatCommand); }},
  });
}

TEST(CommandLine, MissingAddressLines) {
  const struct {
    Arguments arguments;
    std::string line;
  } cases[] = {
      {{"/cmd", "*idn?"}, kMissingIpForCommands},
      {{"/hex", "01"}, kMissingIpForCommands},
      {{"/mod", "3", "1", "1"}, kMissingIpForCommands},
      {{"/cfl", "file.txt"}, kMissingIpForCommands},
      {{"/hfl", "file.txt"}, kMissingIpForCommands},
      {{"/s", "/cfl", "file.txt"}, kMissingIpForCommands},
      {{"/dhcp"}, "Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /dhcp)"},
      {{"/dhcp", "/static", "/r"}, "Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /dhcp)"},
      {{"/static"}, "Error: Missing IP Address. (use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2)"},
      {{"/static", "/r"}, "Error: Missing IP Address. (use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2)"},
      {{"/static", "/ip", "1.2.3.4"}, kMissingMac},
      {{"/r"}, kMissingMac},
      {{"/r", "/cmd", "x"}, kMissingMac},
  };
  for (const auto &c : cases) {
    const CapturedRun run = Parse(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments[0];
    EXPECT_EQ(run.output, c.line + kLineEnd) << c.arguments[0];
  }
}

}  // namespace
