// Column types: stored sizes, positions of the null indicator and value,
// nullability by level, SQL names and the limits of string lengths.
#include <gtest/gtest.h>

#include "engine/base/column_type.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

TEST(ColumnType, SizesAndIndicatorPositions) {
  struct Case {
    TTdbDataType type;
    int dataSize;
    int valueOffset;
    int nullByteOffset;
    std::string sqlName;
  } cases[] = {
      {TTdbDataType::Make(tctInt16, false, 4), 2, 0, -1, "SmallInt NOT NULL"},
      {TTdbDataType::Make(tctInt16, true, 4), 3, 0, 2, "SmallInt"},
      {TTdbDataType::Make(tctInt16, true, 6), 3, 1, 0, "SmallInt"},
      {TTdbDataType::Make(tctByte, true, 5), 2, 0, 1, "Byte"},
      {TTdbDataType::Make(tctBoolean, true, 6), 2, 1, 0, "Boolean"},
      {TTdbDataType::Make(tctFloat, true, 6), 9, 1, 0, "DOUBLE"},
      {TTdbDataType::Make(tctLongInt, false, 6), 4, 0, -1, "Integer NOT NULL"},
      {TTdbDataType::Make(tctInt64, true, 4), 9, 0, 8, "BigInt"},
      {TTdbDataType::Make(tctGuid, true, 6), 17, 1, 0, "Guid"},
      {TTdbDataType::Make(tctChar, true, 6), 2, 1, 0, "CHAR(1)"},
      // Types that show NULL by value never carry an indicator.
      {TTdbDataType::Make(tctDate, true, 6), 4, 0, -1, "Date"},
      {TTdbDataType::Make(tctDateTime, true, 4), 8, 0, -1, "TimeStamp"},
      {TTdbDataType::Make(tctEnum, true, 6), 1, 0, -1, "<enumeration>"},
      {TTdbDataType::Make(tctLink, true, 6), 4, 0, -1, "Link"},
      {TTdbDataType::Make(tctMemo, true, 6), 4, 0, -1, "LONGVARCHAR"},
      {TTdbDataType::Make(tctWideMemo, true, 6), 4, 0, -1, "LONGVARWCHAR"},
      {TTdbDataType::Make(tctBlob, true, 6), 4, 0, -1, "Blob"},
      {TTdbDataType::Make(tctRelation, true, 6), 0, 0, -1, "Relation"},
      // A nullable Time gets an indicator; Int16 minutes up to precision 2.
      {TTdbDataType::Make(tctTime, true, 6), 5, 1, 0, "Time"},
      {TTdbDataType::MakeDateTime(tctTime, false, 2, false, 4), 2, 0, -1, "Time NOT NULL"},
      {TTdbDataType::MakeDateTime(tctDate, true, 4, true, 4), 5, 0, 4, "Date"},
      // RecordId is never nullable.
      {TTdbDataType::Make(tctRecordId, true, 6), 4, 0, -1, "RecordId NOT NULL"},
      // A nullable String of maximal length 10: [length][10][indicator] at
      // level 4, [indicator][length][10] at level 6.
      {TTdbDataType::MakeString(tctString, true, 10, u"", 4), 12, 0, 11, "VARCHAR(10)"},
      {TTdbDataType::MakeString(tctString, true, 10, u"", 6), 12, 1, 0, "VARCHAR(10)"},
      {TTdbDataType::MakeString(tctString, false, 298, u"", 6), 300, 0, -1, "VARCHAR(298) NOT NULL"},
      {TTdbDataType::MakeString(tctString, false, 10, u"HUN", 6), 11, 0, -1, "VARCHAR(10) COLLATE HUN NOT NULL"},
      {TTdbDataType::MakeString(tctWideString, true, 5, u"", 6), 13, 1, 0, "VARWCHAR(5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sqlName);
    EXPECT_EQ(c.type.DataSize(), c.dataSize);
    EXPECT_EQ(c.type.ValueOffset(), c.valueOffset);
    EXPECT_EQ(c.type.NullByteOffset(), c.nullByteOffset);
    EXPECT_EQ(c.type.SqlName(), c.sqlName);
  }
}

TEST(ColumnType, StringLengthFromStoredSize) {
  struct Case {
    TTdbColumnType code;
    bool nullable;
    int level;
    int size;
    int maxLength;
    int prefix;
  } cases[] = {
      {tctString, false, 4, 11, 10, 1},   // the KOD column
      {tctString, true, 4, 12, 10, 1},
      {tctString, false, 6, 256, 255, 1},
      {tctString, false, 6, 258, 256, 2},  // from 256 characters the prefix is 2
      {tctString, false, 6, 300, 298, 2},
      {tctWideString, true, 6, 13, 5, 2},
      {tctWideString, false, 5, 4, 1, 2},
  };
  for (const Case& c : cases) {
    const TTdbDataType type = TTdbDataType::MakeStringFromSize(c.code, c.nullable, c.size, u"", c.level);
    EXPECT_EQ(type.MaxLength(), c.maxLength) << c.size;
    EXPECT_EQ(type.LengthPrefixSize(), c.prefix) << c.size;
  }
}

TEST(ColumnType, NullabilityByLevel) {
  for (int level = kMinTableLevel; level <= kMaxTableLevel; ++level) {
    for (int code = 0; code <= tctGuid; ++code) {
      if (!IsColumnTypeCode(code)) continue;
      const auto type = static_cast<TTdbColumnType>(code);
      bool expected = type != tctRecordId;
      if (level < 4 && (type == tctChar || type == tctString || type == tctWideString)) expected = false;
      EXPECT_EQ(MayBeNullable(type, level), expected) << code << " at " << level;
      EXPECT_EQ(TTdbDataType::Make(type, true, level).Nullable(), expected) << code << " at " << level;
    }
  }
  EXPECT_FALSE(IsColumnTypeCode(14));
  EXPECT_FALSE(IsColumnTypeCode(22));
}

TEST(ColumnType, StringLengthOutOfRange) {
  struct Case {
    TTdbColumnType code;
    int length;
    const char* message;
  } cases[] = {
      {tctString, 32765, "String type has a length of 32765, which is outside the allowed range of 1 to 32764"},
      {tctString, 0, "String type has a length of 0, which is outside the allowed range of 1 to 32764"},
      {tctWideString, 16383, "String type has a length of 16383, which is outside the allowed range of 1 to 16382"},
  };
  for (const Case& c : cases) {
    try {
      TTdbDataType::MakeString(c.code, false, c.length, u"", 6);
      ADD_FAILURE() << c.length;
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), 189);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_EQ(TTdbDataType::MakeString(tctString, false, 32764, u"", 6).DataSize(), 32766);
}

}  // namespace
}  // namespace kestrel
