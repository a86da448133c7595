#include "core/json_text.h"

#include <cstdio>

JsonObject JsonBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(c);
    } else {
      // U+0080 to U+00FF in UTF-8: two bytes.
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return JsonObject(std::move(text));
}

void AppendJsonStringBody(std::string &out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 0x0F]);
        } else if (byte < 0x80) {
          out.push_back(c);
        } else {
          out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
          out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
  }
}

void AppendJsonString(std::string &out, std::string_view bytes) {
  out.push_back('"');
  AppendJsonStringBody(out, bytes);
  out.push_back('"');
}

JsonObject NewJsonObject(std::string_view type) {
  JsonObject object = JsonObject::object();
  object["type"] = std::string(type);
  return object;
}

std::string JsonLine(const JsonObject &object) {
  // Every string is valid UTF-8 by the byte rule; the replacing handler
  // only makes sure that dump() has no error to throw.
  return object.dump(-1, ' ', false, JsonObject::error_handler_t::replace);
}

std::string IsoTimestamp(const LocalDateTime &time) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day, time.hour,
                time.minute, time.second, time.millisecond);
  return text;
}

JsonObject ErrorFields(int code, std::string_view text) {
  JsonObject fields = JsonObject::object();
  if (code != 0) fields["code"] = code;
  fields["text"] = JsonBytes(text);
  return fields;
}
