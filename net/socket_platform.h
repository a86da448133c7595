// Every difference between Windows Sockets and BSD sockets, in one place.
// The rest of net/ uses only these names and the BSD calls that both
// platforms share (socket, bind, connect, sendto, getaddrinfo, ...).
// Internal to net/: nothing outside the socket layer includes it.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

#include <cstddef>

#ifdef _WIN32
using socket_t = SOCKET;
using socklen_type = int;
inline constexpr socket_t invalid_socket = INVALID_SOCKET;
// Direction names of shutdown().
inline constexpr int shutdown_send = SD_SEND;
// Flags for every send: none on Windows.
inline constexpr int send_flags = 0;
#else
using socket_t = int;
using socklen_type = socklen_t;
inline constexpr socket_t invalid_socket = -1;
inline constexpr int shutdown_send = SHUT_WR;
// A peer that has closed must never end the program with SIGPIPE.
inline constexpr int send_flags = MSG_NOSIGNAL;
#endif

// Starts the socket service once (Windows Sockets 2.2, released at exit);
// true on platforms that need no start. Safe to call again.
bool start_socket_service();

// A new socket, or invalid_socket (then last_socket_error() tells why).
// Not inherited by child processes where the platform can say so.
socket_t open_socket(int family, int type, int protocol);
int close_socket(socket_t s);

// The error of the last failed socket call, as the platform numbers it
// (errno or WSAGetLastError()); socket_errors.h turns it into the codes
// the layer reports.
int last_socket_error();
// True when the last failed call was only interrupted by a signal.
bool last_call_interrupted();
// True when the last failed send ran out of its send time-out.
bool last_send_timed_out();

// Bytes that can be read at once (FIONREAD). False when the query fails.
bool readable_byte_count(socket_t s, int &count);

// Waits until s is readable, for at most timeoutMs milliseconds (negative:
// no limit; 0: just looks). 1 readable, 0 time-out, -1 failure. An
// interrupted wait goes on with the time that is left; Ctrl-C is looked at
// every kInterruptPollMs (platform.h) and ends the run there.
int wait_readable(socket_t s, int timeoutMs);

// Send and receive with sizes in the platform's own types.
long send_bytes(socket_t s, const char *data, std::size_t length);
long send_datagram(socket_t s, const char *data, std::size_t length, const sockaddr *to,
                   socklen_type toLength);
long receive_bytes(socket_t s, char *buffer, std::size_t length);
long receive_datagram(socket_t s, char *buffer, std::size_t length, sockaddr *from,
                      socklen_type *fromLength);

// Connects the stream socket s to peer, waiting at most timeoutMs for the
// outcome; then it fails as timed out, and s is left blocking either way.
// 0 or less: 21 s, the limit of Windows' own blocking connect (elsewhere the
// system would try for about two minutes). The wait looks at Ctrl-C as
// wait_readable does. 0, or -1 with last_socket_error() telling why.
int connect_within(socket_t s, const sockaddr *peer, socklen_type length, int timeoutMs);

// Integer socket option (SO_BROADCAST, SO_REUSEADDR, ...). 0 or -1.
int set_socket_option(socket_t s, int level, int name, int value);
// How long one blocking send may wait for room to hand over bytes
// (timeoutMs 0: no limit). 0 or -1.
int set_send_timeout(socket_t s, int timeoutMs);

// Enlarges the receive queue of s to at least bytes; never shrinks it.
// Linux caps the request at a system limit for unprivileged processes and
// lifts the cap for privileged ones.
void grow_receive_buffer(socket_t s, int bytes);
