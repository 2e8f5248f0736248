// The lock file protocol: log-in and log-out, the file mutex, clearing dead
// sessions' slots, granting table and record locks, and the move log.
#include "engine/locking/lock_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"

namespace kestrel {

namespace {

// Log-in gives up after this many rounds of a lock file that vanishes or is
// replaced under it, and takes a file shorter than its header as damaged
// after this many milliseconds.
constexpr int kLoginRounds = 1000;
constexpr std::uint64_t kShortFileGraceMs = 2000;
// The life byte is locked by nobody but its owner; a scanner of another
// implementation may hold it for a moment while it tests it.
constexpr int kLifeLockTries = 100;

}  // namespace

// Holds the file mutex for a scope.
class TTdbLockFile::TEntered {
 public:
  explicit TEntered(TTdbLockFile& file) : FFile(file) { FFile.Enter(); }
  TEntered(const TEntered&) = delete;
  TEntered& operator=(const TEntered&) = delete;
  ~TEntered() { FFile.Leave(); }

 private:
  TTdbLockFile& FFile;
};

TTdbLockFile::TTdbLockFile(TdwFileSystem& fileSystem, TdwClock& clock)
    : FFileSystem(fileSystem), FClock(clock) {}

TTdbLockFile::~TTdbLockFile() {
  try {
    LogOut();
  } catch (const ETdbEngine&) {
  }
  CloseFiles();
}

void TTdbLockFile::SetSession(std::int64_t id, std::u16string_view name) {
  FSessionId = id;
  FSessionName = SessionNameBytes(name);
}

void TTdbLockFile::Fail(int error, const std::string& detail) const {
  if (error == tdbErrNetwork || error == tdbErrLogin) throw ETdbEngine(error, detail);
  throw ETdbEngine(error, FNetName);
}

void TTdbLockFile::SleepBriefly() { FClock.Sleep(FClock.Random(5) + 2); }

// --- File mutex and raw access -------------------------------------------

void TTdbLockFile::Enter() {
  if (FEntered == 0) {
    for (;;) {
      const int locked = FFileSystem.LockFile(FNetFile, 0, 4, true);
      if (locked > 0) break;
      if (locked < 0)
        Fail(tdbErrNetwork, "the lock file's mutex cannot be locked: error " +
                                std::to_string(FFileSystem.GetLastError()));
      SleepBriefly();
    }
    try {
      ReadHeader();
      if (FSessionDataPos >= 0) ReadOwnSlot();
    } catch (...) {
      FFileSystem.UnlockFile(FNetFile, 0, 4, true);
      throw;
    }
  }
  ++FEntered;
}

void TTdbLockFile::Leave() noexcept {
  if (FEntered <= 0) return;
  if (--FEntered == 0 && IsValidHandle(FNetFile)) FFileSystem.UnlockFile(FNetFile, 0, 4, true);
}

void TTdbLockFile::ReadHeader() {
  std::uint8_t bytes[kLockHeaderSize];
  if (FFileSystem.FileRead(FNetFile, 0, bytes, kLockHeaderSize) != kLockHeaderSize)
    Fail(tdbErrNetwork, "the lock file's header cannot be read");
  FTableLockData = DecodeLockHeader(bytes);
}

void TTdbLockFile::WriteHeader() {
  const TTdbLockHeaderBytes bytes = EncodeLockHeader(FTableLockData);
  if (FFileSystem.FileWrite(FNetFile, 0, bytes.data(), kLockHeaderSize) != kLockHeaderSize)
    Fail(tdbErrNetwork, "the lock file's header cannot be written");
}

TTdbSessionLockData TTdbLockFile::ReadSlot(int slot) {
  std::uint8_t bytes[kSessionSlotSize] = {};
  const std::int64_t read = FFileSystem.FileRead(FNetFile, SessionSlotPos(slot), bytes, kSessionSlotDataSize);
  if (read < 0) Fail(tdbErrNetwork, "a slot of the lock file cannot be read");
  if (read < kSessionSlotDataSize) return {};  // cut off: no session there
  return DecodeSessionSlot(bytes, false);
}

void TTdbLockFile::WriteSlot(int slot, const TTdbSessionLockData& data) {
  const TTdbSessionSlotBytes bytes = EncodeSessionSlot(data);
  if (FFileSystem.FileWrite(FNetFile, SessionSlotPos(slot), bytes.data(), kSessionSlotDataSize) !=
      kSessionSlotDataSize)
    Fail(tdbErrNetwork, "a slot of the lock file cannot be written");
}

void TTdbLockFile::ReadOwnSlot() {
  const TTdbSessionLockData slot = ReadSlot(FSessionDataPos);
  // The slot is the session's own; only its lock fields are taken over, so
  // a slot damaged by someone else does not change who this session is.
  FSessionLockData.TableLock = slot.TableLock;
  FSessionLockData.DesiredLock = slot.DesiredLock;
  FSessionLockData.EditRecNo = slot.EditRecNo;
}

void TTdbLockFile::WriteOwnSlot() { WriteSlot(FSessionDataPos, FSessionLockData); }

std::int64_t TTdbLockFile::NetFileSize() {
  const std::int64_t size = FFileSystem.GetFileSize(FNetFile);
  if (size < 0) Fail(tdbErrNetwork, "the lock file's size cannot be read");
  return size;
}

// --- Dead sessions --------------------------------------------------------

bool TTdbLockFile::CheckSessions() {
  TTdbTableLockData& header = FTableLockData;
  std::int16_t sessions = 0, readers = 0, upgraders = 0, writers = 0, waiters = 0, writeWaiters = 0;
  bool removed = false;
  bool headerChanged = false;
  const std::int64_t size = NetFileSize();
  for (int i = 0; i < header.ItemCount; ++i) {
    if (size < SessionSlotPos(i + 1)) {
      header.ItemCount = static_cast<std::int16_t>(std::max<std::int64_t>(0, (size - kLockHeaderSize) / kSessionSlotSize));
      if (!FFileSystem.SetFileSize(FNetFile, SessionSlotPos(header.ItemCount)))
        Fail(tdbErrNetwork, "the lock file cannot be cut to its whole slots");
      headerChanged = true;
      break;
    }
    const TTdbSessionLockData slot = ReadSlot(i);
    if (slot.Id == 0) continue;
    bool live = i == FSessionDataPos;
    if (!live) {
      const int locked = FFileSystem.IsRangeLocked(FNetFile, LifeBytePos(i), LifeBytePos(i) + 1);
      if (locked < 0) Fail(tdbErrNetwork, "a life lock cannot be tested");
      live = locked > 0;
    }
    if (!live) {
      // A dead writer may have left some of its changes in the files: the
      // others must read the table again.
      if (slot.TableLock == tltUpgrade || slot.TableLock == tltWrite) {
        ++header.ChangeCount;
        headerChanged = true;
      }
      WriteSlot(i, TTdbSessionLockData{});
      removed = true;
      continue;
    }
    ++sessions;
    if (slot.DesiredLock != tltNone) {
      ++waiters;
      if (slot.DesiredLock == tltWrite) ++writeWaiters;
    }
    switch (slot.TableLock) {
      case tltRead:
        if (writers > 0) Fail(tdbErrNetwork, "net file contains read and write locks");
        ++readers;
        break;
      case tltUpgrade:
        if (upgraders > 0 || writers > 0) Fail(tdbErrNetwork, "net file contains upgrade and write locks");
        ++upgraders;
        break;
      case tltWrite:
        if (readers > 0 || upgraders > 0 || writers > 0) Fail(tdbErrNetwork, "net file contains read and write locks");
        ++writers;
        break;
      default:
        break;
    }
  }
  if (headerChanged || header.ReadLocks != readers || header.UpgradeLocks != upgraders ||
      header.WriteLocks != writers || header.LockWaiters != waiters || header.WriteWaiters != writeWaiters ||
      header.SessionCount != sessions) {
    header.ReadLocks = readers;
    header.UpgradeLocks = upgraders;
    header.WriteLocks = writers;
    header.LockWaiters = waiters;
    header.WriteWaiters = writeWaiters;
    header.SessionCount = sessions;
    WriteHeader();
  }
  if (removed && FOnHijack) FOnHijack();
  return removed;
}

// --- Log-in and log-out ---------------------------------------------------

bool TTdbLockFile::PlaceNewFile(const std::string& name, std::span<const std::uint8_t> content) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(FClock.RandomBits()));
  const std::string temporary = name + suffix;
  const TdwFileHandle made = FFileSystem.CreateFile(temporary);
  if (!IsValidHandle(made)) return false;
  const auto size = static_cast<std::int64_t>(content.size());
  const bool written = size == 0 || FFileSystem.FileWrite(made, 0, content.data(), size) == size;
  FFileSystem.CloseFile(made);
  bool placed = false;
  if (written) {
    placed = FFileSystem.LinkFile(temporary, name);
    // Without links a rename that refuses to replace does the same.
    if (!placed && !FFileSystem.GetFileInfo(name)) placed = FFileSystem.RenameFile(temporary, name);
  }
  FFileSystem.DeleteFile(temporary);
  // Another program placed its file first: as good as this one.
  return written && (placed || FFileSystem.GetFileInfo(name).has_value());
}

void TTdbLockFile::OpenOrCreateNetFile() {
  for (int round = 0; round < kLoginRounds; ++round) {
    FNetFile = FFileSystem.OpenFile(FNetName, kFmOpenReadWrite | kFmShareDenyNone);
    if (IsValidHandle(FNetFile)) return;
    if (FFileSystem.GetFileInfo(FNetName)) {
      const int error = FFileSystem.GetLastError();
      if (error == EROFS) Fail(tdbErrNoWriteAccess, FNetName);
      if (error == EACCES || error == EPERM || error == EAGAIN) {
        // Also what a program meets while the last one out holds the file
        // to delete it (its sharing lock refuses this open with EAGAIN or
        // EACCES): only a refusal that lasts is the file's rights.
        if (round + 1 == kLoginRounds) Fail(tdbErrNoWriteAccess, FNetName);
        SleepBriefly();
        continue;
      }
      if (error == ENOENT) continue;  // deleted between the two looks
      Fail(tdbErrLogin, "the lock file cannot be opened");
    }
    // Made whole under a temporary name, then linked into place: whoever
    // opens the name sees the complete header.
    const TTdbLockHeaderBytes header = EncodeLockHeader(TTdbTableLockData{});
    // A file another program placed and the last one out deleted again
    // before this one looked is made anew in the next round.
    if (!PlaceNewFile(FNetName, std::span<const std::uint8_t>(header)) && round + 1 == kLoginRounds)
      Fail(tdbErrNoWriteAccess, FNetName);
  }
  Fail(tdbErrLogin, "the lock file keeps vanishing");
}

void TTdbLockFile::OpenMoveLog() {
  for (int round = 0; round < kLoginRounds && !IsValidHandle(FMovFile); ++round) {
    FMovFile = FFileSystem.OpenFile(FMovName, kFmOpenReadWrite | kFmShareDenyNone);
    if (IsValidHandle(FMovFile)) break;
    if (!FFileSystem.GetFileInfo(FMovName)) {
      // Made under a temporary name too, so it never empties a log that
      // another program made and wrote meanwhile.
      if (!PlaceNewFile(FMovName, {})) Fail(tdbErrNoWriteAccess, FMovName);
      continue;
    }
    const int error = FFileSystem.GetLastError();
    if (error == EACCES || error == EPERM || error == EROFS) Fail(tdbErrNoWriteAccess, FMovName);
    SleepBriefly();  // being made or deleted by another program just now
  }
  if (!IsValidHandle(FMovFile)) Fail(tdbErrLogin, "the record-move log cannot be opened");
  const std::int64_t size = FFileSystem.GetFileSize(FMovFile);
  if (size < 0) Fail(tdbErrLogin, "the record-move log's size cannot be read");
  // Moves made before this log-in do not concern the session.
  FMovePos = size - size % kMoveEntrySize;
}

void TTdbLockFile::CloseFiles() noexcept {
  if (IsValidHandle(FMovFile)) FFileSystem.CloseFile(FMovFile);
  if (IsValidHandle(FNetFile)) FFileSystem.CloseFile(FNetFile);
  FMovFile = FNetFile = kInvalidFileHandle;
  FEntered = 0;
  FExclusive = false;
  FSessionDataPos = -1;
}

void TTdbLockFile::LogIn(const std::string& tableFileName) {
  if (LoggedIn()) return;
  if (FSessionId == 0) throw ETdbEngine(tdbErrInvalidConnection);
  const TTdbLockFileNames names = LockFileNamesFor(tableFileName);
  FNetName = names.LockFile;
  FMovName = names.MoveLog;
  const std::uint64_t start = FClock.GetTickCount();
  try {
    for (int round = 0;; ++round) {
      if (round >= kLoginRounds) Fail(tdbErrLogin, "the lock file keeps being replaced");
      OpenOrCreateNetFile();
      const std::int64_t size = NetFileSize();
      if (size < kLockHeaderSize) {
        // Another program is still writing it, or it is damaged.
        CloseFiles();
        if (FClock.GetTickCount() - start >= kShortFileGraceMs) throw ETdbEngine(tdbErrLockFileInvalid, FNetName);
        SleepBriefly();
        continue;
      }
      TEntered entered(*this);
      if (FTableLockData.Tag != kLockFileTag || FTableLockData.Version != kLockFileVersion)
        throw ETdbEngine(tdbErrLockFileInvalid, FNetName);
      // The last program deletes the file under the mutex: one that opened it
      // just before must not log in to a file that no longer has a name.
      const std::optional<TdwFileId> own = FFileSystem.GetHandleId(FNetFile);
      const std::optional<TdwFileInfo> named = FFileSystem.GetFileInfo(FNetName);
      if (own && (!named || named->FId != *own)) {
        FFileSystem.CloseFile(FNetFile);
        FNetFile = kInvalidFileHandle;
        continue;  // closing dropped the mutex with the handle
      }
      CheckSessions();
      int pos = FTableLockData.ItemCount;
      for (int i = 0; i < FTableLockData.ItemCount; ++i)
        if (ReadSlot(i).Id == 0) {
          pos = i;
          break;
        }
      if (pos == FTableLockData.ItemCount) ++FTableLockData.ItemCount;
      FSessionLockData = TTdbSessionLockData{FSessionId, FSessionName, tltNone, tltNone, 0, kVitalSign};
      const TTdbSessionSlotBytes slot = EncodeSessionSlot(FSessionLockData);
      if (FFileSystem.FileWrite(FNetFile, SessionSlotPos(pos), slot.data(), kSessionSlotSize) != kSessionSlotSize)
        Fail(tdbErrLogin, "the slot cannot be written");
      ++FTableLockData.SessionCount;
      WriteHeader();
      int life = 0;
      for (int i = 0; i < kLifeLockTries && (life = FFileSystem.LockFile(FNetFile, LifeBytePos(pos), LifeBytePos(pos) + 1, true)) == 0; ++i)
        SleepBriefly();
      if (life <= 0) Fail(tdbErrLogin, "the life lock cannot be taken");
      FSessionDataPos = pos;
      FTableLock = tltNone;
      FChangeCount = 0;
      break;
    }
    OpenMoveLog();
  } catch (...) {
    // A slot without its life lock is dead and cleared by the next scan.
    CloseFiles();
    throw;
  }
}

void TTdbLockFile::LogOut() {
  if (!IsValidHandle(FNetFile)) return;
  if (FExclusive) UnlockExclusive();
  try {
    if (FSessionDataPos >= 0) {
      TEntered entered(*this);
      FFileSystem.UnlockFile(FNetFile, LifeBytePos(FSessionDataPos), LifeBytePos(FSessionDataPos) + 1, true);
      WriteSlot(FSessionDataPos, TTdbSessionLockData{});
      FSessionDataPos = -1;
      --FTableLockData.SessionCount;
      WriteHeader();
      CheckSessions();
      if (FTableLockData.SessionCount <= 0) {
        // Deleted while the mutex is held: a program that opened the file
        // meanwhile sees at its log-in that the name is gone.
        FFileSystem.DeleteFile(FMovName);
        FFileSystem.DeleteFile(FNetName);
      }
    }
  } catch (...) {
    CloseFiles();
    throw;
  }
  CloseFiles();
}

// --- Table locks ----------------------------------------------------------

void TTdbLockFile::CountChange() {
  ++FTableLockData.ChangeCount;
  FChangeCount = FTableLockData.ChangeCount;
}

void TTdbLockFile::ReleaseLock(TTdbTableLockType lock) {
  TTdbTableLockData& header = FTableLockData;
  switch (lock) {
    case tltRead:
      if (header.ReadLocks > 0) --header.ReadLocks;
      break;
    case tltUpgrade:
      header.UpgradeLocks = 0;
      CountChange();
      break;
    case tltWrite:
      header.WriteLocks = 0;
      CountChange();
      break;
    default:
      break;
  }
}

bool TTdbLockFile::TestTableLock(TTdbTableLockType fromLock, TTdbTableLockType toLock) {
  TTdbTableLockData& header = FTableLockData;
  bool granted = false;
  switch (toLock) {
    case tltRead:
      granted = header.WriteLocks == 0 && header.WriteWaiters == 0;
      if (granted) ++header.ReadLocks;
      break;
    case tltUpgrade:
      if (fromLock == tltUpgrade || fromLock == tltWrite) return false;
      if (fromLock == tltRead) {
        if (header.UpgradeLocks + header.WriteLocks != 0) return false;
        ReleaseLock(tltRead);
      }
      granted = header.UpgradeLocks == 0 && header.WriteLocks == 0;
      if (granted) header.UpgradeLocks = 1;
      break;
    case tltWrite:
      if (fromLock == tltWrite) return false;
      if (fromLock == tltRead || fromLock == tltUpgrade) {
        if (header.ReadLocks + header.UpgradeLocks + header.WriteLocks > 1) return false;
        ReleaseLock(fromLock);
      }
      granted = header.ReadLocks == 0 && header.UpgradeLocks == 0 && header.WriteLocks == 0;
      if (granted) header.WriteLocks = 1;
      break;
    default:
      return false;
  }
  if (granted) FSessionLockData.TableLock = toLock;
  return granted;
}

bool TTdbLockFile::LockTable(TTdbTableLockType fromLock, TTdbTableLockType toLock, bool immediate) {
  TEntered entered(*this);
  bool granted = TestTableLock(fromLock, toLock);
  if (!granted && !immediate) {
    FSessionLockData.DesiredLock = toLock;
    WriteOwnSlot();
    ++FTableLockData.LockWaiters;
    if (toLock == tltWrite) ++FTableLockData.WriteWaiters;
    WriteHeader();
    try {
      // Armed while the mutex is held: no write after this point is missed.
      const std::unique_ptr<TdwFileWatch> watch = FFileSystem.WatchFile(FNetName);
      granted = watch ? WaitWatching(*watch, fromLock, toLock) : WaitPolling(fromLock, toLock);
      if (!granted && CheckSessions()) granted = TestTableLock(fromLock, toLock);
    } catch (...) {
      if (FEntered > 0) {
        FSessionLockData.DesiredLock = tltNone;
        try {
          WriteOwnSlot();
        } catch (const ETdbEngine&) {
        }
      }
      throw;
    }
    FSessionLockData.DesiredLock = tltNone;
    if (FTableLockData.LockWaiters > 0) --FTableLockData.LockWaiters;
    if (toLock == tltWrite && FTableLockData.WriteWaiters > 0) --FTableLockData.WriteWaiters;
  } else if (!granted) {
    return false;
  }
  WriteOwnSlot();
  WriteHeader();
  if (granted) FTableLock = toLock;
  return granted;
}

bool TTdbLockFile::WaitPolling(TTdbTableLockType fromLock, TTdbTableLockType toLock) {
  for (int i = 1; i <= kLockTableRetries; ++i) {
    Leave();
    SleepBriefly();
    Enter();
    if (TestTableLock(fromLock, toLock)) return true;
    // A dead holder would keep the lock for the whole wait: look for one
    // now and then instead of only at the end.
    if (i % kDeadSessionScanEvery == 0 && CheckSessions() && TestTableLock(fromLock, toLock)) return true;
  }
  return false;
}

bool TTdbLockFile::WaitWatching(TdwFileWatch& watch, TTdbTableLockType fromLock, TTdbTableLockType toLock) {
  const std::uint64_t start = FClock.GetTickCount();
  std::uint64_t lastScan = start;
  for (;;) {
    const std::uint64_t waited = FClock.GetTickCount() - start;
    if (waited >= kLockTableWaitMs) return false;
    Leave();
    // Somebody who gives a lock back writes the header; a holder that dies
    // writes nothing, so the sleep is cut short for the scan below.
    FClock.SleepOn(watch, static_cast<std::uint32_t>(
                              std::min<std::uint64_t>(kLockTableWaitSliceMs, kLockTableWaitMs - waited)));
    Enter();
    if (TestTableLock(fromLock, toLock)) return true;
    const std::uint64_t now = FClock.GetTickCount();
    if (now - lastScan >= kDeadSessionScanMs) {
      lastScan = now;
      if (CheckSessions() && TestTableLock(fromLock, toLock)) return true;
    }
  }
}

void TTdbLockFile::UnlockTable(TTdbTableLockType fromLock, TTdbTableLockType toLock) {
  TEntered entered(*this);
  ReleaseLock(fromLock);
  if (toLock == tltRead) ++FTableLockData.ReadLocks;
  if (toLock == tltUpgrade) FTableLockData.UpgradeLocks = 1;
  FSessionLockData.TableLock = toLock;
  WriteOwnSlot();
  WriteHeader();
  FTableLock = toLock;
}

bool TTdbLockFile::UnlockTableIfRequired(TTdbTableLockType fromLock, TTdbTableLockType toLock) {
  TEntered entered(*this);
  if (FTableLockData.LockWaiters <= 0) return false;
  UnlockTable(fromLock, toLock);
  return true;
}

bool TTdbLockFile::LockExclusive() {
  Enter();
  bool alone = false;
  try {
    CheckSessions();
    alone = FTableLockData.SessionCount == 1;
  } catch (const ETdbEngine&) {
    alone = false;
  }
  if (!alone) {
    Leave();
    return false;
  }
  FExclusive = true;
  return true;
}

void TTdbLockFile::UnlockExclusive() {
  if (!FExclusive) return;
  FExclusive = false;
  Leave();
}

// --- Record locks ---------------------------------------------------------

bool TTdbLockFile::TestRecordLock(std::int32_t recNo) {
  if (FTableLockData.WriteLocks > 0 && FSessionLockData.TableLock != tltWrite) return false;
  for (int i = 0; i < FTableLockData.ItemCount; ++i) {
    if (i == FSessionDataPos) continue;
    const TTdbSessionLockData slot = ReadSlot(i);
    if (slot.Id != 0 && slot.EditRecNo == recNo) return false;
  }
  FSessionLockData.EditRecNo = recNo;
  WriteOwnSlot();
  return true;
}

bool TTdbLockFile::LockRecord(std::int32_t recNo) {
  TEntered entered(*this);
  if (TestRecordLock(recNo)) return true;
  Leave();
  SleepBriefly();
  Enter();
  if (TestRecordLock(recNo)) return true;
  return CheckSessions() && TestRecordLock(recNo);
}

bool TTdbLockFile::EditedByOther(std::int32_t recNo, bool& otherEdits) {
  TEntered entered(*this);
  otherEdits = false;
  bool edited = false;
  for (int i = 0; i < FTableLockData.ItemCount; ++i) {
    if (i == FSessionDataPos) continue;
    const TTdbSessionLockData slot = ReadSlot(i);
    if (slot.Id == 0 || slot.EditRecNo == 0) continue;
    otherEdits = true;
    if (slot.EditRecNo == recNo) edited = true;
  }
  return edited;
}

void TTdbLockFile::UnlockRecord() {
  TEntered entered(*this);
  FSessionLockData.EditRecNo = 0;
  WriteOwnSlot();
}

void TTdbLockFile::SwitchRecordLock(std::int32_t fromRecNo, std::int32_t toRecNo) {
  TEntered entered(*this);
  for (int i = 0; i < FTableLockData.ItemCount; ++i) {
    TTdbSessionLockData slot = i == FSessionDataPos ? FSessionLockData : ReadSlot(i);
    if (slot.Id == 0 || slot.EditRecNo != fromRecNo) continue;
    slot.EditRecNo = toRecNo;
    WriteSlot(i, slot);
    if (i == FSessionDataPos) FSessionLockData.EditRecNo = toRecNo;
  }
}

// --- Changes and moves ----------------------------------------------------

bool TTdbLockFile::CheckUpdate() {
  TEntered entered(*this);
  return FTableLockData.ChangeCount > FChangeCount;
}

void TTdbLockFile::AddRecordMove(std::int32_t fromRecNo, std::int32_t toRecNo) {
  std::uint8_t entry[kMoveEntrySize];
  StoreLE<std::int32_t>(entry, toRecNo);
  StoreLE<std::int32_t>(entry + 4, fromRecNo);
  const std::int64_t size = FFileSystem.GetFileSize(FMovFile);
  if (size < 0) throw ETdbEngine(tdbErrWriteFile, FMovName);
  // An entry cut short by a crash is overwritten, never read.
  const std::int64_t pos = size - size % kMoveEntrySize;
  if (FFileSystem.FileWrite(FMovFile, pos, entry, kMoveEntrySize) != kMoveEntrySize)
    throw ETdbEngine(tdbErrWriteFile, FMovName);
  FMovePos = pos + kMoveEntrySize;
}

bool TTdbLockFile::ReadRecordMove(std::int32_t& fromRecNo, std::int32_t& toRecNo) {
  const std::int64_t size = FFileSystem.GetFileSize(FMovFile);
  if (size < 0) throw ETdbEngine(tdbErrReadFile, FMovName);
  if (FMovePos + kMoveEntrySize > size) return false;
  std::uint8_t entry[kMoveEntrySize];
  if (FFileSystem.FileRead(FMovFile, FMovePos, entry, kMoveEntrySize) != kMoveEntrySize)
    throw ETdbEngine(tdbErrReadFile, FMovName);
  toRecNo = LoadLE<std::int32_t>(entry);
  fromRecNo = LoadLE<std::int32_t>(entry + 4);
  FMovePos += kMoveEntrySize;
  return true;
}

std::int16_t TTdbLockFile::ReadLockWaiters() {
  TEntered entered(*this);
  return FTableLockData.LockWaiters;
}

void TTdbLockFile::WriteIndexCount(std::int16_t indexCount) {
  TEntered entered(*this);
  FTableLockData.IndexCount = indexCount;
  WriteHeader();
}

TTdbLockUsage TTdbLockFile::GetLockInfo() {
  TEntered entered(*this);
  const TTdbTableLockData& header = FTableLockData;
  TTdbLockUsage usage;
  usage.ItemCount = header.ItemCount;
  usage.UserCount = header.SessionCount;
  usage.ReadCount = header.ReadLocks;
  usage.UpgradeCount = header.UpgradeLocks;
  usage.WriteCount = header.WriteLocks;
  usage.WaitCount = header.LockWaiters;
  usage.WaitWriteCount = header.WriteWaiters;
  usage.UpdateCount = static_cast<std::int32_t>(header.ChangeCount);
  for (int i = 0; i < header.ItemCount; ++i) {
    const TTdbSessionLockData slot = i == FSessionDataPos ? FSessionLockData : ReadSlot(i);
    TTdbLockUser user;
    user.Name = slot.Name;
    user.Id = slot.Id;
    user.InUse = slot.Id != 0;
    user.TableLock = static_cast<TTdbTableLockType>(std::min<std::uint8_t>(slot.TableLock, tltWrite));
    user.EditRecNo = slot.EditRecNo;
    usage.Users.push_back(std::move(user));
  }
  return usage;
}

}  // namespace kestrel
