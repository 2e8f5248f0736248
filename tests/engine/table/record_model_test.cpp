// The table object against a model: SQLite in memory keeps the same records
// by record number while random appends, replaces and deletes (with memos)
// run on both; the move-last rule of deletes is mirrored in the model. Record
// counts, contents by record number and the order of both indexes are
// compared along the way, and the table checks clean. Runs at level 5, at
// level 6 (null indicators first, B+ tree indexes) and on a B+ tree table
// file, whose record numbers are record ids handed out in turn and whose
// deletes move nothing.
#include <sqlite3.h>

#include <random>

#include "table_fixture.h"

namespace kestrel::test {
namespace {

class TModel {
 public:
  explicit TModel(bool stableNumbers) : FStableNumbers(stableNumbers) {
    sqlite3_open(":memory:", &FDb);
    Exec("CREATE TABLE rows (recno INTEGER PRIMARY KEY, kod TEXT, megnev TEXT, leiras TEXT)");
  }
  ~TModel() { sqlite3_close(FDb); }

  void Exec(const std::string& sql, const std::vector<std::string>& texts = {}, std::int64_t number = 0) {
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(FDb, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    int parameter = 1;
    for (const std::string& text : texts)
      sqlite3_bind_text(statement, parameter++, text.c_str(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    if (parameter <= sqlite3_bind_parameter_count(statement))
      sqlite3_bind_int64(statement, parameter, number);
    EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sql;
    sqlite3_finalize(statement);
  }
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(FDb, sql.c_str(), -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const auto* text = sqlite3_column_text(statement, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return rows;
  }
  std::int32_t Count() { return std::stoi(Query("SELECT COUNT(*) FROM rows")[0][0]); }
  bool HasKod(const std::string& kod, std::int32_t except) {
    return !Query("SELECT recno FROM rows WHERE kod = '" + kod + "' AND recno <> " + std::to_string(except))
                .empty();
  }
  // The new record's number.
  std::int32_t Append(const TRow& row) {
    const std::int32_t recNo = FStableNumbers ? ++FLastId : Count() + 1;
    Exec("INSERT INTO rows VALUES (?4, ?1, ?2, ?3)", {row.Kod, row.Megnev, row.Leiras}, recNo);
    return recNo;
  }
  void Replace(std::int32_t recNo, const TRow& row) {
    Exec("UPDATE rows SET kod = ?1, megnev = ?2, leiras = ?3 WHERE recno = ?4",
         {row.Kod, row.Megnev, row.Leiras}, recNo);
  }
  // The last record moves into the freed number (not with record ids).
  void Delete(std::int32_t recNo) {
    const std::int32_t last = Count();
    Exec("DELETE FROM rows WHERE recno = ?1", {}, recNo);
    if (recNo < last && !FStableNumbers) Exec("UPDATE rows SET recno = ?1 WHERE recno = " + std::to_string(last), {}, recNo);
  }
  std::vector<TRow> Rows() {
    std::vector<TRow> rows;
    for (const auto& r : Query("SELECT kod, megnev, leiras FROM rows ORDER BY recno"))
      rows.push_back({r[0], r[1], r[2]});
    return rows;
  }
  // The number of the n-th record (0-based) in number order.
  std::int32_t RecNoAt(int n) {
    return std::stoi(Query("SELECT recno FROM rows ORDER BY recno LIMIT 1 OFFSET " + std::to_string(n))[0][0]);
  }
  std::vector<std::int32_t> Order(const std::string& column) {
    std::vector<std::int32_t> order;
    for (const auto& r : Query("SELECT recno FROM rows ORDER BY " + column + ", recno"))
      order.push_back(std::stoi(r[0]));
    return order;
  }

 private:
  sqlite3* FDb = nullptr;
  bool FStableNumbers;
  std::int32_t FLastId = 0;
};

class RecordModelTest : public TableFixture, public ::testing::WithParamInterface<TFileKind> {};

TEST_P(RecordModelTest, RandomChangesAgreeWithTheModel) {
  std::mt19937 random(20031);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto kod = [&] { return std::to_string(100 + pick(120)); };
  auto name = [&] {
    std::string text;
    for (int i = 1 + pick(12); i > 0; --i) text += static_cast<char>('A' + pick(6));
    return text;
  };
  auto memo = [&] {
    const int length = pick(4) == 0 ? 0 : pick(900);
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + pick(26));
    return text;
  };
  FBPlus = GetParam().BPlus;
  TModel model(FBPlus);
  auto table = Create(GetParam().Level);
  ASSERT_EQ(table->StableRecordNumbers(), FBPlus);
  auto compare = [&] {
    ASSERT_EQ(table->RecordCount(), model.Count());
    EXPECT_EQ(Rows(*table), model.Rows());
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"KOD")), model.Order("kod"));
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"INDMN")), model.Order("megnev"));
    EXPECT_TRUE(Check(*table).empty());
  };
  for (int step = 1; step <= 600; ++step) {
    const int what = pick(10);
    const std::int32_t count = model.Count();
    if (what < 5 || count == 0) {
      const TRow row{kod(), name(), memo()};
      const bool duplicate = model.HasKod(row.Kod, 0);
      std::int32_t recNo = 0;
      EXPECT_EQ(ErrorOf([&] { recNo = Append(*table, row); }), duplicate ? tdbErrNotUnique : 0);
      if (!duplicate) {
        EXPECT_EQ(recNo, model.Append(row));
      }
    } else if (what < 8) {
      const std::int32_t recNo = model.RecNoAt(pick(count));
      TRow row = Row(*table, recNo);
      row.Megnev = name();
      if (pick(2) == 0) row.Kod = kod();
      const bool keepMemo = pick(3) == 0;
      if (!keepMemo) row.Leiras = memo();
      const bool duplicate = model.HasKod(row.Kod, recNo);
      std::vector<std::uint8_t> record = Image(*table, row, recNo);
      const int error =
          ErrorOf([&] { table->ReplaceRecord(record, keepMemo ? TTdbBlobDataList{} : Memo(*table, row), recNo); });
      EXPECT_EQ(error, duplicate ? tdbErrNotUnique : 0);
      if (!duplicate) model.Replace(recNo, row);
    } else {
      const std::int32_t recNo = model.RecNoAt(pick(count));
      table->DeleteRecord(recNo);
      model.Delete(recNo);
    }
    if (step % 100 == 0) {
      SCOPED_TRACE(step);
      compare();
      table->Close();
      table = Open();
    }
  }
  compare();
  EXPECT_GT(model.Count(), 20);
}

INSTANTIATE_TEST_SUITE_P(Files, RecordModelTest,
                         ::testing::Values(TFileKind{5, false}, TFileKind{6, false}, TFileKind{6, true}),
                         FileKindName);

}  // namespace
}  // namespace kestrel::test
