#include "net/udp_mode.h"

// Not built yet: the UDP command mode comes with its own change.
void RunUdpCommandMode(std::int64_t) {}
