// TdwFileSystem: the one seam between the engine and the files it keeps.
// Every open, read, write, size change, byte-range lock and directory
// operation of the engine goes through an object of this interface, so tests
// can put a wrapper in its place that fails, shortens or drops writes.
//
// Conventions kept by every implementation:
// - A handle is an integer; kInvalidFileHandle (-1) is the only invalid one.
// - Positions and sizes are 64-bit.
// - An operation that fails records the operating system's error code
//   (GetLastError) and answers the failure value its contract names; only the
//   layers above turn failures into engine errors.
// - The sharing mode of an open (exclusive or shared) holds between processes
//   and between two opens of the same process.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

using TdwFileHandle = std::intptr_t;
inline constexpr TdwFileHandle kInvalidFileHandle = -1;

// Open mode bits: the access part and the sharing part are or-ed together.
inline constexpr int kFmOpenRead = 0x00;
inline constexpr int kFmOpenWrite = 0x01;
inline constexpr int kFmOpenReadWrite = 0x02;
inline constexpr int kFmAccessMask = 0x03;
inline constexpr int kFmShareExclusive = 0x10;
inline constexpr int kFmShareDenyNone = 0x40;
// Or-ed with a mode to strip its sharing bits before kFmShareExclusive is set.
inline constexpr int kFmPhysicallyExclusiveMask = 0xAF;

// Identity of a file: two names refer to the same file when their
// identities are equal (hard links and differently spelled paths included).
struct TdwFileId {
  std::uint64_t FDevice = 0;
  std::uint64_t FInode = 0;
  friend bool operator==(const TdwFileId&, const TdwFileId&) = default;
};

// What GetFileInfo tells about a name.
struct TdwFileInfo {
  TdwFileId FId;
  std::int64_t FSize = 0;
  bool FIsDirectory = false;
};

// Directory entry delivered by FindFirstFile / FindNextFile.
struct TdwFindFileRec {
  std::string FName;       // name without directory
  std::int64_t FSize = 0;  // bytes
  bool FIsDirectory = false;
  // Iteration state: the matching names of the listing and the next index.
  std::vector<std::string> FPending;
  std::string FDirectory;
  std::size_t FNext = 0;
};

inline bool IsValidHandle(TdwFileHandle handle) { return handle != kInvalidFileHandle; }

// A watch on one file (TdwFileSystem::WatchFile).
class TdwFileWatch {
 public:
  virtual ~TdwFileWatch();
  // Sleeps until somebody wrote the file since the watch began or since the
  // last Wait, or until timeoutMs passed. True when the file was written.
  virtual bool Wait(int timeoutMs) = 0;
};

class TdwFileSystem {
 public:
  TdwFileSystem() = default;
  TdwFileSystem(const TdwFileSystem&) = delete;
  TdwFileSystem& operator=(const TdwFileSystem&) = delete;
  virtual ~TdwFileSystem();

  // Directory that relative names are resolved against ("/" in the base).
  virtual std::string GetBaseDirectory() const;
  // Tile size: bytes read and written as one unit by the page manager.
  virtual int GetPageSize() const = 0;
  // Sets the tile size (ignored by file systems with a fixed one).
  virtual void SetPageSize(int value);
  virtual void SetLastError(int code);
  // Operating-system error code of the last failed operation of this object.
  virtual int GetLastError() const;
  // Make the file system usable / release it.
  virtual void Open();
  virtual void Close();
  virtual bool SupportsExclusiveFiles() const;

  // Creates (or truncates) a file for reading and writing. Refused while
  // another handle has the file open. kInvalidFileHandle on failure.
  virtual TdwFileHandle CreateFile(const std::string& filePath) = 0;
  // Opens with an access and sharing mode (kFm* bits). kInvalidFileHandle on
  // failure, also when the sharing mode conflicts with another open.
  virtual TdwFileHandle OpenFile(const std::string& filePath, int mode) = 0;
  // Reads up to count bytes at pos. Answers the bytes read (fewer only at the
  // end of the file, 0 when pos lies at or beyond it), negative on error.
  virtual std::int64_t FileRead(TdwFileHandle handle, std::int64_t pos, void* data,
                                std::int64_t count) = 0;
  // Writes count bytes at pos. Answers the bytes written; anything below
  // count is a failure (GetLastError tells why), negative when nothing was.
  virtual std::int64_t FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data,
                                 std::int64_t count) = 0;
  // File size in bytes, negative on error.
  virtual std::int64_t GetFileSize(TdwFileHandle handle) = 0;
  // Moves the end of file to size (grows with zero bytes or shrinks).
  virtual bool SetFileSize(TdwFileHandle handle, std::int64_t size) = 0;
  virtual bool EndOfFile(TdwFileHandle handle, std::int64_t pos);
  virtual void CloseFile(TdwFileHandle handle) = 0;
  // Commits the file's data and size to stable storage.
  virtual bool SyncFile(TdwFileHandle handle) = 0;
  // Starts writing the file's modified data to disk and returns without
  // waiting for it; nothing is promised about what reaches the disk, so
  // only SyncFile commits. The default does nothing.
  virtual bool StartWriteBack(TdwFileHandle handle);
  // Commits the entries of directory dirPath (names created, renamed or
  // deleted in it) to stable storage, so a name change is not lost with the
  // machine. True when done, and when the file system has no directory
  // entries of its own to commit (the base does nothing).
  virtual bool SyncDirectory(const std::string& dirPath);
  // Locks [startPos, endPos) exclusively for this handle (whatever writeLock
  // says). > 0 locked, 0 held by another handle or process, < 0 error. The
  // lock vanishes when the handle is closed or the process ends.
  virtual int LockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                       bool writeLock) = 0;
  virtual void UnlockFile(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos,
                          bool writeLock) = 0;
  // Whether another handle holds a lock overlapping [startPos, endPos); the
  // locks of this handle are not disturbed. < 0 on error.
  virtual int IsRangeLocked(TdwFileHandle handle, std::int64_t startPos, std::int64_t endPos) = 0;
  // Identity, size and kind of the named file or directory; empty when it
  // does not exist.
  virtual std::optional<TdwFileInfo> GetFileInfo(const std::string& fileName) = 0;

  virtual bool CreateDir(const std::string& dirPath) = 0;
  virtual bool RemoveDir(const std::string& dirPath) = 0;
  // Lists the entries of the directory part of path whose names match its
  // last part ('*' and '?' wildcards). 0 and the first entry in rec, or a
  // non-zero code when nothing matches.
  virtual int FindFirstFile(const std::string& path, int attr, TdwFindFileRec& rec) = 0;
  // 0 and the next entry, non-zero at the end.
  virtual int FindNextFile(TdwFindFileRec& rec);
  virtual void FindFileClose(TdwFindFileRec& rec);
  virtual bool DeleteFile(const std::string& fileName) = 0;
  // Removes everything of a container file system; 0 for directories.
  virtual int Clear();
  // Renames; refused when newName exists.
  virtual bool RenameFile(const std::string& oldName, const std::string& newName) = 0;
  // Puts file newFile in the place of target in one step (target, when it
  // exists, is replaced; a reader sees the one or the other, never neither).
  virtual bool ReplaceFile(const std::string& newFile, const std::string& target) = 0;
  // Gives the file `existing` the further name newName (a hard link); refused
  // when newName exists, so a file made whole under a temporary name appears
  // at newName at once or not at all. False when the file system has no links.
  virtual bool LinkFile(const std::string& existing, const std::string& newName);
  // Identity of the file an open handle refers to (it may no longer have a
  // name); empty when the file system cannot tell.
  virtual std::optional<TdwFileId> GetHandleId(TdwFileHandle handle);
  // Absolute, normalised form of a name (relative names joined to the base;
  // an empty name or "." is the base or, without one, the working directory).
  virtual std::string ExpandFileName(const std::string& fileName) const;
  // The one name of a file however it is reached: ExpandFileName with
  // symbolic links resolved as far as the path exists.
  virtual std::string CanonicalFileName(const std::string& fileName) const;
  // Creates a directory path with its missing parents.
  virtual bool ForcePath(const std::string& dirPath);
  // A watch that wakes its waiter when the file at fileName is written, by
  // this or any other process; null when this file system cannot watch
  // (the caller then polls).
  virtual std::unique_ptr<TdwFileWatch> WatchFile(const std::string& fileName);

  // Text of an operating-system error code.
  static std::string GetErrorMessage(int errorCode);
  bool FileExists(const std::string& fileName);
  bool DirectoryExists(const std::string& dirName);
  // Copies a file (replacing dstName). False on any failure.
  bool CopyFile(const std::string& srcName, const std::string& dstName);

  // When set, every open is made exclusive.
  bool FPhysicallyExclusive = false;
};

}  // namespace kestrel
