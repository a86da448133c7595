// TransformReply under every combination of /xc and /xsk. Input: switch
// byte (bit 0 /xc, bit 1 /xsk), then the reply.
#include "core/settings.h"
#include "fuzz_support.h"
#include "session/presentation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  Settings = SettingsRecord{};
  Settings.CommaToEol = (data[0] & 1) != 0;
  Settings.DecimalComma = (data[0] & 2) != 0;
  const std::string_view reply = InputBytes(data + 1, size - 1);
  const std::string text = TransformReply(reply);
  // At most one line end goes; only /xc makes a reply longer.
  if (!Settings.CommaToEol) FUZZ_CHECK(text.size() <= reply.size() && text.size() + 2 >= reply.size());
  if (Settings.DecimalComma) FUZZ_CHECK(text.find('.') == std::string::npos);
  if (Settings.CommaToEol && !Settings.DecimalComma) FUZZ_CHECK(text.find(',') == std::string::npos);
  return 0;
}
