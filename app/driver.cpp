#include "app/driver.h"

#include <cstdlib>

// Placeholder until the driver lands.
void RunProgram() { ExitProgram(0); }
void ExitProgram(int code) { std::exit(code); }
void SetExitHook(ExitHook) {}
