// Conversions between column types: every allowed cell of the matrix with a
// sample value, a sample of refused cells with the texts of both sides, and
// the range checks on the way.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/base/column_conversion.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine_error_of.h"

namespace kestrel {
namespace {

using test::ErrorOf;

const TTdbDataType kInt16 = TTdbDataType::Make(tctInt16, true, 6);
const TTdbDataType kByte = TTdbDataType::Make(tctByte, true, 6);
const TTdbDataType kEnum = TTdbDataType::MakeEnum(true, {u"A", u"B"}, 6);
const TTdbDataType kFloat = TTdbDataType::MakeFloat(true, 0, 6);
const TTdbDataType kString = TTdbDataType::MakeString(tctString, true, 5, u"", 6);
const TTdbDataType kWide = TTdbDataType::MakeString(tctWideString, true, 40, u"", 6);
const TTdbDataType kDate = TTdbDataType::Make(tctDate, true, 6);
const TTdbDataType kTime = TTdbDataType::Make(tctTime, true, 6);
const TTdbDataType kStamp = TTdbDataType::Make(tctDateTime, true, 6);
const TTdbDataType kGuid = TTdbDataType::Make(tctGuid, true, 6);
const TTdbDataType kBlob = TTdbDataType::Make(tctBlob, true, 6);
const TTdbDataType kRelation = TTdbDataType::Make(tctRelation, true, 6);

const TTdbGuid kSampleGuid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};

TEST(ColumnConversion, AllowedCells) {
  struct Case {
    TTdbDataType from;
    TTdbValue value;
    TTdbDataType to;
    bool implicitly;
    TTdbValue result;
  } cases[] = {
      {kInt16, int64_t{200}, kByte, true, int64_t{200}},
      {kInt16, int64_t{2}, kEnum, true, int64_t{2}},
      {kInt16, int64_t{-3}, kFloat, true, -3.0},
      {kInt16, int64_t{-3}, kString, false, std::u16string(u"-3")},
      {kEnum, int64_t{2}, kWide, false, std::u16string(u"B")},
      {kFloat, 2.5, kInt16, false, int64_t{3}},
      {kFloat, -2.5, kInt16, false, int64_t{-3}},
      {kFloat, 2.5, kFloat, true, 2.5},
      {kFloat, 0.25, kWide, false, std::u16string(u"0.25")},
      {kString, std::u16string(u"12"), kInt16, false, int64_t{12}},
      {kString, std::u16string(u"1.5"), kFloat, false, 1.5},
      {kWide, std::u16string(u"abcdefgh"), kString, true, std::u16string(u"abcde")},
      {kString, std::u16string(u"2003-12-31"), kDate, false, TTdbDate{1025951}},
      {kString, std::u16string(u"01:00"), kTime, false, TTdbTime{60 * kTicksPerMinute}},
      {kWide, std::u16string(u"2003-12-31 01:00"), kStamp, false, TTdbTimeStamp{1025951, 3600000}},
      {kWide, std::u16string(u"{00000001-0002-0003-0405-060708090A0B}"), kGuid, false, kSampleGuid},
      {kString, std::u16string(u"0A0B"), kBlob, false, TTdbBytes{"\x0A\x0B"}},
      {kDate, TTdbDate{1025951}, kWide, false, std::u16string(u"2003-12-31")},
      {kDate, TTdbDate{1025951}, kDate, true, TTdbDate{1025951}},
      {kDate, TTdbDate{1025951}, kStamp, true, TTdbTimeStamp{1025951, 0}},
      {kTime, TTdbTime{60 * kTicksPerMinute}, kWide, false, std::u16string(u"01:00:00.000")},
      {kTime, TTdbTime{60 * kTicksPerMinute}, kTime, true, TTdbTime{60 * kTicksPerMinute}},
      {kStamp, TTdbTimeStamp{1025951, 3600000}, kWide, false, std::u16string(u"2003-12-31 01:00:00.000")},
      {kStamp, TTdbTimeStamp{1025951, 3600000}, kDate, false, TTdbDate{1025951}},
      {kStamp, TTdbTimeStamp{1025951, 3600000}, kTime, false, TTdbTime{60 * kTicksPerMinute}},
      {kStamp, TTdbTimeStamp{1025951, 3600000}, kStamp, true, TTdbTimeStamp{1025951, 3600000}},
      {kGuid, kSampleGuid, kWide, false, std::u16string(u"{00000001-0002-0003-0405-060708090A0B}")},
      {kGuid, kSampleGuid, kGuid, true, kSampleGuid},
      {kBlob, TTdbBytes{"\x0A"}, kWide, false, std::u16string(u"0A")},
      {kBlob, TTdbBytes{"\x0A"}, kBlob, true, TTdbBytes{"\x0A"}},
  };
  const TTdbTextFormats formats;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from.TypeName() + "->" + c.to.TypeName());
    EXPECT_EQ(CanConvertTo(c.from, c.to, false), c.implicitly);
    EXPECT_TRUE(CanConvertFrom(c.to, c.from, true));
    EXPECT_EQ(ConvertTo(c.from, c.value, c.to, true, formats), c.result);
    EXPECT_EQ(ConvertFrom(c.to, c.from, c.value, true, formats), c.result);
  }
}

TEST(ColumnConversion, RefusedCellsNameBothSides) {
  struct Case {
    TTdbDataType from;
    TTdbValue value;
    TTdbDataType to;
    bool explicitly;
    std::string setterText;  // ConvertTo
    std::string getterText;  // ConvertFrom
  } cases[] = {
      {kFloat, 1.5, kInt16, false, "Cannot assign double.", "Is not an integer."},
      {kString, std::u16string(u"1"), kInt16, false, "Cannot assign ANSI string.", "Is not an integer."},
      {kInt16, int64_t{1}, kString, false, "Cannot assign integer.", "Is not an ANSI string."},
      {kInt16, int64_t{1}, kDate, true, "Cannot assign integer.", "Is not a date."},
      {kDate, TTdbDate{545}, kTime, true, "Cannot assign date.", "Is not a time."},
      {kTime, TTdbTime{0}, kStamp, true, "Cannot assign time.", "Is not a date."},
      {kStamp, TTdbTimeStamp{545, 0}, kWide, false, "Cannot assign time stamp.", "Is not a wide string."},
      {kGuid, kSampleGuid, kBlob, true, "Cannot assign GUID.", "Is not a binary."},
      {kBlob, TTdbBytes{}, kGuid, true, "Cannot assign bytes.", "Is not a GUID."},
      {kWide, std::u16string(u"x"), kRelation, true, "Cannot assign Unicode string.", "Is not a class."},
      {kRelation, int64_t{1}, kInt16, true, "Cannot assign object.", "Is not an integer."},
  };
  const TTdbTextFormats formats;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from.TypeName() + "->" + c.to.TypeName());
    EXPECT_FALSE(CanConvertTo(c.from, c.to, c.explicitly));
    EXPECT_EQ(ErrorOf([&] { ConvertTo(c.from, c.value, c.to, c.explicitly, formats); }),
              std::pair(int{tdbErrPlain}, c.setterText));
    EXPECT_EQ(ErrorOf([&] { ConvertFrom(c.to, c.from, c.value, c.explicitly, formats); }),
              std::pair(int{tdbErrPlain}, c.getterText));
  }
}

TEST(ColumnConversion, RangesAndKinds) {
  const TTdbTextFormats formats;
  EXPECT_EQ(ErrorOf([&] { ConvertTo(kInt16, int64_t{256}, kByte, false, formats); }),
            std::pair(int{tdbErrValueRange}, std::string("Value 256 of type Byte exceeds the allowed range from 0 to 255")));
  EXPECT_EQ(ErrorOf([&] { ConvertTo(kInt16, int64_t{3}, kEnum, false, formats); }),
            std::pair(int{tdbErrPlain}, std::string("Enum overflow")));
  EXPECT_EQ(ErrorOf([&] { ConvertTo(kFloat, 1e30, kInt16, true, formats); }).first, tdbErrValueRange);
  EXPECT_EQ(ErrorOf([&] { ConvertTo(kFloat, std::nan(""), kInt16, true, formats); }).first, tdbErrValueRange);
  // NULL stays NULL, whatever the pair.
  EXPECT_EQ(ConvertTo(kInt16, std::monostate{}, kDate, false, formats), TTdbValue());
  // A value that does not fit its own type is refused by that type's getter.
  EXPECT_EQ(ErrorOf([&] { ConvertTo(kDate, int64_t{1}, kStamp, false, formats); }),
            std::pair(int{tdbErrPlain}, std::string("Is not a date.")));
}

}  // namespace
}  // namespace kestrel
