// The program's main sequence.
#pragma once

// Start values, transaction id, parsing, address report, one mode, exit.
[[noreturn]] void RunProgram();
