// Preparation of condition trees (see cond_prepare.h).
//
// A boolean factor is prepared in this order: the operands that are not
// plain (a plain operand is a lone literal or parameter), then the binding of
// plain operands to a column they are compared with, then the plain operands
// and the IN list, then the type checks, and last the trailing-"*" rewrite.
// A string literal compared with a string column takes the column's type
// code, code page and collation but keeps its own maximal length, so it is
// never cut to the column's length (a literal longer than the column then
// equals no value instead of a cut one).
#include "engine/cond/cond_prepare.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/cond_convert.h"
#include "engine/cond/cond_operations.h"
#include "engine/cond/sql_function_eval.h"

namespace kestrel {

namespace {

// The maximal length of a string literal's type (see the parser).
int StringLiteralLength(const TTdbSimpleFactor& factor, bool wide) {
  const int limit = wide ? kMaxWideStringLength : kMaxAnsiStringLength;
  return std::min(factor.FLiteralSize, limit);
}

bool IsPlain(const TTdbExpression* expression) {
  const TTdbSimpleFactor* factor = expression ? expression->SingleFactor() : nullptr;
  return factor && (factor->FType == sftLiteral || factor->FType == sftParameter);
}

// Memo columns are read as strings of unlimited length.
TCondDataType VariableType(TCondDataType type) {
  if (type.FColumnType == cctMemo) type.FColumnType = cctString, type.FMaxLength = 0;
  if (type.FColumnType == cctWideMemo) type.FColumnType = cctWideString, type.FMaxLength = 0;
  return type;
}

class TCondPreparer {
 public:
  explicit TCondPreparer(const TCondPrepareContext& context) : FContext(context) {}

  void PrepareCondition(TTdbSearchCondition& condition) {
    for (auto& term : condition.FBooleanTerms)
      for (auto& factor : term->FBooleanFactors) PrepareBooleanFactor(*factor);
  }

  void PrepareExpression(TTdbExpression& expression) {
    for (TTdbExpressionItem& item : expression.FTerms) {
      PrepareTerm(*item.FTerm);
      item.FStepType = item.FTerm->FDataType;
      if (item.FOperator != dboNone)
        item.FStepType = ResultType(item.FOperator, (&item - 1)->FStepType, item.FStepType, expression.FTextPos);
    }
    expression.FDataType = expression.FTerms.back().FStepType;
  }

 private:
  template <typename... TArgs>
  [[noreturn]] void Fail(int pos, int number, TArgs&&... args) const {
    throw ETdbCompilerError(SqlErrorPositionAt(FContext.FText, pos), number, std::forward<TArgs>(args)...);
  }

  void PrepareBooleanFactor(TTdbBooleanFactor& factor) {
    if (factor.FSearchCondition) {
      PrepareCondition(*factor.FSearchCondition);
      return;
    }
    factor.FOptions = FContext.FOptions;
    TTdbExpression* left = factor.FExpressionLeft.get();
    TTdbExpression* right = factor.FExpressionRight.get();
    TTdbExpression* rightEx = factor.FExpressionRightEx.get();
    for (TTdbExpression* operand : {left, right, rightEx})
      if (operand && !IsPlain(operand)) PrepareExpression(*operand);
    if (!IsPlain(left)) {
      for (TTdbExpression* operand : {right, rightEx})
        if (IsPlain(operand)) Bind(*operand->SingleFactor(), *left);
      if (factor.FValueSet)
        for (auto& value : factor.FValueSet->FValues)
          if (IsPlain(value.get())) Bind(*value->SingleFactor(), *left);
    }
    if (right && !IsPlain(right)) {
      if (IsPlain(left)) Bind(*left->SingleFactor(), *right);
      if (IsPlain(rightEx)) Bind(*rightEx->SingleFactor(), *right);
    }
    for (TTdbExpression* operand : {left, right, rightEx})
      if (IsPlain(operand)) PrepareExpression(*operand);
    if (factor.FValueSet)
      for (auto& value : factor.FValueSet->FValues) PrepareExpression(*value);
    CheckTypes(factor);
    RewriteJoker(factor);
  }

  void CheckTypes(const TTdbBooleanFactor& factor) const {
    const TTdbExpression& left = *factor.FExpressionLeft;
    switch (factor.FComparisonOperator) {
      case tcoIsNull:
      case tcoIsNotNull: return;
      case tcoLike:
      case tcoHas:
        for (const TTdbExpression* operand : {&left, static_cast<const TTdbExpression*>(factor.FExpressionRight.get())})
          if (!IsStringType(operand->FDataType.FColumnType))
            Fail(operand->FTextPos, tdbErrTypeMismatch, SqlTypeName(operand->FDataType) + "-> String");
        return;
      default: break;
    }
    auto check = [&](const TTdbExpression* other) {
      if (other && !CanCompare(left.FDataType, other->FDataType))
        Fail(other->FTextPos, tdbErrTypeMismatch, SqlTypeName(other->FDataType) + "->" + SqlTypeName(left.FDataType));
    };
    check(factor.FExpressionRight.get());
    check(factor.FExpressionRightEx.get());
    if (factor.FValueSet)
      for (const auto& value : factor.FValueSet->FValues) check(value.get());
  }

  // With tpoUseJokers, X = 'abc*' on a string X becomes X LIKE 'abc%'.
  void RewriteJoker(TTdbBooleanFactor& factor) {
    if (!(FContext.FOptions & tpoUseJokers) || factor.FComparisonOperator != tcoEqual ||
        !IsStringType(factor.FExpressionLeft->FDataType.FColumnType))
      return;
    TTdbSimpleFactor* literal = factor.FExpressionRight->SingleFactor();
    if (!literal || literal->FType != sftLiteral || literal->FLiteralKind != slkString ||
        literal->FColumnNameOrLiteral.empty() || literal->FColumnNameOrLiteral.back() != u'*')
      return;
    literal->FColumnNameOrLiteral.back() = u'%';
    PrepareExpression(*factor.FExpressionRight);
    factor.FComparisonOperator = tcoLike;
  }

  // A plain literal or parameter compared with `operand` takes its type: the
  // column's, when the operand is a lone column; otherwise a parameter and
  // the NULL literal take the operand's type.
  void Bind(TTdbSimpleFactor& factor, const TTdbExpression& operand) {
    const TTdbSimpleFactor* single = operand.SingleFactor();
    if (single && single->FType == sftColumn) {
      factor.FIsBound = true;
      factor.FBoundType = single->FDataType;
    } else if (factor.FType == sftParameter || factor.FLiteralKind == slkNull) {
      factor.FIsBound = true;
      factor.FBoundType = operand.FDataType;
    }
  }

  void PrepareTerm(TTdbTerm& term) {
    for (TTdbTermItem& item : term.FFactors) {
      PrepareFactor(*item.FFactor);
      item.FStepType = item.FFactor->FDataType;
      if (item.FOperator != dboNone)
        item.FStepType = ResultType(item.FOperator, (&item - 1)->FStepType, item.FStepType, item.FFactor->FTextPos);
    }
    term.FDataType = term.FFactors.back().FStepType;
  }

  TCondDataType ResultType(TTdbDataBinaryOperator op, const TCondDataType& left, const TCondDataType& right, int pos) {
    TCondDataType result;
    if (!GetResultDataType(op, left, right, result))
      Fail(pos, tdbErrTypeMismatch, SqlTypeName(left) + "->" + SqlTypeName(right));
    return result;
  }

  void PrepareFactor(TTdbSimpleFactor& factor) {
    factor.FHasType = true;
    switch (factor.FType) {
      case sftColumn: PrepareColumn(factor); break;
      case sftLiteral: PrepareLiteral(factor); break;
      case sftParameter: PrepareParameter(factor); break;
      case sftExpression:
        PrepareExpression(*factor.FExpression);
        factor.FDataType = factor.FExpression->FDataType;
        break;
      case sftFunction: {
        for (auto& argument : factor.FSqlFunction->FArguments) {
          const TTdbSimpleFactor* single = argument->SingleFactor();
          if (single && single->FType == sftParameter && !HasVariableType(*single))
            Fail(argument->FTextPos, tdbErrTypeMismatch, "Unknown parameter type: \"" + Utf16ToUtf8(single->FParameterName) + "\"");
          PrepareExpression(*argument);
        }
        factor.FDataType =
            FunctionResultType(*factor.FSqlFunction, SqlErrorPositionAt(FContext.FText, factor.FTextPos));
        break;
      }
      case sftUnknown:
      case sftOuterReference: Fail(factor.FTextPos, tdbErrUnknownIdentifier, Utf16ToUtf8(factor.FColumnNameOrLiteral));
    }
    if (!factor.FHasType) {
      std::u16string text = factor.FParameterName;
      Fail(factor.FTextPos, tdbErrUnknownType, Utf16ToUtf8(text));
    }
    if (factor.FSign != sfsNone && factor.FDataType.FColumnType != cctNull &&
        (!IsNumericType(factor.FDataType.FColumnType) || factor.FDataType.FColumnType == cctBoolean))
      Fail(factor.FTextPos, tdbErrTypeMismatch, SqlTypeName(factor.FDataType));
  }

  void PrepareColumn(TTdbSimpleFactor& factor) {
    TCondColumnInfo info;
    if (!FContext.FRecords.FindColumn(factor.FTableName, factor.FColumnNameOrLiteral, info)) {
      std::u16string name = factor.FColumnNameOrLiteral;
      if (!factor.FTableName.empty()) name = factor.FTableName + u"." + name;
      Fail(factor.FTextPos, tdbErrUnknownIdentifier, Utf16ToUtf8(name));
    }
    factor.FFieldNo = info.FFieldNo;
    factor.FDataType = VariableType(info.FDataType);
  }

  bool HasVariableType(const TTdbSimpleFactor& factor) const {
    if (factor.FIsBound) return true;
    if (!FContext.FVariables) return true;  // fails later with error 50
    return FContext.FVariables->Get(factor.FParameterName).FHasType;
  }

  void PrepareParameter(TTdbSimpleFactor& factor) {
    if (!FContext.FVariables) Fail(factor.FTextPos, tdbErrUnknownIdentifier, Utf16ToUtf8(factor.FParameterName));
    TTdbVariables::TVariable& variable = FContext.FVariables->Get(factor.FParameterName);
    if (factor.FIsBound) {
      factor.FDataType = VariableType(factor.FBoundType);
      if (!variable.FHasType) variable.FHasType = true, variable.FDataType = factor.FDataType;
    } else if (variable.FHasType) {
      factor.FDataType = variable.FDataType;
    } else {
      factor.FHasType = false;
    }
  }

  void PrepareLiteral(TTdbSimpleFactor& factor) {
    const std::u16string& text = factor.FColumnNameOrLiteral;
    switch (factor.FLiteralKind) {
      case slkNull:
        factor.FDataType = factor.FIsBound ? VariableType(factor.FBoundType) : NullType();
        factor.FDataType.FNullable = true;
        factor.FLiteralValue.SetNull();
        return;
      case slkNumber: {
        const TCondValue& value = factor.FLiteralValue;
        const bool small = value.FKind == cvkInteger && value.FInteger >= INT32_MIN && value.FInteger <= INT32_MAX;
        factor.FDataType = MakeType(value.FKind == cvkFloat ? cctFloat : small ? cctLongInt : cctInt64);
        return;
      }
      case slkBoolean: factor.FDataType = MakeType(cctBoolean); break;
      case slkDate: factor.FDataType = MakeType(cctDate); break;
      case slkTime: factor.FDataType = MakeType(cctTime); break;
      case slkTimeStamp: factor.FDataType = MakeType(cctDateTime); break;
      case slkString: {
        bool wide = false;
        for (char16_t c : text) wide = wide || c >= 256;
        const TCondDataType bound = VariableType(factor.FBoundType);
        if (factor.FIsBound && IsStringType(bound.FColumnType)) {
          factor.FDataType = bound;
          factor.FDataType.FMaxLength = StringLiteralLength(factor, bound.FColumnType == cctWideString);
        } else if (factor.FIsBound) {
          factor.FDataType = bound;
        } else {
          factor.FDataType = MakeStringType(wide ? cctWideString : cctString, StringLiteralLength(factor, wide));
        }
        factor.FDataType.FNullable = false;
        break;
      }
    }
    const bool local = FContext.FOptions & tpoLocalFormats;
    TCondConversion conversion = ConvertText(text, factor.FDataType, local ? &FContext.FLocalFormats : nullptr);
    if (!conversion.FOk) {
      const TSqlErrorPosition position = SqlErrorPositionAt(FContext.FText, factor.FTextPos);
      ThrowConversionError(conversion, &position);
    }
    factor.FLiteralValue = std::move(conversion.FValue);
  }

  const TCondPrepareContext& FContext;
};

}  // namespace

void PrepareSearchCondition(TTdbSearchCondition& condition, const TCondPrepareContext& context) {
  TCondPreparer(context).PrepareCondition(condition);
}

void PrepareExpression(TTdbExpression& expression, const TCondPrepareContext& context) {
  TCondPreparer(context).PrepareExpression(expression);
}

}  // namespace kestrel
