// The checks that every condition text must pass, shared by the libFuzzer
// target (cond_parser_fuzz.cpp) and the test that replays its corpus:
// - parsing gives a tree or a parser error positioned inside the text;
// - a tree writes back to text that parses again, to the same text;
// - preparing against a small table and evaluating every record either
//   works or raises an engine error; nothing else may escape; the same for
//   the text read as a calculation.
// Answers "" when all hold, else what went wrong.
#pragma once

#include <string>
#include <string_view>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/sql_calculation.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_parser.h"
#include "tests/engine/cond/vector_record_source.h"

namespace kestrel::test {

inline std::u16string WrittenBack(std::u16string_view text) {
  return GetSqlText(*ParseAndOptimize(text));
}

inline TVectorRecordSource& FuzzTable() {
  static TVectorRecordSource table = [] {
    TVectorRecordSource result;
    TCondDataType text = MakeStringType(cctString, 10);
    text.FNullable = true;
    text.FCodePage = kCodePageAnsi;
    result.AddColumn(u"KOD", text);
    result.AddColumn(u"MEGNEV", text);
    result.AddColumn(u"N", MakeType(cctLongInt, true));
    result.AddColumn(u"X", MakeType(cctFloat, true));
    result.AddColumn(u"D", MakeType(cctDate, true));
    result.AddColumn(u"T", MakeType(cctTime, true));
    result.AddRow({TCondValue::String(u"01"), TCondValue::String(u"Kőműves"), TCondValue::Integer(-7),
                   TCondValue::Float(2.5), TCondValue::Date(PackDate(2024, 1, 31)), TCondValue::Time(3600000)});
    result.AddRow({TCondValue(), TCondValue(), TCondValue(), TCondValue(), TCondValue(), TCondValue()});
    return result;
  }();
  return table;
}

inline std::string CheckConditionText(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  std::u16string written;
  try {
    written = WrittenBack(text);
  } catch (const ESqlParser& error) {
    if (error.ErrorPos() < 1 || error.ErrorPos() > static_cast<int>(text.size()) + 1)
      return "error position " + std::to_string(error.ErrorPos()) + " outside the text";
    return "";
  }
  std::u16string again;
  try {
    again = WrittenBack(written);
  } catch (const ETdbEngine& error) {
    return "written text does not parse: " + Utf16ToUtf8(written) + ": " + error.Message();
  }
  // Table names lose a ".dat" ending each time they are read, so only texts
  // without qualified names must write back exactly.
  if (text.find(u'.') == std::u16string::npos && again != written)
    return "written text changes: " + Utf16ToUtf8(written) + " -> " + Utf16ToUtf8(again);

  TCondLocalFormats formats;
  formats.FDecimalSeparator = u',';
  for (TTdbPrepareOptions options : {TTdbPrepareOptions{0}, TTdbPrepareOptions{tpoLocalFormats | tpoUseJokers}}) {
    TTdbSqlCondition condition{text};
    TTdbVariables variables;
    try {
      condition.Prepare(FuzzTable(), options, &variables, &formats);
    } catch (const ETdbEngine&) {
      continue;
    }
    for (size_t row = 0; row < FuzzTable().RowCount(); ++row) {
      FuzzTable().SetRow(row);
      try {
        condition.EvaluateTruth();
      } catch (const ETdbEngine&) {
      }
    }
  }
  TTdbSqlCalculation calculation{text};
  try {
    calculation.Prepare(FuzzTable());
    TCondValue value;
    for (size_t row = 0; row < FuzzTable().RowCount(); ++row) {
      FuzzTable().SetRow(row);
      calculation.Calculate(value);
    }
  } catch (const ETdbEngine&) {
  }
  return "";
}

}  // namespace kestrel::test
