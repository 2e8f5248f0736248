// TTdbHeapDataFile: records stored one after the other in numbered slots.
//
// Layout: slot r (1 <= r <= record count) lies at FFirstRecordOffset +
// (r - 1) * FRecordSize and holds one record image, encrypted as one block.
// Slots have no header, no deleted flag and no free list: slots 1 to the
// record count are exactly the live records. The record count is the Int32
// at FRecordCountOffset in the (unencrypted) header. Bytes after the last
// slot are not defined.
//
// Invariants: FRecordCount is this session's truth between Invalidate calls;
// the storage's page count always covers the last slot; record numbers
// outside 1..count (count + 1 only for an append) are refused.
#pragma once

#include <cstdint>

#include "engine/table/data_file.h"

namespace kestrel {

// Header facts the heap file needs, taken from the table file's header.
struct TTdbHeapLayout {
  std::int64_t FFirstRecordOffset = 0;  // file offset of slot 1 (end of header)
  std::int32_t FRecordSize = 0;         // bytes of one record image, >= 1
  std::int64_t FRecordCountOffset = 0;  // position of the Int32 record count
};

inline constexpr std::int32_t kMaxHeapRecordCount = 2147483647;

class TTdbHeapDataFile final : public TTdbDataFile {
 public:
  TTdbHeapDataFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor);

  // Takes the header facts once the header is read (or written, for a new
  // file) and reads the record count. Throws error 134 when the layout is
  // unusable or the stored count is negative or its slots reach beyond the
  // file; error 2 when the header cannot be read.
  void Attach(const TTdbHeapLayout& layout);
  bool IsAttached() const { return FAttached; }
  const TTdbHeapLayout& Layout() const { return FLayout; }

  // Drops the cache and reads the record count again (error 134 / 2 as in
  // Attach).
  void Invalidate() override;
  void Undo() override;

  bool CanDelete() const override { return false; }
  std::int32_t GetRecordCount() const override { return FRecordCount; }
  std::int64_t GetStorageSize() const override;
  bool CanAppend() const override { return FRecordCount < kMaxHeapRecordCount; }
  std::int32_t GetFirstRecordNo() const override;
  std::int32_t GetNextRecordNo(std::int32_t recNo) const override;
  std::int32_t GetPrevRecordNo(std::int32_t recNo) const override;
  std::int32_t GetLastRecordNo() const override;

  // recNo outside 1..count: error 19. Buffer not of the record size: error 49.
  void ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) override;
  // recNo outside 1..count: error 3, nothing written.
  void WriteRecord(std::int32_t recNo, std::span<const std::uint8_t> buffer) override;
  // Writes slot count + 1 and stores the raised count. Error 171 when full.
  std::int32_t InsertRecord(std::span<const std::uint8_t> buffer) override;
  // Lowers the record count; the slot itself is not touched, so the caller
  // moves the last record into slot recNo first. recNo outside 1..count:
  // error 19.
  void DeleteRecord(std::int32_t recNo) override;
  void Clear() override;

 private:
  void CheckAttached() const;
  void CheckBuffer(std::size_t size) const;
  std::int64_t SlotOffset(std::int32_t recNo) const;
  void ReadRecordCount();
  // Writes the count into the header and fits the page count to the slots.
  void StoreRecordCount(std::int32_t count);

  TTdbHeapLayout FLayout;
  bool FAttached = false;
  std::int32_t FRecordCount = 0;
};

}  // namespace kestrel
