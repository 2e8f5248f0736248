// TTdbBaseTable: registering indexes, opening them on first use, rebuilding
// automatic indexes, creating user indexes and listing them in the header.
#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/collation.h"
#include "engine/index/index_builder.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_names.h"
#include "engine/table/bplus_table_file.h"
#include "engine/table/bplus_table_header.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

bool IsRebuildableError(int number) {
  return number == tdbErrIndexInconsistent || number == tdbErrIndexCorrupt || number == tdbErrFileNotFound ||
         number == tdbErrReadFile || number == tdbErrCannotOpenFile;
}

}  // namespace

std::string TTdbBaseTable::IndexFileName(const std::u16string& indexName) const {
  return Utf16ToUtf8(
      CalcIndexFileName(Utf8ToUtf16(PhysicalDirectory()), Utf8ToUtf16(Name()), indexName, FLevel));
}

bool TTdbBaseTable::HasIndex(int indexNo) const {
  return indexNo >= 0 && indexNo < static_cast<int>(FIndexFiles.size()) && FIndexFiles[indexNo] != nullptr;
}

TTdbBaseTable::TIndexSlot& TTdbBaseTable::Slot(int indexNo) const {
  if (!HasIndex(indexNo)) throw ETdbEngine(tdbErrIndexNotFound, std::to_string(indexNo));
  return *FIndexFiles[indexNo];
}

const std::u16string& TTdbBaseTable::IndexName(int indexNo) const { return Slot(indexNo).Name; }

bool TTdbBaseTable::IsAutomatic(const TIndexSlot& slot) const {
  return slot.Kind == tikAdl || slot.Kind == tikConstraint;
}

int TTdbBaseTable::GetIndexNo(std::u16string_view name) const {
  std::vector<std::u16string> names(FIndexFiles.size());
  for (std::size_t i = 0; i < FIndexFiles.size(); ++i)
    if (FIndexFiles[i]) names[i] = FIndexFiles[i]->Name;
  return kestrel::GetIndexNo(names, TTdbSpecialIndexNumbers{}, Utf8ToUtf16(Name()), name, FLevel);
}

int TTdbBaseTable::InitIndex(const std::u16string& name, const TTdbSortDef* def) {
  const int limit = FLevel >= kFirstLevelWithManyIndexes ? kMaxIndexesPerTable - 1 : kMaxIndexesOldLevels;
  int number = 0;
  while (number < limit && HasIndex(number)) ++number;
  if (number >= limit) throw ETdbEngine(tdbErrTooManyIndexes);
  auto slot = std::make_unique<TIndexSlot>();
  slot->Name = name;
  slot->Kind = GetIndexKind(name, FLevel);
  if (def) {
    slot->Definition = *def;
    slot->Definition->FName = name;
    slot->Definition->CalcSize(FLevel);
  }
  // Index pages of level-6 tables are encrypted as whole tiles by the storage.
  slot->Storage =
      NewClientStorage(IndexFileName(name), FLevel >= kFirstEncryptedIndexLevel ? &FCryptor : nullptr);
  if (static_cast<int>(FIndexFiles.size()) <= number)
    FIndexFiles.resize(static_cast<std::size_t>(number) + 1);
  FIndexFiles[static_cast<std::size_t>(number)] = std::move(slot);
  FLastIndexNo = std::max(FLastIndexNo, number);
  return number;
}

void TTdbBaseTable::CloseIndexSlot(TIndexSlot& slot) noexcept {
  slot.File.reset();
  slot.Pages.reset();
  if (slot.Storage && slot.Storage->IsOpen()) {
    try {
      slot.Storage->Close();
    } catch (const ETdbEngine&) {
      slot.Storage->Undo();
      try {
        slot.Storage->Close();
      } catch (const ETdbEngine&) {
      }
    }
  }
}

void TTdbBaseTable::OpenIndexSlot(TIndexSlot& slot, bool checkItemCount) {
  try {
    slot.Storage->Open(ReadOnly() && slot.Kind != tikTemporary, Exclusive());
  } catch (const ETdbPageManager&) {
    RaiseOpenError(std::current_exception(), slot.Storage->Name());
  }
  slot.Pages = std::make_unique<TTdbIndexPageStorage>(*slot.Storage);
  slot.File = std::make_unique<TTdbIndexFile>(*slot.Pages, FIndexTable, slot.Name);
  slot.File->SetKind(slot.Kind);
  slot.File->SetFileName(slot.Storage->Name());
  try {
    slot.File->Open();
  } catch (const ETdbEngine& e) {
    // A header or description that cannot be read is a damaged file.
    if (e.Number() != tdbErrIndexInconsistent) throw;
    throw ETdbEngine(tdbErrIndexCorrupt, slot.Storage->Name()).AtCheckOf(e);
  }
  if (slot.Definition && !slot.File->Definition().Equals(*slot.Definition))
    throw ETdbEngine(tdbErrIndexInconsistent, Utf16ToUtf8(slot.Name));
  if (checkItemCount) CheckIndexItemCount(slot);
}

std::optional<TTdbSortDef> TTdbBaseTable::ReadStoredDefinition(TIndexSlot& slot) {
  try {
    slot.Storage->Open(ReadOnly() && slot.Kind != tikTemporary, Exclusive());
  } catch (const ETdbPageManager&) {
    return std::nullopt;
  }
  std::optional<TTdbSortDef> def;
  try {
    TTdbIndexPageStorage pages(*slot.Storage);
    TTdbIndexFile file(pages, FIndexTable, slot.Name);
    def = file.ReadStoredDefinition();
  } catch (const ETdbEngine&) {
  }
  CloseIndexSlot(slot);
  return def;
}

void TTdbBaseTable::CheckIndexItemCount(const TIndexSlot& slot) const {
  // Every record has one item in every index. While a rollback is under way
  // or a dead program's log waits for one, the counts agree only after it.
  if (FRollingBack || FHijackPending) return;
  if (slot.File->GetItemCount() != static_cast<std::uint32_t>(FDataFile->GetRecordCount()))
    throw ETdbEngine(tdbErrIndexCorrupt, slot.Storage->Name());
}

bool TTdbBaseTable::CheckIndexOpen(int indexNo) {
  std::lock_guard guard(FLockingMutex);
  TIndexSlot& slot = Slot(indexNo);
  if (slot.IsOpen()) return true;
  if (slot.Lost) {
    // What made the index unusable is told again (a missing or unreadable
    // file is no damaged index); 95 when nothing else is known.
    if (slot.OpenError) std::rethrow_exception(slot.OpenError);
    throw ETdbEngine(tdbErrIndexCorrupt, Utf16ToUtf8(slot.Name));
  }
  TTdbTableLock read(*this, tltRead);
  try {
    OpenIndexSlot(slot);
    return true;
  } catch (const ETdbEngine& e) {
    CloseIndexSlot(slot);
    if (!IsAutomatic(slot) || !slot.Definition || !IsRebuildableError(e.Number()) || ReadOnly()) {
      slot.Lost = true;
      slot.OpenError = std::current_exception();
      throw;
    }
  }
  try {
    CreateIndexSlotFile(slot, *slot.Definition);
    FillIndex(slot);
    return true;
  } catch (const ETdbEngine&) {
    CloseIndexSlot(slot);
    slot.Lost = true;
    slot.OpenError = std::current_exception();
    throw;
  }
}

TTdbIndexFile& TTdbBaseTable::GetIndexFile(int indexNo) {
  CheckIndexOpen(indexNo);
  return *Slot(indexNo).File;
}

void TTdbBaseTable::CreateIndexSlotFile(TIndexSlot& slot, const TTdbSortDef& def) {
  CloseIndexSlot(slot);
  try {
    slot.Storage->NewStorage();
  } catch (const ETdbPageManager&) {
    throw ETdbEngine(tdbErrIndexInsert, Utf16ToUtf8(slot.Name));
  }
  slot.Pages = std::make_unique<TTdbIndexPageStorage>(*slot.Storage);
  slot.File = std::make_unique<TTdbIndexFile>(*slot.Pages, FIndexTable, slot.Name);
  slot.File->SetKind(slot.Kind);
  slot.File->SetFileName(slot.Storage->Name());
  TTdbSortDef definition = def;
  definition.FName = slot.Name;
  slot.File->SetIndexDefinition(std::move(definition));
  slot.File->NewStorage(slot.File->CalcPageSizeForCapacity(FCapacity));
  slot.Lost = false;
}

void TTdbBaseTable::FillIndex(TIndexSlot& slot) {
  BuildIndexFromRecords(*slot.File, FDataFile->GetRecordCount(),
                        [this](int32_t recNo, std::vector<uint8_t>& record) {
                          record.resize(static_cast<std::size_t>(RecordSize()));
                          FDataFile->ReadRecord(recNo, record);
                        },
                        {}, kIndexBuildBatchKeyBytes,
                        [this](int32_t recNo) {
                          return recNo == 0 ? FDataFile->GetFirstRecordNo() : FDataFile->GetNextRecordNo(recNo);
                        });
  slot.File->Flush();
}

void TTdbBaseTable::RebuildIndex(int indexNo) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarIndex);
  TIndexSlot& slot = Slot(indexNo);
  if (!slot.IsOpen() && !slot.Lost) {
    try {
      CheckIndexOpen(indexNo);
    } catch (const ETdbEngine&) {
    }
  }
  if (!slot.IsOpen() && !slot.Definition) {
    // A damaged tree or a wrong item count still leaves the definition
    // readable in the header page.
    try {
      OpenIndexSlot(slot, false);
    } catch (const ETdbEngine&) {
      CloseIndexSlot(slot);
    }
  }
  TTdbSortDef def;
  if (slot.IsOpen())
    def = slot.File->Definition();
  else if (slot.Definition)
    def = *slot.Definition;
  else if (std::optional<TTdbSortDef> stored = ReadStoredDefinition(slot))
    def = std::move(*stored);
  else
    throw ETdbEngine(tdbErrPlain, "The definition of index \"" + Utf16ToUtf8(slot.Name) +
                                      "\" cannot be read from its damaged file \"" + slot.Storage->Name() +
                                      "\"; drop the index and create it again");
  TTdbTableLock write(*this, tltWrite);
  // The new index is written beside the old file, committed to disk and
  // put in its place in one step, so a rebuild broken off at any moment
  // leaves the old file as it was.
  const std::string fileName = slot.Storage->Name();
  const std::string newName = fileName + kRebuildExtension;
  CloseIndexSlot(slot);
  try {
    slot.Storage->SetName(newName);
    CreateIndexSlotFile(slot, def);
    FillIndex(slot);
    slot.Storage->UpdateDir();
    CloseIndexSlot(slot);
    slot.Storage->SetName(fileName);
    if (!FFileSystem.ReplaceFile(newName, fileName)) throw ETdbEngine(tdbErrWriteFile, fileName);
    OpenIndexSlot(slot);
    slot.Lost = false;
    slot.OpenError = nullptr;
  } catch (const ETdbEngine&) {
    CloseIndexSlot(slot);
    slot.Storage->SetName(fileName);
    FFileSystem.DeleteFile(newName);
    // The old file is still there; it serves as before when it opens.
    try {
      OpenIndexSlot(slot);
    } catch (const ETdbEngine&) {
      CloseIndexSlot(slot);
      slot.Lost = true;
      slot.OpenError = std::current_exception();
    }
    throw;
  }
}

int TTdbBaseTable::CreateIndex(const std::u16string& name, const std::u16string& spec, bool unique) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarIndex);
  if (name.empty() || GetIndexKind(name, FLevel) != tikUser)
    throw ETdbEngine(tdbErrInvalidIndexName, Utf16ToUtf8(name));
  for (const auto& slot : FIndexFiles)
    if (slot && StandardCollation().Compare(slot->Name, name, 0) == 0)
      throw ETdbEngine(tdbErrIndexFileExists, Utf16ToUtf8(name));
  const std::string fileName = IndexFileName(name);
  if (FFileSystem.FileExists(fileName)) throw ETdbEngine(tdbErrIndexFileExists, fileName);
  TTdbSortDef def = CalcIndexDefinition(FIndexTable, spec, unique);
  // Memo, blob and wide memo columns hold block numbers, no keys.
  for (const TTdbSortLevel& level : def.Items)
    if (level.ColumnType == tctMemo || level.ColumnType == tctBlob || level.ColumnType == tctWideMemo)
      throw ETdbEngine(tdbErrMemoBlobNotAllowed);
  def.FName = name;
  TTdbTableLock upgrade(*this, tltUpgrade);
  TTdbTableLock write(*this, tltWrite);
  const int number = InitIndex(name, &def);
  TIndexSlot& slot = Slot(number);
  try {
    CreateIndexSlotFile(slot, *slot.Definition);
    FillIndex(slot);
    if (unique) {
      // Equal keys next to each other in index order break uniqueness.
      std::vector<uint8_t> item, previous;
      int result = slot.File->Erster_Index(item);
      while (result == ttrFound) {
        if (!previous.empty() && slot.File->Comparer().IsSameIndexKey(previous.data(), item.data()))
          throw ETdbEngine(tdbErrNotUnique,
                           Utf16ToUtf8(CalcSpecification(def, FIndexTable, true, false, false, false)));
        previous = item;
        result = slot.File->Naechster_Index(item);
      }
    }
    slot.Definition.reset();  // a user index's definition lives in its file
    WriteIndNames();
    // Other programs see the count above theirs and read the names again.
    if (FLockFile) FLockFile->WriteIndexCount(static_cast<std::int16_t>(IndexCount()));
  } catch (const ETdbEngine&) {
    CloseIndexSlot(slot);
    FIndexFiles[static_cast<std::size_t>(number)].reset();
    while (FLastIndexNo >= 0 && !HasIndex(FLastIndexNo)) --FLastIndexNo;
    FFileSystem.DeleteFile(fileName);
    throw;
  }
  return number;
}

void TTdbBaseTable::DeleteIndex(int indexNo) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarIndex);
  if (ReadOnly()) throw ETdbEngine(tdbErrNoWritePermission, FullName());
  TIndexSlot& slot = Slot(indexNo);
  if (slot.Kind != tikUser && slot.Kind != tikTemporary)
    throw ETdbEngine(tdbErrNotSupported, "dropping index \"" + Utf16ToUtf8(slot.Name) +
                                             "\", which a key or link of the table keeps");
  if (!FListeners.CanDropIndex(indexNo)) throw ETdbEngine(tdbErrIndexInUse);
  RemoveIndex(indexNo);
}

void TTdbBaseTable::RemoveIndex(int indexNo) {
  std::lock_guard guard(FLockingMutex);
  TTdbTableLock exclusive(*this, tltExclusive);
  TTdbTableLock upgrade(*this, tltUpgrade);
  TTdbTableLock write(*this, tltWrite);
  TIndexSlot& slot = Slot(indexNo);
  const std::string fileName = slot.Storage->Name();
  CloseIndexSlot(slot);
  std::unique_ptr<TIndexSlot> removed = std::move(FIndexFiles[static_cast<std::size_t>(indexNo)]);
  const int lastIndexNo = FLastIndexNo;
  while (FLastIndexNo >= 0 && !HasIndex(FLastIndexNo)) --FLastIndexNo;
  try {
    WriteIndNames();
    Flush();
  } catch (const ETdbEngine&) {
    FIndexFiles[static_cast<std::size_t>(indexNo)] = std::move(removed);
    FLastIndexNo = lastIndexNo;
    throw;
  }
  removed.reset();
  FFileSystem.DeleteFile(fileName);
  FListeners.IndexRemoved(indexNo);
}

void TTdbBaseTable::WriteIndNames() {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  std::vector<std::u16string> names;
  for (const auto& slot : FIndexFiles)
    if (slot && (slot->Kind == tikUser || slot->Kind == tikTemporary)) names.push_back(slot->Name);
  const std::vector<uint8_t> area = WriteIndexNameArea(FLevel, names, FFileName);
  TTdbTableLock write(*this, tltWrite);
  if (TTdbBPlusTableFile* bplus = BPlusFile())
    bplus->Tree().WriteHeaderBytes(static_cast<std::uint32_t>(kBPlusIndexAreaOffset), area);
  else
    FDataFile->WriteBytes(static_cast<std::int64_t>(IndexNameAreaOffset(FLevel)), area.data(), area.size(),
                          false);
  FHeader.IndexNames = std::move(names);
}

void TTdbBaseTable::RefreshIndexes() noexcept {
  for (auto& slot : FIndexFiles) {
    if (!slot || !slot->IsOpen()) continue;
    try {
      slot->File->Update();
    } catch (const ETdbEngine&) {
      CloseIndexSlot(*slot);
      slot->Lost = true;
    }
  }
}

void TTdbBaseTable::CalcIndexInfo(int indexNo, std::span<const std::uint8_t> record, std::int32_t recNo,
                                  std::vector<std::uint8_t>& item) {
  TTdbIndexFile& file = GetIndexFile(indexNo);
  kestrel::CalcIndexInfo(file.Comparer(), record.data(), recNo, item);
}

int TTdbBaseTable::FindFirstIndexInfo(int indexNo, std::vector<std::uint8_t>& item) {
  TTdbTableLock read(*this, tltRead);
  return GetIndexFile(indexNo).Erster_Index(item);
}

int TTdbBaseTable::FindNextIndexInfo(int indexNo, std::vector<std::uint8_t>& item) {
  TTdbTableLock read(*this, tltRead);
  return GetIndexFile(indexNo).Naechster_Index(item);
}

int TTdbBaseTable::FindPrevIndexInfo(int indexNo, std::vector<std::uint8_t>& item) {
  TTdbTableLock read(*this, tltRead);
  return GetIndexFile(indexNo).Vorheriger_Index(item);
}

int TTdbBaseTable::FindLastIndexInfo(int indexNo, std::vector<std::uint8_t>& item) {
  TTdbTableLock read(*this, tltRead);
  return GetIndexFile(indexNo).Letzter_Index(item);
}

}  // namespace kestrel
