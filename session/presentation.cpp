#include "session/presentation.h"

// Placeholder until reply presentation lands.
std::string TransformReply(std::string_view reply) { return std::string(reply); }
std::string TimestampSuffix() { return {}; }
std::string DecodeModbusReply(std::string_view) { return {}; }
int ModbusWord(std::string_view) { return 0; }
int ModbusLong(std::string_view) { return 0; }
double ModbusFloat(std::string_view) { return 0; }
std::string FormatGeneralFloat(double) { return {}; }
