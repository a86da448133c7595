// TranslateEscapes over any text.
#include "core/codecs.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = InputBytes(data, size);
  const std::string translated = TranslateEscapes(text);
  // Each sequence of two characters becomes one byte; without a backslash
  // nothing changes.
  FUZZ_CHECK(translated.size() <= text.size());
  if (text.find('\\') == std::string_view::npos) FUZZ_CHECK(translated == text);
  return 0;
}
