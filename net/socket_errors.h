// The error codes of the socket layer: Windows Sockets error numbers on
// every platform, with their fixed texts.
#pragma once

#include <string>

// The text of a code: "" for 0, the table's text, or "Other Winsock error ("
// code ")" for every other code, negative ones included.
std::string SocketErrorText(int code);

// A failed socket call's platform error (errno, or the Windows Sockets
// number itself on Windows) as the layer reports it.
int SocketErrorFromSystem(int systemError);

// A getaddrinfo/getnameinfo result code as the layer reports it: 11001
// host not found, 11002 try again, 11003 non-recoverable, 11004 no data, ...
// systemError is the errno that goes with a system-error result.
int SocketErrorFromResolver(int resolverCode, int systemError);
