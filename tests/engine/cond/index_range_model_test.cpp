// The records found through the chosen index range are exactly the records
// brute-force evaluation selects: random tables (rows stored as record
// images, several indexes built from them) and random conditions, under the
// standard collation and a locale collation with contractions, on B-tree
// (level 4) and B+ tree (level 6) indexes. Where the range decides the
// condition, its inner items alone give the same records.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "choice_test_table.h"
#include "engine/base/code_page.h"

namespace kestrel::test {
namespace {

constexpr int kStringLength = 4;
constexpr int kRowCount = 80;
constexpr int kTables = 40;
constexpr int kConditionsPerTable = 80;
constexpr int kPoolSize = 8;  // random texts a table's rows and literals draw from, besides the seeds
// Characters of values and literals: case pairs, accented letters that fold
// to base letters, a ligature, a letter above the 8-bit range and the
// letters of Hungarian contractions (cs, zs, dz).
constexpr std::u16string_view kAlphabet = u"aAbcsdzáÁéőŐß ";
// Texts every table holds: "ß" next to texts with "s" (a ligature that
// compares like two letters, or like an accented "s"), Hungarian
// contractions next to their first letters, case and accent pairs.
constexpr std::u16string_view kSeedTexts[] = {u"s",  u"ßa", u"sb", u"sz", u"ssa", u"cs", u"cz",
                                              u"ca", u"d",  u"dzs", u"Ab", u"áb", u"ő", u"o"};
constexpr std::u16string_view kColumnNames[] = {u"A", u"B", u"N", u"F", u"K"};
enum TColumnKind { ckAnsi, ckWide, ckInteger, ckFloat, ckSmallInt };
constexpr TColumnKind kColumnKinds[] = {ckAnsi, ckWide, ckInteger, ckFloat, ckSmallInt};

class TRandomTables {
 public:
  TRandomTables(int level, std::u16string collation, uint32_t seed)
      : FLevel(level), FCollation(std::move(collation)), FRandom(seed) {}

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }
  bool Chance(int percent) { return Pick(0, 99) < percent; }

  std::unique_ptr<TChoiceTable> NewTable() {
    std::vector<TTdbColumnDef> columns = {
        NewColumnDef(u"A", TTdbDataType::MakeString(tctString, true, kStringLength, FCollation, FLevel)),
        NewColumnDef(u"B", TTdbDataType::MakeString(tctWideString, true, kStringLength, FCollation, FLevel)),
        NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, true, FLevel)),
        NewColumnDef(u"F", TTdbDataType::Make(tctFloat, true, FLevel)),
        NewColumnDef(u"K", TTdbDataType::Make(tctInt16, false, FLevel))};
    auto table = std::make_unique<TChoiceTable>(FLevel, columns);
    FPool.assign(std::begin(kSeedTexts), std::end(kSeedTexts));
    for (int i = 0; i < kPoolSize; ++i) FPool.push_back(Text(0, kStringLength));
    for (int row = 0; row < kRowCount; ++row) {
      std::vector<TTdbValue> values(5);
      if (!Chance(10)) values[0] = PoolText();
      if (!Chance(10)) values[1] = PoolText();
      if (!Chance(10)) values[2] = int64_t{Pick(-3, 9)};
      if (!Chance(10)) values[3] = Pick(-4, 8) / 2.0;
      values[4] = int64_t{Pick(-3, 9)};
      table->AddRow(values);
    }
    const int indexCount = Pick(1, 4);
    FIndexColumns.clear();
    for (int i = 0; i < indexCount; ++i) {
      const int first = Pick(0, 4);
      FIndexColumns.push_back({first});
      std::u16string spec = (Chance(30) ? u"-" : u"") + std::u16string(kColumnNames[first]);
      if (Chance(80)) {
        int second = Pick(0, 4);
        if (second == first) second = (second + 1) % 5;
        FIndexColumns.back().push_back(second);
        spec += (Chance(30) ? u", -" : u", ") + std::u16string(kColumnNames[second]);
      }
      table->AddIndex(spec);
    }
    table->SetAutoCreate(Chance(50));
    return table;
  }

  // Most conditions bound the levels of one of the table's indexes,
  // so that ranges over several levels are common.
  std::u16string Condition(int depth = 0) {
    if (depth == 0 && Chance(70)) {
      std::u16string text;
      for (int column : FIndexColumns[static_cast<size_t>(Pick(0, int(FIndexColumns.size()) - 1))]) {
        if (!text.empty()) text += u" And ";
        text += Bound(column);
      }
      if (Chance(30)) text += u" And " + Factor(depth);
      return text;
    }
    std::u16string text;
    const int terms = Chance(20) ? 2 : 1;
    for (int t = 0; t < terms; ++t) {
      if (t > 0) text += u" Or ";
      const int factors = Pick(1, 3);
      for (int f = 0; f < factors; ++f) {
        if (f > 0) text += u" And ";
        text += Factor(depth);
      }
    }
    return text;
  }

 private:
  std::u16string Text(int minLength, int maxLength) {
    std::u16string text;
    const int length = Pick(minLength, maxLength);
    for (int i = 0; i < length; ++i) text += kAlphabet[static_cast<size_t>(Pick(0, int(kAlphabet.size()) - 1))];
    return text;
  }

  std::u16string PoolText() { return FPool[static_cast<size_t>(Pick(0, int(FPool.size()) - 1))]; }
  // A text of the pool, often cut to a prefix.
  std::u16string PoolPrefix() {
    const std::u16string text = PoolText();
    if (text.empty() || Chance(30)) return text;
    return text.substr(0, static_cast<size_t>(Pick(1, int(text.size()))));
  }

  std::u16string Literal(TColumnKind kind) {
    switch (kind) {
      case ckAnsi:
      case ckWide: return u"'" + (Chance(70) ? PoolPrefix() : Text(0, 3)) + u"'";
      case ckInteger:
      case ckSmallInt: {
        if (Chance(10)) return Chance(50) ? u"40000" : u"-1e12";
        if (Chance(15)) return Utf8ToUtf16(std::to_string(Pick(-6, 18) / 2) + ".5");
        return Utf8ToUtf16(std::to_string(Pick(-4, 10)));
      }
      case ckFloat: return Utf8ToUtf16(std::to_string(Pick(-5, 9)) + (Chance(50) ? ".5" : ""));
    }
    return u"NULL";
  }

  std::u16string Pattern() {
    std::u16string pattern = Chance(60) ? PoolPrefix() : u"";
    if (Chance(70)) pattern += u"%";
    const int parts = Pick(0, 4);
    for (int i = 0; i < parts; ++i) {
      const int kind = Pick(0, 9);
      pattern += kind == 0 ? u"%" : kind == 1 ? u"_" : Text(1, 1);
    }
    return pattern;
  }

  // A comparison that bounds `column`: mostly equalities, also one-sided
  // and two-sided ranges and LIKE prefixes.
  std::u16string Bound(int column) {
    const TColumnKind kind = kColumnKinds[column];
    const std::u16string name(kColumnNames[column]);
    const bool text = kind == ckAnsi || kind == ckWide;
    switch (Pick(0, 5)) {
      case 0:
      case 1: return name + u" = " + Literal(kind);
      case 2:
      case 3:
        if (text) return name + u" Like '" + Pattern() + u"'";
        return name + u" Between " + Literal(kind) + u" And " + Literal(kind);
      default: return name + (Chance(50) ? u" > " : u" <= ") + Literal(kind);
    }
  }

  std::u16string Factor(int depth) {
    const int column = Pick(0, 4);
    const TColumnKind kind = kColumnKinds[column];
    const std::u16string name(kColumnNames[column]);
    const bool text = kind == ckAnsi || kind == ckWide;
    const std::u16string negation = Chance(20) ? u"Not " : u"";
    static constexpr std::u16string_view kOperators[] = {u"=", u"<>", u"<", u"<=", u">", u">="};
    switch (Pick(0, 11)) {
      case 0:
        if (depth < 2) return negation + u"(" + Condition(depth + 1) + u")";
        [[fallthrough]];
      case 1:
        if (text) {
          std::u16string like = name + (Chance(15) ? u" Not Like '" : u" Like '") + Pattern() + u"'";
          if (Chance(10)) like = name + u" Like '" + Text(0, 1) + u"!%" + Pattern() + u"' Escape '!'";
          return like;
        }
        [[fallthrough]];
      case 2:
        return name + (Chance(20) ? u" Not Between " : u" Between ") + Literal(kind) + u" And " + Literal(kind);
      case 3: return name + (Chance(20) ? u" Not In (" : u" In (") + Literal(kind) + u", " + Literal(kind) + u")";
      case 4: return name + (Chance(50) ? u" Is Null" : u" Is Not Null");
      case 5:
        if (text) return negation + u"A " + std::u16string(kOperators[Pick(0, 5)]) + u" B";
        [[fallthrough]];
      default: {
        const std::u16string op(kOperators[Pick(0, 5)]);
        if (Chance(30)) return negation + Literal(kind) + u" " + op + u" " + name;
        return negation + name + u" " + op + u" " + Literal(kind);
      }
    }
  }

  int FLevel;
  std::u16string FCollation;
  std::mt19937 FRandom;
  std::vector<std::u16string> FPool;
  std::vector<std::vector<int>> FIndexColumns;  // column numbers (0-based) of the indexes' levels
};

// The records a walk selects where the range decides the condition: every
// item that differs from both range items on the first level unread, the
// others by their record.
std::set<int32_t> SelectByRange(TChoiceTable& table, TTdbIndexNo indexNo, TTdbSqlCondition& condition,
                                const std::vector<uint8_t>& lower, const std::vector<uint8_t>& upper) {
  TTdbIndexFile& index = table.Index(indexNo);
  const TTdbIndexComparer& comparer = index.Comparer();
  std::set<int32_t> selected;
  std::vector<int32_t> ends;
  std::vector<uint8_t> key = lower;
  for (int result = index.Suche_Index(key); result == ttrFound; result = index.Naechster_Index(key)) {
    if (comparer.Compare(key.data(), upper.data()) > 0) break;
    if (comparer.FindSortKeyDiff(key.data(), lower.data()) == 0 &&
        comparer.FindSortKeyDiff(key.data(), upper.data()) == 0)
      selected.insert(ItemRecordNo(key.data()));
    else
      ends.push_back(ItemRecordNo(key.data()));
  }
  const std::set<int32_t> tested = table.Select(condition, ends);
  selected.insert(tested.begin(), tested.end());
  return selected;
}

class IndexRangeModel : public ::testing::TestWithParam<std::tuple<int, const char16_t*>> {};

TEST_P(IndexRangeModel, RecordsInTheRangeAreExactlyTheSelectedRecords) {
  const auto [level, collation] = GetParam();
  TRandomTables random(level, collation, 20261210u + static_cast<uint32_t>(level));
  int chosen = 0;
  int narrowed = 0;
  int decided = 0;
  int conditions = 0;
  for (int t = 0; t < kTables; ++t) {
    std::unique_ptr<TChoiceTable> table = random.NewTable();
    for (int c = 0; c < kConditionsPerTable; ++c) {
      const std::u16string text = random.Condition();
      SCOPED_TRACE(Utf16ToUtf8(text));
      TTdbSqlCondition condition(text);
      condition.Prepare(table->Records());
      const std::set<int32_t> expected = table->BruteForce(condition);
      std::vector<uint8_t> lower;
      std::vector<uint8_t> upper;
      const TTdbIndexNo indexNo = condition.FindBestIndexAndBounds(*table, lower, upper);
      ++conditions;
      if (indexNo < 0) continue;
      ++chosen;
      const std::vector<int32_t> walked = table->Walk(indexNo, lower, upper);
      const std::set<int32_t> distinct(walked.begin(), walked.end());
      EXPECT_EQ(distinct.size(), walked.size());
      if (walked.size() < static_cast<size_t>(table->RecordCount())) ++narrowed;
      ASSERT_EQ(table->Select(condition, walked), expected)
          << "index " << int(indexNo) << ": "
          << Utf16ToUtf8(CalcSpecification(table->Index(indexNo).Definition(), table->IndexTable(), true, false,
                                           false, false));
      if (!condition.RangeDecides(*table, indexNo)) continue;
      ++decided;
      EXPECT_EQ(SelectByRange(*table, indexNo, condition, lower, upper), expected)
          << "decided by the range of index "
          << Utf16ToUtf8(CalcSpecification(table->Index(indexNo).Definition(), table->IndexTable(), true, false,
                                           false, false));
    }
  }
  EXPECT_GT(decided, 0);
  // The run must exercise ranges, not only full walks.
  EXPECT_GT(chosen, conditions / 5);
  EXPECT_GT(narrowed, chosen / 2);
}

INSTANTIATE_TEST_SUITE_P(LevelsAndCollations, IndexRangeModel,
                         ::testing::Values(std::make_tuple(4, u""), std::make_tuple(4, u"Hungarian"),
                                           std::make_tuple(6, u""), std::make_tuple(6, u"Hungarian")));

}  // namespace
}  // namespace kestrel::test
