// TdwCompoundFileIntf: the file system inside a single-file database
// container, behind the engine's TdwFileSystem interface, so the page cache
// and everything above it work on contained files as on operating-system
// files.
//
// - One object is one client of the process-wide container object
//   (TdwCompoundFileImpl); several objects on the same file name share it.
// - Names: a name that starts with the container's own file name followed
//   by "/" is taken inside the container; other names are taken relative to
//   its root. "/" and "\" both separate the names of a path.
// - A file handle is 32 + the index of the open file in this object.
// - Every operation holds the container's read or write lock for its
//   length; LockFile/UnlockFile hold it across calls (the byte range is not
//   used: the whole container is locked for this client).
// - Failures answer the failure value with an errno value as the last error;
//   a damaged container raises ETdbEngine naming it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/compound_file.h"
#include "engine/fs/file_system.h"

namespace kestrel {

inline constexpr TdwFileHandle kCompoundFirstHandle = 32;

class TdwCompoundFileIntf : public TdwFileSystem {
 public:
  // os: the file system the container file lives on (the operating
  // system's when null); fileName: the container file.
  explicit TdwCompoundFileIntf(std::string fileName, std::shared_ptr<TdwFileSystem> os = nullptr);
  ~TdwCompoundFileIntf() override;

  // Opens the container (joining the process's open object of the same
  // file when FSharedAccess is set). Throws ETdbEngine when it cannot be
  // opened: not a container, a version above 1, damaged, or locked.
  void Open() override;
  // Closes this client; the last client commits and closes the file.
  void Close() override;
  bool IsOpen() const { return FImpl != nullptr; }
  // Creates a new, empty container file under the object's file name.
  void NewFile();

  bool BeginRead();
  bool BeginWrite();
  void EndRead();
  void EndWrite();

  std::string GetBaseDirectory() const override;
  int GetPageSize() const override;
  void SetLastError(int code) override;
  int GetLastError() const override;
  bool SupportsExclusiveFiles() const override;

  TdwFileHandle CreateFile(const std::string& filePath) override;
  TdwFileHandle OpenFile(const std::string& filePath, int mode) override;
  std::int64_t FileRead(TdwFileHandle handle, std::int64_t pos, void* data, std::int64_t count) override;
  std::int64_t FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                         std::int64_t count) override;
  std::int64_t GetFileSize(TdwFileHandle handle) override;
  bool SetFileSize(TdwFileHandle handle, std::int64_t size) override;
  bool EndOfFile(TdwFileHandle handle, std::int64_t pos) override;
  void CloseFile(TdwFileHandle handle) override;
  bool SyncFile(TdwFileHandle handle) override;
  int LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos, bool writeLock) override;
  void UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos, bool writeLock) override;
  int IsRangeLocked(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos) override;
  std::optional<TdwFileInfo> GetFileInfo(const std::string& fileName) override;

  bool CreateDir(const std::string& dirPath) override;
  bool RemoveDir(const std::string& dirPath) override;
  int FindFirstFile(const std::string& path, int attr, TdwFindFileRec& rec) override;
  bool DeleteFile(const std::string& fileName) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  // Removes target (when it exists) and renames newFile to it under one
  // hold of the container's write lock, so other programs see the one file
  // or the other.
  bool ReplaceFile(const std::string& newFile, const std::string& target) override;
  // The name inside the container, its names joined by "\" (no leading one).
  std::string ExpandFileName(const std::string& fileName) const override;
  std::string CanonicalFileName(const std::string& fileName) const override;
  bool ForcePath(const std::string& dirPath) override;

  // The names of a path inside the container.
  std::vector<std::string> SplitPath(const std::string& fileName) const;
  const std::string& FileName() const { return FFileName; }
  TdwCompoundFileImpl& Impl() const;

  // When set (the default), objects of one process share the open file.
  bool FSharedAccess = true;
  bool FReadOnly = false;
  bool FExclusive = false;

 private:
  TdwVirtualFile* FileOf(TdwFileHandle handle);
  // Runs body under the container's read or write lock; answers `failed`
  // with EBUSY as the last error when the lock cannot be had.
  template <typename T>
  T UnderLock(bool write, T failed, const std::function<T()>& body);

  std::string FFileName;
  std::shared_ptr<TdwFileSystem> FOs;
  std::shared_ptr<TdwCompoundFileImpl> FImpl;
  int FClientHdl = 0;
  std::vector<TdwVirtualFile*> FFileHandles;
  std::vector<int> FHandleLocks;  // per handle: read (1) or write (2) lock held by LockFile, else 0
  std::atomic<int> FLastError{0};  // sessions of several threads share the object
};

}  // namespace kestrel
