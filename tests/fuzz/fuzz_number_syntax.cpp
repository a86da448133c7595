// The number syntax (ParseNumber) over any text; a value it accepts, written
// in decimal, reads back as itself.
#include "core/number_syntax.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::int32_t value = 0;
  if (!ParseNumber(InputBytes(data, size), value)) return 0;
  std::int32_t again = 0;
  FUZZ_CHECK(ParseNumber(std::to_string(value), again) && again == value);
  return 0;
}
