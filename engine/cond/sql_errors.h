// Errors of the condition compiler. They are ETdbEngine exceptions (so every
// engine boundary handles them) that also tell where in the condition text
// the error lies, for the session's last-error record and the filter error
// message of the table component.
//
// Positions count UTF-16 code units; rows are counted by line feeds.
#pragma once

#include <string>
#include <utility>

#include "engine/base/engine_error.h"

namespace kestrel {

// Where an error lies in a text.
struct TSqlErrorPosition {
  int FPos = 0;     // 1-based position in the whole text
  int FLineNo = 0;  // 1-based row
  int FCharNo = 0;  // 1-based column within the row
  std::u16string FLine;  // the text of that row
};

// Computes the row, column and row text of 1-based position `pos` in `text`.
TSqlErrorPosition SqlErrorPositionAt(std::u16string_view text, int pos);

// An error of the condition compiler with its position; the unit name is
// always "SQL command".
class ETdbCompilerError : public ETdbEngine {
 public:
  template <typename... TArgs>
  ETdbCompilerError(TSqlErrorPosition position, int number, TArgs&&... args)
      : ETdbEngine(number, std::forward<TArgs>(args)...), FPosition(std::move(position)) {}

  const char* UnitName() const noexcept { return "SQL command"; }
  const TSqlErrorPosition& Position() const noexcept { return FPosition; }
  int ErrorPos() const noexcept { return FPosition.FPos; }
  int ErrorLineNo() const noexcept { return FPosition.FLineNo; }
  int ErrorCharNo() const noexcept { return FPosition.FCharNo; }
  const std::u16string& ErrorLine() const noexcept { return FPosition.FLine; }

 private:
  TSqlErrorPosition FPosition;
};

// An error raised by the scanner or the parser.
class ESqlParser : public ETdbCompilerError {
 public:
  using ETdbCompilerError::ETdbCompilerError;
};

// A required token is missing (error 56); keeps the text of the token found.
class ETdbSqlUnexpectedToken : public ESqlParser {
 public:
  ETdbSqlUnexpectedToken(TSqlErrorPosition position, const std::string& expected,
                         const std::string& found)
      : ESqlParser(std::move(position), tdbErrExpected, expected, found), FFoundToken(found) {}
  const std::string& FoundToken() const noexcept { return FFoundToken; }

 private:
  std::string FFoundToken;  // UTF-8
};

}  // namespace kestrel
