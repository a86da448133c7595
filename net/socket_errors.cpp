#include "net/socket_errors.h"

#include <cerrno>

#include "net/socket_platform.h"

namespace {

struct ErrorText {
  int code;
  const char *text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for Socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket not supported"},
    {10045, "Operation not supported on Socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No Buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after Socket shutdown"},
    {10059, "Too many references:can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name is too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory is not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unusable"},
    {10092, "Winsock DLL cannot support this application"},
    {10093, "Winsock not initialized"},
    {10101, "Disconnect"},
    {11001, "Host not found"},
    {11002, "Non authoritative - host not found"},
    {11003, "Non recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

#ifndef _WIN32
struct ErrnoCode {
  int error;
  int code;
};

// errno values of POSIX systems and the Windows Sockets numbers of the same
// meaning. Windows numbers these 10000 + the old BSD value, which most
// other systems do not share.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},
    {EBADF, 10009},
    {EACCES, 10013},
    {EPERM, 10013},
    {EFAULT, 10014},
    {EINVAL, 10022},
    {EMFILE, 10024},
    {ENFILE, 10024},
    {EWOULDBLOCK, 10035},
    {EAGAIN, 10035},
    {EINPROGRESS, 10036},
    {EALREADY, 10037},
    {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043},
#ifdef ESOCKTNOSUPPORT
    {ESOCKTNOSUPPORT, 10044},
#endif
    {EOPNOTSUPP, 10045},
#ifdef EPFNOSUPPORT
    {EPFNOSUPPORT, 10046},
#endif
    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},
    {ENETUNREACH, 10051},
    {ENETRESET, 10052},
    {ECONNABORTED, 10053},
    {ECONNRESET, 10054},
    {EPIPE, 10054},
    {ENOBUFS, 10055},
    {ENOMEM, 10055},
    {EISCONN, 10056},
    {ENOTCONN, 10057},
#ifdef ESHUTDOWN
    {ESHUTDOWN, 10058},
#endif
#ifdef ETOOMANYREFS
    {ETOOMANYREFS, 10059},
#endif
    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
    {ELOOP, 10062},
    {ENAMETOOLONG, 10063},
#ifdef EHOSTDOWN
    {EHOSTDOWN, 10064},
#endif
    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
#ifdef EPROCLIM
    {EPROCLIM, 10067},
#endif
#ifdef EUSERS
    {EUSERS, 10068},
#endif
    {EDQUOT, 10069},
    {ESTALE, 10070},
#ifdef EREMOTE
    {EREMOTE, 10071},
#endif
};
#endif

}  // namespace

std::string SocketErrorText(int code) {
  if (code == 0) return {};
  for (const ErrorText &entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return "Other Winsock error (" + std::to_string(code) + ")";
}

#ifdef _WIN32

int SocketErrorFromSystem(int systemError) { return systemError; }

// getaddrinfo and getnameinfo already answer in Windows Sockets numbers.
int SocketErrorFromResolver(int resolverCode, int) { return resolverCode; }

#else

// An errno without a Windows Sockets counterpart keeps its own number (all
// of them lie far below the table's codes).
int SocketErrorFromSystem(int systemError) {
  for (const ErrnoCode &entry : kErrnoCodes) {
    if (entry.error == systemError) return entry.code;
  }
  return systemError;
}

// The numbers Windows gives for the same resolver outcomes.
int SocketErrorFromResolver(int resolverCode, int systemError) {
  switch (resolverCode) {
    case 0:
      return 0;
    case EAI_NONAME:
      return 11001;  // host not found
    case EAI_AGAIN:
      return 11002;  // try again
    case EAI_FAIL:
      return 11003;  // non-recoverable
#ifdef EAI_NODATA
    case EAI_NODATA:
      return 11004;  // no address
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return 11004;  // no address of the family asked for
#endif
    case EAI_FAMILY:
      return 10047;
    case EAI_SOCKTYPE:
      return 10044;
    case EAI_SERVICE:
      return 10109;  // WSATYPE_NOT_FOUND
    case EAI_BADFLAGS:
      return 10022;
    case EAI_MEMORY:
      return 8;  // WSA_NOT_ENOUGH_MEMORY
    case EAI_OVERFLOW:
      return 10014;
    case EAI_SYSTEM:
      return systemError != 0 ? SocketErrorFromSystem(systemError) : 11003;
    default:
      return 11003;
  }
}

#endif
