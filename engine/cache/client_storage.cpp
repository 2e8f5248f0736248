// TTdbClientStorage: a client's handle on a storage of the page manager.
#include "engine/cache/client_storage.h"

#include <mutex>

#include "engine/cache/page_manager.h"
#include "engine/cache/page_manager_error.h"
#include "engine/cache/page_site.h"
#include "engine/fs/file_system.h"

namespace kestrel {

TTdbClientStorage::TTdbClientStorage(TTdbPageManager& pageManager, TdwFileSystem& fileSystem,
                                     int clientHdl, const TdwCryptor* cryptor)
    : FPageManager(&pageManager),
      FFileSystem(&fileSystem),
      FCryptor(cryptor),
      FPageManClientHdl(clientHdl < 1 ? 1 : clientHdl) {}

TTdbClientStorage::~TTdbClientStorage() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (IsOpen()) {
    TTdbStorage& storage = FPageManager->StorageLocked(FStorageHdl);
    if (storage.FRefCounter == 1) {
      try {
        FPageManager->FlushLocked(FStorageHdl);
      } catch (const ETdbEngine& e) {
        FPageManager->LogLocked(kLogError,
                                "Changes of storage \"" + FName + "\" lost: " + e.Message());
      }
    }
    UnloadSitesLocked();
    FPageManager->ReleaseStorageLocked(FStorageHdl);
    FStorageHdl = 0;
  }
  for (TTdbStoragePageSite* site : FSites) site->FClientStorage = nullptr;
}

std::unique_ptr<TTdbClientStorage> TTdbClientStorage::CreateSibling() const {
  return std::make_unique<TTdbClientStorage>(*FPageManager, *FFileSystem, FPageManClientHdl,
                                             nullptr);
}

void TTdbClientStorage::SetName(const std::string& name) {
  if (IsOpen()) throw ETdbPageManager("Renaming storage \"" + FName + "\": Storage is open");
  FName = name;
}

void TTdbClientStorage::CheckOpen() const {
  if (!IsOpen()) throw ETdbPageManager("Accessing storage \"" + FName + "\": Storage is not open");
}

void TTdbClientStorage::NewStorage() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (IsOpen()) FPageManager->RaiseLocked("Cannot create storage " + FName, "Storage is open");
  const TTdbStorageHdl hdl = FPageManager->CreateStorageLocked(*FFileSystem, FName, FCryptor);
  try {
    FPageManager->SetPageSizeLocked(hdl, FPageSize ? FPageSize : FFileSystem->GetPageSize());
  } catch (...) {
    FPageManager->ReleaseStorageLocked(hdl);
    throw;
  }
  FStorageHdl = hdl;
  FReadOnly = false;
  FExclusive = false;
}

void TTdbClientStorage::Open(bool readOnly, bool exclusive) {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (IsOpen())
    FPageManager->RaiseLocked("Cannot open storage \"" + FName + "\"", "Storage is open");
  const TTdbStorageHdl hdl =
      FPageManager->OpenStorageLocked(*FFileSystem, FName, readOnly, exclusive, FCryptor);
  TTdbStorage& storage = FPageManager->StorageLocked(hdl);
  if (storage.FPageSize == 0) {
    try {
      FPageManager->SetPageSizeLocked(hdl, FPageSize ? FPageSize : FFileSystem->GetPageSize());
    } catch (...) {
      FPageManager->ReleaseStorageLocked(hdl);
      throw;
    }
  }
  FStorageHdl = hdl;
  FReadOnly = readOnly;
  FExclusive = exclusive;
}

void TTdbClientStorage::UnloadSitesLocked() {
  FPageManager->FCriticalSection.AssertHeld();
  for (TTdbStoragePageSite* site : FSites) FPageManager->ReleaseSiteLocked(*site);
}

void TTdbClientStorage::Close() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (!IsOpen()) return;
  if (FPageManager->StorageLocked(FStorageHdl).FRefCounter == 1)
    FPageManager->FlushLocked(FStorageHdl);
  UnloadSitesLocked();
  FPageManager->ReleaseStorageLocked(FStorageHdl);
  FStorageHdl = 0;
}

void TTdbClientStorage::Flush() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  FPageManager->FlushLocked(FStorageHdl);
}

void TTdbClientStorage::Undo() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  FPageManager->UndoLocked(FStorageHdl);
}

void TTdbClientStorage::Invalidate() {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  FPageManager->InvalidateLocked(FStorageHdl);
}

void TTdbClientStorage::UpdateDir() {
  TdwFileSystem* fileSystem = nullptr;
  TdwFileHandle handle = kInvalidFileHandle;
  {
    TdwMutexLock lock(FPageManager->FCriticalSection);
    CheckOpen();
    if (!FPageManager->StartCommitLocked(FStorageHdl, fileSystem, handle)) return;
  }
  // The sync runs outside the page manager's mutex, so the other files of a
  // table can be committed at the same time and other sessions go on. The
  // caller's use of the storage keeps the file open meanwhile.
  if (fileSystem->SyncFile(handle)) return;
  const int error = fileSystem->GetLastError();
  TdwMutexLock lock(FPageManager->FCriticalSection);
  FPageManager->CommitFailedLocked(FStorageHdl, error);
}

void TTdbClientStorage::StartWriteBack() noexcept {
  TdwFileSystem* fileSystem = nullptr;
  TdwFileHandle handle = kInvalidFileHandle;
  try {
    TdwMutexLock lock(FPageManager->FCriticalSection);
    if (!IsOpen() || !FPageManager->WriteBackTargetLocked(FStorageHdl, fileSystem, handle)) return;
  } catch (...) {
    return;
  }
  fileSystem->StartWriteBack(handle);
}

void TTdbClientStorage::SetPageSize(int pageSize) {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (IsOpen()) FPageManager->SetPageSizeLocked(FStorageHdl, pageSize);
  FPageSize = pageSize;
}

int TTdbClientStorage::GetPageSize() const {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  if (IsOpen()) return FPageManager->StorageLocked(FStorageHdl).FPageSize;
  return FPageSize ? FPageSize : FFileSystem->GetPageSize();
}

void TTdbClientStorage::SetPageCount(std::int64_t pageCount) {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  TTdbStorage& storage = FPageManager->StorageLocked(FStorageHdl);
  const std::int64_t tileSize = TTdbPageManager::TileSize(storage);
  const std::int64_t bytes = std::max<std::int64_t>(0, pageCount) * storage.FPageSize;
  FPageManager->SetTileCountLocked(FStorageHdl, (bytes + tileSize - 1) / tileSize);
}

std::int64_t TTdbClientStorage::GetPageCount() const {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  TTdbStorage& storage = FPageManager->StorageLocked(FStorageHdl);
  const std::int64_t bytes = storage.FTileCount * TTdbPageManager::TileSize(storage);
  return (bytes + storage.FPageSize - 1) / storage.FPageSize;
}

std::int64_t TTdbClientStorage::GetSize() const {
  TdwMutexLock lock(FPageManager->FCriticalSection);
  CheckOpen();
  TTdbStorage& storage = FPageManager->StorageLocked(FStorageHdl);
  return storage.FTileCount * TTdbPageManager::TileSize(storage);
}

std::unique_ptr<TTdbStoragePageSite> TTdbClientStorage::CreatePageSite() {
  return std::make_unique<TTdbStoragePageSite>(*this);
}

std::unique_ptr<TTdbStoragePageSite> TTdbClientStorage::ReadPage(std::int64_t pageNo) {
  auto site = CreatePageSite();
  site->LoadPage(pageNo);
  return site;
}

std::unique_ptr<TTdbStoragePageSite> TTdbClientStorage::NewPage(std::int64_t pageNo) {
  auto site = CreatePageSite();
  site->InitPage(pageNo);
  return site;
}

}  // namespace kestrel
