// Evaluating a prepared condition tree for the current record of its record
// source, in three-valued logic. AND and OR stop as soon as their result is
// decided, IN at the first equal value, BETWEEN calculates its lower bound
// only when the value is not above the upper bound. Intermediate values go
// into the nodes' buffers, which every evaluation overwrites.
#pragma once

#include <string_view>

#include "engine/cond/cond_record_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_syntax.h"
#include "engine/fs/clock.h"

namespace kestrel {

struct TCondEvalContext {
  const ICondRecordSource& FRecords;
  TTdbVariables* FVariables;
  std::u16string_view FText;  // the condition text, for error positions
  TdwClock& FClock;           // date, time and random functions
};

// Throws ETdbEngine: 43 (overflow, with the expression's text), 178
// (division by zero), 161 (a parameter without value), the errors of
// functions and of the record source.
TCondTruth EvaluateSearchCondition(TTdbSearchCondition& condition, const TCondEvalContext& context);

// Calculates an expression; the result is valid until the next evaluation.
const TCondValue& CalculateExpression(TTdbExpression& expression, const TCondEvalContext& context);

}  // namespace kestrel
