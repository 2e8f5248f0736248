// TdwFileSystemTdbStream: positioned reads and writes and byte-range locks
// on one handle of a TdwFileSystem.
#include "engine/fs/file_stream.h"

#include <vector>

#include "engine/crypto/encryption.h"

namespace kestrel {

namespace {
constexpr std::int64_t kWholeFileLockStart = 0;  // Lock() holds byte 0
constexpr std::int64_t kWholeFileLockLength = 1;
}  // namespace

TdwFileSystemTdbStream::TdwFileSystemTdbStream(TdwFileSystem& fileSystem,
                                               TTdbEncryption* encryption)
    : FFileSystem(&fileSystem), FEncryption(encryption) {}

TdwFileSystemTdbStream::~TdwFileSystemTdbStream() { Close(); }

int TdwFileSystemTdbStream::Fail(int error) {
  FError = error;
  return -error;
}

int TdwFileSystemTdbStream::Succeed() {
  FError = 0;
  return 0;
}

int TdwFileSystemTdbStream::Reset(const std::string& fileName, int fileMode) {
  Close();
  FFileName = fileName;
  FFileMode = fileMode;
  FHandle = FFileSystem->OpenFile(fileName, fileMode);
  return IsOpen() ? Succeed() : Fail(kStreamErrOpen);
}

int TdwFileSystemTdbStream::Rewrite(const std::string& fileName, int fileMode) {
  Close();
  FFileName = fileName;
  FFileMode = fileMode;
  const TdwFileHandle created = FFileSystem->CreateFile(fileName);
  if (!IsValidHandle(created)) return Fail(kStreamErrWrite);
  FFileSystem->CloseFile(created);
  FHandle = FFileSystem->OpenFile(fileName, fileMode);
  return IsOpen() ? Succeed() : Fail(kStreamErrOpen);
}

int TdwFileSystemTdbStream::Close() {
  if (IsOpen()) FFileSystem->CloseFile(FHandle);  // releases the byte-range locks
  FHandle = kInvalidFileHandle;
  FLockCount = 0;
  return Succeed();
}

int TdwFileSystemTdbStream::ReadNBytes(std::int64_t pos, std::int32_t count, void* data,
                                       bool encrypted) {
  if (!IsOpen() || count < 0) return Fail(kStreamErrRead);
  if (FFileSystem->FileRead(FHandle, pos, data, count) != count) return Fail(kStreamErrRead);
  if (encrypted && FEncryption)
    FEncryption->DecryptBlock(static_cast<std::uint8_t*>(data), static_cast<std::size_t>(count));
  return Succeed();
}

int TdwFileSystemTdbStream::WriteNBytes(std::int64_t pos, std::int32_t count, const void* data,
                                        bool encrypted) {
  if (!IsOpen() || count < 0) return Fail(kStreamErrWrite);
  std::vector<std::uint8_t> cipher;
  if (encrypted && FEncryption) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    cipher.assign(bytes, bytes + count);
    FEncryption->EncryptBlock(cipher.data(), cipher.size());
    data = cipher.data();
  }
  if (FFileSystem->FileWrite(FHandle, pos, data, count) != count) return Fail(kStreamErrWrite);
  return Succeed();
}

int TdwFileSystemTdbStream::TestNBytes(std::int64_t pos, std::int32_t count, const void* data) {
  return WriteNBytes(pos, count, data, false);
}

std::int64_t TdwFileSystemTdbStream::Size() {
  if (!IsOpen()) return Fail(kStreamErrRead);
  const std::int64_t size = FFileSystem->GetFileSize(FHandle);
  if (size < 0) return Fail(kStreamErrRead);
  Succeed();
  return size;
}

int TdwFileSystemTdbStream::Cut(std::int64_t pos) {
  if (!IsOpen() || !FFileSystem->SetFileSize(FHandle, pos)) return Fail(kStreamErrWrite);
  return Succeed();
}

int TdwFileSystemTdbStream::Sync() {
  if (!IsOpen() || !FFileSystem->SyncFile(FHandle)) return Fail(kStreamErrWrite);
  return Succeed();
}

int TdwFileSystemTdbStream::Erase() {
  Close();
  return FFileSystem->DeleteFile(FFileName) ? Succeed() : Fail(kStreamErrWrite);
}

int TdwFileSystemTdbStream::Lock() {
  if (FLockCount > 0) {
    ++FLockCount;
    return Succeed();
  }
  const int rc = LockRange(kWholeFileLockStart, kWholeFileLockLength);
  if (rc == 0) FLockCount = 1;
  return rc;
}

int TdwFileSystemTdbStream::Unlock() {
  if (FLockCount == 0) return Fail(kStreamErrLock);
  if (--FLockCount > 0) return Succeed();
  return UnlockRange(kWholeFileLockStart, kWholeFileLockLength);
}

int TdwFileSystemTdbStream::LockRange(std::int64_t startPos, std::int64_t length) {
  if (!IsOpen()) return Fail(kStreamErrLock);
  const int rc = FFileSystem->LockFile(FHandle, startPos, startPos + length, true);
  if (rc > 0) return Succeed();
  return Fail(rc == 0 ? kStreamErrLockedByOther : kStreamErrLock);
}

int TdwFileSystemTdbStream::UnlockRange(std::int64_t startPos, std::int64_t length) {
  if (!IsOpen()) return Fail(kStreamErrLock);
  FFileSystem->UnlockFile(FHandle, startPos, startPos + length, true);
  return Succeed();
}

int TdwFileSystemTdbStream::IsRangeLocked(std::int64_t startPos, std::int64_t length) {
  if (!IsOpen()) return Fail(kStreamErrLock);
  const int rc = FFileSystem->IsRangeLocked(FHandle, startPos, startPos + length);
  if (rc < 0) return Fail(kStreamErrLock);
  Succeed();
  return rc;
}

}  // namespace kestrel
