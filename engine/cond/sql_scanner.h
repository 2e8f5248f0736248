// The scanner of the SQL condition language: reads one token at a time from
// a UTF-16 text. It never reads past the end of the text, and a failure is an
// ESqlParser exception with the position of the offending character.
//
// Invariants: FStatementPos (1-based) is the position of the next unread
// character and never exceeds the text length + 1; after NextToken,
// FLastTokenPos is the start of the current token and FLastTokenString its
// text (the value of a string literal or delimited name, without quotes).
#pragma once

#include <string>
#include <string_view>

#include "engine/cond/sql_errors.h"
#include "engine/cond/sql_token.h"

namespace kestrel {

class TSqlScanner {
 public:
  // `localDecimalSeparator` is accepted inside numbers only when
  // `allowLocalFormats` is set.
  TSqlScanner(std::u16string_view text, bool allowLocalFormats, char16_t localDecimalSeparator);

  // Reads the next token. Throws ESqlParser 45 for a character that starts
  // no token (or a name character right after a number, or a bad
  // parameter), 56 for an unterminated quoted literal or name.
  void NextToken();

  TSqlTokenType TokenType() const { return FLastTokenType; }
  const std::u16string& TokenString() const { return FLastTokenString; }
  int TokenPos() const { return FLastTokenPos; }
  bool AllowLocalFormats() const { return FAllowLocalFormats; }
  char16_t LocalDecimalSeparator() const { return FLocalDecimalSeparator; }

  // The scanner's state, for the parser's backtracking.
  struct TState {
    int FStatementPos;
    TSqlTokenType FLastTokenType;
    std::u16string FLastTokenString;
    int FLastTokenPos;
  };
  TState Save() const;
  void Restore(const TState& state);

  TSqlErrorPosition PositionAt(int pos) const { return SqlErrorPositionAt(FStatementText, pos); }

 private:
  bool AtEnd() const { return FStatementPos > static_cast<int>(FStatementText.size()); }
  char16_t Peek(int offset = 0) const;
  [[noreturn]] void CharNotAllowed(int pos, std::u16string_view character) const;
  void SkipBlanksAndComments();
  void ReadQuoted(char16_t closing, bool doubledCloses, TSqlTokenType type);
  void ReadName(TSqlTokenType type);
  void ReadNumber();

  std::u16string_view FStatementText;
  bool FAllowLocalFormats;
  char16_t FLocalDecimalSeparator;
  int FStatementPos = 1;
  TSqlTokenType FLastTokenType = sqltEndOfStatement;
  std::u16string FLastTokenString;
  int FLastTokenPos = 1;
};

// Name characters: the letters a-z, A-Z, ä, ö, ü, Ä, Ö, Ü, ß, the digits,
// "-" and "_". The first character of an identifier is a letter of these.
bool IsSqlNameChar(char16_t c);
bool IsSqlNameStart(char16_t c);

}  // namespace kestrel
