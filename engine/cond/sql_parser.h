// The parser of the SQL condition language: turns a condition text into a
// syntax tree (sql_syntax.h) or raises an ESqlParser with the position of
// the error.
//
// The parser reads one token ahead. A "(" at the start of a boolean factor is
// first read as a parenthesised condition; when that fails the parser goes
// back to the "(" and reads a predicate instead, so "(A + B) > C" and
// "((A) + 1) > 2" parse. Every attempt keeps its own saved scanner state, so
// nested attempts cannot spoil each other. When both readings fail, the
// error that lies further in the text is reported. Parentheses and function
// calls nest at most kMaxNestingDepth deep (error 60 beyond), which bounds
// the recursion of parsing, evaluating and freeing a tree.
#pragma once

#include <memory>
#include <string_view>

#include "engine/cond/sql_scanner.h"
#include "engine/cond/sql_syntax.h"

namespace kestrel {

inline constexpr int kMaxNestingDepth = 100;

class TSqlParser {
 public:
  // `allowLocalFormats` lets numbers use `localDecimalSeparator`.
  TSqlParser(std::u16string_view text, bool allowLocalFormats = false, char16_t localDecimalSeparator = u'.');

  // Reads the whole text as one search condition, optionally followed by a
  // ";". Throws ESqlParser (56 for a missing token, also for text left over
  // after the condition; 45 for a bad character; 25 for a bad ESCAPE
  // character; 46 for a number that does not convert; 60 for too deep
  // nesting).
  std::unique_ptr<TTdbSearchCondition> ParseCondition();

  // Reads the whole text as one expression (for calculations).
  std::unique_ptr<TTdbExpression> ParseExpressionText();

 private:
  std::unique_ptr<TTdbSearchCondition> ParseSearchCondition();
  std::unique_ptr<TTdbBooleanFactor> ParseBooleanFactor();
  void ParsePredicate(TTdbBooleanFactor& factor);
  std::unique_ptr<TTdbExpression> ParseExpression();
  std::unique_ptr<TTdbTerm> ParseTerm();
  std::unique_ptr<TTdbSimpleFactor> ParseFactor();
  void ParseFunctionArguments(TTdbFunction& function);
  void ParseNumber(TTdbSimpleFactor& factor);
  void ParseStringLiteral(TTdbSimpleFactor& factor);
  void ParseEnd();

  void Next() { FScanner.NextToken(); }
  bool Is(TSqlTokenType type) const { return FScanner.TokenType() == type; }
  // Throws ETdbSqlUnexpectedToken: `expected` expected but the current token found.
  [[noreturn]] void Unexpected(TSqlTokenType expected) const;
  void Expect(TSqlTokenType type);

  // Counts one nesting level for its lifetime.
  class TNesting {
   public:
    explicit TNesting(TSqlParser& parser);
    ~TNesting() { --FParser.FDepth; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;

   private:
    TSqlParser& FParser;
  };

  TSqlScanner FScanner;
  int FDepth = 0;
};

}  // namespace kestrel
