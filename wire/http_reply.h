// An HTTP/1.1 GET request and the reader of its reply: status line,
// headers, and a body framed by Content-Length, chunked transfer coding or
// the peer's close, each within bounds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// "GET <path> HTTP/1.1", Host and "Connection: close", CR LF line ends.
std::string BuildHttpGet(std::string_view path, std::string_view host);

enum class HttpState {
  Incomplete,  // more bytes may complete it
  Complete,    // status and body read
  Malformed,   // not an HTTP reply, or its framing is broken
  TooLarge,    // its headers or its body would pass the bounds
};

struct HttpReply {
  int Status = 0;
  std::string Body;  // the body, chunks joined
};

// The headers may take at most this many bytes.
inline constexpr std::size_t kMaxHttpHeaderBytes = 16384;

// Reads the reply in bytes, all that has arrived so far; closed says the
// peer has closed, so that no more will come (a body without length ends
// there, anything else cut short is Malformed). Lines may end with CR LF or
// LF alone; header names have no case. The body may hold at most maxBody
// bytes.
HttpState ReadHttpReply(std::string_view bytes, bool closed, std::size_t maxBody, HttpReply &reply);
