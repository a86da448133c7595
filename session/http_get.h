// One HTTP GET over a connection of its own, every wait ended by a
// deadline. Prints nothing and keeps no state between calls, so that any
// thread may run it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wire/http_reply.h"

struct HttpFetch {
  HttpState State = HttpState::Incomplete;  // Complete: Reply holds status and body
  HttpReply Reply;
  // Why it ended short of a reply: "" when it did not, else a line such as
  // "failed with error code: 10061 : Connection refused", "timed out",
  // "gave a malformed reply" or "gave a reply over the size bound".
  std::string Failure;
};

// GET path from address:port, with the address as the Host; reads the
// reply until it is complete, the peer closes or the tick count reaches
// deadlineMs. The body may hold at most maxBody bytes: a longer one ends
// the connection at once.
HttpFetch HttpGet(const std::string &address, int port, std::string_view path, std::uint64_t deadlineMs,
                  std::size_t maxBody);
