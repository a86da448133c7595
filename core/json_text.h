// The pieces every JSON output object is built from. Objects keep their
// fields in the order they were added.
//
// The byte rule: every byte of a reply or field becomes the character of the
// same number (0x80-0xFF as U+0080-U+00FF), so that a JSON string holds any
// byte string and encoding the decoded string as Latin-1 gives the bytes back.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

using JsonObject = nlohmann::ordered_json;

// A byte string as a JSON string by the byte rule.
JsonObject JsonBytes(std::string_view bytes);

// The JSON text of that string, quotes included, appended to out: the same
// characters as JsonLine(JsonBytes(bytes)) writes (control bytes as \b \f
// \n \r \t or \u00xx), without a document copy of the bytes.
void AppendJsonString(std::string &out, std::string_view bytes);
// The same without the quotes, for a string written in pieces.
void AppendJsonStringBody(std::string &out, std::string_view bytes);

// {"type": type}: the start of every output object.
JsonObject NewJsonObject(std::string_view type);

// The object as one line of compact JSON text (UTF-8, control bytes as JSON
// escapes), without a line end. Never throws.
std::string JsonLine(const JsonObject &object);

// ISO 8601 local date and time with milliseconds: "2024-03-05T14:07:09.042".
std::string IsoTimestamp(const LocalDateTime &time);

// {"code": code, "text": text}, the code left out when it is 0.
JsonObject ErrorFields(int code, std::string_view text);
