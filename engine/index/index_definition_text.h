// Index spec texts: "-KOD, MEGNEV" (a list of columns, "-" for a
// descending level) or "(expression)" for a calculated index. Parsing turns a
// text into a TTdbSortDef checked against the table; writing turns a
// definition back into text; checking validates a definition read from a file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/index/index_columns.h"
#include "engine/index/sort_def.h"

namespace kestrel {

// Prepares the expression of a calculated index against the table (the
// condition language provides it). `procedural` is true for the procedural
// syntax. Throws ETdbEngine for a bad expression.
using TTdbPrepareIndexExpression =
    std::function<std::shared_ptr<const ITdbIndexExpression>(std::u16string_view expression, bool procedural)>;

// `CalcIndexDefinition`: builds the definition of `spec` for `table`.
// Throws ETdbEngine tdbErrInvalidIndexSpec (bad text, unknown column, empty item, calculated
// index without a closing bracket or without `prepare`), 61 (too many
// levels), 11 (item too large).
TTdbSortDef CalcIndexDefinition(const TTdbIndexTable& table, std::u16string_view spec, bool unique,
                                const TTdbPrepareIndexExpression& prepare = {});

// `CalcSpecification`: the definition as text. `readable` writes column names
// ("KOD"), else "${KOD}"; `fieldNumbers` writes numbers ("1", or "$1" when not
// readable); `withSize` appends ":size"; "-" marks levels whose direction
// differs from `reverse`.
std::u16string CalcSpecification(const TTdbSortDef& def, const TTdbIndexTable& table, bool readable,
                                  bool fieldNumbers, bool withSize, bool reverse);

// `CheckIndexDefinition`: validates a definition read from an index file.
// Throws ETdbEngine tdbErrInvalidIndexSpec (column missing, wrong type or size) or 11 (item size
// not positive or above the limit).
void CheckIndexDefinition(const TTdbSortDef& def, const TTdbIndexTable& table);

}  // namespace kestrel
