#include "session/presentation.h"

#include "core/settings.h"

namespace {

// Every "," of `text` replaced by CR LF.
std::string CommasToLineEnds(const std::string &text) {
  std::string result;
  result.reserve(text.size() + 64);
  for (char c : text) {
    if (c == ',')
      result.append("\r\n");
    else
      result.push_back(c);
  }
  return result;
}

}  // namespace

bool EchoOn() { return !Settings.BriefOutput; }

void TransformReplyInPlace(std::string &reply) {
  if (!reply.empty() && reply.back() == '\n') reply.pop_back();
  if (!reply.empty() && reply.back() == '\r') reply.pop_back();
  if (Settings.CommaToEol && reply.find(',') != std::string::npos) reply = CommasToLineEnds(reply);
  if (Settings.DecimalComma) {
    for (char &c : reply) {
      if (c == ',')
        c = ';';
      else if (c == '.')
        c = ',';
    }
  }
}

std::string TransformReply(std::string_view reply) {
  std::string text(reply);
  TransformReplyInPlace(text);
  return text;
}
