#include "discovery/device_reply.h"

std::string SanitizeControlChars(std::string_view bytes) {
  std::string clean(bytes);
  for (char &c : clean) {
    switch (static_cast<unsigned char>(c)) {
      case 0x00:
      case 0x07:
      case 0x08:
      case 0x09:
      case 0x0A:
      case 0x0D:
      case 0x1A:
        c = ' ';
        break;
      default:
        break;
    }
  }
  return clean;
}
