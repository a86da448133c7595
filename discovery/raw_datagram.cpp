#include "discovery/raw_datagram.h"

#include <string>

#include "core/codecs.h"
#include "core/line_log.h"
#include "core/settings.h"
#include "wire/device_reply.h"
#include "platform/platform.h"

void PrintRawDatagram(std::string_view datagram) {
  LineLog now;
  LogRawDatagram(datagram, now);
}

void LogRawDatagram(std::string_view datagram, LineLog &log) {
  if (!Settings.Verbose) return;
  LogLine(log, "[" + SanitizeControlChars(datagram) + "]");
  if (Settings.VerbosityLevel >= 2) LogLine(log, BytesToHexList(datagram));
}
