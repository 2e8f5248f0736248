// TdwOSFileSystem: POSIX calls behind the file system interface.
#include "engine/fs/os_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/fs/write_back.h"

namespace kestrel {

namespace {

constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kNewDirMode = 0777;

int Fd(TdwFileHandle handle) { return static_cast<int>(handle); }

// Takes the sharing lock of an open without waiting.
bool TakeSharingLock(int fd, bool exclusive) {
  int rc;
  do {
    rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

struct flock RangeLock(short type, std::int64_t startPos, std::int64_t endPos) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = startPos;
  fl.l_len = endPos - startPos;
  fl.l_pid = 0;  // required for open-file-description locks
  return fl;
}

}  // namespace

TdwOSFileSystem::TdwOSFileSystem(std::string baseDirectory)
    : FBaseDirectory(std::move(baseDirectory)) {}

std::string TdwOSFileSystem::GetBaseDirectory() const { return FBaseDirectory; }
int TdwOSFileSystem::GetPageSize() const { return kOSFileSystemTileSize; }
void TdwOSFileSystem::SetLastError(int code) { FLastError = code; }
int TdwOSFileSystem::GetLastError() const { return FLastError; }

template <typename T>
T TdwOSFileSystem::Fail(T result) {
  FLastError = errno;
  return result;
}

std::string TdwOSFileSystem::Resolve(const std::string& fileName) const {
  if (FBaseDirectory.empty() || fileName.empty() || fileName.front() == '/') return fileName;
  return (std::filesystem::path(FBaseDirectory) / fileName).string();
}

TdwFileHandle TdwOSFileSystem::CreateFile(const std::string& filePath) {
  const int fd = ::open(Resolve(filePath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return Fail(kInvalidFileHandle);
  // Truncating a file that another handle uses would pull it from under it:
  // take the file exclusively first, then keep it shared like any open.
  if (!TakeSharingLock(fd, true) || ::ftruncate(fd, 0) != 0 ||
      !TakeSharingLock(fd, FPhysicallyExclusive)) {
    FLastError = errno;
    ::close(fd);
    return kInvalidFileHandle;
  }
  return fd;
}

TdwFileHandle TdwOSFileSystem::OpenFile(const std::string& filePath, int mode) {
  if (FPhysicallyExclusive) mode = (mode & kFmPhysicallyExclusiveMask) | kFmShareExclusive;
  const int access = mode & kFmAccessMask;
  const int flags = (access == kFmOpenRead ? O_RDONLY : access == kFmOpenWrite ? O_WRONLY : O_RDWR);
  // Only regular files are opened; O_NONBLOCK keeps the open of a FIFO or
  // a device from waiting for a partner, and is cleared once the file is
  // known to be regular.
  const int fd = ::open(Resolve(filePath).c_str(), flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(kInvalidFileHandle);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    FLastError = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return kInvalidFileHandle;
  }
  const int fileFlags = ::fcntl(fd, F_GETFL);
  if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
    FLastError = errno;
    ::close(fd);
    return kInvalidFileHandle;
  }
  if (!TakeSharingLock(fd, (mode & kFmShareExclusive) != 0)) {
    FLastError = errno;
    ::close(fd);
    return kInvalidFileHandle;
  }
  return fd;
}

std::int64_t TdwOSFileSystem::FileRead(TdwFileHandle handle, std::int64_t pos, void* data,
                                       std::int64_t count) {
  if (pos < 0 || count < 0) {
    errno = EINVAL;
    return Fail<std::int64_t>(-1);
  }
  auto* bytes = static_cast<char*>(data);
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(Fd(handle), bytes + done, count - done, pos + done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail<std::int64_t>(-1);
    }
    if (got == 0) break;  // end of file
    done += got;
  }
  return done;
}

std::int64_t TdwOSFileSystem::FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                                        std::int64_t count) {
  if (pos < 0 || count < 0) {
    errno = EINVAL;
    return Fail<std::int64_t>(-1);
  }
  const auto* bytes = static_cast<const char*>(data);
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t put = ::pwrite(Fd(handle), bytes + done, count - done, pos + done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail<std::int64_t>(done > 0 ? done : -1);
    }
    if (put == 0) {
      FLastError = ENOSPC;
      return done > 0 ? done : -1;
    }
    done += put;
  }
  return done;
}

std::int64_t TdwOSFileSystem::GetFileSize(TdwFileHandle handle) {
  struct stat st {};
  if (::fstat(Fd(handle), &st) != 0) return Fail<std::int64_t>(-1);
  return st.st_size;
}

bool TdwOSFileSystem::SetFileSize(TdwFileHandle handle, std::int64_t size) {
  if (size < 0) {
    errno = EINVAL;
    return Fail(false);
  }
  int rc;
  do {
    rc = ::ftruncate(Fd(handle), size);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? true : Fail(false);
}

void TdwOSFileSystem::CloseFile(TdwFileHandle handle) {
  if (!IsValidHandle(handle)) return;
  CancelWriteBack(Fd(handle));
  ::close(Fd(handle));
}

bool TdwOSFileSystem::SyncFile(TdwFileHandle handle) {
  return ::fsync(Fd(handle)) == 0 ? true : Fail(false);
}

bool TdwOSFileSystem::StartWriteBack(TdwFileHandle handle) {
  return QueueWriteBack(Fd(handle)) ? true : Fail(false);
}

bool TdwOSFileSystem::SyncDirectory(const std::string& dirPath) {
  // An empty name is the directory relative names are resolved against.
  const std::string resolved = Resolve(dirPath.empty() ? std::string(".") : dirPath);
  const int fd = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail(false);
  if (::fsync(fd) != 0) {
    FLastError = errno;
    ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

int TdwOSFileSystem::LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                              bool) {
  if (endPos <= startPos || startPos < 0) {
    errno = EINVAL;
    return Fail(-1);
  }
  struct flock fl = RangeLock(F_WRLCK, startPos, endPos);
  if (::fcntl(Fd(handle), F_OFD_SETLK, &fl) == 0) return 1;
  if (errno == EAGAIN || errno == EACCES) return Fail(0);
  return Fail(-1);
}

void TdwOSFileSystem::UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                                 bool) {
  if (endPos <= startPos || startPos < 0) return;
  struct flock fl = RangeLock(F_UNLCK, startPos, endPos);
  if (::fcntl(Fd(handle), F_OFD_SETLK, &fl) != 0) FLastError = errno;
}

int TdwOSFileSystem::IsRangeLocked(TdwFileHandle handle, std::int64_t startPos,
                                   std::int64_t endPos) {
  if (endPos <= startPos || startPos < 0) {
    errno = EINVAL;
    return Fail(-1);
  }
  struct flock fl = RangeLock(F_WRLCK, startPos, endPos);
  if (::fcntl(Fd(handle), F_OFD_GETLK, &fl) != 0) return Fail(-1);
  return fl.l_type == F_UNLCK ? 0 : 1;
}

std::optional<TdwFileInfo> TdwOSFileSystem::GetFileInfo(const std::string& fileName) {
  struct stat st {};
  if (::stat(Resolve(fileName).c_str(), &st) != 0) {
    FLastError = errno;
    return std::nullopt;
  }
  TdwFileInfo info;
  info.FId = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  info.FSize = st.st_size;
  info.FIsDirectory = S_ISDIR(st.st_mode);
  return info;
}

bool TdwOSFileSystem::CreateDir(const std::string& dirPath) {
  return ::mkdir(Resolve(dirPath).c_str(), kNewDirMode) == 0 ? true : Fail(false);
}

bool TdwOSFileSystem::RemoveDir(const std::string& dirPath) {
  return ::rmdir(Resolve(dirPath).c_str()) == 0 ? true : Fail(false);
}

int TdwOSFileSystem::FindFirstFile(const std::string& path, int, TdwFindFileRec& rec) {
  const std::filesystem::path full(Resolve(path));
  std::string dir = full.parent_path().string();
  const std::string pattern = full.filename().string();
  rec = TdwFindFileRec{};
  rec.FDirectory = dir;
  DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!listing) return Fail(errno ? errno : ENOENT);
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0) rec.FPending.push_back(name);
  }
  ::closedir(listing);
  std::sort(rec.FPending.begin(), rec.FPending.end());
  return FindNextFile(rec);
}

bool TdwOSFileSystem::DeleteFile(const std::string& fileName) {
  return ::unlink(Resolve(fileName).c_str()) == 0 ? true : Fail(false);
}

bool TdwOSFileSystem::LinkFile(const std::string& existing, const std::string& newName) {
  return ::link(Resolve(existing).c_str(), Resolve(newName).c_str()) == 0 ? true : Fail(false);
}

std::optional<TdwFileId> TdwOSFileSystem::GetHandleId(TdwFileHandle handle) {
  struct stat st {};
  if (::fstat(Fd(handle), &st) != 0) {
    FLastError = errno;
    return std::nullopt;
  }
  return TdwFileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool TdwOSFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  return ::renameat2(AT_FDCWD, Resolve(oldName).c_str(), AT_FDCWD, Resolve(newName).c_str(),
                     RENAME_NOREPLACE) == 0
             ? true
             : Fail(false);
}

bool TdwOSFileSystem::ReplaceFile(const std::string& newFile, const std::string& target) {
  return ::rename(Resolve(newFile).c_str(), Resolve(target).c_str()) == 0 ? true : Fail(false);
}

std::string TdwOSFileSystem::ExpandFileName(const std::string& fileName) const {
  std::error_code ec;
  const std::filesystem::path abs = std::filesystem::absolute(Resolve(fileName), ec);
  return ec ? Resolve(fileName) : abs.lexically_normal().string();
}

std::string TdwOSFileSystem::CanonicalFileName(const std::string& fileName) const {
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(ExpandFileName(fileName), ec);
  return ec ? ExpandFileName(fileName) : canonical.string();
}

bool TdwOSFileSystem::ForcePath(const std::string& dirPath) {
  std::error_code ec;
  std::filesystem::create_directories(Resolve(dirPath), ec);
  if (ec) {
    FLastError = ec.value();
    return false;
  }
  return true;
}

}  // namespace kestrel
