// Error codes of the socket layer: the fixed texts and the translation of
// platform and resolver errors into Windows Sockets numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "net/block_socket.h"
#include "net/socket_errors.h"
#include "net/socket_platform.h"
#include "platform/platform.h"

namespace {

TEST(SocketErrorText, TableTextsAndTheOtherForm) {
  const struct {
    int code;
    const char *text;
  } cases[] = {
      {0, ""},
      {10004, "Interrupted system call"},
      {10013, "Permission denied"},
      {10035, "Operation would block"},
      {10041, "Protocol wrong type for Socket"},
      {10048, "Address already in use"},
      {10049, "Can't assign requested address"},
      {10054, "Connection reset by peer"},
      {10055, "No Buffer space available"},
      {10059, "Too many references:can't splice"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network subsystem is unusable"},
      {10092, "Winsock DLL cannot support this application"},
      {10093, "Winsock not initialized"},
      {10101, "Disconnect"},
      {11001, "Host not found"},
      {11002, "Non authoritative - host not found"},
      {11003, "Non recoverable error"},
      {11004, "Valid name, no data record of requested type"},
      // Codes outside the table, negative ones too.
      {12345, "Other Winsock error (12345)"},
      {10072, "Other Winsock error (10072)"},
      {10000, "Other Winsock error (10000)"},
      {11005, "Other Winsock error (11005)"},
      {1, "Other Winsock error (1)"},
      {-1, "Other Winsock error (-1)"},
      {-10060, "Other Winsock error (-10060)"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(TBlockSocket::GetErrorDesc(c.code), c.text) << c.code;
    EXPECT_EQ(SocketErrorText(c.code), c.text) << c.code;
  }
}

TEST(SocketErrorTranslation, PlatformErrorsBecomeWindowsSocketsNumbers) {
  if (std::string(TargetSystemName()).rfind("Win", 0) == 0) {
    // Windows already numbers them so.
    for (const int code : {10048, 10054, 10060, 10061, 11001}) {
      EXPECT_EQ(SocketErrorFromSystem(code), code);
    }
    return;
  }
  const struct {
    int error;
    int code;
  } cases[] = {
      {EINTR, 10004},         {EBADF, 10009},         {EACCES, 10013},
      {EFAULT, 10014},        {EINVAL, 10022},        {EMFILE, 10024},
      {EWOULDBLOCK, 10035},   {EAGAIN, 10035},        {EINPROGRESS, 10036},
      {EALREADY, 10037},      {ENOTSOCK, 10038},      {EDESTADDRREQ, 10039},
      {EMSGSIZE, 10040},      {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},
      {EPROTONOSUPPORT, 10043}, {EOPNOTSUPP, 10045},  {EAFNOSUPPORT, 10047},
      {EADDRINUSE, 10048},    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
      {ENETUNREACH, 10051},   {ENETRESET, 10052},     {ECONNABORTED, 10053},
      {ECONNRESET, 10054},    {EPIPE, 10054},         {ENOBUFS, 10055},
      {EISCONN, 10056},       {ENOTCONN, 10057},      {ETIMEDOUT, 10060},
      {ECONNREFUSED, 10061},  {ELOOP, 10062},         {ENAMETOOLONG, 10063},
      {EHOSTUNREACH, 10065},  {ENOTEMPTY, 10066},
#ifdef EDQUOT
      {EDQUOT, 10069},        {ESTALE, 10070},
#endif
  };
  for (const auto &c : cases) EXPECT_EQ(SocketErrorFromSystem(c.error), c.code) << c.error;
  // Without a counterpart the number stays as it is.
  EXPECT_EQ(SocketErrorFromSystem(ENOENT), ENOENT);
}

TEST(SocketErrorTranslation, ResolverCodesBecomeWindowsSocketsNumbers) {
  const struct {
    int resolverCode;
    int code;
  } cases[] = {
      {0, 0},
      {EAI_NONAME, 11001},
      {EAI_AGAIN, 11002},
      {EAI_FAIL, 11003},
#ifdef EAI_NODATA
      {EAI_NODATA, 11004},
#endif
      {EAI_FAMILY, 10047},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(SocketErrorFromResolver(c.resolverCode, 0), c.code) << c.resolverCode;
  }
}

}  // namespace
