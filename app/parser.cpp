#include "app/parser.h"

// Placeholder until the parser lands.
void ParseCommandLine() {}
bool ParseNumber(std::string_view, std::int32_t &) { return false; }
std::uint32_t ParseDottedAddress(std::string_view) { return 0; }
std::string FormatDottedAddress(std::uint32_t) { return {}; }
std::string ResolveHostAddress(const std::string &) { return {}; }
