// Simplification of condition trees (see sql_optimizer.h).
#include "engine/cond/sql_optimizer.h"

namespace kestrel {

namespace {

TTdbBooleanFactor* SingleFactor(const TTdbSearchCondition& condition) {
  if (condition.FBooleanTerms.size() != 1 || condition.FBooleanTerms[0]->FBooleanFactors.size() != 1)
    return nullptr;
  return condition.FBooleanTerms[0]->FBooleanFactors[0].get();
}

bool IsNullTest(const TTdbBooleanFactor& factor) {
  return !factor.FIsNot && !factor.FSearchCondition && factor.FComparisonOperator == tcoIsNull;
}

// X = Y OR X IS NULL AND Y IS NULL -> X tcoEqualNull Y.
void MakeNullSafeEquality(std::unique_ptr<TTdbSearchCondition>& condition) {
  if (condition->FBooleanTerms.size() != 2 || condition->FBooleanTerms[0]->FBooleanFactors.size() != 1 ||
      condition->FBooleanTerms[1]->FBooleanFactors.size() != 2)
    return;
  TTdbBooleanFactor& equal = *condition->FBooleanTerms[0]->FBooleanFactors[0];
  if (equal.FSearchCondition) return;
  const bool isEqual = (!equal.FIsNot && equal.FComparisonOperator == tcoEqual) ||
                       (equal.FIsNot && equal.FComparisonOperator == tcoUnequal);
  if (!isEqual) return;
  const auto& tests = condition->FBooleanTerms[1]->FBooleanFactors;
  if (!IsNullTest(*tests[0]) || !IsNullTest(*tests[1])) return;
  const TTdbExpression& x = *equal.FExpressionLeft;
  const TTdbExpression& y = *equal.FExpressionRight;
  const TTdbExpression& a = *tests[0]->FExpressionLeft;
  const TTdbExpression& b = *tests[1]->FExpressionLeft;
  if (!((SameSyntax(x, a) && SameSyntax(y, b)) || (SameSyntax(x, b) && SameSyntax(y, a)))) return;
  auto factor = std::make_unique<TTdbBooleanFactor>();
  factor->FComparisonOperator = tcoEqualNull;
  factor->FTextPos = equal.FTextPos;
  factor->FExpressionLeft = std::move(equal.FExpressionLeft);
  factor->FExpressionRight = std::move(equal.FExpressionRight);
  auto term = std::make_unique<TTdbBooleanTerm>();
  term->FBooleanFactors.push_back(std::move(factor));
  auto result = std::make_unique<TTdbSearchCondition>();
  result->FBooleanTerms.push_back(std::move(term));
  condition = std::move(result);
}

void OptimizeCondition(std::unique_ptr<TTdbSearchCondition>& condition, bool underNot) {
  for (auto& term : condition->FBooleanTerms) {
    for (auto& factor : term->FBooleanFactors) {
      if (!factor->FSearchCondition) continue;
      OptimizeCondition(factor->FSearchCondition, underNot || factor->FIsNot);
      if (TTdbBooleanFactor* inner = SingleFactor(*factor->FSearchCondition)) {
        const bool isNot = inner->FIsNot != factor->FIsNot;
        auto replacement = std::move(factor->FSearchCondition->FBooleanTerms[0]->FBooleanFactors[0]);
        replacement->FIsNot = isNot;
        factor = std::move(replacement);
      }
    }
  }
  TTdbBooleanFactor* only = SingleFactor(*condition);
  if (only && !only->FIsNot && only->FSearchCondition) {
    auto inner = std::move(only->FSearchCondition);
    condition = std::move(inner);
  }
  if (!underNot) MakeNullSafeEquality(condition);
}

}  // namespace

void Optimize(std::unique_ptr<TTdbSearchCondition>& condition) { OptimizeCondition(condition, false); }

}  // namespace kestrel
