#include "core/exit.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "platform/platform.h"

namespace {

ExitHook g_exitHook = nullptr;

}  // namespace

void ExitProgram(int code) {
  if (Settings.PauseBeforeExit) {
    WriteLine(" Press [Enter] to continue...");
    std::string line;
    ReadInputLine(line);
  }
  if (g_exitHook != nullptr) g_exitHook(code);
  std::fflush(stdout);
  std::exit(code);
}

void SetExitHook(ExitHook hook) { g_exitHook = hook; }
