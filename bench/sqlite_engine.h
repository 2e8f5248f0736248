// TSqliteBenchEngine: the benchmark's operations on SQLite, configured like
// our engine: the same page cache in bytes, the default rollback journal with
// normal locking (or the write-ahead log when asked), synchronous=OFF without
// secure flushing and FULL with it.
// Every statement is prepared once per table and reused.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "bench/bench_engine.h"

namespace vendrik::bench {

class TSqliteBenchEngine final : public IBenchEngine {
 public:
  explicit TSqliteBenchEngine(const TBenchSettings& settings) : FSettings(settings) {}
  ~TSqliteBenchEngine() override;

  void Create(const std::string& name) override;
  void Close() override;
  void BeginTransaction() override;
  void Commit() override;
  void Append(const TBenchRow& row) override;
  std::uint64_t FindNearestCode(const std::u16string& key) override;
  std::uint64_t FindNamePrefix(const std::u16string& prefix) override;
  std::uint64_t ScanByCode() override;
  std::uint64_t ScanPhysical() override;
  std::uint64_t ReadDescription(std::int32_t rowNo) override;
  std::uint64_t CountCodeRange(const std::u16string& low, const std::u16string& high) override;
  std::uint64_t CountUnindexed(const std::u16string& part, char16_t digit) override;
  std::uint64_t UpdateName(const std::u16string& code, const std::u16string& name) override;
  std::uint64_t DeleteByCode(const std::u16string& code) override;

  // The version of the SQLite library in use.
  static std::string Version();

 private:
  enum TStatement { sInsert, sNearest, sPrefix, sByCode, sPhysical, sDescription, sRange, sUnindexed,
                    sUpdate, sDelete, sBegin, sCommit, kStatementCount };

  void Exec(const char* sql);
  sqlite3_stmt* Prepared(TStatement statement);
  // Steps a statement that returns no rows and resets it.
  void Run(sqlite3_stmt* statement);
  [[noreturn]] void Fail(const char* what) const;
  static void Bind(sqlite3_stmt* statement, int number, std::u16string_view text);
  static std::u16string_view Column(sqlite3_stmt* statement, int column);
  std::uint64_t CountRows(sqlite3_stmt* statement);

  TBenchSettings FSettings;
  sqlite3* FDb = nullptr;
  sqlite3_stmt* FStatements[kStatementCount] = {};
};

}  // namespace vendrik::bench
