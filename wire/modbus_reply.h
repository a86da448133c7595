// The parts of a Modbus-TCP reply that its views decode: the payload after
// the header, its groups of bytes, and the values they hold. Pure functions
// over bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The part of a Modbus reply that the views decode: what follows the
// header, function code and byte count (or, for a request of function 5,
// write single coil, the echo's output address). False for a reply no longer
// than the 9-byte exception response, which has none.
bool ModbusPayload(std::string_view reply, int function, std::string_view &payload);
// The payload's groups of size bytes, the last one possibly shorter: at
// least one, and more while 2 bytes remain.
std::vector<std::string_view> ModbusGroups(std::string_view payload, std::size_t size);
// A byte as its eight bits, the highest first: "00001010".
std::string ModbusBits(unsigned char byte);

// Modbus value decoders over up to 2 or 4 big-endian bytes.
int ModbusWord(std::string_view bytes);
int ModbusLong(std::string_view bytes);
double ModbusFloat(std::string_view bytes);
