// Column values as text: round trips per type and date format, bad texts
// with their errors, and the refusal texts of values of the wrong kind.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/base/column_text.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine_error_of.h"

namespace kestrel {
namespace {

using test::ErrorOf;

TTdbTextFormats Formats(TTdbDateFormat date, char16_t decimal = u'.') {
  TTdbTextFormats formats;
  formats.FDateFormat = date;
  formats.FDecimalSeparator = decimal;
  return formats;
}

const TTdbDataType kEnum = TTdbDataType::MakeEnum(true, {u"Piros", u"Zöld", u"Kék"}, 6);

TEST(ColumnText, RoundTrips) {
  struct Case {
    TTdbDataType type;
    TTdbTextFormats formats;
    std::u16string text;
    TTdbValue value;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, true, 6), {}, u"-32768", int64_t{-32768}},
      {TTdbDataType::Make(tctInt64, true, 6), {}, u"9223372036854775807", int64_t{INT64_MAX}},
      {TTdbDataType::Make(tctByte, true, 6), {}, u"255", int64_t{255}},
      {TTdbDataType::Make(tctBoolean, true, 6), {}, u"True", int64_t{1}},
      {TTdbDataType::Make(tctBoolean, true, 6), {}, u"False", int64_t{0}},
      {kEnum, {}, u"Zöld", int64_t{2}},
      {TTdbDataType::Make(tctEnum, true, 6), {}, u"Enum7", int64_t{7}},
      {TTdbDataType::MakeFloat(true, 0, 6), {}, u"1.5", 1.5},
      {TTdbDataType::MakeFloat(true, 0, 6), Formats(tdfIso, u','), u"-0,1", -0.1},
      {TTdbDataType::MakeFloat(true, 0, 6), {}, u"1e+300", 1e300},
      {TTdbDataType::Make(tctDate, true, 6), Formats(tdfDayMonthYear), u"31.12.2003", TTdbDate{1025951}},
      {TTdbDataType::Make(tctDate, true, 6), Formats(tdfShortDayMonth), u"5.01.24", TTdbDate{2024 * 512 + 32 + 5}},
      {TTdbDataType::Make(tctDate, true, 6), Formats(tdfMonthDayUs), u"1/5/99", TTdbDate{1999 * 512 + 32 + 5}},
      {TTdbDataType::Make(tctDate, true, 6), Formats(tdfIso), u"0001-01-01", TTdbDate{545}},
      {TTdbDataType::MakeDateTime(tctTime, true, 2, true, 6), {}, u"13:45", TTdbTime{825 * kTicksPerMinute}},
      {TTdbDataType::MakeDateTime(tctTime, true, 3, true, 6), {}, u"13:45:07", TTdbTime{49507000 * kTicksPerMillisecond}},
      {TTdbDataType::MakeDateTime(tctTime, true, 4, true, 6), {}, u"23:59:59.999", TTdbTime{86399999 * kTicksPerMillisecond}},
      {TTdbDataType::Make(tctDateTime, true, 6), Formats(tdfDayMonthYear), u"31.12.2003 01:02:03.004",
       TTdbTimeStamp{1025951, 3723004}},
      {TTdbDataType::Make(tctGuid, true, 6), {}, u"{01234567-89AB-CDEF-0123-456789ABCDEF}",
       TTdbGuid{0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}}},
      {TTdbDataType::Make(tctBlob, true, 6), {}, u"00FF10", TTdbBytes{std::string("\x00\xFF\x10", 3)}},
      {TTdbDataType::MakeString(tctString, true, 10, u"", 6), {}, u" árvíz ", std::u16string(u" árvíz ")},
      {TTdbDataType::Make(tctWideMemo, true, 6), {}, u"ő\r\nű", std::u16string(u"ő\r\nű")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.SqlName() + " " + Utf16ToUtf8(c.text));
    EXPECT_EQ(ConvertFromString(c.type, c.text, c.formats), c.value);
    EXPECT_EQ(ConvertToString(c.type, c.value, c.formats), c.text);
  }
}

TEST(ColumnText, ReadingIsLenient) {
  struct Case {
    TTdbDataType type;
    std::u16string text;
    TTdbValue value;
  } cases[] = {
      {TTdbDataType::Make(tctLongInt, true, 6), u" +42 ", int64_t{42}},
      {TTdbDataType::Make(tctBoolean, true, 6), u"TRUE", int64_t{1}},
      {kEnum, u"kék", int64_t{3}},
      {TTdbDataType::Make(tctDate, true, 6), u"2003-1-2", TTdbDate{2003 * 512 + 32 + 2}},
      {TTdbDataType::Make(tctTime, true, 6), u"7:05", TTdbTime{425 * kTicksPerMinute}},
      {TTdbDataType::Make(tctTime, true, 6), u"07:05:01.5", TTdbTime{25501500 * kTicksPerMillisecond}},
      {TTdbDataType::Make(tctDateTime, true, 6), u"2003-12-31", TTdbTimeStamp{1025951, 0}},
      {TTdbDataType::Make(tctGuid, true, 6), u"01234567-89ab-cdef-0123-456789abcdef",
       TTdbGuid{0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}}},
      {TTdbDataType::Make(tctInt16, true, 6), u"", std::monostate{}},
      {TTdbDataType::MakeString(tctString, true, 4, u"", 6), u"ABCDEFG", std::u16string(u"ABCD")},
      {TTdbDataType::Make(tctChar, true, 6), u"xy", std::u16string(u"x")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.SqlName() + " " + Utf16ToUtf8(c.text));
    EXPECT_EQ(ConvertFromString(c.type, c.text, Formats(tdfIso)), c.value);
  }
}

TEST(ColumnText, BadTextsGiveTheirErrors) {
  struct Case {
    TTdbDataType type;
    std::u16string text;
    int number;
    std::string message;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, true, 6), u"12a", tdbErrInvalidNumber, "\"12a\" is not a valid number"},
      {TTdbDataType::Make(tctInt16, true, 6), u"-", tdbErrInvalidNumber, "\"-\" is not a valid number"},
      {TTdbDataType::Make(tctInt16, true, 6), u"40000", tdbErrValueRange,
       "Value 40000 of type SmallInt exceeds the allowed range from -32768 to 32767"},
      {TTdbDataType::Make(tctInt64, true, 6), u"99999999999999999999", tdbErrValueRange,
       "Value 99999999999999999999 of type BigInt exceeds the allowed range from -9223372036854775808 to "
       "9223372036854775807"},
      {TTdbDataType::Make(tctBoolean, true, 6), u"Yes", tdbErrValueRange,
       "Value Yes of type Boolean exceeds the allowed range from 0 to 1"},
      {kEnum, u"Fekete", tdbErrValueRange, "Value Fekete of type <enumeration> exceeds the allowed range from Piros to Kék"},
      {TTdbDataType::MakeFloat(true, 0, 6), u"1.5", tdbErrInvalidNumber, "\"1.5\" is not a valid number"},
      {TTdbDataType::MakeFloat(true, 0, 6), u"nan", tdbErrInvalidNumber, "\"nan\" is not a valid number"},
      {TTdbDataType::Make(tctDate, true, 6), u"2003-02-29", tdbErrInvalidDate, "\"2003-02-29\" is not a valid date"},
      {TTdbDataType::Make(tctDate, true, 6), u"31.12.2003", tdbErrInvalidDate, "\"31.12.2003\" is not a valid date"},
      {TTdbDataType::Make(tctTime, true, 6), u"24:00", tdbErrInvalidTime, "\"24:00\" is not a valid time"},
      {TTdbDataType::Make(tctTime, true, 6), u"12:00:00.1234", tdbErrInvalidTime, "\"12:00:00.1234\" is not a valid time"},
      {TTdbDataType::Make(tctDateTime, true, 6), u"2003-12-31 25:00", tdbErrPlain,
       "2003-12-31 25:00 is not a valid time stamp"},
      {TTdbDataType::Make(tctGuid, true, 6), u"{0123}", tdbErrPlain, "\"{0123}\" is not a valid GUID"},
      {TTdbDataType::Make(tctBlob, true, 6), u"ABC", tdbErrPlain, "\"ABC\" is not a valid hexadecimal text"},
      {TTdbDataType::Make(tctRelation, true, 6), u"x", tdbErrPlain, "Cannot assign object."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.SqlName() + " " + Utf16ToUtf8(c.text));
    const TTdbTextFormats formats = Formats(tdfIso, u',');
    EXPECT_EQ(ErrorOf([&] { ConvertFromString(c.type, c.text, formats); }), std::pair(c.number, c.message));
  }
}

TEST(ColumnText, ValuesOfTheWrongKindAreRefused) {
  struct Case {
    TTdbDataType type;
    TTdbValue value;
    std::string message;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, true, 6), std::u16string(u"1"), "Is not an integer."},
      {TTdbDataType::Make(tctDate, true, 6), int64_t{1}, "Is not a date."},
      {TTdbDataType::Make(tctTime, true, 6), TTdbDate{545}, "Is not a time."},
      {TTdbDataType::MakeString(tctString, true, 4, u"", 6), int64_t{1}, "Is not an ANSI string."},
      {TTdbDataType::Make(tctWideMemo, true, 6), TTdbBlockRef{3}, "Is not a wide string."},
      {TTdbDataType::Make(tctGuid, true, 6), int64_t{1}, "Is not a GUID."},
      {TTdbDataType::Make(tctBlob, true, 6), TTdbBlockRef{3}, "Is not a binary."},
      {TTdbDataType::Make(tctRelation, true, 6), int64_t{1}, "Is not a class."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(ErrorOf([&] { ConvertToString(c.type, c.value, {}); }), std::pair(int{tdbErrPlain}, c.message));
  }
  EXPECT_EQ(ConvertToString(TTdbDataType::Make(tctInt16, true, 6), std::monostate{}, {}), u"");
}

TEST(ColumnText, PlatformFormatsReadWhatTheyWrite) {
  const TTdbTextFormats formats = PlatformTextFormats();
  const TTdbDataType stamp = TTdbDataType::Make(tctDateTime, true, 6);
  const TTdbValue value = TTdbTimeStamp{2024 * 512 + 2 * 32 + 29, 45296789};
  EXPECT_EQ(ConvertFromString(stamp, ConvertToString(stamp, value, formats), formats), value);
  const TTdbDataType real = TTdbDataType::MakeFloat(true, 0, 6);
  EXPECT_EQ(ConvertFromString(real, ConvertToString(real, 2.25, formats), formats), TTdbValue(2.25));
}

}  // namespace
}  // namespace kestrel
