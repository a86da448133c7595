#include "wire/mdns_query.h"

#include <cstddef>

namespace {

constexpr std::uint16_t kTypePtr = 12;
constexpr std::uint16_t kClassIn = 1;

void AppendShort(std::string &out, std::uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
}

// "a.b" as the labels a, b.
void AppendLabels(std::string &out, std::string_view dotted) {
  while (!dotted.empty()) {
    const std::size_t dot = dotted.find('.');
    const std::string_view label = dotted.substr(0, dot);
    out.push_back(static_cast<char>(label.size()));
    out.append(label);
    dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
  }
}

bool NameFits(const DnsName &name) {
  std::size_t bytes = 1;
  for (const std::string &label : name) {
    if (label.empty() || label.size() > 63) return false;
    bytes += label.size() + 1;
  }
  return bytes <= 255;
}

}  // namespace

std::string BuildServiceQuery(std::uint16_t id) {
  std::string query;
  AppendShort(query, id);
  AppendShort(query, 0);  // flags: a standard query
  AppendShort(query, static_cast<std::uint16_t>(std::size(kLxiServices)));
  for (int count = 0; count < 3; ++count) AppendShort(query, 0);
  for (const std::string_view service : kLxiServices) {
    AppendLabels(query, service);
    AppendLabels(query, kMdnsDomain);
    query.push_back('\0');
    AppendShort(query, kTypePtr);
    AppendShort(query, kClassIn);
  }
  return query;
}

std::string BuildQuestionQuery(std::uint16_t id, const std::vector<DnsQuestion> &questions) {
  std::string body;
  std::uint16_t count = 0;
  for (const DnsQuestion &question : questions) {
    if (!NameFits(question.Name) || count == 0xFFFF) continue;
    for (const std::string &label : question.Name) {
      body.push_back(static_cast<char>(label.size()));
      body.append(label);
    }
    body.push_back('\0');
    AppendShort(body, question.Type);
    AppendShort(body, kClassIn);
    ++count;
  }
  std::string query;
  AppendShort(query, id);
  AppendShort(query, 0);
  AppendShort(query, count);
  for (int n = 0; n < 3; ++n) AppendShort(query, 0);
  return query + body;
}
