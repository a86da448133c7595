// Conversions between text and bytes. Pure functions: no settings, no I/O.
#pragma once

#include <string>
#include <string_view>

// Replaces \z \b \t \n \r \e \s (in that order, case-sensitive) by the
// bytes 0, 8, 9, 10, 13, 27 and space; other backslash sequences stay.
std::string TranslateEscapes(std::string_view text);

// Pairs of hex digits to bytes; stops at the first pair that is not two hex
// digits; an odd last digit is ignored.
std::string HexToBytes(std::string_view hex);
// HexToBytes of hex as typed, every space left out first ("01 03 0A").
std::string SpacedHexToBytes(std::string_view hex);

// "[01 FF 00]"; "[]" for no bytes.
std::string BytesToHexList(std::string_view bytes);
// "01 FF 00" (the list without brackets); "" for no bytes.
std::string BytesToSpacedHex(std::string_view bytes);

// "F4-E1-42-00-03-AB"; "" for no bytes.
std::string BytesToDashedHex(std::string_view bytes);

// Value of c as a hex digit (either case), or -1.
int HexDigitValue(char c);

// a-z mapped to A-Z; every other byte as it is.
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiUpper(std::string_view text);
