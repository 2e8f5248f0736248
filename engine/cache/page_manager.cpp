// TTdbPageManager: file system registry, storages, tile buffers and pools.
// The algorithms of opening, flushing, undoing and invalidating storages and
// of positioning page sites live here because they all work on the buffers
// under the one critical section.
#include "engine/cache/page_manager.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager_error.h"
#include "engine/cache/page_site.h"
#include "engine/crypto/cryptor.h"

namespace kestrel {

namespace {

constexpr const char* kSubsystem = "Page Manager";
constexpr std::size_t kMinHashChains = 64;
constexpr std::int64_t kHashChainsPerTiles = 10;  // one chain per 10 tiles at opening
constexpr std::int64_t kBytesPerKB = 1024;
constexpr double kPoolTrimRatio = 0.7;
// A scan that finds nothing to evict waits for the cache to grow by 1/4.
constexpr std::int64_t kRoomScanGrowthDivisor = 4;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::int64_t TilesForBytes(std::int64_t bytes, std::int64_t tileSize) {
  return (bytes + tileSize - 1) / tileSize;
}

}  // namespace

TTdbPageManager::TTdbPageManager() = default;
TTdbPageManager::~TTdbPageManager() = default;

TTdbPageManager& TTdbPageManager::Instance() {
  // Never destroyed: client storages of static objects may close at exit.
  static TTdbPageManager* instance = new TTdbPageManager();
  return *instance;
}

void TTdbPageManager::RegisterClient(int, int cacheSizeKB) {
  TdwMutexLock lock(FCriticalSection);
  FCacheLimit += std::max(0, cacheSizeKB) * kBytesPerKB;
}

void TTdbPageManager::UnregisterClient(int, int cacheSizeKB) {
  TdwMutexLock lock(FCriticalSection);
  FCacheLimit = std::max<std::int64_t>(0, FCacheLimit - std::max(0, cacheSizeKB) * kBytesPerKB);
  FNextRoomScan = 0;
  MakeRoomLocked();
}

bool TTdbPageManager::AddFileSystem(const std::string& name,
                                    std::shared_ptr<TdwFileSystem> fileSystem) {
  TdwMutexLock lock(FCriticalSection);
  for (const TTdbFileSystemEntry& entry : FFileSystems)
    if (entry.FName == name) return false;
  FFileSystems.push_back({name, std::move(fileSystem), 0});
  return true;
}

std::shared_ptr<TdwFileSystem> TTdbPageManager::GetFileSystem(const std::string& name) {
  TdwMutexLock lock(FCriticalSection);
  for (TTdbFileSystemEntry& entry : FFileSystems)
    if (entry.FName == name) {
      ++entry.FReferenceCounter;
      return entry.FFileSystem;
    }
  return nullptr;
}

void TTdbPageManager::ReleaseFileSystem(const TdwFileSystem* fileSystem) {
  TdwMutexLock lock(FCriticalSection);
  for (auto it = FFileSystems.begin(); it != FFileSystems.end(); ++it) {
    if (it->FFileSystem.get() != fileSystem) continue;
    if (--it->FReferenceCounter <= 0) {
      it->FFileSystem->Close();
      FFileSystems.erase(it);
    }
    return;
  }
  RaiseLocked(
      "Releasing file system",
      "File system " + Quoted(fileSystem ? fileSystem->GetBaseDirectory() : "") + " not found");
}

void TTdbPageManager::SetLog(TdwLog* log) {
  TdwMutexLock lock(FCriticalSection);
  FLog = log;
}

bool TTdbPageManager::NeedsFlush() const {
  TdwMutexLock lock(FCriticalSection);
  return FNextRoomScan > 0;
}

std::int64_t TTdbPageManager::GetCacheSize() const {
  TdwMutexLock lock(FCriticalSection);
  return FCacheSize;
}

std::int64_t TTdbPageManager::GetCacheLimit() const {
  TdwMutexLock lock(FCriticalSection);
  return FCacheLimit;
}

int TTdbPageManager::GetStorageCount() const {
  TdwMutexLock lock(FCriticalSection);
  return static_cast<int>(std::count_if(FStorages.begin(), FStorages.end(),
                                        [](const auto& s) { return s != nullptr; }));
}

// ---------------------------------------------------------------- helpers

TTdbStorage& TTdbPageManager::StorageLocked(TTdbStorageHdl storageHdl) {
  if (storageHdl < 1 || storageHdl > static_cast<int>(FStorages.size()) ||
      !FStorages[storageHdl - 1])
    RaiseLocked("Accessing storage " + std::to_string(storageHdl), "Storage is not open");
  return *FStorages[storageHdl - 1];
}

std::int64_t TTdbPageManager::TileSize(const TTdbStorage& storage) {
  return storage.FFileSystem->GetPageSize();
}

std::int64_t TTdbPageManager::BufferTiles(const TTdbStorage& storage) {
  return std::max<std::int64_t>(1, storage.FPageSize / TileSize(storage));
}

void TTdbPageManager::LogLocked(int severity, const std::string& text) {
  if (FLog) FLog->Write(severity, kSubsystem, text);
}

void TTdbPageManager::RaiseLocked(const std::string& context, const std::string& text) {
  LogLocked(kLogError, context);
  throw ETdbPageManager(context + ": " + text);
}

// ---------------------------------------------------------------- storages

TTdbStorageHdl TTdbPageManager::OpenStorageLocked(TdwFileSystem& fileSystem,
                                                  const std::string& name, bool readOnly,
                                                  bool exclusive, const TdwCryptor* cryptor) {
  const std::optional<TdwFileInfo> info = fileSystem.GetFileInfo(name);
  if (!info || info->FIsDirectory) {
    const std::string message = "Storage " + Quoted(name) + " not found";
    LogLocked(kLogError, message);
    throw ETdbPMStorageNotFound(message);
  }
  std::unique_ptr<TTdbEncryption> encryption = cryptor ? cryptor->CreateEncryption() : nullptr;
  if (cryptor && !encryption) {
    LogLocked(kLogError, "Wrong encryption");
    throw ETdbPMStorageAccessDenied("Wrong encryption");
  }
  for (std::size_t i = 0; i < FStorages.size(); ++i) {
    TTdbStorage* storage = FStorages[i].get();
    if (!storage || storage->FFileSystem != &fileSystem || !(storage->FFileId == info->FId))
      continue;
    if (exclusive || storage->FExclusive) {
      const std::string message =
          "Cannot open storage " + Quoted(name) + ": May not be opened twice if one is exclusive";
      LogLocked(kLogError, message);
      throw ETdbPMStorageAccessDenied(message);
    }
    if ((encryption != nullptr) != (storage->FEncryption != nullptr) ||
        (encryption && !EncryptionsMatch(*encryption, *storage->FEncryption))) {
      LogLocked(kLogError, "Wrong encryption");
      throw ETdbPMStorageAccessDenied("Wrong encryption");
    }
    if (storage->FReadOnly && !readOnly) {
      // A writer joins a storage opened for reading: reopen it for writing.
      const TdwFileHandle handle = fileSystem.OpenFile(name, kFmOpenReadWrite | kFmShareDenyNone);
      if (!IsValidHandle(handle)) {
        const std::string message = "Cannot open storage " + Quoted(name) + ": " +
                                    TdwFileSystem::GetErrorMessage(fileSystem.GetLastError());
        LogLocked(kLogError, message);
        throw ETdbPMStorageAccessDenied(message);
      }
      fileSystem.CloseFile(storage->FFileHdl);
      storage->FFileHdl = handle;
      storage->FReadOnly = false;
    }
    ++storage->FRefCounter;
    return static_cast<TTdbStorageHdl>(i + 1);
  }

  const int mode = (exclusive ? kFmShareExclusive : kFmShareDenyNone) |
                   (readOnly ? kFmOpenRead : kFmOpenReadWrite);
  const TdwFileHandle handle = fileSystem.OpenFile(name, mode);
  if (!IsValidHandle(handle)) {
    const std::string message = "Cannot open storage " + Quoted(name) + ": " +
                                TdwFileSystem::GetErrorMessage(fileSystem.GetLastError());
    LogLocked(kLogError, message);
    throw ETdbPMStorageAccessDenied(message);
  }
  auto storage = std::make_unique<TTdbStorage>();
  storage->FName = name;
  storage->FFileSystem = &fileSystem;
  storage->FFileId = info->FId;
  storage->FReadOnly = readOnly;
  storage->FExclusive = exclusive;
  storage->FFileHdl = handle;
  storage->FEncryption = std::move(encryption);
  const std::int64_t size = fileSystem.GetFileSize(handle);
  storage->FTileCount = TilesForBytes(std::max<std::int64_t>(0, size), TileSize(*storage));
  storage->FValidTileCount = storage->FTileCount;
  storage->FKnownFileSize = size;
  storage->FCachedPages.resize(std::max<std::size_t>(
      kMinHashChains, static_cast<std::size_t>(storage->FTileCount / kHashChainsPerTiles)));
  storage->FRefCounter = 1;
  LogLocked(kLogInfo, "Storage " + Quoted(name) + " opened.");
  return AddStorageLocked(std::move(storage));
}

TTdbStorageHdl TTdbPageManager::CreateStorageLocked(TdwFileSystem& fileSystem,
                                                    const std::string& name,
                                                    const TdwCryptor* cryptor) {
  std::unique_ptr<TTdbEncryption> encryption = cryptor ? cryptor->CreateEncryption() : nullptr;
  const TdwFileHandle handle = fileSystem.CreateFile(name);
  if (!IsValidHandle(handle))
    RaiseLocked("Cannot create storage " + name,
                "Error " + std::to_string(fileSystem.GetLastError()));
  auto storage = std::make_unique<TTdbStorage>();
  storage->FName = name;
  storage->FFileSystem = &fileSystem;
  if (const std::optional<TdwFileInfo> info = fileSystem.GetFileInfo(name))
    storage->FFileId = info->FId;
  storage->FFileHdl = handle;
  storage->FEncryption = std::move(encryption);
  storage->FCachedPages.resize(kMinHashChains);
  storage->FRefCounter = 1;
  return AddStorageLocked(std::move(storage));
}

TTdbStorageHdl TTdbPageManager::AddStorageLocked(std::unique_ptr<TTdbStorage> storage) {
  for (std::size_t i = 0; i < FStorages.size(); ++i)
    if (!FStorages[i]) {
      FStorages[i] = std::move(storage);
      return static_cast<TTdbStorageHdl>(i + 1);
    }
  FStorages.push_back(std::move(storage));
  LogLocked(kLogWarning, "There are " + std::to_string(FStorages.size()) + " open storages");
  return static_cast<TTdbStorageHdl>(FStorages.size());
}

void TTdbPageManager::ReleaseStorageLocked(TTdbStorageHdl storageHdl) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  if (--storage.FRefCounter > 0) return;
  storage.FModifiedPages.clear();
  for (auto& chain : storage.FCachedPages)
    for (auto& page : chain) {
      page->FClientHdl = kPageClean;
      page->FLocks = 0;
      ReturnToPoolLocked(std::move(page));
    }
  storage.FFileSystem->CloseFile(storage.FFileHdl);
  FStorages[storageHdl - 1].reset();
}

void TTdbPageManager::FlushLocked(TTdbStorageHdl storageHdl) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  if (storage.FReadOnly) return;
  TdwFileSystem& fs = *storage.FFileSystem;
  const std::int64_t tileSize = TileSize(storage);
  if (storage.FModifiedPages.empty() && storage.FValidTileCount == storage.FTileCount &&
      storage.FKnownFileSize == storage.FTileCount * tileSize)
    return;
  storage.FKnownFileSize = -1;
  const std::int64_t fileSize = fs.GetFileSize(storage.FFileHdl);
  if (fileSize < 0) RaiseLocked("Saving tile", "Cannot write tile to storage");
  // Set before writing: a write that fails part way leaves bytes to commit too.
  if (storage.FTileCount * tileSize != fileSize || storage.FValidTileCount * tileSize < fileSize ||
      !storage.FModifiedPages.empty())
    storage.FUnsynced = true;
  // Bytes cut off since the last flush must not come back: cut the file
  // before extending it to the logical size.
  if (storage.FValidTileCount * tileSize < fileSize &&
      !fs.SetFileSize(storage.FFileHdl, storage.FValidTileCount * tileSize))
    RaiseLocked("Saving tile", "Cannot write tile to storage");
  if (storage.FTileCount * tileSize != std::min(fileSize, storage.FValidTileCount * tileSize) &&
      !fs.SetFileSize(storage.FFileHdl, storage.FTileCount * tileSize))
    RaiseLocked("Saving tile", "Cannot write tile to storage");
  storage.FValidTileCount = storage.FTileCount;
  // The two cuts above leave the file at the logical size; pages may reach beyond it.
  std::int64_t sizeAfter = storage.FTileCount * tileSize;

  std::vector<std::uint8_t> encrypted;
  std::size_t written = 0;
  for (; written < storage.FModifiedPages.size(); ++written) {
    TTdbStoragePage* page = storage.FModifiedPages[written];
    assert(page->FClientHdl > 0 && "a buffer in the modified list is modified");
    const std::uint8_t* data = page->FMemory.get();
    if (storage.FEncryption) {
      encrypted.assign(data, data + page->FMemorySize);
      for (std::size_t at = 0; at < page->FMemorySize; at += tileSize)
        storage.FEncryption->EncryptBlock(encrypted.data() + at, tileSize);
      data = encrypted.data();
    }
    const auto size = static_cast<std::int64_t>(page->FMemorySize);
    if (fs.FileWrite(storage.FFileHdl, page->FTileNo * tileSize, data, size) != size) {
      for (std::size_t i = 0; i < written; ++i) storage.FModifiedPages[i]->FClientHdl = kPageClean;
      storage.FModifiedPages.erase(storage.FModifiedPages.begin(),
                                   storage.FModifiedPages.begin() + written);
      RaiseLocked("Saving tile", "Cannot write tile to storage");
    }
    sizeAfter = std::max(sizeAfter, page->FTileNo * tileSize + size);
  }
  for (TTdbStoragePage* page : storage.FModifiedPages) page->FClientHdl = kPageClean;
  storage.FModifiedPages.clear();
  storage.FKnownFileSize = sizeAfter;
  FNextRoomScan = 0;  // the written buffers may be evicted now
}

void TTdbPageManager::UndoLocked(TTdbStorageHdl storageHdl) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  const std::int64_t size = storage.FFileSystem->GetFileSize(storage.FFileHdl);
  const std::int64_t fileTiles = TilesForBytes(std::max<std::int64_t>(0, size), TileSize(storage));
  // Buffers read as zero after a cut no longer match the file once the cut
  // is undone; they go with the modified ones.
  const std::int64_t keepBelow = std::min(storage.FValidTileCount, fileTiles);
  std::vector<TTdbStoragePage*> drop;
  for (auto& chain : storage.FCachedPages)
    for (auto& page : chain)
      if (page->FClientHdl != kPageClean || page->FTileNo >= keepBelow) drop.push_back(page.get());
  for (TTdbStoragePage* page : drop) DropPageLocked(storage, page);
  storage.FTileCount = fileTiles;
  storage.FValidTileCount = fileTiles;
  storage.FKnownFileSize = size;
}

void TTdbPageManager::InvalidateLocked(TTdbStorageHdl storageHdl) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  std::vector<TTdbStoragePage*> drop;
  for (auto& chain : storage.FCachedPages)
    for (auto& page : chain) drop.push_back(page.get());
  for (TTdbStoragePage* page : drop) DropPageLocked(storage, page);
  const std::int64_t size = storage.FFileSystem->GetFileSize(storage.FFileHdl);
  storage.FTileCount = TilesForBytes(std::max<std::int64_t>(0, size), TileSize(storage));
  storage.FValidTileCount = storage.FTileCount;
  storage.FKnownFileSize = size;
}

void TTdbPageManager::SetTileCountLocked(TTdbStorageHdl storageHdl, std::int64_t tileCount) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  if (tileCount == storage.FTileCount) return;
  storage.FTileCount = tileCount;
  std::vector<TTdbStoragePage*> drop;
  for (auto& chain : storage.FCachedPages)
    for (auto& page : chain)
      if (page->FTileNo + static_cast<std::int64_t>(page->FMemorySize / TileSize(storage)) >
          tileCount)
        drop.push_back(page.get());
  for (TTdbStoragePage* page : drop) DropPageLocked(storage, page);
  storage.FValidTileCount = std::min(storage.FValidTileCount, tileCount);
}

void TTdbPageManager::SetPageSizeLocked(TTdbStorageHdl storageHdl, int pageSize) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  const std::int64_t tileSize = TileSize(storage);
  const bool powerOfTwo = pageSize > 0 && (pageSize & (pageSize - 1)) == 0;
  if (!powerOfTwo || (pageSize < tileSize ? tileSize % pageSize : pageSize % tileSize) != 0)
    RaiseLocked("Setting page size of storage " + Quoted(storage.FName),
                "Page size " + std::to_string(pageSize) + " is invalid");
  if (pageSize == storage.FPageSize) return;
  const std::int64_t oldTiles = BufferTiles(storage);
  const std::int64_t newTiles = std::max<std::int64_t>(1, pageSize / tileSize);
  if (storage.FPageSize != 0 && oldTiles != newTiles) {
    if (!storage.FModifiedPages.empty()) FlushLocked(storageHdl);
    std::vector<TTdbStoragePage*> drop;
    for (auto& chain : storage.FCachedPages)
      for (auto& page : chain) drop.push_back(page.get());
    for (TTdbStoragePage* page : drop) DropPageLocked(storage, page);
  }
  storage.FPageSize = pageSize;
}

bool TTdbPageManager::StartCommitLocked(TTdbStorageHdl storageHdl, TdwFileSystem*& fileSystem,
                                        TdwFileHandle& handle) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  if (!storage.FUnsynced) return false;  // nothing written since the last commit
  // Cleared before the sync: bytes written while it runs mark it again.
  storage.FUnsynced = false;
  fileSystem = storage.FFileSystem;
  handle = storage.FFileHdl;
  return true;
}

bool TTdbPageManager::WriteBackTargetLocked(TTdbStorageHdl storageHdl, TdwFileSystem*& fileSystem,
                                            TdwFileHandle& handle) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  if (!storage.FUnsynced) return false;
  fileSystem = storage.FFileSystem;
  handle = storage.FFileHdl;
  return true;
}

void TTdbPageManager::CommitFailedLocked(TTdbStorageHdl storageHdl, int error) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  storage.FUnsynced = true;
  RaiseLocked("Updating storage " + Quoted(storage.FName), "Error " + std::to_string(error));
}

// ---------------------------------------------------------------- page sites

void TTdbPageManager::PositionSiteLocked(TTdbStoragePageSite& site, std::int64_t pageNo,
                                         bool init) {
  TTdbClientStorage& client = site.Client();
  TTdbStorage& storage = StorageLocked(client.FStorageHdl);
  const std::int64_t tileSize = TileSize(storage);
  const std::int64_t pageSize = storage.FPageSize;
  const std::int64_t pageCount = TilesForBytes(storage.FTileCount * tileSize, pageSize);
  if (pageNo < 0 || (!init && pageNo >= pageCount))
    RaiseLocked("Loading page " + std::to_string(pageNo) + " of storage " + Quoted(storage.FName),
                "Page no is invalid");
  const std::int64_t firstTile = pageNo * pageSize / tileSize;
  const std::int64_t tiles = BufferTiles(storage);
  const std::int64_t offset = pageSize < tileSize ? pageNo * pageSize % tileSize : 0;
  const auto bufferSize = static_cast<std::size_t>(tiles * tileSize);

  TTdbStoragePage* page = site.FStorageTile;
  if (page && page->FTileNo == firstTile && page->FMemorySize == bufferSize) {
    site.FPageNo = pageNo;  // the reload below may raise: keep the site consistent
    if (page->FClientHdl == kPageInvalid) {
      site.FPositionedPageSize = static_cast<int>(pageSize);
      site.FTileOffset = offset;
      EnsureSiteValidLocked(site);
    }
  } else {
    ReleaseSiteLocked(site);
    page = FindPageLocked(storage, firstTile);
    if (!page) {
      if (firstTile < storage.FTileCount) {
        page = ReadStorageTileLocked(client.FStorageHdl, firstTile);
        ++client.FReadCount;
      } else {
        page = NewStorageTileLocked(client.FStorageHdl, firstTile);
      }
    }
    ++page->FLocks;
    site.FStorageTile = page;
  }
  if (init) storage.FTileCount = std::max(storage.FTileCount, firstTile + tiles);
  site.FPageNo = pageNo;
  site.FTileOffset = offset;
  site.FPositionedPageSize = static_cast<int>(pageSize);
}

void TTdbPageManager::ReleaseSiteLocked(TTdbStoragePageSite& site) {
  TTdbStoragePage* page = site.FStorageTile;
  site.FStorageTile = nullptr;
  site.FPageNo = -1;
  if (!page) return;
  TTdbStorage& storage = StorageLocked(page->FStorageHdl);
  assert(page->FLocks > 0 && "a page site's buffer is locked by it");
  if (--page->FLocks == 0 &&
      (page->FClientHdl == kPageInvalid ||
       page->FMemorySize != static_cast<std::size_t>(BufferTiles(storage) * TileSize(storage))))
    DropPageLocked(storage, page);
}

void TTdbPageManager::EnsureSiteValidLocked(TTdbStoragePageSite& site) {
  TTdbStoragePage* page = site.FStorageTile;
  if (!page) RaiseLocked("Accessing page", "No page loaded");
  TTdbStorage& storage = StorageLocked(page->FStorageHdl);
  const auto bufferSize = static_cast<std::size_t>(BufferTiles(storage) * TileSize(storage));
  if (site.FPositionedPageSize != storage.FPageSize || page->FMemorySize != bufferSize) {
    // The page size changed under the site: position it again.
    PositionSiteLocked(site, site.FPageNo, false);
    page = site.FStorageTile;
  }
  if (page->FClientHdl != kPageInvalid) return;
  if (TTdbStoragePage* valid = FindPageLocked(storage, page->FTileNo)) {
    // Another site read the tile meanwhile: share its buffer, so that one
    // tile never has two valid buffers.
    const std::int64_t pageNo = site.FPageNo;
    const std::int64_t offset = site.FTileOffset;
    ReleaseSiteLocked(site);
    ++valid->FLocks;
    site.FStorageTile = valid;
    site.FPageNo = pageNo;
    site.FTileOffset = offset;
    return;
  }
  FillPageLocked(storage, *page, "Reloading tile");
  page->FClientHdl = kPageClean;
}

void TTdbPageManager::ModifyLocked(TTdbStoragePageSite& site) {
  TTdbClientStorage& client = site.Client();
  EnsureSiteValidLocked(site);
  TTdbStorage& storage = StorageLocked(client.FStorageHdl);
  if (client.FReadOnly || storage.FReadOnly)
    RaiseLocked(
        "Modifying page " + std::to_string(site.FPageNo) + " of storage " + Quoted(storage.FName),
        "Storage is read-only");
  TTdbStoragePage* page = site.FStorageTile;
  assert(page->FClientHdl != kPageInvalid && page->FLocks > 0);
  if (page->FClientHdl == kPageClean) {
    page->FClientHdl = client.FPageManClientHdl;
    storage.FModifiedPages.push_back(page);
  }
  assert(page->FClientHdl > 0);
}

// ---------------------------------------------------------------- buffers

TTdbStoragePage* TTdbPageManager::FindPageLocked(TTdbStorage& storage, std::int64_t tileNo) {
  auto& chain =
      storage.FCachedPages[static_cast<std::size_t>(tileNo) % storage.FCachedPages.size()];
  const auto bufferSize = static_cast<std::size_t>(BufferTiles(storage) * TileSize(storage));
  for (auto& page : chain)
    if (page->FTileNo == tileNo && page->FClientHdl != kPageInvalid &&
        page->FMemorySize == bufferSize)
      return page.get();
  return nullptr;
}

TTdbStoragePage* TTdbPageManager::ReadStorageTileLocked(TTdbStorageHdl storageHdl,
                                                        std::int64_t tileNo) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  MakeRoomLocked();
  std::unique_ptr<TTdbStoragePage> page =
      TakeBufferLocked(static_cast<std::size_t>(BufferTiles(storage) * TileSize(storage)));
  page->FStorageHdl = storageHdl;
  page->FTileNo = tileNo;
  try {
    FillPageLocked(storage, *page, "Loading tile");
  } catch (...) {
    ReturnToPoolLocked(std::move(page));
    throw;
  }
  TTdbStoragePage* result = page.get();
  InsertPageLocked(storage, std::move(page));
  return result;
}

TTdbStoragePage* TTdbPageManager::NewStorageTileLocked(TTdbStorageHdl storageHdl,
                                                       std::int64_t tileNo) {
  TTdbStorage& storage = StorageLocked(storageHdl);
  MakeRoomLocked();
  const std::int64_t tiles = BufferTiles(storage);
  std::unique_ptr<TTdbStoragePage> page =
      TakeBufferLocked(static_cast<std::size_t>(tiles * TileSize(storage)));
  std::memset(page->FMemory.get(), 0, page->FMemorySize);
  page->FStorageHdl = storageHdl;
  page->FTileNo = tileNo;
  TTdbStoragePage* result = page.get();
  InsertPageLocked(storage, std::move(page));
  storage.FTileCount = std::max(storage.FTileCount, tileNo + tiles);
  return result;
}

void TTdbPageManager::FillPageLocked(TTdbStorage& storage, TTdbStoragePage& page,
                                     const char* context) {
  const std::int64_t tileSize = TileSize(storage);
  const std::int64_t bufferTiles = static_cast<std::int64_t>(page.FMemorySize) / tileSize;
  const std::int64_t readable = std::clamp<std::int64_t>(
      std::min(storage.FValidTileCount, storage.FTileCount) - page.FTileNo, 0, bufferTiles);
  std::int64_t got = 0;
  if (readable > 0) {
    got = storage.FFileSystem->FileRead(storage.FFileHdl, page.FTileNo * tileSize,
                                        page.FMemory.get(), readable * tileSize);
    if (got < 0) RaiseLocked(context, "Cannot read tile from storage");
  }
  std::memset(page.FMemory.get() + got, 0, page.FMemorySize - static_cast<std::size_t>(got));
  if (storage.FEncryption)
    for (std::int64_t at = 0; at < got; at += tileSize)
      storage.FEncryption->DecryptBlock(page.FMemory.get() + at, tileSize);
}

void TTdbPageManager::InsertPageLocked(TTdbStorage& storage,
                                       std::unique_ptr<TTdbStoragePage> page) {
  auto& chain =
      storage.FCachedPages[static_cast<std::size_t>(page->FTileNo) % storage.FCachedPages.size()];
  chain.push_back(std::move(page));
}

std::unique_ptr<TTdbStoragePage> TTdbPageManager::ExtractPageLocked(TTdbStorage& storage,
                                                                    TTdbStoragePage* page) {
  auto& chain =
      storage.FCachedPages[static_cast<std::size_t>(page->FTileNo) % storage.FCachedPages.size()];
  auto it =
      std::find_if(chain.begin(), chain.end(), [&](const auto& p) { return p.get() == page; });
  assert(it != chain.end() && "the buffer is cached for its storage");
  assert(page->FLocks == 0 && "a locked buffer is never moved or freed");
  std::unique_ptr<TTdbStoragePage> result = std::move(*it);
  chain.erase(it);
  return result;
}

void TTdbPageManager::DropPageLocked(TTdbStorage& storage, TTdbStoragePage* page) {
  if (page->FClientHdl > 0) RemoveFromModifiedLocked(storage, page);
  if (page->FLocks > 0) {
    page->FClientHdl = kPageInvalid;
  } else {
    page->FClientHdl = kPageClean;
    ReturnToPoolLocked(ExtractPageLocked(storage, page));
  }
}

void TTdbPageManager::RemoveFromModifiedLocked(TTdbStorage& storage, TTdbStoragePage* page) {
  auto& list = storage.FModifiedPages;
  assert(std::find(list.begin(), list.end(), page) != list.end() && "a modified buffer is listed");
  list.erase(std::remove(list.begin(), list.end(), page), list.end());
}

std::unique_ptr<TTdbStoragePage> TTdbPageManager::TakeBufferLocked(std::size_t size) {
  auto& pool = FTileCaches[size];
  if (!pool.empty()) {
    std::unique_ptr<TTdbStoragePage> page = std::move(pool.back());
    pool.pop_back();
    return page;
  }
  auto page = std::make_unique<TTdbStoragePage>();
  page->FMemory = std::make_unique<std::uint8_t[]>(size);
  page->FMemorySize = size;
  FCacheSize += static_cast<std::int64_t>(size);
  return page;
}

void TTdbPageManager::ReturnToPoolLocked(std::unique_ptr<TTdbStoragePage> page) {
  page->FClientHdl = kPageClean;
  page->FLocks = 0;
  page->FStorageHdl = 0;
  FTileCaches[page->FMemorySize].push_back(std::move(page));
}

void TTdbPageManager::TrimPoolsLocked() {
  while (FCacheSize >= kPoolTrimRatio * static_cast<double>(FCacheLimit)) {
    auto largest = FTileCaches.end();
    for (auto it = FTileCaches.begin(); it != FTileCaches.end(); ++it)
      if (!it->second.empty() &&
          (largest == FTileCaches.end() || it->second.size() > largest->second.size()))
        largest = it;
    if (largest == FTileCaches.end()) return;
    auto& pool = largest->second;
    const std::size_t keep = pool.size() / 2;  // frees the upper ceil(n / 2)
    FCacheSize -= static_cast<std::int64_t>((pool.size() - keep) * largest->first);
    pool.resize(keep);
  }
}

void TTdbPageManager::MakeRoomLocked() {
  if (FCacheSize < FCacheLimit || FCacheSize < FNextRoomScan) return;
  TrimPoolsLocked();
  if (FCacheSize >= FCacheLimit) {
    std::int64_t total = 0;
    for (auto& storage : FStorages) {
      if (!storage) continue;
      std::vector<TTdbStoragePage*> evict;
      for (auto& chain : storage->FCachedPages)
        for (auto& page : chain) {
          if (page->FClientHdl == kPageClean && page->FLocks == 0)
            evict.push_back(page.get());
          else
            total += static_cast<std::int64_t>(page->FMemorySize);
        }
      for (TTdbStoragePage* page : evict) ReturnToPoolLocked(ExtractPageLocked(*storage, page));
    }
    for (auto& [size, pool] : FTileCaches) total += static_cast<std::int64_t>(size * pool.size());
    FCacheSize = total;
    TrimPoolsLocked();
  }
  if (FCacheSize >= FCacheLimit) {
    // What is left is modified or locked (a large change not yet flushed):
    // scanning again for every new buffer would cost time in proportion to
    // the cache, so the next scan waits until the cache has grown by a
    // quarter, or until a flush.
    FNextRoomScan = FCacheSize + FCacheSize / kRoomScanGrowthDivisor;
    LogLocked(kLogWarning, "Cache size is over limit (" + std::to_string(FCacheLimit) +
                               ") but cannot be reduced");
  } else {
    FNextRoomScan = 0;
  }
}

}  // namespace kestrel
