#include "discovery/raw_datagram.h"

#include <string>

#include "core/codecs.h"
#include "core/settings.h"
#include "wire/device_reply.h"
#include "platform/platform.h"

void PrintRawDatagram(std::string_view datagram) {
  if (!Settings.Verbose) return;
  WriteLine("[" + SanitizeControlChars(datagram) + "]");
  if (Settings.VerbosityLevel >= 2) WriteLine(BytesToHexList(datagram));
}
