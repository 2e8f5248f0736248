// IBenchEngine: the operations the benchmark times, as one engine does them.
// Each engine works on its own files in a directory it is given; every
// operation answers a checksum of what it read (FNV-1a over the UTF-16 texts,
// see bench_data.h), which must be the same for both engines.
#pragma once

#include <cstdint>
#include <string>

#include "bench/bench_data.h"

namespace vendrik::bench {

struct TBenchSettings {
  std::string Directory;     // existing, empty directory for the engine's files
  std::int64_t CacheBytes;   // page cache size
  bool SecureFlush = false;  // every commit forced to disk
  bool LockFile = false;     // ours logs in to the table's lock file, as shared programs do
  bool Wal = false;          // SQLite in write-ahead-log journal mode
};

class IBenchEngine {
 public:
  virtual ~IBenchEngine() = default;

  // Creates table `name` (code, name, description; unique index on the code,
  // index on the name) and leaves it open for shared use.
  virtual void Create(const std::string& name) = 0;
  virtual void Close() = 0;

  // Transactions around appends.
  virtual void BeginTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Append(const TBenchRow& row) = 0;

  // The first row whose code is not smaller than `key`: hash of its code and
  // name, 0 when there is none.
  virtual std::uint64_t FindNearestCode(const std::u16string& key) = 0;
  // Rows whose name begins with `prefix` (kNamePrefixLength ASCII letters):
  // the sum of the hashes of their codes (order-independent).
  virtual std::uint64_t FindNamePrefix(const std::u16string& prefix) = 0;
  // Every row's code and name, in code order or in the order of appending.
  virtual std::uint64_t ScanByCode() = 0;
  virtual std::uint64_t ScanPhysical() = 0;
  // The description of the rowNo-th appended row (before any delete).
  virtual std::uint64_t ReadDescription(std::int32_t rowNo) = 0;
  // Number of rows with low <= code < high.
  virtual std::uint64_t CountCodeRange(const std::u16string& low, const std::u16string& high) = 0;
  // Number of rows whose name contains `part` (ASCII, case ignored) and
  // whose code ends with `digit`: no index helps.
  virtual std::uint64_t CountUnindexed(const std::u16string& part, char16_t digit) = 0;
  // Sets the name of the row with code `code`; 1 when a row was changed.
  virtual std::uint64_t UpdateName(const std::u16string& code, const std::u16string& name) = 0;
  // Deletes the row with code `code`; 1 when a row was deleted.
  virtual std::uint64_t DeleteByCode(const std::u16string& code) = 0;
};

}  // namespace vendrik::bench
