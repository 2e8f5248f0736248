// The file-system operations on the files inside a container.
#include "engine/container/compound_file_intf.h"

#include <algorithm>
#include <cerrno>
#include <functional>

#include "engine/base/engine_error.h"
#include "engine/fs/os_file_system.h"

namespace kestrel {

namespace {

constexpr int kHandleReadLock = 1;
constexpr int kHandleWriteLock = 2;

}  // namespace

TdwCompoundFileIntf::TdwCompoundFileIntf(std::string fileName, std::shared_ptr<TdwFileSystem> os)
    : FFileName(std::move(fileName)), FOs(os ? std::move(os) : std::make_shared<TdwOSFileSystem>()) {}

TdwCompoundFileIntf::~TdwCompoundFileIntf() {
  try {
    Close();
  } catch (...) {
    // Errors of a close in a destructor cannot be reported to anyone; the
    // committed state of the container is what the last commit left.
  }
}

void TdwCompoundFileIntf::Open() {
  if (FImpl) return;
  FImpl = TdwCompoundFileImpl::Acquire(FOs, FFileName, FReadOnly, FExclusive, FSharedAccess, FClientHdl);
}

void TdwCompoundFileIntf::Close() {
  if (!FImpl) return;
  std::exception_ptr failure;
  for (std::size_t i = 0; i < FFileHandles.size(); ++i) {
    if (FFileHandles[i] == nullptr) continue;
    try {
      CloseFile(kCompoundFirstHandle + static_cast<TdwFileHandle>(i));
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  std::shared_ptr<TdwCompoundFileImpl> impl = std::move(FImpl);
  FImpl.reset();
  FFileHandles.clear();
  FHandleLocks.clear();
  TdwCompoundFileImpl::Release(impl, FClientHdl);
  FClientHdl = 0;
  if (failure) std::rethrow_exception(failure);
}

void TdwCompoundFileIntf::NewFile() { TdwCompoundFileImpl::NewFile(*FOs, FFileName); }

TdwCompoundFileImpl& TdwCompoundFileIntf::Impl() const {
  if (!FImpl) throw ETdbEngine(tdbErrException, "Compound file \"" + FFileName + "\" not open.");
  return *FImpl;
}

bool TdwCompoundFileIntf::BeginRead() { return Impl().BeginRead(FClientHdl); }
bool TdwCompoundFileIntf::BeginWrite() { return Impl().BeginWrite(FClientHdl); }
void TdwCompoundFileIntf::EndRead() { Impl().EndRead(FClientHdl); }
void TdwCompoundFileIntf::EndWrite() { Impl().EndWrite(FClientHdl); }

template <typename T>
T TdwCompoundFileIntf::UnderLock(bool write, T failed, const std::function<T()>& body) {
  TdwCompoundFileImpl& impl = Impl();
  if (!(write ? impl.BeginWrite(FClientHdl) : impl.BeginRead(FClientHdl))) {
    FLastError = EBUSY;
    return failed;
  }
  T result;
  try {
    result = body();
  } catch (...) {
    try {
      write ? impl.EndWrite(FClientHdl) : impl.EndRead(FClientHdl);
    } catch (...) {
      // The first failure is the one reported.
    }
    throw;
  }
  write ? impl.EndWrite(FClientHdl) : impl.EndRead(FClientHdl);
  return result;
}

std::string TdwCompoundFileIntf::GetBaseDirectory() const { return FFileName; }
int TdwCompoundFileIntf::GetPageSize() const { return kCompoundTileSize; }
void TdwCompoundFileIntf::SetLastError(int code) { FLastError = code; }
int TdwCompoundFileIntf::GetLastError() const { return FLastError; }
bool TdwCompoundFileIntf::SupportsExclusiveFiles() const { return false; }

std::vector<std::string> TdwCompoundFileIntf::SplitPath(const std::string& fileName) const {
  std::string inner = fileName;
  const std::string prefix = FFileName + "/";
  if (inner.starts_with(prefix)) inner.erase(0, prefix.size());
  else if (inner == FFileName) inner.clear();
  std::vector<std::string> names;
  std::string name;
  for (const char c : inner + "\\") {
    if (c != '/' && c != '\\') {
      name += c;
      continue;
    }
    if (!name.empty() && name != ".") names.push_back(name);
    name.clear();
  }
  return names;
}

std::string TdwCompoundFileIntf::ExpandFileName(const std::string& fileName) const {
  std::string joined;
  for (const std::string& name : SplitPath(fileName)) joined += (joined.empty() ? "" : "\\") + name;
  return joined;
}

std::string TdwCompoundFileIntf::CanonicalFileName(const std::string& fileName) const {
  return FFileName + "/" + ExpandFileName(fileName);
}

TdwVirtualFile* TdwCompoundFileIntf::FileOf(TdwFileHandle handle) {
  const TdwFileHandle index = handle - kCompoundFirstHandle;
  if (index < 0 || index >= static_cast<TdwFileHandle>(FFileHandles.size()) ||
      FFileHandles[static_cast<std::size_t>(index)] == nullptr) {
    FLastError = EBADF;
    return nullptr;
  }
  return FFileHandles[static_cast<std::size_t>(index)];
}

TdwFileHandle TdwCompoundFileIntf::CreateFile(const std::string& filePath) {
  return OpenFile(filePath, -1);
}

TdwFileHandle TdwCompoundFileIntf::OpenFile(const std::string& filePath, int mode) {
  const bool create = mode < 0;
  const bool write = create || (mode & kFmAccessMask) != kFmOpenRead;
  if (write && Impl().ReadOnly()) {
    FLastError = EROFS;
    return kInvalidFileHandle;
  }
  const std::vector<std::string> path = SplitPath(filePath);
  return UnderLock<TdwFileHandle>(write, kInvalidFileHandle, [&]() -> TdwFileHandle {
    TdwVirtualFile* file = nullptr;
    if (const int error = Impl().OpenFile(path, create, file)) {
      FLastError = error;
      return kInvalidFileHandle;
    }
    auto slot = std::find(FFileHandles.begin(), FFileHandles.end(), nullptr);
    if (slot == FFileHandles.end()) {
      FFileHandles.push_back(file);
      FHandleLocks.push_back(0);
      slot = FFileHandles.end() - 1;
    } else {
      *slot = file;
    }
    return kCompoundFirstHandle + (slot - FFileHandles.begin());
  });
}

std::int64_t TdwCompoundFileIntf::FileRead(TdwFileHandle handle, std::int64_t pos, void* data, std::int64_t count) {
  TdwVirtualFile* file = FileOf(handle);
  if (!file) return -1;
  return UnderLock<std::int64_t>(false, -1, [&] { return Impl().Read(*file, pos, data, count); });
}

std::int64_t TdwCompoundFileIntf::FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                                            std::int64_t count) {
  TdwVirtualFile* file = FileOf(handle);
  if (!file) return -1;
  return UnderLock<std::int64_t>(true, -1, [&] {
    const std::int64_t written = Impl().Write(*file, pos, data, count);
    if (written < count) FLastError = EINVAL;
    return written;
  });
}

std::int64_t TdwCompoundFileIntf::GetFileSize(TdwFileHandle handle) {
  TdwVirtualFile* file = FileOf(handle);
  if (!file) return -1;
  return UnderLock<std::int64_t>(false, -1, [&] { return file->FSize; });
}

bool TdwCompoundFileIntf::SetFileSize(TdwFileHandle handle, std::int64_t size) {
  TdwVirtualFile* file = FileOf(handle);
  if (!file) return false;
  if (size < 0) {
    FLastError = EINVAL;
    return false;
  }
  return UnderLock<bool>(true, false, [&] {
    Impl().Resize(*file, size);
    return true;
  });
}

bool TdwCompoundFileIntf::EndOfFile(TdwFileHandle handle, std::int64_t pos) {
  const std::int64_t size = GetFileSize(handle);
  return size < 0 || pos >= size;
}

void TdwCompoundFileIntf::CloseFile(TdwFileHandle handle) {
  TdwVirtualFile* file = FileOf(handle);
  if (!file) return;
  const auto index = static_cast<std::size_t>(handle - kCompoundFirstHandle);
  TdwCompoundFileImpl& impl = Impl();
  FFileHandles[index] = nullptr;
  const int held = FHandleLocks[index];
  FHandleLocks[index] = 0;
  // The lock entered by LockFile ends with the handle.
  if (held == kHandleReadLock) impl.EndRead(FClientHdl);
  if (held == kHandleWriteLock) impl.EndWrite(FClientHdl);
  std::lock_guard section(impl.CriticalSection());
  impl.ReleaseFile(file);
}

bool TdwCompoundFileIntf::SyncFile(TdwFileHandle handle) {
  if (!FileOf(handle)) return false;
  if (Impl().ReadOnly()) return true;
  return UnderLock<bool>(true, false, [&] {
    Impl().Sync();
    return true;
  });
}

int TdwCompoundFileIntf::LockFile(TdwFileHandle handle, std::int64_t, std::int64_t, bool writeLock) {
  if (!FileOf(handle)) return -1;
  const auto index = static_cast<std::size_t>(handle - kCompoundFirstHandle);
  if (FHandleLocks[index] != 0) return 0;
  TdwCompoundFileImpl& impl = Impl();
  if (!(writeLock ? impl.BeginWrite(FClientHdl) : impl.BeginRead(FClientHdl))) return 0;
  FHandleLocks[index] = writeLock ? kHandleWriteLock : kHandleReadLock;
  return 1;
}

void TdwCompoundFileIntf::UnlockFile(TdwFileHandle handle, std::int64_t, std::int64_t, bool) {
  if (!FileOf(handle)) return;
  const auto index = static_cast<std::size_t>(handle - kCompoundFirstHandle);
  const int held = FHandleLocks[index];
  FHandleLocks[index] = 0;
  if (held == kHandleReadLock) Impl().EndRead(FClientHdl);
  if (held == kHandleWriteLock) Impl().EndWrite(FClientHdl);
}

int TdwCompoundFileIntf::IsRangeLocked(TdwFileHandle handle, std::int64_t, std::int64_t) {
  if (!FileOf(handle)) return -1;
  TdwCompoundFileImpl& impl = Impl();
  if (!impl.BeginWrite(FClientHdl)) return 1;
  impl.EndWrite(FClientHdl);
  return 0;
}

std::optional<TdwFileInfo> TdwCompoundFileIntf::GetFileInfo(const std::string& fileName) {
  const std::vector<std::string> path = SplitPath(fileName);
  return UnderLock<std::optional<TdwFileInfo>>(false, std::nullopt, [&]() -> std::optional<TdwFileInfo> {
    const std::optional<TdwCompoundEntryInfo> found = Impl().Stat(path);
    if (!found) {
      FLastError = ENOENT;
      return std::nullopt;
    }
    TdwFileInfo info;
    info.FId.FDevice = std::hash<std::string>{}(FFileName) | (std::uint64_t{1} << 63);
    info.FId.FInode = (static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(found->FDirectory)) << 20) ^
                      static_cast<std::uint64_t>(found->FIndex + 1);
    info.FSize = found->FEntry.FSize;
    info.FIsDirectory = found->FEntry.FIsDirectory;
    return info;
  });
}

bool TdwCompoundFileIntf::CreateDir(const std::string& dirPath) {
  const std::vector<std::string> path = SplitPath(dirPath);
  return UnderLock<bool>(true, false, [&] {
    FLastError = Impl().CreateDir(path);
    return FLastError == 0;
  });
}

bool TdwCompoundFileIntf::RemoveDir(const std::string& dirPath) {
  const std::vector<std::string> path = SplitPath(dirPath);
  return UnderLock<bool>(true, false, [&] {
    FLastError = Impl().RemoveDir(path);
    return FLastError == 0;
  });
}

bool TdwCompoundFileIntf::ForcePath(const std::string& dirPath) {
  const std::vector<std::string> path = SplitPath(dirPath);
  return UnderLock<bool>(true, false, [&] {
    for (std::size_t length = 1; length <= path.size(); ++length) {
      const std::vector<std::string> part(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(length));
      const int error = Impl().CreateDir(part);
      if (error != 0 && error != EEXIST) {
        FLastError = error;
        return false;
      }
    }
    return true;
  });
}

int TdwCompoundFileIntf::FindFirstFile(const std::string& path, int, TdwFindFileRec& rec) {
  std::vector<std::string> names = SplitPath(path);
  const std::string pattern = names.empty() ? "*" : names.back();
  if (!names.empty()) names.pop_back();
  rec = TdwFindFileRec{};
  for (const std::string& name : names) rec.FDirectory += (rec.FDirectory.empty() ? "" : "\\") + name;
  const int error = UnderLock<int>(false, EBUSY, [&] {
    std::vector<TdwDirEntry> entries;
    if (const int failed = Impl().List(names, entries)) return failed;
    for (const TdwDirEntry& entry : entries)
      if (EntryNameMatches(entry.FName, pattern)) rec.FPending.push_back(entry.FName);
    return 0;
  });
  if (error != 0) {
    FLastError = error;
    return error;
  }
  return FindNextFile(rec);
}

bool TdwCompoundFileIntf::DeleteFile(const std::string& fileName) {
  const std::vector<std::string> path = SplitPath(fileName);
  return UnderLock<bool>(true, false, [&] {
    FLastError = Impl().DeleteFile(path);
    return FLastError == 0;
  });
}

bool TdwCompoundFileIntf::RenameFile(const std::string& oldName, const std::string& newName) {
  const std::vector<std::string> oldPath = SplitPath(oldName);
  const std::vector<std::string> newPath = SplitPath(newName);
  return UnderLock<bool>(true, false, [&] {
    FLastError = Impl().RenameFile(oldPath, newPath);
    return FLastError == 0;
  });
}

bool TdwCompoundFileIntf::ReplaceFile(const std::string& newFile, const std::string& target) {
  const std::vector<std::string> newPath = SplitPath(newFile);
  const std::vector<std::string> targetPath = SplitPath(target);
  return UnderLock<bool>(true, false, [&] {
    FLastError = Impl().DeleteFile(targetPath);
    if (FLastError != 0 && FLastError != ENOENT) return false;
    FLastError = Impl().RenameFile(newPath, targetPath);
    return FLastError == 0;
  });
}

}  // namespace kestrel
