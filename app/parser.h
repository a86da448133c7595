// The command line: arguments into Settings, in order, then the post-parse
// step (address completion, checks, configuration commands).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reads ProgramArguments() into Settings. Ends the process through
// ExitProgram on help (1) and on every error (2); returns otherwise.
void ParseCommandLine();

// The number syntax of every numeric value: blanks, sign, decimal, hex after
// x X $ 0x 0X, binary after %, octal after &. Returns false when invalid
// (empty, stray characters, over 64 bits); else the low 32 bits, signed.
bool ParseNumber(std::string_view text, std::int32_t &value);

// Dotted IPv4 text to and from the 32-bit form (first octet most significant).
std::uint32_t ParseDottedAddress(std::string_view text);
std::string FormatDottedAddress(std::uint32_t address);

// True when some part of text between "." (blanks around it dropped) is
// neither empty nor a number: the text names a host, even if it holds parts
// that read as numbers (psu.2.lab, x10.lab).
bool IsHostName(std::string_view text);

// Dotted IPv4 text of a host name; ends the run with code 2 when unresolvable.
std::string ResolveHostAddress(const std::string &name);
