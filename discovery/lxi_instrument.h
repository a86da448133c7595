// What the instrument search learns of each LAN instrument, one entry per
// IPv4 address however many ways found it, and the text block it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wire/lxi_identification.h"

// One service an instrument announced over multicast DNS.
struct LxiService {
  std::string Type;  // "_lxi._tcp", "_vxi-11._tcp", "_scpi-raw._tcp" or "_hislip._tcp"
  int Port = 0;      // 0: its SRV record never came
  bool operator==(const LxiService &) const = default;
};

// The ways an instrument is asked for its identity.
enum class LxiWay { Vxi11, Hislip, RawScpi };

// What asking one instrument brought: its identity and where it came from,
// its network set-up from its identification document.
struct LxiFindings {
  std::vector<LxiWay> Tried{}; // the ways asked, in the order they were
  bool Answered = false;       // one of them gave the identity
  LxiWay AnsweredBy = LxiWay::Vxi11;
  std::string Idn{};           // the reply, its final line end removed
  std::vector<LxiNetworkInterface> Interfaces{};  // from the identification document
  std::vector<std::string> Notes{};  // what failed, for /v, in the order it happened
};

struct LxiInstrument {
  std::uint32_t Ip = 0;               // first octet most significant
  int Vxi11Port = 0;                  // the portmapper's core channel port; 0: did not answer
  std::vector<LxiService> Services;   // in the order the query asks for them
  std::string Name;                   // the announced instance name; "" when none
  std::vector<std::string> Txt;       // the announced TXT strings ("key=value")
  LxiFindings Findings;
};

// The instruments of a run, in address order.
using LxiInstrumentList = std::vector<LxiInstrument>;

// The entry of ip, made in its place when new; nullptr when the list holds
// as many as it may.
LxiInstrument *LxiEntryOf(LxiInstrumentList &list, std::uint32_t ip);

// Notes the core channel port that the portmapper at ip answered with.
void AddPortmapperAnswer(LxiInstrumentList &list, std::uint32_t ip, int port);

// Notes an announced service (port 0: not known) in the order of the query;
// a service noted already keeps its port unless that was not known.
void AddLxiService(LxiInstrument &instrument, const std::string &type, int port);

// The port of an announced service; 0 when not announced or not known.
int AnnouncedPort(const LxiInstrument &instrument, const std::string &type);

// An identity made of the TXT keys Manufacturer, Model, SerialNumber and
// FirmwareVersion (keys without case), comma-separated as an identity
// reply is, a missing one empty; "" when none of them was announced.
std::string TxtIdentity(const LxiInstrument &instrument);

// The name of a way as the text block shows it ("VXI-11", "HiSLIP",
// "raw SCPI") and as JSON does ("vxi11", "hislip", "scpi-raw").
const char *LxiWayText(LxiWay way);
const char *LxiWayJson(LxiWay way);

// The printed block: an empty line, "LXI Instrument: ", "Found by:      ",
// "Name:          " (only with a name); "IDN:  [...]" with the identity an
// instrument gave, else "Announced: [...]" with the TXT identity where
// there is one, and "No answer over: " the ways tried where none answered;
// then for each network interface of its identification document the
// lines of its fields. Texts from the instrument have their control
// characters replaced by spaces.
std::vector<std::string> FormatLxiInstrument(const LxiInstrument &instrument);
