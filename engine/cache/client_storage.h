// TTdbClientStorage: one open file of a table (table file, memo file, blob
// file, index file) as a numbered sequence of pages of one page size, served
// by the page manager. Several clients of one process share the storage of a
// file; they all see the storage's page size.
//
// Pages and tiles: with tile size T and page size P, a page lies inside one
// tile when P <= T (P divides T), else it spans P / T tiles (T divides P).
// Page n covers the file bytes from n * P; the page count is the storage's
// logical size divided by P, rounded up.
//
// A client storage and its page sites are used by one thread at a time; the
// page manager's critical section makes sharing a storage between threads
// safe. Page sites must be destroyed before their client storage, or they are
// detached and refuse every later use.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "engine/cache/storage.h"

namespace kestrel {

class TdwCryptor;
class TdwFileSystem;
class TTdbPageManager;
class TTdbStoragePageSite;

class TTdbClientStorage {
 public:
  // clientHdl: the session number (>= 1); it marks the buffers this client
  // modifies. cryptor: the tile encryption of the file (index files of
  // encrypted level 6 tables), or null for none; it must outlive Open.
  TTdbClientStorage(TTdbPageManager& pageManager, TdwFileSystem& fileSystem, int clientHdl,
                    const TdwCryptor* cryptor);
  TTdbClientStorage(const TTdbClientStorage&) = delete;
  TTdbClientStorage& operator=(const TTdbClientStorage&) = delete;
  // Closes the storage if open. If the closing flush fails, the changes are
  // lost and an error is logged (destructors do not throw).
  ~TTdbClientStorage();

  // A closed client on the same page manager, file system and client handle,
  // without cryptor.
  std::unique_ptr<TTdbClientStorage> CreateSibling() const;

  const std::string& Name() const { return FName; }
  // Sets the file name (relative to the file system's base). Closed only.
  void SetName(const std::string& name);

  // Creates the file (replacing one not in use) and opens it as a storage,
  // read/write and shared. Throws ETdbPageManager when it cannot be created.
  void NewStorage();
  // Opens the file as a storage. Throws ETdbPMStorageNotFound when it does
  // not exist, ETdbPMStorageAccessDenied when the system or the sharing rules
  // refuse it (another exclusive open in this process or elsewhere, "Wrong
  // encryption"). The page size becomes the storage's, else this client's,
  // else the tile size.
  void Open(bool readOnly, bool exclusive);
  // Unloads this client's page sites and releases the storage. The last
  // client's close flushes first; if that flush throws, the client stays open
  // and unchanged.
  void Close();
  bool IsOpen() const { return FStorageHdl != 0; }
  bool GetReadOnly() const { return FReadOnly; }
  bool GetExclusive() const { return FExclusive; }

  // Writes every modified buffer of the storage and sets the file size to
  // the logical size. Throws ETdbPageManager ("Saving tile: ...") on a failed
  // or short write; the buffers not written stay modified.
  void Flush();
  // Discards the storage's unflushed changes (of all its clients); the
  // logical size is taken from the file again.
  void Undo();
  // Drops everything cached for the storage (unflushed changes included)
  // after another process changed the file; the size is read again.
  void Invalidate();
  // Commits the file's data and size to stable storage (fsync).
  void UpdateDir();
  // Starts writing what was written since the last commit to disk without
  // waiting for it; the storage stays uncommitted, so the next UpdateDir
  // still syncs. A failure to start is ignored: nothing was promised, and a
  // write error shows at the next sync.
  void StartWriteBack() noexcept;

  // Sets the page size of the storage (and of every client of it). A power
  // of two that divides the tile size or is a multiple of it; throws
  // ETdbPageManager otherwise. When the buffer layout changes, modified
  // buffers are flushed first (and the error of that flush is thrown).
  void SetPageSize(int pageSize);
  int GetPageSize() const;
  // Sets the logical size to hold pageCount pages (rounded up to tiles).
  // Pages cut off are dropped from the cache; the file changes at the next
  // flush. Bytes that come back after a cut read as zero.
  void SetPageCount(std::int64_t pageCount);
  std::int64_t GetPageCount() const;
  // Logical size in bytes (tile count times tile size).
  std::int64_t GetSize() const;

  // A new page site on this client, not positioned.
  std::unique_ptr<TTdbStoragePageSite> CreatePageSite();
  // A page site loaded on an existing page (see TTdbStoragePageSite::LoadPage).
  std::unique_ptr<TTdbStoragePageSite> ReadPage(std::int64_t pageNo);
  // A page site initialised on a page that may lie beyond the end.
  std::unique_ptr<TTdbStoragePageSite> NewPage(std::int64_t pageNo);

  // Number of tile reads made for this client (statistics).
  std::int64_t GetReadCount() const { return FReadCount; }
  TdwFileSystem& FileSystem() const { return *FFileSystem; }
  TTdbPageManager& PageManager() const { return *FPageManager; }

 private:
  friend class TTdbPageManager;
  friend class TTdbStoragePageSite;

  void CheckOpen() const;
  // Unloads every page site of this client (lock held).
  void UnloadSitesLocked();

  TTdbPageManager* FPageManager;
  TdwFileSystem* FFileSystem;
  const TdwCryptor* FCryptor;
  int FPageSize = 0;
  int FPageManClientHdl;
  TTdbStorageHdl FStorageHdl = 0;
  std::string FName;
  bool FReadOnly = false;
  bool FExclusive = false;
  std::int64_t FReadCount = 0;
  std::set<TTdbStoragePageSite*> FSites;
};

}  // namespace kestrel
