// TFlatBenchEngine: the benchmark's operations on our engine through the
// flat call interface of libkestrel.so (engine/api/kestrel.h), as a C caller
// and the program do: a session on the directory, the table opened with the
// rights of a shared user, one cursor, record images and memo transfers,
// key searches, filters and the cursor's moves.
//
// The interface has no call that makes a table, so Create makes it with the
// table object (untimed, as for the direct engine) and then opens it through
// the interface. It has no transactions either: the appends' "transaction"
// is a write lock held over the appends, which flushes once when it ends
// (with secure flushing, one commit to disk per lock), as a program that
// appends many records at once holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_engine.h"

namespace vendrik::bench {

class TFlatBenchEngine final : public IBenchEngine {
 public:
  explicit TFlatBenchEngine(const TBenchSettings& settings);
  ~TFlatBenchEngine() override;

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

 private:
  // Throws with the session's last error when `result` is negative;
  // answers it otherwise.
  std::int32_t Check(std::int32_t result, const char* call) const;
  // Text of a String column (1-based) of the record buffer, and setting it.
  std::u16string Text(int fieldNo) const;
  void SetText(int fieldNo, const std::u16string& text);
  void ReadRecord();
  // Orders the cursor by `index` (empty: physical order) unless it is.
  void UseIndex(const std::u16string& index);
  // Walks the whole table in the order of `index` (empty: physical order)
  // and combines every code and name.
  std::uint64_t ScanInOrder(const std::u16string& index);
  // Searches index `index` for a record holding `text` in column
  // `fieldNo`: the record number, 0 when none. `exact`: only an equal key.
  std::int32_t Locate(const std::u16string& index, int fieldNo, const std::u16string& text, bool exact);
  std::uint64_t CountFiltered(const std::u16string& condition);
  // Hash of the code and name of the record buffer.
  std::uint64_t CodeAndName() const;

  TBenchSettings FSettings;
  std::int16_t FSession = 0;
  std::int16_t FRelation = 0;
  std::int16_t FCursor = 0;
  std::u16string FIndex;  // the cursor's order
  std::vector<std::uint8_t> FRecord;
  // Byte offset and size of each column in the record image (index fieldNo - 1).
  std::vector<std::int16_t> FPositions;
  std::vector<std::int16_t> FSizes;
  std::vector<char> FBlob;
};

}  // namespace vendrik::bench
