// Streaming RFC 4180 reading and writing for the kestrel tool. The reader
// decodes one buffer at a time (ICU for encodings other than UTF-8), checks
// the UTF-8 of each buffer as it arrives (a sequence cut by the buffer's end
// is finished in the next one) and parses records byte by byte from it.
#include "tools/csv.h"

#include <sys/stat.h>
#include <unicode/ucnv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "engine/base/code_page.h"

namespace kestrel::tool {

namespace {

constexpr std::size_t kChunkBytes = 1 << 16;
constexpr std::size_t kQuotedCharacters = 80;
constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;
constexpr std::uint32_t kFirstSurrogate = 0xD800, kLastSurrogate = 0xDFFF;

[[noreturn]] void Bad(int line, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

[[noreturn]] void BadAt(int line, int column, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
}

bool IsUtf8Name(const std::string& name) {
  return name.empty() || ucnv_compareNames(name.c_str(), "UTF-8") == 0;
}

constexpr const char* kEncodingHint = "give --encoding NAME for a file in another encoding (windows-1250, ISO-8859-1, ...)";

}  // namespace

char ParseDelimiter(const std::string& text) {
  if (text == "tab" || text == "\\t" || text == "\t") return '\t';
  if (text.size() != 1 || static_cast<unsigned char>(text[0]) >= 0x80 || text[0] == '"' || text[0] == '\r' ||
      text[0] == '\n' || text[0] == '\0')
    throw std::runtime_error("--delimiter takes one ASCII character other than a quote or a line break, or \"tab\"; not " +
                             QuoteValue(text));
  return text[0];
}

bool IsUtf8(const std::string& text) {
  try {
    TCsvReader check(TCsvText{text});  // checks the whole text
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::string QuoteValue(const std::string& text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == kQuotedCharacters)
      return "\"" + text.substr(0, i) + "...\"";
  }
  return "\"" + text + "\"";
}

// An ICU converter from the file's encoding to UTF-16 that stops at the
// first byte sequence the encoding does not define.
struct TCsvReader::TDecoder {
  UConverter* Converter = nullptr;
  std::string Name;
  explicit TDecoder(const std::string& name) : Name(name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter = ucnv_open(name.c_str(), &status);
    if (U_FAILURE(status))
      throw std::runtime_error("unknown encoding " + QuoteValue(name) +
                               "; ICU names such as windows-1250, ISO-8859-1 or UTF-16LE are known");
    ucnv_setToUCallBack(Converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  ~TDecoder() { ucnv_close(Converter); }
  // Appends the UTF-8 text of bytes; false when a byte sequence is not of
  // the encoding (the text before it is appended).
  bool Decode(const char* bytes, std::size_t size, bool flush, std::string& out) {
    const char* source = bytes;
    const char* sourceEnd = bytes + size;
    std::u16string buffer(kChunkBytes, u'\0');
    for (;;) {
      UErrorCode status = U_ZERO_ERROR;
      UChar* target = reinterpret_cast<UChar*>(buffer.data());
      UChar* const begin = target;
      ucnv_toUnicode(Converter, &target, begin + buffer.size(), &source, sourceEnd, nullptr, flush, &status);
      out += Utf16ToUtf8(std::u16string_view(buffer.data(), static_cast<std::size_t>(target - begin)));
      if (status == U_BUFFER_OVERFLOW_ERROR) continue;
      return U_SUCCESS(status);
    }
  }
};

TCsvReader::TCsvReader(TCsvText text, const TCsvDialect& dialect)
    : FDialect(dialect), FName("the text"), FText(std::move(text.Text)), FEnd(true) {
  if (FText.compare(0, sizeof kByteOrderMark, reinterpret_cast<const char*>(kByteOrderMark), sizeof kByteOrderMark) == 0)
    FPos = sizeof kByteOrderMark;
  FFirstFill = false;
  Validate(FPos);
  if (FPendingContinuation > 0) BadAt(FCheckLine, FCheckColumn, "a UTF-8 sequence cut short by the end of the file");
}

TCsvReader::TCsvReader(const std::string& path, const TCsvDialect& dialect) : FDialect(dialect), FName(path) {
  if (!IsUtf8Name(dialect.Encoding)) FDecoder = std::make_unique<TDecoder>(dialect.Encoding);
  if (path == "-") {
    FFile = stdin;
    FName = "standard input";
    return;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    throw std::runtime_error(path + " is not a regular file" + (S_ISFIFO(info.st_mode) ? " (a FIFO)" : "") +
                             "; give - to read standard input");
  FInputSize = static_cast<std::uint64_t>(info.st_size);
  FFile = std::fopen(path.c_str(), "rb");
  if (FFile == nullptr) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  FOwnsFile = true;
}

TCsvReader::~TCsvReader() {
  if (FOwnsFile) std::fclose(FFile);
}

bool TCsvReader::Fill() {
  FText.clear();
  FPos = 0;
  std::string raw(kChunkBytes, '\0');
  while (FText.empty() && !FEnd) {
    const std::size_t read = std::fread(raw.data(), 1, raw.size(), FFile);
    if (read < raw.size()) {
      if (std::ferror(FFile)) throw std::runtime_error("cannot read " + FName + ": " + std::strerror(errno));
      FEnd = true;
    }
    FBytesRead += read;
    bool decoded = true;
    if (FDecoder)
      decoded = FDecoder->Decode(raw.data(), read, FEnd, FText);
    else
      FText.append(raw.data(), read);
    std::size_t from = 0;
    if (FFirstFill) {
      FFirstFill = false;
      if (FText.compare(0, sizeof kByteOrderMark, reinterpret_cast<const char*>(kByteOrderMark),
                        sizeof kByteOrderMark) == 0)
        FPos = from = sizeof kByteOrderMark;
    }
    Validate(from);
    if (!decoded)
      BadAt(FCheckLine, FCheckColumn + 1, "bytes that are not " + FDecoder->Name + " text");
    if (FEnd && FPendingContinuation > 0)
      BadAt(FCheckLine, FCheckColumn, "a UTF-8 sequence cut short by the end of the file");
    if (FPos == FText.size()) {  // only a byte-order mark so far
      FText.clear();
      FPos = 0;
    }
  }
  return FPos < FText.size();
}

void TCsvReader::Validate(std::size_t from) {
  for (std::size_t i = from; i < FText.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(FText[i]);
    if (FPendingContinuation > 0) {
      if ((c & 0xC0) != 0x80) BadAt(FCheckLine, FCheckColumn, std::string("invalid UTF-8; ") + kEncodingHint);
      FCodePoint = FCodePoint << 6 | (c & 0x3F);
      if (--FPendingContinuation == 0) {
        if (FCodePoint < FMinCodePoint) BadAt(FCheckLine, FCheckColumn, "an overlong UTF-8 sequence");
        if (FCodePoint > kLastCodePoint || (FCodePoint >= kFirstSurrogate && FCodePoint <= kLastSurrogate))
          BadAt(FCheckLine, FCheckColumn, std::string("invalid UTF-8; ") + kEncodingHint);
      }
      continue;
    }
    ++FCheckColumn;
    if (c == 0) BadAt(FCheckLine, FCheckColumn, "a NUL byte, which no text may hold");
    if (c < 0x80) {
      if (c == '\n') {
        ++FCheckLine;
        FCheckColumn = 0;
      }
    } else if (c == 0xC0 || c == 0xC1) {
      BadAt(FCheckLine, FCheckColumn, "an overlong UTF-8 sequence");
    } else if (c < 0xC0 || c > 0xF4) {
      BadAt(FCheckLine, FCheckColumn, std::string("invalid UTF-8; ") + kEncodingHint);
    } else {
      FPendingContinuation = c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
      FMinCodePoint = c < 0xE0 ? 0x80 : c < 0xF0 ? 0x800 : 0x10000;
      FCodePoint = c & (c < 0xE0 ? 0x1F : c < 0xF0 ? 0x0F : 0x07);
    }
  }
}

bool TCsvReader::ReadRecord(std::vector<TCsvField>& fields, int& line, bool& blank) {
  fields.clear();
  int c = Get();
  if (c < 0) return false;
  line = FLine;
  const char delimiter = FDialect.Delimiter;
  std::string field;
  bool quoted = false;     // inside a quoted field
  bool wasQuoted = false;  // the current field was quoted and is closed
  bool any = false;        // the record has more than its line end
  for (; c >= 0; c = Get()) {
    if (quoted) {
      if (c == '"') {
        if (Peek() == '"') {
          field += '"';
          Get();
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++FLine;
        field += static_cast<char>(c);
      }
      continue;
    }
    if (c == delimiter) {
      fields.push_back({std::move(field), wasQuoted});
      field.clear();
      wasQuoted = false;
      any = true;
    } else if (c == '\r' && Peek() == '\n') {
      continue;  // the LF ends the record
    } else if (c == '\n') {
      ++FLine;
      blank = !any && field.empty() && !wasQuoted;
      fields.push_back({std::move(field), wasQuoted});
      return true;
    } else if (c == '"') {
      if (!field.empty() || wasQuoted) Bad(FLine, "a quote inside an unquoted field; double it and quote the field");
      quoted = wasQuoted = any = true;
    } else {
      if (wasQuoted) Bad(FLine, "text after a closing quote");
      field += static_cast<char>(c);
      any = true;
    }
  }
  if (quoted) Bad(line, "a quoted field without its closing quote");
  blank = !any && field.empty() && !wasQuoted;
  fields.push_back({std::move(field), wasQuoted});
  return true;
}

void TCsvReader::TakeBlankLine(std::vector<TCsvField>& fields, int& line) {
  --FBlankLines;
  fields.assign(1, TCsvField{});
  line = FBlankLine++;
}

bool TCsvReader::Next(std::vector<TCsvField>& fields, int& line) {
  if (FHasStash) {
    if (FBlankLines > 0) {
      TakeBlankLine(fields, line);
      return true;
    }
    fields = std::move(FStash);
    line = FStashLine;
    FHasStash = false;
    return true;
  }
  bool blank = false;
  while (ReadRecord(fields, line, blank)) {
    if (!blank) {
      if (FBlankLines == 0) return true;
      // Blank lines before a record are records of one empty field.
      FStash = std::move(fields);
      FStashLine = line;
      FHasStash = true;
      TakeBlankLine(fields, line);
      return true;
    }
    if (FBlankLines++ == 0) FBlankLine = line;
  }
  if (FKeepBlankLinesAtEnd && FBlankLines > 0) {
    TakeBlankLine(fields, line);
    return true;
  }
  return false;  // otherwise blank lines at the end are ignored
}

std::string CsvField(const TCsvField& field, char delimiter) {
  const std::string& value = field.Text;
  if (value.empty()) return field.Quoted ? "\"\"" : std::string();
  if (value.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvRecord(const std::vector<TCsvField>& fields, char delimiter) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += delimiter;
    out += CsvField(fields[i], delimiter);
  }
  return out + "\r\n";
}

}  // namespace kestrel::tool
