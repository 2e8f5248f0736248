// TdwCompoundFileImpl: one open container file of this process, shared by
// every opener of the same file name (each opener is a client with its own
// lock counts), and the files and directories inside it.
//
// Design:
// - Contained files are TdwVirtualFile objects: the directory that holds
//   the entry, the entry's index, the first tile, the size, the chain of
//   tiles (walked once from the allocation table and checked) and the
//   cached tiles (slots). The root directory is entry 0 of FVirtualFiles and
//   has no entry; the allocation table lives in memory (FFat) with the
//   header fields and is written back as the master file's tiles.
// - Everything the container holds is untrusted: every successor, tile
//   count, entry name and size is checked before use, and every walk is
//   bounded by the tile count. Damage raises ETdbEngine (tdbErrException)
//   with a message naming the container, never a hang.
// - Changes stay in the slots while the container's write lock is held. A
//   new slot (kSlotNew) has no tile yet; it gets one when committed, at the
//   end of the file's chain. A commit writes data tiles first, then the
//   master file, then the directories, so a container cut short by a crash
//   never names a tile whose data was not written.
// - Locks: inside the process, BeginRead/BeginWrite count per client and
//   hold FCriticalSection until the matching EndRead/EndWrite. Between
//   processes, readers lock one of the lock bytes 768..777 and a writer all
//   ten. When the last lock of all clients ends, the physical lock is
//   settled at once: a write lock commits every open file and is given up
//   (or turned into a read lock while a client still reads), a read lock is
//   given up. Every physical lock taken compares the change counter with
//   the cached header and drops every cached tile when another process has
//   written; a writer raises it by one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/container/compound_format.h"
#include "engine/fs/file_system.h"

namespace kestrel {

enum TdwPhysicalLockType { pltNone, pltRead, pltWrite };

inline constexpr std::uint8_t kSlotNew = 2;
inline constexpr std::uint8_t kSlotModified = 4;

// One cached tile of a contained file.
struct TdwTileSlot {
  std::int32_t FTileNo = kTileChainEnd;  // kTileChainEnd while kSlotNew
  std::uint8_t FFlags = 0;
  std::vector<std::uint8_t> FBuffer;
};

class TdwVirtualFile {
 public:
  TdwVirtualFile* FDirectory = nullptr;  // null for the root
  int FDirIndex = -1;
  bool FIsDirectory = false;
  std::int32_t FStartPageNo = kTileChainEnd;
  std::int64_t FSize = 0;
  // The entry's values as last read or written, to see what a commit changes.
  std::int32_t FEntryStart = kTileChainEnd;
  std::int64_t FEntrySize = 0;
  std::vector<std::int32_t> FChain;  // the allocated tiles, in order
  bool FChainKnown = false;
  std::map<std::int64_t, TdwTileSlot> FSlots;  // by tile index within the file
  int FRefCount = 0;
  std::string FName;  // path inside the container, for messages
};

// What Stat tells about a path inside the container.
struct TdwCompoundEntryInfo {
  TdwVirtualFile* FDirectory = nullptr;
  int FIndex = -1;  // -1 for the root
  TdwDirEntry FEntry;
};

class TdwCompoundFileImpl {
 public:
  // os: where the container file lives; fileName: its absolute name.
  TdwCompoundFileImpl(std::shared_ptr<TdwFileSystem> os, std::string fileName, bool readOnly,
                      bool exclusive);
  ~TdwCompoundFileImpl();
  TdwCompoundFileImpl(const TdwCompoundFileImpl&) = delete;
  TdwCompoundFileImpl& operator=(const TdwCompoundFileImpl&) = delete;

  // The open implementation object of `fileName` in this process (joined
  // with a new client number when shared), or a new one opened with these
  // settings. Throws ETdbEngine when the container cannot be opened.
  static std::shared_ptr<TdwCompoundFileImpl> Acquire(std::shared_ptr<TdwFileSystem> os,
                                                      const std::string& fileName, bool readOnly,
                                                      bool exclusive, bool shared, int& client);
  // Frees the client slot; the last client closes the container.
  static void Release(const std::shared_ptr<TdwCompoundFileImpl>& impl, int client);

  // Writes a new empty container (replacing any file of that name).
  static void NewFile(TdwFileSystem& os, const std::string& fileName);

  const std::string& FileName() const { return FFileName; }
  bool ReadOnly() const { return FReadOnly; }
  bool IsOpen() const { return IsValidHandle(FHandle); }
  std::int64_t TileCount() const { return static_cast<std::int64_t>(FFat.size()); }

  // ---- Locks (see the design note). Begin* answer false when another
  // client of the process holds a conflicting lock or the byte-range lock
  // could not be had; End* throw on a call without Begin.
  bool BeginRead(int client);
  bool BeginWrite(int client);
  void EndRead(int client);
  void EndWrite(int client);

  // ---- Contained files; the caller holds BeginRead (queries) or
  // BeginWrite (changes). Paths are split into their names. Results of 0
  // mean success, else the operating-system style error code (2, 3, 32,
  // 183, 1).
  int OpenFile(const std::vector<std::string>& path, bool create, TdwVirtualFile*& file);
  void ReleaseFile(TdwVirtualFile* file);
  std::int64_t Read(TdwVirtualFile& file, std::int64_t pos, void* data, std::int64_t count);
  std::int64_t Write(TdwVirtualFile& file, std::int64_t pos, const void* data, std::int64_t count);
  void Resize(TdwVirtualFile& file, std::int64_t size);
  std::optional<TdwCompoundEntryInfo> Stat(const std::vector<std::string>& path);
  int CreateDir(const std::vector<std::string>& path);
  int RemoveDir(const std::vector<std::string>& path);
  int DeleteFile(const std::vector<std::string>& path);
  int RenameFile(const std::vector<std::string>& oldPath, const std::vector<std::string>& newPath);
  // The live entries of a directory (3 when it is not one).
  int List(const std::vector<std::string>& dirPath, std::vector<TdwDirEntry>& entries);
  // Commits the open files' changes (under the write lock) and syncs.
  void Sync();

  // The section Begin*/End* hold; taken alone by calls that need no lock.
  std::recursive_mutex& CriticalSection() { return FCriticalSection; }

  // Walks every chain of a container opened for checking alone: the master
  // chain, the free list and the directory tree; reports each defect with
  // its owner's name ("<FAT>", "<Free list>", a path, "<UnassignedFile%d>")
  // and answers their number.
  int PerformCheck(const std::function<void(const std::string& owner, const std::string& message)>& onDefect);
  // Opens a container for this object alone (not shared, exclusive);
  // Discard closes it without committing.
  void OpenAlone() { Open(); }
  void Discard();

 private:
  void Open();
  void Close();
  int AddClient();
  void RemoveClient(int client);
  bool AnyClientWrites() const;
  bool AnyClientLocks() const;
  bool OtherClientLocks(int client) const;
  bool TakeReadLock();
  bool TakeWriteLock();
  void ReleasePhysicalLock();
  void Settle();
  void CheckChangeCounter();
  void Invalidate();

  [[noreturn]] void Damaged(const std::string& what) const;
  void ReadTile(std::int32_t tile, std::uint8_t* buffer);
  void WriteTile(std::int32_t tile, const std::uint8_t* buffer, std::int32_t startTile);
  void LoadMaster();
  void WriteMaster();
  void SetFat(std::int64_t tile, std::int32_t next);
  std::int32_t FatAt(std::int32_t tile) const;
  void GrowContainer(std::int32_t& last, std::int32_t& first);
  std::vector<std::int32_t> AllocateTiles(std::int32_t last, std::int64_t count);

  const std::vector<std::int32_t>& Chain(TdwVirtualFile& file);
  TdwTileSlot& Slot(TdwVirtualFile& file, std::int64_t index, bool forWrite);
  void AllocatePending(TdwVirtualFile& file);
  void CommitAll();
  void WriteSlots(TdwVirtualFile& file);
  void UpdateEntry(TdwVirtualFile& file);
  void DropCleanSlots();

  // Reads entry `index` of dir; `checked`: its size and first tile must
  // lie inside the container (else only its name is checked).
  TdwDirEntry ReadEntry(TdwVirtualFile& dir, int index, bool checked = true);
  void WriteEntry(TdwVirtualFile& dir, int index, const TdwDirEntry& entry);
  int EntryCount(TdwVirtualFile& dir);
  int FindEntry(TdwVirtualFile& dir, const std::string& name, TdwDirEntry* entry);
  int NewEntry(TdwVirtualFile& dir, const TdwDirEntry& entry);
  // The directory that holds the last name of path (3 when one is missing).
  int Parent(const std::vector<std::string>& path, TdwVirtualFile*& dir);
  TdwVirtualFile* FindOpen(TdwVirtualFile* dir, int index) const;
  TdwVirtualFile& Attach(TdwVirtualFile& dir, int index, const TdwDirEntry& entry);
  void Detach(TdwVirtualFile* file);

  std::shared_ptr<TdwFileSystem> FOs;
  std::string FFileName;
  bool FReadOnly;
  bool FExclusive;
  TdwFileHandle FHandle = kInvalidFileHandle;

  // Header and allocation table.
  std::int32_t FRootSize = 0;
  std::int32_t FFreeList = kTileListEmpty;
  std::int32_t FChangeCounter = 0;
  std::vector<std::int32_t> FFat;
  std::vector<std::int32_t> FMasterChain;
  std::set<std::int64_t> FDirtyMasterTiles;  // indexes within the master chain

  std::vector<std::unique_ptr<TdwVirtualFile>> FVirtualFiles;  // [0]: the root

  struct TClientLocks {
    bool FUsed = false;
    int FRead = 0;
    int FWrite = 0;
  };
  std::vector<TClientLocks> FLocks;  // index: client number (0 unused)
  int FLockPosition = kLockAreaStart;
  TdwPhysicalLockType FPhysicalLockType = pltNone;
  std::recursive_mutex FCriticalSection;
};

}  // namespace kestrel
