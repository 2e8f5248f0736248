// Comparing and combining condition values: the comparison that decides
// every comparison operator, and the result types and calculation of the
// arithmetic operators.
//
// Result types: integer with integer gives Int64 (BigInt), any float gives
// Float; "/" always gives Float, DIV and MOD need integers; "+" joins two
// strings (a wide string when either is wide); a date plus or minus an
// integer is a date (days), a date minus a date an integer; NULL with
// anything gives the other type. Every other pair has no result type.
#pragma once

#include "engine/cond/cond_value.h"
#include "engine/cond/sql_syntax.h"

namespace kestrel {

// Results of CompareValues.
enum TCondCompareResult : int { ccrNull = 0, ccrLess = 1, ccrEqual = 2, ccrGreater = 3 };

// Compares two values of comparable types (CanCompare). Strings compare by
// the collation of `leftType` (the default collation when it names none).
// A NULL on either side gives ccrNull.
TCondCompareResult CompareValues(const TCondValue& left, const TCondValue& right, const TCondDataType& leftType);

// The result type of `op` for the two operand types; false when there is none.
bool GetResultDataType(TTdbDataBinaryOperator op, const TCondDataType& left, const TCondDataType& right,
                       TCondDataType& result);

// Applies `op` (which has a result type for the operands' types) into
// `result`. NULL when either operand is NULL. Throws ETdbEngine tdbErrDivisionByZero for a
// division by zero and ETdbEngine tdbErrOutOfRange (without its text argument; the caller
// adds the expression's text) for an overflow.
enum class TCalcStatus { Ok, Overflow };
TCalcStatus CalculateValues(TTdbDataBinaryOperator op, const TCondValue& left, const TCondValue& right,
                            const TCondDataType& resultType, TCondValue& result);

// Negates a numeric value in place; Overflow for the smallest Int64.
TCalcStatus NegateValue(TCondValue& value);

// The collation of a string type.
const ICondCollation& CollationOf(const TCondDataType& type);

}  // namespace kestrel
