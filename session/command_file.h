// Sends the lines of a command file over one TCP connection.
#pragma once

#include <string>

void RunCommandFile(const std::string &address, const std::string &fileName, int verbosityLevel);
