// Platform interfaces: the only place besides net/ that knows which
// operating system it runs on. Everything here is plain procedures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Line end of every printed line: CR LF on Windows, LF elsewhere.
extern const char *const kLineEnd;

// Called once at the very start of the process: console in binary mode,
// process arguments 1..N recorded (argv[0], the program path, left out), and
// timers made exact to the millisecond (Windows: 1 ms timer ticks, held
// until the process ends; elsewhere: no timer slack).
void InitPlatform(int argc, char **argv);

// Process arguments 1..N as given to the program (argument 0 left out).
const std::vector<std::string> &ProgramArguments();
void SetProgramArguments(std::vector<std::string> arguments);  // tests

// Names of the build's target, as the help text shows them ("Win64" or
// "Linux"; "x86_64").
const char *TargetSystemName();
const char *TargetProcessorName();

// Monotonic milliseconds since system start (64 bit).
std::uint64_t TickCountMs();
// Sleep for ms milliseconds; 0 or less returns at once. Looks at the
// interrupt flag (below) at least every kInterruptPollMs.
void SleepMs(std::int64_t ms);

// Ctrl-C. After CatchInterrupt, SIGINT (Windows: the console's Ctrl+C and
// Ctrl+Break) only sets a flag; a second one ends the process at once, as
// it would have without the handler. Every wait of the program (SleepMs,
// the socket waits of net/) looks at the flag at least every
// kInterruptPollMs and, once it is set, calls the interrupt action, which
// ends the run between two lines. A SIGINT that the process was started
// with ignored stays ignored.
void CatchInterrupt();
bool Interrupted();
using InterruptAction = void (*)();
void SetInterruptAction(InterruptAction action);
// What the waits call: the interrupt action when the flag is set.
void CheckInterrupt();
inline constexpr int kInterruptPollMs = 50;
// The exit code of a run ended by Ctrl-C, as the caller sees it: 130 on
// Linux (128 + SIGINT, what shells show), STATUS_CONTROL_C_EXIT
// (0xC000013A) on Windows.
int InterruptExitCode();
// Ends the process as Ctrl-C alone would have: killed by SIGINT (Linux),
// exit code STATUS_CONTROL_C_EXIT (Windows). Standard output is flushed.
[[noreturn]] void EndInterruptedProcess();

// Test seam: while set, SleepMs hands its milliseconds to the hook instead
// of sleeping (fuzz targets run the parser without its pauses; tests record
// the pauses of a run). nullptr restores real sleeps.
using SleepHook = void (*)(std::int64_t ms);
void SetSleepHook(SleepHook hook);

// Local date and time with milliseconds.
struct LocalDateTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalDateTime CurrentLocalTime();

// Separators from the user's regional settings (Windows) or the locale
// of the environment (elsewhere). Reading them changes no other
// formatting or parsing of the program.
std::string TimeSeparator();
std::string DecimalSeparator();

// Text lines: every call writes through and flushes at once. They go to
// standard output, or to standard error once SendTextToStandardError(true)
// was called (standard output then carries only WriteOutputLine's lines).
void WriteText(std::string_view text);  // as it stands, no line end
void WriteLine(std::string_view text);  // text followed by kLineEnd
void SendTextToStandardError(bool on);
// A line on standard output whatever the text lines do: text, kLineEnd,
// flushed at once.
void WriteOutputLine(std::string_view text);
// A piece of a line on standard output, no line end, flushed (a long JSON
// object is written in pieces; its last piece ends with kLineEnd).
void WriteOutputPiece(std::string_view text);

// Standard input: reads one line; false when input is closed or at its end.
bool ReadInputLine(std::string &line);

// Files read as a stream of bytes, never whole. Error codes are the
// system's own (errno; GetLastError() on Windows), for FileErrorText.
struct InputFile {
  std::intptr_t Handle = -1;  // -1: not open
};
// False only when the system says that nothing of that name exists; a name
// it cannot look up for other reasons counts as existing, so that opening
// it reports why.
bool FileExists(const std::string &name);
// Opens name for reading. A directory cannot be opened as a file: false
// with the system's code for that (EISDIR; ERROR_ACCESS_DENIED on Windows).
bool OpenInputFile(const std::string &name, InputFile &file, int &error);
// Reads up to size bytes: the count, 0 at the end, -1 on failure (error set).
long ReadInputFile(InputFile &file, char *buffer, std::size_t size, int &error);
void CloseInputFile(InputFile &file);

// The operating system's message text for a file error code, without a
// trailing line break.
std::string FileErrorText(int code);
