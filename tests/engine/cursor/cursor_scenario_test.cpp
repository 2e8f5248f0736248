// Cursor scenarios through the flat call interface: each step is an
// operation with its argument, checked against the result, the accessor's
// raw position (record number, -1 before the first, 0 after the last) and
// the sequence number. Tables: empty, one record, many (in physical, index
// and reversed index order), under a static filter, and after deletions.
#include <gtest/gtest.h>

#include "cursor_fixture.h"

namespace kestrel::test {
namespace {

enum TOp { opFirst, opLast, opMoveBy, opSetRecNo, opSetSeq, opLocate, opCount };

struct TStep {
  TOp Op;
  int Arg;
  const char* Key;  // opLocate
  int Result;
  int Position;
  int SequenceNo;
};

struct TScenario {
  const char* Name;
  std::vector<TRow> Rows;
  const char16_t* Index;
  bool Reverse;
  const char16_t* Filter;
  int FilterMode;  // 1 static, 15 incremental
  std::vector<std::string> Deleted;  // KODs deleted before the steps
  std::vector<TStep> Steps;
};

// Physical order 30, 10, 50, 20, 40: KOD order is records 2, 4, 1, 5, 3.
const std::vector<TRow> kFive = {{"30", "Kave", ""}, {"10", "Alma", ""}, {"50", "Szilva", ""},
                                 {"20", "Barack", ""}, {"40", "Korte", ""}};

const std::vector<TScenario> kScenarios = {
    {"empty table", {}, u"KOD", false, u"", 1, {},
     {{opCount, 0, "", 0, -1, 0},
      {opFirst, 0, "", -11, 0, 0},
      {opLast, 0, "", -11, -1, 0},
      {opMoveBy, 1, "", -11, 0, 0},
      {opMoveBy, -1, "", -11, 0, 0},
      {opSetRecNo, 1, "", -11, 0, 0},
      {opLocate, 0, "1", 0, 0, 0}}},
    {"one record", {{"10", "Alma", ""}}, u"KOD", false, u"", 1, {},
     {{opCount, 0, "", 1, -1, 0},
      {opFirst, 0, "", 1, 1, 1},
      {opMoveBy, 1, "", -11, 0, 0},
      {opMoveBy, -1, "", 0, 1, 1},
      {opMoveBy, -1, "", -11, 1, 1},
      {opMoveBy, 0, "", 0, 1, 1},
      {opLast, 0, "", 1, 1, 1},
      {opSetRecNo, 0, "", 0, -1, 0},
      {opMoveBy, 1, "", 0, 1, 1}}},
    {"many in index order", kFive, u"KOD", false, u"", 1, {},
     {{opCount, 0, "", 5, -1, 0},
      {opFirst, 0, "", 1, 2, 1},
      {opMoveBy, 1, "", 0, 4, 2},
      {opMoveBy, 2, "", 0, 5, 4},
      {opMoveBy, 1, "", 0, 3, 5},
      {opMoveBy, 1, "", -11, 0, 0},
      {opMoveBy, -1, "", 0, 3, 5},
      {opLast, 0, "", 1, 3, 5},
      {opSetSeq, 3, "", 3, 1, 3},
      {opSetRecNo, 4, "", 4, 4, 2},
      {opMoveBy, -5, "", -11, 2, 1},
      {opSetSeq, 9, "", 5, 3, 5},
      {opLocate, 0, "25", 1, 1, 3},
      {opLocate, 0, "9", 0, 1, 3},
      {opLocate, 0, "", 2, 2, 1},
      {opLocate, 0, "4", 5, 5, 4},
      {opSetRecNo, 6, "", -11, 5, 4},
      {opSetRecNo, -2, "", -11, 5, 4}}},
    {"many in reversed index order", kFive, u"KOD", true, u"", 1, {},
     {{opFirst, 0, "", 1, 3, 1},
      {opMoveBy, 1, "", 0, 5, 2},
      {opLast, 0, "", 1, 2, 5},
      {opMoveBy, -1, "", 0, 4, 4},
      {opMoveBy, 3, "", -11, 0, 0}}},
    {"many in physical order", kFive, u"", false, u"", 1, {},
     {{opCount, 0, "", 5, -1, 0},
      {opFirst, 0, "", 1, 1, 1},
      {opMoveBy, 1, "", 0, 2, 2},
      {opLast, 0, "", 1, 5, 5},
      {opSetSeq, 3, "", 3, 3, 3},
      {opMoveBy, 0, "", 0, 3, 3}}},
    {"static filter", kFive, u"KOD", false, u"KOD >= '20' AND KOD < '50'", 1, {},
     {{opCount, 0, "", 3, -1, 0},
      {opFirst, 0, "", 1, 4, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opMoveBy, 1, "", 0, 5, 3},
      {opMoveBy, 1, "", -11, 0, 0},
      {opLast, 0, "", 1, 5, 3},
      {opLocate, 0, "10", 4, 4, 1},
      {opLocate, 0, "45", 0, 4, 1},
      {opSetRecNo, 2, "", -11, 4, 1},
      {opSetRecNo, 1, "", 1, 1, 2}}},
    {"static filter, reversed", kFive, u"KOD", true, u"KOD >= '20' AND KOD < '50'", 1, {},
     {{opFirst, 0, "", 1, 5, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opLast, 0, "", 1, 4, 3},
      {opMoveBy, 1, "", -11, 0, 0}}},
    // The range walks the KOD index; the list must still follow the
    // cursor's own order: records 20 (4), 30 (1), 40 (5).
    {"static filter in physical order", kFive, u"", false, u"KOD >= '20' AND KOD < '50'", 1, {},
     {{opCount, 0, "", 3, -1, 0},
      {opFirst, 0, "", 1, 1, 1},
      {opMoveBy, 1, "", 0, 4, 2},
      {opMoveBy, 1, "", 0, 5, 3},
      {opMoveBy, 1, "", -11, 0, 0}}},
    {"static filter under another index", kFive, u"INDMN", false, u"KOD >= '20' AND KOD < '50'", 1, {},
     {{opCount, 0, "", 3, -1, 0},
      {opFirst, 0, "", 1, 4, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opMoveBy, 1, "", 0, 5, 3},
      {opMoveBy, 1, "", -11, 0, 0}}},
    {"static filter under another index, reversed", kFive, u"INDMN", true, u"KOD >= '20' AND KOD < '50'", 1, {},
     {{opFirst, 0, "", 1, 5, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opLast, 0, "", 1, 4, 3}}},
    {"incremental filter", kFive, u"KOD", false, u"KOD >= '20' AND KOD < '50'", 15, {},
     {{opCount, 0, "", 3, -1, 0},
      {opFirst, 0, "", 1, 4, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opMoveBy, 1, "", 0, 5, 3},
      {opMoveBy, 1, "", -11, 0, 0},
      {opLast, 0, "", 1, 5, 3},
      {opSetSeq, 2, "", 2, 1, 2},
      {opLocate, 0, "45", 0, 1, 2},
      {opLocate, 0, "05", 4, 4, 1},
      {opSetRecNo, 3, "", -11, 4, 1}}},
    {"filter nothing satisfies", kFive, u"KOD", false, u"KOD > '99'", 1, {},
     {{opCount, 0, "", 0, -1, 0}, {opFirst, 0, "", -11, 0, 0}, {opLast, 0, "", -11, -1, 0}}},
    // Deleting 20 (record 4) moves 40 from 5 to 4; deleting 30 (record 1)
    // then moves 40 from 4 to 1: records 40, 10, 50.
    {"after deletions", kFive, u"KOD", false, u"", 1, {"20", "30"},
     {{opCount, 0, "", 3, -1, 0},
      {opFirst, 0, "", 1, 2, 1},
      {opMoveBy, 1, "", 0, 1, 2},
      {opMoveBy, 1, "", 0, 3, 3},
      {opSetRecNo, 4, "", -11, 3, 3}}},
};

void PrintTo(const TScenario& scenario, std::ostream* out) { *out << scenario.Name; }

class CursorScenario : public CursorFixture, public ::testing::WithParamInterface<TScenario> {};

TEST_P(CursorScenario, Steps) {
  const TScenario& scenario = GetParam();
  Open(scenario.Rows);
  for (const std::string& kod : scenario.Deleted) {
    std::uint8_t exact = 1;
    const std::vector<std::uint8_t> key = Image(kod);
    ASSERT_GT(TdbTableLocateRec2(FTable, u"KOD", key.data(), FRecordSize, 1, &exact), 0) << kod;
    ASSERT_EQ(TdbTableDeleteRecord(FTable), 0) << kod;
  }
  ASSERT_EQ(TdbTableSetIndex(FTable, scenario.Index, scenario.Reverse ? 1 : 0), 0);
  if (*scenario.Filter) {
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, scenario.Filter, scenario.FilterMode, 1), 0);
    ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  }
  TdbTableSetRecNo(FTable, 0);
  int stepNo = 0;
  for (const TStep& step : scenario.Steps) {
    ++stepNo;
    std::int32_t result = 0;
    switch (step.Op) {
      case opFirst: result = TdbTableFirst(FTable); break;
      case opLast: result = TdbTableLast(FTable); break;
      case opMoveBy: result = TdbTableMoveBy(FTable, step.Arg); break;
      case opSetRecNo: result = TdbTableSetRecNo(FTable, step.Arg); break;
      case opSetSeq: result = TdbTableSetSequenceNo(FTable, step.Arg); break;
      case opCount: result = TdbTableRecordCount(FTable); break;
      case opLocate: {
        const std::vector<std::uint8_t> key = Image(step.Key);
        std::uint8_t exact = 0;
        result = TdbTableLocateRec2(FTable, u"KOD", key.data(), FRecordSize, 256, &exact);
        break;
      }
    }
    SCOPED_TRACE(testing::Message() << scenario.Name << ", step " << stepNo);
    EXPECT_EQ(result, step.Result);
    if (step.Op == opCount) continue;
    EXPECT_EQ(Position(FTable), step.Position);
    EXPECT_EQ(TdbTableGetSequenceNo(FTable), step.SequenceNo);
    EXPECT_EQ(TdbTableGetRecNo(FTable), std::max(step.Position, 0));
  }
}

// Switching the index keeps an active static filter, reorders its records
// and keeps the current record.
TEST_F(CursorFixture, IndexSwitchKeepsTheStaticFilterAndTheCurrentRecord) {
  Open(kFive);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD <> '30'", 1, 1), 0);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  ASSERT_EQ(TdbTableSetRecNo(FTable, 3), 3);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"INDMN", 0), 0);
  EXPECT_EQ(TdbTableGetRecNo(FTable), 3);
  EXPECT_EQ(TdbTableGetSequenceNo(FTable), 4);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"10", "20", "40", "50"}));
  EXPECT_EQ(TdbTableSetIndex(FTable, u"NINCS", 0), -16);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 0), 0);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"10", "20", "30", "40", "50"}));
}

INSTANTIATE_TEST_SUITE_P(Tables, CursorScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace kestrel::test
