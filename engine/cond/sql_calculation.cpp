// TTdbSqlCalculation (see sql_calculation.h).
#include "engine/cond/sql_calculation.h"

#include "engine/base/engine_error.h"
#include "engine/cond/cond_convert.h"
#include "engine/cond/cond_evaluate.h"
#include "engine/cond/cond_prepare.h"
#include "engine/cond/sql_parser.h"

namespace kestrel {

TTdbSqlCalculation::TTdbSqlCalculation(std::u16string source) : FSource(std::move(source)) {}

TTdbSqlCalculation::~TTdbSqlCalculation() = default;

void TTdbSqlCalculation::Prepare(const ICondRecordSource& records, TTdbPrepareOptions options,
                                 TTdbVariables* variables, const TCondLocalFormats* localFormats) {
  Unprepare();
  TCondLocalFormats formats;
  if (localFormats) formats = *localFormats;
  else if (options & tpoLocalFormats) formats = DefaultLocalFormats();
  std::unique_ptr<TTdbExpression> expression;
  try {
    expression = TSqlParser(FSource, options & tpoLocalFormats, formats.FDecimalSeparator).ParseExpressionText();
  } catch (const ESqlParser& error) {
    throw ETdbCompilerError(error.Position(), tdbErrSyntax, error.Message());
  }
  PrepareExpression(*expression, {records, options, variables, formats, FSource});
  FResultType = expression->FDataType;
  FExpression = std::move(expression);
  FRecords = &records;
  FVariables = variables;
}

void TTdbSqlCalculation::Unprepare() {
  FExpression.reset();
  FRecords = nullptr;
  FVariables = nullptr;
}

void TTdbSqlCalculation::Calculate(TCondValue& result) {
  if (!FExpression) throw ETdbEngine(tdbErrNotAValue);
  const TCondValue& value = CalculateExpression(*FExpression, {*FRecords, FVariables, FSource, *FClock});
  const TCondDataType& type = FExpression->FDataType;
  const bool sameType = type.FColumnType == FResultType.FColumnType && type.FMaxLength == FResultType.FMaxLength &&
                        type.FCodePage == FResultType.FCodePage;
  if (sameType) {
    result = value;
    return;
  }
  TCondConversion conversion = ConvertValue(value, type, FResultType);
  if (!conversion.FOk) ThrowConversionError(conversion, nullptr);
  result = std::move(conversion.FValue);
}

}  // namespace kestrel
