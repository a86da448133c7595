#include "wire/device_reply.h"

#include <algorithm>
#include <cstdio>

#include "core/codecs.h"
#include "wire/device_list.h"

namespace {

// Four octets as "192.168.001.005".
std::string PaddedAddress(std::string_view datagram, std::size_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", static_cast<unsigned char>(datagram[offset]),
                static_cast<unsigned char>(datagram[offset + 1]), static_cast<unsigned char>(datagram[offset + 2]),
                static_cast<unsigned char>(datagram[offset + 3]));
  return text;
}

const char *DhcpState(std::string_view datagram) {
  if (datagram.size() == kShortestReply) return " - DHCP not supported!";
  if (datagram.size() > kDhcpStateOffset && datagram[kDhcpStateOffset] == 1) return " - DHCP";
  return " - Static";
}

// The first 6 bytes, the raw MAC address: compared as bytes, never as text.
std::string_view MacKey(std::string_view bytes) { return bytes.substr(0, kMacWidth); }

}  // namespace

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

std::string FormatDeviceReply(std::string_view datagram) {
  if (datagram.size() < kShortestReply) return "Message too short...";
  std::string block = "\r\n";
  block += "Serial Number: ";
  block += datagram.substr(kSerialOffset, kSerialWidth);
  block += "\r\nMAC Address:   ";
  block += BytesToDashedHex(datagram.substr(kMacOffset, kMacWidth));
  block += "\r\nIP Address:    ";
  block += PaddedAddress(datagram, kIpOffset);
  block += DhcpState(datagram);
  block += "\r\nSubnet mask:   ";
  block += PaddedAddress(datagram, kMaskOffset);
  block += "\r\nGateway:       ";
  block += PaddedAddress(datagram, kGatewayOffset);
  block += "\r\nPUD:  [";
  block += datagram.substr(kPudOffset, kPudWidth);
  block += "]";
  block.erase(std::remove(block.begin(), block.end(), '\0'), block.end());
  return block;
}

bool IsDuplicateReply(const DeviceListRecord &list, std::string_view datagram) {
  const std::string_view key = MacKey(datagram);
  const int last = std::clamp(list.Count, 0, kDeviceSlots - 1);
  for (int slot = 0; slot <= last; ++slot) {
    if (MacKey(list.Slots[static_cast<std::size_t>(slot)]) == key) return true;
  }
  return false;
}
