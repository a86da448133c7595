// Runs a piece of the program with given arguments, catching ExitProgram
// and everything printed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/exit.h"
#include "core/settings.h"
#include "platform/platform.h"

struct ProgramExit {
  int code;
};

inline void ThrowProgramExit(int code) { throw ProgramExit{code}; }

struct CapturedRun {
  int exitCode = -1;  // -1: returned without ExitProgram
  std::string output;
};

// Fresh start values, the arguments, then body(); ExitProgram throws.
inline CapturedRun CaptureRun(const std::vector<std::string> &arguments, const std::function<void()> &body) {
  Settings = SettingsRecord{};
  SetProgramArguments(arguments);
  SetExitHook(ThrowProgramExit);
  CapturedRun run;
  ::testing::internal::CaptureStdout();
  try {
    body();
  } catch (const ProgramExit &exit) {
    run.exitCode = exit.code;
  }
  run.output = ::testing::internal::GetCapturedStdout();
  SetExitHook(nullptr);
  return run;
}

// The lines joined with the platform line end, each one ended.
inline std::string Lines(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) text += line + kLineEnd;
  return text;
}
