#include "app/parser.h"

#include "app/help.h"
#include "app/switches.h"
#include "core/codecs.h"
#include "core/exit.h"
#include "core/json_output.h"
#include "core/failure_report.h"
#include "core/settings.h"
#include "discovery/config_commands.h"
#include "platform/platform.h"

namespace {

// Pause after each switch with its values.
constexpr int kSwitchPauseMs = 10;

// The argument in ASCII upper case with one leading "/" or "-" removed.
std::string Keyword(std::string_view argument) {
  if (!argument.empty() && (argument.front() == '/' || argument.front() == '-')) argument.remove_prefix(1);
  return AsciiUpper(argument);
}

// An argument that is no switch asks for help with "?" as its first or
// second character, as typed.
bool AsksForHelp(std::string_view argument) {
  return (argument.size() > 0 && argument[0] == '?') || (argument.size() > 1 && argument[1] == '?');
}

[[noreturn]] void RejectArgument(std::string_view argument) {
  ReportFailure(std::string("Error on command line: ").append(argument));
  ExitProgram(2);
}

// A line of a command line that cannot run, and exit code 2.
[[noreturn]] void MissingAddress(const char *line) {
  ReportFailure(line);
  ExitProgram(2);
}

const char kMissingMacForDhcp[] = "Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /dhcp)";
const char kMissingIpForStatic[] = "Error: Missing IP Address. (use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2)";
const char kMissingMac[] = "Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /r)";
const char kMissingIpForCommands[] = "Error: Missing IP Address. (use: /ip 192.168.2.2 /cmd meas:volt?;meas:curr?)";
const char kModbusOverProtocol[] = "Error: /mod is Modbus-TCP, which /hislip and /vxi11 do not carry. (use: /ip 192.168.2.2 /mod 3 100 2)";

// The address x.x.x.1 of the instrument's network, moved on by 253 when
// that is the instrument's own address.
void CompleteGatewayAndMask() {
  if (Settings.IpAddress == 0) return;
  if (Settings.Gateway == 0) Settings.Gateway = (Settings.IpAddress & 0xFFFFFF00u) | 1u;
  if (Settings.Gateway == Settings.IpAddress) Settings.Gateway += 253u;
  if (Settings.NetMask == 0) Settings.NetMask = 0xFFFFFF00u;
}

// After the last argument: completes the addresses, checks what needs an
// address and runs the configuration commands, in this order.
void FinishCommandLine(bool echoRequested, bool modbusGiven) {
  if (modbusGiven && Settings.SessionProtocol != kRawSession) MissingAddress(kModbusOverProtocol);
  if (Settings.SendToAll) Settings.CommandMode = false;

  if (Settings.DhcpRequested) {
    if (Settings.MacAddress.empty()) MissingAddress(kMissingMacForDhcp);
    EnableDhcp(Settings.MacAddress);
  }

  CompleteGatewayAndMask();

  if (Settings.StaticRequested) {
    if (Settings.IpAddress == 0) MissingAddress(kMissingIpForStatic);
    if (Settings.MacAddress.empty()) MissingAddress(kMissingMac);
    SetStaticAddress(Settings.MacAddress);
  }

  if (Settings.ResetRequested) {
    if (Settings.MacAddress.empty()) MissingAddress(kMissingMac);
    ResetController(Settings.MacAddress);
  }

  if (Settings.CommandMode) {
    if (Settings.IpAddress == 0) MissingAddress(kMissingIpForCommands);
  } else {
    Settings.RepeatCommand = false;
  }

  if (Settings.FileMode && Settings.IpAddress == 0) MissingAddress(kMissingIpForCommands);

  if (echoRequested) Settings.BriefOutput = false;
}

}  // namespace

void StartJsonOutputIfAsked() {
  // /json (or -json) holds for the whole run wherever it stands, so that an
  // error in an argument before it is an error object too. A bare "json"
  // might be the value of the switch before it and acts where it stands.
  for (const std::string &argument : ProgramArguments()) {
    if (argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') && Keyword(argument) == "JSON") {
      Settings.JsonOutput = true;
      StartJsonOutput();
    }
  }
}

void ParseCommandLine() {
  const std::vector<std::string> &arguments = ProgramArguments();
  StartJsonOutputIfAsked();
  ParseState state{arguments, 0, {}, false, false};
  while (state.next < arguments.size()) {
    const std::string &argument = arguments[state.next++];
    const SwitchAction action = FindSwitch(Keyword(argument));
    if (action == nullptr) {
      if (AsksForHelp(argument)) ShowHelp();
      RejectArgument(argument);
    }
    if (!action(state)) RejectArgument(state.lastValue);
    SleepMs(kSwitchPauseMs);
  }
  FinishCommandLine(state.echoRequested, state.modbusGiven);
}
