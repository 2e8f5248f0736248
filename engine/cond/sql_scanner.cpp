// The scanner of the SQL condition language (see sql_scanner.h).
#include "engine/cond/sql_scanner.h"

#include "engine/base/code_page.h"

namespace kestrel {

namespace {

const char16_t kEndOfStatementText[] = u"<end of statement>";

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsUmlaut(char16_t c) {
  return c == u'ä' || c == u'ö' || c == u'ü' || c == u'Ä' || c == u'Ö' || c == u'Ü';
}

}  // namespace

bool IsSqlNameStart(char16_t c) { return IsAsciiLetter(c) || IsUmlaut(c); }

bool IsSqlNameChar(char16_t c) {
  return IsSqlNameStart(c) || c == u'ß' || IsDigit(c) || c == u'-' || c == u'_';
}

TSqlErrorPosition SqlErrorPositionAt(std::u16string_view text, int pos) {
  TSqlErrorPosition result;
  result.FPos = pos;
  result.FLineNo = 1;
  size_t lineStart = 0;
  const size_t limit = std::min(text.size(), static_cast<size_t>(pos > 0 ? pos - 1 : 0));
  for (size_t i = 0; i < limit; ++i) {
    if (text[i] == u'\n') {
      ++result.FLineNo;
      lineStart = i + 1;
    }
  }
  result.FCharNo = pos - static_cast<int>(lineStart);
  size_t lineEnd = text.find(u'\n', lineStart);
  if (lineEnd == std::u16string_view::npos) lineEnd = text.size();
  result.FLine = std::u16string(text.substr(lineStart, lineEnd - lineStart));
  return result;
}

TSqlScanner::TSqlScanner(std::u16string_view text, bool allowLocalFormats, char16_t localDecimalSeparator)
    : FStatementText(text), FAllowLocalFormats(allowLocalFormats), FLocalDecimalSeparator(localDecimalSeparator) {}

char16_t TSqlScanner::Peek(int offset) const {
  const size_t index = static_cast<size_t>(FStatementPos - 1 + offset);
  return index < FStatementText.size() ? FStatementText[index] : u'\0';
}

void TSqlScanner::CharNotAllowed(int pos, std::u16string_view character) const {
  throw ESqlParser(PositionAt(pos), tdbErrCharNotAllowed, Utf16ToUtf8(character));
}

TSqlScanner::TState TSqlScanner::Save() const {
  return {FStatementPos, FLastTokenType, FLastTokenString, FLastTokenPos};
}

void TSqlScanner::Restore(const TState& state) {
  FStatementPos = state.FStatementPos;
  FLastTokenType = state.FLastTokenType;
  FLastTokenString = state.FLastTokenString;
  FLastTokenPos = state.FLastTokenPos;
}

void TSqlScanner::SkipBlanksAndComments() {
  for (;;) {
    while (!AtEnd() && (Peek() == u' ' || Peek() == u'\t' || Peek() == u'\n' || Peek() == u'\r'))
      ++FStatementPos;
    const bool lineComment = (Peek() == u'-' && Peek(1) == u'-') || (Peek() == u'/' && Peek(1) == u'/');
    if (lineComment && !AtEnd()) {
      while (!AtEnd() && Peek() != u'\n') ++FStatementPos;
      continue;
    }
    if (Peek() == u'/' && Peek(1) == u'*' && !AtEnd()) {
      FStatementPos += 2;
      while (!AtEnd() && !(Peek() == u'*' && Peek(1) == u'/')) ++FStatementPos;
      if (!AtEnd()) FStatementPos += 2;  // an open comment simply ends the text
      continue;
    }
    return;
  }
}

void TSqlScanner::NextToken() {
  SkipBlanksAndComments();
  FLastTokenPos = FStatementPos;
  FLastTokenString.clear();
  if (AtEnd()) {
    FLastTokenType = sqltEndOfStatement;
    FLastTokenString = kEndOfStatementText;
    return;
  }
  const char16_t c = Peek();
  auto single = [&](TSqlTokenType type, int length = 1) {
    FLastTokenType = type;
    FLastTokenString = std::u16string(FStatementText.substr(FStatementPos - 1, length));
    FStatementPos += length;
  };
  switch (c) {
    case u'(': return single(sqltLeftParenthesis);
    case u')': return single(sqltRightParenthesis);
    case u',': return single(sqltComma);
    case u';': return single(sqltSemicolon);
    case u'*': return single(sqltAsterisk);
    case u'+': return single(sqltPlus);
    case u'=': return single(sqltEqual);
    case u'.': return single(sqltDot);
    case u'%': return single(sqltMod);
    case u'-': return single(sqltMinus);  // "--" was skipped as a comment
    case u'/': return single(sqltDivisor);
    case u'!': return Peek(1) == u'=' ? single(sqltNotEqual, 2) : single(sqltExclamationMark);
    case u'<':
      if (Peek(1) == u'=') return single(sqltEqualOrLess, 2);
      if (Peek(1) == u'>') return single(sqltNotEqual, 2);
      return single(sqltLess);
    case u'>': return Peek(1) == u'=' ? single(sqltEqualOrGreater, 2) : single(sqltGreater);
    case u'|':
      // Only "||" is an operator; a single bar starts no token.
      if (Peek(1) == u'|') return single(sqltPlus, 2);
      CharNotAllowed(FStatementPos, u"|");
    case u'\'': return ReadQuoted(u'\'', true, sqltString);
    case u'"': return ReadQuoted(u'"', true, sqltReference);
    case u'[': return ReadQuoted(u']', false, sqltReference);
    case u'$':
      ++FStatementPos;
      if (!IsSqlNameChar(Peek())) CharNotAllowed(FLastTokenPos, u"$");
      return ReadName(sqltReference);
    case u':':
      if (!IsSqlNameStart(Peek(1))) CharNotAllowed(FStatementPos, u":");
      FLastTokenString = u":";
      ++FStatementPos;
      return ReadName(sqltParameter);
    default: break;
  }
  if (IsDigit(c)) return ReadNumber();
  if (IsSqlNameStart(c)) {
    ReadName(sqltIdentifier);
    FLastTokenType = KeywordTokenType(FLastTokenString);
    return;
  }
  // A lone surrogate half or any other character: show the whole character.
  int length = 1;
  if (c >= 0xD800 && c <= 0xDBFF && Peek(1) >= 0xDC00 && Peek(1) <= 0xDFFF) length = 2;
  CharNotAllowed(FStatementPos, FStatementText.substr(FStatementPos - 1, length));
}

void TSqlScanner::ReadQuoted(char16_t closing, bool doubledCloses, TSqlTokenType type) {
  ++FStatementPos;  // the opening character
  for (;;) {
    if (AtEnd()) {
      throw ETdbSqlUnexpectedToken(PositionAt(FLastTokenPos), Utf16ToUtf8(std::u16string(1, closing)),
                                   Utf16ToUtf8(kEndOfStatementText));
    }
    const char16_t c = Peek();
    ++FStatementPos;
    if (c == closing) {
      if (doubledCloses && !AtEnd() && Peek() == closing) {
        FLastTokenString += closing;
        ++FStatementPos;
        continue;
      }
      break;
    }
    FLastTokenString += c;
  }
  FLastTokenType = type;
}

void TSqlScanner::ReadName(TSqlTokenType type) {
  while (!AtEnd() && IsSqlNameChar(Peek())) FLastTokenString += FStatementText[FStatementPos++ - 1];
  FLastTokenType = type;
}

void TSqlScanner::ReadNumber() {
  const int start = FStatementPos;
  auto isNumberChar = [&](char16_t c) {
    return IsDigit(c) || c == u'_' || c == u'.' || c == u':' ||
           (FAllowLocalFormats && c == FLocalDecimalSeparator);
  };
  while (!AtEnd() && isNumberChar(Peek())) ++FStatementPos;
  // A separating comma after a number belongs to the list, not the number.
  if (FAllowLocalFormats && FLocalDecimalSeparator == u',' && FStatementText[FStatementPos - 2] == u',')
    --FStatementPos;
  if (!AtEnd() && (Peek() == u'E' || Peek() == u'e')) {
    ++FStatementPos;
    if (!AtEnd() && (Peek() == u'+' || Peek() == u'-')) ++FStatementPos;
    while (!AtEnd() && IsDigit(Peek())) ++FStatementPos;
  }
  if (!AtEnd() && IsSqlNameChar(Peek()))
    CharNotAllowed(FStatementPos, FStatementText.substr(FStatementPos - 1, 1));
  FLastTokenType = sqltNumber;
  FLastTokenString = std::u16string(FStatementText.substr(start - 1, FStatementPos - start));
}

}  // namespace kestrel
