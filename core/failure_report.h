// The failures that every run shows, whatever the output level.
#pragma once

#include <string_view>

// The failure line as it stands, or with /json an error object carrying it
// and the error code (none when code is 0).
void ReportFailure(std::string_view line, int code = 0);
