// TTdbSqlCalculation: an expression of the condition language evaluated to
// a value for the current record, the counterpart of a condition; calculated
// indexes compute their keys with it.
//
// Life cycle as for TTdbSqlCondition: created with its text, prepared
// against a record source (the whole text must be one expression, an
// optional ";" allowed), calculated any number of times, one calculation at
// a time.
#pragma once

#include <memory>
#include <string>

#include "engine/cond/cond_literals.h"
#include "engine/cond/cond_record_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_syntax.h"

namespace kestrel {

class TTdbSqlCalculation {
 public:
  explicit TTdbSqlCalculation(std::u16string source);
  ~TTdbSqlCalculation();
  TTdbSqlCalculation(const TTdbSqlCalculation&) = delete;
  TTdbSqlCalculation& operator=(const TTdbSqlCalculation&) = delete;

  const std::u16string& Source() const { return FSource; }

  // Parses and prepares the expression; the result type becomes the
  // expression's. `records` (and `variables`) must outlive the prepared
  // calculation. Throws as TTdbSqlCondition::Prepare does (25 for syntax
  // errors, including text after the expression).
  void Prepare(const ICondRecordSource& records, TTdbPrepareOptions options = 0,
               TTdbVariables* variables = nullptr, const TCondLocalFormats* localFormats = nullptr);
  void Unprepare();
  bool IsPrepared() const { return FExpression != nullptr; }

  // Whether the other calculation has the same text.
  bool IsSame(const TTdbSqlCalculation& other) const { return FSource == other.FSource; }

  const TCondDataType& ResultType() const { return FResultType; }
  // Makes Calculate convert its value into `type` (after Prepare).
  void ForceResultType(const TCondDataType& type) { FResultType = type; }

  // Calculates the value for the current record of the record source into
  // `result`, converted into the result type when that was forced. Throws
  // ETdbEngine tdbErrNotAValue when not prepared, the evaluation errors of conditions,
  // and the conversion errors (44, 46, 81, 137, 140, 158).
  void Calculate(TCondValue& result);

  // The clock of the date, time and random functions (DefaultClock() until
  // set); it must outlive the calculation.
  void SetClock(TdwClock& clock) { FClock = &clock; }

 private:
  std::u16string FSource;
  TdwClock* FClock = &DefaultClock();
  std::unique_ptr<TTdbExpression> FExpression;
  TCondDataType FResultType;
  const ICondRecordSource* FRecords = nullptr;
  TTdbVariables* FVariables = nullptr;
};

}  // namespace kestrel
