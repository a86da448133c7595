#include "discovery/lxi_instrument.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "core/dotted_address.h"
#include "wire/device_reply.h"
#include "wire/mdns_query.h"

namespace {

// A reply flood of made-up addresses stops adding entries here.
constexpr std::size_t kMaxInstruments = 1024;

int ServiceOrder(const std::string &type) {
  const auto found = std::find(std::begin(kLxiServices), std::end(kLxiServices), type);
  return static_cast<int>(found - std::begin(kLxiServices));
}

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string FoundBy(const LxiInstrument &instrument) {
  std::string found;
  if (instrument.Vxi11Port != 0) found = "VXI-11 core port " + std::to_string(instrument.Vxi11Port);
  for (std::size_t i = 0; i < instrument.Services.size(); ++i) {
    const LxiService &service = instrument.Services[i];
    if (!found.empty()) found += ", ";
    if (i == 0) found += "mDNS ";
    found += service.Type;
    if (service.Port != 0) found += " port " + std::to_string(service.Port);
  }
  return found;
}

void AddInterfaceLines(std::vector<std::string> &lines, const LxiNetworkInterface &interface) {
  const auto add = [&](const char *head, const std::optional<std::string> &value, const std::string &tail = "") {
    if (value) lines.push_back(head + SanitizeControlChars(*value) + tail);
  };
  const std::string mode = AddressMode(interface);
  add("Host name:     ", interface.Hostname);
  add("MAC Address:   ", interface.Mac);
  add("IP Address:    ", interface.Ip, mode.empty() ? "" : " - " + mode);
  add("Subnet mask:   ", interface.Mask);
  add("Gateway:       ", interface.Gateway);
}

}  // namespace

LxiInstrument *LxiEntryOf(LxiInstrumentList &list, std::uint32_t ip) {
  const auto place = std::lower_bound(list.begin(), list.end(), ip,
                                      [](const LxiInstrument &entry, std::uint32_t value) { return entry.Ip < value; });
  if (place != list.end() && place->Ip == ip) return &*place;
  if (list.size() >= kMaxInstruments) return nullptr;
  LxiInstrument fresh;
  fresh.Ip = ip;
  return &*list.insert(place, std::move(fresh));
}

void AddPortmapperAnswer(LxiInstrumentList &list, std::uint32_t ip, int port) {
  LxiInstrument *entry = LxiEntryOf(list, ip);
  if (entry != nullptr && entry->Vxi11Port == 0) entry->Vxi11Port = port;
}

void AddLxiService(LxiInstrument &instrument, const std::string &type, int port) {
  const auto same = std::find_if(instrument.Services.begin(), instrument.Services.end(),
                                 [&](const LxiService &s) { return s.Type == type; });
  if (same != instrument.Services.end()) {
    if (same->Port == 0) same->Port = port;
    return;
  }
  const auto place = std::find_if(instrument.Services.begin(), instrument.Services.end(),
                                  [&](const LxiService &s) { return ServiceOrder(s.Type) > ServiceOrder(type); });
  instrument.Services.insert(place, LxiService{type, port});
}

int AnnouncedPort(const LxiInstrument &instrument, const std::string &type) {
  for (const LxiService &service : instrument.Services)
    if (service.Type == type) return service.Port;
  return 0;
}

std::string TxtIdentity(const LxiInstrument &instrument) {
  static const std::string_view kKeys[] = {"Manufacturer", "Model", "SerialNumber", "FirmwareVersion"};
  std::string identity;
  bool any = false;
  for (const std::string_view key : kKeys) {
    if (key != kKeys[0]) identity += ",";
    for (const std::string &text : instrument.Txt) {
      const std::size_t equals = text.find('=');
      if (equals == std::string::npos || !SameKey(std::string_view(text).substr(0, equals), key)) continue;
      identity += text.substr(equals + 1);
      any = true;
      break;
    }
  }
  return any ? identity : std::string();
}

const char *LxiWayText(LxiWay way) {
  switch (way) {
    case LxiWay::Vxi11:
      return "VXI-11";
    case LxiWay::Hislip:
      return "HiSLIP";
    case LxiWay::RawScpi:
      break;
  }
  return "raw SCPI";
}

const char *LxiWayJson(LxiWay way) {
  switch (way) {
    case LxiWay::Vxi11:
      return "vxi11";
    case LxiWay::Hislip:
      return "hislip";
    case LxiWay::RawScpi:
      break;
  }
  return "scpi-raw";
}

std::vector<std::string> FormatLxiInstrument(const LxiInstrument &instrument) {
  const LxiFindings &findings = instrument.Findings;
  std::vector<std::string> lines{"", "LXI Instrument: " + FormatDottedAddress(instrument.Ip),
                                 "Found by:      " + FoundBy(instrument)};
  if (!instrument.Name.empty()) lines.push_back("Name:          " + SanitizeControlChars(instrument.Name));
  if (findings.Answered) {
    lines.push_back("IDN:  [" + SanitizeControlChars(findings.Idn) + "]");
  } else {
    const std::string announced = TxtIdentity(instrument);
    if (!announced.empty()) lines.push_back("Announced: [" + SanitizeControlChars(announced) + "]");
    std::string ways;
    for (const LxiWay way : findings.Tried) ways += (ways.empty() ? "" : ", ") + std::string(LxiWayText(way));
    if (!ways.empty()) lines.push_back("No answer over: " + ways);
  }
  for (const LxiNetworkInterface &interface : findings.Interfaces) AddInterfaceLines(lines, interface);
  return lines;
}
