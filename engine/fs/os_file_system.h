// TdwOSFileSystem: TdwFileSystem on a directory of the POSIX file system.
//
// - Every descriptor is opened with O_CLOEXEC.
// - Reads and writes are positioned (pread/pwrite) at 64-bit offsets and
//   loop until the whole count is moved or the call fails.
// - Sharing modes are flock locks taken with the open: an exclusive open holds
//   LOCK_EX, every other open LOCK_SH, both without waiting, so a conflicting
//   open fails with EWOULDBLOCK. flock locks belong to the open file
//   description: two opens of one process conflict like two processes.
// - Byte-range locks are open-file-description locks (F_OFD_SETLK), always
//   exclusive; they belong to one handle and vanish when it closes.
// - The tile size is fixed at kOSFileSystemTileSize.
// - Relative names are joined to the base directory (when one is set).
#pragma once

#include <atomic>
#include <string>

#include "engine/fs/file_system.h"

namespace kestrel {

inline constexpr int kOSFileSystemTileSize = 8192;

class TdwOSFileSystem : public TdwFileSystem {
 public:
  // baseDirectory: the directory relative names are resolved against; empty
  // to use names as given.
  explicit TdwOSFileSystem(std::string baseDirectory = "");

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
  bool StartWriteBack(TdwFileHandle handle) override;
  bool SyncDirectory(const std::string& dirPath) override;
  int LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
               bool writeLock) override;
  void UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                  bool writeLock) override;
  int IsRangeLocked(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos) override;
  bool LinkFile(const std::string& existing, const std::string& newName) override;
  // An inotify watch (os_file_watch.cpp); null when the system refuses one.
  std::unique_ptr<TdwFileWatch> WatchFile(const std::string& fileName) override;
  std::optional<TdwFileId> GetHandleId(TdwFileHandle handle) override;
  std::optional<TdwFileInfo> GetFileInfo(const std::string& fileName) override;

  bool CreateDir(const std::string& dirPath) override;
  bool RemoveDir(const std::string& dirPath) override;
  int FindFirstFile(const std::string& path, int attr, TdwFindFileRec& rec) override;
  bool DeleteFile(const std::string& fileName) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool ReplaceFile(const std::string& newFile, const std::string& target) override;
  std::string ExpandFileName(const std::string& fileName) const override;
  std::string CanonicalFileName(const std::string& fileName) const override;
  bool ForcePath(const std::string& dirPath) override;

 private:
  // The name the operating system sees.
  std::string Resolve(const std::string& fileName) const;
  // Records errno as the last error and answers `result`.
  template <typename T>
  T Fail(T result);

  std::string FBaseDirectory;
  std::atomic<int> FLastError{0};
};

}  // namespace kestrel
