// One JSON object line built field by field. Written to standard output it
// goes out in pieces as it grows, so a reply of any size costs a piece of
// memory beside itself, not a document copy and its escaped text.
#pragma once

#include <string>
#include <string_view>

#include "core/json_text.h"

struct JsonLineWriter {
  std::string Text;        // what is not written yet (all of it when kept)
  bool ToOutput = false;   // standard output, in pieces; else kept in Text
  std::string Type;        // the object's "type", for the closing counts
  bool CarriesError = false;
  bool FirstItem = true;   // in an array: no comma before the next item
};

// {"type":type
void BeginJsonLine(JsonLineWriter &writer, std::string_view type);
// ,"key":"bytes" by the byte rule.
void AddJsonBytes(JsonLineWriter &writer, std::string_view key, std::string_view bytes);
// ,"key":"00 0A FF": the bytes as spaced upper-case hex.
void AddJsonSpacedHex(JsonLineWriter &writer, std::string_view key, std::string_view bytes);
// ,"key":value for a small value (a key "error" marks the object as failed).
void AddJsonValue(JsonLineWriter &writer, std::string_view key, const JsonObject &value);
// ,"key":[ ... ] item by item.
void BeginJsonArray(JsonLineWriter &writer, std::string_view key);
void AddJsonItem(JsonLineWriter &writer, const JsonObject &value);
void EndJsonArray(JsonLineWriter &writer);
// "}": kept, the line (without line end) is returned; to standard output,
// the rest goes out with the line end, the object is counted for the
// closing object, and "" is returned.
std::string EndJsonLine(JsonLineWriter &writer);
