#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#else
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

#ifdef _WIN32
const char *const kLineEnd = "\r\n";
#else
const char *const kLineEnd = "\n";
#endif

namespace {

std::vector<std::string> g_arguments;
volatile std::sig_atomic_t g_interrupted = 0;
InterruptAction g_interruptAction = nullptr;
SleepHook g_sleepHook = nullptr;
bool g_textToStandardError = false;

#ifdef _WIN32
// The system timer ticks every 15.6 ms unless a process asks for more: every
// Sleep and every select time-out would be rounded up to the next tick (a
// 5 ms pause would last 15.6 ms, a 50 ms quiet end 62 ms). The program asks
// for 1 ms ticks for its whole life and gives them back when it ends.
bool g_fineTimerHeld = false;

void ReleaseFineTimer() {
  if (g_fineTimerHeld) timeEndPeriod(1);
  g_fineTimerHeld = false;
}

void HoldFineTimer() {
  if (g_fineTimerHeld || timeBeginPeriod(1) != TIMERR_NOERROR) return;
  g_fineTimerHeld = true;
  std::atexit(ReleaseFineTimer);
}
#endif

}  // namespace

void InitPlatform(int argc, char **argv) {
#ifdef _WIN32
  // Lines carry their own CR LF; the C runtime must not add another CR.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  HoldFineTimer();
#else
  // Sleeps and receive time-outs end when they are due, not up to 50 us
  // later: the waits of a run are prescribed, the program adds nothing.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  g_arguments.clear();
  for (int i = 1; i < argc; ++i) g_arguments.emplace_back(argv[i]);
}

const std::vector<std::string> &ProgramArguments() { return g_arguments; }

void SetProgramArguments(std::vector<std::string> arguments) { g_arguments = std::move(arguments); }

const char *TargetSystemName() {
#if defined(_WIN64)
  return "Win64";
#elif defined(_WIN32)
  return "Win32";
#elif defined(__linux__)
  return "Linux";
#else
  return "Unix";
#endif
}

const char *TargetProcessorName() {
#if defined(__x86_64__) || defined(_M_X64)
  return "x86_64";
#elif defined(__aarch64__) || defined(_M_ARM64)
  return "aarch64";
#elif defined(__i386__) || defined(_M_IX86)
  return "i386";
#else
  return "unknown";
#endif
}

std::uint64_t TickCountMs() {
#ifdef _WIN32
  // The performance counter, not GetTickCount64: that one moves in steps of
  // the system tick (up to 16 ms), which listening times and windows measured
  // by it would inherit. The counter runs from system start as well.
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return static_cast<std::uint64_t>(value.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const std::uint64_t count = static_cast<std::uint64_t>(now.QuadPart);
  return count / frequency * 1000u + count % frequency * 1000u / frequency;
#else
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
#endif
}

void SetSleepHook(SleepHook hook) { g_sleepHook = hook; }

void SleepMs(std::int64_t ms) {
  if (g_sleepHook != nullptr) {
    g_sleepHook(ms);
    return;
  }
  if (ms <= 0) return;
  // In slices, each measured against the end, so that they add no time.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    CheckInterrupt();
    const Clock::duration left = end - Clock::now();
    if (left <= Clock::duration::zero()) return;
    const Clock::duration slice = std::min<Clock::duration>(left, std::chrono::milliseconds(kInterruptPollMs));
#ifdef _WIN32
    // Sleep counts whole milliseconds: rounded up, never short.
    Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
#else
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(slice).count();
    timespec rest{static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
    nanosleep(&rest, &rest);
#endif
  }
}

namespace {

#ifdef _WIN32
constexpr DWORD kControlCExit = 0xC000013Au;  // STATUS_CONTROL_C_EXIT

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second one goes on to the system's handler, which ends the process.
  if (g_interrupted != 0) return FALSE;
  g_interrupted = 1;
  return TRUE;
}
#else
extern "C" void OnInterruptSignal(int) { g_interrupted = 1; }
#endif

}  // namespace

void CatchInterrupt() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction before{};
  if (sigaction(SIGINT, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) return;
  struct sigaction action{};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  // Writes and reads go on after the signal; the handler holds for one
  // signal only, so that a second ends the process as before.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool Interrupted() { return g_interrupted != 0; }

void SetInterruptAction(InterruptAction action) { g_interruptAction = action; }

void CheckInterrupt() {
  if (g_interrupted != 0 && g_interruptAction != nullptr) g_interruptAction();
}

int InterruptExitCode() {
#ifdef _WIN32
  return static_cast<int>(kControlCExit);
#else
  return 128 + SIGINT;
#endif
}

void EndInterruptedProcess() {
  std::fflush(stdout);
  std::fflush(stderr);
#ifdef _WIN32
  ExitProcess(kControlCExit);
#else
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
  _exit(InterruptExitCode());
#endif
}

LocalDateTime CurrentLocalTime() {
#ifdef _WIN32
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
#else
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  localtime_r(&now.tv_sec, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
#endif
}

namespace {

#ifndef _WIN32
// The environment's locale, opened on its own so that the program's global
// locale (and with it every other formatting and parsing) stays "C".
locale_t EnvironmentLocale() {
  static locale_t locale = [] {
    locale_t opened = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    return opened ? opened : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  }();
  return locale;
}

// The separator between hours and minutes in the locale's time format,
// such as ":" in "%H:%M:%S" or "." in "%H.%M.%S".
std::string TimeSeparatorOf(const char *format) {
  for (const char *p = format; *p; ++p) {
    if (p[0] != '%' || p[1] == '\0') continue;
    char directive = p[1];
    if (directive == 'O' || directive == 'E') directive = p[2] ? p[2] : directive;
    if (directive == 'T' || directive == 'R') return ":";
    if (directive == 'H' || directive == 'I' || directive == 'k' || directive == 'l') {
      const char *start = p + ((p[1] == 'O' || p[1] == 'E') ? 3 : 2);
      const char *end = start;
      while (*end && *end != '%') ++end;
      if (end > start) return std::string(start, end);
      return ":";
    }
  }
  return ":";
}
#endif

}  // namespace

std::string TimeSeparator() {
  static const std::string separator = [] {
#ifdef _WIN32
    char buffer[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buffer, sizeof buffer) > 1) return std::string(buffer);
    return std::string(":");
#else
    locale_t locale = EnvironmentLocale();
    return locale ? TimeSeparatorOf(nl_langinfo_l(T_FMT, locale)) : std::string(":");
#endif
  }();
  return separator;
}

std::string DecimalSeparator() {
  static const std::string separator = [] {
#ifdef _WIN32
    char buffer[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 1) return std::string(buffer);
    return std::string(".");
#else
    locale_t locale = EnvironmentLocale();
    const char *radix = locale ? nl_langinfo_l(RADIXCHAR, locale) : nullptr;
    return (radix && *radix) ? std::string(radix) : std::string(".");
#endif
  }();
  return separator;
}

namespace {

void WriteTo(std::FILE *stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void WriteLineTo(std::FILE *stream, std::string_view text) {
  // A line of ordinary length goes out in one write, so a program stopped
  // between lines never leaves half of one; a long reply is written as it
  // stands rather than copied once more only to add its line end.
  constexpr std::size_t kOneWriteLimit = 65536;
  if (text.size() > kOneWriteLimit) {
    std::fwrite(text.data(), 1, text.size(), stream);
    WriteTo(stream, kLineEnd);
    return;
  }
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append(kLineEnd);
  WriteTo(stream, line);
}

std::FILE *TextStream() { return g_textToStandardError ? stderr : stdout; }

}  // namespace

void WriteText(std::string_view text) { WriteTo(TextStream(), text); }

void WriteLine(std::string_view text) { WriteLineTo(TextStream(), text); }

void SendTextToStandardError(bool on) { g_textToStandardError = on; }

void WriteOutputLine(std::string_view text) { WriteLineTo(stdout, text); }

void WriteOutputPiece(std::string_view text) { WriteTo(stdout, text); }

bool ReadInputLine(std::string &line) {
  line.clear();
  char buffer[512];
  bool any = false;
  while (std::fgets(buffer, sizeof buffer, stdin)) {
    any = true;
    line.append(buffer);
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
  }
  return any;
}

#ifdef _WIN32

namespace {
HANDLE HandleOf(const InputFile &file) { return reinterpret_cast<HANDLE>(file.Handle); }
}  // namespace

bool FileExists(const std::string &name) {
  if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
      return false;
    default:
      return true;
  }
}

bool OpenInputFile(const std::string &name, InputFile &file, int &error) {
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  // Windows itself refuses a directory here; some layers beneath it do not.
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(handle, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  file.Handle = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

long ReadInputFile(InputFile &file, char *buffer, std::size_t size, int &error) {
  DWORD count = 0;
  const DWORD wanted = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(HandleOf(file), buffer, wanted, &count, nullptr)) {
    const DWORD code = GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // the writer has gone: the end
    error = static_cast<int>(code);
    return -1;
  }
  return static_cast<long>(count);
}

void CloseInputFile(InputFile &file) {
  if (file.Handle == -1) return;
  CloseHandle(HandleOf(file));
  file.Handle = -1;
}

#else

bool FileExists(const std::string &name) {
  struct stat information;
  if (stat(name.c_str(), &information) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;
}

bool OpenInputFile(const std::string &name, InputFile &file, int &error) {
  int descriptor;
  do {
    descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    error = errno;
    return false;
  }
  // open() gives a directory a descriptor, but it holds no lines to read.
  struct stat information;
  if (fstat(descriptor, &information) == 0 && S_ISDIR(information.st_mode)) {
    close(descriptor);
    error = EISDIR;
    return false;
  }
  file.Handle = descriptor;
  return true;
}

long ReadInputFile(InputFile &file, char *buffer, std::size_t size, int &error) {
  ssize_t count;
  do {
    count = read(static_cast<int>(file.Handle), buffer, size);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    error = errno;
    return -1;
  }
  return static_cast<long>(count);
}

void CloseInputFile(InputFile &file) {
  if (file.Handle == -1) return;
  close(static_cast<int>(file.Handle));
  file.Handle = -1;
}

#endif

std::string FileErrorText(int code) {
#ifdef _WIN32
  char *buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text = length && buffer ? std::string(buffer, length) : std::string();
  if (buffer) LocalFree(buffer);
#else
  std::string text = std::strerror(code);
#endif
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}
