#include "session/reply_json.h"

#include <charconv>

#include "core/codecs.h"
#include "core/json_text.h"
#include "core/settings.h"
#include "session/presentation.h"
#include "session/tcp_session.h"
#include "wire/modbus_reply.h"

namespace {

// One value for each group of size bytes, as the text view counts them.
template <typename Value>
JsonObject Groups(std::string_view payload, std::size_t size, Value value) {
  JsonObject values = JsonObject::array();
  for (const std::string_view group : ModbusGroups(payload, size)) values.push_back(value(group));
  return values;
}

// A float as the text view rounds it (15 significant digits), as a number.
double ShownFloat(std::string_view group) {
  const std::string text = FormatGeneralFloat(ModbusFloat(group), ".");
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// "values" (or "text" for /mbs) of a binary reply, when its view shows any.
void AddModbusView(JsonObject &object, std::string_view reply) {
  std::string_view payload;
  if (!ModbusPayload(reply, Settings.ModbusFunction, payload)) return;
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
      for (const char c : payload) values.push_back(ModbusBits(static_cast<unsigned char>(c)));
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
