#include "wire/xdr.h"

void AppendWord(std::string &out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendOpaque(std::string &out, std::string_view data) {
  AppendWord(out, static_cast<std::uint32_t>(data.size()));
  out.append(data);
  out.append((4 - data.size() % 4) % 4, '\0');
}

bool ReadWord(std::string_view data, std::size_t &at, std::uint32_t &value) {
  if (at > data.size() || data.size() - at < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  at += 4;
  return true;
}

bool ReadOpaque(std::string_view data, std::size_t &at, std::size_t maxLength, std::string &value) {
  std::uint32_t length = 0;
  if (!ReadWord(data, at, length) || length > maxLength) return false;
  const std::size_t padded = (static_cast<std::size_t>(length) + 3) / 4 * 4;
  if (data.size() - at < padded) return false;
  value.assign(data.substr(at, length));
  at += padded;
  return true;
}
