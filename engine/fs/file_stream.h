// TdwFileSystemTdbStream: direct byte-range access to one file, without the
// page cache, for the lock file and the redo log.
//
// Every operation answers 0 (or a size or a count) on success and the negated
// stream error on failure; the error stays in Error() until the next
// operation succeeds. Errors: kStreamErrOpen (1), kStreamErrRead (2),
// kStreamErrWrite (3, also create), kStreamErrLock (6),
// kStreamErrLockedByOther (9). A failed read keeps the handle and its
// byte-range locks. Byte-range locks are exclusive and belong to this
// stream's handle: another stream of the same process conflicts with them.
// A stream is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "engine/fs/file_system.h"

namespace kestrel {

class TTdbEncryption;

inline constexpr int kStreamErrOpen = 1;
inline constexpr int kStreamErrRead = 2;
inline constexpr int kStreamErrWrite = 3;
inline constexpr int kStreamErrLock = 6;
inline constexpr int kStreamErrLockedByOther = 9;

class TdwFileSystemTdbStream {
 public:
  // encryption: used for reads and writes asked to be encrypted; may be null.
  explicit TdwFileSystemTdbStream(TdwFileSystem& fileSystem, TTdbEncryption* encryption = nullptr);
  TdwFileSystemTdbStream(const TdwFileSystemTdbStream&) = delete;
  TdwFileSystemTdbStream& operator=(const TdwFileSystemTdbStream&) = delete;
  ~TdwFileSystemTdbStream();

  // Opens an existing file with the access and sharing mode (kFm* bits).
  int Reset(const std::string& fileName, int fileMode);
  // Creates (or empties) the file, then opens it with fileMode.
  int Rewrite(const std::string& fileName, int fileMode);
  int Close();
  bool IsOpen() const { return IsValidHandle(FHandle); }
  const std::string& FileName() const { return FFileName; }
  int Error() const { return FError; }

  // Reads exactly count bytes at pos (decrypted as one block when encrypted
  // and the stream has an encryption). Fewer bytes: error 2.
  int ReadNBytes(std::int64_t pos, std::int32_t count, void* data, bool encrypted);
  // Writes count bytes at pos (an encrypted copy when encrypted; data is not
  // changed). A short write is error 3.
  int WriteNBytes(std::int64_t pos, std::int32_t count, const void* data, bool encrypted);
  // Writes without encryption.
  int TestNBytes(std::int64_t pos, std::int32_t count, const void* data);
  // File size, or the negated error.
  std::int64_t Size();
  // Sets the file size to pos.
  int Cut(std::int64_t pos);
  // Commits the file's data and size to stable storage.
  int Sync();
  // Closes and deletes the file.
  int Erase();

  // Nested lock: the first Lock takes a byte-range lock on byte 0, the last
  // Unlock gives it back. Held by another handle: error 9.
  int Lock();
  int Unlock();
  int LockRange(std::int64_t startPos, std::int64_t length);
  int UnlockRange(std::int64_t startPos, std::int64_t length);
  // 1 when another handle holds a lock overlapping the range, 0 when not;
  // the stream's own locks stay as they are.
  int IsRangeLocked(std::int64_t startPos, std::int64_t length);

 private:
  int Fail(int error);
  int Succeed();

  TdwFileSystem* FFileSystem;
  TTdbEncryption* FEncryption;
  TdwFileHandle FHandle = kInvalidFileHandle;
  std::string FFileName;
  int FFileMode = 0;
  int FError = 0;
  int FLockCount = 0;
};

}  // namespace kestrel
