#include "core/failure_report.h"

#include "core/json_output.h"
#include "core/settings.h"
#include "platform/platform.h"

void ReportFailure(std::string_view line, int code) {
  if (Settings.JsonOutput) {
    WriteJsonLine(ErrorJson(code, line));
  } else {
    WriteLine(line);
  }
}
