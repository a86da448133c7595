#include "wire/rpc_record.h"

#include <cstdint>

#include "wire/xdr.h"

namespace {
constexpr std::uint32_t kLastFragment = 0x80000000u;
}  // namespace

std::string FrameRecord(std::string_view message) {
  std::string record;
  AppendWord(record, kLastFragment | static_cast<std::uint32_t>(message.size() & 0x7FFFFFFFu));
  record.append(message);
  return record;
}

RecordState ReadRecord(std::string_view stream, std::size_t maxBytes, std::size_t maxFragments,
                       std::string &message, std::size_t &consumed) {
  message.clear();
  std::size_t at = 0;
  for (std::size_t fragments = 1;; ++fragments) {
    if (fragments > maxFragments) return RecordState::Malformed;
    std::uint32_t mark = 0;
    if (!ReadWord(stream, at, mark)) return RecordState::Incomplete;
    const std::size_t length = mark & ~kLastFragment;
    if (length > maxBytes - message.size()) return RecordState::Malformed;
    if (stream.size() - at < length) return RecordState::Incomplete;
    message.append(stream.substr(at, length));
    at += length;
    if ((mark & kLastFragment) != 0) {
      consumed = at;
      return RecordState::Complete;
    }
  }
}
