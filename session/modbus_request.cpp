#include "session/modbus_request.h"

#include "core/settings.h"

std::string BuildModbusRequest(int function, int address, int quantity) {
  const unsigned id = Settings.ModbusTransactionId;
  const unsigned char frame[12] = {
      static_cast<unsigned char>(id >> 8),      static_cast<unsigned char>(id),
      0,                                        0,  // protocol identifier
      0,                                        6,  // length of what follows
      Settings.ModbusUnit,                      static_cast<unsigned char>(function),
      static_cast<unsigned char>(address >> 8), static_cast<unsigned char>(address),
      static_cast<unsigned char>(quantity >> 8), static_cast<unsigned char>(quantity)};
  return std::string(reinterpret_cast<const char *>(frame), sizeof frame);
}
