// Preparing and evaluating conditions over a small table in memory: the
// records each operator selects, literal conversion per column type, the
// three-valued logic, and the errors of preparation and evaluation.
#include <gtest/gtest.h>

#include <set>

#include "engine/base/code_page.h"
#include "engine/cond/cond_literals.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_errors.h"
#include "vector_record_source.h"

namespace kestrel {
namespace {

using test::TVectorRecordSource;

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

TCondDataType AnsiColumn(int length) {
  TCondDataType type = MakeStringType(cctString, length);
  type.FNullable = true;
  type.FCodePage = kCodePageAnsi;
  return type;
}

TCondValue S(const char16_t* text) { return text ? TCondValue::String(text) : TCondValue(); }
TCondValue I(int64_t value) { return TCondValue::Integer(value); }
const TCondValue kNull;

// The classification table with a number column: KOD, MEGNEV, N.
class ConditionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FTable.AddColumn(u"KOD", AnsiColumn(10));
    FTable.AddColumn(u"MEGNEV", AnsiColumn(40));
    FTable.AddColumn(u"N", MakeType(cctLongInt, true));
    const struct {
      const char16_t* kod;
      const char16_t* megnev;
      TCondValue n;
    } rows[] = {
        {u"01", u"ABC", I(1)},        // 0
        {u"02", u"abc ", I(2)},       // 1
        {u"03", u"ábc", kNull},       // 2
        {nullptr, nullptr, I(3)},     // 3
        {u"abcd", u"Kőműves", I(4)},  // 4
        {u"AXC", u"?x", I(-5)},       // 5
        {u"AC", u"A*", I(6)},         // 6
        {u"A*", u"It's", I(7)},       // 7
        {u"ABC", u"%_", I(8)},        // 8
        {u"05", u"", I(0)},           // 9
    };
    for (const auto& row : rows) FTable.AddRow({S(row.kod), S(row.megnev), row.n});
  }

  std::set<size_t> Select(std::u16string_view text, TTdbPrepareOptions options = 0) {
    TTdbSqlCondition condition{std::u16string(text)};
    condition.Prepare(FTable, options);
    std::set<size_t> rows;
    for (size_t row = 0; row < FTable.RowCount(); ++row) {
      FTable.SetRow(row);
      if (condition.Evaluate()) rows.insert(row);
    }
    return rows;
  }

  TCondTruth Truth(std::u16string_view text, size_t row) {
    TTdbSqlCondition condition{std::u16string(text)};
    condition.Prepare(FTable);
    FTable.SetRow(row);
    return condition.EvaluateTruth();
  }

  TVectorRecordSource FTable;
};

TEST_F(ConditionTest, RecordsSelectedPerOperator) {
  const std::set<size_t> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  struct Case {
    std::u16string text;
    std::set<size_t> rows;
    TTdbPrepareOptions options = 0;
  } cases[] = {
      {u"", all},
      {u"KOD >= '01' And MEGNEV <> 'x'", {0, 1, 2, 4, 5, 6, 7, 8, 9}},
      // The default collation ignores the case of a-z only; trailing blanks
      // and accents count.
      {u"MEGNEV = 'abc'", {0}},
      {u"MEGNEV = 'ABC '", {1}},
      {u"'abc' = MEGNEV", {0}},
      {u"MEGNEV < 'abc'", {5, 6, 8, 9}},
      {u"MEGNEV <= 'abc'", {0, 5, 6, 8, 9}},
      {u"MEGNEV > 'abc'", {1, 2, 4, 7}},
      {u"MEGNEV >= 'abc '", {1, 2, 4, 7}},
      {u"MEGNEV != 'abc'", {1, 2, 4, 5, 6, 7, 8, 9}},
      {u"KOD = 'A*'", {7}},
      {u"KOD = 'A*'", {4, 5, 6, 7, 8}, tpoUseJokers},
      {u"KOD = 'A_C*'", {4, 5, 8}, tpoUseJokers},
      {u"KOD LIKE 'A_C%'", {4, 5, 8}},
      {u"KOD LIKE 'a%'", {4, 5, 6, 7, 8}},
      {u"KOD NOT LIKE 'a%'", {0, 1, 2, 3, 9}},  // LIKE with NULL is FALSE
      {u"MEGNEV LIKE '!%!_' ESCAPE '!'", {8}},
      {u"MEGNEV LIKE '%' ", {0, 1, 2, 4, 5, 6, 7, 8, 9}},
      {u"MEGNEV LIKE ''", {9}},
      {u"MEGNEV LIKE '_'", {}},
      {u"MEGNEV HAS 'b'", {1, 2}},
      {u"MEGNEV HAS 'B'", {0}},
      {u"MEGNEV HAS ''", {}},
      {u"KOD IN ('01', '03')", {0, 2}},
      {u"NOT (KOD IN ('01', '03'))", {1, 4, 5, 6, 7, 8, 9}},
      {u"N IN (1, NULL)", {0}},
      {u"NOT N IN (1, NULL)", {}},
      {u"KOD BETWEEN '01' AND '05'", {0, 1, 2, 9}},
      {u"KOD NOT BETWEEN '01' AND '05'", {4, 5, 6, 7, 8}},
      {u"N BETWEEN 5 AND 1", {}},
      {u"MEGNEV IS NULL", {3}},
      {u"MEGNEV IS NOT NULL AND N IS NULL", {2}},
      {u"MEGNEV = 'x' OR MEGNEV <> 'x' OR NOT (MEGNEV = 'x')", {0, 1, 2, 4, 5, 6, 7, 8, 9}},
      {u"N > 2 AND N < 7 OR KOD = '01'", {0, 3, 4, 6}},
      {u"N = 1 + 1 OR N * 2 = 14 OR N - 1 = -6 OR N / 2 = 4 OR N DIV 3 = 2 AND N MOD 3 = 0", {1, 5, 6, 7, 8}},
      {u"-N = 5", {5}},
      {u"N = '4'", {4}},
      {u"'4' = N", {4}},
      {u"N BETWEEN '2' AND '3'", {1, 3}},
      {u"KOD || '-' || MEGNEV = '01-abc'", {0}},
      {u"UPPER(MEGNEV) = 'ÁBC' AND LOWER(KOD) = '03'", {2}},
      {u"MEGNEV = 'Kőműves'", {4}},
      {u"KOD = MEGNEV OR KOD = KOD AND N = 0", {9}},
      {u"KOD = 'ABCDEFGHIJK'", {}},
  };
  for (const Case& c : cases) {
    std::set<size_t> rows;
    EXPECT_NO_THROW(rows = Select(c.text, c.options)) << U8(c.text);
    EXPECT_EQ(rows, c.rows) << U8(c.text);
  }
}

TEST_F(ConditionTest, ThreeValuedResults) {
  struct Case {
    const char16_t* text;
    size_t row;
    TCondTruth truth;
  } cases[] = {
      {u"KOD IN ('01', '03')", 2, ctTrue},
      {u"KOD IN ('01', '03')", 1, ctFalse},
      {u"KOD IN ('01', '03')", 3, ctUnknown},
      {u"NOT KOD IN ('01', '03')", 3, ctUnknown},
      {u"KOD = 'x' OR N = 3", 3, ctTrue},
      {u"KOD = 'x' OR N = 4", 3, ctUnknown},
      {u"KOD = 'x' AND N = 4", 3, ctFalse},
      {u"KOD = 'x' AND N = 3", 3, ctUnknown},
      {u"KOD LIKE 'x'", 3, ctFalse},
      {u"KOD LIKE NULL", 0, ctFalse},
      {u"KOD HAS 'x'", 3, ctFalse},
      {u"KOD IS NULL", 3, ctTrue},
      {u"KOD BETWEEN 'a' AND 'z'", 3, ctUnknown},
      {u"N + 1 > 0", 2, ctUnknown},
      // The null-safe comparison is TRUE for two NULLs and never UNKNOWN.
      {u"KOD = MEGNEV OR KOD IS NULL AND MEGNEV IS NULL", 3, ctTrue},
      {u"KOD = MEGNEV OR KOD IS NULL AND MEGNEV IS NULL", 2, ctFalse},
      {u"N = N OR N IS NULL AND N IS NULL", 2, ctTrue},
      {u"NOT (KOD = MEGNEV OR KOD IS NULL AND MEGNEV IS NULL)", 3, ctFalse},
  };
  for (const Case& c : cases) EXPECT_EQ(Truth(c.text, c.row), c.truth) << U8(c.text) << " row " << c.row;
}

TEST_F(ConditionTest, LiteralsComparedWithAnsiColumnsUseTheColumnsCodePage) {
  // ő is in the column's code page, so the name is found; ñ is not, and
  // becomes "?" as it would in the column.
  EXPECT_EQ(Select(u"MEGNEV = 'Kőműves'"), std::set<size_t>{4});
  EXPECT_EQ(Select(u"MEGNEV = 'ñx'"), std::set<size_t>{5});
  EXPECT_EQ(Select(u"MEGNEV LIKE 'ñ%'"), std::set<size_t>{5});
}

struct ErrorCase {
  std::u16string text;
  int number;
  std::string message;
  int pos;  // 0: not checked
};

void ExpectPrepareError(const ICondRecordSource& records, const ErrorCase& c, TTdbPrepareOptions options = 0) {
  TTdbSqlCondition condition{c.text};
  try {
    condition.Prepare(records, options);
    ADD_FAILURE() << "no error for " << U8(c.text);
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), c.number) << U8(c.text);
    EXPECT_EQ(error.Message(), c.message) << U8(c.text);
    const auto* positioned = dynamic_cast<const ETdbCompilerError*>(&error);
    ASSERT_TRUE(positioned) << U8(c.text);
    if (c.pos) {
      EXPECT_EQ(positioned->ErrorPos(), c.pos) << U8(c.text);
    }
  }
  EXPECT_FALSE(condition.IsPrepared());
}

TEST_F(ConditionTest, PrepareErrors) {
  const ErrorCase cases[] = {
      {u"KOD = 1", 44, "Type mismatch: Integer NOT NULL->VARCHAR(10)", 7},
      {u"N = 'abc'", 46, "\"abc\" is not a valid number", 5},
      // A literal is converted to the column's type before the types are
      // checked, so the conversion fails first.
      {u"N LIKE 'a%'", 46, "\"a%\" is not a valid number", 8},
      {u"N LIKE KOD", 44, "Type mismatch: Integer-> String", 1},
      {u"KOD LIKE 1", 44, "Type mismatch: Integer NOT NULL-> String", 10},
      {u"KOD BETWEEN 'a' AND 2", 44, "Type mismatch: Integer NOT NULL->VARCHAR(10)", 21},
      {u"KOD IN ('a', 2)", 44, "Type mismatch: Integer NOT NULL->VARCHAR(10)", 14},
      {u"KOD + 1 = 'a'", 44, "Type mismatch: VARCHAR(10)->Integer NOT NULL", 1},
      {u"-KOD = 'a'", 44, "Type mismatch: VARCHAR(10)", 1},
      {u"XYZ = 1", 50, "Unknown identifier \"XYZ\"", 1},
      {u"Q.KOD = 1", 50, "Unknown identifier \"Q.KOD\"", 1},
      {u"KOD = :p", 50, "Unknown identifier \":p\"", 7},
      {u"KOD = 'a' Adn N = 1", 25,
       "Syntax error in expression \"\"<end of statement>\" expected but \"Adn\" found\"", 11},
      {u"(((KOD = 'a'", 25, "Syntax error in expression \"\")\" expected but \"<end of statement>\" found\"", 13},
      {u"COUNT(*) > 1", 187, "This feature is not supported: COUNT", 1},
      {u"SUM(N) > 1", 187, "This feature is not supported: SUM", 1},
      {u"UPPER(N) = 'A'", 44, "Type mismatch: Integer->String", 1},
      {u"LEN(KOD) = 'a'", 44, "Type mismatch: VARCHAR(10) NOT NULL->Integer", 12},
      {u"DATE '2023-02-29' < CURRENT_DATE", 137, "\"2023-02-29\" is not a valid date", 1},
      {u"TIME '24:01' = CURRENT_TIME", 140, "\"24:01\" is not a valid time", 1},
      {u"TIMESTAMP '1.1.2000 25:00' = CURRENT_TIMESTAMP", 158, "\"1.1.2000 25:00\" is not a valid timestamp", 1},
      {u"TRUE = 'Maybe'", 44, "Type mismatch: VARCHAR(10) NOT NULL->Boolean NOT NULL", 8},
  };
  for (const ErrorCase& c : cases) ExpectPrepareError(FTable, c);
}

TEST_F(ConditionTest, EvaluationErrors) {
  struct Case {
    const char16_t* text;
    int number;
    std::string message;
  } cases[] = {
      {u"N * 9223372036854775807 * 2 > 0", 43,
       "The value is outside the allowed range: \"N * 9223372036854775807 * 2\""},
      {u"N DIV 0 = 1", 178, "Division by zero"},
      {u"N / 0 = 1", 178, "Division by zero"},
      {u"INT(N * 1e300) = 1", 81,
       "Value 1e+300 of type BigInt exceeds the allowed range from -9223372036854775808 to 9223372036854775807"},
  };
  for (const Case& c : cases) {
    TTdbSqlCondition condition{c.text};
    condition.Prepare(FTable);
    FTable.SetRow(0);
    try {
      condition.Evaluate();
      ADD_FAILURE() << "no error for " << U8(c.text);
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.number) << U8(c.text);
      EXPECT_EQ(error.Message(), c.message) << U8(c.text);
    }
    // The condition stays prepared and evaluates other records.
    EXPECT_TRUE(condition.IsPrepared());
    FTable.SetRow(2);
    EXPECT_FALSE(condition.Evaluate()) << U8(c.text);
  }
}

TEST_F(ConditionTest, UnpreparedConditionWithText) {
  TTdbSqlCondition empty{u""};
  EXPECT_TRUE(empty.Evaluate());
  TTdbSqlCondition condition{u"KOD = '01'"};
  try {
    condition.Evaluate();
    ADD_FAILURE();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), 7);
    EXPECT_EQ(error.Message(), "The search-condition is invalid: KOD = '01'");
  }
  condition.Prepare(FTable);
  FTable.SetRow(0);
  EXPECT_TRUE(condition.Evaluate());
  condition.Unprepare();
  EXPECT_THROW(condition.Evaluate(), ETdbEngine);
  auto copy = condition.Clone();
  EXPECT_EQ(copy->Source(), u"KOD = '01'");
  EXPECT_FALSE(copy->IsPrepared());
}

TEST_F(ConditionTest, Parameters) {
  TTdbVariables variables;
  TTdbSqlCondition condition{u"KOD = :code OR N > :n"};
  condition.Prepare(FTable, 0, &variables);
  EXPECT_EQ(variables.Get(u":CODE").FDataType.FColumnType, cctString);  // took the column's type
  FTable.SetRow(0);
  try {
    condition.Evaluate();
    ADD_FAILURE();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), 161);
    EXPECT_EQ(error.Message(), "The expression does not evaluate to a value");
  }
  variables.Set(u"code", AnsiColumn(10), S(u"02"));
  variables.Set(u":N", MakeStringType(cctWideString, 5), S(u"6"));  // converted to the column's type
  std::set<size_t> rows;
  for (size_t row = 0; row < FTable.RowCount(); ++row) {
    FTable.SetRow(row);
    if (condition.Evaluate()) rows.insert(row);
  }
  EXPECT_EQ(rows, (std::set<size_t>{1, 7, 8}));
  // A parameter that only a function reads has no type to take.
  TTdbSqlCondition untyped{u"UPPER(:x) = 'A'"};
  try {
    untyped.Prepare(FTable, 0, &variables);
    ADD_FAILURE();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Message(), "Type mismatch: Unknown parameter type: \":x\"");
  }
  TTdbSqlCondition alone{u":y IS NULL"};
  try {
    alone.Prepare(FTable, 0, &variables);
    ADD_FAILURE();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Message(), "Type of column, parameter or variable \":y\" is not known");
  }
}

// One column of each further type, with one value in row 0 and NULL in row 1.
TEST(ConditionLiterals, ConvertedToTheColumnsType) {
  TVectorRecordSource table;
  TCondDataType enumType = MakeType(cctEnum, true);
  enumType.FEnumNames = {u"Red", u"Green", u"Blue"};
  TCondValue guid;
  guid.FKind = cvkGuid;
  ASSERT_TRUE(ParseGuid(u"{01234567-89AB-CDEF-0123-456789ABCDEF}", guid.FGuid));
  TCondDataType wide = MakeStringType(cctWideString, 20);
  TCondDataType memo = MakeType(cctMemo, true);
  memo.FCodePage = kCodePageAnsi;
  const struct {
    const char16_t* name;
    TCondDataType type;
    TCondValue value;
  } columns[] = {
      {u"F", MakeType(cctFloat, true), TCondValue::Float(1.5)},
      {u"D", MakeType(cctDate, true), TCondValue::Date(PackDate(2024, 1, 31))},
      {u"T", MakeType(cctTime, true), TCondValue::Time(45000000)},
      {u"S", MakeType(cctDateTime, true), TCondValue::DateTime(PackDate(2024, 1, 31), 45000000)},
      {u"B", MakeType(cctBoolean, true), I(1)},
      {u"E", enumType, I(2)},
      {u"G", MakeType(cctGuid, true), guid},
      {u"W", wide, S(u"Kőműves")},
      {u"M", memo, S(u"long text")},
      {u"I16", MakeType(cctInt16, true), I(-7)},
      {u"BIG", MakeType(cctInt64, true), I(int64_t{1} << 40)},
  };
  std::vector<TCondValue> row0, row1;
  for (const auto& column : columns) {
    table.AddColumn(column.name, column.type);
    row0.push_back(column.value);
    row1.push_back(kNull);
  }
  table.AddRow(row0);
  table.AddRow(row1);

  const char16_t* matching[] = {
      u"F = '1.5'", u"F = 1.5", u"F = 3 / 2", u"F > 1", u"F = '15e-1'",
      u"D = '2024-01-31'", u"D = '31.01.2024'", u"D = '1/31/24'", u"D = DATE '2024-1-31'", u"D > '31.12.99'",
      u"D + 1 = DATE '2024-02-01'", u"D - DATE '2023-12-31' = 31", u"D < S",
      u"T = '12:30'", u"T = '12:30:00.000'", u"T = '12:30 PM'", u"T BETWEEN '12:29:59.999' AND '24:00:00'",
      u"S = '2024-01-31 12:30'", u"S = '31.01.2024_12:30:00'", u"S > '2024-01-31'", u"S = TIMESTAMP '2024-01-31 12:30'",
      u"B = 'True'", u"B = 'ja'", u"B = TRUE", u"B <> 'Nein'", u"B = 1",
      u"E = 'Green'", u"E = 'green'", u"E = '2'", u"E = 2",
      u"G = '{01234567-89AB-CDEF-0123-456789ABCDEF}'", u"G = '01234567-89ab-cdef-0123-456789abcdef'",
      u"W = 'KŐMŰVES' OR W = 'Kőműves'", u"W LIKE 'k_m%'", u"M = 'LONG TEXT'", u"M LIKE '% text'",
      u"I16 = -7", u"I16 = '-7'", u"BIG = 1099511627776", u"BIG > 2147483647",
      u"Year(D) = 2024 AND Month(S) = 1 AND Day(D) = 31 AND Hour(T) = 12 AND Minute(S) = 30",
  };
  for (const char16_t* text : matching) {
    TTdbSqlCondition condition{text};
    EXPECT_NO_THROW(condition.Prepare(table)) << U8(text);
    if (!condition.IsPrepared()) continue;
    table.SetRow(0);
    EXPECT_TRUE(condition.Evaluate()) << U8(text);
    table.SetRow(1);
    EXPECT_FALSE(condition.Evaluate()) << U8(text);
  }

  const ErrorCase errors[] = {
      {u"F = '1,5'", 46, "\"1,5\" is not a valid number", 5},
      {u"D = '2023-02-29'", 137, "\"2023-02-29\" is not a valid date", 5},
      {u"D = '31.04.2024'", 137, "\"31.04.2024\" is not a valid date", 5},
      {u"D = '1.1.10000'", 137, "\"1.1.10000\" is not a valid date", 5},
      {u"T = '12:60'", 140, "\"12:60\" is not a valid time", 5},
      {u"T = '13:00 PM'", 140, "\"13:00 PM\" is not a valid time", 5},
      {u"S = '2024-01-31 x'", 158, "\"2024-01-31 x\" is not a valid timestamp", 5},
      {u"B = 'Maybe'", 44, "Type mismatch: \"Maybe\"->Boolean", 5},
      {u"E = 'Purple'", 50, "Unknown identifier \"Purple\"", 5},
      {u"G = '{0123}'", 46, "\"{0123}\" is not a valid number", 5},
      {u"I16 = '1.5'", 46, "\"1.5\" is not a valid number", 7},
      {u"D = T", 44, "Type mismatch: Time->Date", 5},
      {u"B + 1 = 2", 44, "Type mismatch: Boolean->Integer NOT NULL", 1},
  };
  for (const ErrorCase& c : errors) ExpectPrepareError(table, c);

  // With local formats a comma decimal separator and the local date order
  // are accepted besides the engine's own syntax.
  TCondLocalFormats formats;
  formats.FDecimalSeparator = u',';
  formats.FDateSeparator = u'.';
  std::copy_n("YMD", 4, formats.FDateOrder);
  for (const char16_t* text : {u"F = '1,5'", u"F = 1,5", u"D = '2024. 01. 31.'", u"D = '2024-01-31'"}) {
    TTdbSqlCondition condition{text};
    EXPECT_NO_THROW(condition.Prepare(table, tpoLocalFormats, nullptr, &formats)) << U8(text);
    table.SetRow(0);
    if (condition.IsPrepared()) {
      EXPECT_TRUE(condition.Evaluate()) << U8(text);
    }
  }
}

}  // namespace
}  // namespace kestrel
