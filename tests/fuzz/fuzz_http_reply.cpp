// An HTTP reply of any bytes, read as the identification fetch reads it: as the bytes arrive and once the peer
// has closed. Properties: a body stays within its bound; once the peer has closed the reply is never waiting for
// more; a reply complete on the bytes so far reads the same with any bytes after them.
#include <string>

#include "wire/http_reply.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes = InputBytes(data, size);
  constexpr std::size_t kBound = 1024;
  HttpReply whole, closed, part;
  const HttpState state = ReadHttpReply(bytes, false, kBound, whole);
  FUZZ_CHECK(ReadHttpReply(bytes, true, kBound, closed) != HttpState::Incomplete);
  if (state == HttpState::Complete) FUZZ_CHECK(whole.Body.size() <= kBound);
  if (closed.Body.size() > kBound) FUZZ_CHECK(false);
  // The first part of the bytes, cut where the first byte says.
  const std::size_t cut = size == 0 ? 0 : data[0] * size / 256;
  if (ReadHttpReply(bytes.substr(0, cut), false, kBound, part) == HttpState::Complete)
    FUZZ_CHECK(state == HttpState::Complete && part.Status == whole.Status && part.Body == whole.Body);
  return 0;
}
