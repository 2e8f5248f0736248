// The B+ tree table file: the page mapping behind the header area, the
// header fields, and the record operations on the tree.
#include "engine/table/bplus_data_file.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "engine/base/engine_error.h"
#include "engine/index/index_columns.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {

// The tree's pages on the file's 4096-byte units: tree page 0 is the start
// of the file, tree page p >= 1 lies at header area + p x tree page size.
class TTdbBPlusTablePages final : public ITdbIndexPageIo {
 public:
  TTdbBPlusTablePages(ITdbIndexPageIo& units, uint32_t headerAreaSize)
      : FUnits(units), FHeaderAreaSize(headerAreaSize) {}

  uint32_t PageSize() const override { return FPageSize; }
  void SetPageSize(uint32_t pageSize) override { FPageSize = pageSize; }
  uint64_t PageCount() const override {
    const uint64_t bytes = FUnits.PageCount() * kBPlusTableUnit;
    if (bytes == 0) return 0;
    return bytes <= FHeaderAreaSize ? 1 : (bytes - FHeaderAreaSize) / FPageSize;
  }
  void ReadPage(uint64_t pageNo, uint8_t* page) override {
    const uint64_t offset = Offset(pageNo);
    std::vector<uint8_t> unit(kBPlusTableUnit);
    for (uint32_t done = 0; done < FPageSize;) {
      const uint64_t at = offset + done;
      const uint32_t inUnit = static_cast<uint32_t>(at % kBPlusTableUnit);
      const uint32_t count = std::min(FPageSize - done, kBPlusTableUnit - inUnit);
      FUnits.ReadPage(at / kBPlusTableUnit, unit.data());
      std::memcpy(page + done, unit.data() + inUnit, count);
      done += count;
    }
  }
  // Tree pages are whole units (4096 bytes or a multiple).
  void WritePage(uint64_t pageNo, const uint8_t* page) override {
    const uint64_t first = Offset(pageNo) / kBPlusTableUnit;
    if (FUnits.PageCount() < first) FUnits.SetPageCount(first);
    for (uint32_t k = 0; k < FPageSize / kBPlusTableUnit; ++k)
      FUnits.WritePage(first + k, page + static_cast<size_t>(k) * kBPlusTableUnit);
  }
  void SetPageCount(uint64_t pageCount) override {
    FUnits.SetPageCount((FHeaderAreaSize + std::max<uint64_t>(pageCount, 1) * FPageSize) / kBPlusTableUnit);
  }
  void Flush() override { FUnits.Flush(); }

 private:
  uint64_t Offset(uint64_t pageNo) const { return pageNo == 0 ? 0 : FHeaderAreaSize + pageNo * FPageSize; }

  ITdbIndexPageIo& FUnits;
  uint32_t FHeaderAreaSize;
  uint32_t FPageSize = kBPlusTableUnit;
};

namespace {

constexpr uint32_t kRecordIdSize = 4;

int CompareRecordIds(const uint8_t* x, const uint8_t* y) {
  const int32_t a = ReadLeI32(x);
  const int32_t b = ReadLeI32(y);
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

uint32_t BPlusTablePageSize(uint16_t recordSize) {
  uint32_t pageSize = kBPlusTableUnit;
  while (BPlusMaxItemSize(pageSize) < recordSize && pageSize < kMaxBPlusPageSize) pageSize *= 2;
  return pageSize;
}

TTdbBPlusDataFile::TTdbBPlusDataFile(ITdbIndexPageIo& storage, std::string fileName)
    : FStorage(storage), FFileName(std::move(fileName)) {}

TTdbBPlusDataFile::~TTdbBPlusDataFile() = default;

template <typename TOperation>
auto TTdbBPlusDataFile::Guard(int errorNo, TOperation operation) {
  try {
    return operation();
  } catch (const ETdbEngine& error) {
    if (error.Number() == tdbErrReadIndex || error.Number() == tdbErrWriteIndex) throw ETdbEngine(errorNo, FFileName);
    throw;
  }
}

void TTdbBPlusDataFile::RequireOpen() const {
  if (!FTree) throw ETdbEngine(tdbErrReadFile, FFileName);
}

void TTdbBPlusDataFile::NewFile(const TTdbBPlusNewFile& file) {
  Close();
  if (file.FFirstColumnType != tctRecordId)
    throw ETdbEngine(tdbErrLevelFeature, FFileName, "First column must be a record id");
  if (file.FLevel < 1 || file.FLevel > kMaxBPlusTableLevel || file.FRecordSize < kRecordIdSize)
    throw ETdbEngine(tdbErrUnknownVersion);
  const uint32_t pageSize = BPlusTablePageSize(file.FRecordSize);
  if (BPlusMaxItemSize(pageSize) < file.FRecordSize) throw ETdbEngine(tdbErrIndexInsert, FFileName);
  const uint64_t headerEnd = kBPlusTableHeaderAreaOffset + file.FHeaderArea.size();
  const uint32_t align = std::max(kBPlusTableHeaderAlign, pageSize);
  const uint32_t headerAreaSize = static_cast<uint32_t>((headerEnd + align - 1) / align * align);

  FStorage.SetPageSize(kBPlusTableUnit);
  FStorage.SetPageCount(0);
  auto pages = std::make_unique<TTdbBPlusTablePages>(FStorage, headerAreaSize);
  auto tree =
      std::make_unique<TTdbBPlusTree>(*pages, kBPlusTableTreeOffset, CompareRecordIds, kRecordIdSize, FFileName);
  Guard(tdbErrWriteFile, [&] { tree->New(pageSize); });
  FPages = std::move(pages);
  FTree = std::move(tree);
  FLevel = file.FLevel;
  FEncryptionCode = file.FEncryptionCode;
  FRecordSize = file.FRecordSize;
  FHeaderAreaSize = headerAreaSize;
  uint8_t* h = FTree->HeaderPage().data();
  WriteLeU32(h + kBPlusTableMagicOffset, kBPlusTableMagic);
  WriteLeU16(h + kBPlusTableLevelOffset, static_cast<uint16_t>(FLevel));
  WriteLeI32(h + kBPlusTableNextIdOffset, file.FNextRecordId);
  h[kBPlusTableEncryptionOffset] = FEncryptionCode;
  FTree->WriteHeader();
  // The header area's units after page 0 exist (zero) before the area is
  // written, so the file has its full header even when the area is empty.
  FPages->SetPageCount(1);
  WriteHeaderBytes(kBPlusTableHeaderAreaOffset, file.FHeaderArea);
}

void TTdbBPlusDataFile::Open(uint16_t recordSize, uint32_t headerAreaSize) {
  Close();
  FStorage.SetPageSize(kBPlusTableUnit);
  if (FStorage.PageCount() == 0) throw ETdbEngine(tdbErrUnknownVersion);
  std::vector<uint8_t> first(kBPlusTableUnit);
  FStorage.ReadPage(0, first.data());
  const int16_t level = ReadLeI16(first.data() + kBPlusTableLevelOffset);
  if (ReadLeU32(first.data() + kBPlusTableMagicOffset) != kBPlusTableMagic || level < 1 ||
      level > kMaxBPlusTableLevel || headerAreaSize < kBPlusTableHeaderAlign ||
      headerAreaSize % kBPlusTableHeaderAlign != 0 || recordSize < kRecordIdSize)
    throw ETdbEngine(tdbErrUnknownVersion);
  auto pages = std::make_unique<TTdbBPlusTablePages>(FStorage, headerAreaSize);
  auto tree =
      std::make_unique<TTdbBPlusTree>(*pages, kBPlusTableTreeOffset, CompareRecordIds, kRecordIdSize, FFileName);
  try {
    tree->Open();
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrReadIndex) throw;
    throw ETdbEngine(tdbErrUnknownVersion);
  }
  if (tree->MaxItemSize() < recordSize || headerAreaSize % tree->PageSize() != 0)
    throw ETdbEngine(tdbErrUnknownVersion);
  FPages = std::move(pages);
  FTree = std::move(tree);
  FLevel = level;
  FEncryptionCode = first[kBPlusTableEncryptionOffset];
  FRecordSize = recordSize;
  FHeaderAreaSize = headerAreaSize;
}

void TTdbBPlusDataFile::Close() {
  if (!FTree) return;
  try {
    Flush();
  } catch (...) {
    FTree.reset();
    FPages.reset();
    FLevel = -1;
    throw;
  }
  FTree.reset();
  FPages.reset();
  FLevel = -1;
}

bool TTdbBPlusDataFile::CanAppend() const { return RecordCount() < INT32_MAX; }

int32_t TTdbBPlusDataFile::RecordCount() const {
  return FTree ? static_cast<int32_t>(std::min<uint32_t>(FTree->ItemCount(), INT32_MAX)) : 0;
}

int64_t TTdbBPlusDataFile::StorageSize() const {
  return FTree ? FHeaderAreaSize + static_cast<int64_t>(FTree->PageCount()) * FTree->PageSize() : 0;
}

int32_t TTdbBPlusDataFile::ReadNextRecordId() const {
  RequireOpen();
  return ReadLeI32(FTree->HeaderPage().data() + kBPlusTableNextIdOffset);
}

void TTdbBPlusDataFile::WriteNextRecordId(int32_t recordId) {
  RequireOpen();
  WriteLeI32(FTree->HeaderPage().data() + kBPlusTableNextIdOffset, recordId);
  Guard(tdbErrWriteFile, [&] { FTree->WriteHeader(); });
}

int32_t TTdbBPlusDataFile::ObtainNewRecordId() {
  const int32_t recordId = ReadNextRecordId();
  WriteNextRecordId(recordId + 1);
  return recordId;
}

void TTdbBPlusDataFile::RevokeRecordId(int32_t recordId) {
  if (ReadNextRecordId() == recordId + 1) WriteNextRecordId(recordId);
}

std::vector<uint8_t> TTdbBPlusDataFile::Key(int32_t recordNo) const {
  std::vector<uint8_t> key(kRecordIdSize);
  WriteLeI32(key.data(), recordNo);
  return key;
}

int32_t TTdbBPlusDataFile::GetFirstRecordNo() {
  RequireOpen();
  std::vector<uint8_t> item;
  return Guard(tdbErrReadFile, [&] { return FTree->FindFirst(item); }) == ttrFound ? ReadLeI32(item.data())
                                                                                   : kBPlusNoRecord;
}

int32_t TTdbBPlusDataFile::GetLastRecordNo() {
  RequireOpen();
  std::vector<uint8_t> item;
  return Guard(tdbErrReadFile, [&] { return FTree->FindLast(item); }) == ttrFound ? ReadLeI32(item.data())
                                                                                  : kBPlusNoRecord;
}

int32_t TTdbBPlusDataFile::Step(int32_t recordNo, bool forward) {
  RequireOpen();
  const std::vector<uint8_t> key = Key(recordNo);
  std::vector<uint8_t> item;
  const int result = Guard(tdbErrReadFile, [&] {
    // The first record not before recordNo; from there one step when it is
    // recordNo itself (forward) or always (backward).
    int found = FTree->Find(key.data(), item);
    if (found != ttrFound) return forward ? found : FTree->FindLast(item);
    const bool same = ReadLeI32(item.data()) == recordNo;
    if (forward) return same ? FTree->FindNext(item.data(), item) : found;
    const std::vector<uint8_t> at = item;
    return FTree->FindPrev(at.data(), item);
  });
  return result == ttrFound ? ReadLeI32(item.data()) : kBPlusNoRecord;
}

int32_t TTdbBPlusDataFile::GetNextRecordNo(int32_t recordNo) { return Step(recordNo, true); }
int32_t TTdbBPlusDataFile::GetPrevRecordNo(int32_t recordNo) { return Step(recordNo, false); }

bool TTdbBPlusDataFile::HasRecord(int32_t recordNo) {
  RequireOpen();
  const std::vector<uint8_t> key = Key(recordNo);
  std::vector<uint8_t> item;
  return Guard(tdbErrReadFile, [&] { return FTree->Contains(key.data(), item); });
}

int TTdbBPlusDataFile::ReadRecord(int32_t recordNo, uint8_t* buffer) {
  RequireOpen();
  const std::vector<uint8_t> key = Key(recordNo);
  std::vector<uint8_t> item;
  if (!Guard(tdbErrReadFile, [&] { return FTree->Contains(key.data(), item); })) return kBPlusNoRecord;
  // A record stored shorter than the record size (a file of another
  // program) reads with zeros behind it.
  std::memset(buffer, 0, FRecordSize);
  std::memcpy(buffer, item.data(), std::min<size_t>(item.size(), FRecordSize));
  return 0;
}

int32_t TTdbBPlusDataFile::InsertRecord(const uint8_t* buffer) {
  RequireOpen();
  if (!Guard(tdbErrWriteFile, [&] { return FTree->Insert(buffer, FRecordSize); }))
    throw ETdbEngine(tdbErrNotUnique, FFileName);
  return ReadLeI32(buffer);
}

int TTdbBPlusDataFile::WriteRecord(int32_t recordNo, const uint8_t* buffer) {
  RequireOpen();
  const std::vector<uint8_t> key = Key(recordNo);
  std::vector<uint8_t> old;
  if (!Guard(tdbErrReadFile, [&] { return FTree->Contains(key.data(), old); })) return kBPlusNoRecord;
  Guard(tdbErrWriteFile, [&] { FTree->Delete(key.data()); });
  auto restore = [&] {
    old.resize(std::max<size_t>(old.size(), kRecordIdSize), 0);
    FTree->Insert(old.data(), static_cast<uint32_t>(old.size()));
  };
  bool stored = false;
  try {
    stored = Guard(tdbErrWriteFile, [&] { return FTree->Insert(buffer, FRecordSize); });
  } catch (...) {
    try {
      restore();
    } catch (...) {
      // The first failure is the one to report; the old version stays
      // wherever the failed write left it.
    }
    throw;
  }
  if (!stored) {
    Guard(tdbErrWriteFile, restore);
    throw ETdbEngine(tdbErrNotUnique, FFileName);
  }
  return 0;
}

int TTdbBPlusDataFile::DeleteRecord(int32_t recordNo) {
  RequireOpen();
  const std::vector<uint8_t> key = Key(recordNo);
  return Guard(tdbErrWriteFile, [&] { return FTree->Delete(key.data()); }) ? 0 : kBPlusNoRecord;
}

void TTdbBPlusDataFile::Clear() {
  RequireOpen();
  Guard(tdbErrWriteFile, [&] { FTree->Clear(); });
}

void TTdbBPlusDataFile::Flush() {
  RequireOpen();
  Guard(tdbErrWriteFile, [&] { FTree->Flush(); });
}

void TTdbBPlusDataFile::Invalidate() {
  RequireOpen();
  Guard(tdbErrReadFile, [&] { FTree->Update(); });
}

void TTdbBPlusDataFile::CheckHeaderRange(uint32_t offset, size_t size) const {
  RequireOpen();
  if (offset < kBPlusTableHeaderAreaOffset || offset + static_cast<uint64_t>(size) > FHeaderAreaSize)
    throw ETdbEngine(tdbErrInvalidParameter);
}

std::vector<uint8_t> TTdbBPlusDataFile::ReadHeaderBytes(uint32_t offset, uint32_t size) {
  CheckHeaderRange(offset, size);
  std::vector<uint8_t> bytes(size);
  std::vector<uint8_t> unit(kBPlusTableUnit);
  const uint32_t imageSize = FTree->PageSize();
  for (uint32_t done = 0; done < size;) {
    const uint32_t at = offset + done;
    if (at < imageSize) {
      const uint32_t count = std::min(size - done, imageSize - at);
      std::memcpy(bytes.data() + done, FTree->HeaderPage().data() + at, count);
      done += count;
      continue;
    }
    const uint32_t inUnit = at % kBPlusTableUnit;
    const uint32_t count = std::min(size - done, kBPlusTableUnit - inUnit);
    Guard(tdbErrReadFile, [&] { FStorage.ReadPage(at / kBPlusTableUnit, unit.data()); });
    std::memcpy(bytes.data() + done, unit.data() + inUnit, count);
    done += count;
  }
  return bytes;
}

void TTdbBPlusDataFile::WriteHeaderBytes(uint32_t offset, const std::vector<uint8_t>& bytes) {
  CheckHeaderRange(offset, bytes.size());
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  const uint32_t imageSize = FTree->PageSize();
  std::vector<uint8_t> unit(kBPlusTableUnit);
  bool imageChanged = false;
  for (uint32_t done = 0; done < size;) {
    const uint32_t at = offset + done;
    if (at < imageSize) {
      const uint32_t count = std::min(size - done, imageSize - at);
      std::memcpy(FTree->HeaderPage().data() + at, bytes.data() + done, count);
      imageChanged = true;
      done += count;
      continue;
    }
    const uint32_t inUnit = at % kBPlusTableUnit;
    const uint32_t count = std::min(size - done, kBPlusTableUnit - inUnit);
    Guard(tdbErrWriteFile, [&] {
      FStorage.ReadPage(at / kBPlusTableUnit, unit.data());
      std::memcpy(unit.data() + inUnit, bytes.data() + done, count);
      FStorage.WritePage(at / kBPlusTableUnit, unit.data());
    });
    done += count;
  }
  if (imageChanged) Guard(tdbErrWriteFile, [&] { FTree->WriteHeader(); });
}

void TTdbBPlusDataFile::Check(int64_t& recordCount, int64_t& wrongSortCount) {
  RequireOpen();
  Guard(tdbErrReadFile, [&] { FTree->Check(recordCount, wrongSortCount); });
}

}  // namespace kestrel
