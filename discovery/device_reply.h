// The replies of power supplies: the text block of one reply, the
// duplicate test, and the clean-up of raw datagrams for verbose lines.
// Pure functions over bytes.
#pragma once

#include <string>
#include <string_view>

// A copy of bytes in which 0x00, 0x07, 0x08, 0x09, 0x0A, 0x0D and 0x1A
// each become a space; every other byte stays.
std::string SanitizeControlChars(std::string_view bytes);
