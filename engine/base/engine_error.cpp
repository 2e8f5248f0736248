// Message formatting of ETdbEngine and the lookup of the fixed error texts.
#include "engine/base/engine_error.h"

#include <cctype>

#include "engine/base/error_formats.h"

namespace kestrel {

namespace {

bool IsInteger(const std::string& s) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

}  // namespace

const char* FindErrorText(const std::vector<TErrorText>& table, int code) {
  for (const TErrorText& entry : table)
    if (entry.FCode == code) return entry.FText;
  return nullptr;
}

std::string FormatEngineError(int number, const std::vector<std::string>& args) {
  if (number == tdbErrNoText) return "";
  const char* format = FindErrorText(EngineErrorFormats(), number);
  if (!format) return "Invalid error message: ";
  std::string result;
  size_t next = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
      if (next >= args.size() || (p[1] == 'd' && !IsInteger(args[next])))
        return std::string("Invalid error message: ") + format;
      result += args[next++];
      ++p;
    } else {
      result += *p;
    }
  }
  return result;
}

void ETdbEngine::FormatMessage() { FMessage = FormatEngineError(FNumber, FArgs); }

ETdbEngine& ETdbEngine::At([[maybe_unused]] const char* file, [[maybe_unused]] unsigned line) noexcept {
#ifndef NDEBUG
  FSourceFile = file;
  FSourceLine = line;
#endif
  return *this;
}

ETdbEngine& ETdbEngine::AtCheckOf(const ETdbEngine& cause) noexcept {
  FSourceFile = cause.FSourceFile;
  FSourceLine = cause.FSourceLine;
  return *this;
}

std::string ETdbEngine::SourceLocation() const {
  if (!FSourceFile) return "";
  return std::string(FSourceFile) + ":" + std::to_string(FSourceLine);
}

}  // namespace kestrel
