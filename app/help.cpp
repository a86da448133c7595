#include "app/help.h"

#include "app/driver.h"

// Placeholder until the help text lands.
std::vector<std::string> HelpLines() { return {}; }
void ShowHelp() { ExitProgram(1); }
