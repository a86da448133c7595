#include "net/socket_address.h"

#include <cerrno>
#include <cstring>

#include "net/socket_errors.h"

namespace {

// A decimal port text: its value, or -1 when it is not all digits (then
// it names a service) and -2 when it is out of range.
long DecimalPort(const std::string &port) {
  if (port.empty()) return 0;
  long value = 0;
  for (const char c : port) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > 65535) return -2;
  }
  return value;
}

int ResolveOnce(const std::string &address, const std::string &service, int numericService,
                int family, int socketType, SocketAddress &result) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = socketType;
  hints.ai_flags = numericService;
  addrinfo *found = nullptr;
  errno = 0;
  const int status = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
  if (status != 0) return SocketErrorFromResolver(status, errno);
  int code = 11004;  // an answer without any address
  for (const addrinfo *entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addr == nullptr || entry->ai_addrlen > sizeof result.storage) continue;
    std::memcpy(&result.storage, entry->ai_addr, entry->ai_addrlen);
    result.length = static_cast<socklen_type>(entry->ai_addrlen);
    code = 0;
    break;
  }
  ::freeaddrinfo(found);
  return code;
}

}  // namespace

bool SocketAddress::IsAnyAddress() const {
  if (Family() == AF_INET) {
    return reinterpret_cast<const sockaddr_in *>(&storage)->sin_addr.s_addr == htonl(INADDR_ANY);
  }
  if (Family() == AF_INET6) {
    const in6_addr &address = reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_addr;
    static const unsigned char kZero[sizeof address] = {};
    return std::memcmp(&address, kZero, sizeof address) == 0;
  }
  return false;
}

int ResolveSocketAddress(const std::string &address, const std::string &port,
                         TSocketFamily family, bool preferIP4, int socketType,
                         SocketAddress &result) {
  result = SocketAddress{};
  start_socket_service();
  const long number = DecimalPort(port);
  if (number == -2) return 10109;  // no such port: as Windows answers a bad service
  const std::string service = number >= 0 ? std::to_string(number) : port;
  const int numericService = number >= 0 ? AI_NUMERICSERV : 0;
  switch (family) {
    case TSocketFamily::IPv4:
      return ResolveOnce(address, service, numericService, AF_INET, socketType, result);
    case TSocketFamily::IPv6:
      return ResolveOnce(address, service, numericService, AF_INET6, socketType, result);
    case TSocketFamily::Any:
      break;
  }
  if (!preferIP4) {
    return ResolveOnce(address, service, numericService, AF_UNSPEC, socketType, result);
  }
  const int code = ResolveOnce(address, service, numericService, AF_INET, socketType, result);
  if (code == 0) return 0;
  // A name with IPv6 addresses only; when that fails too, the IPv4 answer
  // tells more.
  if (ResolveOnce(address, service, numericService, AF_INET6, socketType, result) == 0) return 0;
  return code;
}

std::string NumericHostText(const sockaddr *address, socklen_type length) {
  if (length <= 0) return "0.0.0.0";
  char text[NI_MAXHOST] = {};
  if (::getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) {
    return "0.0.0.0";
  }
  return text;
}
