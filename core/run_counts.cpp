#include "core/run_counts.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::size_t kKinds = static_cast<std::size_t>(RunCount::Kinds);
std::array<int, kKinds> g_counts{};
std::array<bool, kKinds> g_shown{};

// The "type" of each count's objects, in the order of RunCount.
constexpr std::array<std::string_view, kKinds> kTypes = {"supply", "teracom", "lxi", "reply", "datagram", "error"};
constexpr std::array<const char *, kKinds> kKeys = {"supplies", "modules", "instruments", "replies", "datagrams",
                                                   "errors"};

std::size_t Index(RunCount what) { return static_cast<std::size_t>(what); }

}  // namespace

const char *RunCountKey(RunCount what) { return kKeys[Index(what)]; }

void ShowRunCount(RunCount what) { g_shown[Index(what)] = true; }

void AddRunCount(RunCount what, int by) { g_counts[Index(what)] += by; }

void CountJsonObjectOf(std::string_view type, bool carriesError) {
  for (std::size_t i = 0; i < kKinds; ++i) {
    if (kTypes[i] == type) g_counts[i] += 1;
  }
  if (carriesError) AddRunCount(RunCount::Errors);
}

void CountJsonObject(std::string_view line) {
  // Every object starts with its type, and a quote inside a JSON string is
  // always escaped, so ,"error":{ can only be a key.
  constexpr std::string_view head = R"({"type":")";
  if (line.substr(0, head.size()) != head) return;
  const std::string_view rest = line.substr(head.size());
  CountJsonObjectOf(rest.substr(0, rest.find('"')), line.find(R"(,"error":{)") != std::string_view::npos);
}

int RunCountValue(RunCount what) { return g_counts[Index(what)]; }

bool RunCountShown(RunCount what) { return what == RunCount::Errors || g_shown[Index(what)] || g_counts[Index(what)] > 0; }

void ResetRunCounts() {
  g_counts.fill(0);
  g_shown.fill(false);
}
