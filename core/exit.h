// The program's only way out, and the seam through which tests catch it.
#pragma once

// Ends the process with code; with /dbg it first waits for Enter.
[[noreturn]] void ExitProgram(int code);

// Test seam: when set, ExitProgram calls the hook (after the /dbg pause)
// instead of ending the process. The hook must not return (tests throw).
using ExitHook = void (*)(int code);
void SetExitHook(ExitHook hook);
