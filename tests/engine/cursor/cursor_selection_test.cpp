// The selection modes of TdbTableSetSQLFilter (3 add, 6 keep, 7 add what the
// current order shows), each step checked against a set model built from
// plain static filters on a second cursor; the selection's upkeep across
// deletions and index switches; and the refusal of modes that do not exist.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "cursor_fixture.h"

namespace kestrel::test {
namespace {

// Physical order 30, 10, 50, 20, 40.
const std::vector<TRow> kFive = {{"30", "Kave", ""}, {"10", "Alma", ""}, {"50", "Szilva", ""},
                                 {"20", "Barack", ""}, {"40", "Korte", ""}};

struct TSelectionStep {
  const char16_t* Condition;
  int Mode;
};

struct TSelectionCase {
  const char* Name;
  const char16_t* ActiveFilter;  // a static filter active before the steps ("" none)
  std::vector<TSelectionStep> Steps;
  bool Background;
  std::vector<std::string> Expected;  // the walk in KOD order afterwards
};

const std::vector<TSelectionCase> kCases = {
    {"add", u"", {{u"KOD > '20'", 3}}, true, {"30", "40", "50"}},
    {"add twice is a union", u"", {{u"KOD < '20'", 3}, {u"KOD > '40'", 3}, {u"KOD = '10'", 3}}, true, {"10", "50"}},
    {"add then keep", u"", {{u"KOD >= '20'", 3}, {u"MEGNEV LIKE 'K%'", 6}}, true, {"30", "40"}},
    {"keep on an empty selection", u"", {{u"KOD > '0'", 6}}, true, {}},
    {"static filter then add", u"", {{u"KOD = '10'", 1}, {u"KOD = '50'", 3}}, true, {"10", "50"}},
    {"incremental filter then add", u"", {{u"KOD = '10'", 15}, {u"KOD = '50'", 3}}, true, {"50"}},
    {"add visible under an active filter", u"KOD <> '30'", {{u"KOD >= '30'", 7}}, true, {"40", "50"}},
    {"add ignores the active filter", u"KOD <> '30'", {{u"KOD >= '30'", 3}}, true, {"30", "40", "50"}},
    {"case-insensitive option", u"", {{u"MEGNEV = 'alma'", 3 | 0x10}}, true, {"10"}},
    {"wildcard option", u"", {{u"MEGNEV = 'K*'", 3 | 0x20}, {u"KOD = '30'", 6}}, true, {"30"}},
    {"at once without background", u"", {{u"KOD > '30'", 3}}, false, {"40", "50"}},
};

void PrintTo(const TSelectionCase& c, std::ostream* out) { *out << c.Name; }

class CursorSelection : public CursorFixture, public ::testing::WithParamInterface<TSelectionCase> {
 protected:
  // The KODs a static filter with `condition` (options of `mode`) selects,
  // through a cursor of its own.
  std::set<std::string> Satisfying(const char16_t* condition, int mode) {
    const std::int16_t scan = NewCursor();
    EXPECT_EQ(TdbTableSetSQLFilter(scan, condition, (mode & 0xF0) | 1, 0), 0);
    const std::vector<std::string> walk = Walk(scan);
    TdbTableDelete(scan);
    return {walk.begin(), walk.end()};
  }
};

TEST_P(CursorSelection, MatchesTheSetModel) {
  const TSelectionCase& c = GetParam();
  Open(kFive);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  if (*c.ActiveFilter) {
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, c.ActiveFilter, 1, 0), 0);
  }
  std::set<std::string> model;
  for (const TSelectionStep& step : c.Steps) {
    const std::set<std::string> satisfying = Satisfying(step.Condition, step.Mode);
    switch (step.Mode & 0x0F) {
      case 1: model = satisfying; break;
      case 15: model.clear(); break;
      case 3: model.insert(satisfying.begin(), satisfying.end()); break;
      case 6: std::erase_if(model, [&](const std::string& kod) { return !satisfying.contains(kod); }); break;
      case 7: {
        const std::vector<std::string> visible = Walk(FTable);
        for (const std::string& kod : satisfying)
          if (std::find(visible.begin(), visible.end(), kod) != visible.end()) model.insert(kod);
        break;
      }
    }
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, step.Condition, step.Mode, c.Background ? 1 : 0), 0)
        << Utf16ToUtf8(LastError().second);
  }
  if (c.Background) {
    ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  }
  const std::vector<std::string> walk = Walk(FTable);
  EXPECT_EQ(walk, std::vector<std::string>(model.begin(), model.end()));
  EXPECT_EQ(walk, c.Expected);
  EXPECT_EQ(TdbTableRecordCount(FTable), static_cast<std::int32_t>(c.Expected.size()));
  // Switched off, every record shows again; switched on, the selection is back.
  ASSERT_EQ(TdbTableActivateFilter(FTable, 0), 0);
  EXPECT_EQ(Walk(FTable).size(), c.ActiveFilter[0] && !c.Background ? 4u : 5u);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  EXPECT_EQ(Walk(FTable), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, CursorSelection, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = info.param.Name;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

// A selection follows deletions (the deleted record leaves it, the record
// moved into the freed slot stays in it), is not evaluated again when
// records change but follows their new keys, and is reordered by an index
// switch.
TEST_F(CursorFixture, SelectionFollowsDeletionsAndIndexSwitches) {
  Open(kFive);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD IN ('10', '20', '40')", 3, 0), 0);
  ASSERT_EQ(Walk(FTable), (std::vector<std::string>{"10", "20", "40"}));
  // 20 is record 4; deleting it moves 40 (record 5) into slot 4.
  const std::int16_t other = NewCursor();
  ASSERT_EQ(TdbTableSetRecNo(other, 4), 4);
  ASSERT_EQ(TdbTableDeleteRecord(other), 0);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"10", "40"}));
  EXPECT_EQ(TdbTableRecordCount(FTable), 2);
  // Renaming 10 keeps it selected although the condition no longer holds.
  ASSERT_EQ(TdbTableSetRecNo(other, 2), 2);
  ASSERT_EQ(TdbTableEdit(other), 0);
  const std::vector<std::uint8_t> renamed = Image("60", "Zab");
  ASSERT_EQ(TdbTableSetRecord(other, renamed.data(), FRecordSize), 0);
  ASSERT_GT(TdbTableEditConfirm(other), 0);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"40", "60"}));
  // MEGNEV order: Korte (40) before Zab (60), reversed: 60, 40.
  ASSERT_EQ(TdbTableSetIndex(FTable, u"INDMN", 1), 0);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"60", "40"}));
}

// Modes whose low four bits name no kind are refused with error 49 and
// leave the filters as they were; so is a bad condition in a selection mode.
TEST_F(CursorFixture, UnknownFilterModesAreRefused) {
  Open(kFive);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD > '30'", 3, 0), 0);
  for (int mode : {0, 2, 4, 5, 8, 14, 0x10, 0x42}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(TdbTableSetSQLFilter(FTable, u"KOD = '10'", mode, 1), -44);
    EXPECT_EQ(LastError().first, 49);
    EXPECT_EQ(TdbTableSetSQLFilter(FTable, u"", mode, 0), -44);
  }
  EXPECT_EQ(TdbTableSetSQLFilter(FTable, u"KOD = ", 6, 0), -44);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"50", "40"}));
}

}  // namespace
}  // namespace kestrel::test
