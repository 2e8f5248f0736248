// RFC 4180 reading and writing for the kestrel tool.
#include "tools/csv.h"

#include <stdexcept>

namespace kestrel::tool {

namespace {

[[noreturn]] void Bad(int line, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

}  // namespace

bool TCsvReader::Next(std::vector<std::string>& fields, int& line) {
  fields.clear();
  if (FPos >= FText.size()) return false;
  line = FLine;
  std::string field;
  bool quoted = false;     // inside a quoted field
  bool wasQuoted = false;  // the current field was quoted and is closed
  while (FPos < FText.size()) {
    const char c = FText[FPos++];
    if (quoted) {
      if (c == '"') {
        if (FPos < FText.size() && FText[FPos] == '"') {
          field += '"';
          ++FPos;
        } else {
          quoted = false;
          wasQuoted = true;
        }
      } else {
        if (c == '\n') ++FLine;
        field += c;
      }
      continue;
    }
    if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      wasQuoted = false;
    } else if (c == '\r' && FPos < FText.size() && FText[FPos] == '\n') {
      continue;  // the LF ends the record
    } else if (c == '\n') {
      ++FLine;
      fields.push_back(std::move(field));
      return true;
    } else if (c == '"') {
      if (!field.empty() || wasQuoted) Bad(FLine, "quote inside an unquoted field");
      quoted = true;
    } else {
      if (wasQuoted) Bad(FLine, "text after a closing quote");
      field += c;
    }
  }
  if (quoted) Bad(line, "quoted field without its closing quote");
  fields.push_back(std::move(field));
  return true;
}

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    out += CsvField(fields[i]);
  }
  if (fields.size() == 1 && fields[0].empty()) out = "\"\"";
  return out + "\r\n";
}

}  // namespace kestrel::tool
