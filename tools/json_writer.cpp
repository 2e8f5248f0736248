// JSON output of the tool.
#include "tools/json_writer.h"

#include <cstdio>

namespace kestrel::tool {

std::string TJsonWriter::Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void TJsonWriter::Indent() { FText.append(2 * FHasItems.size(), ' '); }

void TJsonWriter::Key(const char* key) {
  if (!FHasItems.empty()) {
    if (FHasItems.back()) FText += ",";
    FText += "\n";
    FHasItems.back() = true;
    Indent();
  }
  if (key) FText += Quote(key) + ": ";
}

void TJsonWriter::BeginObject(const char* key) {
  Key(key);
  FText += "{";
  FHasItems.push_back(false);
}

void TJsonWriter::EndObject() {
  const bool hadItems = FHasItems.back();
  FHasItems.pop_back();
  if (hadItems) {
    FText += "\n";
    Indent();
  }
  FText += "}";
  if (FHasItems.empty()) FText += "\n";
}

void TJsonWriter::BeginArray(const char* key) {
  Key(key);
  FText += "[";
  FHasItems.push_back(false);
}

void TJsonWriter::EndArray() {
  const bool hadItems = FHasItems.back();
  FHasItems.pop_back();
  if (hadItems) {
    FText += "\n";
    Indent();
  }
  FText += "]";
  if (FHasItems.empty()) FText += "\n";
}

void TJsonWriter::String(const char* key, const std::string& value) {
  Key(key);
  FText += Quote(value);
}

void TJsonWriter::Number(const char* key, int64_t value) {
  Key(key);
  FText += std::to_string(value);
}

void TJsonWriter::Boolean(const char* key, bool value) {
  Key(key);
  FText += value ? "true" : "false";
}

}  // namespace kestrel::tool
