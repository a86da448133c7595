#include "wire/modbus_reply.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

// Modbus exception responses are exactly this long.
constexpr std::size_t kExceptionReplySize = 9;
// Registers follow the 7-byte header, the function code and the byte count;
// a write-single-coil echo carries the 2-byte output address instead.
constexpr std::size_t kPayloadOffset = 9;
constexpr std::size_t kCoilPayloadOffset = 10;
constexpr int kWriteSingleCoil = 5;
// Marks a float that could not be read.
constexpr double kNoFloat = -1e-20;

unsigned Byte(std::string_view bytes, std::size_t index) { return static_cast<unsigned char>(bytes[index]); }

std::uint32_t BigEndian32(std::string_view bytes) {
  return (std::uint32_t{Byte(bytes, 0)} << 24) | (std::uint32_t{Byte(bytes, 1)} << 16) |
         (std::uint32_t{Byte(bytes, 2)} << 8) | std::uint32_t{Byte(bytes, 3)};
}

}  // namespace

int ModbusWord(std::string_view bytes) {
  if (bytes.size() >= 2) return static_cast<int>(Byte(bytes, 0) * 256 + Byte(bytes, 1));
  if (bytes.size() == 1) return static_cast<int>(Byte(bytes, 0));
  return -32768;
}

int ModbusLong(std::string_view bytes) {
  if (bytes.size() < 4) return -1;
  return static_cast<std::int32_t>(BigEndian32(bytes));
}

double ModbusFloat(std::string_view bytes) {
  if (bytes.size() < 4) return kNoFloat;
  const double value = static_cast<double>(std::bit_cast<float>(BigEndian32(bytes)));
  if (!std::isfinite(value)) return kNoFloat;
  // Keeps at most 4 decimals: scaled, rounded half to even into a 64-bit
  // integer, and scaled back.
  const double scaled = std::nearbyint(value * 10000.0);
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) return kNoFloat;
  return static_cast<double>(static_cast<std::int64_t>(scaled)) * 0.0001;
}

bool ModbusPayload(std::string_view reply, int function, std::string_view &payload) {
  if (reply.size() <= kExceptionReplySize) return false;
  payload = reply.substr(function == kWriteSingleCoil ? kCoilPayloadOffset : kPayloadOffset);
  return true;
}

std::vector<std::string_view> ModbusGroups(std::string_view payload, std::size_t size) {
  std::vector<std::string_view> groups;
  do {
    groups.push_back(payload.substr(0, size));
    payload.remove_prefix(groups.back().size());
  } while (payload.size() >= 2);
  return groups;
}

std::string ModbusBits(unsigned char byte) {
  std::string bits;
  for (int bit = 7; bit >= 0; --bit) bits.push_back((byte >> bit) & 1u ? '1' : '0');
  return bits;
}
