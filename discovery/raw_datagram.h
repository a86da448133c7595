// The /v and /vv lines that show a received discovery datagram as it came.
#pragma once

#include <string_view>

// With /v the bytes in brackets, control characters as spaces; with /vv
// also the hex list. Nothing without /v.
void PrintRawDatagram(std::string_view datagram);
