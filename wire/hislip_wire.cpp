#include "wire/hislip_wire.h"

#include "wire/xdr.h"

namespace {

// The peer's text, or fallBack when it sent none.
std::string TextOr(std::string_view payload, std::string_view fallBack) {
  return std::string(payload.empty() ? fallBack : payload.substr(0, 256));
}

}  // namespace

std::string BuildHislipMessage(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload) {
  std::string message = "HS";
  message.reserve(kHislipHeaderBytes + payload.size());
  message.push_back(static_cast<char>(type));
  message.push_back(static_cast<char>(control));
  AppendWord(message, parameter);
  const std::uint64_t length = payload.size();
  AppendWord(message, static_cast<std::uint32_t>(length >> 32));
  AppendWord(message, static_cast<std::uint32_t>(length));
  message.append(payload);
  return message;
}

std::string BuildHislipInitialize(std::string_view subAddress) {
  return BuildHislipMessage(kHislipInitialize, 0, std::uint32_t{kHislipVersion} << 16 | kHislipVendorId,
                            subAddress.substr(0, 256));
}

std::string BuildHislipAsyncInitialize(std::uint16_t sessionId) {
  return BuildHislipMessage(kHislipAsyncInitialize, 0, sessionId, {});
}

std::string BuildHislipDataEnd(std::uint32_t messageId, bool rmtDelivered, std::string_view payload) {
  return BuildHislipMessage(kHislipDataEnd, rmtDelivered ? 1 : 0, messageId, payload);
}

std::string BuildHislipFatalError(std::uint8_t code, std::string_view text) {
  return BuildHislipMessage(kHislipFatalError, code, 0, text);
}

HislipState ReadHislipMessage(std::string_view stream, std::size_t maxPayload, HislipMessage &message,
                              std::size_t &consumed) {
  if (!stream.empty() && stream[0] != 'H') return HislipState::Malformed;
  if (stream.size() >= 2 && stream[1] != 'S') return HislipState::Malformed;
  if (stream.size() < kHislipHeaderBytes) return HislipState::Incomplete;
  std::size_t at = 4;
  std::uint32_t parameter = 0, high = 0, low = 0;
  ReadWord(stream, at, parameter);
  ReadWord(stream, at, high);
  ReadWord(stream, at, low);
  const std::uint64_t length = std::uint64_t{high} << 32 | low;
  if (length > maxPayload) return HislipState::Malformed;
  if (stream.size() - kHislipHeaderBytes < length) return HislipState::Incomplete;
  message.Type = static_cast<std::uint8_t>(stream[2]);
  message.Control = static_cast<std::uint8_t>(stream[3]);
  message.Parameter = parameter;
  message.Payload = stream.substr(kHislipHeaderBytes, static_cast<std::size_t>(length));
  consumed = kHislipHeaderBytes + static_cast<std::size_t>(length);
  return HislipState::Complete;
}

std::string HislipFatalErrorText(std::uint8_t code, std::string_view payload) {
  switch (code) {
    case 0: return "Unidentified error";
    case 1: return "Poorly formed message header";
    case 2: return "Attempt to use connection without both channels established";
    case 3: return "Invalid initialization sequence";
    case 4: return "Server refused connection due to maximum number of clients exceeded";
    default: return TextOr(payload, "Unknown fatal error");
  }
}

std::string HislipErrorText(std::uint8_t code, std::string_view payload) {
  switch (code) {
    case 0: return "Unidentified error";
    case 1: return "Unrecognized message type";
    case 2: return "Unrecognized control code";
    case 3: return "Unrecognized vendor defined message";
    case 4: return "Message too large";
    default: return TextOr(payload, "Unknown error");
  }
}
