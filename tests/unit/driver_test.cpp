#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/driver.h"
#include "app_exit_capture.h"

// Every run here gives a MAC address without /e and no mode switch, so the
// driver selects no mode and sends nothing; /b keeps the local-address
// report (and its host-name look-up) out of the way.
namespace {

CapturedRun RunDriver(const std::vector<std::string> &arguments) {
  return CaptureRun(arguments, [] { RunProgram(); });
}

const char kMac[] = "F4-e1-42-00-03-ab";

TEST(Driver, StartsFromStartValuesAndEndsWithCode0) {
  const CapturedRun run = CaptureRun({"/b", "/mac", kMac}, [] {
    Settings.TcpPort = 1;  // left over from an earlier run: RunProgram starts afresh
    Settings.Verbose = true;
    RunProgram();
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(Settings.TcpPort, 8462);
  EXPECT_EQ(Settings.ResponseTimeoutMs, 2001);
}

TEST(Driver, TransactionIdIsUptimeSecondsModulo65535) {
  const std::uint64_t before = TickCountMs() / 1000 % 65535;
  const CapturedRun run = RunDriver({"/b", "/mac", kMac});
  const std::uint64_t after = TickCountMs() / 1000 % 65535;
  EXPECT_EQ(run.exitCode, 0);
  if (before <= after) {
    EXPECT_GE(Settings.ModbusTransactionId, before);
    EXPECT_LE(Settings.ModbusTransactionId, after);
  }
}

TEST(Driver, AddressReportAndSettingsLine) {
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> lines;
  } cases[] = {
      {{"/b", "/mac", kMac}, {}},
      {{"/b", "/bad", "192.168.1.5", "/mac", kMac}, {"Bind to Address: 192.168.1.5"}},
      {{"/b", "/bca", "192.168.1.255", "/mac", kMac}, {"Broadcast Address: 192.168.1.255"}},
      {{"/b", "/bca", "255.255.255.255", "/mac", kMac}, {}},
      {{"/bca", "10.255.255.255", "/b", "/bad", "10.0.0.2", "/mac", kMac},
       {"Bind to Address: 10.0.0.2", "Broadcast Address: 10.255.255.255"}},
      {{"/b", "/v", "/ip", "10.1.2.3", "/mac", kMac},
       {" IP: 10.1.2.3   Mask: 255.255.255.0   Gateway: 10.1.2.1   MAC: F4-E1-42-00-03-AB   Ports: 7024 7025 8462"}},
      {{"/b", "/vv", "/mac", kMac, "/ports", "-9", "/gw", "1.2.3.4"},
       {" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 1.2.3.4   MAC: F4-E1-42-00-03-AB   Ports: -9 -9 -9"}},
      {{"/b", "/bad", "0.0.0.0", "/v", "/mac", kMac, "/sraw", "/ip", "192.168.1.1"},
       {"Bind to Address: 0.0.0.0",
        " IP: 192.168.1.1   Mask: 255.255.255.0   Gateway: 192.168.1.254   MAC: F4-E1-42-00-03-AB   Ports: 7024 7025 "
        "5025"}},
  };
  for (const auto &c : cases) {
    const CapturedRun run = RunDriver(c.arguments);
    EXPECT_EQ(run.exitCode, 0) << c.arguments[1];
    EXPECT_EQ(run.output, Lines(c.lines)) << c.arguments[1];
  }
}

TEST(Driver, CommandLineErrorsEndTheRunBeforeAnyReport) {
  const CapturedRun run = RunDriver({"/v", "/bad", "1.2.3.4", "/nonsense"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.output, Lines({"Error on command line: /nonsense"}));
}

}  // namespace
