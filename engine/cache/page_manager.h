// TTdbPageManager: the process-wide page cache. It opens every file once as a
// storage, reads and writes it in tiles of its file system's tile size, keeps
// the tile buffers within a memory limit and serves the page sites of its
// client storages (engine/cache/client_storage.h, page_site.h).
//
// Design:
// - One critical section (FCriticalSection) guards every file system entry,
//   storage, buffer and pool; every public operation here and every operation
//   of client storages and page sites takes it. It is never held while
//   calling out of the cache except into the file system.
// - The cache adds nothing to the files: a storage is a flat byte array whose
//   logical size is its tile count times the tile size.
// - Writes stay in the cache until a client flushes its storage; a flush
//   writes every modified buffer of the storage, whoever modified it. A
//   buffer that is not written stays modified, so a failed flush can be
//   repeated. The last close and a page size change flush first; only Undo
//   and Invalidate discard changes.
// - Buffers are recycled through pools by size. The limit is a target: when
//   reached, pools are trimmed to 70 % and unlocked clean buffers evicted;
//   modified and locked buffers are never evicted, so the cache may exceed
//   the limit (a warning is logged).
// - A buffer for a tile not (or no longer) in the file is zero bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/base/thread_annotations.h"
#include "engine/cache/storage.h"
#include "engine/fs/file_system.h"
#include "engine/fs/log.h"

namespace kestrel {

class TdwCryptor;
class TTdbClientStorage;
class TTdbStoragePageSite;

class TTdbPageManager {
 public:
  TTdbPageManager();
  TTdbPageManager(const TTdbPageManager&) = delete;
  TTdbPageManager& operator=(const TTdbPageManager&) = delete;
  // Every client storage must be closed or destroyed before.
  ~TTdbPageManager();

  // The page manager of the process, created on first use, never destroyed.
  static TTdbPageManager& Instance();

  // Adds cacheSizeKB kilobytes to the memory limit (a session of the engine
  // registers when its database opens).
  void RegisterClient(int clientHdl, int cacheSizeKB);
  // Subtracts them again (not below 0) and shrinks the cache to the new limit.
  void UnregisterClient(int clientHdl, int cacheSizeKB);

  // Registers a file system under a name (the database location). False, and
  // nothing changes, when the name is registered already.
  bool AddFileSystem(const std::string& name, std::shared_ptr<TdwFileSystem> fileSystem);
  // The file system registered under the name (compared exactly: file names
  // are case-sensitive here) with its reference count raised, or null.
  std::shared_ptr<TdwFileSystem> GetFileSystem(const std::string& name);
  // Lowers the reference count; at zero the file system is closed and removed.
  // Throws ETdbPageManager when the file system is not registered.
  void ReleaseFileSystem(const TdwFileSystem* fileSystem);

  // Log for diagnostics ("Page Manager"); null for none. Not owned.
  void SetLog(TdwLog* log);

  // Bytes of tile buffers allocated (cached and pooled), and the limit.
  std::int64_t GetCacheSize() const;
  std::int64_t GetCacheLimit() const;
  // Whether the cache is over its limit with nothing left to evict but
  // modified or locked buffers (until the next flush): a long run of
  // changes should be flushed so that its buffers can go.
  bool NeedsFlush() const;
  // Number of storages open.
  int GetStorageCount() const;

 private:
  friend class TTdbClientStorage;
  friend class TTdbStoragePageSite;

  struct TTdbFileSystemEntry {
    std::string FName;
    std::shared_ptr<TdwFileSystem> FFileSystem;
    int FReferenceCounter = 0;
  };

  // All *Locked operations expect FCriticalSection held by the caller.
  TTdbStorage& StorageLocked(TTdbStorageHdl storageHdl) TDW_REQUIRES(FCriticalSection);
  static std::int64_t TileSize(const TTdbStorage& storage);
  // Tiles per buffer of a storage at its page size.
  static std::int64_t BufferTiles(const TTdbStorage& storage);
  void LogLocked(int severity, const std::string& text) TDW_REQUIRES(FCriticalSection);
  [[noreturn]] void RaiseLocked(const std::string& context, const std::string& text) TDW_REQUIRES(FCriticalSection);

  // Opening, creating and closing storages for a client (Algorithms of the
  // client storage). Answer the storage handle.
  TTdbStorageHdl OpenStorageLocked(TdwFileSystem& fileSystem, const std::string& name,
                                   bool readOnly, bool exclusive, const TdwCryptor* cryptor) TDW_REQUIRES(FCriticalSection);
  TTdbStorageHdl CreateStorageLocked(TdwFileSystem& fileSystem, const std::string& name,
                                     const TdwCryptor* cryptor) TDW_REQUIRES(FCriticalSection);
  TTdbStorageHdl AddStorageLocked(std::unique_ptr<TTdbStorage> storage) TDW_REQUIRES(FCriticalSection);
  // Lowers the reference count; at zero the buffers go to the pools (their
  // changes are lost: callers flush first) and the file is closed.
  void ReleaseStorageLocked(TTdbStorageHdl storageHdl) TDW_REQUIRES(FCriticalSection);

  void FlushLocked(TTdbStorageHdl storageHdl) TDW_REQUIRES(FCriticalSection);
  void UndoLocked(TTdbStorageHdl storageHdl) TDW_REQUIRES(FCriticalSection);
  void InvalidateLocked(TTdbStorageHdl storageHdl) TDW_REQUIRES(FCriticalSection);
  void SetTileCountLocked(TTdbStorageHdl storageHdl, std::int64_t tileCount) TDW_REQUIRES(FCriticalSection);
  void SetPageSizeLocked(TTdbStorageHdl storageHdl, int pageSize) TDW_REQUIRES(FCriticalSection);
  // A commit syncs outside the mutex: StartCommitLocked answers whether
  // anything was written since the last commit and, if so, marks the storage
  // committed and gives the file to sync; CommitFailedLocked marks it
  // uncommitted again and raises the sync's error.
  bool StartCommitLocked(TTdbStorageHdl storageHdl, TdwFileSystem*& fileSystem, TdwFileHandle& handle)
      TDW_REQUIRES(FCriticalSection);
  [[noreturn]] void CommitFailedLocked(TTdbStorageHdl storageHdl, int error) TDW_REQUIRES(FCriticalSection);
  // The file to start writing back when anything was written since the last
  // commit; unlike StartCommitLocked it leaves the storage uncommitted.
  bool WriteBackTargetLocked(TTdbStorageHdl storageHdl, TdwFileSystem*& fileSystem, TdwFileHandle& handle)
      TDW_REQUIRES(FCriticalSection);

  // Page sites.
  void PositionSiteLocked(TTdbStoragePageSite& site, std::int64_t pageNo, bool init) TDW_REQUIRES(FCriticalSection);
  void ReleaseSiteLocked(TTdbStoragePageSite& site) TDW_REQUIRES(FCriticalSection);
  // Makes the site's buffer usable: reloads an invalid buffer and repositions
  // a site whose storage changed its page size. Throws when not positioned.
  void EnsureSiteValidLocked(TTdbStoragePageSite& site) TDW_REQUIRES(FCriticalSection);
  void ModifyLocked(TTdbStoragePageSite& site) TDW_REQUIRES(FCriticalSection);

  // Buffers.
  TTdbStoragePage* FindPageLocked(TTdbStorage& storage, std::int64_t tileNo) TDW_REQUIRES(FCriticalSection);
  TTdbStoragePage* ReadStorageTileLocked(TTdbStorageHdl storageHdl, std::int64_t tileNo) TDW_REQUIRES(FCriticalSection);
  TTdbStoragePage* NewStorageTileLocked(TTdbStorageHdl storageHdl, std::int64_t tileNo) TDW_REQUIRES(FCriticalSection);
  void FillPageLocked(TTdbStorage& storage, TTdbStoragePage& page, const char* context) TDW_REQUIRES(FCriticalSection);
  void InsertPageLocked(TTdbStorage& storage, std::unique_ptr<TTdbStoragePage> page) TDW_REQUIRES(FCriticalSection);
  std::unique_ptr<TTdbStoragePage> ExtractPageLocked(TTdbStorage& storage, TTdbStoragePage* page) TDW_REQUIRES(FCriticalSection);
  // Drops a cached buffer: a locked one becomes invalid, an unlocked one goes
  // to the pools. Either way it leaves the modified list.
  void DropPageLocked(TTdbStorage& storage, TTdbStoragePage* page) TDW_REQUIRES(FCriticalSection);
  void RemoveFromModifiedLocked(TTdbStorage& storage, TTdbStoragePage* page) TDW_REQUIRES(FCriticalSection);
  std::unique_ptr<TTdbStoragePage> TakeBufferLocked(std::size_t size) TDW_REQUIRES(FCriticalSection);
  void ReturnToPoolLocked(std::unique_ptr<TTdbStoragePage> page) TDW_REQUIRES(FCriticalSection);
  void MakeRoomLocked() TDW_REQUIRES(FCriticalSection);
  void TrimPoolsLocked() TDW_REQUIRES(FCriticalSection);

  mutable TdwMutex FCriticalSection;
  std::vector<TTdbFileSystemEntry> FFileSystems TDW_GUARDED_BY(FCriticalSection);
  std::vector<std::unique_ptr<TTdbStorage>> FStorages TDW_GUARDED_BY(FCriticalSection);  // handle = index + 1
  std::map<std::size_t, std::vector<std::unique_ptr<TTdbStoragePage>>> FTileCaches TDW_GUARDED_BY(FCriticalSection);
  TdwLog* FLog TDW_GUARDED_BY(FCriticalSection) = nullptr;
  std::int64_t FCacheLimit TDW_GUARDED_BY(FCriticalSection) = 0;
  std::int64_t FCacheSize TDW_GUARDED_BY(FCriticalSection) = 0;
  // After a scan that could not bring the cache under its limit, the cache
  // size below which no new scan is made (0: scan whenever over the limit).
  std::int64_t FNextRoomScan TDW_GUARDED_BY(FCriticalSection) = 0;
};

}  // namespace kestrel
