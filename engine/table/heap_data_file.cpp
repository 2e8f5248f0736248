// TTdbHeapDataFile: slot arithmetic, record count upkeep, range checks.
#include "engine/table/heap_data_file.h"

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"

namespace kestrel {

namespace {
constexpr std::size_t kRecordCountSize = 4;  // Int32 in the header
}  // namespace

TTdbHeapDataFile::TTdbHeapDataFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor)
    : TTdbDataFile(std::move(storage), cryptor) {}

void TTdbHeapDataFile::Attach(const TTdbHeapLayout& layout) {
  if (layout.FRecordSize < 1 || layout.FFirstRecordOffset < 0 || layout.FRecordCountOffset < 0 ||
      layout.FRecordCountOffset + static_cast<std::int64_t>(kRecordCountSize) >
          layout.FFirstRecordOffset)
    throw ETdbEngine(tdbErrUnknownVersion);
  FLayout = layout;
  FAttached = true;
  try {
    ReadRecordCount();
  } catch (...) {
    FAttached = false;
    throw;
  }
}

void TTdbHeapDataFile::CheckAttached() const {
  if (!FAttached) throw ETdbEngine(tdbErrReadFile, FileName());
}

void TTdbHeapDataFile::CheckBuffer(std::size_t size) const {
  if (size != static_cast<std::size_t>(FLayout.FRecordSize))
    throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
}

std::int64_t TTdbHeapDataFile::SlotOffset(std::int32_t recNo) const {
  return FLayout.FFirstRecordOffset + static_cast<std::int64_t>(recNo - 1) * FLayout.FRecordSize;
}

void TTdbHeapDataFile::ReadRecordCount() {
  std::uint8_t bytes[kRecordCountSize];
  ReadBytes(FLayout.FRecordCountOffset, bytes, kRecordCountSize, false);
  const auto count =
      static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
  if (count < 0 ||
      FLayout.FFirstRecordOffset + static_cast<std::int64_t>(count) * FLayout.FRecordSize >
          Storage().GetSize())
    throw ETdbEngine(tdbErrUnknownVersion);
  FRecordCount = count;
}

void TTdbHeapDataFile::StoreRecordCount(std::int32_t count) {
  const auto raw = static_cast<std::uint32_t>(count);
  const std::uint8_t bytes[kRecordCountSize] = {
      static_cast<std::uint8_t>(raw), static_cast<std::uint8_t>(raw >> 8),
      static_cast<std::uint8_t>(raw >> 16), static_cast<std::uint8_t>(raw >> 24)};
  WriteBytes(FLayout.FRecordCountOffset, bytes, kRecordCountSize, false);
  const std::int64_t end =
      FLayout.FFirstRecordOffset + static_cast<std::int64_t>(count) * FLayout.FRecordSize;
  const std::int64_t pageSize = Storage().GetPageSize();
  try {
    Storage().SetPageCount((end + pageSize - 1) / pageSize);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbHeapDataFile::Invalidate() {
  Storage().Invalidate();
  if (FAttached) ReadRecordCount();
}

void TTdbHeapDataFile::Undo() {
  TTdbDataFile::Undo();
  if (FAttached) ReadRecordCount();
}

std::int64_t TTdbHeapDataFile::GetStorageSize() const {
  return FLayout.FFirstRecordOffset + static_cast<std::int64_t>(FRecordCount) * FLayout.FRecordSize;
}

std::int32_t TTdbHeapDataFile::GetFirstRecordNo() const { return FRecordCount > 0 ? 1 : kNoRecord; }

std::int32_t TTdbHeapDataFile::GetLastRecordNo() const {
  return FRecordCount > 0 ? FRecordCount : kNoRecord;
}

std::int32_t TTdbHeapDataFile::GetNextRecordNo(std::int32_t recNo) const {
  return recNo >= 0 && recNo < FRecordCount ? recNo + 1 : kNoRecord;
}

std::int32_t TTdbHeapDataFile::GetPrevRecordNo(std::int32_t recNo) const {
  return recNo >= 2 && recNo <= FRecordCount + 1 ? recNo - 1 : kNoRecord;
}

void TTdbHeapDataFile::ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) {
  CheckAttached();
  CheckBuffer(buffer.size());
  if (recNo < 1 || recNo > FRecordCount) throw ETdbEngine(tdbErrRecordNotFound);
  ReadBytes(SlotOffset(recNo), buffer.data(), buffer.size(), true);
}

void TTdbHeapDataFile::WriteRecord(std::int32_t recNo, std::span<const std::uint8_t> buffer) {
  CheckAttached();
  CheckBuffer(buffer.size());
  if (recNo < 1 || recNo > FRecordCount) throw ETdbEngine(tdbErrWriteFile, FileName());
  WriteBytes(SlotOffset(recNo), buffer.data(), buffer.size(), true);
}

std::int32_t TTdbHeapDataFile::InsertRecord(std::span<const std::uint8_t> buffer) {
  CheckAttached();
  CheckBuffer(buffer.size());
  if (!CanAppend()) throw ETdbEngine(tdbErrCapacityReached, FileName());
  const std::int32_t recNo = FRecordCount + 1;
  WriteBytes(SlotOffset(recNo), buffer.data(), buffer.size(), true);
  StoreRecordCount(recNo);
  FRecordCount = recNo;
  return recNo;
}

void TTdbHeapDataFile::DeleteRecord(std::int32_t recNo) {
  CheckAttached();
  if (recNo < 1 || recNo > FRecordCount) throw ETdbEngine(tdbErrRecordNotFound);
  StoreRecordCount(FRecordCount - 1);
  FRecordCount -= 1;
}

void TTdbHeapDataFile::Clear() {
  CheckAttached();
  StoreRecordCount(0);
  FRecordCount = 0;
}

}  // namespace kestrel
