// The syntax tree of a condition. The parser (sql_parser.h) builds it,
// Optimize (sql_optimizer.h) simplifies it, TTdbSqlCondition prepares and
// evaluates it.
//
// Shape: a TTdbSearchCondition is an OR list of TTdbBooleanTerms; a term is
// an AND list of TTdbBooleanFactors; a factor is one predicate (operator and
// operand expressions) or a parenthesised search condition, possibly negated.
// An expression is a list of terms joined by + and - in written order, a term
// a list of factors joined by *, /, DIV and MOD in written order; both apply
// their operators from left to right. Each node owns its children. Lists are
// kept as vectors rather than chains, so long AND/OR lists and long sums need
// no deep recursion; only parentheses and function calls nest, and the parser
// caps that nesting.
//
// Fields marked "prepared" are filled by preparation and hold the node's
// type and its value buffer, overwritten by every evaluation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/cond/cond_value.h"
#include "engine/cond/like_matcher.h"
#include "engine/cond/sql_functions.h"

namespace kestrel {

class TTdbExpression;
class TTdbSearchCondition;

enum TTdbComparisonOperator : int {
  tcoNone,
  tcoIsNull,
  tcoIsNotNull,
  tcoEqual,
  tcoEqualNull,
  tcoUnequal,
  tcoLess,
  tcoLessOrEqual,
  tcoGreater,
  tcoGreaterOrEqual,
  tcoIn,
  tcoBetween,
  tcoLike,
  tcoHas,
  tcoContains,
  tcoFullTextRank,
  tcoExists,
};

enum TTdbDataBinaryOperator : int { dboNone, dboPlus, dboMinus, dboMultiply, dboDivide, dboDiv, dboMod };

enum TSqlFactorSign : int { sfsNone, sfsMinus, sfsPlus };

enum TTdbSimpleFactorType : int {
  sftUnknown,
  sftFunction,
  sftExpression,
  sftLiteral,
  sftColumn,
  sftParameter,
  sftOuterReference,
};

// What kind of literal a literal factor is.
enum TSqlLiteralKind : int { slkNull, slkNumber, slkString, slkBoolean, slkDate, slkTime, slkTimeStamp };

// A function call with its argument expressions.
class TTdbFunction {
 public:
  const TSqlFunctionDef* FDef = nullptr;
  std::vector<std::unique_ptr<TTdbExpression>> FArguments;
  bool FIsCountAll = false;  // COUNT(*)

  std::unique_ptr<TTdbFunction> Clone() const;
};

// The common part of every factor: its sign, type and value buffer.
class TTdbFactor {
 public:
  TSqlFactorSign FSign = sfsNone;
  int FTextPos = 0;  // 1-based position of the factor in the condition text
  // prepared
  bool FHasType = false;
  TCondDataType FDataType;
  TCondValue FValue;
};

class TTdbSimpleFactor : public TTdbFactor {
 public:
  TTdbSimpleFactorType FType = sftUnknown;
  // A column name or the literal text (a string literal's value, a number's
  // text, a typed literal's string, "TRUE"/"FALSE", "NULL").
  std::u16string FColumnNameOrLiteral;
  std::u16string FTableName;  // the table part of "table.column", else empty
  TSqlLiteralKind FLiteralKind = slkNull;
  int FLiteralSize = 0;       // string literals: the maximal length of their type
  TCondValue FLiteralValue;   // numbers: from the parser; others: prepared
  std::u16string FParameterName;  // with its ":"
  std::unique_ptr<TTdbExpression> FExpression;
  std::unique_ptr<TTdbFunction> FSqlFunction;
  // prepared: the column read by a column factor (its source's number).
  int FFieldNo = -1;
  // prepared: a plain literal or parameter compared with a column takes the
  // column's type; this is that type.
  bool FIsBound = false;
  TCondDataType FBoundType;

  std::unique_ptr<TTdbSimpleFactor> Clone() const;
};

struct TTdbTermItem {
  TTdbDataBinaryOperator FOperator = dboNone;  // dboNone for the first factor
  std::unique_ptr<TTdbSimpleFactor> FFactor;
  TCondDataType FStepType;  // prepared: the type after this step
};

class TTdbTerm {
 public:
  std::vector<TTdbTermItem> FFactors;
  // prepared
  TCondDataType FDataType;
  TCondValue FValue;

  std::unique_ptr<TTdbTerm> Clone() const;
};

struct TTdbExpressionItem {
  TTdbDataBinaryOperator FOperator = dboNone;  // dboNone for the first term
  std::unique_ptr<TTdbTerm> FTerm;
  TCondDataType FStepType;  // prepared
};

class TTdbExpression {
 public:
  std::vector<TTdbExpressionItem> FTerms;
  int FTextPos = 0;
  // prepared
  TCondDataType FDataType;
  TCondValue ResultValue;

  std::unique_ptr<TTdbExpression> Clone() const;
  // The single factor of an expression that is nothing else, else nullptr.
  TTdbSimpleFactor* SingleFactor() const;
};

// The list of IN ( ... ).
class TTdbSqlValueSet {
 public:
  std::vector<std::unique_ptr<TTdbExpression>> FValues;

  std::unique_ptr<TTdbSqlValueSet> Clone() const;
};

class TTdbBooleanFactor {
 public:
  bool FIsNot = false;
  TTdbComparisonOperator FComparisonOperator = tcoNone;
  std::unique_ptr<TTdbExpression> FExpressionLeft;
  // BETWEEN: the upper bound; other comparisons: the right operand.
  std::unique_ptr<TTdbExpression> FExpressionRight;
  // BETWEEN: the lower bound.
  std::unique_ptr<TTdbExpression> FExpressionRightEx;
  std::unique_ptr<TTdbSqlValueSet> FValueSet;
  // A parenthesised condition (then there are no operands).
  std::unique_ptr<TTdbSearchCondition> FSearchCondition;
  bool FHasLikeEscape = false;
  char16_t FLikeEscapeChar = 0;
  int FTextPos = 0;
  // prepared
  unsigned FOptions = 0;
  TCondValue FLeftValue;
  TCondValue FRightValue;
  // LIKE: the pattern last matched, split into its parts (usually the same
  // literal for every record).
  TLikePattern FLikePattern;

  std::unique_ptr<TTdbBooleanFactor> Clone() const;
};

class TTdbBooleanTerm {
 public:
  std::vector<std::unique_ptr<TTdbBooleanFactor>> FBooleanFactors;

  std::unique_ptr<TTdbBooleanTerm> Clone() const;
};

class TTdbSearchCondition {
 public:
  std::vector<std::unique_ptr<TTdbBooleanTerm>> FBooleanTerms;

  std::unique_ptr<TTdbSearchCondition> Clone() const;
};

// The condition text of a node, as the parser reads it back to the same
// tree: keywords in upper case, names delimited where they must be, string
// literals quoted.
std::u16string GetSqlText(const TTdbSearchCondition& node);
std::u16string GetSqlText(const TTdbBooleanFactor& node);
std::u16string GetSqlText(const TTdbExpression& node);

// Whether two expressions have the same shape: the same operators, signs and
// factor kinds, the same column names, literal texts and parameter names
// (names compared without regard to ASCII case) and matching
// sub-expressions and function calls.
bool SameSyntax(const TTdbExpression& a, const TTdbExpression& b);

}  // namespace kestrel
