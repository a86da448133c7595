#include "session/reply_json.h"

#include <charconv>

#include "core/codecs.h"
#include "core/json_text.h"
#include "core/settings.h"
#include "session/presentation.h"
#include "session/tcp_session.h"

namespace {

// Modbus replies: the exception response is exactly this long; registers
// follow the header, function code and byte count, a write-single-coil
// echo's value follows its output address.
constexpr std::size_t kExceptionReplySize = 9;
constexpr std::size_t kPayloadOffset = 9, kCoilPayloadOffset = 10;
constexpr int kWriteSingleCoil = 5;
enum { kWordView = 1, kLongView = 2, kFloatView = 3, kBitsView = 4, kTextView = 5 };

// Groups of size bytes, the last one possibly shorter: at least one, and
// more while 2 bytes remain, as the text view counts them.
template <typename Value>
JsonObject Groups(std::string_view payload, std::size_t size, Value value) {
  JsonObject values = JsonObject::array();
  do {
    const std::string_view group = payload.substr(0, size);
    values.push_back(value(group));
    payload.remove_prefix(group.size());
  } while (payload.size() >= 2);
  return values;
}

// A float as the text view rounds it (15 significant digits), as a number.
double ShownFloat(std::string_view group) {
  const std::string text = FormatGeneralFloat(ModbusFloat(group), ".");
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string Bits(unsigned char byte) {
  std::string bits;
  for (int bit = 7; bit >= 0; --bit) bits.push_back((byte >> bit) & 1u ? '1' : '0');
  return bits;
}

// "values" (or "text" for /mbs) of a binary reply, when its view shows any.
void AddModbusView(JsonObject &object, std::string_view reply) {
  if (reply.size() <= kExceptionReplySize) return;
  const std::string_view payload =
      reply.substr(Settings.ModbusFunction == kWriteSingleCoil ? kCoilPayloadOffset : kPayloadOffset);
  switch (Settings.ModbusView) {
    case kWordView:
      object["values"] = Groups(payload, 2, [](std::string_view group) { return ModbusWord(group); });
      break;
    case kLongView:
      object["values"] = Groups(payload, 4, [](std::string_view group) { return ModbusLong(group); });
      break;
    case kFloatView:
      object["values"] = Groups(payload, 4, ShownFloat);
      break;
    case kBitsView: {
      JsonObject values = JsonObject::array();
      for (const char c : payload) values.push_back(Bits(static_cast<unsigned char>(c)));
      object["values"] = std::move(values);
      break;
    }
    case kTextView:
      object["text"] = JsonBytes(DecodeModbusReply(reply));
      break;
    default:
      break;
  }
}

}  // namespace

std::string ReplyJson(const JsonReply &reply) {
  JsonObject object = NewJsonObject("reply");
  object["command"] = JsonBytes(reply.Command);
  if (reply.Binary) object["commandHex"] = BytesToSpacedHex(reply.Command);
  if (!reply.Line.empty()) object["line"] = JsonBytes(reply.Line);
  if (reply.ErrorCode != 0) {
    object["reply"] = nullptr;
    object["error"] = ErrorFields(reply.ErrorCode, reply.ErrorText);
  } else {
    object["reply"] = JsonBytes(reply.Reply);
    if (reply.Binary) {
      object["hex"] = BytesToSpacedHex(reply.Reply);
      AddModbusView(object, reply.Reply);
    }
  }
  if (!reply.Time.empty()) object["time"] = std::string(reply.Time);
  return JsonLine(object);
}

std::string TcpReplyJson(const TcpExchangeResult &result, std::string_view command, bool binary) {
  const std::string time = JsonTimestamp();
  JsonReply reply;
  reply.Command = command;
  reply.Binary = binary && !result.Failed && result.ErrorCode == 0;
  reply.Reply = reply.Binary ? result.Raw : result.Reply;
  reply.ErrorCode = result.ErrorCode;
  reply.ErrorText = result.ErrorText;
  reply.Time = time;
  return ReplyJson(reply);
}

std::string DatagramJson(std::string_view from, std::string_view data, std::string_view time) {
  JsonObject object = NewJsonObject("datagram");
  object["from"] = JsonBytes(from);
  object["data"] = JsonBytes(data);
  if (!time.empty()) object["time"] = std::string(time);
  return JsonLine(object);
}

std::string JsonTimestamp() {
  if (Settings.TimestampFormat < 1 || Settings.TimestampFormat > 6) return {};
  return IsoTimestamp(CurrentLocalTime());
}
