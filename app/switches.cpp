#include "app/switches.h"

#include <cstdint>

#include "app/help.h"
#include "core/codecs.h"
#include "core/dotted_address.h"
#include "core/exit.h"
#include "core/failure_report.h"
#include "core/json_output.h"
#include "core/number_syntax.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "wire/modbus_request.h"

namespace {

// Reads the next argument as a value, whatever it holds; past the last
// argument the value is empty.
const std::string &ReadValue(ParseState &state) {
  state.lastValue = state.next < state.arguments.size() ? state.arguments[state.next++] : std::string();
  return state.lastValue;
}

// The number in text, or fallBack when it is not a valid number.
std::int32_t NumberOr(std::string_view text, std::int32_t fallBack) {
  std::int32_t value = 0;
  return ParseNumber(text, value) ? value : fallBack;
}

// Adds in 32-bit arithmetic that wraps, as every setting is 32-bit.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::string Without(std::string_view text, std::string_view removed) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text)
    if (removed.find(c) == std::string_view::npos) kept.push_back(c);
  return kept;
}

std::string ApostrophePairsToQuotes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
      result.push_back('"');
      ++i;
    } else {
      result.push_back(text[i]);
    }
  }
  return result;
}

// Command switches make the output brief unless verbose output was asked for.
void BriefUnlessVerbose() {
  if (!Settings.Verbose) Settings.BriefOutput = true;
}

// Addresses.

// Dotted IPv4 text of a host name; ends the run with code 2 when unresolvable.
std::string ResolveHostAddress(const std::string &name) {
  std::string address = LookupHostAddress(name);
  if (address.empty()) {
    ReportFailure("Error: Unable to resolve Hostname to IP address.");
    ExitProgram(2);
  }
  return address;
}

bool IpSwitch(ParseState &state) {
  const std::string &value = ReadValue(state);
  // A host name goes to the resolver even where parts of it read as numbers;
  // numbers alone are an address, and an address 0 gets a look-up as well.
  std::uint32_t address = ParseDottedAddress(value);
  if (address == 0 || IsHostName(value)) address = ParseDottedAddress(ResolveHostAddress(value));
  Settings.IpAddress = address;
  return true;
}

bool GatewaySwitch(ParseState &state) {
  Settings.Gateway = ParseDottedAddress(ReadValue(state));
  return true;
}

bool MaskSwitch(ParseState &state) {
  Settings.NetMask = ParseDottedAddress(ReadValue(state));
  return true;
}

bool BindAddressSwitch(ParseState &state) {
  Settings.BindAddress = ParseDottedAddress(ReadValue(state));
  Settings.BindAddressGiven = true;
  return true;
}

bool BroadcastSwitch(ParseState &state) {
  Settings.BroadcastAddress = ParseDottedAddress(ReadValue(state));
  return true;
}

bool MacSwitch(ParseState &state) {
  std::string bytes = HexToBytes(Without(ReadValue(state), "-:"));
  if (bytes.size() > 8) bytes.resize(8);
  Settings.MacAddress = bytes;
  return bytes.size() == 6;
}

// Ports.

// A port value: invalid counts as 0, and 0 is rejected.
bool ReadPort(ParseState &state, std::int32_t &port) {
  port = NumberOr(ReadValue(state), 0);
  return port != 0;
}

bool TcpPortSwitch(ParseState &state) { return ReadPort(state, Settings.TcpPort); }
bool ServerPortSwitch(ParseState &state) { return ReadPort(state, Settings.ServerPort); }
bool ClientPortSwitch(ParseState &state) { return ReadPort(state, Settings.ClientPort); }

bool AllPortsSwitch(ParseState &state) {
  std::int32_t port = 0;
  if (!ReadPort(state, port)) return false;
  Settings.TcpPort = Settings.ServerPort = Settings.ClientPort = port;
  return true;
}

template <std::int32_t Port>
bool TcpPortPreset(ParseState &) {
  Settings.TcpPort = Port;
  return true;
}

// /hislip and /vxi11: the protocol and its port (HiSLIP's own; VXI-11's
// portmapper); a /tport after it names another.
template <std::int32_t Protocol, std::int32_t Port>
bool SessionProtocolSwitch(ParseState &) {
  Settings.TcpPort = Port;
  Settings.SessionProtocol = Protocol;
  return true;
}

bool DeviceNameSwitch(ParseState &state) {
  Settings.DeviceName = ReadValue(state);
  if (Settings.DeviceName.empty()) {
    ReportFailure("Error: Missing device name. (use: /vxi11 /dev gpib0,5 /ip 192.168.1.30 /cmd *idn?)");
    ExitProgram(2);
  }
  return true;
}

bool UdpSwitch(ParseState &) {
  Settings.UdpMode = true;
  Settings.ClientPort = Settings.ServerPort = 53001;
  return true;
}

bool TeracomSwitch(ParseState &) {
  Settings.TeracomMode = true;
  Settings.ClientPort = Settings.ServerPort = 30303;
  return true;
}

// Commands, files and modes.

bool CommandSwitch(ParseState &state) {
  Settings.Command = ApostrophePairsToQuotes(ReadValue(state));
  if (Settings.EscapeTranslation) Settings.Command = TranslateEscapes(Settings.Command);
  Settings.CommandMode = true;
  BriefUnlessVerbose();
  return true;
}

bool HexSwitch(ParseState &state) {
  Settings.Command = SpacedHexToBytes(ReadValue(state));
  Settings.CommandMode = true;
  Settings.HexMode = true;
  BriefUnlessVerbose();
  return true;
}

// One /mod value: invalid counts as -1, and -1 is rejected.
bool ReadModbusValue(ParseState &state, std::int32_t &value) {
  value = NumberOr(ReadValue(state), -1);
  return value != -1;
}

bool ModbusSwitch(ParseState &state) {
  std::int32_t function = 0, address = 0, value = 0;
  if (!ReadModbusValue(state, function) || !ReadModbusValue(state, address) || !ReadModbusValue(state, value))
    return false;
  Settings.ModbusFunction = static_cast<std::uint8_t>(function);
  Settings.ModbusAddress = static_cast<std::uint16_t>(address);
  Settings.ModbusValue = static_cast<std::uint16_t>(value);
  Settings.Command = BuildModbusRequest(Settings.ModbusTransactionId, Settings.ModbusUnit, Settings.ModbusFunction,
                                        Settings.ModbusAddress, Settings.ModbusValue);
  Settings.CommandMode = true;
  Settings.HexMode = true;
  Settings.ResponseTimeoutMs = 2000;
  BriefUnlessVerbose();
  if (Settings.TcpPort == 8462) Settings.TcpPort = 502;
  state.modbusGiven = true;
  return true;
}

bool ModbusUnitSwitch(ParseState &state) {
  const std::int32_t unit = NumberOr(ReadValue(state), -1);
  if (unit == -1) return false;
  Settings.ModbusUnit = static_cast<std::uint8_t>(unit);
  return true;
}

bool CommandFileSwitch(ParseState &state) {
  Settings.FileName = ReadValue(state);
  Settings.FileMode = true;
  BriefUnlessVerbose();
  return true;
}

bool HexFileSwitch(ParseState &state) {
  CommandFileSwitch(state);
  Settings.HexMode = true;
  return true;
}

// Switches without values that turn one setting on.
template <bool SettingsRecord::*Field>
bool TurnOn(ParseState &) {
  Settings.*Field = true;
  return true;
}

bool BindAllSwitch(ParseState &) {
  Settings.BindAll = !Settings.BindAll;
  return true;
}

// Timing.

bool FastSwitch(ParseState &) {
  Settings.ResponseTimeoutMs = 100;
  return true;
}

template <std::int32_t Added>
bool LongerWait(ParseState &) {
  Settings.ResponseTimeoutMs = WrappingAdd(Settings.ResponseTimeoutMs, Added);
  return true;
}

bool RepeatDelaySwitch(ParseState &state) {
  Settings.RepeatDelayMs = NumberOr(ReadValue(state), 0);
  return true;
}

bool LineDelaySwitch(ParseState &state) {
  Settings.LineDelayMs = NumberOr(ReadValue(state), 5);
  return true;
}

bool PauseDelaySwitch(ParseState &state) {
  Settings.PauseDelayMs = NumberOr(ReadValue(state), 1000);
  return true;
}

// Output.

bool VerboseSwitch(ParseState &) {
  Settings.Verbose = true;
  Settings.BriefOutput = false;
  return true;
}

bool VeryVerboseSwitch(ParseState &state) {
  Settings.VerbosityLevel = 2;
  return VerboseSwitch(state);
}

bool EchoSwitch(ParseState &state) {
  state.echoRequested = true;
  return true;
}

bool CrSwitch(ParseState &) {
  Settings.LineTerminator = std::string(1, '\r');
  return true;
}

bool CrLfSwitch(ParseState &) {
  Settings.LineTerminator = "\r\n";
  return true;
}

template <std::int32_t Format>
bool TimestampSwitch(ParseState &) {
  Settings.TimestampFormat = Format;
  return true;
}

template <std::int32_t View>
bool ModbusViewSwitch(ParseState &) {
  Settings.ModbusView = View;
  return true;
}

bool JsonSwitch(ParseState &) {
  Settings.JsonOutput = true;
  StartJsonOutput();
  return true;
}

bool HelpSwitch(ParseState &) { ShowHelp(); }

struct SwitchEntry {
  std::string_view keyword;
  SwitchAction action;
};

const SwitchEntry kSwitches[] = {
    // Addresses.
    {"IP", IpSwitch},
    {"GW", GatewaySwitch},
    {"MASK", MaskSwitch},
    {"BAD", BindAddressSwitch},
    {"BCA", BroadcastSwitch},
    {"MAC", MacSwitch},
    {"B", BindAllSwitch},
    // Ports.
    {"TPORT", TcpPortSwitch},
    {"SPORT", ServerPortSwitch},
    {"CPORT", ClientPortSwitch},
    {"PORTS", AllPortsSwitch},
    {"FLUKE", TcpPortPreset<3490>},
    {"AIMTTI", TcpPortPreset<9221>},
    {"SRAW", TcpPortPreset<5025>},
    {"STEL", TcpPortPreset<5024>},
    {"HISLIP", SessionProtocolSwitch<kHislipSession, 4880>},
    {"VXI11", SessionProtocolSwitch<kVxi11Session, 111>},
    {"DEV", DeviceNameSwitch},
    {"EOL", TurnOn<&SettingsRecord::EolEndsReply>},
    {"TDKLA", TcpPortPreset<8003>},
    {"U", UdpSwitch},
    {"TERAC", TeracomSwitch},
    {"LXI", TurnOn<&SettingsRecord::LxiMode>},
    // Commands, files and modes.
    {"CMD", CommandSwitch},
    {"HEX", HexSwitch},
    {"MOD", ModbusSwitch},
    {"MDE", ModbusUnitSwitch},
    {"CFL", CommandFileSwitch},
    {"HFL", HexFileSwitch},
    {"DHCP", TurnOn<&SettingsRecord::DhcpRequested>},
    {"STATIC", TurnOn<&SettingsRecord::StaticRequested>},
    {"R", TurnOn<&SettingsRecord::ResetRequested>},
    {"E", TurnOn<&SettingsRecord::DiscoverAfterConfig>},
    {"A", TurnOn<&SettingsRecord::AskIdentity>},
    {"S", TurnOn<&SettingsRecord::SendToAll>},
    {"D", TurnOn<&SettingsRecord::SplitCommands>},
    {"T", TurnOn<&SettingsRecord::RepeatCommand>},
    {"O", TurnOn<&SettingsRecord::ResolveHostName>},
    // Timing.
    {"F", FastSwitch},
    {"L", LongerWait<5000>},
    {"LL", LongerWait<10000>},
    {"TTIME", RepeatDelaySwitch},
    {"WAITL", LineDelaySwitch},
    {"WAITP", PauseDelaySwitch},
    // Output.
    {"V", VerboseSwitch},
    {"VV", VeryVerboseSwitch},
    {"N", EchoSwitch},
    {"DBG", TurnOn<&SettingsRecord::PauseBeforeExit>},
    {"CR", CrSwitch},
    {"CRLF", CrLfSwitch},
    {"XIS", TurnOn<&SettingsRecord::EscapeTranslation>},
    {"XC", TurnOn<&SettingsRecord::CommaToEol>},
    {"XSK", TurnOn<&SettingsRecord::DecimalComma>},
    {"XTT", TimestampSwitch<1>},
    {"XTC", TimestampSwitch<2>},
    {"XTS", TimestampSwitch<3>},
    {"XTK", TimestampSwitch<4>},
    {"XTL", TimestampSwitch<5>},
    {"XTI", TimestampSwitch<6>},
    {"MBI", ModbusViewSwitch<1>},
    {"MBL", ModbusViewSwitch<2>},
    {"MBF", ModbusViewSwitch<3>},
    {"MBB", ModbusViewSwitch<4>},
    {"MBS", ModbusViewSwitch<5>},
    {"JSON", JsonSwitch},
    {"H", HelpSwitch},
    {"HELP", HelpSwitch},
};

}  // namespace

SwitchAction FindSwitch(std::string_view keyword) {
  for (const SwitchEntry &entry : kSwitches)
    if (entry.keyword == keyword) return entry.action;
  return nullptr;
}
