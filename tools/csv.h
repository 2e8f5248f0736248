// CSV as the kestrel tool reads and writes it: RFC 4180, UTF-8, comma
// separated, fields in double quotes when they hold the delimiter, a quote,
// a CR or an LF (quotes doubled inside), records ended by CR LF. NULL is an
// empty unquoted field and the empty text is "" (a quoted empty field), so
// what the writer writes reads back unchanged.
//
// The reader streams: it holds one buffer of input, never the whole file. It
// takes a file or standard input ("-"), in UTF-8 or in any encoding ICU
// knows, skips a UTF-8 byte-order mark, takes records ended by a bare LF,
// keeps line breaks inside quoted fields, and ignores blank lines at the end.
// It refuses, naming the line and column: bytes that are not UTF-8 (or not
// text of the given encoding), overlong UTF-8 sequences, NUL bytes, a quote
// in the middle of an unquoted field, text after a closing quote and a
// quoted field that never ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::tool {

struct TCsvField {
  std::string Text;     // UTF-8
  bool Quoted = false;  // written in quotes: "" is the empty text, not NULL
};

struct TCsvDialect {
  char Delimiter = ',';
  std::string Encoding;  // an ICU converter name; "" for UTF-8
};

// The delimiter a --delimiter argument names: one ASCII character other than
// a quote, CR or LF, or "tab" / "\t". Throws std::runtime_error otherwise.
char ParseDelimiter(const std::string& text);

// Whether text is UTF-8 without overlong sequences and NUL bytes.
bool IsUtf8(const std::string& text);

// At most the first 80 characters of a UTF-8 value, in quotes, for messages;
// a longer value ends in "...".
std::string QuoteValue(const std::string& text);

// A whole CSV text held in memory (UTF-8), as a reader's input.
struct TCsvText {
  std::string Text;
};

class TCsvReader {
 public:
  explicit TCsvReader(TCsvText text, const TCsvDialect& dialect = {});
  // Reads the file `path`, or standard input for "-". Refuses (with
  // std::runtime_error) a missing file, a directory, a FIFO or a device, and
  // an encoding ICU does not know.
  TCsvReader(const std::string& path, const TCsvDialect& dialect);
  ~TCsvReader();
  TCsvReader(const TCsvReader&) = delete;
  TCsvReader& operator=(const TCsvReader&) = delete;

  // The next record's fields; false at the end. `line` gets the 1-based line
  // on which the record starts. Errors are std::runtime_error "line N: ...".
  bool Next(std::vector<TCsvField>& fields, int& line);
  // Makes blank lines at the end records of one empty field too. A file of
  // one column needs it: that is how its NULL values look in the last rows.
  void KeepBlankLinesAtEnd() { FKeepBlankLinesAtEnd = true; }

  // Bytes of input consumed so far, and the input's size (0 when unknown).
  std::uint64_t BytesRead() const { return FBytesRead; }
  std::uint64_t InputSize() const { return FInputSize; }

 private:
  struct TDecoder;
  // The next byte of UTF-8 text, -1 at the end.
  int Get() {
    if (FPos == FText.size() && !Fill()) return -1;
    return static_cast<unsigned char>(FText[FPos++]);
  }
  int Peek() {
    if (FPos == FText.size() && !Fill()) return -1;
    return static_cast<unsigned char>(FText[FPos]);
  }
  bool Fill();
  void Validate(std::size_t from);
  bool ReadRecord(std::vector<TCsvField>& fields, int& line, bool& blank);
  // Hands out one of the blank lines counted in FBlankLines as a record.
  void TakeBlankLine(std::vector<TCsvField>& fields, int& line);

  TCsvDialect FDialect;
  std::FILE* FFile = nullptr;
  bool FOwnsFile = false;
  std::string FName;
  std::unique_ptr<TDecoder> FDecoder;
  std::string FText;  // decoded UTF-8 not yet parsed starts at FPos
  std::size_t FPos = 0;
  bool FEnd = false;
  bool FFirstFill = true;
  std::uint64_t FBytesRead = 0, FInputSize = 0;
  int FLine = 1;
  // The UTF-8 check across buffer fills: where it stands in the text.
  int FCheckLine = 1, FCheckColumn = 0;
  int FPendingContinuation = 0;
  std::uint32_t FCodePoint = 0, FMinCodePoint = 0;
  // Blank lines read ahead, and the record found after them.
  int FBlankLines = 0, FBlankLine = 0;
  bool FKeepBlankLinesAtEnd = false;
  bool FHasStash = false;
  std::vector<TCsvField> FStash;
  int FStashLine = 0;
};

// One field as the writer stores it, and a record: its fields joined by the
// delimiter, ended by CR LF.
std::string CsvField(const TCsvField& field, char delimiter = ',');
std::string CsvRecord(const std::vector<TCsvField>& fields, char delimiter = ',');

}  // namespace kestrel::tool
