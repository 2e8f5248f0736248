// Conditions over record images: the column collations (8-bit texts
// compared in their code page, as the index keys are), reading values of
// each column type, and storing range bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cond/collation_adapter.h"
#include "engine/cond/record_image_source.h"
#include "engine/cond/sql_condition.h"

namespace kestrel::test {
namespace {

constexpr int kLevel = 4;

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

TEST(CollationAdapter, ComparesTextsAsTheColumnsKeys) {
  struct TCase {
    const char16_t* FCollation;
    int FCodePage;
    const char16_t* FLeft;
    const char16_t* FRight;
    int FSign;
  };
  const std::vector<TCase> cases = {
      // 8-bit columns: Windows-1250 bytes through the standard byte fold.
      {u"", kCodePageAnsi, u"Kőműves", u"KŐMŰVES", 0},
      {u"", kCodePageAnsi, u"abc", u"ABD", -1},
      {u"", kCodePageAnsi, u"Abc", u"Ábc", -1},
      {u"", kCodePageAnsi, u"Straße", u"STRASSE", -1},
      {u"", kCodePageAnsi, u"λ", u"?", 0},  // the page lacks it, as in a stored value
      // Wide columns: letters above 255 compare by their code.
      {u"", 0, u"Kőműves", u"KŐMŰVES", 1},
      {u"", 0, u"abc", u"ABC", 0},
      // A locale collation with contractions: "cs" is one letter after "c".
      {u"Hungarian", 0, u"cz", u"cs", -1},
      {u"Hungarian", kCodePageAnsi, u"cz", u"cs", -1},
      {u"Hungarian", kCodePageAnsi, u"Kőműves", u"KŐMŰVES", 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.FLeft) + " / " + Utf16ToUtf8(c.FRight) + " " + Utf16ToUtf8(c.FCollation));
    const TCondCollationAdapter adapter(GetCollation(c.FCollation), c.FCodePage);
    EXPECT_EQ(Sign(adapter.Compare(c.FLeft, c.FRight)), c.FSign);
    EXPECT_EQ(Sign(adapter.Compare(c.FRight, c.FLeft)), -c.FSign);
  }
  // Texts short and long (past what is encoded on the stack) compare alike.
  const TCondCollationAdapter ansi(StandardCollation(), kCodePageAnsi);
  for (const size_t length : {size_t{3}, size_t{255}, size_t{256}, size_t{257}, size_t{600}}) {
    SCOPED_TRACE(length);
    const std::u16string lower(length, u'ő');
    const std::u16string upper(length, u'Ő');
    EXPECT_EQ(ansi.Compare(lower + u"a", upper + u"A"), 0);
    EXPECT_LT(ansi.Compare(lower + u"a", upper + u"b"), 0);
    EXPECT_GT(ansi.Compare(lower + u"中", upper), 0);  // '?' after the end of the shorter text
  }
}

TEST(CollationAdapter, LikeRunsAndCaseMapping) {
  const TCondCollationAdapter ansi(StandardCollation(), kCodePageAnsi);
  EXPECT_TRUE(ansi.RunEquals(u"aBc", u"AbC"));
  EXPECT_FALSE(ansi.RunEquals(u"á", u"a"));  // accents count
  EXPECT_FALSE(ansi.RunEquals(u"ß", u"s"));
  EXPECT_FALSE(ansi.RunEquals(u"ab", u"abc"));
  EXPECT_EQ(ansi.MapCase(u"kőműves", true, kCodePageAnsi), u"KŐMŰVES");
  EXPECT_EQ(ansi.MapCase(u"KŐMŰVES", false, kCodePageAnsi), u"kőműves");
  // A mapped letter the code page lacks keeps its case.
  EXPECT_EQ(ansi.MapCase(u"ÿ", true, kCodePageAnsi), u"ÿ");
  const TCondCollationAdapter hungarian(GetCollation(u"Hungarian"), 0);
  EXPECT_TRUE(hungarian.RunEquals(u"Cs", u"cS"));
}

class RecordImageSourceTest : public ::testing::Test {
 protected:
  RecordImageSourceTest() {
    FColumns.Add(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, true, 4, u"", kLevel)));
    FColumns.Add(NewColumnDef(u"NEV", TTdbDataType::MakeString(tctWideString, true, 6, u"Hungarian", kLevel)));
    FColumns.Add(NewColumnDef(u"KIS", TTdbDataType::Make(tctInt16, false, kLevel)));
    FColumns.Add(NewColumnDef(u"ERTEK", TTdbDataType::Make(tctFloat, true, kLevel)));
    FColumns.Add(NewColumnDef(u"NAP", TTdbDataType::Make(tctDate, true, kLevel)));
    FColumns.Add(NewColumnDef(u"IDO", TTdbDataType::Make(tctTime, true, kLevel)));
    FColumns.Add(NewColumnDef(u"LEIRAS", TTdbDataType::MakeString(tctMemo, true, 0, u"", kLevel)));
    FIndexTable.FLevel = kLevel;
    FIndexTable.FRecordSize = static_cast<uint32_t>(FColumns.RecordSize());
    FRecord.assign(FIndexTable.FRecordSize, 0);
    FSource = std::make_unique<TCondRecordImageSource>(
        FColumns, FIndexTable, u"Vnd03", [](int columnNo, std::span<const uint8_t>) {
          return u"memo of column " + std::u16string(1, static_cast<char16_t>(u'0' + columnNo));
        });
  }

  void Write(size_t index, const TTdbValue& value) {
    WriteValue(FColumns[index].DataType, FColumns.ColumnBytes(std::span<uint8_t>(FRecord), index), value);
  }

  TTdbColumnDefs FColumns;
  TTdbIndexTable FIndexTable;
  std::vector<uint8_t> FRecord;
  std::unique_ptr<TCondRecordImageSource> FSource;
};

TEST_F(RecordImageSourceTest, ReadsColumnsByNameAndTheirValues) {
  Write(0, std::u16string(u"Kő"));
  Write(1, std::u16string(u"csiga"));
  Write(2, int64_t{-7});
  Write(3, 2.5);
  Write(4, TTdbDate{2026 * 512 + 12 * 32 + 10});
  Write(5, TTdbTime{int64_t{3723004} * 10000});
  WriteValue(FColumns[6].DataType, FColumns.ColumnBytes(std::span<uint8_t>(FRecord), 6), TTdbBlockRef{5});
  FSource->SetRecord(FRecord);

  TCondColumnInfo info;
  ASSERT_TRUE(FSource->FindColumn(u"", u"nev", info));
  EXPECT_EQ(info.FFieldNo, 2);  // column numbers, as index levels carry them
  EXPECT_EQ(info.FDataType.FColumnType, cctWideString);
  EXPECT_EQ(info.FDataType.FMaxLength, 6);
  ASSERT_NE(info.FDataType.FCollation, nullptr);
  EXPECT_TRUE(FSource->FindColumn(u"vnd03", u"KOD", info));
  EXPECT_EQ(info.FDataType.FCodePage, kCodePageAnsi);
  EXPECT_FALSE(FSource->FindColumn(u"Masik", u"KOD", info));
  EXPECT_FALSE(FSource->FindColumn(u"", u"NINCS", info));

  TCondValue value;
  FSource->ReadColumn(1, value);
  EXPECT_EQ(value.FString, u"Kő");
  FSource->ReadColumn(3, value);
  EXPECT_EQ(value.FInteger, -7);
  FSource->ReadColumn(4, value);
  EXPECT_EQ(value.FFloat, 2.5);
  FSource->ReadColumn(5, value);
  EXPECT_EQ(value.FKind, cvkDate);
  EXPECT_EQ(value.FDate, 2026 * 512 + 12 * 32 + 10);
  FSource->ReadColumn(6, value);
  EXPECT_EQ(value.FTime, 3723004);
  FSource->ReadColumn(7, value);
  EXPECT_EQ(value.FString, u"memo of column 7");

  Write(3, TTdbValue());
  FSource->ReadColumn(4, value);
  EXPECT_TRUE(value.IsNull());
  EXPECT_THROW(FSource->ReadColumn(8, value), ETdbEngine);
  FSource->SetRecord({});
  EXPECT_THROW(FSource->ReadColumn(1, value), ETdbEngine);
}

TEST_F(RecordImageSourceTest, ConditionsCompareWithTheColumnCollation) {
  Write(0, std::u16string(u"Kőmű"));
  Write(1, std::u16string(u"cz"));
  FSource->SetRecord(FRecord);
  for (const auto& [text, result] : std::vector<std::pair<const char16_t*, bool>>{
           {u"KOD = 'KŐMŰ'", true}, {u"KOD LIKE 'kő%'", true}, {u"NEV < 'cs'", true}, {u"NEV LIKE 'C_'", true}}) {
    TTdbSqlCondition condition(text);
    condition.Prepare(*FSource);
    EXPECT_EQ(condition.Evaluate(), result) << Utf16ToUtf8(text);
  }
}

TEST_F(RecordImageSourceTest, RangeBoundsKeepEveryAdmittedValue) {
  struct TCase {
    size_t FColumn;
    TCondValue FValue;
    bool FHighest;
    bool FStored;
    TTdbValue FExpected;  // what the column then reads
  };
  const std::vector<TCase> cases = {
      {2, TCondValue::Float(2.5), false, true, int64_t{3}},
      {2, TCondValue::Float(2.5), true, true, int64_t{2}},
      {2, TCondValue::Float(-2.5), false, true, int64_t{-2}},
      {2, TCondValue::Integer(40000), true, true, int64_t{32767}},
      {2, TCondValue::Float(-1e12), false, true, int64_t{-32768}},
      {2, TCondValue(), false, false, int64_t{-32768}},  // NULL in a column without NULL
      {2, TCondValue(), true, false, int64_t{32767}},
      {2, TCondValue::String(u"x"), true, false, int64_t{32767}},
      {3, TCondValue::Integer(4), false, true, 4.0},
      {3, TCondValue(), true, true, TTdbValue()},
      {0, TCondValue::String(u"abcdef"), false, true, std::u16string(u"abcd")},
      {0, TCondValue::String(u"abcdef"), true, false, std::u16string(1, u'\0')},  // cut texts bound too little
      {0, TCondValue::String(std::u16string(u"ab") + u'\0'), true, true, std::u16string(u"ab") + u'\0'},
      {0, TCondValue::Integer(1), false, false, TTdbValue()},  // lowest: NULL
      {4, TCondValue::DateTime(2026 * 512 + 12 * 32 + 10, 1000), false, true, TTdbDate{2026 * 512 + 12 * 32 + 10}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "column " << c.FColumn << " highest " << c.FHighest);
    std::vector<uint8_t> record(FIndexTable.FRecordSize, 0);
    EXPECT_EQ(FSource->WriteRangeBound(record, static_cast<int>(c.FColumn) + 1, &c.FValue, c.FHighest), c.FStored);
    const TTdbValue read =
        ReadValue(FColumns[c.FColumn].DataType, FColumns.ColumnBytes(std::span<const uint8_t>(record), c.FColumn));
    EXPECT_EQ(read, c.FExpected);
  }
  // A float column's extremes are the infinities.
  std::vector<uint8_t> record(FIndexTable.FRecordSize, 0);
  EXPECT_FALSE(FSource->WriteRangeBound(record, 4, nullptr, true));
  const TTdbValue highest = ReadValue(FColumns[3].DataType, FColumns.ColumnBytes(std::span<const uint8_t>(record), 3));
  EXPECT_EQ(highest, TTdbValue(std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace kestrel::test
