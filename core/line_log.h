// Lines on their way to the output. Work that runs on a worker thread never
// prints: it keeps its lines in a log, and the thread that runs the mode
// prints the log when the work's turn comes. A log that does not keep
// prints each line at once, so the same code serves both.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct LoggedLine {
  enum class Kind { Line, Text, Failure };
  Kind kind = Kind::Line;
  std::string text;
  int code = 0;  // Failure: the error code its JSON object carries
};

struct LineLog {
  bool Keep = false;  // false: every line is printed at once
  std::vector<LoggedLine> Lines;
};

// As WriteLine, WriteText (no line end) and ReportFailure.
void LogLine(LineLog &log, std::string_view text);
void LogText(LineLog &log, std::string_view text);
void LogFailure(LineLog &log, std::string_view line, int code = 0);

// Prints what log kept, in order, and empties it.
void PrintLog(LineLog &log);
