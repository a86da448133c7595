#include "wire/vxi11_wire.h"

#include <cstddef>
#include <initializer_list>

#include "wire/rpc_message.h"
#include "wire/xdr.h"

namespace {

constexpr std::uint32_t kCreateLink = 10;
constexpr std::uint32_t kDeviceWrite = 11;
constexpr std::uint32_t kDeviceRead = 12;
constexpr std::uint32_t kDestroyLink = 23;
constexpr std::uint32_t kFlagEnd = 8;
// Device names longer than this are not sent.
constexpr std::size_t kMaxDeviceName = 256;

std::string Words(std::initializer_list<std::uint32_t> words) {
  std::string out;
  for (const std::uint32_t word : words) AppendWord(out, word);
  return out;
}

std::string CoreCall(std::uint32_t xid, std::uint32_t procedure, std::string_view arguments) {
  return BuildRpcCall(xid, kVxi11CoreProgram, kVxi11CoreVersion, procedure, arguments);
}

// The results' offset of a reply to xid, and its first word (the error).
bool ReadError(std::string_view message, std::uint32_t xid, std::size_t &at, std::uint32_t &error) {
  return ReadRpcReply(message, xid, at) && ReadWord(message, at, error);
}

}  // namespace

std::string BuildCreateLink(std::uint32_t xid, std::uint32_t clientId, std::uint32_t lockTimeoutMs,
                            std::string_view device) {
  std::string arguments = Words({clientId, 0, lockTimeoutMs});
  AppendOpaque(arguments, device.substr(0, kMaxDeviceName));
  return CoreCall(xid, kCreateLink, arguments);
}

std::string BuildDeviceWrite(std::uint32_t xid, std::uint32_t link, std::uint32_t ioTimeoutMs,
                             std::uint32_t lockTimeoutMs, std::string_view data, bool end) {
  std::string arguments = Words({link, ioTimeoutMs, lockTimeoutMs, end ? kFlagEnd : 0});
  AppendOpaque(arguments, data);
  return CoreCall(xid, kDeviceWrite, arguments);
}

std::string BuildDeviceRead(std::uint32_t xid, std::uint32_t link, std::uint32_t requestSize,
                            std::uint32_t ioTimeoutMs, std::uint32_t lockTimeoutMs) {
  return CoreCall(xid, kDeviceRead, Words({link, requestSize, ioTimeoutMs, lockTimeoutMs, 0, 0}));
}

std::string BuildDestroyLink(std::uint32_t xid, std::uint32_t link) {
  return CoreCall(xid, kDestroyLink, Words({link}));
}

bool ReadCreateLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                         std::uint32_t &link) {
  std::uint32_t maxReceiveSize = 0;
  return ReadCreateLinkReply(message, xid, error, link, maxReceiveSize);
}

bool ReadCreateLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                         std::uint32_t &link, std::uint32_t &maxReceiveSize) {
  std::size_t at = 0;
  std::uint32_t abortPort = 0;
  if (!ReadError(message, xid, at, error)) return false;
  // An error reply may leave out the rest.
  if (error != 0) return true;
  return ReadWord(message, at, link) && ReadWord(message, at, abortPort) && ReadWord(message, at, maxReceiveSize);
}

bool ReadDeviceWriteReply(std::string_view message, std::uint32_t xid, std::uint32_t &error,
                          std::uint32_t &size) {
  std::size_t at = 0;
  if (!ReadError(message, xid, at, error)) return false;
  if (error != 0) return true;
  return ReadWord(message, at, size);
}

bool ReadDeviceReadReply(std::string_view message, std::uint32_t xid, std::size_t maxData,
                         std::uint32_t &error, std::uint32_t &reason, std::string &data) {
  std::size_t at = 0;
  data.clear();
  reason = 0;
  if (!ReadError(message, xid, at, error)) return false;
  if (error != 0) return true;
  return ReadWord(message, at, reason) && ReadOpaque(message, at, maxData, data);
}

bool ReadDestroyLinkReply(std::string_view message, std::uint32_t xid, std::uint32_t &error) {
  std::size_t at = 0;
  return ReadError(message, xid, at, error);
}

std::string Vxi11ErrorText(std::uint32_t code) {
  switch (code) {
    case 1: return "Syntax error";
    case 3: return "Device not accessible";
    case 4: return "Invalid link identifier";
    case 5: return "Parameter error";
    case 6: return "Channel not established";
    case 8: return "Operation not supported";
    case 9: return "Out of resources";
    case 11: return "Device locked by another link";
    case 12: return "No lock held by this link";
    case 15: return "I/O timeout";
    case 17: return "I/O error";
    case 21: return "Invalid address";
    case 23: return "Abort";
    case 29: return "Channel already established";
    default: return "Unknown error";
  }
}
