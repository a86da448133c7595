// HiSLIP messages: a 16-byte header ("HS", type, control code, 32-bit
// parameter, 64-bit payload length, all big-endian) and the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kHislipPort = 4880;
inline constexpr std::size_t kHislipHeaderBytes = 16;

// The message types a client sends or reads.
enum HislipType : std::uint8_t {
  kHislipInitialize = 0,
  kHislipInitializeResponse = 1,
  kHislipFatalError = 2,
  kHislipError = 3,
  kHislipData = 6,
  kHislipDataEnd = 7,
  kHislipAsyncInitialize = 17,
  kHislipAsyncInitializeResponse = 18,
};

// The first message id of a session; each message the client sends adds 2.
inline constexpr std::uint32_t kHislipFirstMessageId = 0xFFFFFF00u;
// The id a server may give any reply.
inline constexpr std::uint32_t kHislipAnyMessageId = 0xFFFFFFFFu;
// Protocol version 1.0 in the upper half of Initialize's parameter.
inline constexpr std::uint16_t kHislipVersion = 0x0100;
// The client's vendor id in the lower half.
inline constexpr std::uint16_t kHislipVendorId = ('P' << 8) | 'S';

std::string BuildHislipMessage(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload);
// Initialize: version and vendor id, the sub-address ("hislip0") as payload.
std::string BuildHislipInitialize(std::string_view subAddress);
std::string BuildHislipAsyncInitialize(std::uint16_t sessionId);
// A whole message as DataEnd; control bit 0 is "RMT delivered".
std::string BuildHislipDataEnd(std::uint32_t messageId, bool rmtDelivered, std::string_view payload);
// The FatalError a client sends before it closes.
std::string BuildHislipFatalError(std::uint8_t code, std::string_view text);

struct HislipMessage {
  std::uint8_t Type = 0;
  std::uint8_t Control = 0;
  std::uint32_t Parameter = 0;
  std::string_view Payload;  // a view into the stream that was read
};

enum class HislipState { Incomplete, Complete, Malformed };

// The first message of stream. Complete: consumed is its size. Incomplete:
// more bytes are needed. Malformed: the prologue is not "HS" or the payload
// is longer than maxPayload.
HislipState ReadHislipMessage(std::string_view stream, std::size_t maxPayload, HislipMessage &message,
                              std::size_t &consumed);

// The text of a FatalError or Error code; for a code the protocol does not
// name, the peer's own text (its first 256 bytes) or a fall-back.
std::string HislipFatalErrorText(std::uint8_t code, std::string_view payload);
std::string HislipErrorText(std::uint8_t code, std::string_view payload);
