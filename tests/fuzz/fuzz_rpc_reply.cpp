// A TCP stream of any bytes read as RPC records, and every record read as each reply the instrument search
// takes (GETPORT and the VXI-11 calls); the first word is taken as the xid. Properties: a record takes no
// more than the stream holds, and none outgrows its bounds.
#include <string>

#include "wire/portmap_wire.h"
#include "wire/rpc_record.h"
#include "wire/vxi11_wire.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view stream = InputBytes(data, size);
  const std::uint32_t xid = size < 4 ? 0 : static_cast<std::uint32_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
  std::string message, read;
  std::size_t consumed = 0;
  int port = 0;
  std::uint32_t error = 0, value = 0, reason = 0;
  // The stream as a datagram, then as records.
  if (ReadGetPortReply(stream, xid, port)) FUZZ_CHECK(port > 0 && port < 65536);
  while (ReadRecord(stream, 512, 4, message, consumed) == RecordState::Complete) {
    FUZZ_CHECK(consumed >= 4 && consumed <= stream.size() && message.size() <= 512);
    ReadCreateLinkReply(message, xid, error, value);
    ReadDeviceWriteReply(message, xid, error, value);
    if (ReadDeviceReadReply(message, xid, 64, error, reason, read)) FUZZ_CHECK(read.size() <= 64);
    ReadDestroyLinkReply(message, xid, error);
    stream.remove_prefix(consumed);
  }
  return 0;
}
