// Calculations: expressions evaluated to values, with forced result types
// and the conversions they need.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/sql_calculation.h"
#include "vector_record_source.h"

namespace kestrel {
namespace {

class CalculationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TCondDataType text = MakeStringType(cctString, 20);
    text.FNullable = true;
    text.FCodePage = 1250;
    FTable.AddColumn(u"S", text);
    FTable.AddColumn(u"N", MakeType(cctLongInt, true));
    FTable.AddColumn(u"X", MakeType(cctFloat, true));
    FTable.AddColumn(u"D", MakeType(cctDate, true));
    FTable.AddRow({TCondValue::String(u"Kőműves"), TCondValue::Integer(7), TCondValue::Float(2.75),
                   TCondValue::Date(PackDate(2024, 1, 31))});
    FTable.AddRow({TCondValue(), TCondValue(), TCondValue(), TCondValue()});
    FTable.SetRow(0);
  }

  TCondValue Calculate(const char16_t* text, const TCondDataType* forced = nullptr) {
    TTdbSqlCalculation calculation{text};
    calculation.Prepare(FTable);
    if (forced) calculation.ForceResultType(*forced);
    TCondValue result;
    calculation.Calculate(result);
    return result;
  }

  test::TVectorRecordSource FTable;
};

TEST_F(CalculationTest, ValuesAndResultTypes) {
  TTdbSqlCalculation calculation{u"N * 2 + 1"};
  calculation.Prepare(FTable);
  EXPECT_EQ(calculation.ResultType().FColumnType, cctInt64);
  TCondValue value;
  calculation.Calculate(value);
  EXPECT_EQ(value.FInteger, 15);
  FTable.SetRow(1);
  calculation.Calculate(value);
  EXPECT_TRUE(value.IsNull());
  FTable.SetRow(0);

  EXPECT_EQ(Calculate(u"UPPER(S) || '!'").FString, u"KŐMŰVES!");  // the column's code page maps Ő
  EXPECT_EQ(Calculate(u"X / 2;").FFloat, 1.375);
  EXPECT_EQ(Calculate(u"D + 1").FDate, PackDate(2024, 2, 1));
  EXPECT_TRUE(calculation.IsSame(TTdbSqlCalculation(u"N * 2 + 1")));
  EXPECT_FALSE(calculation.IsSame(TTdbSqlCalculation(u"N*2+1")));
}

TEST_F(CalculationTest, ForcedResultTypes) {
  TCondDataType text = MakeStringType(cctString, 5);
  text.FCodePage = 1250;
  const TCondDataType wide = MakeStringType(cctWideString, 20);
  const TCondDataType int16 = MakeType(cctInt16);
  const TCondDataType floating = MakeType(cctFloat);
  const TCondDataType date = MakeType(cctDate);
  const TCondDataType stamp = MakeType(cctDateTime);
  const TCondDataType time = MakeType(cctTime);
  EXPECT_EQ(Calculate(u"N * 1000", &text).FString, u"7000");
  EXPECT_EQ(Calculate(u"N * 100000", &text).FString, u"70000");
  EXPECT_EQ(Calculate(u"N * 1000000", &text).FString, u"70000");  // cut to the length
  EXPECT_EQ(Calculate(u"X", &wide).FString, u"2.75");
  EXPECT_EQ(Calculate(u"D", &wide).FString, u"2024-01-31");
  EXPECT_EQ(Calculate(u"X", &int16).FInteger, 2);
  EXPECT_EQ(Calculate(u"-X", &int16).FInteger, -2);
  EXPECT_EQ(Calculate(u"'12'", &int16).FInteger, 12);
  EXPECT_EQ(Calculate(u"N", &floating).FFloat, 7.0);
  EXPECT_EQ(Calculate(u"D", &stamp).FDate, PackDate(2024, 1, 31));
  EXPECT_EQ(Calculate(u"TIMESTAMP '2024-01-31 10:00'", &date).FDate, PackDate(2024, 1, 31));
  EXPECT_EQ(Calculate(u"TIMESTAMP '2024-01-31 10:00'", &time).FTime, 36000000);
  EXPECT_EQ(Calculate(u"'1.2.2024'", &date).FDate, PackDate(2024, 2, 1));
}

TEST_F(CalculationTest, Errors) {
  const TCondDataType int16 = MakeType(cctInt16);
  const TCondDataType date = MakeType(cctDate);
  struct Case {
    const char16_t* text;
    const TCondDataType* forced;
    int number;
    const char* message;
  } cases[] = {
      {u"N + 1 x", nullptr, 25, "Syntax error in expression \"\"<end of statement>\" expected but \"x\" found\""},
      {u"N = 1", nullptr, 25, "Syntax error in expression \"\"<end of statement>\" expected but \"=\" found\""},
      {u"N * 10000", &int16, 81, "Value 70000 of type SmallInt exceeds the allowed range from -32768 to 32767"},
      {u"X * 1e20", &int16, 81, "Value 2.75e+20 of type SmallInt exceeds the allowed range from -32768 to 32767"},
      {u"S", &int16, 46, "\"Kőműves\" is not a valid number"},
      {u"S", &date, 137, "\"Kőműves\" is not a valid date"},
      {u"N", &date, 44, "Type mismatch: Integer->Date NOT NULL"},
  };
  for (const Case& c : cases) {
    TTdbSqlCalculation calculation{c.text};
    try {
      calculation.Prepare(FTable);
      if (c.forced) calculation.ForceResultType(*c.forced);
      TCondValue value;
      calculation.Calculate(value);
      ADD_FAILURE() << Utf16ToUtf8(c.text);
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.number) << Utf16ToUtf8(c.text);
      EXPECT_EQ(error.Message(), c.message) << Utf16ToUtf8(c.text);
    }
  }
  TTdbSqlCalculation unprepared{u"N"};
  TCondValue value;
  EXPECT_THROW(unprepared.Calculate(value), ETdbEngine);
}

}  // namespace
}  // namespace kestrel
