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

// The entry of ip, made in its place when new; nullptr when the list is full.
LxiInstrument *EntryOf(LxiInstrumentList &list, std::uint32_t ip) {
  const auto place = std::lower_bound(list.begin(), list.end(), ip,
                                      [](const LxiInstrument &entry, std::uint32_t value) { return entry.Ip < value; });
  if (place != list.end() && place->Ip == ip) return &*place;
  if (list.size() >= kMaxInstruments) return nullptr;
  LxiInstrument fresh;
  fresh.Ip = ip;
  return &*list.insert(place, std::move(fresh));
}

DnsName ServiceName(std::string_view service) {
  DnsName name;
  while (!service.empty()) {
    const std::size_t dot = service.find('.');
    name.emplace_back(service.substr(0, dot));
    service = dot == std::string_view::npos ? std::string_view() : service.substr(dot + 1);
  }
  name.emplace_back(kMdnsDomain);
  return name;
}

const DnsRecord *FindRecord(const std::vector<DnsRecord> &records, std::uint16_t type, const DnsName &name) {
  for (const DnsRecord &record : records)
    if (record.Type == type && SameDnsName(record.Name, name)) return &record;
  return nullptr;
}

// The instance's own part: the labels before the service name.
std::string InstanceName(const DnsName &instance, const DnsName &service) {
  const std::size_t own = instance.size() > service.size() ? instance.size() - service.size() : instance.size();
  std::string name;
  for (std::size_t i = 0; i < own; ++i) name += (i == 0 ? "" : ".") + instance[i];
  return name;
}

int ServiceOrder(const std::string &type) {
  const auto found = std::find(std::begin(kLxiServices), std::end(kLxiServices), type);
  return static_cast<int>(found - std::begin(kLxiServices));
}

void AddService(LxiInstrument &instrument, const std::string &type, int port) {
  if (AnnouncedPort(instrument, type) != 0) return;
  const auto place = std::find_if(instrument.Services.begin(), instrument.Services.end(),
                                  [&](const LxiService &s) { return ServiceOrder(s.Type) > ServiceOrder(type); });
  instrument.Services.insert(place, LxiService{type, port});
}

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

void AddPortmapperAnswer(LxiInstrumentList &list, std::uint32_t ip, int port) {
  LxiInstrument *entry = EntryOf(list, ip);
  if (entry != nullptr && entry->Vxi11Port == 0) entry->Vxi11Port = port;
}

void AddAnnouncedServices(LxiInstrumentList &list, const std::vector<DnsRecord> &records, std::uint32_t source) {
  for (const std::string_view service : kLxiServices) {
    const DnsName serviceName = ServiceName(service);
    for (const DnsRecord &pointer : records) {
      if (pointer.Type != kDnsTypePtr || !SameDnsName(pointer.Name, serviceName)) continue;
      const DnsRecord *location = FindRecord(records, kDnsTypeSrv, pointer.Target);
      if (location == nullptr || location->Port == 0) continue;
      const DnsRecord *host = FindRecord(records, kDnsTypeA, location->Target);
      LxiInstrument *entry = EntryOf(list, host != nullptr && host->Address != 0 ? host->Address : source);
      if (entry == nullptr) continue;
      AddService(*entry, std::string(service), location->Port);
      if (entry->Name.empty()) entry->Name = InstanceName(pointer.Target, serviceName);
      const DnsRecord *texts = FindRecord(records, kDnsTypeTxt, pointer.Target);
      if (entry->Txt.empty() && texts != nullptr) entry->Txt = texts->Texts;
    }
  }
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

std::vector<std::string> FormatLxiInstrument(const LxiInstrument &instrument) {
  std::vector<std::string> lines{"", "LXI Instrument: " + FormatDottedAddress(instrument.Ip)};
  std::string found;
  if (instrument.Vxi11Port != 0) found = "VXI-11 core port " + std::to_string(instrument.Vxi11Port);
  for (std::size_t i = 0; i < instrument.Services.size(); ++i) {
    if (!found.empty()) found += ", ";
    if (i == 0) found += "mDNS ";
    found += instrument.Services[i].Type + " port " + std::to_string(instrument.Services[i].Port);
  }
  lines.push_back("Found by:      " + found);
  if (!instrument.Name.empty()) lines.push_back("Name:          " + SanitizeControlChars(instrument.Name));
  lines.push_back("IDN:  [" + SanitizeControlChars(instrument.Idn) + "]");
  return lines;
}
