// TTdbSqlCondition: a filter condition in the SQL condition language, the
// object a cursor keeps for its static or incremental filter, Locate and
// search-and-replace.
//
// Life cycle: created with its text (nothing parsed); Prepare parses the
// text, simplifies the tree, binds its column names through an
// ICondRecordSource and converts its literals to the types they are compared
// with; Evaluate then decides, any number of times, whether the source's
// current record satisfies the condition; Unprepare or a new Prepare drops
// the tree. An empty text accepts every record.
//
// A prepared condition keeps intermediate values in its tree, so it serves
// one evaluation at a time: it belongs to one cursor and one thread. It takes
// no lock; the caller holds whatever lock reading records needs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cond/cond_literals.h"
#include "engine/cond/cond_record_source.h"
#include "engine/cond/sql_syntax.h"
#include "engine/fs/clock.h"
#include "engine/index/sort_def.h"

namespace kestrel {

class ITdbIndexChoiceTable;

// Prepare options (bit values as the engine call interface passes them).
enum TTdbPrepareOption : unsigned {
  tpoLocalFormats = 1,     // numbers, dates and times in the platform's formats too
  tpoCaseInsensitive = 2,  // no effect on SQL conditions
  tpoUseJokers = 4,        // X = 'abc*' on a string becomes X LIKE 'abc%'
  tpoNativeJokers = 8,     // no effect on SQL conditions
};
using TTdbPrepareOptions = unsigned;

// Truth values of conditions; only TRUE selects a record.
enum TCondTruth : int { ctFalse, ctTrue, ctUnknown };

// Values of the parameters (":name") of a condition. Names compare without
// regard to ASCII case.
class TTdbVariables {
 public:
  struct TVariable {
    bool FHasType = false;
    TCondDataType FDataType;
    bool FHasValue = false;
    TCondValue FValue;
  };
  // Sets a value and its type; `name` with or without its ":".
  void Set(std::u16string_view name, const TCondDataType& type, const TCondValue& value);
  // The variable of that name, created (without type and value) if missing.
  TVariable& Get(std::u16string_view name);

 private:
  std::map<std::u16string, TVariable> FVariables;
};

class TTdbSqlCondition {
 public:
  explicit TTdbSqlCondition(std::u16string source);
  ~TTdbSqlCondition();
  TTdbSqlCondition(const TTdbSqlCondition&) = delete;
  TTdbSqlCondition& operator=(const TTdbSqlCondition&) = delete;

  const std::u16string& Source() const { return FSource; }

  // Parses, simplifies and prepares the condition against `records`, which
  // must outlive the prepared condition. `variables` (optional, also
  // outliving it) supplies parameter values; `localFormats` the platform's
  // formats for tpoLocalFormats (the default locale's when null).
  // Throws ETdbEngine: 25 for a syntax error (the parser's message as its
  // text); 44, 46, 50, 137, 140, 144, 158, 187 and others for errors of
  // preparation. Parser and preparation errors are ETdbCompilerError and
  // carry the position in the text. A failed Prepare leaves the condition
  // unprepared.
  void Prepare(const ICondRecordSource& records, TTdbPrepareOptions options = 0,
               TTdbVariables* variables = nullptr, const TCondLocalFormats* localFormats = nullptr);
  void Unprepare();
  bool IsPrepared() const { return FSearchCondition != nullptr; }

  // Whether the current record of the record source satisfies the
  // condition (the condition is TRUE). An empty text is TRUE for every
  // record. Throws ETdbEngine tdbErrSearchCondition when the text is not empty and the
  // condition is not prepared, and the evaluation errors (43 overflow, 178
  // division by zero, 161 a parameter without value, errors of the record
  // source); the condition stays prepared after an error.
  bool Evaluate();
  // The three-valued result.
  TCondTruth EvaluateTruth();

  // The prepared tree, for index choice; nullptr when unprepared or empty.
  const TTdbSearchCondition* SearchCondition() const { return FSearchCondition.get(); }

  // `FindBestIndexAndBounds` (cond_index_choice.cpp): the index of `table`
  // to walk and the two items that bound the walk: every record the
  // condition selects lies between `rangeLowerBound` (record number 0) and
  // `rangeUpperBound` (record number 2147483647) in that index's order.
  // kNoIndex (items untouched) when the condition is unprepared or empty or
  // no index helps. `table` must be the table the condition was prepared
  // against, with its FFieldNo numbers being column numbers
  // (TCondRecordImageSource). May create a temporary index: call it before
  // taking the table's read lock for the walk. Throws the evaluation errors
  // of the bound expressions (43, 161, ...).
  TTdbIndexNo FindBestIndexAndBounds(ITdbIndexChoiceTable& table, std::vector<uint8_t>& rangeLowerBound,
                                     std::vector<uint8_t>& rangeUpperBound);

  // `RangeDecides` (cond_range_decides.cpp): whether the range that
  // FindBestIndexAndBounds answers for index `indexNo` decides the
  // condition without the records, apart from its two ends: every record
  // whose item lies between the range items and differs from both in the
  // first level's key satisfies the condition. True only for an AND list
  // of comparisons (=, <, <=, >, >=, BETWEEN) of the index's first column,
  // ascending and of full size, a text or integer column, with literals or
  // parameters whose values both range items hold exactly; the range must
  // take its bounds from every one of these comparisons. A record whose
  // first-level key equals a range item's must still be tested (a strict
  // comparison, a NULL). Call it after FindBestIndexAndBounds, with the same
  // table. Throws the evaluation errors of the bound expressions.
  bool RangeDecides(ITdbIndexChoiceTable& table, TTdbIndexNo indexNo);

  // A new, unprepared condition with the same text and clock.
  std::unique_ptr<TTdbSqlCondition> Clone() const;

  // The clock that CURRENT_DATE, CURRENT_TIME, CURRENT_TIMESTAMP, RANDOM and
  // NewGuid read (DefaultClock() until set); it must outlive the condition.
  void SetClock(TdwClock& clock) { FClock = &clock; }

 private:
  std::u16string FSource;
  TdwClock* FClock = &DefaultClock();
  std::unique_ptr<TTdbSearchCondition> FSearchCondition;
  const ICondRecordSource* FRecords = nullptr;
  TTdbVariables* FVariables = nullptr;
};

// Parses and simplifies `text` without preparing it (for tools and tests).
// Throws ESqlParser as TSqlParser::ParseCondition does.
std::unique_ptr<TTdbSearchCondition> ParseAndOptimize(std::u16string_view text, bool allowLocalFormats = false,
                                                      char16_t localDecimalSeparator = u'.');

}  // namespace kestrel
