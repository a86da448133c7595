// The switches of the command line: names, values and effects on Settings.
// Used by the argument loop of the parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Where the argument loop stands.
struct ParseState {
  const std::vector<std::string> &arguments;
  std::size_t next = 0;        // index of the next argument to read
  std::string lastValue;       // the value read last; a rejection names it
  bool echoRequested = false;  // /n seen: BriefOutput goes off after parsing
  bool modbusGiven = false;    // /mod seen: no instrument protocol may carry it
};

// A switch's effect; reads its values through ReadValue. Returns false when
// the switch rejects its value.
using SwitchAction = bool (*)(ParseState &state);

// The action of a keyword (upper case, prefix removed), or nullptr.
SwitchAction FindSwitch(std::string_view keyword);
