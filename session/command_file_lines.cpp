#include "session/command_file_lines.h"

#include "core/exit.h"
#include "core/failure_report.h"

namespace {

constexpr int kExitCannotOpen = 3;  // also a read that fails midway
constexpr int kExitNotFound = 4;

[[noreturn]] void FileFailure(const char *what, const CommandFileLines &file, int error, int exitCode) {
  ReportFailure(what + FileErrorText(error) + " " + file.Name, error);
  ExitProgram(exitCode);
}

void EndOnReadError(const CommandFileLines &file) {
  if (file.Lines.ErrorCode != 0) FileFailure("!File read Error: ", file, file.Lines.ErrorCode, kExitCannotOpen);
}

}  // namespace

CommandFileLines::~CommandFileLines() { CloseInputFile(File); }

void OpenCommandFile(CommandFileLines &file, const std::string &name) {
  file.Name = name;
  if (!FileExists(name)) {
    ReportFailure("!File not found: " + name);
    ExitProgram(kExitNotFound);
  }
  int error = 0;
  if (!OpenInputFile(name, file.File, error)) FileFailure("!File open Error: ", file, error, kExitCannotOpen);
  InputFile *input = &file.File;
  file.Lines = LineStream{};
  file.Lines.Source = [input](char *buffer, std::size_t size, int &readError) {
    return ReadInputFile(*input, buffer, size, readError);
  };
}

bool CommandFileAtEnd(CommandFileLines &file) {
  const bool atEnd = AtStreamEnd(file.Lines);
  EndOnReadError(file);
  return atEnd;
}

std::string NextCommandFileLine(CommandFileLines &file) {
  std::string line;
  if (!ReadStreamLine(file.Lines, line)) EndOnReadError(file);
  return line;
}

void CloseCommandFile(CommandFileLines &file) { CloseInputFile(file.File); }
