// TFaultFileSystem: the operating system's file system with injected faults.
#include "fault_file_system.h"

#include <cerrno>

#include "temp_dir.h"

namespace kestrel::test {

TFaultFileSystem::TFaultFileSystem(std::string baseDirectory) : FInner(std::move(baseDirectory)) {}

void TFaultFileSystem::FailNthRead(int n) {
  std::lock_guard<std::mutex> lock(FMutex);
  FFailReadAt = n > 0 ? FReads + n : 0;
}

void TFaultFileSystem::FailNthWrite(int n, bool andAllLater) {
  std::lock_guard<std::mutex> lock(FMutex);
  FFailWriteAt = n > 0 ? FWrites + n : 0;
  FFailLaterWrites = andAllLater;
}

void TFaultFileSystem::ShortNthWrite(int n) {
  std::lock_guard<std::mutex> lock(FMutex);
  FShortWriteAt = n > 0 ? FWrites + n : 0;
}

void TFaultFileSystem::Disarm() {
  std::lock_guard<std::mutex> lock(FMutex);
  FFailReadAt = FFailWriteAt = FShortWriteAt = FDieAt = FFailDirectorySyncAt = 0;
  FFailLaterWrites = false;
}

void TFaultFileSystem::DenyWrites(bool deny) {
  std::lock_guard<std::mutex> lock(FMutex);
  FDenyWrites = deny;
}

int TFaultFileSystem::GetReadCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FReads;
}

int TFaultFileSystem::GetWriteCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FWrites;
}

int TFaultFileSystem::GetFaultCount() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FFaults;
}

void TFaultFileSystem::DieAtNthWrite(int n) {
  std::lock_guard<std::mutex> lock(FMutex);
  FDieAt = n > 0 ? FWrites + n : 0;
}

void TFaultFileSystem::CountNameChangesAsWrites(bool count) {
  std::lock_guard<std::mutex> lock(FMutex);
  FCountNameChanges = count;
}

void TFaultFileSystem::FailNthDirectorySync(int n) {
  std::lock_guard<std::mutex> lock(FMutex);
  FFailDirectorySyncAt = n > 0 ? FDirectorySyncs + n : 0;
}

void TFaultFileSystem::StartNameLog() {
  std::lock_guard<std::mutex> lock(FMutex);
  FLogNames = true;
  FNameLog.clear();
}

std::vector<std::string> TFaultFileSystem::NameLog() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FNameLog;
}

void TFaultFileSystem::LogLocked(const char* what, const std::string& path) {
  if (!FLogNames) return;
  const std::size_t slash = path.find_last_of('/');
  FNameLog.push_back(std::string(what) + (path.empty() ? "" : " " + path.substr(slash == std::string::npos ? 0 : slash + 1)));
}

void TFaultFileSystem::CountNameChangeLocked() {
  if (FCountNameChanges) ++FWrites;
}

bool TFaultFileSystem::KilledLocked() {
  if (FDieAt == 0 || FWrites < FDieAt) return false;
  ++FFaults;
  FInner.SetLastError(EIO);
  return true;
}

void TFaultFileSystem::Crash() {
  std::lock_guard<std::mutex> lock(FMutex);
  for (const auto& [path, content] : FDurable) WriteWholeFile(path, content);
  FDurable.clear();
  for (const auto& [handle, path] : FPaths) FDead[handle] = true;
}

void TFaultFileSystem::RememberDurableLocked(const std::string& path) {
  if (!FDurable.count(path)) FDurable[path] = ReadWholeFile(path);
}

bool TFaultFileSystem::DeadLocked(TdwFileHandle handle) const {
  auto it = FDead.find(handle);
  return it != FDead.end() && it->second;
}

std::string TFaultFileSystem::GetBaseDirectory() const { return FInner.GetBaseDirectory(); }
int TFaultFileSystem::GetPageSize() const { return FInner.GetPageSize(); }
void TFaultFileSystem::SetLastError(int code) { FInner.SetLastError(code); }
int TFaultFileSystem::GetLastError() const { return FInner.GetLastError(); }

TdwFileHandle TFaultFileSystem::CreateFile(const std::string& filePath) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FDenyWrites) {
    FInner.SetLastError(EACCES);
    return kInvalidFileHandle;
  }
  if (KilledLocked()) return kInvalidFileHandle;
  const std::string path = FInner.ExpandFileName(filePath);
  RememberDurableLocked(path);
  const TdwFileHandle handle = FInner.CreateFile(filePath);
  if (IsValidHandle(handle)) {
    FPaths[handle] = path;
    FDead[handle] = false;
  }
  return handle;
}

TdwFileHandle TFaultFileSystem::OpenFile(const std::string& filePath, int mode) {
  std::lock_guard<std::mutex> lock(FMutex);
  FInner.FPhysicallyExclusive = FPhysicallyExclusive;
  if (FDenyWrites && (mode & 0x0F) != kFmOpenRead) {
    FInner.SetLastError(EACCES);
    return kInvalidFileHandle;
  }
  const TdwFileHandle handle = FInner.OpenFile(filePath, mode);
  if (IsValidHandle(handle)) {
    FPaths[handle] = FInner.ExpandFileName(filePath);
    FDead[handle] = false;
  }
  return handle;
}

std::int64_t TFaultFileSystem::FileRead(TdwFileHandle handle, std::int64_t pos, void* data,
                                        std::int64_t count) {
  std::lock_guard<std::mutex> lock(FMutex);
  ++FReads;
  if (DeadLocked(handle) || FReads == FFailReadAt) {
    ++FFaults;
    FInner.SetLastError(EIO);
    return -1;
  }
  return FInner.FileRead(handle, pos, data, count);
}

std::int64_t TFaultFileSystem::FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                                         std::int64_t count) {
  std::lock_guard<std::mutex> lock(FMutex);
  ++FWrites;
  if (KilledLocked()) return -1;
  if (DeadLocked(handle) || FWrites == FFailWriteAt ||
      (FFailLaterWrites && FFailWriteAt > 0 && FWrites > FFailWriteAt)) {
    ++FFaults;
    FInner.SetLastError(EIO);
    return -1;
  }
  RememberDurableLocked(FPaths[handle]);
  if (FWrites == FShortWriteAt) {
    ++FFaults;
    const std::int64_t part = FInner.FileWrite(handle, pos, data, count / 2);
    FInner.SetLastError(ENOSPC);
    return part;
  }
  return FInner.FileWrite(handle, pos, data, count);
}

std::int64_t TFaultFileSystem::GetFileSize(TdwFileHandle handle) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (DeadLocked(handle)) return -1;
  return FInner.GetFileSize(handle);
}

bool TFaultFileSystem::SetFileSize(TdwFileHandle handle, std::int64_t size) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (DeadLocked(handle) || KilledLocked()) return false;
  RememberDurableLocked(FPaths[handle]);
  return FInner.SetFileSize(handle, size);
}

void TFaultFileSystem::CloseFile(TdwFileHandle handle) {
  std::lock_guard<std::mutex> lock(FMutex);
  FPaths.erase(handle);
  FDead.erase(handle);
  FInner.CloseFile(handle);
}

bool TFaultFileSystem::SyncFile(TdwFileHandle handle) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (DeadLocked(handle) || KilledLocked()) return false;
  if (!FInner.SyncFile(handle)) return false;
  FDurable.erase(FPaths[handle]);
  LogLocked("sync", FPaths[handle]);
  return true;
}

bool TFaultFileSystem::SyncDirectory(const std::string& dirPath) {
  std::lock_guard<std::mutex> lock(FMutex);
  ++FDirectorySyncs;
  if (KilledLocked()) return false;
  if (FDirectorySyncs == FFailDirectorySyncAt) {
    ++FFaults;
    FInner.SetLastError(EIO);
    return false;
  }
  if (!FInner.SyncDirectory(dirPath)) return false;
  LogLocked("syncdir", "");
  return true;
}

int TFaultFileSystem::LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                               bool writeLock) {
  return FInner.LockFile(handle, startPos, endPos, writeLock);
}

void TFaultFileSystem::UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                                  bool writeLock) {
  FInner.UnlockFile(handle, startPos, endPos, writeLock);
}

int TFaultFileSystem::IsRangeLocked(TdwFileHandle handle, std::int64_t startPos,
                                    std::int64_t endPos) {
  return FInner.IsRangeLocked(handle, startPos, endPos);
}

std::optional<TdwFileInfo> TFaultFileSystem::GetFileInfo(const std::string& fileName) {
  return FInner.GetFileInfo(fileName);
}

bool TFaultFileSystem::CreateDir(const std::string& dirPath) { return FInner.CreateDir(dirPath); }
bool TFaultFileSystem::RemoveDir(const std::string& dirPath) { return FInner.RemoveDir(dirPath); }

int TFaultFileSystem::FindFirstFile(const std::string& path, int attr, TdwFindFileRec& rec) {
  return FInner.FindFirstFile(path, attr, rec);
}

bool TFaultFileSystem::DeleteFile(const std::string& fileName) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    CountNameChangeLocked();
    if (KilledLocked()) return false;
    LogLocked("delete", fileName);
  }
  return FInner.DeleteFile(fileName);
}

bool TFaultFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    CountNameChangeLocked();
    if (KilledLocked()) return false;
    LogLocked("rename", oldName);
  }
  return FInner.RenameFile(oldName, newName);
}

bool TFaultFileSystem::ReplaceFile(const std::string& newFile, const std::string& target) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    CountNameChangeLocked();
    if (KilledLocked()) return false;
    LogLocked("replace", target);
  }
  return FInner.ReplaceFile(newFile, target);
}

std::string TFaultFileSystem::ExpandFileName(const std::string& fileName) const {
  return FInner.ExpandFileName(fileName);
}

}  // namespace kestrel::test
