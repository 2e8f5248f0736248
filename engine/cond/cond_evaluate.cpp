// Evaluation of prepared condition trees (see cond_evaluate.h).
#include "engine/cond/cond_evaluate.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/cond_convert.h"
#include "engine/cond/cond_operations.h"
#include "engine/cond/like_matcher.h"
#include "engine/cond/sql_errors.h"
#include "engine/cond/sql_function_eval.h"

namespace kestrel {

namespace {

TCondTruth FromBool(bool value) { return value ? ctTrue : ctFalse; }

class TCondEvaluator {
 public:
  explicit TCondEvaluator(const TCondEvalContext& context) : FContext(context) {}

  TCondTruth EvaluateCondition(TTdbSearchCondition& condition) {
    TCondTruth result = ctFalse;
    for (auto& term : condition.FBooleanTerms) {
      const TCondTruth truth = EvaluateTerm(*term);
      if (truth == ctTrue) return ctTrue;
      if (truth == ctUnknown) result = ctUnknown;
    }
    return result;
  }

  const TCondValue& Calculate(TTdbExpression& expression) {
    if (expression.FTerms.size() == 1) return CalculateTerm(*expression.FTerms[0].FTerm, expression);
    expression.ResultValue = CalculateTerm(*expression.FTerms[0].FTerm, expression);
    for (size_t i = 1; i < expression.FTerms.size(); ++i) {
      const TTdbExpressionItem& item = expression.FTerms[i];
      const TCondValue& right = CalculateTerm(*item.FTerm, expression);
      Combine(item.FOperator, right, item.FStepType, expression.ResultValue, expression);
    }
    return expression.ResultValue;
  }

 private:
  TCondTruth EvaluateTerm(TTdbBooleanTerm& term) {
    TCondTruth result = ctTrue;
    for (auto& factor : term.FBooleanFactors) {
      const TCondTruth truth = EvaluateFactor(*factor);
      if (truth == ctFalse) return ctFalse;
      if (truth == ctUnknown) result = ctUnknown;
    }
    return result;
  }

  TCondTruth EvaluateFactor(TTdbBooleanFactor& factor) {
    const TCondTruth truth =
        factor.FSearchCondition ? EvaluateCondition(*factor.FSearchCondition) : EvaluatePredicate(factor);
    if (!factor.FIsNot || truth == ctUnknown) return truth;
    return truth == ctTrue ? ctFalse : ctTrue;
  }

  // The comparison of the left operand with `right` as the operator `op`.
  static TCondTruth Compare(TTdbComparisonOperator op, const TCondValue& left, const TCondValue& right,
                            const TCondDataType& leftType) {
    const TCondCompareResult order = CompareValues(left, right, leftType);
    if (order == ccrNull) return ctUnknown;
    switch (op) {
      case tcoEqual: return FromBool(order == ccrEqual);
      case tcoUnequal: return FromBool(order != ccrEqual);
      case tcoLess: return FromBool(order == ccrLess);
      case tcoLessOrEqual: return FromBool(order != ccrGreater);
      case tcoGreater: return FromBool(order == ccrGreater);
      case tcoGreaterOrEqual: return FromBool(order != ccrLess);
      default: return ctFalse;
    }
  }

  TCondTruth EvaluatePredicate(TTdbBooleanFactor& factor) {
    TTdbExpression& leftExpression = *factor.FExpressionLeft;
    const TCondDataType& leftType = leftExpression.FDataType;
    factor.FLeftValue = Calculate(leftExpression);
    const TCondValue& left = factor.FLeftValue;
    const TTdbComparisonOperator op = factor.FComparisonOperator;
    switch (op) {
      case tcoIsNull: return FromBool(left.IsNull());
      case tcoIsNotNull: return FromBool(!left.IsNull());
      case tcoIn: {
        TCondTruth result = ctFalse;
        for (auto& value : factor.FValueSet->FValues) {
          const TCondTruth truth = Compare(tcoEqual, left, Calculate(*value), leftType);
          if (truth == ctTrue) return ctTrue;
          if (truth == ctUnknown) result = ctUnknown;
        }
        return result;
      }
      default: break;
    }
    if (!factor.FExpressionRight) return ctFalse;
    factor.FRightValue = Calculate(*factor.FExpressionRight);
    const TCondValue& right = factor.FRightValue;
    switch (op) {
      case tcoEqual:
      case tcoUnequal:
      case tcoLess:
      case tcoLessOrEqual:
      case tcoGreater:
      case tcoGreaterOrEqual: return Compare(op, left, right, leftType);
      case tcoEqualNull:
        if (left.IsNull() || right.IsNull()) return FromBool(left.IsNull() && right.IsNull());
        return Compare(tcoEqual, left, right, leftType);
      case tcoBetween: {
        // The upper bound first; the lower bound only when that holds.
        const TCondTruth belowUpper = Compare(tcoLessOrEqual, left, right, leftType);
        if (belowUpper != ctTrue) return belowUpper;
        return Compare(tcoGreaterOrEqual, left, Calculate(*factor.FExpressionRightEx), leftType);
      }
      case tcoLike:
        if (left.IsNull() || right.IsNull()) return ctFalse;
        if (!factor.FLikePattern.IsFor(right.FString, factor.FHasLikeEscape, factor.FLikeEscapeChar))
          factor.FLikePattern = TLikePattern(right.FString, factor.FHasLikeEscape, factor.FLikeEscapeChar);
        return FromBool(factor.FLikePattern.Matches(left.FString, CollationOf(leftType)));
      case tcoHas:
        if (left.IsNull() || right.IsNull() || right.FString.empty()) return ctFalse;
        return FromBool(left.FString.find(right.FString) != std::u16string::npos);
      default: return ctFalse;
    }
  }

  // `owner` is the expression the term belongs to, named by an overflow.
  const TCondValue& CalculateTerm(TTdbTerm& term, const TTdbExpression& owner) {
    if (term.FFactors.size() == 1) return CalculateFactor(*term.FFactors[0].FFactor, owner);
    term.FValue = CalculateFactor(*term.FFactors[0].FFactor, owner);
    for (size_t i = 1; i < term.FFactors.size(); ++i) {
      const TTdbTermItem& item = term.FFactors[i];
      const TCondValue& right = CalculateFactor(*item.FFactor, owner);
      Combine(item.FOperator, right, item.FStepType, term.FValue, owner);
    }
    return term.FValue;
  }

  // value := value (op) right, into `type`.
  void Combine(TTdbDataBinaryOperator op, const TCondValue& right, const TCondDataType& type, TCondValue& value,
               const TTdbExpression& owner) {
    TCondValue result;
    if (CalculateValues(op, value, right, type, result) == TCalcStatus::Overflow) Overflow(owner);
    value = std::move(result);
  }

  [[noreturn]] void Overflow(const TTdbExpression& expression) const {
    throw ETdbCompilerError(SqlErrorPositionAt(FContext.FText, expression.FTextPos), tdbErrOutOfRange,
                            Utf16ToUtf8(GetSqlText(expression)));
  }

  const TCondValue& CalculateFactor(TTdbSimpleFactor& factor, const TTdbExpression& owner) {
    const TCondValue* value = &factor.FValue;
    switch (factor.FType) {
      case sftLiteral: value = &factor.FLiteralValue; break;
      case sftColumn: FContext.FRecords.ReadColumn(factor.FFieldNo, factor.FValue); break;
      case sftParameter: {
        const TTdbVariables::TVariable& variable = FContext.FVariables->Get(factor.FParameterName);
        if (!variable.FHasValue) throw ETdbEngine(tdbErrNotAValue, Utf16ToUtf8(factor.FParameterName));
        if (variable.FDataType.FColumnType == factor.FDataType.FColumnType || variable.FValue.IsNull()) {
          factor.FValue = variable.FValue;
          break;
        }
        // A value set with another type than the parameter was prepared with.
        TCondConversion conversion = ConvertValue(variable.FValue, variable.FDataType, factor.FDataType);
        if (!conversion.FOk) ThrowConversionError(conversion, nullptr);
        factor.FValue = std::move(conversion.FValue);
        break;
      }
      case sftExpression: factor.FValue = Calculate(*factor.FExpression); break;
      case sftFunction: CalculateCall(factor); break;
      case sftUnknown:
      case sftOuterReference: factor.FValue.SetNull(); break;
    }
    if (factor.FSign != sfsMinus) return *value;
    if (value != &factor.FValue) factor.FValue = *value;
    if (NegateValue(factor.FValue) == TCalcStatus::Overflow) Overflow(owner);
    return factor.FValue;
  }

  void CalculateCall(TTdbSimpleFactor& factor) {
    TTdbFunction& function = *factor.FSqlFunction;
    std::vector<TCondValue> arguments;
    arguments.reserve(function.FArguments.size());
    for (auto& argument : function.FArguments) {
      arguments.push_back(Calculate(*argument));
      if (arguments.back().IsNull() && IsNullPropagating(function)) {
        factor.FValue.SetNull();
        return;
      }
    }
    CalculateFunction(function, arguments, factor.FDataType, factor.FValue, FContext.FClock);
  }

  const TCondEvalContext& FContext;
};

}  // namespace

TCondTruth EvaluateSearchCondition(TTdbSearchCondition& condition, const TCondEvalContext& context) {
  return TCondEvaluator(context).EvaluateCondition(condition);
}

const TCondValue& CalculateExpression(TTdbExpression& expression, const TCondEvalContext& context) {
  return TCondEvaluator(context).Calculate(expression);
}

}  // namespace kestrel
