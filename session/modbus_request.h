// The 12-byte Modbus-TCP request that /mod sends.
#pragma once

#include <string>

// Transaction id and unit id are those of Settings at the moment of the call.
std::string BuildModbusRequest(int function, int address, int quantity);
