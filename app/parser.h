// The command line: arguments into Settings, in order, then the post-parse
// step (address completion, checks, configuration commands).
#pragma once

// Reads ProgramArguments() into Settings. Ends the process through
// ExitProgram on help (1) and on every error (2); returns otherwise.
void ParseCommandLine();
