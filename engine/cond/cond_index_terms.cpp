// Helpers of index choice on condition trees (see cond_index_terms.h).
#include "engine/cond/cond_index_terms.h"

namespace kestrel {

namespace {

bool IsConstantFactor(const TTdbSimpleFactor& factor) {
  switch (factor.FType) {
    case sftLiteral:
    case sftParameter: return true;
    case sftExpression: return IsConstantExpression(*factor.FExpression);
    case sftFunction: {
      const TFunctionId id = factor.FSqlFunction->FDef->FId;
      if (id == sftRandom || id == sftNewGuid) return false;
      for (const auto& argument : factor.FSqlFunction->FArguments)
        if (!IsConstantExpression(*argument)) return false;
      return true;
    }
    default: return false;
  }
}

}  // namespace

const TTdbSimpleFactor* SingleColumnOf(const TTdbExpression& expression) {
  const TTdbSimpleFactor* factor = expression.SingleFactor();
  return factor && factor->FType == sftColumn && factor->FSign == sfsNone ? factor : nullptr;
}

bool IsConstantExpression(const TTdbExpression& expression) {
  for (const TTdbExpressionItem& term : expression.FTerms)
    for (const TTdbTermItem& factor : term.FTerm->FFactors)
      if (!IsConstantFactor(*factor.FFactor)) return false;
  return true;
}

TTdbComparisonOperator MirroredComparison(TTdbComparisonOperator op) {
  switch (op) {
    case tcoLess: return tcoGreater;
    case tcoGreater: return tcoLess;
    case tcoLessOrEqual: return tcoGreaterOrEqual;
    case tcoGreaterOrEqual: return tcoLessOrEqual;
    case tcoEqual:
    case tcoUnequal:
    case tcoEqualNull: return op;
    default: return tcoNone;
  }
}

TTdbComparisonOperator InvertedComparison(TTdbComparisonOperator op) {
  switch (op) {
    case tcoEqual: return tcoUnequal;
    case tcoUnequal: return tcoEqual;
    case tcoLess: return tcoGreaterOrEqual;
    case tcoLessOrEqual: return tcoGreater;
    case tcoGreater: return tcoLessOrEqual;
    case tcoGreaterOrEqual: return tcoLess;
    case tcoIsNull: return tcoIsNotNull;
    case tcoIsNotNull: return tcoIsNull;
    default: return tcoNone;
  }
}

std::u16string LikeLowerBound(std::u16string_view pattern, bool hasEscape, char16_t escape) {
  std::u16string bound;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (hasEscape && c == escape) {
      if (i + 1 < pattern.size()) bound += pattern[++i];
      continue;
    }
    if (c == u'%' || c == u'_') break;
    bound += c;
  }
  return bound;
}

std::u16string LikeUpperBound(std::u16string_view pattern, bool hasEscape, char16_t escape, int maxLength) {
  std::u16string bound = LikeLowerBound(pattern, hasEscape, escape);
  if (maxLength == 0 || bound.size() < static_cast<size_t>(maxLength)) bound += u'\0';
  return bound;
}

bool LikePatternHasPrefix(std::u16string_view pattern) { return pattern.empty() || pattern[0] != u'%'; }

}  // namespace kestrel
