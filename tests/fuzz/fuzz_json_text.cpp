// The JSON objects of /json over any bytes: every object is one line that a JSON reader takes, and every byte
// string it carries comes back whole by the byte rule (each character's number is one byte). Input: datagrams
// (NextDatagram): a field, a peer address, a second field.
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/settings.h"
#include "core/json_output.h"
#include "discovery/discovery_json.h"
#include "fuzz_support.h"
#include "session/reply_json.h"

namespace {

using Json = nlohmann::json;

// The line read back: an object with a "type", on one line.
Json Parsed(const std::string &line) {
  FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  Json value = Json::parse(line, nullptr, false);
  FUZZ_CHECK(!value.is_discarded() && value.is_object() && value["type"].is_string());
  return value;
}

// A JSON string back to bytes: UTF-8 decoded by hand, every character below 256.
std::string Bytes(const Json &value) {
  FUZZ_CHECK(value.is_string());
  const std::string &text = value.get_ref<const std::string &>();
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    FUZZ_CHECK(lead < 0x80 || ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()));
    bytes.push_back(static_cast<char>(lead < 0x80 ? lead : ((lead & 0x03) << 6) | (text[++i] & 0x3F)));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view input = InputBytes(data, size), field, from, second;
  for (std::string_view *part : {&field, &from, &second}) NextDatagram(input, *part);

  // Every Modbus view, over register and coil replies.
  Settings.ModbusView = static_cast<std::int32_t>(size % 6);
  Settings.ModbusFunction = (size & 8) != 0 ? 5 : 3;
  const JsonReply reply{.Command = second, .Reply = field, .Binary = !field.empty() && (field[0] & 1) != 0};
  Json shown = Parsed(ReplyJson(reply));
  FUZZ_CHECK(Bytes(shown["command"]) == second && Bytes(shown["reply"]) == field);
  FUZZ_CHECK(shown.contains("hex") == reply.Binary);
  // Numbers come one per group, at least one; bit strings one per payload byte.
  if (shown.contains("values"))
    FUZZ_CHECK(shown["values"].is_array() && (Settings.ModbusView == 4 || !shown["values"].empty()));

  // The supply's reply is the field; its identity answer the second one.
  const SupplyAnswer identity{true, false, std::string(second), 0, {}};
  Json supply = Parsed(SupplyJson(field, from, identity, true, {}));
  FUZZ_CHECK(Bytes(supply["from"]) == from);
  if (field.size() >= 106) {
    std::string pud(field.substr(31, 72));
    std::erase(pud, '\0');
    FUZZ_CHECK(Bytes(supply["pud"]) == pud);
  }
  const std::string idn = Bytes(supply["idn"]), interfaces = Bytes(supply["interfaces"]);
  FUZZ_CHECK(idn.find(';') == std::string::npos);
  FUZZ_CHECK(second.find(';') == std::string_view::npos ? idn == second && interfaces.empty()
                                                        : idn + ";" + interfaces == second);

  Parsed(TeracomJson(field, from));
  FUZZ_CHECK(Bytes(Parsed(ConfigJson(from, field, field.empty() ? 0 : field[0], second))["source"]) == from);
  return 0;
}
