// The command-file line reader over any bytes, read as the file sessions
// read it (a line, then another while the stream is not at its end),
// through a source that hands the bytes over in pieces of varying size.
// Input: the piece size asked for (byte 0), the seed of the sizes handed
// over (byte 1), whether the source fails instead of ending (byte 2, bit 0),
// then the file's bytes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "session/line_stream.h"

namespace {

constexpr int kReadError = 5;

// The file with its CR LF line ends as LF, as the lines give it back.
std::string WithLfEnds(std::string_view file) {
  std::string text;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
    text.push_back(file[i]);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 3) return 0;
  const std::string_view file = InputBytes(data + 3, size - 3);
  const bool fails = (data[2] & 1) != 0;

  LineStream stream;
  stream.PieceSize = data[0] >= 0xF0 ? 65536 : std::size_t{1} + data[0] % 17;
  stream.Source = [file, fails, seed = unsigned{data[1]}, offset = std::size_t{0}](
                      char *buffer, std::size_t wanted, int &error) mutable -> long {
    if (offset == file.size() && fails) {
      error = kReadError;
      return -1;
    }
    seed = seed * 1103515245u + 12345u;
    const std::size_t count = std::min({wanted, file.size() - offset, std::size_t{1} + (seed >> 16) % 9});
    std::memcpy(buffer, file.data() + offset, count);
    offset += count;
    return static_cast<long>(count);
  };

  std::vector<std::string> lines;
  std::string line;
  do {
    if (!ReadStreamLine(stream, line)) break;
    lines.push_back(line);
    FUZZ_CHECK(lines.size() <= file.size() + 1);
  } while (!AtStreamEnd(stream));

  std::string joined;
  for (const std::string &each : lines) {
    FUZZ_CHECK(each.find('\n') == std::string::npos);
    joined += each;
    joined += '\n';
  }
  std::string expected = WithLfEnds(file);
  if (fails) {
    // Every line that ended is delivered; a last one without its end is lost
    // with the failed read, which stops the stream for good.
    FUZZ_CHECK(stream.ErrorCode == kReadError);
    expected.erase(expected.rfind('\n') + 1);
    FUZZ_CHECK(joined == expected);
    line = "left";
    FUZZ_CHECK(!ReadStreamLine(stream, line) && line.empty() && !AtStreamEnd(stream));
  } else {
    // Each line with an LF after it gives the file back, with one LF more
    // unless the last line had its own.
    FUZZ_CHECK(stream.ErrorCode == 0 && AtStreamEnd(stream));
    if (expected.empty() || expected.back() != '\n') expected += '\n';
    FUZZ_CHECK(joined == expected);
  }
  return 0;
}
