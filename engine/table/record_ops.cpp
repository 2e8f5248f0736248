// TTdbBaseTable: reading, initialising, appending, replacing and deleting
// records with their memo and blob values and index items, record ids, and
// the redo-log entries of every change (the transaction's log, or the change
// log outside a transaction).
//
// Every change runs as steps, each with the step that takes it back. When a
// step fails, the steps already done are taken back in reverse order, so a
// failed change leaves the table as it was; should taking back fail too, and
// the change holds the outermost write lock, every unflushed change (only
// this one) is dropped from the cache. Memo and blob chains of a replaced or
// deleted record are freed last, once nothing else can fail.
//
// A change that holds the outermost write lock is written before it returns,
// so a failing write is reported by the call that made the change, and the
// change is then taken back (see FlushChangeOrTakeBack).
#include <functional>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/index/index_definition_text.h"
#include "engine/table/blob_file.h"
#include "engine/table/bplus_table_file.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/memo_file.h"
#include "engine/table/record_checks.h"
#include "engine/table/record_image_check.h"
#include "engine/table/redo_log.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

// Steps already done and how to take each back.
class TUndoSteps {
 public:
  explicit TUndoSteps(std::function<void()> dropAll) : FDropAll(std::move(dropAll)) {}
  void Push(std::function<void()> undo) { FSteps.push_back(std::move(undo)); }
  // Takes back every step, last first.
  void Run() noexcept {
    bool failed = false;
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
      try {
        (*step)();
      } catch (const ETdbEngine&) {
        failed = true;
      }
    }
    FSteps.clear();
    if (failed) FDropAll();
  }

 private:
  std::vector<std::function<void()>> FSteps;
  std::function<void()> FDropAll;
};

std::string WideToBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string BytesToWide(const std::string& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                    static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
  return text;
}

// The entries of a value list that count: for each column the last one.
std::vector<const TTdbBlobData*> EffectiveValues(const TTdbBlobDataList& blobs) {
  std::vector<const TTdbBlobData*> values;
  for (std::size_t i = 0; i < blobs.size(); ++i) {
    if (blobs[i].FieldNo <= 0) continue;
    bool later = false;
    for (std::size_t j = i + 1; j < blobs.size() && !later; ++j) later = blobs[j].FieldNo == blobs[i].FieldNo;
    if (!later) values.push_back(&blobs[i]);
  }
  return values;
}

}  // namespace

// --- Reading -------------------------------------------------------------

void TTdbBaseTable::ReadRecord(std::int32_t recNo, std::span<std::uint8_t> buffer) {
  RequireActive();
  TTdbTableLock read(*this, tltRead);
  FDataFile->ReadRecord(recNo, buffer);
}

std::int32_t TTdbBaseTable::GetFirstRecordNo() const {
  return Active() ? FDataFile->GetFirstRecordNo() : kNoRecord;
}
std::int32_t TTdbBaseTable::GetLastRecordNo() const {
  return Active() ? FDataFile->GetLastRecordNo() : kNoRecord;
}
std::int32_t TTdbBaseTable::GetNextRecordNo(std::int32_t recNo) const {
  return Active() ? FDataFile->GetNextRecordNo(recNo) : kNoRecord;
}
std::int32_t TTdbBaseTable::GetPrevRecordNo(std::int32_t recNo) const {
  return Active() ? FDataFile->GetPrevRecordNo(recNo) : kNoRecord;
}

bool TTdbBaseTable::IsBlockColumn(int fieldNo) const {
  if (fieldNo < 1 || fieldNo > ColumnCount()) return false;
  const TTdbColumnType type = FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType();
  return type == tctMemo || type == tctBlob || type == tctWideMemo;
}

std::vector<int> TTdbBaseTable::BlockColumns() const {
  std::vector<int> columns;
  for (int f = 1; f <= ColumnCount(); ++f)
    if (IsBlockColumn(f)) columns.push_back(f);
  return columns;
}

std::int32_t TTdbBaseTable::GetBlockIdx(std::span<const std::uint8_t> record, int fieldNo) const {
  if (!IsBlockColumn(fieldNo)) throw ETdbEngine(tdbErrInvalidParameter, "FieldNo");
  const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
  const TTdbValue value = ReadValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(record, index));
  return std::holds_alternative<TTdbBlockRef>(value) ? std::get<TTdbBlockRef>(value).Block : 0;
}

void TTdbBaseTable::SetBlockIdx(std::span<std::uint8_t> record, int fieldNo, std::int32_t block) const {
  if (!IsBlockColumn(fieldNo)) throw ETdbEngine(tdbErrInvalidParameter, "FieldNo");
  const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
  WriteValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(record, index), TTdbBlockRef{block});
}

std::string TTdbBaseTable::ReadMemoString(std::span<const std::uint8_t> record, int fieldNo) {
  const std::int32_t block = GetBlockIdx(record, fieldNo);
  if (block == 0) return std::string();
  if (!FMemo) throw ETdbEngine(tdbErrOpenMemo, MemoFileName());
  TTdbTableLock read(*this, tltRead);
  return FMemo->ReadString(block);
}

std::string TTdbBaseTable::ReadBlobData(std::span<const std::uint8_t> record, int fieldNo) {
  const std::int32_t block = GetBlockIdx(record, fieldNo);
  if (block == 0) return std::string();
  if (!FBlob) throw ETdbEngine(tdbErrOpenBlob, BlobFileName());
  TTdbTableLock read(*this, tltRead);
  return FBlob->ReadString(block);
}

std::u16string TTdbBaseTable::ReadBlobDataWide(std::span<const std::uint8_t> record, int fieldNo) {
  return BytesToWide(ReadBlobData(record, fieldNo));
}

// --- New records and record ids ------------------------------------------

void TTdbBaseTable::InitRecord(std::span<std::uint8_t> buffer, bool preset) {
  RequireActive();
  if (buffer.size() != static_cast<std::size_t>(RecordSize()))
    throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  for (std::size_t i = 0; i < FColumnDefs.Count(); ++i) {
    const TTdbDataType& type = FColumnDefs[i].DataType;
    if (type.Nullable()) continue;
    if (type.ColumnType() == tctDate)
      WriteValue(type, FColumnDefs.ColumnBytes(buffer, i), TTdbDate{kFirstDatePacked});
    else if (type.ColumnType() == tctDateTime)
      WriteValue(type, FColumnDefs.ColumnBytes(buffer, i), TTdbTimeStamp{kFirstDatePacked, 0});
  }
  if (preset && FRecordIdFieldNo > 0) SetAutoNum(buffer);
}

std::int32_t TTdbBaseTable::ReadNextRecordId() {
  RequireActive();
  if (FRecordIdFieldNo == 0) throw ETdbEngine(tdbErrNoRecordIdColumn, FStdName);
  std::uint8_t bytes[4];
  TTdbTableLock read(*this, tltRead);
  if (TTdbBPlusTableFile* bplus = BPlusFile()) return bplus->Tree().ReadNextRecordId();
  FDataFile->ReadBytes(static_cast<std::int64_t>(NextRecordIdOffset(FHeader)), bytes, sizeof bytes, false);
  return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                   std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

void TTdbBaseTable::SetAutoNum(std::span<std::uint8_t> buffer) {
  RequireActive();
  if (FRecordIdFieldNo == 0) throw ETdbEngine(tdbErrNoRecordIdColumn, FStdName);
  if ((FRights & tarAppend) == 0) throw ETdbEngine(tdbErrNoWritePermission, FStdName);
  TTdbTableLock write(*this, tltWrite);
  std::int32_t id = ReadNextRecordId();
  if (id < 1) id = 1;
  WriteNextRecordId(id + 1);
  const std::size_t index = static_cast<std::size_t>(FRecordIdFieldNo - 1);
  WriteValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(buffer, index), static_cast<int64_t>(id));
}

void TTdbBaseTable::WriteNextRecordId(std::int32_t id) {
  if (TTdbBPlusTableFile* bplus = BPlusFile()) return bplus->Tree().WriteNextRecordId(id);
  const auto raw = static_cast<std::uint32_t>(id);
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(raw), static_cast<std::uint8_t>(raw >> 8),
                                 static_cast<std::uint8_t>(raw >> 16), static_cast<std::uint8_t>(raw >> 24)};
  FDataFile->WriteBytes(static_cast<std::int64_t>(NextRecordIdOffset(FHeader)), bytes, sizeof bytes, false);
}

void TTdbBaseTable::CancelAutoNum(std::int32_t recordId) {
  RequireActive();
  if (FRecordIdFieldNo == 0) return;
  TTdbTableLock write(*this, tltWrite);
  if (ReadNextRecordId() == recordId + 1) WriteNextRecordId(recordId);
}

void TTdbBaseTable::AdjustRecordId(std::span<const std::uint8_t> buffer) {
  RequireActive();
  if (FRecordIdFieldNo == 0) return;
  const std::size_t index = static_cast<std::size_t>(FRecordIdFieldNo - 1);
  const TTdbValue value = ReadValue(FColumnDefs[index].DataType, FColumnDefs.ColumnBytes(buffer, index));
  if (!std::holds_alternative<int64_t>(value)) return;
  const auto id = static_cast<std::int32_t>(std::get<int64_t>(value));
  TTdbTableLock write(*this, tltWrite);
  if (id >= ReadNextRecordId()) WriteNextRecordId(id + 1);
}

// --- Values and index items -----------------------------------------------

std::int32_t TTdbBaseTable::StoreValue(std::span<std::uint8_t> record, int fieldNo, const TTdbBlobData& value,
                                       std::int32_t oldBlock) {
  const TTdbColumnType type = FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType();
  std::int32_t block = 0;
  if (type == tctMemo) {
    if (!FMemo) throw ETdbEngine(tdbErrOpenMemo, MemoFileName());
    block = FMemo->WriteString(oldBlock, value.AnsiData);
  } else {
    if (!FBlob) throw ETdbEngine(tdbErrOpenBlob, BlobFileName());
    block = type == tctWideMemo ? FBlob->WriteString(oldBlock, WideToBytes(value.WideData))
                                : FBlob->WriteString(oldBlock, value.AnsiData);
  }
  SetBlockIdx(record, fieldNo, block);
  return block;
}

void TTdbBaseTable::FreeValue(int fieldNo, std::int32_t block) {
  if (block == 0) return;
  const TTdbColumnType type = FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType();
  TTdbBlockedBinaryFile* file = type == tctMemo ? static_cast<TTdbBlockedBinaryFile*>(FMemo.get()) : FBlob.get();
  if (!file) return;
  // A rollback frees only a chain that is there: the value of an undone
  // insert may never have reached the file.
  if (FRollingBack && !file->HoldsChain(block)) return;
  file->FreeValue(block);
}

void TTdbBaseTable::FlushFreedValues() noexcept {
  // The change itself is written; chains freed after it that cannot be
  // written stay in use, unreferenced, which costs space and nothing else.
  try {
    Flush();
  } catch (const ETdbEngine&) {
    Undo();
    FWriteError = 0;
  }
}

void TTdbBaseTable::FlushChangeOrTakeBack(const std::function<void()>& takeBack) {
  try {
    Flush();
  } catch (const ETdbEngine&) {
    // The change is taken back in the cache and that state written, so the
    // files hold the table as it was before the change. When that cannot be
    // written either (a full disk), it stays in the cache: the next write
    // lock and Close report it again, and a later flush writes it.
    takeBack();
    try {
      Flush();
    } catch (const ETdbEngine&) {
      throw ETdbEngine(tdbErrWriteFile, FStdName);
    }
    throw ETdbEngine(tdbErrWriteFile, FStdName);
  }
}

std::vector<TTdbRedoValue> TTdbBaseTable::ReadValuesForLog(std::span<const std::uint8_t> record,
                                                           const std::vector<int>& fieldNos) {
  std::vector<TTdbRedoValue> values;
  for (int f : fieldNos) {
    TTdbRedoValue value;
    value.FieldNo = f;
    const TTdbColumnType type = FColumnDefs[static_cast<std::size_t>(f - 1)].DataType.ColumnType();
    value.Wide = type == tctWideMemo;
    value.Bytes = type == tctMemo ? ReadMemoString(record, f) : ReadBlobData(record, f);
    values.push_back(std::move(value));
  }
  return values;
}

std::vector<int> TTdbBaseTable::ChangedIndexes(bool skipLost) {
  std::vector<int> numbers;
  for (int no = 0; no <= FLastIndexNo; ++no) {
    if (!HasIndex(no)) continue;
    try {
      CheckIndexOpen(no);
      numbers.push_back(no);
    } catch (const ETdbEngine&) {
      if (!skipLost) throw;
    }
  }
  return numbers;
}

void TTdbBaseTable::ChangeIndexItem(int indexNo, std::span<const std::uint8_t> record, std::int32_t recNo,
                                    bool remove) {
  TIndexSlot& slot = Slot(indexNo);
  std::vector<std::uint8_t> item;
  kestrel::CalcIndexInfo(slot.File->Comparer(), record.data(), recNo, item);
  const int error = remove ? tdbErrIndexDelete : tdbErrIndexInsert;
  bool done = false;
  try {
    done = remove ? slot.File->Loesche_Index(item.data()) : slot.File->Add_Index(item.data());
  } catch (const ETdbEngine&) {
    done = false;
  }
  // Undoing a logged change is idempotent: an item that a rollback finds
  // already gone (or already back) is what the step was to achieve, as
  // when the program died before the index page of the change was written.
  if (!done && !FRollingBack) throw ETdbEngine(error, Utf16ToUtf8(slot.Name));
}

void TTdbBaseTable::CheckUnique(std::span<const std::uint8_t> record, std::int32_t recNo) {
  for (int no : ChangedIndexes(false)) {
    TIndexSlot& slot = Slot(no);
    if (!slot.File->GetMustBeUnique()) continue;
    std::vector<std::uint8_t> item, found;
    kestrel::CalcIndexInfo(slot.File->Comparer(), record.data(), recNo, item);
    found = item;
    SetItemRecordNo(found.data(), 0);
    int result = slot.File->Suche_Index(found);
    // Items with equal keys follow one another; the record's own item is
    // passed over.
    while (result == ttrFound && slot.File->Comparer().IsSameIndexKey(found.data(), item.data())) {
      if (ItemRecordNo(found.data()) != recNo)
        throw ETdbEngine(tdbErrNotUnique, Utf16ToUtf8(CalcSpecification(slot.File->Definition(), FIndexTable,
                                                                        true, false, false, false)));
      result = slot.File->Naechster_Index(found);
    }
  }
}

// --- Appending -----------------------------------------------------------

std::int32_t TTdbBaseTable::AppendRecord(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs) {
  if (buffer.size() == static_cast<std::size_t>(RecordSize())) RequireNotNullValues(FColumnDefs, buffer);
  return AppendRecordImpl(buffer, blobs, false);
}

std::int32_t TTdbBaseTable::AppendRecordImpl(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs,
                                             bool keepBlocks) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarAppend);
  RequireChangeable();
  if (buffer.size() != static_cast<std::size_t>(RecordSize()))
    throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
  if (!FRollingBack) CheckRecordImage(FColumnDefs, buffer);
  for (const TTdbBlobData& value : blobs)
    if (value.FieldNo > 0 && !IsBlockColumn(value.FieldNo))
      throw ETdbEngine(tdbErrInvalidParameter, "FieldNo");
  TTdbTableLock upgrade(*this, tltUpgrade);
  if (!FDataFile->CanAppend()) throw ETdbEngine(tdbErrCapacityReached, FullName());
  // In a B+ tree table file the number is the record's id, known (or handed
  // out) under the write lock; no record has the number 0 meanwhile.
  std::int32_t recNo = StableRecordNumbers() ? 0 : FDataFile->GetRecordCount() + 1;
  const std::vector<int> indexes = ChangedIndexes(false);
  if (!FRollingBack) CheckUnique(buffer, recNo);
  if (!FRollingBack) CheckConstraintsBeforeChange(buffer, 0, blobs);
  TTdbTableLock write(*this, tltWrite);
  if (StableRecordNumbers()) recNo = RecordNoForAppend(buffer);
  const bool outermost = FWriteLocks == 1;
  TTdbRedoLog* const log = ChangeLog();
  TUndoSteps undo([this, outermost] {
    if (outermost) Undo();
  });
  if (!keepBlocks)
    for (int f : BlockColumns()) SetBlockIdx(buffer, f, 0);
  try {
    for (const TTdbBlobData* value : EffectiveValues(blobs)) {
      const std::int32_t block = StoreValue(buffer, value->FieldNo, *value, 0);
      undo.Push([this, f = value->FieldNo, block] { FreeValue(f, block); });
    }
    for (int no : indexes) {
      ChangeIndexItem(no, buffer, recNo, false);
      undo.Push([this, no, buffer, recNo] { ChangeIndexItem(no, buffer, recNo, true); });
    }
    const std::int32_t inserted = FDataFile->InsertRecord(buffer);
    undo.Push([this, inserted] { FDataFile->DeleteRecord(inserted); });
    if (log) log->LogInsert(inserted);
    if (outermost) FlushChangeOrTakeBack([&undo] { undo.Run(); });
  } catch (const ETdbEngine&) {
    undo.Run();
    throw;
  }
  FListeners.RelationChanged();
  FlushWhenCacheFull();
  return recNo;
}

// --- Replacing -----------------------------------------------------------

void TTdbBaseTable::ReplaceRecord(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs,
                                  std::int32_t recNo) {
  if (buffer.size() == static_cast<std::size_t>(RecordSize())) RequireNotNullValues(FColumnDefs, buffer);
  ReplaceRecordImpl(buffer, blobs, recNo, true);
}

void TTdbBaseTable::ReplaceRecordImpl(std::span<std::uint8_t> buffer, const TTdbBlobDataList& blobs,
                                      std::int32_t recNo, bool freeOld) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarEdit);
  RequireChangeable();
  if (buffer.size() != static_cast<std::size_t>(RecordSize()))
    throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
  if (!FRollingBack) CheckRecordImage(FColumnDefs, buffer);
  std::vector<int> rewritten;
  for (const TTdbBlobData& value : blobs) {
    if (value.FieldNo <= 0) continue;
    if (!IsBlockColumn(value.FieldNo)) throw ETdbEngine(tdbErrInvalidParameter, "FieldNo");
    if (std::find(rewritten.begin(), rewritten.end(), value.FieldNo) == rewritten.end())
      rewritten.push_back(value.FieldNo);
  }
  TTdbTableLock upgrade(*this, tltUpgrade);
  if (!HasRecord(recNo)) throw ETdbEngine(tdbErrRecordNotFound);
  if (StableRecordNumbers() && LoadLE<std::int32_t>(buffer.data()) != recNo)
    throw ETdbEngine(tdbErrPlain, "The record id " + std::to_string(recNo) + " of a record of table \"" + FStdName +
                                      "\" cannot be changed: it is the record's number in its B+ tree table file");
  const std::vector<int> indexes = ChangedIndexes(false);
  if (!FRollingBack) CheckUnique(buffer, recNo);
  if (!FRollingBack) CheckConstraintsBeforeChange(buffer, recNo, blobs);
  TTdbTableLock write(*this, tltWrite);
  const bool outermost = FWriteLocks == 1;
  // The stored record decides which chains and items are replaced.
  std::vector<std::uint8_t> stored(buffer.size());
  FDataFile->ReadRecord(recNo, stored);
  std::vector<std::uint8_t> image(buffer.begin(), buffer.end());
  for (int f : BlockColumns()) SetBlockIdx(image, f, GetBlockIdx(stored, f));
  TTdbRedoLog* const log = ChangeLog();
  std::vector<TTdbRedoValue> logged;
  if (log) logged = ReadValuesForLog(stored, rewritten);
  TUndoSteps undo([this, outermost] {
    if (outermost) Undo();
  });
  try {
    for (const TTdbBlobData* value : EffectiveValues(blobs)) {
      const std::int32_t block = StoreValue(image, value->FieldNo, *value, 0);
      undo.Push([this, f = value->FieldNo, block] { FreeValue(f, block); });
    }
    for (int no : indexes) {
      TIndexSlot& slot = Slot(no);
      std::vector<std::uint8_t> oldItem, newItem;
      kestrel::CalcIndexInfo(slot.File->Comparer(), stored.data(), recNo, oldItem);
      kestrel::CalcIndexInfo(slot.File->Comparer(), image.data(), recNo, newItem);
      if (slot.File->Comparer().IsSameIndexInfo(oldItem.data(), newItem.data())) continue;
      ChangeIndexItem(no, stored, recNo, true);
      undo.Push([this, no, stored, recNo] { ChangeIndexItem(no, stored, recNo, false); });
      ChangeIndexItem(no, image, recNo, false);
      undo.Push([this, no, image, recNo] { ChangeIndexItem(no, image, recNo, true); });
    }
    FDataFile->WriteRecord(recNo, image);
    undo.Push([this, recNo, stored] { FDataFile->WriteRecord(recNo, stored); });
    if (log) log->LogUpdate(recNo, stored, logged);
    if (outermost) FlushChangeOrTakeBack([&undo] { undo.Run(); });
  } catch (const ETdbEngine&) {
    undo.Run();
    throw;
  }
  std::copy(image.begin(), image.end(), buffer.begin());
  FListeners.RecordChanged(recNo);
  if (freeOld) {
    for (int f : rewritten) FreeValue(f, GetBlockIdx(stored, f));
    if (outermost) FlushFreedValues();
  }
  FlushWhenCacheFull();
}

// --- Deleting ------------------------------------------------------------

void TTdbBaseTable::DeleteRecord(std::int32_t recNo) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarDelete);
  RequireChangeable();
  TTdbTableLock upgrade(*this, tltUpgrade);
  const std::int32_t count = FDataFile->GetRecordCount();
  if (!HasRecord(recNo)) throw ETdbEngine(tdbErrRecordNotFound);
  const std::vector<int> indexes = ChangedIndexes(true);
  if (!FRollingBack) CheckConstraintsBeforeChange({}, recNo);
  TTdbTableLock write(*this, tltWrite);
  const bool outermost = FWriteLocks == 1;
  std::vector<std::uint8_t> stored(static_cast<std::size_t>(RecordSize()));
  FDataFile->ReadRecord(recNo, stored);
  const std::vector<int> blockColumns = BlockColumns();
  TTdbRedoLog* const log = ChangeLog();
  std::vector<TTdbRedoValue> logged;
  if (log) logged = ReadValuesForLog(stored, blockColumns);
  // The heap file keeps its records without gaps: the last one moves in. A
  // B+ tree table file removes the record where it is.
  const bool moved = !FDataFile->CanDelete() && recNo < count;
  std::vector<std::uint8_t> last(stored.size());
  if (moved) FDataFile->ReadRecord(count, last);
  TUndoSteps undo([this, outermost] {
    if (outermost) Undo();
  });
  try {
    // The record's pairs in relation tables go with it; a failed delete
    // puts them back.
    if (!FRollingBack && HasRelationColumns()) {
      const std::int32_t masterId = RecordIdOf(stored);
      std::vector<TRelationPair> pairs = RemoveRelationEntries(masterId);
      if (!pairs.empty())
        undo.Push([this, masterId, pairs] { RestoreRelationEntries(masterId, pairs); });
    }
    for (int no : indexes) {
      ChangeIndexItem(no, stored, recNo, true);
      undo.Push([this, no, stored, recNo] { ChangeIndexItem(no, stored, recNo, false); });
    }
    if (moved) {
      for (int no : indexes) {
        ChangeIndexItem(no, last, count, true);
        undo.Push([this, no, last, count] { ChangeIndexItem(no, last, count, false); });
        ChangeIndexItem(no, last, recNo, false);
        undo.Push([this, no, last, recNo] { ChangeIndexItem(no, last, recNo, true); });
      }
      FDataFile->WriteRecord(recNo, last);
      undo.Push([this, recNo, stored] { FDataFile->WriteRecord(recNo, stored); });
    }
    FDataFile->DeleteRecord(recNo);
    undo.Push([this, moved, last, stored] { FDataFile->InsertRecord(moved ? last : stored); });
    if (log) {
      std::vector<std::uint8_t> image = stored;
      for (int f : blockColumns) SetBlockIdx(image, f, 0);
      if (moved)
        log->LogDeleteMoved(recNo, image, logged, last, count);
      else
        log->LogDelete(recNo, image, logged);
    }
    if (outermost) FlushChangeOrTakeBack([&undo] { undo.Run(); });
  } catch (const ETdbEngine&) {
    undo.Run();
    throw;
  }
  FListeners.RecordDeleted(recNo, moved ? count : 0);
  NoteRecordMove(FDataFile->CanDelete() ? recNo : count, recNo);
  for (int f : blockColumns) FreeValue(f, GetBlockIdx(stored, f));
  if (outermost) FlushFreedValues();
  FlushWhenCacheFull();
}

}  // namespace kestrel
