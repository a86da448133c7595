// Big-endian 32-bit words and XDR opaque data: the encoding of every RPC
// message the instrument search sends and reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

void AppendWord(std::string &out, std::uint32_t value);
// A length word, the bytes, then zero bytes up to a multiple of 4.
void AppendOpaque(std::string &out, std::string_view data);

// Reads at offset at and moves it past what was read. False (at and value
// unspecified) when the data ends first; ReadOpaque also when the length
// exceeds maxLength.
bool ReadWord(std::string_view data, std::size_t &at, std::uint32_t &value);
bool ReadOpaque(std::string_view data, std::size_t &at, std::size_t maxLength, std::string &value);
