// JSON output: one object per line on standard output. The objects are
// built by the *_json.cpp files beside each mode.
#pragma once

#include <string>
#include <string_view>

// Standard output from now on carries only JSON lines; every text line
// (verbose, echo, help) goes to standard error.
void StartJsonOutput();

// One JSON object line on standard output, flushed at once, counted for
// the closing object (run_counts.h).
void WriteJsonLine(std::string_view line);

// {"type":"error","code":code,"text":text} for a failure that the text mode
// always shows (text is that line); no "code" when code is 0.
std::string ErrorJson(int code, std::string_view text);

// {"type":"summary","<counted>":count}: the closing object of a discovery.
std::string SummaryJson(std::string_view counted, int count);

// {"type":"end","exit":code,<counts>}: the closing object of every run,
// written by ExitProgram. The counts are those the run shows
// (run_counts.h), "errors" always last.
std::string EndJson(int exitCode);
