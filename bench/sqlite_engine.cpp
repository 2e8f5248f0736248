// The benchmark's operations on SQLite (see sqlite_engine.h).
#include "bench/sqlite_engine.h"

#include <stdexcept>

namespace vendrik::bench {

namespace {

constexpr int kBytesPerKB = 1024;

const char* const kSql[] = {
    "INSERT INTO vnd03(kod, megnev, leiras) VALUES(?1, ?2, ?3)",
    "SELECT kod, megnev FROM vnd03 WHERE kod >= ?1 ORDER BY kod LIMIT 1",
    "SELECT kod FROM vnd03 WHERE megnev >= ?1 AND megnev < ?2",
    "SELECT kod, megnev FROM vnd03 ORDER BY kod",
    "SELECT kod, megnev FROM vnd03",
    "SELECT leiras FROM vnd03 WHERE rowid = ?1",
    "SELECT count(*) FROM vnd03 WHERE kod >= ?1 AND kod < ?2",
    "SELECT count(*) FROM vnd03 WHERE megnev LIKE ?1 AND kod LIKE ?2",
    "UPDATE vnd03 SET megnev = ?1 WHERE kod = ?2",
    "DELETE FROM vnd03 WHERE kod = ?1",
    "BEGIN",
    "COMMIT",
};

}  // namespace

TSqliteBenchEngine::~TSqliteBenchEngine() {
  if (FDb) Close();
}

std::string TSqliteBenchEngine::Version() { return sqlite3_libversion(); }

void TSqliteBenchEngine::Fail(const char* what) const {
  throw std::runtime_error(std::string("SQLite: ") + what + ": " + (FDb ? sqlite3_errmsg(FDb) : "no database"));
}

void TSqliteBenchEngine::Exec(const char* sql) {
  if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
}

void TSqliteBenchEngine::Create(const std::string& name) {
  const std::string path = FSettings.Directory + "/" + name + ".db";
  if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    Fail("open");
  // A negative cache_size is in KiB.
  Exec(("PRAGMA cache_size = -" + std::to_string(FSettings.CacheBytes / kBytesPerKB)).c_str());
  if (FSettings.Wal) Exec("PRAGMA journal_mode = WAL");
  Exec(FSettings.SecureFlush ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = OFF");
  Exec("CREATE TABLE vnd03(kod TEXT NOT NULL, megnev TEXT NOT NULL, leiras TEXT)");
  Exec("CREATE UNIQUE INDEX kod ON vnd03(kod)");
  Exec("CREATE INDEX indmn ON vnd03(megnev)");
}

void TSqliteBenchEngine::Close() {
  for (sqlite3_stmt*& statement : FStatements) {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
  sqlite3_close(FDb);
  FDb = nullptr;
}

sqlite3_stmt* TSqliteBenchEngine::Prepared(TStatement statement) {
  sqlite3_stmt*& prepared = FStatements[statement];
  if (!prepared && sqlite3_prepare_v2(FDb, kSql[statement], -1, &prepared, nullptr) != SQLITE_OK)
    Fail(kSql[statement]);
  return prepared;
}

void TSqliteBenchEngine::Run(sqlite3_stmt* statement) {
  if (sqlite3_step(statement) != SQLITE_DONE) Fail(sqlite3_sql(statement));
  sqlite3_reset(statement);
}

void TSqliteBenchEngine::Bind(sqlite3_stmt* statement, int number, std::u16string_view text) {
  sqlite3_bind_text16(statement, number, text.data(), static_cast<int>(text.size() * sizeof(char16_t)),
                      SQLITE_STATIC);
}

std::u16string_view TSqliteBenchEngine::Column(sqlite3_stmt* statement, int column) {
  const void* text = sqlite3_column_text16(statement, column);
  const int bytes = sqlite3_column_bytes16(statement, column);
  return text ? std::u16string_view(static_cast<const char16_t*>(text), static_cast<std::size_t>(bytes) / 2)
              : std::u16string_view();
}

void TSqliteBenchEngine::BeginTransaction() { Run(Prepared(sBegin)); }

void TSqliteBenchEngine::Commit() { Run(Prepared(sCommit)); }

void TSqliteBenchEngine::Append(const TBenchRow& row) {
  sqlite3_stmt* statement = Prepared(sInsert);
  Bind(statement, 1, row.Code);
  Bind(statement, 2, row.Name);
  Bind(statement, 3, row.Description);
  Run(statement);
}

std::uint64_t TSqliteBenchEngine::FindNearestCode(const std::u16string& key) {
  sqlite3_stmt* statement = Prepared(sNearest);
  Bind(statement, 1, key);
  std::uint64_t hash = 0;
  if (sqlite3_step(statement) == SQLITE_ROW) hash = HashText(Column(statement, 1), HashText(Column(statement, 0)));
  sqlite3_reset(statement);
  return hash;
}

std::uint64_t TSqliteBenchEngine::FindNamePrefix(const std::u16string& prefix) {
  sqlite3_stmt* statement = Prepared(sPrefix);
  std::u16string high = prefix;
  ++high.back();
  Bind(statement, 1, prefix);
  Bind(statement, 2, high);
  std::uint64_t sum = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) sum += HashText(Column(statement, 0));
  sqlite3_reset(statement);
  return sum;
}

std::uint64_t TSqliteBenchEngine::ScanByCode() {
  sqlite3_stmt* statement = Prepared(sByCode);
  std::uint64_t sum = 0;
  while (sqlite3_step(statement) == SQLITE_ROW)
    sum = Combine(sum, HashText(Column(statement, 1), HashText(Column(statement, 0))));
  sqlite3_reset(statement);
  return sum;
}

std::uint64_t TSqliteBenchEngine::ScanPhysical() {
  sqlite3_stmt* statement = Prepared(sPhysical);
  std::uint64_t sum = 0;
  while (sqlite3_step(statement) == SQLITE_ROW)
    sum = Combine(sum, HashText(Column(statement, 1), HashText(Column(statement, 0))));
  sqlite3_reset(statement);
  return sum;
}

std::uint64_t TSqliteBenchEngine::ReadDescription(std::int32_t rowNo) {
  sqlite3_stmt* statement = Prepared(sDescription);
  sqlite3_bind_int(statement, 1, rowNo);
  std::uint64_t hash = 0;
  if (sqlite3_step(statement) == SQLITE_ROW) hash = HashText(Column(statement, 0));
  sqlite3_reset(statement);
  return hash;
}

std::uint64_t TSqliteBenchEngine::CountRows(sqlite3_stmt* statement) {
  std::uint64_t count = 0;
  if (sqlite3_step(statement) == SQLITE_ROW) count = static_cast<std::uint64_t>(sqlite3_column_int64(statement, 0));
  sqlite3_reset(statement);
  return count;
}

std::uint64_t TSqliteBenchEngine::CountCodeRange(const std::u16string& low, const std::u16string& high) {
  sqlite3_stmt* statement = Prepared(sRange);
  Bind(statement, 1, low);
  Bind(statement, 2, high);
  return CountRows(statement);
}

std::uint64_t TSqliteBenchEngine::CountUnindexed(const std::u16string& part, char16_t digit) {
  sqlite3_stmt* statement = Prepared(sUnindexed);
  const std::u16string name = u"%" + part + u"%", code = u"%" + std::u16string(1, digit);
  Bind(statement, 1, name);
  Bind(statement, 2, code);
  return CountRows(statement);
}

std::uint64_t TSqliteBenchEngine::UpdateName(const std::u16string& code, const std::u16string& name) {
  sqlite3_stmt* statement = Prepared(sUpdate);
  Bind(statement, 1, name);
  Bind(statement, 2, code);
  Run(statement);
  return static_cast<std::uint64_t>(sqlite3_changes(FDb));
}

std::uint64_t TSqliteBenchEngine::DeleteByCode(const std::u16string& code) {
  sqlite3_stmt* statement = Prepared(sDelete);
  Bind(statement, 1, code);
  Run(statement);
  return static_cast<std::uint64_t>(sqlite3_changes(FDb));
}

}  // namespace vendrik::bench
