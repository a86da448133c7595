// Identification documents of any bytes, read as the instrument search reads them and shown in an instrument's
// block. Properties: a document that does not read gives no interface; at most 16 interfaces, no field over
// 255 bytes; the block is one line per field.
#include <string>
#include <vector>

#include "discovery/lxi_instrument.h"
#include "wire/lxi_identification.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  LxiInstrument instrument;
  const bool read = ReadLxiIdentification(InputBytes(data, size), instrument.Findings.Interfaces);
  const std::vector<LxiNetworkInterface> &interfaces = instrument.Findings.Interfaces;
  FUZZ_CHECK(read || interfaces.empty());
  FUZZ_CHECK(interfaces.size() <= 16);
  for (const LxiNetworkInterface &i : interfaces)
    for (const auto *field : {&i.Hostname, &i.Mac, &i.Ip, &i.Mask, &i.Gateway})
      FUZZ_CHECK(!field->has_value() || (*field)->size() <= 255);
  for (const std::string &line : FormatLxiInstrument(instrument))
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  return 0;
}
