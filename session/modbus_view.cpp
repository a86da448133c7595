#include "core/codecs.h"
#include "core/settings.h"
#include "session/presentation.h"
#include "wire/modbus_reply.h"

namespace {

// Modbus exception responses are exactly this long: "No Data" below it.
constexpr std::size_t kExceptionReplySize = 9;

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

std::string DecodeModbusReply(std::string_view reply) {
  if (reply.size() < kExceptionReplySize) return "No Data";
  std::string_view payload;
  if (!ModbusPayload(reply, Settings.ModbusFunction, payload)) return BytesToHexList(reply);
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
