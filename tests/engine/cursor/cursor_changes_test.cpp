// Record changes through a cursor (append, edit, delete with confirm and
// cancel, memo values) and what other cursors see of them: deletions and
// moves fix up every record-number list and the current record, stepping
// goes on from an item that left the index, a record being edited
// elsewhere is refused with the lock error's own text, and another
// session's new record is seen after a refresh. In a B+ tree table file
// records are numbered by their ids and keep them.
#include <gtest/gtest.h>

#include <cstring>

#include "cursor_fixture.h"

namespace kestrel::test {
namespace {

// Physical order 30, 10, 50, 20, 40: KOD order is records 2, 4, 1, 5, 3.
const std::vector<TRow> kFive = {{"30", "Kave", "kávé leírás"}, {"10", "Alma", ""}, {"50", "Szilva", ""},
                                 {"20", "Barack", ""}, {"40", "Korte", ""}};

class CursorChanges : public CursorFixture {
 protected:
  // Positions `table` on the record with this KOD.
  void GoTo(std::int16_t table, const std::string& kod) {
    const std::vector<std::uint8_t> key = Image(kod);
    std::uint8_t exact = 1;
    ASSERT_GT(TdbTableLocateRec2(table, u"KOD", key.data(), FRecordSize, 1, &exact), 0) << kod;
  }
  std::string Memo(std::int16_t table, int fieldNo) {
    std::int32_t blobType = -1;
    const std::int32_t size = TdbTableInitGetBlob(table, fieldNo, -1, &blobType);
    if (size < 0) return "error " + std::to_string(size);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(TdbTablePerformGetBlob(table, bytes.data(), size), size);
    return bytes;
  }
};

TEST_F(CursorChanges, ABPlusTreeTableFileNumbersRecordsByTheirIds) {
  FBPlus = true;
  Open(kFive);
  const auto withId = [&](std::vector<std::uint8_t> record, std::int32_t id) {
    for (int b = 0; b < 4; ++b) record[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(id >> (8 * b));
    return record;
  };
  ASSERT_EQ(TdbTableAppend(FTable), 0);
  const std::int32_t id = TdbTableGetAutoNo(FTable);
  EXPECT_EQ(id, 6);
  std::vector<std::uint8_t> record = withId(Image("60", "Meggy"), id);
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableAppendConfirm(FTable), id);

  const std::int16_t other = NewCursor();
  ASSERT_EQ(TdbTableSetRecNo(other, 4), 4);
  ASSERT_EQ(TdbTableSetRecNo(FTable, 2), 2);
  ASSERT_EQ(TdbTableDeleteRecord(FTable), 0);
  EXPECT_EQ(TdbTableSetRecNo(FTable, 2), -11) << "the id is gone";
  EXPECT_EQ(TdbTableGetRecNo(other), 4) << "no record moved";
  EXPECT_EQ(CurrentKod(other), "20");
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"30", "50", "20", "40", "60"}));
  EXPECT_EQ(TdbTableSetSequenceNo(FTable, 2), 2);
  EXPECT_EQ(TdbTableGetRecNo(FTable), 3);

  // An edit keeps the id; one that changes it is refused.
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  record = withId(Image("55", "Szilva"), 3);
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableEditConfirm(FTable), 3);
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  record = withId(Image("56", "Szilva"), 9);
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_LT(TdbTableEditConfirm(FTable), 0);
  TdbTableEditCancel(FTable);
  EXPECT_EQ(CurrentKod(FTable), "55");
}

TEST_F(CursorChanges, AppendEditDeleteWithConfirmAndCancel) {
  Open(kFive);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  std::vector<std::uint8_t> record = Image("60", "Meggy");
  EXPECT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), -57);

  ASSERT_EQ(TdbTableAppend(FTable), 0);
  EXPECT_EQ(TdbTableGetRecNo(FTable), 0);
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  const std::string memo = "hosszú leírás";
  ASSERT_EQ(TdbTableSetBlob(FTable, 3, memo.data(), static_cast<std::int32_t>(memo.size())), 0);
  EXPECT_EQ(Memo(FTable, 3), memo);  // the value given, before it is stored
  EXPECT_EQ(TdbTableAppendConfirm(FTable), 6);
  EXPECT_EQ(TdbTableGetRecNo(FTable), 6);
  EXPECT_EQ(CurrentKod(FTable), "60");
  EXPECT_EQ(Memo(FTable, 3), memo);

  ASSERT_EQ(TdbTableAppend(FTable), 0);
  record = Image("70", "Dio");
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableAppendCancel(FTable), 0);
  EXPECT_EQ(TdbTableRecordCount(FTable), 6);

  GoTo(FTable, "30");
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  record = Image("35", "Kave");
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableEditConfirm(FTable), 1);
  EXPECT_EQ(CurrentKod(FTable), "35");
  EXPECT_EQ(Memo(FTable, 3), "k\xe1v\xe9 le\xedr\xe1s");  // the memo kept its value (8-bit text)
  EXPECT_EQ(TdbTableMoveBy(FTable, 1), 0);
  EXPECT_EQ(CurrentKod(FTable), "40");

  ASSERT_EQ(TdbTableEdit(FTable), 0);
  record = Image("99", "x");
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableEditCancel(FTable), 0);
  EXPECT_EQ(TdbTableEditConfirm(FTable), -57);
  EXPECT_EQ(CurrentKod(FTable), "40");

  // A key that breaks the unique index: refused, the record unchanged.
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  record = Image("10", "x");
  ASSERT_EQ(TdbTableSetRecord(FTable, record.data(), FRecordSize), 0);
  EXPECT_EQ(TdbTableEditConfirm(FTable), -100);
  EXPECT_EQ(LastError().first, 30);
  EXPECT_EQ(TdbTableEditCancel(FTable), 0);

  GoTo(FTable, "20");
  EXPECT_EQ(TdbTableDeleteRecord(FTable), 0);
  EXPECT_EQ(TdbTableRecordCount(FTable), 5);
  // The position stands where the deleted record was: on to the next one.
  EXPECT_EQ(TdbTableMoveBy(FTable, 0), 0);
  EXPECT_EQ(CurrentKod(FTable), "35");
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"10", "35", "40", "50", "60"}));
}

std::vector<std::pair<int, int>> gMoves;

void RecordMove(void*, std::int16_t, std::int16_t, std::int32_t newRecNo, std::int32_t oldRecNo) {
  gMoves.emplace_back(newRecNo, oldRecNo);
}

TEST_F(CursorChanges, DeletionFixesUpEveryListAndTheCurrentRecord) {
  Open(kFive);
  gMoves.clear();
  ASSERT_EQ(TdbTableSetChangeCallback(FTable, RecordMove, nullptr), 0);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  // Active list 20 30 40 50 (records 4 1 5 3), user list 10 20 30 (2 4 1).
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD >= '20'", 1, 1), 0);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD <= '30'", 1, 1), 0);
  GoTo(FTable, "40");
  ASSERT_EQ(TdbTableGetRecNo(FTable), 5);

  // Another cursor deletes 20 (record 4); the last record, 40, moves into 4.
  const std::int16_t other = NewCursor();
  GoTo(other, "20");
  ASSERT_EQ(TdbTableDeleteRecord(other), 0);
  EXPECT_EQ(gMoves, (std::vector<std::pair<int, int>>{{4, 5}}));

  // The current record followed its move.
  EXPECT_EQ(TdbTableGetRecNo(FTable), 4);
  EXPECT_EQ(CurrentKod(FTable), "40");
  // The active list: 30 (1), 40 (4), 50 (3); walked without re-evaluation.
  EXPECT_EQ(TdbTableMoveBy(FTable, -1), 0);
  EXPECT_EQ(CurrentKod(FTable), "30");
  EXPECT_EQ(TdbTableMoveBy(FTable, -1), -11);
  EXPECT_EQ(TdbTableSetRecNo(FTable, 5), -11);
  EXPECT_EQ(TdbTableSetRecNo(FTable, 4), 4);
  EXPECT_EQ(TdbTableMoveBy(FTable, 1), 0);
  EXPECT_EQ(CurrentKod(FTable), "50");
  // The user list: 10 (2), 30 (1); record 4 now holds 40, which it never listed.
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  EXPECT_EQ(TdbTableSetRecNo(FTable, 4), -11);
  EXPECT_EQ(TdbTableSetRecNo(FTable, 2), 2);
  EXPECT_EQ(TdbTableMoveBy(FTable, 1), 0);
  EXPECT_EQ(CurrentKod(FTable), "30");
  EXPECT_EQ(TdbTableMoveBy(FTable, 1), -11);
  EXPECT_EQ(TdbTableRecordCount(FTable), 2);
}

TEST_F(CursorChanges, SteppingGoesOnFromAnItemThatLeftTheIndex) {
  struct Case {
    const char* name;
    std::string newKod;  // "" deletes the record
    int delta;
    const char* expected;
  };
  const Case cases[] = {
      {"key raised, forward", "45", 1, "40"},
      {"key lowered, backward", "05", -1, "20"},
      {"deleted, forward", "", 1, "40"},
      {"deleted, backward", "", -1, "20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CloseSession();
    Open(kFive, c.name);
    ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
    GoTo(FTable, "30");
    const std::int16_t other = NewCursor();
    GoTo(other, "30");
    if (c.newKod.empty()) {
      ASSERT_EQ(TdbTableDeleteRecord(other), 0);
    } else {
      ASSERT_EQ(TdbTableEdit(other), 0);
      const std::vector<std::uint8_t> record = Image(c.newKod, "Kave");
      ASSERT_EQ(TdbTableSetRecord(other, record.data(), FRecordSize), 0);
      ASSERT_EQ(TdbTableEditConfirm(other), 1);
    }
    EXPECT_EQ(TdbTableMoveBy(FTable, c.delta), 0);
    EXPECT_EQ(CurrentKod(FTable), c.expected);
  }
}

TEST_F(CursorChanges, SteppingBackFromTheDeletedLastListedRecord) {
  Open(kFive);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD >= '20'", 1, 1), 0);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  ASSERT_EQ(TdbTableLast(FTable), 1);
  ASSERT_EQ(CurrentKod(FTable), "50");
  // 50 (record 3) goes; 40 moves from record 5 into 3, which the list already
  // held for 50: the step back must still reach 40.
  const std::int16_t other = NewCursor();
  GoTo(other, "50");
  ASSERT_EQ(TdbTableDeleteRecord(other), 0);
  EXPECT_EQ(TdbTableMoveBy(FTable, -1), 0);
  EXPECT_EQ(CurrentKod(FTable), "40");
  EXPECT_EQ(TdbTableMoveBy(FTable, 1), -11);
}

TEST_F(CursorChanges, AnotherSessionsEditAndAppend) {
  Open(kFive);
  const std::u16string location = Utf8ToUtf16(FDatabaseDir);
  const auto session2 = static_cast<std::int16_t>(TdbCreateSession(u""));
  ASSERT_GT(session2, 0);
  ASSERT_EQ(TdbSessOpenDb(session2, location.c_str(), u"", u"", 1024, 0), 0);
  const std::int32_t relation2 = TdbSessOpenTable(session2, u"Vnd03", u"", 0xF8FF, 1, 0);
  ASSERT_GT(relation2, 0);
  const auto table2 = static_cast<std::int16_t>(TdbTableCreate(static_cast<std::int16_t>(relation2), u"second"));
  ASSERT_GT(table2, 0);

  ASSERT_EQ(TdbTableSetRecNo(FTable, 1), 1);
  ASSERT_EQ(TdbTableEdit(FTable), 0);
  ASSERT_EQ(TdbTableSetRecNo(table2, 1), 1);
  for (std::int32_t result : {TdbTableEdit(table2), TdbTableDeleteRecord(table2)}) {
    EXPECT_EQ(result, -100);
    std::int32_t code = 0;
    TdbChar message[256] = {};
    ASSERT_EQ(TdbSessGetLastError(session2, &code, message, 255), 0);
    EXPECT_EQ(code, 105);
    EXPECT_EQ(std::u16string(message), u"Record is being edited by another user");
  }
  ASSERT_EQ(TdbTableEditCancel(FTable), 0);
  EXPECT_EQ(TdbTableEdit(table2), 0);
  EXPECT_EQ(TdbTableEditCancel(table2), 0);

  // A record the other session appends is seen after a refresh.
  ASSERT_EQ(TdbTableAppend(table2), 0);
  const std::vector<std::uint8_t> record = Image("60", "Meggy");
  ASSERT_EQ(TdbTableSetRecord(table2, record.data(), FRecordSize), 0);
  ASSERT_EQ(TdbTableAppendConfirm(table2), 6);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  EXPECT_EQ(TdbTableRefresh(FTable, 1), 1);
  EXPECT_EQ(TdbTableRecordCount(FTable), 6);
  EXPECT_EQ(Walk(FTable), (std::vector<std::string>{"10", "20", "30", "40", "50", "60"}));
  EXPECT_EQ(TdbSessDelete(session2), 0);
}

TEST_F(CursorChanges, BadFilterIsRecordedWithItsPosition) {
  Open(kFive);
  EXPECT_EQ(TdbTableSetSQLFilter(FTable, u"KOD >", 1, 1), -44);
  TdbChar line[256] = {};
  EXPECT_GT(TdbSessGetLastErrorPos(FSession, line, 255), 0);
  EXPECT_EQ(std::u16string(line), u"KOD >");
  EXPECT_EQ(TdbTableSetSQLFilter(FTable, u"NINCS = 1", 1, 1), -44);
  EXPECT_EQ(LastError().first, 50);
  // The cursor still walks every record.
  EXPECT_EQ(TdbTableRecordCount(FTable), 5);
}

}  // namespace
}  // namespace kestrel::test
