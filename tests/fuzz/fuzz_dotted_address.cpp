// ParseDottedAddress over any text; what it gives, written in dotted form,
// reads back as itself.
#include "core/dotted_address.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::uint32_t address = ParseDottedAddress(InputBytes(data, size));
  FUZZ_CHECK(ParseDottedAddress(FormatDottedAddress(address)) == address);
  return 0;
}
