// TTdbBaseTable::ClearDat: removing every record of a table at once, and
// finishing or undoing a removal that a dead program left half done.
//
// A table is several files (table file, memo and blob files, one file per
// index, the relation tables of its Relation columns), and no file system
// replaces several files in one step. So the empty files are written beside
// the old ones (name + kEmptiedFileSuffix) and put in their places by
// renames, with a small journal (<table>.tdbe) that decides which of the two
// tables stands:
//   1. the journal lists the files to replace, marked "prepared" (synced);
//   2. every empty file is written and synced beside its old file, and the
//      directory is synced, so the journal's and the empty files' names
//      last;
//   3. the journal's mark becomes "decided" (one 4-byte write, synced);
//   4. each empty file replaces its old file and the directory is synced,
//      so no rename can be lost once the journal is deleted, which is last.
// An open that finds a prepared journal deletes the empty files (the old
// table stands); a decided one finishes the renames (a file whose empty file
// is gone was already replaced). A journal cut off while it was written came
// before any empty file and is only deleted. So a table is always either
// the old one or the empty one, never a mix.
//
// Journal layout, little-endian: Int32 kClearJournalMagic, Int32 state
// (kClearPrepared or kClearDecided), Int32 n, n times (UInt16 length, the
// file's name without directory in UTF-8), Int32 kClearJournalMagic. The
// files lie in the table's directory.
#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager_error.h"
#include "engine/fs/file_stream.h"
#include "engine/fs/file_system.h"
#include "engine/index/key_value_codec.h"
#include "engine/table/base_table.h"
#include "engine/table/blob_file.h"
#include "engine/table/bplus_data_file.h"
#include "engine/table/bplus_table_file.h"
#include "engine/table/encryption_method.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/memo_file.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kClearJournalMagic = 0x4A435444;
constexpr std::uint32_t kClearPrepared = 1;
constexpr std::uint32_t kClearDecided = 2;
constexpr std::int64_t kClearStateOffset = 4;
constexpr std::size_t kClearHeadSize = 12;
constexpr std::size_t kClearTailSize = 4;
constexpr const char* kClearJournalExtension = ".tdbe";
constexpr const char* kEmptiedFileSuffix = ".empty";

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Commits a file's data to disk; false when it cannot be opened or synced.
bool SyncNamedFile(TdwFileSystem& fileSystem, const std::string& name) {
  TdwFileSystemTdbStream stream(fileSystem);
  if (stream.Reset(name, kFmOpenRead | kFmShareDenyNone) < 0) return false;
  const bool synced = stream.Sync() >= 0;
  stream.Close();
  return synced;
}

// A directory as error messages name it: a table named without directory
// lies in the current one.
std::string DirectoryDisplayName(const std::string& directory) { return directory.empty() ? "." : directory; }

// What a journal file says: whole or not, its state and its file names.
struct TClearJournal {
  bool Whole = false;
  std::uint32_t State = 0;
  std::vector<std::string> Names;
};

TClearJournal ParseClearJournal(const std::vector<std::uint8_t>& bytes) {
  TClearJournal journal;
  if (bytes.size() < kClearHeadSize + kClearTailSize || ReadLeU32(bytes.data()) != kClearJournalMagic ||
      ReadLeU32(bytes.data() + bytes.size() - kClearTailSize) != kClearJournalMagic)
    return journal;
  journal.State = ReadLeU32(bytes.data() + kClearStateOffset);
  const std::uint32_t count = ReadLeU32(bytes.data() + 8);
  std::size_t pos = kClearHeadSize;
  const std::size_t end = bytes.size() - kClearTailSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (end - pos < 2) return journal;
    const std::size_t length = bytes[pos] | (static_cast<std::size_t>(bytes[pos + 1]) << 8);
    pos += 2;
    if (length == 0 || end - pos < length) return journal;
    std::string name(reinterpret_cast<const char*>(bytes.data() + pos), length);
    pos += length;
    // Only plain names of the table's own directory.
    if (name.find('/') != std::string::npos || name == "." || name == "..") return journal;
    journal.Names.push_back(std::move(name));
  }
  journal.Whole = pos == end && (journal.State == kClearPrepared || journal.State == kClearDecided);
  return journal;
}

}  // namespace

std::string TTdbBaseTable::ClearJournalFileName() const { return PhysicalDirectory() + Name() + kClearJournalExtension; }

std::vector<std::string> TTdbBaseTable::ClearTargets() const {
  std::vector<std::string> targets{FFileName};
  if (FMemo) targets.push_back(MemoFileName());
  if (FBlob) targets.push_back(BlobFileName());
  for (const auto& slot : FIndexFiles)
    if (slot) targets.push_back(slot->Storage->Name());
  return targets;
}

void TTdbBaseTable::WriteEmptyFiles() {
  // The table file: its header as it stands with no records.
  const std::string tableName = FFileName + kEmptiedFileSuffix;
  if (TTdbBPlusTableFile* bplus = BPlusFile()) {
    TTdbBPlusNewFile facts;
    facts.FLevel = static_cast<std::int16_t>(FLevel);
    facts.FRecordSize = static_cast<std::uint16_t>(RecordSize());
    facts.FFirstColumnType = static_cast<std::uint8_t>(FColumnDefs[0].DataType.ColumnType());
    facts.FEncryptionCode = EncryptionCodeOf(emNone);
    facts.FNextRecordId = bplus->Tree().ReadNextRecordId();
    facts.FHeaderArea.resize(bplus->Tree().HeaderAreaSize() - kBPlusTableHeaderAreaOffset);
    FDataFile->ReadBytes(kBPlusTableHeaderAreaOffset, facts.FHeaderArea.data(), facts.FHeaderArea.size(), false);
    auto storage = NewClientStorage(tableName);
    try {
      storage->NewStorage();
    } catch (const ETdbPageManager&) {
      throw ETdbEngine(tdbErrWriteFile, tableName);
    }
    TTdbBPlusTableFile empty(std::move(storage), FCryptor);
    empty.NewFile(facts);
    empty.Flush();
  } else {
    std::vector<std::uint8_t> header(static_cast<std::size_t>(FHeader.RecordsOffset));
    FDataFile->ReadBytes(0, header.data(), header.size(), false);
    const std::size_t countAt = static_cast<std::size_t>(RecordCountOffset(FLevel));
    if (countAt + 4 > header.size()) throw ETdbEngine(tdbErrUnknownVersion, FFileName);
    for (std::size_t b = 0; b < 4; ++b) header[countAt + b] = 0;
    TdwFileSystemTdbStream stream(FFileSystem);
    const bool written = stream.Rewrite(tableName, kFmOpenReadWrite | kFmShareExclusive) >= 0 &&
                         stream.WriteNBytes(0, static_cast<std::int32_t>(header.size()), header.data(), false) >= 0;
    stream.Close();
    if (!written) throw ETdbEngine(tdbErrWriteFile, tableName);
  }
  if (FMemo) {
    TTdbMemoFile empty(NewClientStorage(MemoFileName() + kEmptiedFileSuffix), FCryptor, Name());
    empty.SetVersion(FLevel);
    empty.NewFile(FMemo->GetBlockSize());
    empty.Close();
  }
  if (FBlob) {
    TTdbBlobFile empty(NewClientStorage(BlobFileName() + kEmptiedFileSuffix), FCryptor, Name());
    empty.SetVersion(FLevel);
    empty.NewFile(FBlob->GetBlockSize());
    empty.Close();
  }
  for (int no = 0; no <= FLastIndexNo; ++no) {
    if (!HasIndex(no)) continue;
    TIndexSlot& slot = Slot(no);
    // The definition as a rebuild finds it: from the open file, the
    // registration, or the header page of a damaged file.
    try {
      CheckIndexOpen(no);
    } catch (const ETdbEngine&) {
    }
    std::optional<TTdbSortDef> def;
    if (slot.IsOpen())
      def = slot.File->Definition();
    else if (slot.Definition)
      def = slot.Definition;
    else
      def = ReadStoredDefinition(slot);
    if (!def) throw ETdbEngine(tdbErrIndexCorrupt, slot.Storage->Name());
    const std::string fileName = slot.Storage->Name();
    CloseIndexSlot(slot);
    slot.Storage->SetName(fileName + kEmptiedFileSuffix);
    try {
      CreateIndexSlotFile(slot, *def);
      slot.File->Flush();
      CloseIndexSlot(slot);
    } catch (...) {
      CloseIndexSlot(slot);
      slot.Storage->SetName(fileName);
      throw;
    }
    slot.Storage->SetName(fileName);
  }
}

void TTdbBaseTable::ReopenClearedFiles() {
  for (auto& slot : FIndexFiles)
    if (slot) CloseIndexSlot(*slot);
  FMemo.reset();
  FBlob.reset();
  FDataFile.reset();
  OpenDataFile();
  ComputeColumnSummary();
  BuildIndexTable();
  OpenBlockFiles(false);
  for (int no = 0; no <= FLastIndexNo; ++no) {
    if (!HasIndex(no)) continue;
    Slot(no).Lost = false;
    try {
      CheckIndexOpen(no);
    } catch (const ETdbEngine&) {
      // Stays lost; every use reports it.
    }
  }
}

std::int32_t TTdbBaseTable::ClearDat() {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RequireRight(tarDelete);
  if (FInTransaction) throw ETdbEngine(tdbErrTransactionRunning);
  TTdbTableLock exclusive(*this, tltExclusive);
  TTdbTableLock write(*this, tltWrite);
  Flush();
  const std::int32_t removed = RecordCount();

  // The relation tables are emptied with the table, and need to be had
  // alone as well. Closing them at the end gives their locks back.
  std::vector<TTdbBaseTable*> tables{this};
  struct TRelationsClosed {
    TTdbBaseTable& Table;
    ~TRelationsClosed() { Table.CloseRelationTables(); }
  } relationsClosed{*this};
  for (int fieldNo = 1; fieldNo <= ColumnCount(); ++fieldNo) {
    if (FColumnDefs[static_cast<std::size_t>(fieldNo - 1)].DataType.ColumnType() != tctRelation) continue;
    TTdbBaseTable& relation = RelationTable(fieldNo);
    relation.BeginExclusive();
    relation.BeginWrite();
    relation.Flush();
    tables.push_back(&relation);
  }

  const std::string directory = PhysicalDirectory();
  std::vector<std::string> targets;
  for (TTdbBaseTable* table : tables)
    for (std::string& target : table->ClearTargets()) {
      if (target.compare(0, directory.size(), directory) != 0 ||
          BaseNameOf(target).size() + directory.size() != target.size())
        throw ETdbEngine(tdbErrPlain, "The file \"" + target + "\" of table \"" + FullName() +
                                          "\" is not in the table's directory, so the table cannot be emptied");
      targets.push_back(std::move(target));
    }

  // 1. The journal, prepared.
  const std::string journalName = ClearJournalFileName();
  std::vector<std::uint8_t> bytes;
  PutU32(bytes, kClearJournalMagic);
  PutU32(bytes, kClearPrepared);
  PutU32(bytes, static_cast<std::uint32_t>(targets.size()));
  for (const std::string& target : targets) {
    const std::string name = BaseNameOf(target);
    bytes.push_back(static_cast<std::uint8_t>(name.size()));
    bytes.push_back(static_cast<std::uint8_t>(name.size() >> 8));
    bytes.insert(bytes.end(), name.begin(), name.end());
  }
  PutU32(bytes, kClearJournalMagic);
  TdwFileSystemTdbStream journal(FFileSystem);
  if (journal.Rewrite(journalName, kFmOpenReadWrite | kFmShareExclusive) < 0 ||
      journal.WriteNBytes(0, static_cast<std::int32_t>(bytes.size()), bytes.data(), false) < 0 ||
      journal.Sync() < 0) {
    journal.Close();
    FFileSystem.DeleteFile(journalName);
    throw ETdbEngine(tdbErrWriteFile, journalName);
  }

  // 2. and 3. The empty files, then the decision.
  try {
    for (TTdbBaseTable* table : tables) table->WriteEmptyFiles();
    for (const std::string& target : targets)
      if (!SyncNamedFile(FFileSystem, target + kEmptiedFileSuffix))
        throw ETdbEngine(tdbErrWriteFile, target + kEmptiedFileSuffix);
    if (!FFileSystem.SyncDirectory(directory)) throw ETdbEngine(tdbErrWriteFile, DirectoryDisplayName(directory));
    std::uint8_t decided[4];
    WriteLeU32(decided, kClearDecided);
    if (journal.WriteNBytes(kClearStateOffset, 4, decided, false) < 0 || journal.Sync() < 0)
      throw ETdbEngine(tdbErrWriteFile, journalName);
  } catch (const ETdbEngine&) {
    // The empty files go only once the journal is gone: a journal that
    // stays (decided after all, when only its sync failed) needs them.
    journal.Close();
    if (FFileSystem.DeleteFile(journalName))
      for (const std::string& target : targets) FFileSystem.DeleteFile(target + kEmptiedFileSuffix);
    throw;
  }

  // 4. The empty files take the old ones' places.
  CloseRelationTables();
  std::string failed;
  for (const std::string& target : targets)
    if (FFileSystem.FileExists(target + kEmptiedFileSuffix) &&
        !FFileSystem.ReplaceFile(target + kEmptiedFileSuffix, target) && failed.empty())
      failed = target;
  if (failed.empty() && !FFileSystem.SyncDirectory(directory)) failed = DirectoryDisplayName(directory);
  if (failed.empty() && !FFileSystem.DeleteFile(journalName)) failed = journalName;
  journal.Close();
  if (!failed.empty()) {
    // The files open here may be old or new; the next open finishes the
    // emptying from the journal.
    try {
      Close();
    } catch (const ETdbEngine&) {
    }
    throw ETdbEngine(tdbErrPlain, "Emptying table \"" + FullName() + "\" stopped at file \"" + failed +
                                      "\"; the table was closed, and the next open finishes emptying it");
  }
  ReopenClearedFiles();
  FListeners.RelationEmptied();
  return removed;
}

void TTdbBaseTable::FinishClearLeftBehind() {
  const std::string journalName = ClearJournalFileName();
  if (!FFileSystem.FileExists(journalName)) return;
  // The journal is held alone while it is acted on: a live program that is
  // emptying the table holds it too, and another opener waits for either.
  constexpr int kAttempts = 100;  // 20 ms apart: about 2 s
  TdwFileSystemTdbStream journal(FFileSystem);
  for (int attempt = 1;; ++attempt) {
    if (journal.Reset(journalName, kFmOpenReadWrite | kFmShareExclusive) >= 0) break;
    if (!FFileSystem.FileExists(journalName)) return;
    if (attempt >= kAttempts)
      throw ETdbEngine(tdbErrPlain, "Table \"" + FullName() +
                                        "\" was left half emptied by a program that ended, and finishing that "
                                        "needs write access with no other program using the table. Open the "
                                        "table once with write access.");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::int64_t size = journal.Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
  if (size < 0 || size > 0x7FFFFFFF ||
      (size > 0 && journal.ReadNBytes(0, static_cast<std::int32_t>(size), bytes.data(), false) < 0)) {
    journal.Close();
    throw ETdbEngine(tdbErrReadFile, journalName);
  }
  const TClearJournal found = ParseClearJournal(bytes);
  const std::string directory = PhysicalDirectory();
  if (found.Whole && found.State == kClearDecided) {
    for (const std::string& name : found.Names) {
      const std::string target = directory + name;
      if (FFileSystem.FileExists(target + kEmptiedFileSuffix) &&
          !FFileSystem.ReplaceFile(target + kEmptiedFileSuffix, target)) {
        journal.Close();
        throw ETdbEngine(tdbErrWriteFile, target);
      }
    }
    // The renames last before the journal that calls for them goes.
    if (!FFileSystem.SyncDirectory(directory)) {
      journal.Close();
      throw ETdbEngine(tdbErrWriteFile, DirectoryDisplayName(directory));
    }
  } else {
    // Prepared: the old table stands. A journal that is not whole was cut
    // off before any empty file was written.
    for (const std::string& name : found.Names) FFileSystem.DeleteFile(directory + name + kEmptiedFileSuffix);
  }
  const bool deleted = FFileSystem.DeleteFile(journalName);
  journal.Close();
  if (!deleted) throw ETdbEngine(tdbErrWriteFile, journalName);
}

}  // namespace kestrel
