// The program's only way out, and the seam through which tests catch it.
#pragma once

// Ends the process with code; under /json it first writes the closing
// object ({"type":"end","exit":code,...}), with /dbg it then waits for Enter.
// A run ended by Ctrl-C (code InterruptExitCode()) skips the wait and ends
// as Ctrl-C alone would have (platform.h).
[[noreturn]] void ExitProgram(int code);

// The interrupt action (SetInterruptAction): ends the run by ExitProgram
// with InterruptExitCode(), unless it is already ending.
void EndRunOnInterrupt();

// Test seam: when set, ExitProgram calls the hook (after the /dbg pause)
// instead of ending the process. The hook must not return (tests throw).
using ExitHook = void (*)(int code);
void SetExitHook(ExitHook hook);
