// Preparing a parsed condition tree: binding column names through the
// record source, giving every operand a type, converting literals once to
// the type they are compared with, and checking that compared operands fit.
// Used by TTdbSqlCondition; errors are ETdbCompilerError with the position
// of the operand at fault.
#pragma once

#include <string_view>

#include "engine/cond/cond_literals.h"
#include "engine/cond/cond_record_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_syntax.h"

namespace kestrel {

struct TCondPrepareContext {
  const ICondRecordSource& FRecords;
  TTdbPrepareOptions FOptions;
  TTdbVariables* FVariables;  // may be null: then parameters are unknown
  TCondLocalFormats FLocalFormats;
  std::u16string_view FText;  // the condition text, for error positions
};

void PrepareSearchCondition(TTdbSearchCondition& condition, const TCondPrepareContext& context);

// Prepares an expression on its own (a calculation).
void PrepareExpression(TTdbExpression& expression, const TCondPrepareContext& context);

}  // namespace kestrel
