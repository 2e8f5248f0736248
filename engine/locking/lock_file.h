// TTdbLockFile: one table object's part in its table's lock file and
// record-move log (formats in lock_file_format.h). Programs, and sessions
// within one program, that open the same table log in here; the file then
// tells each of them which table lock the others hold or wait for, which
// record each edits, and how often the table was changed. A program that
// dies loses its byte-range locks with its process, so the next one that
// scans the file finds its slot dead and clears it.
//
// Every operation that reads or changes the file does so inside the file
// mutex (a byte-range lock on the first 4 bytes; re-entrant within this
// object). The object is not safe for concurrent use: its table object calls
// it under its locking mutex. Errors are ETdbEngine: 115 the lock file
// cannot be made, 106 other failures of log-in, 185 a foreign file, 109
// inconsistent locks in the file or a byte-range lock the system refuses
// for a reason other than another holder.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/fs/clock.h"
#include "engine/fs/file_system.h"
#include "engine/locking/lock_file_format.h"

namespace kestrel {

// One slot of the lock file as reported by GetLockInfo.
struct TTdbLockUser {
  std::string Name;  // 8-bit, as stored
  std::int64_t Id = 0;
  bool InUse = false;
  TTdbTableLockType TableLock = tltNone;
  std::int32_t EditRecNo = 0;
};

// What GetLockInfo tells about a table's users.
struct TTdbLockUsage {
  std::int32_t ItemCount = 0;
  std::int32_t UserCount = 0;
  std::int32_t ReadCount = 0;
  std::int32_t UpgradeCount = 0;
  std::int32_t WriteCount = 0;
  std::int32_t WaitCount = 0;
  std::int32_t WaitWriteCount = 0;
  std::int32_t UpdateCount = 0;
  std::vector<TTdbLockUser> Users;  // every slot, free ones too
};

// How many times LockTable tries again before it gives up, and how often
// (in tries) it looks for dead holders meanwhile, when it polls.
inline constexpr int kLockTableRetries = 4000;
inline constexpr int kDeadSessionScanEvery = 50;
// Where the file system can watch the lock file, LockTable sleeps until the
// file is written instead: as long in all as the polls take on average (4 ms
// each), looking for dead holders as often, and waking at least every slice
// (a writer on another machine of a network file system is not reported).
inline constexpr std::uint64_t kLockTableWaitMs = kLockTableRetries * 4;
inline constexpr std::uint64_t kDeadSessionScanMs = kDeadSessionScanEvery * 4;
inline constexpr std::uint64_t kLockTableWaitSliceMs = 20;

class TTdbLockFile {
 public:
  // fileSystem: where the lock files live (names are absolute or relative to
  // its base); clock: sleeping and chance while waiting.
  TTdbLockFile(TdwFileSystem& fileSystem, TdwClock& clock);
  TTdbLockFile(const TTdbLockFile&) = delete;
  TTdbLockFile& operator=(const TTdbLockFile&) = delete;
  // Logs out; an error of that is lost.
  ~TTdbLockFile();

  // The identity written into the slot at log-in. id is never 0.
  void SetSession(std::int64_t id, std::u16string_view name);
  // Called (inside the file mutex) after a scan cleared dead sessions' slots.
  void SetOnHijack(std::function<void()> handler) { FOnHijack = std::move(handler); }

  // Opens or creates the lock file and the move log of the table file
  // tableFileName and takes a slot. A new lock file is written whole under a
  // temporary name and linked into place, so nobody sees half a header; a
  // file shorter than the header is taken as being made by another program
  // for a while, then as damaged (185). After the slot is taken the open file
  // must still be the one at the name (the last program may have deleted it
  // meanwhile); otherwise log-in starts again.
  void LogIn(const std::string& tableFileName);
  // Gives the slot up; the last session deletes both files while it still
  // holds the file mutex. Nothing happens when not logged in.
  void LogOut();
  bool LoggedIn() const { return FSessionDataPos >= 0; }

  // Raises the session's table lock from fromLock to toLock. Refused at once
  // when immediate, else after waiting (see kLockTableWaitMs).
  bool LockTable(TTdbTableLockType fromLock, TTdbTableLockType toLock, bool immediate);
  // Lowers the session's table lock; giving up an upgrade or write lock
  // counts a change.
  void UnlockTable(TTdbTableLockType fromLock, TTdbTableLockType toLock);
  // UnlockTable only when somebody waits for a table lock.
  bool UnlockTableIfRequired(TTdbTableLockType fromLock, TTdbTableLockType toLock);
  // Succeeds when this is the only live session; the file mutex then stays
  // held (every other session waits) until UnlockExclusive.
  bool LockExclusive();
  void UnlockExclusive();

  // Record edit locks: one record per session, refused while another session
  // edits it or holds the write lock.
  bool LockRecord(std::int32_t recNo);
  void UnlockRecord();
  // Whether another session edits recNo, without taking a lock;
  // `otherEdits`: whether another session edits any record at all.
  bool EditedByOther(std::int32_t recNo, bool& otherEdits);
  // A deletion moved record fromRecNo to toRecNo: its edit lock moves along.
  void SwitchRecordLock(std::int32_t fromRecNo, std::int32_t toRecNo);
  std::int32_t GetLockedRecord() const { return FSessionLockData.EditRecNo; }

  // Whether another session changed the table since this one caught up.
  bool CheckUpdate();
  // The session has caught up with changeCount.
  void SetSessionChangeCount(std::int64_t changeCount) { FChangeCount = changeCount; }
  // Appends one move (one 8-byte write) and skips it for this session.
  void AddRecordMove(std::int32_t fromRecNo, std::int32_t toRecNo);
  // The next whole move another session logged; false when none is left.
  bool ReadRecordMove(std::int32_t& fromRecNo, std::int32_t& toRecNo);

  std::int16_t ReadLockWaiters();
  void WriteIndexCount(std::int16_t indexCount);
  TTdbLockUsage GetLockInfo();

  std::int64_t SessionId() const { return FSessionId; }
  std::int64_t SessionChangeCount() const { return FChangeCount; }
  // From the header as last read.
  std::int64_t TableChangeCount() const { return FTableLockData.ChangeCount; }
  std::int16_t TableIndexCount() const { return FTableLockData.IndexCount; }
  std::int16_t SessionCount() const { return FTableLockData.SessionCount; }
  std::int16_t TableLockWaiters() const { return FTableLockData.LockWaiters; }
  TTdbTableLockType TableLock() const { return FTableLock; }
  const std::string& LockFileName() const { return FNetName; }
  const std::string& MoveLogName() const { return FMovName; }

 private:
  class TEntered;

  void Enter();
  void Leave() noexcept;
  void ReadHeader();
  void WriteHeader();
  void ReadOwnSlot();
  void WriteOwnSlot();
  TTdbSessionLockData ReadSlot(int slot);
  void WriteSlot(int slot, const TTdbSessionLockData& data);
  std::int64_t NetFileSize();
  bool CheckSessions();
  bool TestTableLock(TTdbTableLockType fromLock, TTdbTableLockType toLock);
  // The waits of LockTable, inside the mutex (left while sleeping); true
  // when the lock was granted.
  bool WaitPolling(TTdbTableLockType fromLock, TTdbTableLockType toLock);
  bool WaitWatching(TdwFileWatch& watch, TTdbTableLockType fromLock, TTdbTableLockType toLock);
  void ReleaseLock(TTdbTableLockType lock);
  void CountChange();
  bool TestRecordLock(std::int32_t recNo);
  // Writes content to a temporary file and links it in at name; true when a
  // file is at name afterwards (this one or another program's).
  bool PlaceNewFile(const std::string& name, std::span<const std::uint8_t> content);
  void OpenOrCreateNetFile();
  void OpenMoveLog();
  void CloseFiles() noexcept;
  [[noreturn]] void Fail(int error, const std::string& detail) const;
  void SleepBriefly();

  TdwFileSystem& FFileSystem;
  TdwClock& FClock;
  std::int64_t FSessionId = 0;
  std::string FSessionName;
  std::string FNetName;
  std::string FMovName;
  TdwFileHandle FNetFile = kInvalidFileHandle;
  TdwFileHandle FMovFile = kInvalidFileHandle;
  std::int64_t FChangeCount = 0;
  TTdbTableLockData FTableLockData;
  TTdbTableLockType FTableLock = tltNone;
  int FSessionDataPos = -1;
  TTdbSessionLockData FSessionLockData;
  std::int64_t FMovePos = 0;
  int FEntered = 0;
  bool FExclusive = false;
  std::function<void()> FOnHijack;
};

}  // namespace kestrel
