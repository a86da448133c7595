#include "wire/modbus_request.h"

std::string BuildModbusRequest(unsigned transactionId, unsigned char unit, int function, int address,
                               int quantity) {
  const unsigned char frame[12] = {
      static_cast<unsigned char>(transactionId >> 8), static_cast<unsigned char>(transactionId),
      0,                                              0,  // protocol identifier
      0,                                              6,  // length of what follows
      unit,                                           static_cast<unsigned char>(function),
      static_cast<unsigned char>(address >> 8),       static_cast<unsigned char>(address),
      static_cast<unsigned char>(quantity >> 8),      static_cast<unsigned char>(quantity)};
  return std::string(reinterpret_cast<const char *>(frame), sizeof frame);
}
