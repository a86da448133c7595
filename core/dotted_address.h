// Dotted IPv4 text and the 32-bit address form (first octet most significant).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::uint32_t ParseDottedAddress(std::string_view text);
std::string FormatDottedAddress(std::uint32_t address);

// True when some part of text between "." (blanks around it dropped) is
// neither empty nor a number: the text names a host, even if it holds parts
// that read as numbers (psu.2.lab, x10.lab).
bool IsHostName(std::string_view text);
