// The 12-byte Modbus-TCP request that /mod sends.
#pragma once

#include <string>

// The MBAP header with the transaction and unit ids, then the function code,
// the 16-bit address and the 16-bit quantity (or value), big-endian.
std::string BuildModbusRequest(unsigned transactionId, unsigned char unit, int function, int address,
                               int quantity);
