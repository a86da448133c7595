#include "wire/http_reply.h"

#include <cstdint>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The line at at, without its end; at moves past the end. False when no
// line end has come yet.
bool NextLine(std::string_view bytes, std::size_t &at, std::string_view &line) {
  const std::size_t end = bytes.find('\n', at);
  if (end == std::string_view::npos) return false;
  line = bytes.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = end + 1;
  return true;
}

// Digits of base 10 or 16 alone, the value at most limit.
bool ReadNumber(std::string_view text, unsigned base, std::uint64_t limit, std::uint64_t &value) {
  if (text.empty()) return false;
  value = 0;
  for (const char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f') {
      digit = static_cast<unsigned>(Lower(c) - 'a' + 10);
    } else {
      return false;
    }
    value = value * base + digit;
    if (value > limit) return false;
  }
  return true;
}

struct Framing {
  bool Chunked = false;
  bool Sized = false;
  std::uint64_t Length = 0;
};

HttpState ReadChunks(std::string_view bytes, std::size_t at, bool closed, std::size_t maxBody, std::string &body) {
  for (;;) {
    std::string_view line;
    if (!NextLine(bytes, at, line)) break;
    std::uint64_t size = 0;
    const std::string_view digits = Trimmed(line.substr(0, line.find(';')));
    if (!ReadNumber(digits, 16, UINT32_MAX, size)) return digits.size() > 8 ? HttpState::TooLarge : HttpState::Malformed;
    if (size > maxBody - body.size()) return HttpState::TooLarge;
    if (size == 0) {
      // Trailer lines up to an empty one.
      while (NextLine(bytes, at, line)) {
        if (line.empty()) return HttpState::Complete;
      }
      break;
    }
    if (bytes.size() - at < size) break;
    body.append(bytes.substr(at, size));
    at += size;
    if (!NextLine(bytes, at, line)) break;
    if (!line.empty()) return HttpState::Malformed;
  }
  return closed ? HttpState::Malformed : HttpState::Incomplete;
}

}  // namespace

std::string BuildHttpGet(std::string_view path, std::string_view host) {
  std::string request = "GET ";
  request.append(path);
  request += " HTTP/1.1\r\nHost: ";
  request.append(host);
  request += "\r\nConnection: close\r\n\r\n";
  return request;
}

HttpState ReadHttpReply(std::string_view bytes, bool closed, std::size_t maxBody, HttpReply &reply) {
  reply = HttpReply();
  std::size_t at = 0;
  std::string_view line;
  const HttpState cut = closed ? HttpState::Malformed : HttpState::Incomplete;
  if (!NextLine(bytes, at, line)) return bytes.size() > kMaxHttpHeaderBytes ? HttpState::TooLarge : cut;
  // "HTTP/1.x 200 OK"
  std::uint64_t status = 0;
  if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[8] != ' ' ||
      !ReadNumber(line.substr(9, 3), 10, 999, status) || (line.size() > 12 && line[12] != ' '))
    return HttpState::Malformed;
  Framing framing;
  for (;;) {
    if (!NextLine(bytes, at, line)) return bytes.size() > kMaxHttpHeaderBytes ? HttpState::TooLarge : cut;
    if (at > kMaxHttpHeaderBytes) return HttpState::TooLarge;
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return HttpState::Malformed;
    const std::string_view name = line.substr(0, colon), value = Trimmed(line.substr(colon + 1));
    if (SameText(name, "Content-Length")) {
      std::uint64_t length = 0;
      if (!ReadNumber(value, 10, UINT64_MAX / 16, length)) return HttpState::Malformed;
      if (framing.Sized && length != framing.Length) return HttpState::Malformed;
      framing.Sized = true;
      framing.Length = length;
    } else if (SameText(name, "Transfer-Encoding")) {
      const std::size_t comma = value.rfind(',');
      framing.Chunked = SameText(Trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1)), "chunked");
      if (!framing.Chunked) return HttpState::Malformed;
    }
  }
  reply.Status = static_cast<int>(status);
  // No body: 1xx, 204 and 304.
  if (status < 200 || status == 204 || status == 304) return HttpState::Complete;
  if (framing.Chunked) return ReadChunks(bytes, at, closed, maxBody, reply.Body);
  const std::size_t held = bytes.size() - at;
  if (framing.Sized) {
    if (framing.Length > maxBody) return HttpState::TooLarge;
    if (held < framing.Length) return cut;
    reply.Body.assign(bytes.substr(at, framing.Length));
    return HttpState::Complete;
  }
  if (held > maxBody) return HttpState::TooLarge;
  if (!closed) return HttpState::Incomplete;
  reply.Body.assign(bytes.substr(at));
  return HttpState::Complete;
}
