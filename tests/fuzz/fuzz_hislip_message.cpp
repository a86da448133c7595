// A HiSLIP stream of any bytes read message by message, as the session's
// reader does, with every error text. Properties: a message takes no more
// than the stream holds and at least its header, its payload stays within
// the bound, and the texts stay short.
#include <string>

#include "wire/hislip_wire.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view stream = InputBytes(data, size);
  HislipMessage message;
  std::size_t consumed = 0;
  while (ReadHislipMessage(stream, 4096, message, consumed) == HislipState::Complete) {
    FUZZ_CHECK(consumed >= kHislipHeaderBytes && consumed <= stream.size());
    FUZZ_CHECK(message.Payload.size() == consumed - kHislipHeaderBytes && message.Payload.size() <= 4096);
    FUZZ_CHECK(HislipFatalErrorText(message.Control, message.Payload).size() <= 256);
    FUZZ_CHECK(HislipErrorText(message.Control, message.Payload).size() <= 256);
    stream.remove_prefix(consumed);
  }
  return 0;
}
