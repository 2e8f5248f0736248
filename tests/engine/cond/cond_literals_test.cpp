// The engine's literal syntaxes: numbers, dates, times and time stamps, and
// the day arithmetic behind date functions.
#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "engine/base/code_page.h"
#include "engine/cond/cond_literals.h"

namespace kestrel {
namespace {

TEST(CondLiterals, Numbers) {
  struct Case {
    std::u16string text;
    bool valid;
    TCondValueKind kind;
    double value;
  } cases[] = {
      {u"12", true, cvkInteger, 12},          {u"-12", true, cvkInteger, -12},
      {u"+12", true, cvkInteger, 12},         {u"1.", true, cvkFloat, 1},
      {u"1.25", true, cvkFloat, 1.25},        {u"1e3", true, cvkFloat, 1000},
      {u"2.5E-1", true, cvkFloat, 0.25},      {u"9223372036854775807", true, cvkInteger, 9223372036854775807.0},
      {u"9223372036854775808", true, cvkFloat, 9223372036854775808.0},
      {u"1e400", false, cvkNull, 0},          {u"", false, cvkNull, 0},
      {u".5", false, cvkNull, 0},             {u"1,5", false, cvkNull, 0},
      {u"1_000", false, cvkNull, 0},          {u"1e", false, cvkNull, 0},
      {u" 1", false, cvkNull, 0},             {u"0x10", false, cvkNull, 0},
  };
  for (const Case& c : cases) {
    TCondValue value;
    ASSERT_EQ(ParseEngineNumber(c.text, value), c.valid) << Utf16ToUtf8(c.text);
    if (!c.valid) continue;
    EXPECT_EQ(value.FKind, c.kind) << Utf16ToUtf8(c.text);
    EXPECT_EQ(ValueAsFloat(value), c.value) << Utf16ToUtf8(c.text);
  }
  int64_t integer;
  EXPECT_TRUE(ParseEngineInteger(u"-9223372036854775808", integer));
  EXPECT_EQ(integer, INT64_MIN);
  EXPECT_FALSE(ParseEngineInteger(u"-9223372036854775809", integer));
  EXPECT_FALSE(ParseEngineInteger(u"-", integer));
}

TEST(CondLiterals, Dates) {
  struct Case {
    std::u16string text;
    int year, month, day;  // 0: invalid
  } cases[] = {
      {u"31.12.2003", 2003, 12, 31}, {u"12/31/2003", 2003, 12, 31}, {u"2003-12-31", 2003, 12, 31},
      {u"1.1.29", 2029, 1, 1},       {u"1.1.30", 1930, 1, 1},       {u"1.1.0030", 30, 1, 1},
      {u"29.2.2000", 2000, 2, 29},   {u"29.2.1900", 0, 0, 0},       {u"29.2.2024", 2024, 2, 29},
      {u"31.4.2024", 0, 0, 0},       {u"30.4.2024", 2024, 4, 30},   {u"0.1.2024", 0, 0, 0},
      {u"1.13.2024", 0, 0, 0},       {u"1.1.10000", 0, 0, 0},       {u"1.1.0", 2000, 1, 1},
      {u"2024-01", 0, 0, 0},         {u"2024-01-01-01", 0, 0, 0},   {u"1.1/2024", 0, 0, 0},
      {u"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t packed = 0;
    ASSERT_EQ(ParseEngineDate(c.text, packed), c.year != 0) << Utf16ToUtf8(c.text);
    if (c.year) {
      EXPECT_EQ(packed, PackDate(c.year, c.month, c.day)) << Utf16ToUtf8(c.text);
    }
  }
  EXPECT_EQ(PackDate(2003, 12, 31), 1025951);
}

TEST(CondLiterals, TimesAndTimeStamps) {
  struct Case {
    std::u16string text;
    int32_t milliseconds;  // -1: invalid
  } cases[] = {
      {u"13:45", 49500000},        {u"13:45:30", 49530000},     {u"13:45:30.250", 49530250},
      {u"13:45:30.5", 49530500},   {u"0:00", 0},                {u"24:00:00.000", 86400000},
      {u"24:00:00.001", -1},       {u"24:01", -1},              {u"23:60", -1},
      {u"12:00 AM", 0},            {u"12:30 pm", 45000000},     {u"1:00 PM", 46800000},
      {u"13:00 PM", -1},           {u"0:00 AM", -1},            {u"13", -1},
      {u"13:45:30.1234", -1},      {u"13:45 XM", -1},           {u"13:45  PM", -1},
  };
  for (const Case& c : cases) {
    int32_t milliseconds = -1;
    ASSERT_EQ(ParseEngineTime(c.text, milliseconds), c.milliseconds >= 0) << Utf16ToUtf8(c.text);
    if (c.milliseconds >= 0) {
      EXPECT_EQ(milliseconds, c.milliseconds) << Utf16ToUtf8(c.text);
    }
  }
  struct StampCase {
    std::u16string text;
    int32_t date;  // 0: invalid
    int32_t milliseconds;
  } stamps[] = {
      {u"2024-01-31 13:45", PackDate(2024, 1, 31), 49500000},
      {u"31.01.2024_13:45", PackDate(2024, 1, 31), 49500000},
      {u"2024-01-31", PackDate(2024, 1, 31), 0},
      {u"13:45", PackDate(1, 1, 1), 49500000},
      {u"1:00 PM", PackDate(1, 1, 1), 46800000},
      {u"2024-01-31 1:00 PM", PackDate(2024, 1, 31), 46800000},
      {u"2024-01-31 25:00", 0, 0},
      {u"2024-02-30 10:00", 0, 0},
  };
  for (const StampCase& c : stamps) {
    int32_t date = 0, milliseconds = 0;
    ASSERT_EQ(ParseEngineTimeStamp(c.text, date, milliseconds), c.date != 0) << Utf16ToUtf8(c.text);
    if (!c.date) continue;
    EXPECT_EQ(date, c.date) << Utf16ToUtf8(c.text);
    EXPECT_EQ(milliseconds, c.milliseconds) << Utf16ToUtf8(c.text);
  }
}

TEST(CondLiterals, DayCounts) {
  EXPECT_EQ(DateToDays(PackDate(1, 1, 1)), 0);
  EXPECT_EQ(DateToDays(PackDate(1, 12, 31)), 364);
  EXPECT_EQ(DateToDays(PackDate(2024, 3, 1)) - DateToDays(PackDate(2024, 2, 28)), 2);
  for (int32_t packed : {PackDate(1, 1, 1), PackDate(1600, 2, 29), PackDate(1999, 12, 31), PackDate(2000, 2, 29),
                         PackDate(2024, 1, 31), PackDate(9999, 12, 31)})
    EXPECT_EQ(DaysToDate(DateToDays(packed)), packed);
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

TEST(CondLiterals, LocalFormatsOfTheDefaultLocale) {
  const icu::Locale previous = icu::Locale::getDefault();
  struct Case {
    const char* locale;
    char16_t decimal;
    const char* order;
    char16_t dateSeparator;
  } cases[] = {{"hu_HU", u',', "YMD", u'.'}, {"de_DE", u',', "DMY", u'.'}, {"en_US", u'.', "MDY", u'/'}};
  for (const Case& c : cases) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(c.locale), status);
    ASSERT_TRUE(U_SUCCESS(status));
    const TCondLocalFormats formats = DefaultLocalFormats();
    EXPECT_EQ(formats.FDecimalSeparator, c.decimal) << c.locale;
    EXPECT_STREQ(formats.FDateOrder, c.order) << c.locale;
    EXPECT_EQ(formats.FDateSeparator, c.dateSeparator) << c.locale;
  }
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale::setDefault(previous, status);
}

}  // namespace
}  // namespace kestrel
