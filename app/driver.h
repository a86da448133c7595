// The program's main sequence and its only way out.
#pragma once

// Start values, transaction id, parsing, address report, one mode, exit.
[[noreturn]] void RunProgram();

// Ends the process with code; with /dbg it first waits for Enter.
[[noreturn]] void ExitProgram(int code);

// Test seam: when set, ExitProgram calls the hook (after the /dbg pause)
// instead of ending the process. The hook must not return (tests throw).
using ExitHook = void (*)(int code);
void SetExitHook(ExitHook hook);
