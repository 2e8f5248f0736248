// The functions of conditions: each case is a condition that must be TRUE
// for a one-record table (S = '  Hello World ', N = 7, X = -2.5, D =
// 2024-01-31 (a Wednesday), T = 13:45:30.250, Z = NULL).
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/sql_condition.h"
#include "fixed_clock.h"
#include "vector_record_source.h"

namespace kestrel {
namespace {

TEST(ConditionFunctions, Results) {
  test::TVectorRecordSource table;
  TCondDataType text = MakeStringType(cctString, 20);
  text.FNullable = true;
  text.FCodePage = 1250;
  table.AddColumn(u"S", text);
  table.AddColumn(u"N", MakeType(cctLongInt, true));
  table.AddColumn(u"X", MakeType(cctFloat, true));
  table.AddColumn(u"D", MakeType(cctDate, true));
  table.AddColumn(u"T", MakeType(cctTime, true));
  table.AddColumn(u"Z", text);
  table.AddRow({TCondValue::String(u"  Hello World "), TCondValue::Integer(7), TCondValue::Float(-2.5),
                TCondValue::Date(PackDate(2024, 1, 31)), TCondValue::Time(49530250), TCondValue()});
  table.SetRow(0);

  const char16_t* cases[] = {
      u"UPPER(S) = '  HELLO WORLD ' AND LOWER(S) = '  hello world '",
      // The engine's case mapping reaches the 8-bit range only: a wide
      // text keeps its letters above it.
      u"UPPER('árvíz') = 'ÁRVÍZ' AND UPPER('tűrő') = 'TűRő' AND LOWER('ÿŸ') = 'ÿÿ'",
      u"UPPER(S) HAS 'HELLO' AND NOT LOWER(S) HAS 'H'",
      u"LEN(S) = 14 AND LENGTH('') = 0 AND CHAR_LENGTH('abc') = 3",
      u"SUBSTRING(S, 3, 5) = 'Hello' AND SUBSTRING(S, 9) = 'World ' AND SUBSTRING(S, 0, 2) = ''",
      u"SUBSTRING(S, 100) = '' AND SUBSTRING(S, 3, 0) = ''",
      u"LTRIM(S) = 'Hello World ' AND RTRIM(S) = '  Hello World' AND TRIM(S) = 'Hello World'",
      u"LTRIM('xxab', 'x') = 'ab' AND TRIM('    ') = ''",
      u"CHR(65) = 'A' AND Ascii('a') = 97",
      u"EXCHANGE(S, 'o', '0') = '  Hell0 W0rld ' AND EXCHANGE(S, Z, 'x') = S",
      u"FILLSTR('ab', 'xy', 5) = 'abxyx' AND FILLSTR('abc', 'x', 2) = 'abc'",
      u"NTIMES('ab', 3) = 'ababab' AND NTIMES('ab', 0) = ''",
      u"ABS(X) = 2.5 AND ABS(-3) = 3",
      u"CEILING(X) = -2 AND FLOOR(X) = -3 AND FRAC(X) = -0.5 AND INT(X) = -2",
      u"CEILING(1e20) IS NULL",
      u"SQRT(16) = 4 AND SQRT(-1) IS NULL AND LOG(0) IS NULL AND EXP(0) = 1 AND LOG(EXP(2)) = 2",
      u"ROUND(2.345, 2) = 2.35 AND ROUND(X, 0) = -3 AND ROUND(1234, -2) = 1200",
      u"RANDOM(10) BETWEEN 0 AND 9",
      u"REALVAL('1.5e1') = 15",
      u"STR(N) = '7' AND STR(X) = '-2.5' AND STR(N, 3) = '  7' AND STR(X, 6, 2) = ' -2.50'",
      u"DIGITSTR(-42.7) = '42'",
      u"Sin(0) = 0 AND Cos(0) = 1 AND ArcTan(0) = 0",
      u"Pos('World', S) = 9 AND Pos('x', S) = 0 AND Scan('l', S, 6) = 6 AND Scan('l', S) = 5",
      u"LeftStr(S, 4) = '  He' AND RightStr(S, 3) = 'ld ' AND RightStr('ab', 5) = 'ab'",
      u"HexStr(255) = 'FF' AND HexStr(255, 4) = '00FF'",
      u"Year(D) = 2024 AND Month(D) = 1 AND Day(D) = 31 AND Week(D) = 5",
      u"DayOfWeek(D) = 4 AND WeekDayNo(D) = 3 AND Week(DATE '2021-01-03') = 53",
      u"Hour(T) = 13 AND Minute(T) = 45 AND Second(T) = 30 AND Millisecond(T) = 250",
      u"CombineDateTime(D, T) = TIMESTAMP '2024-01-31 13:45:30.250'",
      u"MakeDate(2024, 1, 31) = D AND MakeTime(13, 45, 30, 250) = T",
      u"MakeDateTime(2024, 1, 31, 13, 45) = TIMESTAMP '2024-01-31 13:45'",
      u"DateStr(D) = '2024-01-31' AND TimeStr(T) = '13:45:30.250'",
      u"DateTimeStr(CombineDateTime(D, T)) = '2024-01-31 13:45:30.250'",
      u"D + 1 = DATE '2024-02-01' AND D - 31 = DATE '2023-12-31' AND DATE '2024-03-01' - D = 30",
      // A NULL argument makes the result NULL.
      u"UPPER(Z) IS NULL AND LEN(Z) IS NULL AND SUBSTRING(S, LEN(Z)) IS NULL AND ROUND(X, N + LEN(Z)) IS NULL",
  };
  for (const char16_t* text : cases) {
    TTdbSqlCondition condition{text};
    EXPECT_NO_THROW(condition.Prepare(table)) << Utf16ToUtf8(text);
    if (condition.IsPrepared()) {
      EXPECT_TRUE(condition.Evaluate()) << Utf16ToUtf8(text);
    }
  }
}

// The date, time and random functions read the condition's clock: a clock
// fixed one millisecond before midnight gives exact values.
TEST(ConditionFunctions, ClockAndChance) {
  test::TVectorRecordSource table;
  table.AddColumn(u"N", MakeType(cctLongInt, true));
  table.AddRow({TCondValue::Integer(1)});
  table.SetRow(0);
  test::TFixedClock clock({2026, 12, 31, 23, 59, 59, 999});
  clock.FBits = {1234567, 89};
  const char16_t* cases[] = {
      u"CURRENT_DATE = DATE '2026-12-31' AND TODAY = DATE '2026-12-31'",
      u"CURRENT_TIME = TIME '23:59:59.999' AND NOW = TIME '23:59:59.999'",
      u"CURRENT_TIMESTAMP = TIMESTAMP '2026-12-31 23:59:59.999'",
      u"CURRENT_DATE + N = DATE '2027-01-01'",
      // Draws 1234567 and 89 in turn.
      u"RANDOM(1000) = 567 AND RANDOM(10) = 9",
      u"NewGuid() = NewGuid() AND NewGuid() IS NOT NULL",
  };
  for (const char16_t* text : cases) {
    TTdbSqlCondition condition{text};
    condition.SetClock(clock);
    ASSERT_NO_THROW(condition.Prepare(table)) << Utf16ToUtf8(text);
    EXPECT_TRUE(condition.Evaluate()) << Utf16ToUtf8(text);
    // A clone reads the same clock.
    const auto clone = condition.Clone();
    clone->Prepare(table);
    EXPECT_TRUE(clone->Evaluate()) << Utf16ToUtf8(text);
  }
}

TEST(ConditionFunctions, InvalidArgumentsAtEvaluation) {
  test::TVectorRecordSource table;
  table.AddColumn(u"N", MakeType(cctLongInt, true));
  table.AddRow({TCondValue::Integer(13)});
  table.SetRow(0);
  struct Case {
    const char16_t* text;
    int number;
    const char* message;
  } cases[] = {
      {u"MakeDate(2023, 2, 29) IS NULL", 137, "\"2023-2-29\" is not a valid date"},
      {u"MakeDate(2023, N, 1) IS NULL", 137, "\"2023-13-1\" is not a valid date"},
      {u"MakeTime(N + 11, 0) IS NULL", 140, "\"24:0:0\" is not a valid time"},
      {u"REALVAL('1,5') = 1", 46, "\"1,5\" is not a valid number"},
  };
  for (const Case& c : cases) {
    TTdbSqlCondition condition{c.text};
    condition.Prepare(table);
    try {
      condition.Evaluate();
      ADD_FAILURE() << Utf16ToUtf8(c.text);
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.number);
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

}  // namespace
}  // namespace kestrel
