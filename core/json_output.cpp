#include "core/json_output.h"

#include "core/json_text.h"
#include "core/run_counts.h"
#include "platform/platform.h"

void StartJsonOutput() { SendTextToStandardError(true); }

void WriteJsonLine(std::string_view line) {
  CountJsonObject(line);
  WriteOutputLine(line);
}

std::string ErrorJson(int code, std::string_view text) {
  JsonObject object = NewJsonObject("error");
  object.update(ErrorFields(code, text));
  return JsonLine(object);
}

std::string SummaryJson(std::string_view counted, int count) {
  JsonObject object = NewJsonObject("summary");
  object[std::string(counted)] = count;
  return JsonLine(object);
}

std::string EndJson(int exitCode) {
  JsonObject object = NewJsonObject("end");
  object["exit"] = exitCode;
  for (int i = 0; i < static_cast<int>(RunCount::Kinds); ++i) {
    const auto what = static_cast<RunCount>(i);
    if (RunCountShown(what)) object[RunCountKey(what)] = RunCountValue(what);
  }
  return JsonLine(object);
}
