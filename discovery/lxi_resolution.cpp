#include "discovery/lxi_resolution.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// A flood of records stops being kept here.
constexpr std::size_t kMaxRecords = 2048;
constexpr std::size_t kMaxAsked = 2048;
constexpr std::size_t kQuestionsPerQuery = 16;

using Held = MdnsAnswers::Held;

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

const Held *FindRecord(const MdnsAnswers &answers, std::uint16_t type, const DnsName &name) {
  for (const Held &held : answers.Records)
    if (held.Record.Type == type && SameDnsName(held.Record.Name, name)) return &held;
  return nullptr;
}

bool SameRecord(const DnsRecord &a, const DnsRecord &b) {
  return a.Type == b.Type && a.Port == b.Port && a.Address == b.Address && a.Texts == b.Texts &&
         SameDnsName(a.Name, b.Name) && SameDnsName(a.Target, b.Target);
}

// The instance's own part: the labels before the service name.
std::string InstanceName(const DnsName &instance, const DnsName &service) {
  const std::size_t own = instance.size() > service.size() ? instance.size() - service.size() : instance.size();
  std::string name;
  for (std::size_t i = 0; i < own; ++i) name += (i == 0 ? "" : ".") + instance[i];
  return name;
}

// Calls visit(pointer, serviceType) for each PTR record of a service asked for.
template <typename Visit>
void ForEachInstance(const MdnsAnswers &answers, Visit visit) {
  for (const std::string_view service : kLxiServices) {
    const DnsName serviceName = ServiceName(service);
    for (const Held &pointer : answers.Records)
      if (pointer.Record.Type == kDnsTypePtr && SameDnsName(pointer.Record.Name, serviceName))
        visit(pointer, service, serviceName);
  }
}

// Adds question to its socket's query when it is due.
void AskWhenDue(MdnsAnswers &answers, std::vector<MdnsFollowUp> &due, const DnsQuestion &question,
                std::size_t socket, std::uint64_t nowMs) {
  auto asked = std::find_if(answers.Asked.begin(), answers.Asked.end(), [&](const MdnsAsked &entry) {
    return entry.Question.Type == question.Type && SameDnsName(entry.Question.Name, question.Name);
  });
  if (asked == answers.Asked.end()) {
    if (answers.Asked.size() >= kMaxAsked) return;
    answers.Asked.push_back(MdnsAsked{question, socket, nowMs, 0});
    asked = answers.Asked.end() - 1;
  } else if (asked->Sends >= 2 || nowMs < asked->SentMs + kFollowUpRepeatMs) {
    return;
  }
  asked->SentMs = nowMs;
  ++asked->Sends;
  auto query = std::find_if(due.begin(), due.end(), [&](const MdnsFollowUp &q) {
    return q.Socket == asked->Socket && q.Questions.size() < kQuestionsPerQuery;
  });
  if (query == due.end()) query = due.insert(due.end(), MdnsFollowUp{asked->Socket, {}});
  query->Questions.push_back(question);
}

}  // namespace

void NoteMdnsReply(MdnsAnswers &answers, const std::vector<DnsRecord> &records, std::uint32_t source,
                   std::size_t socket) {
  for (const DnsRecord &record : records) {
    if (answers.Records.size() >= kMaxRecords) return;
    const bool held = std::any_of(answers.Records.begin(), answers.Records.end(),
                                  [&](const Held &h) { return SameRecord(h.Record, record); });
    if (held) continue;
    answers.Records.push_back(Held{record, source, socket});
    answers.Changed = true;
  }
}

std::vector<MdnsFollowUp> DueFollowUps(MdnsAnswers &answers, std::uint64_t nowMs) {
  std::vector<MdnsFollowUp> due;
  if (!answers.Changed && nowMs < answers.NextLookMs) return due;
  std::vector<DnsName> seen;
  ForEachInstance(answers, [&](const Held &pointer, std::string_view, const DnsName &) {
    const DnsName &instance = pointer.Record.Target;
    if (std::any_of(seen.begin(), seen.end(), [&](const DnsName &n) { return SameDnsName(n, instance); })) return;
    seen.push_back(instance);
    const Held *location = FindRecord(answers, kDnsTypeSrv, instance);
    if (location == nullptr) AskWhenDue(answers, due, {instance, kDnsTypeSrv}, pointer.Socket, nowMs);
    if (FindRecord(answers, kDnsTypeTxt, instance) == nullptr)
      AskWhenDue(answers, due, {instance, kDnsTypeTxt}, pointer.Socket, nowMs);
    if (location != nullptr && location->Record.Port != 0 &&
        FindRecord(answers, kDnsTypeA, location->Record.Target) == nullptr)
      AskWhenDue(answers, due, {location->Record.Target, kDnsTypeA}, pointer.Socket, nowMs);
  });
  answers.Changed = false;
  answers.NextLookMs = UINT64_MAX;
  for (const MdnsAsked &asked : answers.Asked)
    if (asked.Sends == 1) answers.NextLookMs = std::min(answers.NextLookMs, asked.SentMs + kFollowUpRepeatMs);
  return due;
}

void AddAnnouncedServices(LxiInstrumentList &list, const MdnsAnswers &answers) {
  ForEachInstance(answers, [&](const Held &pointer, std::string_view service, const DnsName &serviceName) {
    const DnsName &instance = pointer.Record.Target;
    const Held *location = FindRecord(answers, kDnsTypeSrv, instance);
    if (location != nullptr && location->Record.Port == 0) return;
    const Held *host = location == nullptr ? nullptr : FindRecord(answers, kDnsTypeA, location->Record.Target);
    const bool addressed = host != nullptr && host->Record.Address != 0;
    LxiInstrument *entry = LxiEntryOf(list, addressed ? host->Record.Address : pointer.Source);
    if (entry == nullptr) return;
    AddLxiService(*entry, std::string(service), location == nullptr ? 0 : location->Record.Port);
    if (entry->Name.empty()) entry->Name = InstanceName(instance, serviceName);
    const Held *texts = FindRecord(answers, kDnsTypeTxt, instance);
    if (entry->Txt.empty() && texts != nullptr) entry->Txt = texts->Record.Texts;
  });
}
