// The replies of Teracom modules, handled as Teracom discovery handles a run
// of them: the fields of each reply, the duplicate test of its serial/MAC
// text against those stored before, and each new one stored. Input:
// datagrams (NextDatagram).
#include <string>
#include <string_view>

#include "wire/teracom_reply.h"
#include "fuzz_device_list.h"

namespace {

constexpr std::size_t kKeyLength = 17;

// The reply without its spaces, CRs and LFs: what the three fields share out.
std::string Printed(std::string_view reply) {
  std::string kept;
  for (char c : reply)
    if (c != ' ' && c != '\r' && c != '\n') kept.push_back(c);
  return kept;
}

bool HasLineBreakOrSpace(const std::string &text) { return text.find_first_of(" \r\n") != std::string::npos; }

void CheckFields(std::string_view reply, const std::string &serial) {
  const std::string host = ParseTeracomReply(reply, TeracomField::HostName);
  const std::string address = ParseTeracomReply(reply, TeracomField::Address);
  FUZZ_CHECK(!HasLineBreakOrSpace(host) && !HasLineBreakOrSpace(serial) && !HasLineBreakOrSpace(address));
  // Nothing is lost, nothing added, the order kept.
  FUZZ_CHECK(host + serial + address == Printed(reply));
  FUZZ_CHECK(ParseTeracomReply(reply, TeracomField::DisplayLine) ==
             "Hostname: " + host + "\tSerial/MAC: " + serial + "\tAddress: " + address);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ForEachDatagram(data, size, [](DeviceListRecord &list, std::string_view reply) {
    const auto known = [&list](const std::string &entry) { return IsDuplicateTeracom(entry, list); };
    const std::string serial = ParseTeracomReply(reply, TeracomField::SerialMac);
    CheckFields(reply, serial);
    StoreUnlessKnown(list, serial, known);
    // A key of 17 characters or more is known now, in either letter case
    // and whatever follows them; a shorter one never is.
    const bool recognised = serial.size() >= kKeyLength;
    FUZZ_CHECK(known(serial) == recognised);
    FUZZ_CHECK(known(SwapLetterCase(serial)) == recognised);
    if (recognised) FUZZ_CHECK(known(serial.substr(0, kKeyLength) + "tail"));
  });
  return 0;
}
