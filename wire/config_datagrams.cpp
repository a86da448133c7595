#include "wire/config_datagrams.h"

namespace {

constexpr char kSetAddress = 0x01;
constexpr char kResetController = 0x02;
constexpr char kDhcpMode = 0x04;
// Fixed part of the DHCP-mode datagram.
constexpr char kDhcpCode[] = "8052719";
constexpr std::size_t kMacBytes = 6;

// Command byte and target MAC: the MAC always takes 6 bytes.
std::string Head(char command, std::string_view mac) {
  std::string datagram(1, command);
  datagram += mac.substr(0, kMacBytes);
  datagram.resize(1 + kMacBytes, '\0');
  return datagram;
}

void AppendAddress(std::string &datagram, std::uint32_t address) {
  for (int shift = 24; shift >= 0; shift -= 8) datagram.push_back(static_cast<char>((address >> shift) & 0xFF));
}

}  // namespace

std::string DhcpModeDatagram(std::string_view mac, bool dhcpOn) {
  std::string datagram = Head(kDhcpMode, mac);
  datagram.push_back(dhcpOn ? 0x01 : 0x00);
  datagram += kDhcpCode;
  return datagram;
}

std::string AddressDatagram(std::string_view mac, std::uint32_t ip, std::uint32_t mask, std::uint32_t gateway) {
  std::string datagram = Head(kSetAddress, mac);
  AppendAddress(datagram, ip);
  AppendAddress(datagram, mask);
  AppendAddress(datagram, gateway);
  return datagram;
}

std::string ResetDatagram(std::string_view mac) { return Head(kResetController, mac); }
