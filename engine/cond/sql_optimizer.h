// Simplifying a parsed condition before it is prepared:
// - a parenthesised condition of exactly one factor is replaced by that
//   factor, its NOT the exclusive or of both NOTs;
// - a condition that is only one parenthesised condition is replaced by it;
// - X = Y OR X IS NULL AND Y IS NULL (or NOT X <> Y OR ...) with
//   syntactically equal operands becomes one null-safe comparison
//   (tcoEqualNull), which is TRUE when both are NULL.
// The null-safe rewrite gives FALSE where the original gives UNKNOWN, which
// selects the same records only where no NOT lies above it; it is therefore
// not applied inside a negated parenthesis.
#pragma once

#include <memory>

#include "engine/cond/sql_syntax.h"

namespace kestrel {

void Optimize(std::unique_ptr<TTdbSearchCondition>& condition);

}  // namespace kestrel
