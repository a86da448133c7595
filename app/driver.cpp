#include "app/driver.h"

#include <cstdint>
#include <string>

#include "app/parser.h"
#include "core/codecs.h"
#include "core/dotted_address.h"
#include "core/exit.h"
#include "core/run_counts.h"
#include "core/settings.h"
#include "discovery/local_addresses.h"
#include "discovery/lxi_discovery.h"
#include "discovery/psu_discovery.h"
#include "discovery/teracom.h"
#include "platform/platform.h"
#include "session/command_file.h"
#include "session/tcp_session.h"
#include "session/udp_mode.h"

namespace {

// Response time-out of the Teracom discovery and the UDP command mode.
constexpr std::int32_t kUdpModeTimeoutMs = 2000;

// The local, bind and broadcast addresses the discovery datagrams use.
void ReportAddresses() {
  if (Settings.BindAll) WriteLine("Local Addresses: " + LocalAddressList());
  if (Settings.BindAddressGiven) WriteLine("Bind to Address: " + FormatDottedAddress(Settings.BindAddress));
  if (Settings.BroadcastAddress != 0xFFFFFFFFu)
    WriteLine("Broadcast Address: " + FormatDottedAddress(Settings.BroadcastAddress));
}

void ReportSettings() {
  WriteLine(" IP: " + FormatDottedAddress(Settings.IpAddress) + "   Mask: " + FormatDottedAddress(Settings.NetMask) +
            "   Gateway: " + FormatDottedAddress(Settings.Gateway) + "   MAC: " +
            BytesToDashedHex(Settings.MacAddress) + "   Ports: " + std::to_string(Settings.ClientPort) + " " +
            std::to_string(Settings.ServerPort) + " " + std::to_string(Settings.TcpPort));
}

// The first mode that applies; none when a MAC address was given without /e.
// Each marks the counts its run has for the closing object of /json.
void RunSelectedMode() {
  if (Settings.LxiMode) {
    ShowRunCount(RunCount::Instruments);
    DiscoverLxiInstruments(Settings.ResponseTimeoutMs);
  } else if (Settings.TeracomMode) {
    ShowRunCount(RunCount::Modules);
    Settings.ResponseTimeoutMs = kUdpModeTimeoutMs;
    DiscoverTeracom();
  } else if (Settings.UdpMode) {
    ShowRunCount(RunCount::Replies);
    ShowRunCount(RunCount::Datagrams);
    Settings.ResponseTimeoutMs = kUdpModeTimeoutMs;
    if (Settings.Command.find(';') != std::string::npos) Settings.SplitCommands = true;
    RunUdpCommandMode(Settings.ResponseTimeoutMs);
  } else if (Settings.FileMode) {
    ShowRunCount(RunCount::Replies);
    RunCommandFile(FormatDottedAddress(Settings.IpAddress), Settings.FileName, Settings.VerbosityLevel);
  } else if (Settings.CommandMode) {
    ShowRunCount(RunCount::Replies);
    RunTcpCommands();
  } else if (Settings.MacAddress.empty() || Settings.DiscoverAfterConfig) {
    ShowRunCount(RunCount::Supplies);
    DiscoverPowerSupplies(Settings.ResponseTimeoutMs);
  }
}

}  // namespace

void RunProgram() {
  Settings = SettingsRecord{};
  ResetRunCounts();
  Settings.ModbusTransactionId = static_cast<std::uint16_t>((TickCountMs() / 1000u) % 65535u);
  ParseCommandLine();
  if (!Settings.BriefOutput) ReportAddresses();
  if (Settings.Verbose) ReportSettings();
  RunSelectedMode();
  ExitProgram(0);
}
