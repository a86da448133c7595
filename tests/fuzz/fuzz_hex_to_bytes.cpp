// HexToBytes over any text, and its bytes written as hex again.
#include "core/codecs.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view hex = InputBytes(data, size);
  const std::string bytes = HexToBytes(hex);
  FUZZ_CHECK(bytes.size() <= hex.size() / 2);
  std::string again = BytesToDashedHex(bytes);
  std::erase(again, '-');
  FUZZ_CHECK(HexToBytes(again) == bytes);
  Consume(BytesToHexList(bytes));
  return 0;
}
