// The table object's part in sharing a table with other programs and
// sessions: log-in to the lock file, the Begin and End operations of the
// table locks with their lazy release, reloading after another program's
// change (with the record moves it logged), record edit locks, exclusive
// use, and rolling back the transaction of a program that died.
#include <algorithm>

#include "engine/base/engine_error.h"
#include "engine/index/index_names.h"
#include "engine/table/base_table.h"
#include "engine/table/blob_file.h"
#include "engine/table/bplus_journal.h"
#include "engine/table/heap_data_file.h"
#include "engine/table/memo_file.h"
#include "engine/table/redo_log.h"
#include "engine/table/table_index_slot.h"

namespace kestrel {

namespace {

// A lock no counter needs is given back this long after the last End call.
constexpr std::uint64_t kUnlockDelayMs = 10;
// One End call in this many gives the lock back at once, so a table that is
// never idle still lets others in now and then.
constexpr std::uint32_t kEarlyReleaseOdds = 3000;
constexpr std::uint32_t kEarlyReleasePauseMs = 5;
constexpr int kUnlockMutexTries = 3;

}  // namespace

void TTdbBaseTable::SetSharing(std::shared_ptr<TdwFileSystem> lockFileSystem, TdwClock& clock,
                               std::int64_t sessionId, std::u16string sessionName) {
  FLockFileSystem = std::move(lockFileSystem);
  FClock = &clock;
  FSessionId = sessionId;
  FSessionName = std::move(sessionName);
}

// --- Log-in and log-out ---------------------------------------------------

void TTdbBaseTable::LogInToLockFile() {
  constexpr TTdbRights kSharedReadOnly = 0x0400;
  if (!FLockFileSystem || Exclusive() || (FRights & kSharedReadOnly) != 0) return;
  auto lockFile = std::make_unique<TTdbLockFile>(*FLockFileSystem, *FClock);
  std::u16string name = FSessionName;
  if (name.empty()) {
    const std::string generated = "Conn" + std::to_string(FClock->Random(999) + 1);
    name.assign(generated.begin(), generated.end());
    FSessionName = name;
  }
  lockFile->SetSession(FSessionId, name);
  lockFile->SetOnHijack([this] { FHijackPending = true; });
  lockFile->LogIn(FLockFileSystem->ExpandFileName(FFileName));
  FLockFile = std::move(lockFile);
  FUnlockAction = tltNone;
  FEditLocks = 0;
  FEditRecNo = 0;
  FUnlockTime = FClock->GetTickCount();
  FUnlockActive = true;
  TTdbUnlockThread::Instance().Register(this);
}

void TTdbBaseTable::ReleaseSharedLocks() noexcept {
  FUnlockActive = false;
  if (FEditLocks > 0 && FLockFile && FEditRecNo > 0) {
    try {
      FLockFile->UnlockRecord();
    } catch (const ETdbEngine&) {
    }
  }
  FEditLocks = 0;
  FEditRecNo = 0;
  FReadLocks = FUpgradeLocks = FWriteLocks = 0;
  while (FExclusiveLocks > 0) {
    FExclusiveLocks = 1;
    EndExclusive();
  }
  try {
    AdjustLockLevel();
  } catch (const ETdbEngine&) {
    // Log-out clears the slot and corrects the counts anyway.
  }
}

void TTdbBaseTable::LogOutOfLockFile() noexcept {
  if (!FLockFile) return;
  TTdbUnlockThread::Instance().Unregister(this);
  std::lock_guard guard(FLockingMutex);
  FUnlockActive = false;
  try {
    FLockFile->LogOut();
  } catch (const ETdbEngine&) {
    // The slot dies with the handle; the next scan clears it.
  }
  FLockFile.reset();
  FUnlockAction = tltNone;
  FNoForeignEditLocks = false;
  FHijackPending = false;
}

// --- Table locks ----------------------------------------------------------

void TTdbBaseTable::MarkUnlockTime() {
  if (FClock) FUnlockTime = FClock->GetTickCount();
}

void TTdbBaseTable::AdjustLockLevel() {
  std::lock_guard guard(FLockingMutex);
  TTdbTableLockType needed = tltNone;
  if (FWriteLocks >= 1)
    needed = tltWrite;
  else if (FUpgradeLocks >= 1)
    needed = tltUpgrade;
  else if (FReadLocks > 0)
    needed = tltRead;
  if (needed >= FUnlockAction) return;
  if (FUnlockAction == tltWrite && Active() && !ReadOnly()) {
    // The outermost EndWrite has flushed already unless that flush failed.
    if (FFlushDue) {
      try {
        Flush();
      } catch (const ETdbEngine&) {
        // Kept in FWriteError for the next BeginWrite and for Close; the
        // changes that could not be written are dropped with the lock.
        Undo();
      }
    }
    // Others may write once the lock is given back, with their own change
    // logs of this name: the emptied log goes (one that still protects
    // half-written pages stays, for whoever takes the write lock next).
    if (FLockFile) {
      try {
        CloseChangeLog();
      } catch (const ETdbEngine&) {
        // An emptied log left behind undoes nothing for whoever finds it.
      }
    }
  }
  if (FLockFile) FLockFile->UnlockTable(FUnlockAction, needed);
  if (needed < tltWrite) FNoForeignEditLocks = false;
  FUnlockAction = needed;
}

void TTdbBaseTable::EarlyRelease() {
  const TTdbTableLockType held = FUnlockAction;
  AdjustLockLevel();
  // The pause lets a program that waits for a lock take what was given back
  // before this one takes it again. Nobody waiting (the header as read while
  // giving the lock back shows no waiter), or nothing given back because an
  // outer lock still needs the level held (a walk releases an inner read lock
  // per record): the pause would only slow this program down. A program that
  // starts waiting later is seen at the next early release; a waiting writer
  // also keeps new readers out, so a reader that never pauses cannot take the
  // lock again before it.
  if (FUnlockAction != held && FLockFile && FLockFile->TableLockWaiters() > 0) FClock->Sleep(kEarlyReleasePauseMs);
}

bool TTdbBaseTable::HasTableChanged() const {
  return FLockFile && (FLockFile->TableChangeCount() > FLockFile->SessionChangeCount() ||
                       FLockFile->TableIndexCount() > IndexCount());
}

void TTdbBaseTable::BeginRead(bool wait) {
  std::lock_guard guard(FLockingMutex);
  bool fromFile = false;
  if (FReadLocks == 0 && FUpgradeLocks == 0 && FWriteLocks == 0 && FUnlockAction == tltNone) {
    if (FLockFile) {
      if (!FLockFile->LockTable(tltNone, tltRead, !wait)) throw ETdbEngine(tdbErrTableLocked);
      fromFile = true;
    }
    FUnlockAction = tltRead;
  }
  if (fromFile && Active() && (HasTableChanged() || FHijackPending) && DeadTransactionLeft()) {
    RollBackBeforeReading(wait);
    ++FReadLocks;
    return;
  }
  ++FReadLocks;
  if (fromFile && HasTableChanged()) {
    try {
      UpdateTable();
    } catch (...) {
      EndRead();
      throw;
    }
  }
}

void TTdbBaseTable::EndRead() {
  std::lock_guard guard(FLockingMutex);
  if (FReadLocks > 0) --FReadLocks;
  // Only the last read lock's release starts the unlock delay: a walk that
  // holds an outer read lock releases an inner one per record, and reading
  // the clock each time would cost more than the record itself.
  if (FReadLocks == 0) MarkUnlockTime();
  if (!FLockFile) return;
  if (FClock->Random(kEarlyReleaseOdds) == 0) EarlyRelease();
}

void TTdbBaseTable::BeginUpgrade(bool wait) {
  std::lock_guard guard(FLockingMutex);
  if (FWriteLocks < 1 && FUpgradeLocks < 1 && FReadLocks > 0 && FLockFile) throw ETdbEngine(tdbErrTableLocked);
  bool waited = false;
  if (FUpgradeLocks == 0 && FWriteLocks == 0 && FUnlockAction <= tltRead) {
    if (FLockFile) {
      bool granted = false;
      if (FUnlockAction == tltRead) {
        granted = FLockFile->LockTable(tltRead, tltUpgrade, true);
        if (!granted) AdjustLockLevel();
      }
      if (!granted) {
        if (!FLockFile->LockTable(FUnlockAction, tltUpgrade, !wait)) throw ETdbEngine(tdbErrTableLocked);
        waited = true;
      }
    }
    FUnlockAction = tltUpgrade;
  }
  if (waited && Active() && (HasTableChanged() || FHijackPending) && DeadTransactionLeft()) {
    RollBackBeforeReading(wait);
    ++FUpgradeLocks;
    return;
  }
  ++FUpgradeLocks;
  if (waited && HasTableChanged()) {
    try {
      UpdateTable();
    } catch (...) {
      EndUpgrade();
      throw;
    }
  }
}

void TTdbBaseTable::EndUpgrade() {
  std::lock_guard guard(FLockingMutex);
  if (FUpgradeLocks > 0) --FUpgradeLocks;
  MarkUnlockTime();
  if (FLockFile && FClock->Random(kEarlyReleaseOdds) == 0) EarlyRelease();
}

void TTdbBaseTable::BeginWrite(bool wait) {
  std::lock_guard guard(FLockingMutex);
  if (FWriteError != 0) {
    FWriteError = 0;
    throw ETdbEngine(tdbErrWriteFile, FStdName);
  }
  if (FWriteLocks < 1 && FUpgradeLocks < 1 && FReadLocks > 0 && FLockFile) throw ETdbEngine(tdbErrTableLocked);
  bool waited = false, fromFile = false;
  if (FWriteLocks == 0 && FUnlockAction < tltWrite) {
    if (FLockFile) {
      bool granted = false;
      if (FUnlockAction == tltRead) {
        granted = FLockFile->LockTable(tltRead, tltWrite, true);
        if (!granted) AdjustLockLevel();
      }
      if (!granted) {
        if (!FLockFile->LockTable(FUnlockAction, tltWrite, !wait)) throw ETdbEngine(tdbErrTableLocked);
        waited = true;
      }
      fromFile = true;
    }
    FUnlockAction = tltWrite;
  }
  ++FWriteLocks;
  FFlushDue = true;
  try {
    if (fromFile && (HasTableChanged() || FHijackPending)) {
      if (waited) UpdateTable();
      RollBackDeadTransaction();
    }
    if (FInTransaction && !FRedoLog && !FRollingBack) {
      CreateRedoLog();
      if (FLockFile) {
        ++FWriteLocks;
        FTransactionWriteLock = true;
      }
    }
  } catch (...) {
    EndWrite();
    throw;
  }
}

void TTdbBaseTable::EndWrite() {
  std::lock_guard guard(FLockingMutex);
  MarkUnlockTime();
  if (FWriteLocks == 0 || --FWriteLocks > 0 || !Active()) return;
  try {
    Flush();
  } catch (const ETdbEngine&) {
    // Kept in FWriteError for the next BeginWrite and for Close.
  }
  if (FLockFile && FClock->Random(kEarlyReleaseOdds) == 0) EarlyRelease();
}

void TTdbBaseTable::BeginExclusive() {
  std::lock_guard guard(FLockingMutex);
  if (FExclusiveLocks == 0 && FLockFile) {
    if (!FLockFile->LockExclusive()) throw ETdbEngine(tdbErrTableInUse, FStdName);
    FUnlockActive = false;
    try {
      AdjustLockLevel();
    } catch (...) {
      FLockFile->UnlockExclusive();
      FUnlockActive = true;
      throw;
    }
    ++FExclusiveLocks;
    if (HasTableChanged()) UpdateTable();
    return;
  }
  ++FExclusiveLocks;
}

void TTdbBaseTable::EndExclusive() {
  std::lock_guard guard(FLockingMutex);
  if (FExclusiveLocks == 0 || --FExclusiveLocks > 0) return;
  if (Active() && !ReadOnly()) {
    try {
      Flush();
    } catch (const ETdbEngine&) {
    }
  }
  if (FLockFile) {
    FLockFile->UnlockExclusive();
    MarkUnlockTime();
    FUnlockActive = true;
  }
}

bool TTdbBaseTable::FlushWouldMeetOperation() const {
  return FUnlockAction == tltWrite && FFlushDue && (FReadLocks > 0 || FUpgradeLocks > 0 || FWriteLocks > 0);
}

void TTdbBaseTable::CheckUnlock(std::uint64_t ticks) noexcept {
  if (!FUnlockActive || FUnlockAction == tltNone) return;
  if (ticks >= FUnlockTime && ticks < FUnlockTime + kUnlockDelayMs) return;
  for (int attempt = 0; attempt < kUnlockMutexTries; ++attempt) {
    if (FLockingMutex.try_lock()) {
      try {
        if (FUnlockActive && !FlushWouldMeetOperation()) AdjustLockLevel();
      } catch (...) {
      }
      FLockingMutex.unlock();
      return;
    }
    if (FClock) FClock->Sleep(kEarlyReleasePauseMs);
  }
}

TTdbTableLock::TTdbTableLock(TTdbBaseTable& table, TTdbTableLockType type) : FTable(table), FType(type) {
  switch (type) {
    case tltRead:
      table.BeginRead();
      break;
    case tltUpgrade:
      table.BeginUpgrade();
      break;
    case tltWrite:
      table.BeginWrite();
      break;
    case tltExclusive:
      table.BeginExclusive();
      break;
    case tltNone:
      break;
  }
}

TTdbTableLock::~TTdbTableLock() {
  switch (FType) {
    case tltRead:
      FTable.EndRead();
      break;
    case tltUpgrade:
      FTable.EndUpgrade();
      break;
    case tltWrite:
      FTable.EndWrite();
      break;
    case tltExclusive:
      FTable.EndExclusive();
      break;
    case tltNone:
      break;
  }
}

// --- Reloading ------------------------------------------------------------

void TTdbBaseTable::UpdateTable() {
  std::lock_guard guard(FLockingMutex);
  if (!Active() || FUpdating) return;
  FUpdating = true;
  struct TUpdatingEnd {
    bool& Flag;
    ~TUpdatingEnd() { Flag = false; }
  } updatingEnd{FUpdating};
  TTdbTableLock read(*this, tltRead);
  const std::int64_t caughtUp = FLockFile ? FLockFile->SessionChangeCount() : 0;
  try {
    // A new lock file counts no indexes: only a count above this table's
    // own announces indexes another program added.
    ReloadFiles(FLockFile && FLockFile->TableIndexCount() > IndexCount());
    if (FLockFile) {
      FLockFile->SetSessionChangeCount(FLockFile->TableChangeCount());
      ReplayRecordMoves();
    }
  } catch (...) {
    // The next lock tries the reload again.
    if (FLockFile) FLockFile->SetSessionChangeCount(caughtUp);
    throw;
  }
  FListeners.RelationChanged();
}

void TTdbBaseTable::ReloadFiles(bool newIndexes) {
  FDataFile->Invalidate();
  for (auto& slot : FIndexFiles)
    if (slot && slot->IsOpen()) {
      slot->Storage->Invalidate();
      slot->File->Update();
    }
  if (FMemo) FMemo->Update();
  if (FBlob) FBlob->Update();
  if (!newIndexes) return;
  std::vector<std::u16string> known = FHeader.IndexNames;
  FHeader.IndexNames = ReadStoredHeader().IndexNames;
  const std::vector<std::u16string>& stored = FHeader.IndexNames;
  if (stored == known) return;
  if (stored.size() > known.size() && std::equal(known.begin(), known.end(), stored.begin())) {
    // Added behind the known ones: the numbers of those stay as they are.
    for (std::size_t i = known.size(); i < stored.size(); ++i) {
      const TTdbIndexKind kind = GetIndexKind(stored[i], FLevel);
      if (kind == tikUser || kind == tikTemporary) InitIndex(stored[i], nullptr);
    }
    return;
  }
  RegisterIndexes();
}

void TTdbBaseTable::ReplayRecordMoves() {
  std::int32_t fromRecNo = 0, toRecNo = 0;
  while (FLockFile->ReadRecordMove(fromRecNo, toRecNo)) {
    if (fromRecNo <= 0 || toRecNo <= 0)
      throw ETdbEngine(tdbErrUnknown, "record-move log \"" + FLockFile->MoveLogName() + "\" holds record number " +
                                          std::to_string(std::min(fromRecNo, toRecNo)));
    FListeners.RecordDeleted(toRecNo, fromRecNo == toRecNo ? 0 : fromRecNo);
  }
}

bool TTdbBaseTable::CheckUpdate() {
  std::lock_guard guard(FLockingMutex);
  if (!FLockFile || !Active()) return false;
  if (!FLockFile->CheckUpdate()) return false;
  UpdateTable();
  return true;
}

// --- Record moves, edit locks, usage --------------------------------------

void TTdbBaseTable::NoteRecordMove(std::int32_t fromRecNo, std::int32_t toRecNo) {
  if (!FLockFile) return;
  if (fromRecNo != toRecNo) FLockFile->SwitchRecordLock(fromRecNo, toRecNo);
  FLockFile->AddRecordMove(fromRecNo, toRecNo);
  if (FEditLocks > 0 && FEditRecNo == fromRecNo && fromRecNo != toRecNo) FEditRecNo = toRecNo;
}

bool TTdbBaseTable::LockEditRecord(std::int32_t recNo) {
  std::lock_guard guard(FLockingMutex);
  if (!FLockFile) {
    // Nothing to share the record with: counted only.
    ++FEditLocks;
    return true;
  }
  if (FEditLocks > 0) {
    if (recNo != FEditRecNo) return false;
    ++FEditLocks;
    return true;
  }
  if (FLockFile && !FLockFile->LockRecord(recNo)) return false;
  FEditRecNo = recNo;
  ++FEditLocks;
  return true;
}

bool TTdbBaseTable::MayDeleteRecord(std::int32_t recNo) {
  std::lock_guard guard(FLockingMutex);
  if (!FLockFile) return true;
  if (FEditLocks > 0) return recNo == FEditRecNo;
  if (FWriteLocks < 1 || FUnlockAction != tltWrite) throw ETdbEngine(tdbErrTableLocked);
  if (FNoForeignEditLocks) return true;
  bool otherEdits = true;
  const bool edited = FLockFile->EditedByOther(recNo, otherEdits);
  FNoForeignEditLocks = !otherEdits;
  return !edited;
}

void TTdbBaseTable::UnlockEditRecord(std::int32_t recNo) {
  std::lock_guard guard(FLockingMutex);
  if (FEditLocks <= 0) return;
  if (!FLockFile) {
    --FEditLocks;
    return;
  }
  if (recNo != FEditRecNo) return;
  if (FEditLocks == 1) {
    if (FLockFile) FLockFile->UnlockRecord();
    FEditRecNo = 0;
  }
  --FEditLocks;
}

TTdbLockUsage TTdbBaseTable::GetUsage() {
  std::lock_guard guard(FLockingMutex);
  if (!FLockFile) {
    TTdbLockUsage usage;
    usage.UserCount = 1;
    return usage;
  }
  return FLockFile->GetLockInfo();
}

int TTdbBaseTable::NetUsers() {
  std::lock_guard guard(FLockingMutex);
  if (!FLockFile) return 0;
  return FLockFile->GetLockInfo().UserCount;
}

// --- A dead program's transaction -----------------------------------------

bool TTdbBaseTable::DeadTransactionLeft() {
  if (!FLockFile || !Active() || FRollingBack || FRedoLog) return false;
  FHijackPending = false;
  return TTdbRedoLog::IsPresent(FFileSystem, RedoLogFileName()) ||
         (BPlusFile() && TTdbBPlusJournal::IsPresent(FFileSystem, BPlusJournalFileName()));
}

void TTdbBaseTable::RollBackDeadTransaction() {
  if (!DeadTransactionLeft()) return;
  // A flush cut short comes first: the logs undo changes record by record
  // and need a tree that holds together.
  if (BPlusFile()) RestoreDeadFlush();
  if (!TTdbRedoLog::IsPresent(FFileSystem, RedoLogFileName())) return;
  if (ReadOnly())
    throw ETdbEngine(tdbErrPlain, "Table \"" + FullName() +
                                      "\" was left by a program that ended in the middle of a transaction, and "
                                      "rolling that back needs write access. Open the table once with write access.");
  // The dead program's pages may be anywhere between the cache and the
  // disk: the replay starts from the files as they are.
  ReloadFiles(true);
  RecoverRedoLog();
}

void TTdbBaseTable::RollBackBeforeReading(bool wait) {
  // Nothing counts the lock just taken yet: this gives it back.
  AdjustLockLevel();
  BeginWrite(wait);
  // The write lock stays in the file (FUnlockAction) until the unlock
  // thread lowers it to what the counters need.
  EndWrite();
}

}  // namespace kestrel
