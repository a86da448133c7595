// DecodeModbusReply in every view (and one that does not exist) for any
// function code, the three value decoders, and the general float form they
// print. Input: view byte, function byte, then the reply.
#include <cmath>
#include <cstring>

#include "core/settings.h"
#include "fuzz_support.h"
#include "session/presentation.h"
#include "wire/modbus_reply.h"

namespace {

// The float form reads back as the value to 15 significant digits.
void CheckFloatText(double value) {
  const std::string text = FormatGeneralFloat(value, ".");
  if (std::isnan(value)) {
    FUZZ_CHECK(text == "NAN");
  } else if (std::isinf(value)) {
    FUZZ_CHECK(text == (value < 0 ? "-INF" : "INF"));
  } else {
    // Read back wider than double: rounded to 15 digits, the largest
    // values lie beyond the range of double.
    const long double back = std::strtold(text.c_str(), nullptr);
    FUZZ_CHECK(std::fabs(back - value) <= std::fabs(static_cast<long double>(value)) * 1e-14L);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  Settings = SettingsRecord{};
  Settings.ModbusView = data[0] % 7;
  Settings.ModbusFunction = data[1];
  const std::string_view reply = InputBytes(data + 2, size - 2);
  Consume(DecodeModbusReply(reply));

  const int word = ModbusWord(reply);
  FUZZ_CHECK(word >= -32768 && word <= 65535);
  Consume(std::to_string(ModbusLong(reply)));
  CheckFloatText(ModbusFloat(reply));
  if (reply.size() >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, reply.data(), sizeof value);
    CheckFloatText(value);
  }
  return 0;
}
