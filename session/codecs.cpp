#include "session/codecs.h"

// Placeholder until the codecs land.
std::string TranslateEscapes(std::string_view text) { return std::string(text); }
std::string HexToBytes(std::string_view) { return {}; }
std::string BytesToHexList(std::string_view) { return "[]"; }
std::string BytesToDashedHex(std::string_view) { return {}; }
