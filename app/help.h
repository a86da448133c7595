// The help text.
#pragma once

#include <string>
#include <vector>

// The 64 lines of the help text, without line ends.
std::vector<std::string> HelpLines();

// Prints the help text and ends the run with exit code 1.
[[noreturn]] void ShowHelp();
