// What the fuzz targets share: the input as bytes, a sink that keeps a
// result from being optimized away, and a check that ends the run when a
// property of the code under test does not hold (libFuzzer keeps the input).
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

inline volatile std::size_t g_consumedSize = 0;
inline void Consume(const std::string &result) { g_consumedSize = result.size(); }

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)
