// What the choice of an index and key range reads from a prepared condition
// tree: which operand is a lone column of the table, which is a constant,
// how an operator reads with its operands exchanged or under NOT, and the
// key range a LIKE pattern allows.
//
// The tree itself gives the rest: a TTdbSearchCondition is an OR list (only
// a one-term list can bound a range), its TTdbBooleanTerm an AND list of
// factors, and a factor compares FExpressionLeft with FExpressionRight (for
// BETWEEN: FExpressionRightEx is the lower, FExpressionRight the upper bound)
// or holds a parenthesised FSearchCondition. Column factors carry the
// record source's FFieldNo and their FDataType after preparation, constant
// operands their converted value (FLiteralValue) and type.
#pragma once

#include <string>
#include <string_view>

#include "engine/cond/sql_syntax.h"

namespace kestrel {

// The column factor when the expression is one column without a sign, else
// nullptr.
const TTdbSimpleFactor* SingleColumnOf(const TTdbExpression& expression);

// Whether the expression reads no column: literals, parameters, and
// functions and arithmetic of these (RANDOM and NewGuid excluded, as their
// value changes from call to call).
bool IsConstantExpression(const TTdbExpression& expression);

// The operator with its operands exchanged ("<" and ">" and "<=" and ">="
// swap; =, <> and the null-safe equality stay); tcoNone for any other.
TTdbComparisonOperator MirroredComparison(TTdbComparisonOperator op);

// The operator under NOT (= and <>, < and >=, <= and >, IS NULL and IS NOT
// NULL swap); tcoNone for any other.
TTdbComparisonOperator InvertedComparison(TTdbComparisonOperator op);

// The text of a LIKE pattern before its first "%" or "_" that is not
// escaped, with the escape characters removed: every matching value begins
// with it (under the collation).
std::u16string LikeLowerBound(std::u16string_view pattern, bool hasEscape, char16_t escape);

// The lower bound followed by the character 0 (a prefix pattern in key
// comparison) when it is shorter than `maxLength` (0: unlimited).
std::u16string LikeUpperBound(std::u16string_view pattern, bool hasEscape, char16_t escape, int maxLength);

// Whether a LIKE pattern allows a range at all: it does not begin with "%".
bool LikePatternHasPrefix(std::u16string_view pattern);

}  // namespace kestrel
