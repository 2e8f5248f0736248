// TTdbBaseTable: names, opening (table file, header, first-record check,
// memo and blob files, redo-log recovery), closing, the lock counters,
// flushing, undoing and reloading.
#include "engine/table/base_table.h"

#include <exception>

#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager.h"
#include "engine/cache/page_manager_error.h"
#include "engine/cache/page_site.h"
#include "engine/cache/paged_bytes.h"
#include "engine/fs/file_system.h"
#include "engine/index/collation.h"
#include "engine/index/index_names.h"
#include "engine/table/blob_file.h"
#include "engine/table/bplus_journal.h"
#include "engine/table/bplus_table_header.h"
#include "engine/table/bplus_table_file.h"
#include "engine/table/header_bytes.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/memo_file.h"
#include "engine/table/redo_log.h"
#include "engine/table/table_file_names.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

// Bytes read with the first look at a table file.
constexpr std::size_t kHeaderPrefixSize = 8192;
constexpr std::size_t kMagicSize = 4;

// More header bytes come from the table file through the data file.
class TDataFileByteSource final : public ITdbByteSource {
 public:
  explicit TDataFileByteSource(TTdbDataFile& file) : FFile(file) {}
  void ReadAt(uint64_t offset, std::span<uint8_t> dest) override {
    FFile.ReadBytes(static_cast<std::int64_t>(offset), dest.data(), dest.size(), false);
  }

 private:
  TTdbDataFile& FFile;
};

std::int64_t LoadUnsigned(const std::uint8_t* bytes, int size) {
  std::int64_t value = 0;
  for (int b = size - 1; b >= 0; --b) value = value << 8 | bytes[b];
  return value;
}

}  // namespace

TTdbBaseTable::TTdbBaseTable(TTdbPageManager& pageManager, TdwFileSystem& fileSystem, int clientHdl)
    : FPageManager(pageManager), FFileSystem(fileSystem), FClientHdl(clientHdl) {}

TTdbBaseTable::~TTdbBaseTable() {
  try {
    Close();
  } catch (const ETdbEngine&) {
    // The destructor cannot report; Close has released everything.
  }
  LogOutOfLockFile();
}

// --- Names ---------------------------------------------------------------

void TTdbBaseTable::SetFileName(const std::string& fileName) {
  FFileName = fileName;
  FStdName = CalcStdTableName(fileName);
}

std::string TTdbBaseTable::FullName() const {
  const std::size_t slash = FFileName.find_last_of('/');
  return slash == std::string::npos ? FFileName : FFileName.substr(slash + 1);
}

std::string TTdbBaseTable::Name() const {
  std::string name = FullName();
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::string TTdbBaseTable::PhysicalDirectory() const {
  const std::size_t slash = FFileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : FFileName.substr(0, slash + 1);
}

std::string TTdbBaseTable::MemoFileName() const {
  return PhysicalDirectory() + Name() + MemoFileExtension(FLevel);
}

std::string TTdbBaseTable::BlobFileName() const {
  return PhysicalDirectory() + Name() + BlobFileExtension(FLevel);
}

std::string TTdbBaseTable::RedoLogFileName() const {
  return PhysicalDirectory() + Name() +
         (FLevel >= kMaxTableLevel ? kRedoLogExtensionLevel6 : kRedoLogExtension);
}

std::vector<std::string> TTdbBaseTable::GetFileNames() const {
  std::vector<std::string> names{FFileName};
  if (FHasMemo) names.push_back(MemoFileName());
  if (FHasBlob) names.push_back(BlobFileName());
  for (const auto& slot : FIndexFiles)
    if (slot && FFileSystem.FileExists(IndexFileName(slot->Name))) names.push_back(IndexFileName(slot->Name));
  for (const std::string& relation : RelationTableFileNames())
    if (FFileSystem.FileExists(relation)) names.push_back(relation);
  return names;
}

bool TTdbBaseTable::Active() const { return FDataFile && FDataFile->IsOpen(); }

std::int32_t TTdbBaseTable::RecordCount() const { return Active() ? FDataFile->GetRecordCount() : 0; }

TTdbHeapDataFile& TTdbBaseTable::Heap() const { return static_cast<TTdbHeapDataFile&>(*FDataFile); }

void TTdbBaseTable::RequireActive() const {
  if (!Active()) throw ETdbEngine(tdbErrCloseFile, FFileName);
}

void TTdbBaseTable::RequireRight(TTdbRights right) const {
  if ((FRights & right) == 0) throw ETdbEngine(tdbErrNoWritePermission, FullName());
}

void TTdbBaseTable::RequireChangeable() const {
  // Check constraints and foreign keys are checked by the installed
  // checker; without one no change may pass them unchecked.
  if (FHasConstraints && !FConstraintChecker)
    throw ETdbEngine(tdbErrNotSupported, "changing table " + FStdName +
                                             " without a checker of its check constraints and foreign keys");
}

std::unique_ptr<TTdbClientStorage> TTdbBaseTable::NewClientStorage(const std::string& name,
                                                                   const TdwCryptor* cryptor) const {
  auto storage = std::make_unique<TTdbClientStorage>(FPageManager, FFileSystem, FClientHdl, cryptor);
  storage->SetName(name);
  return storage;
}

void TTdbBaseTable::RaiseOpenError(const std::exception_ptr& error, const std::string& fileName) const {
  try {
    std::rethrow_exception(error);
  } catch (const ETdbPMStorageNotFound&) {
    throw ETdbEngine(tdbErrFileNotFound, fileName);
  } catch (const ETdbPMStorageAccessDenied&) {
    throw ETdbEngine(tdbErrNoWriteAccess, fileName);
  } catch (const ETdbPageManager&) {
    throw ETdbEngine(tdbErrCannotOpenFile, fileName);
  }
}

// --- Opening -------------------------------------------------------------

void TTdbBaseTable::Open(bool force) {
  std::lock_guard guard(FLockingMutex);
  if (Active()) return;
  if (!FFileSystem.FileExists(FFileName)) throw ETdbEngine(tdbErrFileNotFound, FFileName);
  LogInToLockFile();
  try {
    OpenFiles(force);
    FStdName = CalcStdTableName(FullName());
  } catch (...) {
    CloseFiles();
    LogOutOfLockFile();
    throw;
  }
}

void TTdbBaseTable::OpenFiles(bool force) {
  bool logLeft = !FLockFile;
  if (FLockFile && TTdbBPlusJournal::IsPresent(FFileSystem, BPlusJournalFileName())) {
    // A flush of a B+ tree table file cut short: put back under the write
    // lock, which a live flusher holds until its journal is gone, so the
    // programs that keep the table open need not close it first.
    TTdbTableLock write(*this, tltWrite);
    RestoreDeadFlush();
  }
  {
    TTdbTableLock read(*this, tltRead);
    OpenDataFile();
    ComputeColumnSummary();
    BuildIndexTable();
    CheckFirstRecord();
    OpenBlockFiles(force);
    // A live program keeps the write lock while its transaction runs, so a
    // redo log seen under this read lock is a dead program's.
    if (FLockFile) logLeft = TTdbRedoLog::IsPresent(FFileSystem, RedoLogFileName());
  }
  FHijackPending = false;
  if (!logLeft) return;
  if (ReadOnly() && TTdbRedoLog::IsPresent(FFileSystem, RedoLogFileName())) {
    RecoverWithWriteAccess(force);
    return;
  }
  TTdbTableLock write(*this, FLockFile && !ReadOnly() ? tltWrite : tltNone);
  RecoverRedoLog();
}

void TTdbBaseTable::OpenDataFile() {
  FinishClearLeftBehind();
  RestoreBPlusJournal();
  auto storage = NewClientStorage(FFileName);
  try {
    storage->Open(ReadOnly(), Exclusive());
  } catch (const ETdbPageManager&) {
    RaiseOpenError(std::current_exception(), FFileName);
  }
  const std::int64_t fileSize = storage->GetSize();
  std::uint8_t magic[kMagicSize] = {};
  if (fileSize >= static_cast<std::int64_t>(kMagicSize)) {
    try {
      ReadPagedBytes(*storage->CreatePageSite(), 0, magic, kMagicSize);
    } catch (const ETdbEngine&) {
      throw ETdbEngine(tdbErrReadFile, FFileName);
    }
  }
  if (TableFileKind(magic) == tfkBPlusTree)
    FDataFile = std::make_unique<TTdbBPlusTableFile>(std::move(storage), FCryptor);
  else
    FDataFile = std::make_unique<TTdbHeapDataFile>(std::move(storage), FCryptor);
  const std::vector<std::uint8_t> prefix = ReadHeaderPrefix(fileSize);
  TDataFileByteSource more(*FDataFile);
  if (BPlusFile()) {
    OpenBPlusHeader(prefix, static_cast<uint64_t>(fileSize), &more);
    return;
  }
  FHeader = ReadHeaderWithKey(prefix, static_cast<uint64_t>(fileSize), &more);
  FLevel = FHeader.Level;
  FCapacity = FHeader.Capacity;
  FCollationName = FHeader.CollationName;
  FColumnDefs = FHeader.Columns;
  FHasConstraints = !FHeader.CheckDefs.empty() || !FHeader.ForeignKeyDefs.empty();
  Heap().Attach({static_cast<std::int64_t>(FHeader.RecordsOffset), FHeader.RecordSize(),
                 static_cast<std::int64_t>(RecordCountOffset(FLevel))});
  if (FHeader.RecordCountLowered && !ReadOnly()) {
    // The file holds fewer whole records than its header said: keep the count
    // that the records bear out.
    std::uint8_t count[4];
    for (int b = 0; b < 4; ++b)
      count[b] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(FHeader.RecordCount) >> (8 * b));
    FDataFile->WriteBytes(static_cast<std::int64_t>(RecordCountOffset(FLevel)), count, sizeof count, false);
    FDataFile->Flush();
  }
}

std::vector<std::uint8_t> TTdbBaseTable::ReadHeaderPrefix(std::int64_t fileSize) {
  std::vector<std::uint8_t> prefix(static_cast<std::size_t>(
      std::min<std::int64_t>(fileSize, static_cast<std::int64_t>(kHeaderPrefixSize))));
  if (prefix.size() < kMagicSize)
    throw ETdbEngine(tdbErrPlain, "The table file \"" + FFileName + "\" is empty or too short to be a table");
  FDataFile->ReadBytes(0, prefix.data(), prefix.size(), false);
  return prefix;
}

TTdbTableHeader TTdbBaseTable::ReadStoredHeader() {
  const std::int64_t fileSize = FDataFile->Storage().GetSize();
  const std::vector<std::uint8_t> prefix = ReadHeaderPrefix(fileSize);
  TDataFileByteSource more(*FDataFile);
  if (BPlusFile()) {
    TTdbHeaderReader reader(prefix, static_cast<uint64_t>(fileSize), &more, FFileName);
    return ReadBPlusTableHeader(reader, nullptr);
  }
  return ReadHeaderWithKey(prefix, static_cast<uint64_t>(fileSize), &more);
}

void TTdbBaseTable::ComputeColumnSummary() {
  FHasMemo = FHasBlob = false;
  FRecordIdFieldNo = 0;
  for (std::size_t i = 0; i < FColumnDefs.Count(); ++i) {
    const TTdbColumnType type = FColumnDefs[i].DataType.ColumnType();
    if (type == tctMemo) FHasMemo = true;
    if (type == tctBlob || type == tctWideMemo) FHasBlob = true;
    if (type == tctRecordId && FRecordIdFieldNo == 0) FRecordIdFieldNo = static_cast<int>(i) + 1;
  }
  FRecBuffer.assign(static_cast<std::size_t>(RecordSize()), 0);
}

void TTdbBaseTable::BuildIndexTable() {
  FIndexTable = TTdbIndexTable{};
  FIndexTable.FLevel = FLevel;
  FIndexTable.FRecordSize = static_cast<uint32_t>(RecordSize());
  for (const TTdbColumnDef& column : FColumnDefs) {
    TTdbIndexColumn indexColumn;
    indexColumn.FName = column.Name;
    indexColumn.FColumnType = column.DataType.ColumnType();
    indexColumn.FOffset = static_cast<uint32_t>(column.Position);
    indexColumn.FSize = static_cast<uint16_t>(column.Size);
    indexColumn.FHasNullByte = column.DataType.HasNullByte();
    const std::u16string& collation =
        column.DataType.CollationName().empty() ? FCollationName : column.DataType.CollationName();
    const bool text = indexColumn.FColumnType == tctString || indexColumn.FColumnType == tctWideString ||
                      indexColumn.FColumnType == tctChar;
    if (text && !collation.empty()) indexColumn.FCollation = &GetCollation(collation);
    FIndexTable.FColumns.push_back(indexColumn);
  }
}

void TTdbBaseTable::CheckFirstRecord() {
  if (FDataFile->GetRecordCount() == 0) return;
  try {
    FDataFile->ReadRecord(FDataFile->GetFirstRecordNo(), FRecBuffer);
  } catch (const ETdbEngine&) {
    // A B+ tree table file is never encrypted: a failed read is damage.
    if (BPlusFile()) throw;
    throw ETdbEngine(tdbErrCredentials);
  }
  const std::span<const std::uint8_t> record(FRecBuffer);
  for (std::size_t i = 0; i < FColumnDefs.Count(); ++i) {
    const TTdbDataType& type = FColumnDefs[i].DataType;
    const std::span<const std::uint8_t> column = FColumnDefs.ColumnBytes(record, i);
    if (IsNullValue(type, column)) continue;
    bool wrong = false;
    switch (type.ColumnType()) {
      case tctString:
      case tctWideString: {
        const int prefix = type.LengthPrefixSize();
        wrong = LoadUnsigned(column.data() + type.ValueOffset(), prefix) > type.MaxLength();
        break;
      }
      case tctEnum: {
        const TTdbValue value = ReadValue(type, column);
        wrong = std::get<int64_t>(value) > static_cast<int64_t>(type.EnumNames().size());
        break;
      }
      case tctRecordId:
      case tctLink: {
        const TTdbValue value = ReadValue(type, column);
        wrong = std::holds_alternative<int64_t>(value) && std::get<int64_t>(value) < 0;
        break;
      }
      case tctTime: {
        const TTdbValue value = ReadValue(type, column);
        wrong = std::holds_alternative<TTdbTime>(value) && std::get<TTdbTime>(value).Ticks < 0;
        break;
      }
      case tctDateTime: {
        const TTdbValue value = ReadValue(type, column);
        wrong = std::holds_alternative<TTdbTimeStamp>(value) &&
                (std::get<TTdbTimeStamp>(value).Date < 0 || std::get<TTdbTimeStamp>(value).Milliseconds < 0);
        break;
      }
      default:
        break;
    }
    if (wrong) throw ETdbEngine(tdbErrCredentials);
  }
}

void TTdbBaseTable::OpenBlockFiles(bool force) {
  if (FHasMemo) {
    FMemo = std::make_unique<TTdbMemoFile>(NewClientStorage(MemoFileName()), FCryptor, Name());
    FMemo->SetVersion(FLevel);
    try {
      FMemo->Open(ReadOnly(), Exclusive());
    } catch (const ETdbEngine&) {
      FMemo.reset();
      if (!force) throw ETdbEngine(tdbErrOpenMemo, MemoFileName());
    }
  }
  if (FHasBlob) {
    FBlob = std::make_unique<TTdbBlobFile>(NewClientStorage(BlobFileName()), FCryptor, Name());
    FBlob->SetVersion(FLevel);
    try {
      FBlob->Open(ReadOnly(), Exclusive());
    } catch (const ETdbEngine&) {
      FBlob.reset();
      if (!force) throw ETdbEngine(tdbErrOpenBlob, BlobFileName());
    }
  }
}

void TTdbBaseTable::RecoverRedoLog() {
  // Without a lock file this program is the table's only user, so a log left
  // behind belongs to a program that ended in the middle of a transaction.
  auto log = std::make_unique<TTdbRedoLog>(FFileSystem, RedoLogFileName());
  if (!log->OpenExisting()) return;
  ReplayRedoLog(*log);
  log->Erase();
}

void TTdbBaseTable::RecoverWithWriteAccess(bool force) {
  // A reader finds the log of an unfinished transaction: when the files may
  // be written, it rolls the transaction back with write access and then
  // opens the table again as it was asked to.
  const TTdbRights rights = FRights;
  CloseFiles();
  FRights = rights | kAccessRightsMask;
  struct TRightsBack {
    TTdbBaseTable& Table;
    TTdbRights Rights;
    ~TRightsBack() { Table.FRights = Rights; }
  } rightsBack{*this, rights};
  auto log = std::make_unique<TTdbRedoLog>(FFileSystem, RedoLogFileName());
  try {
    TTdbTableLock read(*this, tltRead);
    OpenDataFile();
    ComputeColumnSummary();
    BuildIndexTable();
    OpenBlockFiles(force);
    if (!log->OpenExisting()) log.reset();
  } catch (const ETdbEngine& e) {
    CloseFiles();
    throw ETdbEngine(tdbErrPlain, "Table \"" + FullName() +
                                      "\" was left by a program that ended in the middle of a transaction, and "
                                      "rolling that back needs write access (" +
                                      e.Message() + "). Open the table once with write access.");
  }
  if (log) {
    ReplayRedoLog(*log);
    log->Erase();
  }
  Flush();
  CloseFiles();
  FRights = rights;
  OpenFiles(force);
}

// --- Setup and closing ---------------------------------------------------

void TTdbBaseTable::RegisterIndexes() {
  for (auto& slot : FIndexFiles)
    if (slot) CloseIndexSlot(*slot);
  FIndexFiles.clear();
  FLastIndexNo = -1;
  for (const std::u16string& name : FHeader.IndexNames) {
    const TTdbIndexKind kind = GetIndexKind(name, FLevel);
    // Full-text indexes (".ift") are not kept by this engine and are skipped.
    if (kind != tikUser && kind != tikTemporary) continue;
    InitIndex(name, nullptr);
  }
}

void TTdbBaseTable::Setup(bool force) {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  RegisterIndexes();
  SetupKeyIndexes();
  for (int no = 0; no <= FLastIndexNo; ++no) {
    if (!HasIndex(no)) continue;
    try {
      CheckIndexOpen(no);
    } catch (const ETdbEngine&) {
      // The index stays registered and lost; every use reports 95.
    }
  }
  if (FConstraintChecker && !force) FConstraintChecker->Prepare(*this);
}

void TTdbBaseTable::Close() {
  std::lock_guard guard(FLockingMutex);
  if (!Active()) return;
  std::exception_ptr error;
  if (FInTransaction) {
    try {
      UndoModifications();
    } catch (const ETdbEngine&) {
      error = std::current_exception();
    }
  }
  if (!error) DropTemporaryIndexes();
  CloseRelationTables();
  if (FWriteError != 0) error = std::make_exception_ptr(ETdbEngine(tdbErrWriteFile, FStdName));
  // With a lock file every change was flushed when its write lock ended;
  // only a write lock still held may have changes to write.
  if (!ReadOnly() && (!FLockFile || FUnlockAction == tltWrite)) {
    try {
      Flush();
    } catch (const ETdbEngine&) {
      if (!error) error = std::current_exception();
    }
  }
  // Changes that cannot be written are dropped, so the storages close; the
  // change log then stays on disk when it protects half-written pages.
  if (error) Undo();
  try {
    CloseChangeLog();
  } catch (const ETdbEngine&) {
    if (!error) error = std::current_exception();
  }
  ReleaseSharedLocks();
  CloseFiles();
  LogOutOfLockFile();
  if (error) std::rethrow_exception(error);
}

void TTdbBaseTable::CloseFiles() noexcept {
  if (FConstraintChecker) FConstraintChecker->Forget(*this);
  FKeyIndexNos.clear();
  FPrimIndexNo = -1;
  for (auto& slot : FIndexFiles)
    if (slot) CloseIndexSlot(*slot);
  FIndexFiles.clear();
  FLastIndexNo = -1;
  FMemo.reset();
  FBlob.reset();
  FDataFile.reset();
  FRedoLog.reset();
  FChangeLog.reset();
  FInTransaction = false;
  FTransactionWriteLock = false;
  FRollingBack = false;
  FReadLocks = FUpgradeLocks = FWriteLocks = FExclusiveLocks = 0;
  FWriteError = 0;
  FCryptor.Reset();
  FRecBuffer.clear();
}

// --- Flush, undo, reload -------------------------------------------------

void TTdbBaseTable::Flush() {
  std::lock_guard guard(FLockingMutex);
  RequireActive();
  if (FInTransaction) FTransactionFlushed = true;
  try {
    // The log of every change is on disk before any page of the change: one
    // sync per flush for all the entries collected since the last one.
    const bool secure = (FRights & kRightSecureFlush) != 0;
    if (FRedoLog) FRedoLog->Sync();
    WriteChangeLog();
    // The table file (the record count) goes first when changing and last
    // when undoing: a program that dies between the files leaves records
    // whose index items and chains may be missing, which an undo passes over,
    // never index items or chains of records beyond the count, which an undo
    // would not find.
    if (!FRollingBack) FDataFile->Flush();
    if (FBlob) FBlob->Flush();
    if (FMemo) FMemo->Flush();
    for (auto& slot : FIndexFiles)
      if (slot && slot->IsOpen()) slot->File->Flush();
    if (FRollingBack) FDataFile->Flush();
    // A transaction's log is only as good as the pages it undoes, so they
    // are committed on every flush while one runs. With secure flushing
    // every flush commits (a rollback then commits each undone step before
    // it cuts the log); otherwise a rollback commits once at its end, and
    // every 1000th flush starts writing the files back without waiting: the
    // default mode promises nothing after an operating-system crash, and a
    // sync here would make one ordinary change wait for every page the
    // flushes before it left in the system's cache.
    if (secure || FInTransaction) {
      CommitFiles();
    } else if (!FRollingBack && FFlushCounter + 1 >= kFlushesPerDirUpdate) {
      StartFilesWriteBack();
    } else {
      ++FFlushCounter;
    }
    // Every page is written: the changes the change log protected are whole.
    ClearChangeLog();
    FWriteError = 0;
    if (FWriteLocks == 0) FFlushDue = false;
  } catch (const ETdbEngine&) {
    FWriteError = tdbErrWriteFile;
    throw ETdbEngine(tdbErrWriteFile, FStdName);
  }
}

void TTdbBaseTable::CommitFiles() {
  // In the order in which Flush writes the files. A file with nothing
  // written since its last commit is not synced again.
  if (!FRollingBack) FDataFile->UpdateDir();
  for (auto& slot : FIndexFiles)
    if (slot && slot->IsOpen()) slot->Storage->UpdateDir();
  if (FBlob) FBlob->UpdateDir();
  if (FMemo) FMemo->UpdateDir();
  if (FRollingBack) FDataFile->UpdateDir();
  FFlushCounter = 0;
}

void TTdbBaseTable::StartFilesWriteBack() noexcept {
  FDataFile->Storage().StartWriteBack();
  for (auto& slot : FIndexFiles)
    if (slot && slot->IsOpen()) slot->Storage->StartWriteBack();
  if (FBlob) FBlob->StartWriteBack();
  if (FMemo) FMemo->StartWriteBack();
  FFlushCounter = 0;
}

void TTdbBaseTable::FlushWhenCacheFull() noexcept {
  if (FWriteLocks <= 1 || !FPageManager.NeedsFlush()) return;
  try {
    Flush();
  } catch (const ETdbEngine&) {
    // Kept in FWriteError.
  }
}

void TTdbBaseTable::Undo() {
  std::lock_guard guard(FLockingMutex);
  if (FDataFile && FDataFile->IsOpen()) {
    try {
      FDataFile->Undo();
    } catch (const ETdbEngine&) {
    }
  }
  try {
    if (FBlob) FBlob->Undo();
    if (FMemo) FMemo->Undo();
  } catch (const ETdbEngine&) {
  }
  for (auto& slot : FIndexFiles)
    if (slot && slot->Storage && slot->Storage->IsOpen()) slot->Storage->Undo();
  RefreshIndexes();
}

}  // namespace kestrel
