// The command line: arguments into Settings, in order, then the post-parse
// step (address completion, checks, configuration commands).
#pragma once

// Reads ProgramArguments() into Settings. Ends the process through
// ExitProgram on help (1) and on every error (2); returns otherwise.
void ParseCommandLine();

// Turns JSON output on when /json (or -json) is among the arguments, before
// anything else is read (ParseCommandLine does it first; main before the
// socket service starts, whose failure is an error line too).
void StartJsonOutputIfAsked();
