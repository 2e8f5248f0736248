// Column values in record images: byte layouts against independent
// references (IEEE bit patterns, the mixed-endian GUID layout, little-endian
// integers), ranges and NULL rules with their error texts, text cuts and
// code pages, and value comparison.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/base/column_codec.h"
#include "engine/base/date_time_value.h"
#include "engine/base/engine_error.h"
#include "engine_error_of.h"

namespace kestrel {
namespace {

using test::ErrorOf;

using TBytes = std::vector<uint8_t>;

TBytes Encode(const TTdbDataType& type, const TTdbValue& value, uint8_t fill = 0xCC) {
  TBytes bytes(static_cast<size_t>(type.DataSize()), fill);
  WriteValue(type, bytes, value);
  return bytes;
}

TEST(ColumnCodec, IntegerLayouts) {
  struct Case {
    TTdbDataType type;
    int64_t value;
    TBytes bytes;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, false, 6), -2, {0xFE, 0xFF}},
      {TTdbDataType::Make(tctInt16, true, 4), 0x1234, {0x34, 0x12, 0x01}},
      {TTdbDataType::Make(tctInt16, true, 6), 0x1234, {0x01, 0x34, 0x12}},
      {TTdbDataType::Make(tctByte, false, 6), 255, {0xFF}},
      {TTdbDataType::Make(tctBoolean, true, 6), 1, {0x01, 0x01}},
      {TTdbDataType::Make(tctLongInt, false, 6), -2147483648LL, {0x00, 0x00, 0x00, 0x80}},
      {TTdbDataType::Make(tctRecordId, false, 6), 0x01020304, {0x04, 0x03, 0x02, 0x01}},
      {TTdbDataType::Make(tctLink, true, 5), 7, {0x07, 0x00, 0x00, 0x00}},
      {TTdbDataType::Make(tctInt64, false, 6), -1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {TTdbDataType::Make(tctInt64, true, 4), 0x0102030405060708LL, {8, 7, 6, 5, 4, 3, 2, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.SqlName() + " " + std::to_string(c.value));
    EXPECT_EQ(Encode(c.type, c.value), c.bytes);
    EXPECT_EQ(std::get<int64_t>(ReadValue(c.type, c.bytes)), c.value);
  }
}

TEST(ColumnCodec, IntegerRangeErrors) {
  struct Case {
    TTdbDataType type;
    int64_t value;
    const char* message;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, false, 6), 32768, "Value 32768 of type SmallInt exceeds the allowed range from -32768 to 32767"},
      {TTdbDataType::Make(tctInt16, true, 6), -32769, "Value -32769 of type SmallInt exceeds the allowed range from -32768 to 32767"},
      {TTdbDataType::Make(tctByte, false, 6), 256, "Value 256 of type Byte exceeds the allowed range from 0 to 255"},
      {TTdbDataType::Make(tctByte, false, 6), -1, "Value -1 of type Byte exceeds the allowed range from 0 to 255"},
      {TTdbDataType::Make(tctBoolean, false, 6), 2, "Value 2 of type Boolean exceeds the allowed range from 0 to 1"},
      {TTdbDataType::Make(tctRecordId, false, 6), -1, "Value -1 of type RecordId exceeds the allowed range from 0 to 2147483647"},
      {TTdbDataType::Make(tctLink, false, 6), 2147483648LL, "Value 2147483648 of type Link exceeds the allowed range from 0 to 2147483647"},
      {TTdbDataType::Make(tctLongInt, false, 6), -2147483649LL, "Value -2147483649 of type Integer exceeds the allowed range from -2147483648 to 2147483647"},
      {TTdbDataType::Make(tctBlob, false, 6), -5, "Value -5 of type Blob exceeds the allowed range from 0 to 2147483647"},
  };
  for (const Case& c : cases) {
    TBytes bytes(static_cast<size_t>(c.type.DataSize()), 0xAB);
    const TBytes before = bytes;
    const auto [number, message] = ErrorOf([&] { WriteValue(c.type, bytes, c.value); });
    EXPECT_EQ(number, 81);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(bytes, before) << "a refused value changes nothing";
  }
}

TEST(ColumnCodec, FloatsAreIeeeBinary64) {
  const double values[] = {0.0, -0.0, 1.0, -1.5, 3.141592653589793, std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  const TTdbDataType types[] = {TTdbDataType::Make(tctFloat, false, 4), TTdbDataType::Make(tctFloat, true, 6)};
  for (const TTdbDataType& type : types) {
    for (double value : values) {
      const TBytes bytes = Encode(type, value);
      const uint64_t bits = std::bit_cast<uint64_t>(value);
      for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bytes[static_cast<size_t>(type.ValueOffset() + i)], static_cast<uint8_t>(bits >> (8 * i))) << value;
      EXPECT_EQ(std::bit_cast<uint64_t>(std::get<double>(ReadValue(type, bytes))), bits);
    }
  }
  // 1.0 is 3F F0 00 .. little-endian; an integer is taken as a float.
  EXPECT_EQ(Encode(TTdbDataType::Make(tctFloat, false, 6), int64_t{1}), (TBytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  const uint64_t nanBits = 0x7FF8000000000123ULL;
  const TTdbDataType type = TTdbDataType::Make(tctFloat, false, 6);
  EXPECT_EQ(std::bit_cast<uint64_t>(std::get<double>(ReadValue(type, Encode(type, std::bit_cast<double>(nanBits))))),
            nanBits);
}

TEST(ColumnCodec, GuidMixedEndianLayout) {
  // {00112233-4455-6677-8899-AABBCCDDEEFF}
  const TTdbGuid guid{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
  const TBytes expected = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                           0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  const TTdbDataType plain = TTdbDataType::Make(tctGuid, false, 6);
  EXPECT_EQ(Encode(plain, guid), expected);
  EXPECT_EQ(std::get<TTdbGuid>(ReadValue(plain, expected)), guid);
  TBytes level6 = {0x01};
  level6.insert(level6.end(), expected.begin(), expected.end());
  EXPECT_EQ(Encode(TTdbDataType::Make(tctGuid, true, 6), guid), level6);
}

TEST(ColumnCodec, NullRules) {
  // SetNull on a type that is not nullable.
  const auto [number, message] = ErrorOf([] {
    TBytes bytes(4);
    SetNullValue(TTdbDataType::Make(tctRecordId, true, 6), bytes);
  });
  EXPECT_EQ(number, 47);
  EXPECT_EQ(message, "\"RecordId\" does not accept NULL values");

  // The indicator goes to 0 and the value bytes stay.
  const TTdbDataType int16 = TTdbDataType::Make(tctInt16, true, 4);
  TBytes bytes = Encode(int16, int64_t{0x0102});
  SetNullValue(int16, bytes);
  EXPECT_EQ(bytes, (TBytes{0x02, 0x01, 0x00}));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadValue(int16, bytes)));

  struct Case {
    TTdbDataType type;
    TBytes bytes;
    bool isNull;
  } cases[] = {
      {TTdbDataType::Make(tctDate, true, 4), {0, 0, 0, 0}, true},  // no indicator: 0 is NULL
      {TTdbDataType::Make(tctDate, false, 4), {0, 0, 0, 0}, false},
      {TTdbDataType::Make(tctDateTime, true, 6), {0, 0, 0, 0, 1, 0, 0, 0}, false},
      {TTdbDataType::Make(tctDateTime, true, 6), {0, 0, 0, 0, 0, 0, 0, 0}, true},
      {TTdbDataType::Make(tctEnum, true, 6), {0}, true},
      {TTdbDataType::Make(tctLink, true, 6), {0, 0, 0, 0}, true},
      {TTdbDataType::Make(tctMemo, true, 4), {0, 0, 0, 0}, true},
      {TTdbDataType::Make(tctBlob, true, 4), {9, 0, 0, 0}, false},
      {TTdbDataType::Make(tctInt16, false, 6), {0, 0}, false},  // not nullable: never NULL
      {TTdbDataType::Make(tctInt16, true, 6), {0, 5, 0}, true},
      {TTdbDataType::Make(tctInt16, true, 6), {1, 5, 0}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsNullValue(c.type, c.bytes), c.isNull) << c.type.SqlName();

  // Writing NULL through WriteValue stores the NULL value of value-null types.
  const TTdbDataType link = TTdbDataType::Make(tctLink, true, 6);
  EXPECT_EQ(Encode(link, std::monostate{}), (TBytes{0, 0, 0, 0}));
}

TEST(ColumnCodec, StringsCutAndCodePage) {
  const TTdbDataType level4 = TTdbDataType::MakeString(tctString, true, 10, u"", 4);
  EXPECT_EQ(Encode(level4, std::u16string(u"ABCDEFGHIJKL"), 0),
            (TBytes{10, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 1}));
  const TTdbDataType level6 = TTdbDataType::MakeString(tctString, true, 10, u"", 6);
  TBytes bytes = Encode(level6, std::u16string(u"Kő"), 0xEE);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[3], 0xF5) << "ő in Windows-1250";
  EXPECT_EQ(bytes[4], 0xEE) << "bytes behind the text stay";
  EXPECT_EQ(std::get<std::u16string>(ReadValue(level6, bytes)), u"Kő");

  // Two-byte length prefix.
  const TTdbDataType longString = TTdbDataType::MakeString(tctString, false, 298, u"", 6);
  const TBytes longBytes = Encode(longString, std::u16string(300, u'x'));
  EXPECT_EQ(longBytes[0], 0x2A);
  EXPECT_EQ(longBytes[1], 0x01);

  // A damaged length prefix reads no further than the column.
  TBytes damaged = {0xFF, 'a', 'b', 'c'};
  EXPECT_EQ(std::get<std::u16string>(ReadValue(TTdbDataType::MakeString(tctString, false, 3, u"", 6), damaged)),
            u"abc");

  // WideString: counts characters; a cut never splits a surrogate pair.
  const TTdbDataType wide = TTdbDataType::MakeString(tctWideString, false, 2, u"", 6);
  EXPECT_EQ(Encode(wide, std::u16string(u"a\U0001F600")), (TBytes{1, 0, 'a', 0, 0xCC, 0xCC}));
  EXPECT_EQ(Encode(wide, std::u16string(u"\u0151z")), (TBytes{2, 0, 0x51, 0x01, 'z', 0}));

  const TTdbDataType charType = TTdbDataType::Make(tctChar, false, 6);
  EXPECT_EQ(Encode(charType, std::u16string(u"űx")), TBytes{0xFB});
  EXPECT_EQ(std::get<std::u16string>(ReadValue(charType, TBytes{0xFB})), u"ű");
}

TEST(ColumnCodec, DatesAndTimes) {
  const TTdbDataType date = TTdbDataType::Make(tctDate, true, 4);
  EXPECT_EQ(PackDate({2003, 12, 31}), 1025951);
  EXPECT_EQ(Encode(date, TTdbDate{1025951}), (TBytes{0x9F, 0xA7, 0x0F, 0x00}));

  // A Time of precision 2 stores 13:45 as the Int16 825 (minutes).
  const TTdbDataType minutes = TTdbDataType::MakeDateTime(tctTime, false, 2, false, 4);
  const int64_t ticks1345 = (13 * 60 + 45) * kTicksPerMinute;
  EXPECT_EQ(Encode(minutes, TTdbTime{ticks1345}), (TBytes{0x39, 0x03}));
  EXPECT_EQ(std::get<TTdbTime>(ReadValue(minutes, TBytes{0x39, 0x03})).Ticks, ticks1345);
  const TTdbDataType millis = TTdbDataType::Make(tctTime, true, 6);
  const TBytes lastMs = Encode(millis, TTdbTime{86399999 * kTicksPerMillisecond});
  EXPECT_EQ(lastMs, (TBytes{0x01, 0xFF, 0x5B, 0x26, 0x05}));

  const TTdbDataType stamp = TTdbDataType::Make(tctDateTime, true, 6);
  const TTdbTimeStamp value{PackDate({1999, 1, 2}), 3723004};
  EXPECT_EQ(std::get<TTdbTimeStamp>(ReadValue(stamp, Encode(stamp, value))), value);

  struct Case {
    TTdbDataType type;
    TTdbValue value;
    int number;
    const char* message;
  } errors[] = {
      {date, TTdbDate{2001 * 512 + 2 * 32 + 29}, 137, "\"2001-02-29\" is not a valid date"},
      {date, TTdbDate{2001 * 512 + 13 * 32 + 1}, 137, "\"2001-13-01\" is not a valid date"},
      {date, TTdbDate{0}, 137, "\"0000-00-00\" is not a valid date"},
      {millis, TTdbTime{kTicksPerDay}, 140, "\"24:00:00.000\" is not a valid time"},
      {millis, TTdbTime{-kTicksPerMillisecond}, 140, "\"-00:00:00.001\" is not a valid time"},
      {stamp, TTdbTimeStamp{PackDate({1999, 1, 2}), 86400000}, 140, "\"24:00:00.000\" is not a valid time"},
  };
  for (const Case& c : errors) {
    TBytes bytes(static_cast<size_t>(c.type.DataSize()));
    const auto [number, message] = ErrorOf([&] { WriteValue(c.type, bytes, c.value); });
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(message, c.message);
  }
}

TEST(ColumnCodec, EnumAndAssignmentKinds) {
  const TTdbDataType enumType = TTdbDataType::MakeEnum(true, {u"a", u"b", u"c"}, 6);
  EXPECT_EQ(Encode(enumType, int64_t{3}), TBytes{3});
  const std::pair<int, std::string> overflow = ErrorOf([&] { Encode(enumType, int64_t{4}); });
  EXPECT_EQ(overflow, std::make_pair(135, std::string("Enum overflow")));

  struct Case {
    TTdbDataType type;
    TTdbValue value;
    const char* message;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, false, 6), std::u16string(u"1"), "Cannot assign Unicode string."},
      {TTdbDataType::Make(tctInt16, false, 6), 1.5, "Cannot assign double."},
      {TTdbDataType::Make(tctDate, false, 6), int64_t{5}, "Cannot assign integer."},
      {TTdbDataType::Make(tctGuid, false, 6), TTdbDate{545}, "Cannot assign date."},
      {TTdbDataType::Make(tctString, false, 6), TTdbGuid{}, "Cannot assign GUID."},
  };
  for (const Case& c : cases) {
    const std::pair<int, std::string> error = ErrorOf([&] { Encode(c.type, c.value); });
    EXPECT_EQ(error, std::make_pair(135, std::string(c.message)));
  }
}

TEST(ColumnCodec, Compare) {
  const TTdbDataType floatType = TTdbDataType::Make(tctFloat, true, 6);
  const TTdbDataType guidType = TTdbDataType::Make(tctGuid, true, 6);
  const TTdbDataType text = TTdbDataType::MakeString(tctString, true, 10, u"", 6);
  struct Case {
    TTdbDataType type;
    TTdbValue left;
    TTdbValue right;
    int result;
  } cases[] = {
      {floatType, std::monostate{}, 2.0, kCompareUnknown},
      {floatType, 1.5, std::monostate{}, kCompareUnknown},
      {floatType, 1.5, 2.0, kCompareLess},
      {floatType, 2.0, int64_t{2}, kCompareEqual},
      {TTdbDataType::Make(tctInt64, false, 6), int64_t{9007199254740993}, int64_t{9007199254740992}, kCompareGreater},
      {TTdbDataType::Make(tctDate, true, 6), TTdbDate{PackDate({2000, 1, 31})}, TTdbDate{PackDate({2000, 2, 1})}, kCompareLess},
      {TTdbDataType::Make(tctDateTime, true, 6), TTdbTimeStamp{545, 5}, TTdbTimeStamp{545, 4}, kCompareGreater},
      {guidType, TTdbGuid{1, 2, 3, {}}, TTdbGuid{1, 2, 4, {}}, kCompareLess},
      {guidType, TTdbGuid{2, 0, 0, {}}, TTdbGuid{1, 9, 9, {}}, kCompareGreater},
      {text, std::u16string(u"abc"), std::u16string(u"abc"), kCompareEqual},
      {text, std::u16string(u"abc"), std::u16string(u"abd"), kCompareLess},
  };
  for (const Case& c : cases) EXPECT_EQ(CompareValues(c.type, c.left, c.right), c.result) << c.type.SqlName();

  const TTdbTextComparer ignoreCase = [](const std::u16string& a, const std::u16string& b) {
    auto lower = [](std::u16string s) {
      for (char16_t& ch : s)
        if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch + 32);
      return s;
    };
    return lower(a).compare(lower(b));
  };
  EXPECT_EQ(CompareValues(text, std::u16string(u"ABC"), std::u16string(u"abc"), ignoreCase), kCompareEqual);

  const auto blocks = ErrorOf(
      [] { CompareValues(TTdbDataType::Make(tctMemo, true, 6), TTdbBlockRef{1}, TTdbBlockRef{2}); });
  EXPECT_EQ(blocks, std::make_pair(135, std::string("Cannot compare these types")));
  const auto kinds = ErrorOf([&] { CompareValues(text, std::u16string(u"1"), int64_t{1}); });
  EXPECT_EQ(kinds.second, "Cannot compare these types");
}

TEST(ColumnCodec, SpanMustMatchTheColumn) {
  TBytes shortBytes(1);
  EXPECT_THROW(ReadValue(TTdbDataType::Make(tctInt16, false, 6), shortBytes), ETdbEngine);
}

}  // namespace
}  // namespace kestrel
