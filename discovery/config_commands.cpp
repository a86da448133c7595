#include "discovery/config_commands.h"

#include <functional>

#include "core/codecs.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "wire/config_datagrams.h"
#include "discovery/discovery_json.h"
#include "discovery/source_addresses.h"
#include "net/block_socket.h"
#include "platform/platform.h"

namespace {

constexpr int kAfterSendMs = 10;        // before the sender closes
constexpr int kDhcpOffSettleMs = 2500;  // the supply leaves DHCP mode
constexpr int kAddressSettleMs = 300;   // the supply takes the new address

// Runs send for every source entry, each followed by its closing line:
// what, the entry, "   for: " and the MAC.
void ForEachSourceEntry(const std::string &mac, const char *what,
                        const std::function<void(const std::string &entry)> &send) {
  std::string remaining = SourceAddressSelection();
  std::string entry;
  while (TakeSourceEntry(remaining, entry)) {
    send(entry);
    WriteLine(what + entry + "   for: " + BytesToDashedHex(mac));
  }
}

// Sends payload once from the source entry (dotted text) to the /bca
// address and /cport port; with /v its "Config for: " and "Config Stopped"
// lines.
void SendConfigDatagram(const std::string &entry, std::string_view payload) {
  {
    TUDPBlockSocket sender;
    PrepareSender(sender, entry, SendersBindToEntry());
    const int setUpError = sender.ErrorCode();
    const std::string setUpErrorText = setUpError != 0 ? sender.GetErrorDescEx() : std::string();
    if (sender.ErrorCode() != 0) {
      // Under /json the step's own object below carries the failure.
      if (!Settings.JsonOutput) ReportFailure(FailureLine("!Config failed with error code ", sender), sender.ErrorCode());
    } else {
      if (Settings.Verbose) WriteLine("Config for: " + entry + " " + BytesToHexList(payload));
      sender.SendText(payload);
      SleepMs(kAfterSendMs);
      sender.CloseEndpoint();
    }
    if (Settings.JsonOutput) WriteJsonLine(ConfigJson(entry, payload, setUpError, setUpErrorText));
  }
  if (Settings.Verbose) WriteLine("Config Stopped");
}

}  // namespace

void EnableDhcp(const std::string &mac) {
  ForEachSourceEntry(mac, "Enable DHCP at: ",
                     [&](const std::string &entry) { SendConfigDatagram(entry, DhcpModeDatagram(mac, true)); });
}

void SetStaticAddress(const std::string &mac) {
  ForEachSourceEntry(mac, "Set static address at: ", [&](const std::string &entry) {
    SendConfigDatagram(entry, DhcpModeDatagram(mac, false));
    SleepMs(kDhcpOffSettleMs);
    SendConfigDatagram(entry, AddressDatagram(mac, Settings.IpAddress, Settings.NetMask, Settings.Gateway));
    SleepMs(kAddressSettleMs);
    SendConfigDatagram(entry, ResetDatagram(mac));
  });
}

void ResetController(const std::string &mac) {
  ForEachSourceEntry(mac, "Reset controller at: ",
                     [&](const std::string &entry) { SendConfigDatagram(entry, ResetDatagram(mac)); });
}
