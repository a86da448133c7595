// ParseCommandLine over argument vectors: the input split at its NUL bytes
// into arguments. Help and errors end the run through ExitProgram, which the
// exit seam turns into an exception here; the pauses after each switch are
// skipped through the sleep seam.
#include <string>
#include <utility>
#include <vector>

#include "app/parser.h"
#include "core/exit.h"
#include "core/settings.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace {

struct ProgramExit {
  int code;
};

void ThrowProgramExit(int code) { throw ProgramExit{code}; }
void SkipPause(std::int64_t) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // /dbg waits for Enter: here the input is always at its end.
  if (std::freopen("/dev/null", "r", stdin) == nullptr) std::abort();
  SetExitHook(ThrowProgramExit);
  SetSleepHook(SkipPause);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view input = InputBytes(data, size);
  std::vector<std::string> arguments;
  for (std::size_t start = 0; start < input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    arguments.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  Settings = SettingsRecord{};
  SetProgramArguments(std::move(arguments));
  try {
    ParseCommandLine();
  } catch (const ProgramExit &exit) {
    FUZZ_CHECK(exit.code == 1 || exit.code == 2);
    return 0;
  }
  // What the post-parse step promises every mode.
  FUZZ_CHECK(!Settings.CommandMode || Settings.IpAddress != 0);
  FUZZ_CHECK(!Settings.FileMode || Settings.IpAddress != 0);
  FUZZ_CHECK(!Settings.RepeatCommand || Settings.CommandMode);
  FUZZ_CHECK(Settings.MacAddress.size() <= 8);
  return 0;
}
