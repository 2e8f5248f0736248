// Index choice on a small classification table: which index a condition
// chooses, in which direction, and the items that bound the walk; and that
// the walk between them finds exactly what evaluation selects.
#include <gtest/gtest.h>

#include <climits>

#include "choice_test_table.h"
#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel::test {
namespace {

constexpr int kLevel = 4;

std::vector<TTdbColumnDef> ClassificationColumns() {
  return {NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, true, 10, u"", kLevel)),
          NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, true, 30, u"", kLevel)),
          NewColumnDef(u"SZAM", TTdbDataType::Make(tctLongInt, true, kLevel)),
          NewColumnDef(u"NEV", TTdbDataType::MakeString(tctWideString, true, 12, u"Hungarian", kLevel))};
}

void AddClassificationRows(TChoiceTable& table) {
  const TTdbValue null;
  auto s = [](const char16_t* text) { return TTdbValue(std::u16string(text)); };
  auto n = [](int64_t value) { return TTdbValue(value); };
  table.AddRow({s(u"01"), s(u"alma"), n(1), s(u"a")});
  table.AddRow({s(u"05"), s(u"Kőműves"), n(5), s(u"cs")});
  table.AddRow({s(u"AB"), s(u"x"), n(7), s(u"AB")});
  table.AddRow({s(u"abc"), null, n(5), s(u"ab")});
  table.AddRow({s(u"09"), s(u"y"), null, null});
  table.AddRow({null, s(u"z"), n(3), s(u"d")});
  table.AddRow({s(u"03"), s(u"x"), n(9), s(u"cz")});
  table.AddRow({s(u"ABD"), s(u"kalap"), n(1), s(u"ABC")});
  // "ß" sorts as an accented "s" under the standard collation, between "sa"
  // and "sz"; under Hungarian "cs" sorts after "cz".
  table.AddRow({s(u"10"), s(u"sa"), n(2), s(u"csa")});
  table.AddRow({s(u"11"), s(u"ßb"), n(2), s(u"ca")});
  table.AddRow({s(u"12"), s(u"sz"), n(2), s(u"d")});
}

// The key parts of a range item, level by level: NULL, min and max for the
// extreme values, a text followed by "*" for a prefix pattern.
std::string Describe(TChoiceTable& table, const TTdbSortDef& def, const std::vector<uint8_t>& item) {
  std::string text;
  uint32_t offset = kIndexRecordNoSize;
  for (const TTdbSortLevel& level : def.Items) {
    const TTdbDataType& columnType = table.Columns()[level.ColumnNo - 1u].DataType;
    if (!text.empty()) text += "|";
    const std::span<const uint8_t> part(item.data() + offset, level.Size);
    offset += level.Size;
    if (IsNullValue(columnType, part)) {
      text += "NULL";
      continue;
    }
    const TTdbValue value = ReadValue(columnType, part);
    if (const int64_t* number = std::get_if<int64_t>(&value)) {
      text += *number == columnType.MinInteger()   ? "min"
              : *number == columnType.MaxInteger() ? "max"
                                                   : std::to_string(*number);
    } else if (const std::u16string* string = std::get_if<std::u16string>(&value)) {
      if (*string == std::u16string(1, u'\0'))
        text += "max";
      else if (!string->empty() && string->back() == u'\0')
        text += Utf16ToUtf8(string->substr(0, string->size() - 1)) + "*";
      else
        text += Utf16ToUtf8(*string);
    }
  }
  return text;
}

struct TChoiceCase {
  const char16_t* FCondition;
  std::vector<std::u16string> FIndexes;
  bool FAutoCreate;
  int FIndexNo;
  bool FReverse;
  std::string FLower;
  std::string FUpper;
  std::u16string FTempIndex;  // the definition asked for, as text
  bool FTempFails = false;
};

TEST(IndexChoice, ChoosesTheIndexAndTheRangeOfEachCondition) {
  const std::vector<TChoiceCase> cases = {
      // One comparison per column, or none usable.
      {u"KOD >= '01' And MEGNEV <> 'x'", {u"KOD", u"MEGNEV"}, false, 0, false, "01", "max", u""},
      {u"MEGNEV <> 'x'", {u"KOD", u"MEGNEV"}, false, -1, false, "", "", u""},
      {u"KOD = '01' Or KOD = '02'", {u"KOD"}, false, -1, false, "", "", u""},
      {u"KOD LIKE 'AB%'", {u"KOD"}, false, 0, false, "AB", "AB*", u""},
      {u"KOD LIKE '%B'", {u"KOD"}, false, -1, false, "", "", u""},
      {u"KOD > '05' And KOD < '09'", {u"KOD"}, false, 0, false, "05", "09", u""},
      {u"KOD = '05' And KOD > '01'", {u"KOD"}, false, 0, false, "05", "05", u""},
      {u"KOD < '09' And KOD = '05'", {u"KOD"}, false, 0, false, "05", "05", u""},
      {u"KOD = MEGNEV", {u"KOD", u"MEGNEV"}, false, -1, false, "", "", u""},
      {u"'05' <= KOD", {u"KOD"}, false, 0, false, "05", "max", u""},
      {u"'05' > KOD", {u"KOD"}, false, 0, false, "NULL", "05", u""},
      {u"Not KOD < '05'", {u"KOD"}, false, 0, false, "05", "max", u""},
      {u"Not (KOD < '05')", {u"KOD"}, false, 0, false, "05", "max", u""},  // parentheses dropped
      {u"Not (KOD < '05' And SZAM = 1)", {u"KOD", u"SZAM"}, false, -1, false, "", "", u""},
      {u"Not KOD Like 'A%'", {u"KOD"}, false, -1, false, "", "", u""},
      {u"KOD LIKE 'A!%B%' ESCAPE '!'", {u"KOD"}, false, 0, false, "A%B", "A%B*", u""},
      {u"KOD = NULL", {u"KOD"}, false, 0, false, "NULL", "NULL", u""},
      // Numbers: rounded outward, clamped to the column's range.
      {u"SZAM Between 3 And 8", {u"SZAM"}, false, 0, false, "3", "8", u""},
      {u"Not SZAM Between 3 And 8", {u"SZAM"}, false, -1, false, "", "", u""},
      {u"SZAM In (1, 2)", {u"SZAM"}, false, -1, false, "", "", u""},
      {u"SZAM Is Null", {u"SZAM"}, false, -1, false, "", "", u""},
      {u"SZAM > 2.5 And SZAM <= 7.9", {u"SZAM"}, false, 0, false, "3", "7", u""},
      {u"SZAM < 1e20 And SZAM > -1e20", {u"SZAM"}, false, 0, false, "min", "max", u""},
      {u"SZAM < 1 + 6", {u"SZAM"}, false, 0, false, "NULL", "7", u""},
      // Descending first level: the walk is not reversed, the bounds are.
      {u"SZAM < 7", {u"-SZAM"}, false, 0, true, "7", "NULL", u""},
      // Scores: equality before ranges; the first of equal scores.
      {u"SZAM = 5 And KOD > '03'", {u"KOD", u"SZAM, KOD", u"-SZAM"}, false, 1, false, "5|03", "5|max", u""},
      {u"SZAM > 5 And KOD = '03'", {u"KOD", u"SZAM, KOD"}, false, 0, false, "03", "03", u""},
      {u"KOD = 'x'", {u"KOD", u"KOD"}, false, 0, false, "x", "x", u""},
      {u"SZAM = 1 And KOD = 'x'", {u"SZAM, -KOD"}, false, -1, false, "", "", u""},
      // A range on a level ends the bounds: later levels take extremes.
      {u"SZAM > 5 And KOD = '03'", {u"SZAM, KOD"}, false, 0, false, "5|NULL", "max|max", u""},
      {u"KOD LIKE 'AB%' And SZAM = 1", {u"KOD, SZAM"}, false, 0, false, "AB|NULL", "AB*|max", u""},
      {u"KOD = 'AB' And MEGNEV LIKE 'k%'", {u"KOD, MEGNEV"}, false, 0, false, "AB|k", "AB|k*", u""},
      // Parenthesised conditions count when they have no OR.
      {u"(KOD >= '01' And KOD <= '05') And MEGNEV = 'x'", {u"KOD"}, false, 0, false, "01", "05", u""},
      {u"(KOD = '01' Or KOD = '02') And SZAM = 1", {u"KOD", u"SZAM"}, false, 1, false, "1", "1", u""},
      // A locale collation with contractions: a LIKE prefix bounds from below only.
      {u"NEV LIKE 'cs%'", {u"NEV"}, false, 0, false, "cs", "max", u""},
      {u"NEV LIKE 'c%'", {u"NEV"}, false, 0, false, "c", "max", u""},
      // The prefix pattern keeps the standard collation's ligature setting.
      {u"MEGNEV LIKE 's%'", {u"MEGNEV"}, false, 0, false, "s", "s*", u""},
      {u"NEV = 'cs'", {u"NEV"}, false, 0, false, "cs", "cs", u""},
      // Temporary indexes.
      {u"MEGNEV = 'x'", {}, true, 0, false, "x", "x", u"MEGNEV"},
      {u"MEGNEV = 'x'", {}, false, -1, false, "", "", u""},
      {u"MEGNEV = 'x'", {}, true, -1, false, "", "", u"MEGNEV", true},
      {u"MEGNEV = 'x' And KOD > 'a'", {u"KOD"}, true, 1, false, "x|a", "x|max", u"MEGNEV, KOD"},
      {u"MEGNEV <> 'x'", {}, true, -1, false, "", "", u""},
  };
  for (const TChoiceCase& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.FCondition));
    TChoiceTable table(kLevel, ClassificationColumns());
    AddClassificationRows(table);
    for (const std::u16string& index : c.FIndexes) table.AddIndex(index);
    table.SetAutoCreate(c.FAutoCreate);
    table.SetTempIndexFails(c.FTempFails);
    TTdbSqlCondition condition(c.FCondition);
    condition.Prepare(table.Records());

    std::vector<uint8_t> lower;
    std::vector<uint8_t> upper;
    const TTdbIndexNo indexNo = condition.FindBestIndexAndBounds(table, lower, upper);
    EXPECT_EQ(indexNo, c.FIndexNo);
    if (c.FTempIndex.empty()) {
      EXPECT_TRUE(table.TempRequests().empty());
    } else {
      ASSERT_EQ(table.TempRequests().size(), 1u);
      EXPECT_EQ(CalcSpecification(table.TempRequests()[0], table.IndexTable(), true, false, false, false),
                c.FTempIndex);
    }
    if (indexNo < 0 || indexNo != c.FIndexNo) continue;

    const TTdbSortDef& def = table.Index(indexNo).Definition();
    std::vector<TTdbFieldRating> ratings;
    CalculateFieldRatings(*const_cast<TTdbSearchCondition*>(condition.SearchCondition()), ratings);
    bool reverse = false;
    ScoreIndexDefinition(def, ratings, reverse);
    EXPECT_EQ(reverse, c.FReverse);
    EXPECT_EQ(Describe(table, def, lower), c.FLower);
    EXPECT_EQ(Describe(table, def, upper), c.FUpper);
    EXPECT_EQ(ItemRecordNo(lower.data()), kRangeLowerRecordNo);
    EXPECT_EQ(ItemRecordNo(upper.data()), INT32_MAX);
    const std::vector<int32_t> walked = table.Walk(indexNo, lower, upper);
    EXPECT_EQ(table.Select(condition, walked), table.BruteForce(condition));
  }
}

TEST(IndexChoice, FieldRatingsFollowTheOperators) {
  struct TRatingCase {
    const char16_t* FCondition;
    std::vector<std::pair<int, int>> FRatings;  // column number, rating
  };
  const std::vector<TRatingCase> cases = {
      {u"KOD >= '01' And MEGNEV <> 'x'", {{1, 2}}},
      {u"KOD > '05' And KOD < '09'", {{1, 3}}},
      {u"KOD = '05' And KOD > '01'", {{1, 4}}},
      {u"KOD > '01' And KOD >= '02'", {{1, 2}}},
      {u"KOD LIKE 'AB%' And SZAM = 1 And NEV < 'x'", {{1, 3}, {3, 4}, {4, 1}}},
      {u"SZAM = 1 Or SZAM Is Null And 1 Is Null", {{3, 4}}},
      {u"Not SZAM <> 1", {{3, 4}}},
      {u"Not SZAM <= 1", {{3, 1}}},
      {u"Not SZAM Is Null", {}},
      {u"SZAM + 1 > 2", {}},
      {u"-SZAM > 2", {}},
      {u"SZAM > 2 Or KOD = 'x'", {}},
      {u"SZAM Between 1 And SZAM", {}},
  };
  for (const TRatingCase& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.FCondition));
    TChoiceTable table(kLevel, ClassificationColumns());
    TTdbSqlCondition condition(c.FCondition);
    condition.Prepare(table.Records());
    std::vector<TTdbFieldRating> ratings;
    CalculateFieldRatings(*const_cast<TTdbSearchCondition*>(condition.SearchCondition()), ratings);
    std::vector<std::pair<int, int>> found;
    for (const TTdbFieldRating& rating : ratings) found.emplace_back(rating.FieldNo, rating.Rating);
    EXPECT_EQ(found, c.FRatings);
  }
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

TEST(IndexChoice, BoundsComeFromParametersWhenTheWalkIsChosen) {
  TChoiceTable table(kLevel, ClassificationColumns());
  AddClassificationRows(table);
  const TTdbIndexNo kodIndex = table.AddIndex(u"KOD");
  TTdbVariables variables;
  TTdbSqlCondition condition(u"KOD >= :tol And KOD < :ig");
  condition.Prepare(table.Records(), 0, &variables);
  std::vector<uint8_t> lower;
  std::vector<uint8_t> upper;
  // A parameter without a value fails as its evaluation does.
  try {
    condition.FindBestIndexAndBounds(table, lower, upper);
    ADD_FAILURE() << "no error";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNotAValue);
  }

  const TCondDataType text = MakeStringType(cctString, 10);
  variables.Set(u"tol", text, TCondValue::String(u"03"));
  variables.Set(u"ig", text, TCondValue::String(u"10"));
  ASSERT_EQ(condition.FindBestIndexAndBounds(table, lower, upper), kodIndex);
  const TTdbSortDef& def = table.Index(kodIndex).Definition();
  EXPECT_EQ(Describe(table, def, lower), "03");
  EXPECT_EQ(Describe(table, def, upper), "10");
  EXPECT_EQ(table.Select(condition, table.Walk(kodIndex, lower, upper)), table.BruteForce(condition));

  // An empty condition gives no index.
  TTdbSqlCondition empty(u"");
  empty.Prepare(table.Records());
  EXPECT_EQ(empty.FindBestIndexAndBounds(table, lower, upper), kNoIndex);
}

}  // namespace
}  // namespace kestrel::test
