// What the fuzz targets share: the input as bytes, the input cut into
// datagrams, letters in the other case, a sink that keeps a result from being optimized away, and a
// check that ends the run when a property of the code under test does not
// hold (libFuzzer keeps the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

inline std::string_view InputBytes(const std::uint8_t *data, std::size_t size) {
  return {reinterpret_cast<const char *>(data), size};
}

// The next datagram of an input that holds several: a length (one byte, or
// with its high bit set 15 bits over two bytes, so up to 32767), then that
// many bytes (fewer at the end of the input). False when the input is used up.
inline bool NextDatagram(std::string_view &input, std::string_view &datagram) {
  if (input.empty()) return false;
  std::size_t length = static_cast<unsigned char>(input[0]);
  input.remove_prefix(1);
  if ((length & 0x80) != 0) {
    if (input.empty()) return false;
    length = ((length & 0x7F) << 8) | static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
  }
  datagram = input.substr(0, length);
  input.remove_prefix(datagram.size());
  return true;
}

// text with a-z and A-Z swapped in its first count bytes.
inline std::string SwapLetterCase(std::string_view text, std::size_t count = std::string_view::npos) {
  std::string swapped(text);
  for (std::size_t i = 0; i < swapped.size() && i < count; ++i) {
    char &c = swapped[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return swapped;
}

inline volatile std::size_t g_consumedSize = 0;
inline void Consume(const std::string &result) { g_consumedSize = result.size(); }

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)
