#include "core/line_log.h"

#include <utility>

#include "core/failure_report.h"
#include "platform/platform.h"

namespace {

void Print(const LoggedLine &line) {
  switch (line.kind) {
    case LoggedLine::Kind::Line:
      WriteLine(line.text);
      break;
    case LoggedLine::Kind::Text:
      WriteText(line.text);
      break;
    case LoggedLine::Kind::Failure:
      ReportFailure(line.text, line.code);
      break;
  }
}

void Log(LineLog &log, LoggedLine line) {
  if (log.Keep) {
    log.Lines.push_back(std::move(line));
  } else {
    Print(line);
  }
}

}  // namespace

void LogLine(LineLog &log, std::string_view text) { Log(log, {LoggedLine::Kind::Line, std::string(text)}); }

void LogText(LineLog &log, std::string_view text) { Log(log, {LoggedLine::Kind::Text, std::string(text)}); }

void LogFailure(LineLog &log, std::string_view line, int code) {
  Log(log, {LoggedLine::Kind::Failure, std::string(line), code});
}

void PrintLog(LineLog &log) {
  for (const LoggedLine &line : log.Lines) Print(line);
  log.Lines.clear();
}
