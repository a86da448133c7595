// What the instrument search learns of each LAN instrument, one entry per
// IPv4 address however many ways found it, and the text block it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wire/dns_reply.h"

// One service an instrument announced over multicast DNS.
struct LxiService {
  std::string Type;  // "_lxi._tcp", "_vxi-11._tcp", "_scpi-raw._tcp" or "_hislip._tcp"
  int Port = 0;
};

struct LxiInstrument {
  std::uint32_t Ip = 0;               // first octet most significant
  int Vxi11Port = 0;                  // the portmapper's core channel port; 0: did not answer
  std::vector<LxiService> Services;   // in the order the query asks for them
  std::string Name;                   // the announced instance name; "" when none
  std::string Idn;                    // the identity, its final line end removed; "" when none
  std::vector<std::string> Txt;       // the announced TXT strings ("key=value")
};

// The instruments of a run, in address order.
using LxiInstrumentList = std::vector<LxiInstrument>;

// Notes the core channel port that the portmapper at ip answered with.
void AddPortmapperAnswer(LxiInstrumentList &list, std::uint32_t ip, int port);

// Notes every service of a multicast DNS reply from source: each PTR
// record for one of the services asked for, with the SRV record of its
// instance (no SRV: not noted), the TXT record of the instance and the A
// record of the SRV host (without one, or with 0.0.0.0: source).
void AddAnnouncedServices(LxiInstrumentList &list, const std::vector<DnsRecord> &records,
                          std::uint32_t source);

// The port of an announced service; 0 when not announced.
int AnnouncedPort(const LxiInstrument &instrument, const std::string &type);

// An identity made of the TXT keys Manufacturer, Model, SerialNumber and
// FirmwareVersion (keys without case), comma-separated as an identity
// reply is, a missing one empty; "" when none of them was announced.
std::string TxtIdentity(const LxiInstrument &instrument);

// The printed block: an empty line, "LXI Instrument: ", "Found by:      ",
// "Name:          " (only with a name) and "IDN:  [...]". Name and identity
// have their control characters replaced by spaces.
std::vector<std::string> FormatLxiInstrument(const LxiInstrument &instrument);
