// Whether an index range decides a condition on its own (see
// TTdbSqlCondition::RangeDecides in sql_condition.h).
//
// The argument: the condition is an AND list of comparisons of one column
// with constants, so the values it selects form one interval of the
// column's order, and conditions compare texts with the collation that
// orders the column's index keys (collation_adapter.h), so that interval is
// one run of the index. The range items hold the exact values of the
// interval's two ends (none cut, none rounded, none replaced by an extreme
// value), and every comparison gave the range one of them, so each item
// strictly between the two ends on the first level lies inside every
// comparison's interval. Only the items equal to an end need their record:
// there a strict comparison or a NULL decides.
#include <vector>

#include "engine/cond/cond_evaluate.h"
#include "engine/cond/cond_field_rating.h"
#include "engine/cond/cond_index_choice.h"
#include "engine/cond/cond_index_terms.h"
#include "engine/cond/sql_condition.h"

namespace kestrel {
namespace {

// Column types whose index order is the order in which conditions compare
// them, value for value.
bool HasComparedOrder(int columnType) {
  switch (columnType) {
    case cctString:
    case cctWideString:
    case cctByte:
    case cctInt16:
    case cctLongInt:
    case cctInt64: return true;
    default: return false;
  }
}

// A literal or a parameter, the operands whose value stays the same for
// every record.
bool IsFixedOperand(const TTdbExpression* operand) {
  const TTdbSimpleFactor* factor = operand ? operand->SingleFactor() : nullptr;
  return factor && (factor->FType == sftLiteral || factor->FType == sftParameter);
}

// Whether the comparison `factor` of `columnNo` gave the range its bounds.
bool IsCoveredComparison(const TTdbBooleanFactor& factor, int columnNo, const TTdbRatingBound& lower,
                         const TTdbRatingBound& upper) {
  if (factor.FSearchCondition || factor.FIsNot || factor.FValueSet || !factor.FExpressionLeft) return false;
  const TTdbSimpleFactor* column = SingleColumnOf(*factor.FExpressionLeft);
  if (!column || column->FFieldNo != columnNo || !HasComparedOrder(column->FDataType.FColumnType)) return false;
  const TTdbExpression* right = factor.FExpressionRight.get();
  const TTdbExpression* rightEx = factor.FExpressionRightEx.get();
  if (!IsFixedOperand(right)) return false;
  switch (factor.FComparisonOperator) {
    case tcoEqual: return right == lower.FExpression && right == upper.FExpression;
    case tcoLess:
    case tcoLessOrEqual: return right == upper.FExpression;
    case tcoGreater:
    case tcoGreaterOrEqual: return right == lower.FExpression;
    case tcoBetween: return IsFixedOperand(rightEx) && rightEx == lower.FExpression && right == upper.FExpression;
    default: return false;
  }
}

// Whether `value` goes into a range item as it is: of the column's kind,
// not NULL, a text neither cut nor a prefix pattern.
bool IsExactBound(const TCondValue& value, const TCondDataType& type) {
  if (value.FKind == cvkString) {
    if (type.FColumnType != cctString && type.FColumnType != cctWideString) return false;
    if (value.FString.size() > static_cast<size_t>(type.FMaxLength)) return false;
    return value.FString.find(u'\0') == std::u16string::npos;
  }
  return value.FKind == cvkInteger && type.FColumnType != cctString && type.FColumnType != cctWideString;
}

}  // namespace

bool TTdbSqlCondition::RangeDecides(ITdbIndexChoiceTable& table, TTdbIndexNo indexNo) {
  if (!FSearchCondition || !FRecords || FSearchCondition->FBooleanTerms.size() != 1) return false;
  const TTdbSortDef* def = table.OpenIndexDefinition(indexNo);
  if (def == nullptr || def->IsCalculated || def->Items.empty() || def->Items.front().Descending) return false;
  const TTdbSortLevel& level = def->Items.front();
  const TTdbIndexTable& indexTable = table.IndexTable();
  const TTdbIndexColumn* column = indexTable.Column(level.ColumnNo);
  if (!column || column->FColumnType != level.ColumnType || column->FSize != level.Size) return false;

  std::vector<TTdbFieldRating> ratings;
  CalculateFieldRatings(*FSearchCondition, ratings);
  const std::vector<TTdbLevelBounds> levels = CalculateIndexBounds(indexTable, *def, ratings);
  if (levels.empty() || !levels.front().FLower || !levels.front().FUpper) return false;
  const TTdbRatingBound& lower = *levels.front().FLower;
  const TTdbRatingBound& upper = *levels.front().FUpper;
  if (lower.FKind != tbkValue || upper.FKind != tbkValue) return false;

  const TTdbSimpleFactor* compared = nullptr;
  for (const auto& factor : FSearchCondition->FBooleanTerms.front()->FBooleanFactors) {
    if (!IsCoveredComparison(*factor, level.ColumnNo, lower, upper)) return false;
    compared = SingleColumnOf(*factor->FExpressionLeft);
  }
  if (compared == nullptr) return false;

  // The range items were built from these values; each must have gone in
  // exactly, which WriteRangeBound tells for the value as it is.
  const TCondEvalContext context{*FRecords, FVariables, FSource, *FClock};
  std::vector<uint8_t> record(indexTable.FRecordSize, 0);
  for (const TTdbRatingBound* bound : {&lower, &upper}) {
    const TCondValue value = CalculateExpression(*bound->FExpression, context);
    if (!IsExactBound(value, compared->FDataType)) return false;
    if (!table.WriteRangeBound(record, level.ColumnNo, &value, bound == &upper)) return false;
  }
  return true;
}

}  // namespace kestrel
