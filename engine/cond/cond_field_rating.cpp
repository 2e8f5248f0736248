// The rating pass of index choice (see cond_field_rating.h).
#include "engine/cond/cond_field_rating.h"

#include "engine/cond/cond_index_terms.h"

namespace kestrel {
namespace {

bool IsRateableType(const TCondDataType& type) {
  switch (type.FColumnType) {
    case cctChar:
    case cctMemo:
    case cctWideMemo:
    case cctBlob:
    case cctRelation:
    case cctNull: return false;
    default: return true;
  }
}

// The lone, rateable column of an operand, else nullptr.
const TTdbSimpleFactor* RateableColumn(const TTdbExpression* operand) {
  if (operand == nullptr) return nullptr;
  const TTdbSimpleFactor* column = SingleColumnOf(*operand);
  return column && IsRateableType(column->FDataType) ? column : nullptr;
}

bool IsConstant(const TTdbExpression* operand) { return operand && IsConstantExpression(*operand); }

TTdbFieldRating NewRating(const TTdbSimpleFactor& column, int16_t rating) {
  TTdbFieldRating result;
  result.FieldNo = column.FFieldNo;
  result.Rating = rating;
  result.FDataType = &column.FDataType;
  return result;
}

void RateBetween(TTdbBooleanFactor& factor, std::vector<TTdbFieldRating>& ratings) {
  const TTdbSimpleFactor* column = RateableColumn(factor.FExpressionLeft.get());
  if (factor.FIsNot || !column || !IsConstant(factor.FExpressionRightEx.get()) ||
      !IsConstant(factor.FExpressionRight.get()))
    return;
  TTdbFieldRating lower = NewRating(*column, trvInclusiveBound);
  lower.LowerBound.FExpression = factor.FExpressionRightEx.get();
  MergeFieldRating(ratings, lower);
  TTdbFieldRating upper = NewRating(*column, trvInclusiveBound);
  upper.UpperBound.FExpression = factor.FExpressionRight.get();
  MergeFieldRating(ratings, upper);
}

void RateLike(TTdbBooleanFactor& factor, std::vector<TTdbFieldRating>& ratings) {
  const TTdbSimpleFactor* column = RateableColumn(factor.FExpressionLeft.get());
  TTdbExpression* pattern = factor.FExpressionRight.get();
  if (factor.FIsNot || !column || !IsConstant(pattern)) return;
  const TTdbSimpleFactor* literal = pattern->SingleFactor();
  if (literal && literal->FType == sftLiteral && literal->FLiteralValue.FKind == cvkString &&
      !LikePatternHasPrefix(literal->FLiteralValue.FString))
    return;
  TTdbFieldRating rating = NewRating(*column, trvRange);
  const int maxLength = column->FDataType.FMaxLength;
  rating.LowerBound = {pattern, tbkLikeLower, factor.FHasLikeEscape, factor.FLikeEscapeChar, maxLength};
  rating.UpperBound = {pattern, tbkLikeUpper, factor.FHasLikeEscape, factor.FLikeEscapeChar, maxLength};
  MergeFieldRating(ratings, rating);
}

void RateComparison(TTdbBooleanFactor& factor, std::vector<TTdbFieldRating>& ratings) {
  switch (factor.FComparisonOperator) {
    case tcoBetween: return RateBetween(factor, ratings);
    case tcoLike: return RateLike(factor, ratings);
    default: break;
  }
  TTdbComparisonOperator op = factor.FComparisonOperator;
  const TTdbSimpleFactor* column = RateableColumn(factor.FExpressionLeft.get());
  TTdbExpression* bound = factor.FExpressionRight.get();
  if (!column || !IsConstant(bound)) {
    column = RateableColumn(factor.FExpressionRight.get());
    bound = factor.FExpressionLeft.get();
    if (!column || !IsConstant(bound)) return;
    op = MirroredComparison(op);
  }
  if (factor.FIsNot) op = InvertedComparison(op);
  TTdbFieldRating rating;
  switch (op) {
    case tcoEqual:
    case tcoEqualNull:
      rating = NewRating(*column, trvEqual);
      rating.LowerBound.FExpression = rating.UpperBound.FExpression = bound;
      break;
    case tcoLessOrEqual:
    case tcoLess:
      rating = NewRating(*column, op == tcoLess ? trvExclusiveBound : trvInclusiveBound);
      rating.UpperBound.FExpression = bound;
      break;
    case tcoGreaterOrEqual:
    case tcoGreater:
      rating = NewRating(*column, op == tcoGreater ? trvExclusiveBound : trvInclusiveBound);
      rating.LowerBound.FExpression = bound;
      break;
    default: return;
  }
  MergeFieldRating(ratings, rating);
}

// Parentheses nest at most as deep as the parser allows.
void RateCondition(TTdbSearchCondition& condition, std::vector<TTdbFieldRating>& ratings) {
  if (condition.FBooleanTerms.size() != 1) return;
  for (auto& factor : condition.FBooleanTerms.front()->FBooleanFactors) {
    if (factor->FSearchCondition) {
      if (!factor->FIsNot) RateCondition(*factor->FSearchCondition, ratings);
      continue;
    }
    RateComparison(*factor, ratings);
  }
}

}  // namespace

void MergeFieldRating(std::vector<TTdbFieldRating>& ratings, const TTdbFieldRating& rating) {
  TTdbFieldRating* existing = nullptr;
  for (TTdbFieldRating& candidate : ratings)
    if (candidate.FieldNo == rating.FieldNo && candidate.JoinedRltnIdx == rating.JoinedRltnIdx) existing = &candidate;
  if (existing == nullptr) {
    ratings.push_back(rating);
    return;
  }
  const bool hasLower = existing->LowerBound.IsSet();
  const bool hasUpper = existing->UpperBound.IsSet();
  if (rating.Rating == trvEqual && existing->Rating < trvEqual) {
    *existing = rating;
  } else if (hasUpper && !hasLower && rating.LowerBound.IsSet()) {
    existing->LowerBound = rating.LowerBound;
    existing->Rating = trvRange;
  } else if (hasLower && !hasUpper && rating.UpperBound.IsSet()) {
    existing->UpperBound = rating.UpperBound;
    existing->Rating = trvRange;
  } else if (rating.Rating > existing->Rating) {
    existing->Rating = rating.Rating;
    if (rating.LowerBound.IsSet()) existing->LowerBound = rating.LowerBound;
    if (rating.UpperBound.IsSet()) existing->UpperBound = rating.UpperBound;
  }
}

void CalculateFieldRatings(TTdbSearchCondition& condition, std::vector<TTdbFieldRating>& ratings) {
  ratings.clear();
  RateCondition(condition, ratings);
}

}  // namespace kestrel
