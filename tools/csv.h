// CSV as the kestrel tool reads and writes it: RFC 4180, UTF-8, comma
// separated, fields in double quotes when they hold a comma, a quote, a CR
// or an LF (quotes doubled inside), records ended by CR LF. The reader also
// takes records ended by a bare LF, and line breaks inside quoted fields are
// kept as they are, so what the writer writes reads back unchanged.
#pragma once

#include <string>
#include <vector>

namespace kestrel::tool {

// Reads records one after another from a whole file's text.
class TCsvReader {
 public:
  explicit TCsvReader(std::string text) : FText(std::move(text)) {}

  // The next record's fields; false at the end. `line` gets the 1-based line
  // on which the record starts. A quote in the middle of an unquoted field,
  // text after a closing quote, or a quoted field that never ends is an
  // error: std::runtime_error naming the line.
  bool Next(std::vector<std::string>& fields, int& line);

 private:
  std::string FText;
  std::size_t FPos = 0;
  int FLine = 1;
};

// One field as the writer stores it.
std::string CsvField(const std::string& value);
// A record: its fields joined by commas, ended by CR LF.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace kestrel::tool
