// TKestrelBenchEngine: the benchmark's operations on our engine, done on the
// table object, its indexes, the page cache and the condition layer. This is
// the one place that knows how the engine is called, so it can move to the
// cursor and the flat call interface without touching the rest.
//
// The engine gets its own page manager with exactly the configured cache
// size, and the table is reopened for shared use after it is made (the
// rights of every user of a shared table, plus secure flushing when asked).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_engine.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

namespace vendrik::bench {

class TKestrelBenchEngine final : public IBenchEngine {
 public:
  explicit TKestrelBenchEngine(const TBenchSettings& settings);
  ~TKestrelBenchEngine() override;

  void Create(const std::string& name) override;
  // Opens the table `name` that Create made, for shared use, as program
  // `station` (a station number other programs on the table do not use).
  void Open(const std::string& name, std::int64_t station);
  std::int32_t RecordCount();
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

 private:
  // Text of column `index` (0-based) of the record buffer.
  std::u16string Text(std::size_t index) const;
  void SetText(std::size_t index, const std::u16string& text);
  // Positions the item buffer on the first item of index `indexNo` not
  // smaller than a record holding `text` in column `column`; the record
  // number found, 0 when none.
  std::int32_t Seek(int indexNo, std::size_t column, const std::u16string& text);
  // The search item (record number 0) of index `indexNo` for a record
  // holding `text` in column `column`.
  std::vector<std::uint8_t> KeyItem(int indexNo, std::size_t column, const std::u16string& text);
  // The record number of the row with exactly this code, 0 when none.
  std::int32_t FindCode(const std::u16string& code);
  // Rows of a full scan that satisfy `condition`.
  std::uint64_t CountScan(const std::u16string& condition);

  TBenchSettings FSettings;
  kestrel::TTdbPageManager FPageManager;
  kestrel::TdwOSFileSystem FFileSystem;
  std::unique_ptr<kestrel::TTdbBaseTable> FTable;
  int FCodeIndex = -1;
  int FNameIndex = -1;
  std::vector<std::uint8_t> FRecord;
  std::vector<std::uint8_t> FItem;
};

}  // namespace vendrik::bench
