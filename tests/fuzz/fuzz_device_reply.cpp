// The replies of power supplies, handled as discovery handles a run of them:
// each datagram's block and raw line, the duplicate test against those
// stored before, and each new one stored. Input: datagrams (NextDatagram).
#include <string>
#include <string_view>

#include "wire/device_reply.h"
#include "fuzz_device_list.h"

namespace {

constexpr std::size_t kShortestReply = 106;
// The longest block: its fixed texts, 12 serial and 72 PUD bytes, the MAC,
// three addresses and the longest DHCP state.
constexpr std::size_t kLongestBlock = 283;

// The block goes on with text at rest; rest then starts after it. The block
// is read from its start, field by field: serial number and PUD may hold any
// bytes, the labels of other lines included.
void Expect(std::string_view &rest, std::string_view text) {
  FUZZ_CHECK(rest.substr(0, text.size()) == text);
  rest.remove_prefix(text.size());
}

// A field as the block shows it: its zero bytes removed.
std::string WithoutZeros(std::string_view field) {
  std::string shown;
  for (char c : field) {
    if (c != '\0') shown += c;
  }
  return shown;
}

unsigned Byte(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

unsigned Digits(std::string_view text, int base) {
  unsigned value = 0;
  for (char c : text) {
    const bool decimal = c >= '0' && c <= '9', upper = c >= 'A' && c <= 'F';
    FUZZ_CHECK(decimal || (base == 16 && upper));
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(decimal ? c - '0' : c - 'A' + 10);
  }
  return value;
}

// "F4-E1-42-00-03-AB" reads back as the bytes at offset 0.
void CheckMac(std::string_view text, std::string_view datagram) {
  FUZZ_CHECK(text.size() >= 17);
  for (std::size_t i = 0; i < 6; ++i) {
    FUZZ_CHECK(Digits(text.substr(3 * i, 2), 16) == Byte(datagram, i));
    if (i < 5) FUZZ_CHECK(text[3 * i + 2] == '-');
  }
}

// "192.168.001.005" reads back as the four bytes at offset.
void CheckAddress(std::string_view text, std::string_view datagram, std::size_t offset) {
  FUZZ_CHECK(text.size() >= 15);
  for (std::size_t i = 0; i < 4; ++i) {
    FUZZ_CHECK(Digits(text.substr(4 * i, 3), 10) == Byte(datagram, offset + i));
    if (i < 3) FUZZ_CHECK(text[4 * i + 3] == '.');
  }
}

void CheckBlock(std::string_view datagram) {
  const std::string block = FormatDeviceReply(datagram);
  if (datagram.size() < kShortestReply) {
    FUZZ_CHECK(block == "Message too short...");
    return;
  }
  FUZZ_CHECK(block.size() <= kLongestBlock);
  FUZZ_CHECK(block.find('\0') == std::string::npos);
  std::string_view rest = block;
  Expect(rest, "\r\nSerial Number: ");
  Expect(rest, WithoutZeros(datagram.substr(18, 12)));
  Expect(rest, "\r\nMAC Address:   ");
  CheckMac(rest, datagram);
  rest.remove_prefix(17);
  Expect(rest, "\r\nIP Address:    ");
  CheckAddress(rest, datagram, 6);
  rest.remove_prefix(15);
  const std::string_view state = rest.substr(0, rest.find("\r\nSubnet mask:   "));
  FUZZ_CHECK(state == " - DHCP" || state == " - Static" || state == " - DHCP not supported!");
  FUZZ_CHECK((state == " - DHCP not supported!") == (datagram.size() == kShortestReply));
  rest.remove_prefix(state.size());
  Expect(rest, "\r\nSubnet mask:   ");
  CheckAddress(rest, datagram, 10);
  rest.remove_prefix(15);
  Expect(rest, "\r\nGateway:       ");
  CheckAddress(rest, datagram, 14);
  rest.remove_prefix(15);
  Expect(rest, "\r\nPUD:  [");
  Expect(rest, WithoutZeros(datagram.substr(31, 72)));
  FUZZ_CHECK(rest == "]");
}

void CheckRawLine(std::string_view datagram) {
  const std::string clean = SanitizeControlChars(datagram);
  FUZZ_CHECK(clean.size() == datagram.size());
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const unsigned b = Byte(datagram, i);
    const bool blanked = b == 0x00 || b == 0x07 || b == 0x08 || b == 0x09 || b == 0x0A || b == 0x0D || b == 0x1A;
    FUZZ_CHECK(clean[i] == (blanked ? ' ' : datagram[i]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ForEachDatagram(data, size, [](DeviceListRecord &list, std::string_view datagram) {
    const auto known = [&list](const std::string &entry) { return IsDuplicateReply(list, entry); };
    StoreUnlessKnown(list, std::string(datagram), known);
    // Stored or not, a supply is known now, whatever follows its first 6
    // bytes.
    FUZZ_CHECK(known(std::string(datagram)));
    if (datagram.size() >= 6) FUZZ_CHECK(known(std::string(datagram.substr(0, 6)) + "tail"));
    // Beside it alone, a reply that differs in any of its first 6 bytes (by
    // a letter's case, 0x20, say) is another supply.
    static DeviceListRecord alone;
    ClearDeviceList(alone);
    StoreDevice(alone, std::string(datagram));
    for (std::size_t i = 0; i < 6 && i < datagram.size(); ++i) {
      std::string other(datagram);
      other[i] = static_cast<char>(other[i] ^ (i % 2 == 0 ? 0x20 : 0x81));
      FUZZ_CHECK(!IsDuplicateReply(alone, other));
    }
    CheckBlock(datagram);
    CheckRawLine(datagram);
  });
  return 0;
}
