#include "session/line_stream.h"

#include <cstring>

namespace {

// Reads the next piece when the last one is used up. False at the end or
// on a failed read.
bool Refill(LineStream &stream) {
  if (stream.Next < stream.Piece.size()) return true;
  if (stream.Ended || stream.ErrorCode != 0) return false;
  stream.Piece.resize(stream.PieceSize == 0 ? 1 : stream.PieceSize);
  stream.Next = 0;
  int error = 0;
  const long count = stream.Source(stream.Piece.data(), stream.Piece.size(), error);
  if (count < 0) {
    stream.ErrorCode = error != 0 ? error : -1;
    stream.Piece.clear();
    return false;
  }
  stream.Piece.resize(count > static_cast<long>(stream.Piece.size()) ? stream.Piece.size()
                                                                      : static_cast<std::size_t>(count));
  if (stream.Piece.empty()) stream.Ended = true;
  return !stream.Ended;
}

}  // namespace

bool AtStreamEnd(LineStream &stream) { return !Refill(stream) && stream.ErrorCode == 0; }

bool ReadStreamLine(LineStream &stream, std::string &line) {
  line.clear();
  while (Refill(stream)) {
    const char *start = stream.Piece.data() + stream.Next;
    const std::size_t left = stream.Piece.size() - stream.Next;
    const void *end = std::memchr(start, '\n', left);
    if (end == nullptr) {
      line.append(start, left);
      stream.Next = stream.Piece.size();
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(static_cast<const char *>(end) - start);
    line.append(start, length);
    stream.Next += length + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  if (stream.ErrorCode != 0) {
    line.clear();
    return false;
  }
  return true;
}
