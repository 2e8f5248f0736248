// The cursor against SQLite on random data: the order of both indexes
// (also reversed), the nearest key (`WHERE kod >= ? ORDER BY kod LIMIT 1`),
// and the records and counts of static filters, with and without
// deletions. Codes are digit strings and names ASCII words with one
// capital, so SQLite's binary order is the standard collation's. Runs on a
// heap table file (a deletion moves the last record into the hole) and on a
// B+ tree table file (record numbers are record ids; nothing moves).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <set>

#include "cursor_fixture.h"

namespace kestrel::test {
namespace {

class TSqlite {
 public:
  TSqlite() { sqlite3_open(":memory:", &FDb); }
  ~TSqlite() { sqlite3_close(FDb); }
  void Exec(const std::string& sql) { ASSERT_EQ(sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql; }
  // The first column of every row of `sql`, with `parameter` bound to ?1 when given.
  std::vector<std::string> Column(const std::string& sql, const std::string* parameter = nullptr) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(FDb, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    if (parameter) sqlite3_bind_text(statement, 1, parameter->c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::string> values;
    while (sqlite3_step(statement) == SQLITE_ROW)
      values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return values;
  }

 private:
  sqlite3* FDb = nullptr;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class CursorAgainstSqlite : public CursorFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void Build(int count, std::mt19937& random) {
    FBPlus = GetParam();
    const char* words[] = {"Alma", "Barack", "Dinnye", "Eper", "Korte", "Meggy", "Szilva", "Szolo"};
    std::set<std::string> kods;
    std::uniform_int_distribution<int> length(1, 6), digit(0, 9), word(0, 7);
    while (static_cast<int>(kods.size()) < count) {
      std::string kod;
      for (int i = length(random); i > 0; --i) kod += static_cast<char>('0' + digit(random));
      kods.insert(kod);
    }
    std::vector<std::string> shuffled(kods.begin(), kods.end());
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    FSqlite.Exec("CREATE TABLE t (kod TEXT, megnev TEXT)");
    std::vector<TRow> rows;
    for (const std::string& kod : shuffled) {
      const std::string megnev = words[word(random)];
      rows.push_back({kod, megnev, ""});
      FSqlite.Exec("INSERT INTO t (rowid, kod, megnev) VALUES (" + std::to_string(rows.size()) + ", " +
                   Quoted(kod) + ", " + Quoted(megnev) + ")");
    }
    Open(rows);
  }
  std::vector<std::string> WalkBackward(std::int16_t table) {
    std::vector<std::string> kods;
    if (TdbTableLast(table) < 0) return kods;
    do kods.push_back(CurrentKod(table));
    while (TdbTableMoveBy(table, -1) == 0);
    return kods;
  }

  TSqlite FSqlite;
};

TEST_P(CursorAgainstSqlite, OrderNearestKeyAndFilters) {
  std::mt19937 random(20261210);
  Build(400, random);
  const std::vector<std::string> byKod = FSqlite.Column("SELECT kod FROM t ORDER BY kod");
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  EXPECT_EQ(Walk(FTable), byKod);
  std::vector<std::string> reversed(byKod.rbegin(), byKod.rend());
  EXPECT_EQ(WalkBackward(FTable), reversed);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 1), 0);
  EXPECT_EQ(Walk(FTable), reversed);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"INDMN", 0), 0);
  EXPECT_EQ(Walk(FTable), FSqlite.Column("SELECT kod FROM t ORDER BY megnev, rowid"));

  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  std::uniform_int_distribution<int> length(0, 4), digit(0, 9);
  for (int i = 0; i < 200; ++i) {
    std::string key;
    for (int n = length(random); n > 0; --n) key += static_cast<char>('0' + digit(random));
    const std::vector<std::string> nearest =
        FSqlite.Column("SELECT kod FROM t WHERE kod >= ?1 ORDER BY kod LIMIT 1", &key);
    const std::vector<std::uint8_t> image = Image(key);
    std::uint8_t exact = 0;
    const std::int32_t recNo = TdbTableLocateRec2(FTable, u"KOD", image.data(), FRecordSize, 256, &exact);
    if (nearest.empty()) {
      EXPECT_EQ(recNo, 0) << key;
    } else {
      EXPECT_GT(recNo, 0) << key;
      EXPECT_EQ(CurrentKod(FTable), nearest[0]) << key;
      EXPECT_EQ(exact != 0, nearest[0] == key) << key;
    }
  }

  const char* conditions[] = {
      "kod >= '3' AND kod < '6'", "megnev = 'Eper'", "megnev LIKE 'Sz%'", "kod LIKE '%7%' OR megnev = 'Alma'",
      "NOT (kod > '5')", "kod = 'nincs'",
      // Ranges that decide the condition without the records, with bounds
      // on existing keys, and ones that must not (a bound the range does
      // not take, a literal longer than the column, the column on the right).
      "kod > '3' AND kod <= '6'", "kod BETWEEN '25' AND '5'", "kod = '7'", "megnev >= 'D' AND megnev < 'Sz'",
      "kod >= '2' AND kod >= '4' AND kod < '7'", "kod > '5' AND kod < '55555555555'", "'4' < kod AND kod < '45'",
  };
  for (const char* condition : conditions) {
    SCOPED_TRACE(condition);
    const std::u16string text = Utf8ToUtf16(condition);
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, text.c_str(), 1, 1), 0);
    ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
    const std::vector<std::string> expected =
        FSqlite.Column(std::string("SELECT kod FROM t WHERE ") + condition + " ORDER BY kod");
    EXPECT_EQ(TdbTableRecordCount(FTable), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(Walk(FTable), expected);
    // The nearest key among the filtered records.
    const std::string key = "5";
    const std::vector<std::string> nearest = FSqlite.Column(
        std::string("SELECT kod FROM t WHERE (") + condition + ") AND kod >= ?1 ORDER BY kod LIMIT 1", &key);
    const std::vector<std::uint8_t> image = Image(key);
    std::uint8_t exact = 0;
    const std::int32_t recNo = TdbTableLocateRec2(FTable, u"KOD", image.data(), FRecordSize, 256, &exact);
    EXPECT_EQ(recNo > 0 ? CurrentKod(FTable) : "", nearest.empty() ? "" : nearest[0]);
    // The same condition evaluated while stepping.
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, text.c_str(), 15, 0), 0);
    EXPECT_EQ(TdbTableRecordCount(FTable), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(Walk(FTable), expected);
    ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"", 1, 0), 0);
  }
}

TEST_P(CursorAgainstSqlite, FiltersAfterDeletions) {
  std::mt19937 random(7);
  Build(150, random);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"megnev <> 'Alma'", 1, 1), 0);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  // Random deletions; SQLite's rows follow the moves of the last record.
  const std::int16_t deleter = NewCursor();
  std::uniform_int_distribution<int> pick(1, 150);
  for (int i = 0; i < 40; ++i) {
    std::int32_t count = TdbTableRecordCount(deleter);
    const std::vector<std::string> before = FSqlite.Column("SELECT rowid FROM t ORDER BY rowid");
    const std::int32_t recNo = std::stoi(before[static_cast<std::size_t>(pick(random) % count)]);
    ASSERT_EQ(TdbTableSetRecNo(deleter, recNo), recNo);
    ASSERT_EQ(TdbTableDeleteRecord(deleter), 0);
    FSqlite.Exec("DELETE FROM t WHERE rowid = " + std::to_string(recNo));
    if (!FBPlus && recNo < count)
      FSqlite.Exec("UPDATE t SET rowid = " + std::to_string(recNo) + " WHERE rowid = " + std::to_string(count));
    if (FBPlus) {
      EXPECT_LT(TdbTableSetRecNo(FTable, recNo), 0) << "a deleted record id";
    }
    // Without re-evaluation (no First): the list was fixed up, so exactly
    // the records that satisfy the condition can be reached.
    const std::vector<std::string> ids = FSqlite.Column("SELECT rowid FROM t ORDER BY rowid");
    const std::vector<std::string> names = FSqlite.Column("SELECT megnev FROM t ORDER BY rowid");
    for (std::size_t n = 0; n < ids.size(); ++n) {
      const std::int32_t r = std::stoi(ids[n]);
      ASSERT_EQ(TdbTableSetRecNo(FTable, r), names[n] != "Alma" ? r : -11)
          << "record " << r << " after " << i + 1 << " deletions";
    }
  }
  const std::vector<std::string> expected = FSqlite.Column("SELECT kod FROM t WHERE megnev <> 'Alma' ORDER BY kod");
  EXPECT_EQ(TdbTableRecordCount(FTable), static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(Walk(FTable), expected);
  // Physical order without a filter: record numbers in order, sequence
  // numbers 1 to the count, both ways.
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"", 1, 0), 0);
  ASSERT_EQ(TdbTableSetIndex(FTable, u"", 0), 0);
  const std::vector<std::string> byNumber = FSqlite.Column("SELECT kod FROM t ORDER BY rowid");
  EXPECT_EQ(Walk(FTable), byNumber);
  std::vector<std::string> backward(byNumber.rbegin(), byNumber.rend());
  EXPECT_EQ(WalkBackward(FTable), backward);
  ASSERT_EQ(TdbTableSetSequenceNo(FTable, 7), 7);
  EXPECT_EQ(CurrentKod(FTable), byNumber[6]);
  EXPECT_EQ(TdbTableGetSequenceNo(FTable), 7);
}

INSTANTIATE_TEST_SUITE_P(Files, CursorAgainstSqlite, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "BPlusTreeTableFile" : "HeapTableFile";
                         });

}  // namespace
}  // namespace kestrel::test
