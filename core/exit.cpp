#include "core/exit.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/json_output.h"
#include "core/settings.h"
#include "platform/platform.h"

namespace {

ExitHook g_exitHook = nullptr;
// Set while ExitProgram runs: a Ctrl-C then does not start a second exit.
bool g_exiting = false;

}  // namespace

void ExitProgram(int code) {
  g_exiting = true;
  const bool interrupted = Interrupted() && code == InterruptExitCode();
  if (Settings.JsonOutput) WriteJsonLine(EndJson(code));
  if (Settings.PauseBeforeExit && !interrupted) {
    WriteLine(" Press [Enter] to continue...");
    std::string line;
    ReadInputLine(line);
  }
  if (g_exitHook != nullptr) {
    g_exiting = false;
    g_exitHook(code);
  }
  std::fflush(stdout);
  if (interrupted) EndInterruptedProcess();
  std::exit(code);
}

void EndRunOnInterrupt() {
  if (!g_exiting) ExitProgram(InterruptExitCode());
}

void SetExitHook(ExitHook hook) { g_exitHook = hook; }
