// The /v and /vv lines that show a received discovery datagram as it came.
#pragma once

#include <string_view>

struct LineLog;

// With /v the bytes in brackets, control characters as spaces; with /vv
// also the hex list. Nothing without /v.
void PrintRawDatagram(std::string_view datagram);
// The same, the lines going to log.
void LogRawDatagram(std::string_view datagram, LineLog &log);
