#include "core/json_stream.h"

#include <algorithm>

#include "core/run_counts.h"
#include "platform/platform.h"

namespace {

// Standard output gets the text in pieces of about this size.
constexpr std::size_t kPieceBytes = 1 << 16;
// Bytes escaped per step: at most 6 characters each.
constexpr std::size_t kBytesPerStep = kPieceBytes / 8;

void WritePiece(JsonLineWriter &writer) {
  if (!writer.ToOutput || writer.Text.size() < kPieceBytes) return;
  WriteOutputPiece(writer.Text);
  writer.Text.clear();
}

void AddKey(JsonLineWriter &writer, std::string_view key) {
  writer.Text.push_back(',');
  AppendJsonString(writer.Text, key);
  writer.Text.push_back(':');
}

}  // namespace

void BeginJsonLine(JsonLineWriter &writer, std::string_view type) {
  writer.Type = type;
  writer.Text = "{\"type\":";
  AppendJsonString(writer.Text, type);
}

void AddJsonBytes(JsonLineWriter &writer, std::string_view key, std::string_view bytes) {
  AddKey(writer, key);
  writer.Text.push_back('"');
  while (!bytes.empty()) {
    const std::size_t step = std::min(bytes.size(), kBytesPerStep);
    AppendJsonStringBody(writer.Text, bytes.substr(0, step));
    bytes.remove_prefix(step);
    WritePiece(writer);
  }
  writer.Text.push_back('"');
}

void AddJsonSpacedHex(JsonLineWriter &writer, std::string_view key, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  AddKey(writer, key);
  writer.Text.push_back('"');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (i > 0) writer.Text.push_back(' ');
    writer.Text.push_back(kHex[byte >> 4]);
    writer.Text.push_back(kHex[byte & 0x0F]);
    if (i % kBytesPerStep == 0) WritePiece(writer);
  }
  writer.Text.push_back('"');
}

void AddJsonValue(JsonLineWriter &writer, std::string_view key, const JsonObject &value) {
  if (key == "error") writer.CarriesError = true;
  AddKey(writer, key);
  writer.Text += JsonLine(value);
}

void BeginJsonArray(JsonLineWriter &writer, std::string_view key) {
  AddKey(writer, key);
  writer.Text.push_back('[');
  writer.FirstItem = true;
}

void AddJsonItem(JsonLineWriter &writer, const JsonObject &value) {
  if (!writer.FirstItem) writer.Text.push_back(',');
  writer.FirstItem = false;
  writer.Text += JsonLine(value);
  WritePiece(writer);
}

void EndJsonArray(JsonLineWriter &writer) { writer.Text.push_back(']'); }

std::string EndJsonLine(JsonLineWriter &writer) {
  writer.Text.push_back('}');
  if (!writer.ToOutput) return std::move(writer.Text);
  CountJsonObjectOf(writer.Type, writer.CarriesError);
  WriteOutputLine(writer.Text);
  writer.Text.clear();
  return {};
}
