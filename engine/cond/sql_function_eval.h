// Result types and results of the functions a condition calls.
//
// Every function but EXCHANGE gives NULL as soon as one argument is NULL;
// the evaluator calculates the arguments in order and stops at the first
// NULL (IsNullPropagating). Aggregates, CAST, EXTRACT and CURRENTRECORDID
// belong to whole queries and are refused when a condition is prepared.
#pragma once

#include <string>
#include <vector>

#include "engine/cond/cond_value.h"
#include "engine/cond/sql_errors.h"
#include "engine/cond/sql_syntax.h"
#include "engine/fs/clock.h"

namespace kestrel {

// The result type of a call whose arguments are prepared. Throws
// ETdbCompilerError (at `position`) 44 for an argument of a type the
// function cannot take ("<type>-><wanted>") and 187 for a function that
// conditions do not offer.
TCondDataType FunctionResultType(const TTdbFunction& function, const TSqlErrorPosition& position);

// Whether a NULL argument makes the result NULL (all functions but EXCHANGE).
bool IsNullPropagating(const TTdbFunction& function);

// Calculates the call from its argument values (with their types) into
// `result`; the date and time functions read `clock`, RANDOM and NewGuid
// draw from it. Throws ETdbEngine tdbErrInvalidNumber (REALVAL of text that is no number), 81
// (INT out of range), 137/140 (MakeDate, MakeTime of an invalid date or
// time).
void CalculateFunction(const TTdbFunction& function, const std::vector<TCondValue>& arguments,
                       const TCondDataType& resultType, TCondValue& result, TdwClock& clock);

}  // namespace kestrel
