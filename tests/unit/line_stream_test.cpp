#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "session/line_stream.h"

namespace {

// A source over bytes in memory that hands out at most `most` bytes a call
// and, with failAt set, fails once that many bytes have been read.
LineStream MemoryStream(const std::string &bytes, std::size_t pieceSize, std::size_t most,
                        std::size_t failAt = std::string::npos) {
  LineStream stream;
  stream.PieceSize = pieceSize;
  stream.Source = [bytes, most, failAt, offset = std::size_t{0}](char *buffer, std::size_t size,
                                                                   int &error) mutable -> long {
    if (offset >= failAt) {
      error = 5;
      return -1;
    }
    std::size_t count = std::min({size, most, bytes.size() - offset});
    if (failAt != std::string::npos) count = std::min(count, failAt - offset);
    std::memcpy(buffer, bytes.data() + offset, count);
    offset += count;
    return static_cast<long>(count);
  };
  return stream;
}

// The lines as the file session reads them: one line, then one more while
// the stream is not at its end.
std::vector<std::string> AllLines(LineStream &stream) {
  std::vector<std::string> lines;
  std::string line;
  do {
    if (!ReadStreamLine(stream, line)) break;
    lines.push_back(line);
  } while (!AtStreamEnd(stream));
  return lines;
}

TEST(LineStream, LineEndsAndBytes) {
  const std::string big(70000, 'x');
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {""}},
      {"\n", {""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\n\n", {"a", ""}},
      {"\n\nb\n", {"", "", "b"}},
      {"a\rb\n", {"a\rb"}},
      {"a\r", {"a\r"}},
      {"a\r\r\n", {"a\r"}},
      {"\r\n\r\n", {"", ""}},
      {std::string("a\0b\n\xff\x80\n", 7), {std::string("a\0b", 3), "\xff\x80"}},
      {big + "\r\n" + big, {big, big}},
  };
  for (const auto &c : cases) {
    for (std::size_t most : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{1} << 20}) {
      for (std::size_t piece : {std::size_t{1}, std::size_t{4}, std::size_t{65536}}) {
        LineStream stream = MemoryStream(c.bytes, piece, most);
        EXPECT_EQ(AllLines(stream), c.lines) << "bytes " << c.bytes.size() << " most " << most << " piece " << piece;
        EXPECT_EQ(stream.ErrorCode, 0);
      }
    }
  }
}

TEST(LineStream, ReadErrorMidway) {
  const struct {
    std::size_t failAt;
    std::vector<std::string> lines;  // delivered before the failure
  } cases[] = {
      {0, {}},
      {1, {}},         // inside the first line: its part is dropped
      {2, {"a"}},      // after "a\n": the look-ahead fails
      {3, {"a"}},
      {5, {"a", "bc"}},
  };
  for (const auto &c : cases) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{65536}}) {
      LineStream stream = MemoryStream("a\nbc\nd", piece, 1 << 20, c.failAt);
      EXPECT_EQ(AllLines(stream), c.lines) << "fail at " << c.failAt << " piece " << piece;
      EXPECT_EQ(stream.ErrorCode, 5);
      std::string line = "left";
      EXPECT_FALSE(ReadStreamLine(stream, line));
      EXPECT_EQ(line, "");
      EXPECT_FALSE(AtStreamEnd(stream));
    }
  }
}

}  // namespace
