// A command file read line by line, as the TCP file session and the UDP
// command mode read it. Every failure prints its line and ends the program:
//   no such file          "!File not found: " + name, exit code 4
//   cannot be opened      "!File open Error: " + system message + " " + name, exit code 3
//   read fails midway     "!File read Error: " + system message + " " + name, exit code 3
#pragma once

#include <string>

#include "platform/platform.h"
#include "session/line_stream.h"

struct CommandFileLines {
  CommandFileLines() = default;
  CommandFileLines(const CommandFileLines &) = delete;
  CommandFileLines &operator=(const CommandFileLines &) = delete;
  ~CommandFileLines();

  std::string Name;
  InputFile File;
  LineStream Lines;  // reads from File
};

// Opens name, or ends the program.
void OpenCommandFile(CommandFileLines &file, const std::string &name);
// True when no line is left.
bool CommandFileAtEnd(CommandFileLines &file);
// The next line without its line end.
std::string NextCommandFileLine(CommandFileLines &file);
void CloseCommandFile(CommandFileLines &file);
