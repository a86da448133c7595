#include <gtest/gtest.h>

#include "wire/modbus_request.h"

TEST(ModbusRequest, CarriesUnitAndTransactionIdBigEndian) {
  const std::string frame = BuildModbusRequest(0x1234, 5, 3, 100, 255);
  const std::string expected("\x12\x34\x00\x00\x00\x06\x05\x03\x00\x64\x00\xFF", 12);
  EXPECT_EQ(frame, expected);
}
