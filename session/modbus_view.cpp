#include <bit>
#include <cmath>
#include <cstdint>

#include "core/codecs.h"
#include "core/settings.h"
#include "session/presentation.h"

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

// One value and a space for each group of size bytes.
template <typename Format>
void AppendGroups(std::string &out, std::string_view payload, std::size_t size, Format format) {
  for (const std::string_view group : ModbusGroups(payload, size)) {
    out += format(group);
    out.push_back(' ');
  }
}

void AppendBits(std::string &out, std::string_view payload) {
  out.reserve(payload.size() * 9);
  for (const char c : payload) {
    out += ModbusBits(static_cast<unsigned char>(c));
    out.push_back(' ');
  }
}

// The payload as text, every run of 0 bytes shown as one TAB.
void AppendText(std::string &out, std::string_view payload) {
  out.reserve(payload.size());
  bool inZeros = false;
  for (char c : payload) {
    if (c == '\0') {
      if (!inZeros) out.push_back('\t');
      inZeros = true;
    } else {
      out.push_back(c);
      inZeros = false;
    }
  }
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

bool ModbusPayload(std::string_view reply, std::string_view &payload) {
  if (reply.size() <= kExceptionReplySize) return false;
  payload = reply.substr(Settings.ModbusFunction == kWriteSingleCoil ? kCoilPayloadOffset : kPayloadOffset);
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

std::string DecodeModbusReply(std::string_view reply) {
  if (reply.size() < kExceptionReplySize) return "No Data";
  std::string_view payload;
  if (!ModbusPayload(reply, payload)) return BytesToHexList(reply);
  std::string out;
  switch (Settings.ModbusView) {
    case kWordView:
      AppendGroups(out, payload, 2, [](std::string_view group) { return std::to_string(ModbusWord(group)); });
      break;
    case kLongView:
      AppendGroups(out, payload, 4, [](std::string_view group) { return std::to_string(ModbusLong(group)); });
      break;
    case kFloatView: {
      const std::string separator = DecimalSeparator();
      AppendGroups(out, payload, 4,
                   [&separator](std::string_view group) { return FormatGeneralFloat(ModbusFloat(group), separator); });
      break;
    }
    case kBitsView:
      AppendBits(out, payload);
      break;
    case kTextView:
      AppendText(out, payload);
      break;
    default:
      return BytesToHexList(reply);
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}
