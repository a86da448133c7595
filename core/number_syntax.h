// The number syntax of every numeric value of the command line.
#pragma once

#include <cstdint>
#include <string_view>

// Blanks, sign, decimal, hex after x X $ 0x 0X, binary after %, octal after
// &. Returns false when invalid (empty, stray characters, over 64 bits);
// else the low 32 bits, signed.
bool ParseNumber(std::string_view text, std::int32_t &value);
