// What a run has printed, for the closing object of /json: counted where
// every object passes (WriteJsonLine and the streamed reply objects), so
// that no mode needs to count for itself.
#pragma once

#include <string_view>

// In the order the closing object shows them.
enum class RunCount { Supplies, Modules, Instruments, Replies, Datagrams, Errors, Kinds };

// The key of a count in the closing object ("supplies", "modules", ...).
const char *RunCountKey(RunCount what);

// The closing object shows this count even while it is 0 (the driver marks
// the counts of the mode it runs; errors are always shown).
void ShowRunCount(RunCount what);
// Adds to a count; a count above 0 is shown.
void AddRunCount(RunCount what, int by = 1);
// Counts one printed object line: by its "type" (supply, teracom, lxi,
// reply, datagram, error), and as an error when it carries an "error" field.
void CountJsonObject(std::string_view line);
// The same for an object written in pieces, by its type and error field.
void CountJsonObjectOf(std::string_view type, bool carriesError);

// The count and whether the closing object shows it.
int RunCountValue(RunCount what);
bool RunCountShown(RunCount what);

// Back to no counts (a new run; tests).
void ResetRunCounts();
