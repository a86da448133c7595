#include "discovery/discovery_json.h"

#include <algorithm>

#include "core/codecs.h"
#include "core/dotted_address.h"
#include "core/json_text.h"
#include "wire/device_reply.h"
#include "discovery/lxi_instrument.h"
#include "wire/teracom_reply.h"

namespace {

// Four octets as "192.168.1.5".
std::string PlainAddress(std::string_view bytes, std::size_t offset) {
  std::string text;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) text.push_back('.');
    text += std::to_string(static_cast<unsigned char>(bytes[offset + i]));
  }
  return text;
}

// A text field as the block shows it: its 0x00 bytes left out.
JsonObject TextField(std::string_view datagram, std::size_t offset, std::size_t width) {
  std::string text(datagram.substr(offset, width));
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return JsonBytes(text);
}

const char *DhcpState(std::string_view datagram) {
  if (datagram.size() == kShortestReply) return "not supported";
  if (datagram.size() > kDhcpStateOffset && datagram[kDhcpStateOffset] == 1) return "DHCP";
  return "Static";
}

JsonObject AnswerField(const SupplyAnswer &answer, std::string_view text) {
  return answer.Failed ? JsonObject() : JsonBytes(text);
}

// Configuration datagrams: the command byte, then the MAC address; the DHCP
// mode datagram has its mode byte after the MAC, the address datagram the
// address, mask and gateway.
constexpr char kDhcpModeCommand = 0x04, kAddressCommand = 0x01, kResetCommand = 0x02;
constexpr std::size_t kModeOffset = 7, kAddressOffset = 7;
constexpr std::size_t kAddressDatagramSize = 19;

const char *ConfigStep(std::string_view payload) {
  if (payload.empty()) return "unknown";
  switch (payload[0]) {
    case kDhcpModeCommand:
      return payload.size() > kModeOffset && payload[kModeOffset] == 1 ? "dhcp-on" : "dhcp-off";
    case kAddressCommand:
      return "address";
    case kResetCommand:
      return "reset";
    default:
      return "unknown";
  }
}

}  // namespace

std::string SupplyJson(std::string_view datagram, std::string_view from, const SupplyAnswer &identity,
                       bool interfaces, const SupplyAnswer &reply) {
  JsonObject object = NewJsonObject("supply");
  const bool whole = datagram.size() >= kShortestReply;
  object["serial"] = whole ? TextField(datagram, kSerialOffset, kSerialWidth) : JsonObject();
  object["mac"] = whole ? JsonObject(BytesToDashedHex(datagram.substr(kMacOffset, kMacWidth))) : JsonObject();
  object["ip"] = whole ? JsonObject(PlainAddress(datagram, kIpOffset)) : JsonObject();
  object["dhcp"] = whole ? JsonObject(DhcpState(datagram)) : JsonObject();
  object["mask"] = whole ? JsonObject(PlainAddress(datagram, kMaskOffset)) : JsonObject();
  object["gateway"] = whole ? JsonObject(PlainAddress(datagram, kGatewayOffset)) : JsonObject();
  object["pud"] = whole ? TextField(datagram, kPudOffset, kPudWidth) : JsonObject();
  object["from"] = JsonBytes(from);
  if (identity.Asked) {
    if (interfaces) {
      // The two answers of "*idn?;system:interface:type all?" stand apart at
      // the first ";".
      const std::string_view text = identity.Text;
      const std::size_t cut = std::min(text.find(';'), text.size());
      object["idn"] = AnswerField(identity, text.substr(0, cut));
      object["interfaces"] = AnswerField(identity, text.substr(std::min(cut + 1, text.size())));
    } else {
      object["idn"] = AnswerField(identity, identity.Text);
    }
  }
  if (reply.Asked) object["reply"] = AnswerField(reply, reply.Text);
  for (const SupplyAnswer *answer : {&identity, &reply}) {
    if (answer->ErrorCode != 0) {
      object["error"] = ErrorFields(answer->ErrorCode, answer->ErrorText);
      break;
    }
  }
  return JsonLine(object);
}

std::string TeracomJson(std::string_view reply, std::string_view from) {
  JsonObject object = NewJsonObject("teracom");
  object["hostname"] = JsonBytes(ParseTeracomReply(reply, TeracomField::HostName));
  object["serial"] = JsonBytes(ParseTeracomReply(reply, TeracomField::SerialMac));
  object["address"] = JsonBytes(ParseTeracomReply(reply, TeracomField::Address));
  object["from"] = JsonBytes(from);
  return JsonLine(object);
}

std::string ConfigJson(std::string_view source, std::string_view payload, int code, std::string_view errorText) {
  JsonObject object = NewJsonObject("config");
  object["step"] = ConfigStep(payload);
  object["mac"] = BytesToDashedHex(payload.substr(std::min<std::size_t>(1, payload.size()), 6));
  object["source"] = JsonBytes(source);
  object["hex"] = BytesToSpacedHex(payload);
  if (payload.size() == kAddressDatagramSize && payload[0] == kAddressCommand) {
    object["ip"] = PlainAddress(payload, kAddressOffset);
    object["mask"] = PlainAddress(payload, kAddressOffset + 4);
    object["gateway"] = PlainAddress(payload, kAddressOffset + 8);
  }
  if (code != 0) object["error"] = ErrorFields(code, errorText);
  return JsonLine(object);
}

std::string LxiJson(const LxiInstrument &instrument) {
  const LxiFindings &findings = instrument.Findings;
  JsonObject object = NewJsonObject("lxi");
  object["ip"] = FormatDottedAddress(instrument.Ip);
  object["vxi11_port"] = instrument.Vxi11Port != 0 ? JsonObject(instrument.Vxi11Port) : JsonObject();
  JsonObject services = JsonObject::array();
  for (const LxiService &service : instrument.Services) {
    JsonObject entry;
    entry["type"] = JsonBytes(service.Type);
    entry["port"] = service.Port != 0 ? JsonObject(service.Port) : JsonObject();
    services.push_back(std::move(entry));
  }
  object["services"] = std::move(services);
  object["name"] = instrument.Name.empty() ? JsonObject() : JsonBytes(instrument.Name);
  object["idn"] = findings.Answered ? JsonBytes(findings.Idn) : JsonObject();
  object["idnBy"] = findings.Answered ? JsonObject(LxiWayJson(findings.AnsweredBy)) : JsonObject();
  const std::string announced = TxtIdentity(instrument);
  object["announced"] = announced.empty() ? JsonObject() : JsonBytes(announced);
  JsonObject tried = JsonObject::array();
  for (const LxiWay way : findings.Tried) tried.push_back(LxiWayJson(way));
  object["tried"] = std::move(tried);
  JsonObject interfaces = JsonObject::array();
  for (const LxiNetworkInterface &interface : findings.Interfaces) {
    const auto field = [](const std::optional<std::string> &value) { return value ? JsonBytes(*value) : JsonObject(); };
    const std::string mode = AddressMode(interface);
    JsonObject entry;
    entry["hostname"] = field(interface.Hostname);
    entry["mac"] = field(interface.Mac);
    entry["ip"] = field(interface.Ip);
    entry["dhcp"] = mode.empty() ? JsonObject() : JsonObject(mode);
    entry["mask"] = field(interface.Mask);
    entry["gateway"] = field(interface.Gateway);
    interfaces.push_back(std::move(entry));
  }
  object["interfaces"] = std::move(interfaces);
  return JsonLine(object);
}
