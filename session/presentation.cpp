#include "session/presentation.h"

#include "app/settings.h"

namespace {

// Every "," of `text` replaced by `to`.
std::string ReplaceCommas(const std::string &text, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == ',')
      result.append(to);
    else
      result.push_back(c);
  }
  return result;
}

}  // namespace

std::string TransformReply(std::string_view reply) {
  std::string text(reply);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (Settings.CommaToEol) text = ReplaceCommas(text, "\r\n");
  if (Settings.DecimalComma) {
    text = ReplaceCommas(text, ";");
    for (char &c : text)
      if (c == '.') c = ',';
  }
  return text;
}
