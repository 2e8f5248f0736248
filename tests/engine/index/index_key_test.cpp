// Index items: built from record images (null indicators, shortened and
// variable-size levels, calculated keys), ordered by their key parts and
// record numbers, compared by type code, and completed to range bounds.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_key.h"
#include "engine/index/key_value_codec.h"
#include "index_test_table.h"

namespace kestrel {
namespace {

using test::TTestTable;

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

struct TKeyFixture {
  TTestTable FTable;
  TTdbSortDef FDef;
  TTdbIndexComparer FComparer;

  TKeyFixture(int level, std::u16string_view spec)
      : FTable(level), FDef(CalcIndexDefinition(FTable.Table(), spec, false)), FComparer(FDef, FTable.Table()) {}

  std::vector<uint8_t> Item(std::optional<std::string> kod, std::optional<std::u16string> nev,
                            std::optional<int32_t> szam, int32_t recordNo) const {
    std::vector<uint8_t> item;
    CalcIndexInfo(FComparer, FTable.Record(kod, nev, szam).data(), recordNo, item);
    return item;
  }
};

TEST(IndexKey, EqualKeysAreOrderedByRecordNumberAlsoWhenDescending) {
  for (std::u16string_view spec : {u"KOD", u"-KOD"}) {
    const TKeyFixture f(4, spec);
    const auto first = f.Item("ABC", u"", 1, 3);
    const auto second = f.Item("abc", u"", 1, 8);
    const auto search = f.Item("ABC", u"", 1, 0);
    EXPECT_TRUE(f.FComparer.Less(first.data(), second.data())) << "record numbers decide";
    EXPECT_TRUE(f.FComparer.Less(search.data(), first.data())) << "a search key sorts before its duplicates";
    EXPECT_TRUE(f.FComparer.IsSameIndexKey(first.data(), second.data()));
    EXPECT_TRUE(f.FComparer.IsSameIndexInfo(search.data(), first.data()));
    EXPECT_FALSE(f.FComparer.IsSameIndexInfo(first.data(), search.data()));
  }
  const TKeyFixture descending(4, u"-KOD");
  EXPECT_TRUE(descending.FComparer.Less(descending.Item("B", u"", 0, 9).data(), descending.Item("A", u"", 0, 1).data()));
}

TEST(IndexKey, NullSortsBeforeEveryValue) {
  for (int level : {4, 5, 6}) {
    const TKeyFixture f(level, u"SZAM");
    const auto null = f.Item("", u"", std::nullopt, 5);
    const auto lowest = f.Item("", u"", INT32_MIN, 1);
    EXPECT_TRUE(f.FComparer.Less(null.data(), lowest.data())) << level;
    // Two NULLs are equal keys whatever stands in their value bytes.
    auto otherNull = f.Item("", u"", std::nullopt, 6);
    EXPECT_TRUE(f.FComparer.IsSameIndexKey(null.data(), otherNull.data())) << level;
  }
}

TEST(IndexKey, ItemsFollowTheRecordImage) {
  const TKeyFixture f(4, u"SZAM, KOD");
  const auto item = f.Item("K1", u"", 258, 42);
  ASSERT_EQ(item.size(), f.FDef.FSize);
  EXPECT_EQ(ItemRecordNo(item.data()), 42);
  EXPECT_EQ(ReadLeI32(item.data() + 4), 258);
  EXPECT_EQ(item[8], 1);    // null indicator of SZAM (last byte below level 6)
  EXPECT_EQ(item[9], 2);    // length of KOD
  EXPECT_EQ(item[10], 'K');
  EXPECT_EQ(item.back(), 1);  // null indicator of KOD
}

TEST(IndexKey, ShortenedStringLevelsCutTheLengthPrefix) {
  TKeyFixture f(4, u"KOD");
  f.FDef.Items[0].Size = 6;  // a stored description may keep fewer bytes
  f.FDef.CalcSize(4);
  const auto item = f.Item("ABCDEFGH", u"", 0, 1);
  ASSERT_EQ(item.size(), 10u);
  EXPECT_EQ(item[4], 4);     // 6 - prefix - null indicator characters fit
  EXPECT_EQ(item[9], 1);     // the null indicator is the part's last byte
  // Texts equal in the kept characters compare equal.
  EXPECT_TRUE(f.FComparer.IsSameIndexKey(item.data(), f.Item("ABCDxyz", u"", 0, 2).data()));
}

TEST(IndexKey, VariableSizeItemsUseTheActualLength) {
  const TKeyFixture f(6, u"KOD, SZAM");
  ASSERT_TRUE(f.FDef.IsVarSize);
  std::vector<uint8_t> item;
  const uint32_t used = CalcIndexInfo(f.FComparer, f.FTable.Record("AB", u"", 7).data(), 1, item);
  EXPECT_EQ(used, (1 + 1 + 2) + 5u);  // indicator, prefix, two characters; then the number
  EXPECT_EQ(ReadLeI32(item.data() + 4 + 4 + 1), 7);
  std::vector<uint8_t> nullItem;
  EXPECT_EQ(CalcIndexInfo(f.FComparer, f.FTable.Record(std::nullopt, u"", 7).data(), 1, nullItem), 1 + 5u);
  EXPECT_TRUE(f.FComparer.Less(nullItem.data(), item.data()));
  EXPECT_EQ(f.FComparer.FindSortKeyDiff(item.data(), f.Item("ab", u"", 8, 1).data()), 1);
}

TEST(IndexKey, WideAndAnsiStringLevelsUseTheColumnCollation) {
  const TTestTable table(4, &GetCollation(u"Hungarian"));
  const TTdbSortDef def = CalcIndexDefinition(table.Table(), u"NEV", false);
  const TTdbIndexComparer comparer(def, table.Table());
  std::vector<uint8_t> cz;
  std::vector<uint8_t> cs;
  CalcIndexInfo(comparer, table.Record("", u"cz", 0).data(), 1, cz);
  CalcIndexInfo(comparer, table.Record("", u"cs", 0).data(), 1, cs);
  EXPECT_TRUE(comparer.Less(cz.data(), cs.data()));
  const TKeyFixture standard(4, u"NEV");
  EXPECT_TRUE(standard.FComparer.Less(standard.Item("", u"cs", 0, 1).data(), standard.Item("", u"cz", 0, 1).data()));
}

TEST(IndexKey, CompareFieldsByTypeCode) {
  auto bytes = [](std::initializer_list<int> values) {
    std::vector<uint8_t> result;
    for (int v : values) result.push_back(static_cast<uint8_t>(v));
    return result;
  };
  auto doubleBytes = [](double value) {
    std::vector<uint8_t> result(8);
    std::memcpy(result.data(), &value, 8);
    return result;
  };
  struct Case {
    const char* FLabel;
    uint8_t FType;
    int FLevel;
    std::vector<uint8_t> FA;
    std::vector<uint8_t> FB;
    int FExpected;
  } cases[] = {
      {"byte unsigned", tctByte, 4, bytes({200}), bytes({100}), 1},
      {"int16 signed", tctInt16, 4, bytes({0xFF, 0xFF}), bytes({1, 0}), -1},
      {"float", tctFloat, 4, doubleBytes(-1.5), doubleBytes(0.25), -1},
      {"int32 signed", tctLongInt, 4, bytes({0, 0, 0, 0x80}), bytes({0, 0, 0, 0x7F}), -1},
      {"date", tctDate, 4, bytes({0x9F, 0xA7, 0x0F, 0}), bytes({0x9E, 0xA7, 0x0F, 0}), 1},
      {"time 16-bit below level 4", tctTime, 3, bytes({0xFF, 0xFF, 5, 0}), bytes({1, 0, 0, 0}), -1},
      {"time 32-bit", tctTime, 4, bytes({0xFF, 0xFF, 0, 0}), bytes({1, 0, 0, 0}), 1},
      {"date time: date first", tctDateTime, 4, bytes({2, 0, 0, 0, 0, 0, 0, 0}), bytes({1, 0, 0, 0, 9, 0, 0, 0}), 1},
      {"date time: then time", tctDateTime, 4, bytes({1, 0, 0, 0, 1, 0, 0, 0}), bytes({1, 0, 0, 0, 9, 0, 0, 0}), -1},
      {"int64", tctInt64, 4, bytes({0, 0, 0, 0, 0, 0, 0, 0x80}), bytes({0, 0, 0, 0, 0, 0, 0, 0}), -1},
      {"guid: first 32 bits", tctGuid, 4, bytes({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
       bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}), 1},
      {"guid: last byte before byte 10", tctGuid, 4, bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0}),
       bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), -1},
      {"memo references are equal", tctMemo, 4, bytes({1, 0, 0, 0}), bytes({2, 0, 0, 0}), 0},
  };
  for (const Case& c : cases) {
    TTdbFieldCompare how;
    how.FDataType = c.FType;
    how.FTableLevel = c.FLevel;
    how.FFieldSize = static_cast<uint16_t>(c.FA.size());
    EXPECT_EQ(Sign(CompareFields(how, c.FA.data(), static_cast<uint32_t>(c.FA.size()), c.FB.data(),
                                 static_cast<uint32_t>(c.FB.size()))),
              c.FExpected)
        << c.FLabel;
  }
}

TEST(IndexKey, DamagedLengthPrefixesStayInsideTheParts) {
  TTdbFieldCompare how;
  how.FDataType = tctWideString;
  how.FFieldSize = 6;
  const uint8_t a[] = {0xFF, 0xFF, 'a', 0, 'b', 0};  // claims 65535 characters
  const uint8_t b[] = {2, 0, 'a', 0, 'b', 0};
  EXPECT_EQ(CompareFields(how, a, sizeof a, b, sizeof b), 0);
  how.FDataType = tctString;
  const uint8_t c[] = {200, 'x', 'y'};
  const uint8_t d[] = {2, 'x', 'y'};
  EXPECT_EQ(CompareFields(how, c, sizeof c, d, sizeof d), 0);
}

TEST(IndexKey, ColumnsOutsideTheRecordAreRefused) {
  TKeyFixture f(4, u"SZAM");
  f.FTable.Table().FColumns[2].FOffset = 1000;
  std::vector<uint8_t> item;
  const std::vector<uint8_t> record(f.FTable.Table().FRecordSize, 0);
  try {
    CalcIndexInfo(f.FComparer, record.data(), 1, item);
    FAIL();
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNoText);
  }
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// Partial keys completed to bounds enclose exactly the items that share the
// given levels, for every direction, under the standard and a locale
// collation, at both null-indicator layouts.
TEST(IndexKeyBounds, CompletedKeysEncloseTheirItems) {
  struct Case {
    int FLevel;
    const char16_t* FCollation;
    std::u16string FSpecification;
  } cases[] = {
      {4, u"Kestrel", u"KOD, SZAM, NEV"},
      {5, u"Kestrel", u"KOD, -SZAM, -NEV"},
      {4, u"Hungarian", u"-KOD, NEV, SZAM"},
      {3, u"Kestrel", u"KOD, SZAM"},
  };
  const std::vector<std::string> kods = {"", "A", "b", "B", "zs", "\x8E", "ab", "zzzz"};
  const std::vector<std::u16string> nevs = {u"", u"zs", u"\u0151", u"\uFFFE", u"a"};
  const std::vector<std::optional<int32_t>> numbers = {std::nullopt, INT32_MIN, -1, 0, INT32_MAX};
  for (const Case& c : cases) {
    const test::TTestTable table(c.FLevel, &GetCollation(c.FCollation));
    const TTdbSortDef def = CalcIndexDefinition(table.Table(), c.FSpecification, false);
    const TTdbIndexComparer comparer(def, table.Table());
    std::vector<std::vector<uint8_t>> items;
    for (const auto& kod : kods)
      for (const auto& nev : nevs)
        for (const auto& number : numbers) {
          items.emplace_back();
          CalcIndexInfo(comparer, table.Record(kod, nev, number).data(), 7, items.back());
        }
    for (const std::vector<uint8_t>& probe : items) {
      for (int levels = 0; levels < def.LevelCount(); ++levels) {
        std::vector<uint8_t> lower = probe;
        std::vector<uint8_t> upper = probe;
        CompleteIndexInfo(comparer, lower, levels, false);
        CompleteIndexInfo(comparer, upper, levels, true);
        for (const std::vector<uint8_t>& item : items) {
          const bool shares = comparer.FindSortKeyDiff(item.data(), probe.data()) >= levels;
          if (!shares) continue;
          ASSERT_LE(comparer.Compare(lower.data(), item.data()), 0)
              << c.FLevel << " " << Utf16ToUtf8(c.FSpecification) << " levels " << levels;
          ASSERT_GE(comparer.Compare(upper.data(), item.data()), 0)
              << c.FLevel << " " << Utf16ToUtf8(c.FSpecification) << " levels " << levels;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// SZAM doubled: a stand-in for an expression of the condition language.
class TDoubledNumber final : public ITdbIndexExpression {
 public:
  explicit TDoubledNumber(uint32_t offset) : FOffset(offset) {}
  uint8_t ResultType() const override { return tctLongInt; }
  uint16_t ResultSize() const override { return 4; }
  void Evaluate(const uint8_t* record, uint8_t* key) const override {
    WriteLeI32(key, 2 * ReadLeI32(record + FOffset));
  }

 private:
  uint32_t FOffset;
};

TEST(CalculatedIndex, DefinitionSyntaxSizeAndKeys) {
  struct Case {
    int FLevel;
    std::u16string FText;
    bool FProcedural;
    uint32_t FSize;
    std::u16string FWritten;
  } cases[] = {
      {4, u"(SZAM*2)", true, 4 + 256, u"(SZAM*2)"},
      {5, u"(SZAM*2)", false, 4 + 256, u"(SZAM*2)"},
      {5, u"(@SZAM*2)", true, 4 + 256, u"(@SZAM*2)"},
      {6, u"(SZAM*2)", false, 4 + 4, u"(SZAM*2)"},
  };
  for (const Case& c : cases) {
    const test::TTestTable table(c.FLevel);
    const uint32_t offset = table.Table().FColumns[2].FOffset + (c.FLevel >= 6 ? 1 : 0);
    bool procedural = false;
    std::u16string expression;
    const TTdbSortDef def = CalcIndexDefinition(table.Table(), c.FText, false,
                                                [&](std::u16string_view text, bool isProcedural) {
                                                  expression = text;
                                                  procedural = isProcedural;
                                                  return std::make_shared<TDoubledNumber>(offset);
                                                });
    EXPECT_TRUE(def.IsCalculated);
    EXPECT_EQ(expression, u"SZAM*2");
    EXPECT_EQ(procedural, c.FProcedural) << c.FLevel;
    EXPECT_EQ(def.FSize, c.FSize) << c.FLevel;
    EXPECT_EQ(CalcSpecification(def, table.Table(), true, false, false, false), c.FWritten) << c.FLevel;
    const TTdbIndexComparer comparer(def, table.Table());
    std::vector<uint8_t> small;
    std::vector<uint8_t> large;
    EXPECT_EQ(CalcIndexInfo(comparer, table.Record("", u"", -3).data(), 1, small), 4u);
    CalcIndexInfo(comparer, table.Record("", u"", 2).data(), 1, large);
    EXPECT_EQ(ReadLeI32(small.data() + 4), -6);
    EXPECT_TRUE(comparer.Less(small.data(), large.data())) << c.FLevel;
  }
}

}  // namespace
}  // namespace kestrel
