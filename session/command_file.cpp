#include "session/command_file.h"

// Not built yet: the command-file session comes with its own change.
void RunCommandFile(const std::string &, const std::string &, int) {}
