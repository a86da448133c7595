// Commands and command files to one instrument over UDP.
#pragma once

#include <cstdint>

void RunUdpCommandMode(std::int64_t windowMs);
