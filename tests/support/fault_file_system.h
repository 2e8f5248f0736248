// TFaultFileSystem: a TdwFileSystem for tests that wraps the operating
// system's one and injects faults:
// - the Nth read or write from now fails (FailNthRead / FailNthWrite), or
//   every write from the Nth on (a full disk);
// - the Nth write moves only half of its bytes and reports that (a short
//   write);
// - DieAtNthWrite(n): from the nth write on, every change to any file
//   (write, size, creation, deletion, renaming) and every sync fails and
//   changes nothing, as if the program had been killed just before that
//   write; what was written before stays, as it does when a process dies;
// - Crash() drops every change made to files since their last SyncFile, as
//   a machine that loses power would, and makes every handle opened before
//   fail from then on (closing still releases it);
// - CountNameChangesAsWrites(true): deleting, renaming and replacing a file
//   count as writes too, so DieAtNthWrite can stop a program between them;
// - DenyWrites(true) refuses every open for writing and every creation, as
//   files and a directory without write permission would;
// - FailNthDirectorySync(n): the nth directory sync from now fails (a dead
//   program's syncs fail as its file syncs do);
// - StartNameLog() records from then on, in order, every file sync
//   ("sync NAME"), directory sync ("syncdir"), deletion ("delete NAME"),
//   renaming ("rename NAME") and replacement ("replace NAME"), each NAME
//   without directory; NameLog() answers the record.
// Thread-safe.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/fs/os_file_system.h"

namespace kestrel::test {

class TFaultFileSystem : public TdwFileSystem {
 public:
  explicit TFaultFileSystem(std::string baseDirectory);

  // n = 1 is the next operation; 0 disarms.
  void FailNthRead(int n);
  void FailNthWrite(int n, bool andAllLater = false);
  void ShortNthWrite(int n);
  void DieAtNthWrite(int n);
  void Disarm();
  void DenyWrites(bool deny);
  void CountNameChangesAsWrites(bool count);
  void FailNthDirectorySync(int n);
  void StartNameLog();
  std::vector<std::string> NameLog() const;
  int GetReadCount() const;
  int GetWriteCount() const;
  // Number of faults injected so far.
  int GetFaultCount() const;
  void Crash();

  std::string GetBaseDirectory() const override;
  int GetPageSize() const override;
  void SetLastError(int code) override;
  int GetLastError() const override;
  TdwFileHandle CreateFile(const std::string& filePath) override;
  TdwFileHandle OpenFile(const std::string& filePath, int mode) override;
  std::int64_t FileRead(TdwFileHandle handle, std::int64_t pos, void* data,
                        std::int64_t count) override;
  std::int64_t FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                         std::int64_t count) override;
  std::int64_t GetFileSize(TdwFileHandle handle) override;
  bool SetFileSize(TdwFileHandle handle, std::int64_t size) override;
  void CloseFile(TdwFileHandle handle) override;
  bool SyncFile(TdwFileHandle handle) override;
  bool SyncDirectory(const std::string& dirPath) override;
  int LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
               bool writeLock) override;
  void UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                  bool writeLock) override;
  int IsRangeLocked(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos) override;
  std::optional<TdwFileInfo> GetFileInfo(const std::string& fileName) override;
  bool CreateDir(const std::string& dirPath) override;
  bool RemoveDir(const std::string& dirPath) override;
  int FindFirstFile(const std::string& path, int attr, TdwFindFileRec& rec) override;
  bool DeleteFile(const std::string& fileName) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool ReplaceFile(const std::string& newFile, const std::string& target) override;
  std::string ExpandFileName(const std::string& fileName) const override;

 private:
  // Saves the file's content as its durable image before its first change
  // since the last sync (lock held).
  void RememberDurableLocked(const std::string& path);
  bool DeadLocked(TdwFileHandle handle) const;
  // Whether the program counts as killed (lock held); counts the fault.
  bool KilledLocked();
  // Counts a deletion or renaming as a write when asked to (lock held).
  void CountNameChangeLocked();
  // Adds "what NAME" to the name log when it is on (lock held).
  void LogLocked(const char* what, const std::string& path);

  TdwOSFileSystem FInner;
  mutable std::mutex FMutex;
  std::map<TdwFileHandle, std::string> FPaths;  // open handles
  std::map<std::string, std::string> FDurable;  // path -> content at last sync
  std::map<TdwFileHandle, bool> FDead;          // handles opened before a crash
  int FReads = 0;
  int FWrites = 0;
  int FFailReadAt = 0;
  int FFailWriteAt = 0;
  bool FFailLaterWrites = false;
  int FShortWriteAt = 0;
  int FDieAt = 0;
  int FFaults = 0;
  bool FDenyWrites = false;
  bool FCountNameChanges = false;
  int FDirectorySyncs = 0;
  int FFailDirectorySyncAt = 0;
  bool FLogNames = false;
  std::vector<std::string> FNameLog;
};

}  // namespace kestrel::test
