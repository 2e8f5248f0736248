// The recursive-descent parser of the SQL condition language (see
// sql_parser.h for the backtracking and nesting rules).
#include "engine/cond/sql_parser.h"

#include <exception>

#include "engine/base/code_page.h"
#include "engine/cond/cond_literals.h"

namespace kestrel {

namespace {

bool SameUpper(std::u16string_view name, std::u16string_view upper) {
  if (name.size() != upper.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = (name[i] >= u'a' && name[i] <= u'z') ? static_cast<char16_t>(name[i] - 32) : name[i];
    if (c != upper[i]) return false;
  }
  return true;
}

// The maximal length of a string literal's type: 10 for at most 10
// characters, then rounded up to tens up to 100, hundreds up to 1000,
// thousands up to 10000, beyond that the largest length of the type.
int LiteralTypeLength(size_t length, bool wide) {
  if (length <= 10) return 10;
  auto roundUp = [](size_t n, size_t step) { return static_cast<int>((n + step - 1) / step * step); };
  if (length <= 100) return roundUp(length, 10);
  if (length <= 1000) return roundUp(length, 100);
  if (length <= 10000) return roundUp(length, 1000);
  return wide ? kMaxWideStringLength : kMaxAnsiStringLength;
}

// "C:\data\Vnd03.dat" -> "Vnd03".
std::u16string TableFileName(std::u16string_view name) {
  const size_t slash = name.find_last_of(u"\\/");
  if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
  if (name.size() > 4 && SameUpper(name.substr(name.size() - 4), u".DAT")) name.remove_suffix(4);
  return std::u16string(name);
}

}  // namespace

TSqlParser::TNesting::TNesting(TSqlParser& parser) : FParser(parser) {
  if (++FParser.FDepth > kMaxNestingDepth) {
    --FParser.FDepth;
    throw ESqlParser(FParser.FScanner.PositionAt(FParser.FScanner.TokenPos()), tdbErrTooDeep);
  }
}

TSqlParser::TSqlParser(std::u16string_view text, bool allowLocalFormats, char16_t localDecimalSeparator)
    : FScanner(text, allowLocalFormats, localDecimalSeparator) {}

void TSqlParser::Unexpected(TSqlTokenType expected) const {
  throw ETdbSqlUnexpectedToken(FScanner.PositionAt(FScanner.TokenPos()),
                               Utf16ToUtf8(TokenDisplayName(expected)), Utf16ToUtf8(FScanner.TokenString()));
}

void TSqlParser::Expect(TSqlTokenType type) {
  if (!Is(type)) Unexpected(type);
  Next();
}

void TSqlParser::ParseEnd() {
  if (Is(sqltSemicolon)) Next();
  if (!Is(sqltEndOfStatement)) Unexpected(sqltEndOfStatement);
}

std::unique_ptr<TTdbSearchCondition> TSqlParser::ParseCondition() {
  Next();
  auto condition = ParseSearchCondition();
  ParseEnd();
  return condition;
}

std::unique_ptr<TTdbExpression> TSqlParser::ParseExpressionText() {
  Next();
  auto expression = ParseExpression();
  ParseEnd();
  return expression;
}

std::unique_ptr<TTdbSearchCondition> TSqlParser::ParseSearchCondition() {
  TNesting nesting(*this);
  auto condition = std::make_unique<TTdbSearchCondition>();
  for (;;) {
    auto term = std::make_unique<TTdbBooleanTerm>();
    term->FBooleanFactors.push_back(ParseBooleanFactor());
    while (Is(sqltAnd)) {
      Next();
      term->FBooleanFactors.push_back(ParseBooleanFactor());
    }
    condition->FBooleanTerms.push_back(std::move(term));
    if (!Is(sqltOr)) return condition;
    Next();
  }
}

std::unique_ptr<TTdbBooleanFactor> TSqlParser::ParseBooleanFactor() {
  auto factor = std::make_unique<TTdbBooleanFactor>();
  factor->FTextPos = FScanner.TokenPos();
  if (Is(sqltNot)) {
    factor->FIsNot = true;
    Next();
  }
  if (!Is(sqltLeftParenthesis)) {
    ParsePredicate(*factor);
    return factor;
  }
  const TSqlScanner::TState saved = FScanner.Save();
  std::exception_ptr conditionError;
  int conditionErrorPos = 0;
  try {
    Next();
    factor->FSearchCondition = ParseSearchCondition();
    Expect(sqltRightParenthesis);
    return factor;
  } catch (const ESqlParser& error) {
    if (error.Number() == tdbErrTooDeep) throw;
    conditionError = std::current_exception();
    conditionErrorPos = error.ErrorPos();
  }
  factor->FSearchCondition.reset();
  FScanner.Restore(saved);
  try {
    ParsePredicate(*factor);
  } catch (const ESqlParser& error) {
    if (error.Number() != tdbErrTooDeep && conditionErrorPos > error.ErrorPos())
      std::rethrow_exception(conditionError);
    throw;
  }
  return factor;
}

void TSqlParser::ParsePredicate(TTdbBooleanFactor& factor) {
  factor.FExpressionLeft = ParseExpression();
  if (Is(sqltNot)) {
    factor.FIsNot = !factor.FIsNot;
    Next();
  }
  switch (FScanner.TokenType()) {
    case sqltBetween:
      Next();
      factor.FComparisonOperator = tcoBetween;
      factor.FExpressionRightEx = ParseExpression();
      Expect(sqltAnd);
      factor.FExpressionRight = ParseExpression();
      return;
    case sqltIn:
      Next();
      factor.FComparisonOperator = tcoIn;
      Expect(sqltLeftParenthesis);
      factor.FValueSet = std::make_unique<TTdbSqlValueSet>();
      factor.FValueSet->FValues.push_back(ParseExpression());
      while (Is(sqltComma)) {
        Next();
        factor.FValueSet->FValues.push_back(ParseExpression());
      }
      Expect(sqltRightParenthesis);
      return;
    case sqltIs:
      Next();
      factor.FComparisonOperator = tcoIsNull;
      if (Is(sqltNot)) {
        factor.FComparisonOperator = tcoIsNotNull;
        Next();
      }
      Expect(sqltNull);
      return;
    case sqltEqual: factor.FComparisonOperator = tcoEqual; break;
    case sqltNotEqual: factor.FComparisonOperator = tcoUnequal; break;
    case sqltLess: factor.FComparisonOperator = tcoLess; break;
    case sqltEqualOrLess: factor.FComparisonOperator = tcoLessOrEqual; break;
    case sqltGreater: factor.FComparisonOperator = tcoGreater; break;
    case sqltEqualOrGreater: factor.FComparisonOperator = tcoGreaterOrEqual; break;
    case sqltLike: factor.FComparisonOperator = tcoLike; break;
    case sqltHas: factor.FComparisonOperator = tcoHas; break;
    default: Unexpected(sqltEqual);
  }
  Next();
  factor.FExpressionRight = ParseExpression();
  if (factor.FComparisonOperator == tcoLike && Is(sqltEscape)) {
    Next();
    if (!Is(sqltString) || FScanner.TokenString().size() != 1)
      throw ESqlParser(FScanner.PositionAt(FScanner.TokenPos()), tdbErrSyntax, Utf16ToUtf8(FScanner.TokenString()));
    factor.FHasLikeEscape = true;
    factor.FLikeEscapeChar = FScanner.TokenString()[0];
    Next();
  }
}

std::unique_ptr<TTdbExpression> TSqlParser::ParseExpression() {
  TNesting nesting(*this);
  auto expression = std::make_unique<TTdbExpression>();
  expression->FTextPos = FScanner.TokenPos();
  expression->FTerms.push_back({dboNone, ParseTerm(), {}});
  while (Is(sqltPlus) || Is(sqltMinus)) {
    const TTdbDataBinaryOperator op = Is(sqltPlus) ? dboPlus : dboMinus;
    Next();
    expression->FTerms.push_back({op, ParseTerm(), {}});
  }
  return expression;
}

std::unique_ptr<TTdbTerm> TSqlParser::ParseTerm() {
  auto term = std::make_unique<TTdbTerm>();
  term->FFactors.push_back({dboNone, ParseFactor(), {}});
  for (;;) {
    TTdbDataBinaryOperator op;
    switch (FScanner.TokenType()) {
      case sqltAsterisk: op = dboMultiply; break;
      case sqltDivisor: op = dboDivide; break;
      case sqltDiv: op = dboDiv; break;
      case sqltMod: op = dboMod; break;
      default: return term;
    }
    Next();
    term->FFactors.push_back({op, ParseFactor(), {}});
  }
}

std::unique_ptr<TTdbSimpleFactor> TSqlParser::ParseFactor() {
  auto factor = std::make_unique<TTdbSimpleFactor>();
  factor->FTextPos = FScanner.TokenPos();
  if (Is(sqltPlus) || Is(sqltMinus)) {
    // "||" is a plus token too, but no sign.
    if (FScanner.TokenString() == u"||") Unexpected(sqltIdentifier);
    factor->FSign = Is(sqltPlus) ? sfsPlus : sfsMinus;
    Next();
  }
  switch (FScanner.TokenType()) {
    case sqltLeftParenthesis:
      Next();
      factor->FType = sftExpression;
      factor->FExpression = ParseExpression();
      Expect(sqltRightParenthesis);
      return factor;
    case sqltTrue:
    case sqltFalse:
      factor->FType = sftLiteral;
      factor->FLiteralKind = slkBoolean;
      factor->FColumnNameOrLiteral = Is(sqltTrue) ? u"TRUE" : u"FALSE";
      Next();
      return factor;
    case sqltNull:
      factor->FType = sftLiteral;
      factor->FLiteralKind = slkNull;
      factor->FColumnNameOrLiteral = u"NULL";
      Next();
      return factor;
    case sqltNumber:
      ParseNumber(*factor);
      return factor;
    case sqltString:
      ParseStringLiteral(*factor);
      return factor;
    case sqltParameter:
      factor->FType = sftParameter;
      factor->FParameterName = FScanner.TokenString();
      Next();
      return factor;
    case sqltIdentifier:
    case sqltReference:
      break;
    default:
      Unexpected(sqltIdentifier);
  }

  const std::u16string name = FScanner.TokenString();
  const bool isIdentifier = Is(sqltIdentifier);
  Next();
  if (isIdentifier) {
    TSqlLiteralKind typed = slkNull;
    if (SameUpper(name, u"DATE")) typed = slkDate;
    if (SameUpper(name, u"TIME")) typed = slkTime;
    if (SameUpper(name, u"TIMESTAMP")) typed = slkTimeStamp;
    if (typed != slkNull) {
      if (!Is(sqltString)) Unexpected(sqltString);
      factor->FType = sftLiteral;
      factor->FLiteralKind = typed;
      factor->FColumnNameOrLiteral = FScanner.TokenString();
      Next();
      return factor;
    }
    // A function name is a call only in the form of a call; otherwise it
    // names a column, so columns may be called Year or Len.
    const TSqlFunctionDef* def = FindSqlFunction(name);
    const bool noArguments = def && def->FMaxArgs == 0 && !def->FIsDataFunction;
    if (def && (noArguments || Is(sqltLeftParenthesis))) {
      factor->FType = sftFunction;
      factor->FSqlFunction = std::make_unique<TTdbFunction>();
      factor->FSqlFunction->FDef = def;
      if (!noArguments) ParseFunctionArguments(*factor->FSqlFunction);
      return factor;
    }
  }
  factor->FType = sftColumn;
  factor->FColumnNameOrLiteral = name;
  if (Is(sqltDot)) {
    Next();
    if (!Is(sqltIdentifier) && !Is(sqltReference)) Unexpected(sqltIdentifier);
    factor->FTableName = TableFileName(name);
    factor->FColumnNameOrLiteral = FScanner.TokenString();
    Next();
  }
  return factor;
}

void TSqlParser::ParseFunctionArguments(TTdbFunction& function) {
  TNesting nesting(*this);
  Expect(sqltLeftParenthesis);
  const TSqlFunctionDef& def = *function.FDef;
  if (def.FId == sftCount && Is(sqltAsterisk)) {
    function.FIsCountAll = true;
    Next();
    Expect(sqltRightParenthesis);
    return;
  }
  if (def.FMaxArgs > 0 && !(def.FMinArgs == 0 && Is(sqltRightParenthesis))) {
    function.FArguments.push_back(ParseExpression());
    while (Is(sqltComma)) {
      if (static_cast<int>(function.FArguments.size()) >= def.FMaxArgs) Unexpected(sqltRightParenthesis);
      Next();
      function.FArguments.push_back(ParseExpression());
    }
  }
  if (static_cast<int>(function.FArguments.size()) < def.FMinArgs) Unexpected(sqltComma);
  Expect(sqltRightParenthesis);
}

void TSqlParser::ParseNumber(TTdbSimpleFactor& factor) {
  std::u16string text = FScanner.TokenString();
  if (FScanner.AllowLocalFormats())
    for (char16_t& c : text)
      if (c == FScanner.LocalDecimalSeparator()) c = u'.';
  if (!ParseEngineNumber(text, factor.FLiteralValue))
    throw ESqlParser(FScanner.PositionAt(FScanner.TokenPos()), tdbErrInvalidNumber,
                     Utf16ToUtf8(FScanner.TokenString()));
  factor.FType = sftLiteral;
  factor.FLiteralKind = slkNumber;
  factor.FColumnNameOrLiteral = text;
  Next();
}

void TSqlParser::ParseStringLiteral(TTdbSimpleFactor& factor) {
  factor.FType = sftLiteral;
  factor.FLiteralKind = slkString;
  factor.FColumnNameOrLiteral = FScanner.TokenString();
  bool wide = false;
  for (char16_t c : factor.FColumnNameOrLiteral) wide = wide || c >= 256;
  factor.FLiteralSize = LiteralTypeLength(factor.FColumnNameOrLiteral.size(), wide);
  Next();
}

}  // namespace kestrel
