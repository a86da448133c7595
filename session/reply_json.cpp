#include "session/reply_json.h"

#include <charconv>

#include "core/codecs.h"
#include "core/json_stream.h"
#include "core/json_text.h"
#include "core/settings.h"
#include "session/presentation.h"
#include "session/tcp_session.h"
#include "wire/modbus_reply.h"

namespace {

// A float as the text view rounds it (15 significant digits), as a number.
double ShownFloat(std::string_view group) {
  const std::string text = FormatGeneralFloat(ModbusFloat(group), ".");
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Each group of size bytes as its value, item by item.
template <typename Value>
void AddGroups(JsonLineWriter &writer, std::string_view payload, std::size_t size, Value value) {
  BeginJsonArray(writer, "values");
  for (const std::string_view group : ModbusGroups(payload, size)) AddJsonItem(writer, value(group));
  EndJsonArray(writer);
}

// "values" (or "text" for /mbs) of a binary reply, when its view shows any.
void AddModbusView(JsonLineWriter &writer, std::string_view reply) {
  std::string_view payload;
  if (!ModbusPayload(reply, Settings.ModbusFunction, payload)) return;
  switch (Settings.ModbusView) {
    case kWordView:
      AddGroups(writer, payload, 2, [](std::string_view group) { return JsonObject(ModbusWord(group)); });
      break;
    case kLongView:
      AddGroups(writer, payload, 4, [](std::string_view group) { return JsonObject(ModbusLong(group)); });
      break;
    case kFloatView:
      AddGroups(writer, payload, 4, [](std::string_view group) { return JsonObject(ShownFloat(group)); });
      break;
    case kBitsView:
      BeginJsonArray(writer, "values");
      for (const char c : payload) AddJsonItem(writer, ModbusBits(static_cast<unsigned char>(c)));
      EndJsonArray(writer);
      break;
    case kTextView:
      AddJsonBytes(writer, "text", DecodeModbusReply(reply));
      break;
    default:
      break;
  }
}

void BuildReply(JsonLineWriter &writer, const JsonReply &reply) {
  BeginJsonLine(writer, "reply");
  AddJsonBytes(writer, "command", reply.Command);
  if (reply.Binary) AddJsonSpacedHex(writer, "commandHex", reply.Command);
  if (!reply.Line.empty()) AddJsonBytes(writer, "line", reply.Line);
  if (reply.ErrorCode != 0) {
    AddJsonValue(writer, "reply", nullptr);
    AddJsonValue(writer, "error", ErrorFields(reply.ErrorCode, reply.ErrorText));
  } else {
    AddJsonBytes(writer, "reply", reply.Reply);
    if (reply.Binary) {
      AddJsonSpacedHex(writer, "hex", reply.Reply);
      AddModbusView(writer, reply.Reply);
    }
  }
  if (!reply.Time.empty()) AddJsonBytes(writer, "time", reply.Time);
}

JsonReply TcpJsonReply(const TcpExchangeResult &result, std::string_view command, bool binary,
                       std::string_view time) {
  JsonReply reply;
  reply.Command = command;
  reply.Binary = binary && !result.Failed && result.ErrorCode == 0;
  reply.Reply = reply.Binary ? result.Raw : result.Reply;
  reply.ErrorCode = result.ErrorCode;
  reply.ErrorText = result.ErrorText;
  reply.Time = time;
  return reply;
}

}  // namespace

std::string ReplyJson(const JsonReply &reply) {
  JsonLineWriter writer;
  BuildReply(writer, reply);
  return EndJsonLine(writer);
}

void WriteReplyJson(const JsonReply &reply) {
  JsonLineWriter writer;
  writer.ToOutput = true;
  BuildReply(writer, reply);
  EndJsonLine(writer);
}

std::string TcpReplyJson(const TcpExchangeResult &result, std::string_view command, bool binary) {
  const std::string time = JsonTimestamp();
  return ReplyJson(TcpJsonReply(result, command, binary, time));
}

void WriteTcpReplyJson(const TcpExchangeResult &result, std::string_view command, bool binary) {
  const std::string time = JsonTimestamp();
  WriteReplyJson(TcpJsonReply(result, command, binary, time));
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
