// Commands and command files to one instrument over UDP: every command
// goes out as one datagram from a fresh endpoint, while a listener on the
// listening port prints every datagram that arrives there.
#pragma once

#include <cstdint>

// Runs the mode: sends Settings.Command (whole, or its ";" fields with
// SplitCommands) or the lines of Settings.FileName (FileMode), then listens
// until windowMs have passed since the last command went out. A missing or
// unreadable command file ends the program (exit codes 4 and 3).
void RunUdpCommandMode(std::int64_t windowMs);

// ---- Pieces of the run, apart from its sockets ----

// How long the listener stays open. The window of W ms starts when the
// last command goes out (or when listening starts, if none does); the
// fixed pauses and every received datagram move its end further out.
struct UdpWindow {
  std::uint64_t End = 0;       // tick count at which the run ends
  std::int64_t LengthMs = 0;   // W
};
UdpWindow OpenUdpWindow(std::uint64_t now, std::int64_t lengthMs);
void RestartWindow(UdpWindow &window, std::uint64_t sentAt);  // a command went out
void ExtendWindow(UdpWindow &window, std::int64_t ms);        // a pause, a datagram
bool WindowOpen(const UdpWindow &window, std::uint64_t now);

