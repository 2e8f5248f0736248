// The table object behind a catalog slot, and the process-wide registry of
// record edit locks.
#include "engine/cursor/catalog_table_object.h"

#include <filesystem>
#include <map>
#include <mutex>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/index/collation.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_file.h"
#include "engine/table/base_table.h"

namespace kestrel {

namespace {

// Edit locks of all tables of the process: file → record → owner.
struct TEditLockRegistry {
  std::mutex FLock;
  std::map<std::string, std::map<std::int32_t, const void*>> FLocks;
};

TEditLockRegistry& EditLocks() {
  static TEditLockRegistry registry;
  return registry;
}

}  // namespace

TTdbCatalogTableObject::TTdbCatalogTableObject(TdwFileSystem& fileSystem, const TTdbTableOpenRequest& request) {
  FTable = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), fileSystem, request.FSessHdl);
  FTable->SetRights(request.FRights);
  FTable->SetFileName(request.FFileName);
  FTable->SetKey(request.FKey);
  FLockKey = fileSystem.CanonicalFileName(request.FFileName);
  FWithRelTables = request.FWithRelTables;
}

TTdbCatalogTableObject::~TTdbCatalogTableObject() = default;

void TTdbCatalogTableObject::Open(bool force) {
  FTable->Open(force);
  if (!FWithRelTables) return;
  try {
    FTable->OpenRelationTables();
  } catch (const ETdbEngine&) {
    // A forced open goes on without them; they are tried again on first use.
    if (force) return;
    FTable->Close();
    throw;
  }
}

void TTdbCatalogTableObject::Setup(bool force) { FTable->Setup(force); }

void TTdbCatalogTableObject::Close() {
  if (FTable->Active()) FTable->Close();
}

bool TTdbCatalogTableObject::IsSameTableName(const std::u16string& name) const {
  const std::u16string own = Utf8ToUtf16(std::filesystem::path(FTable->FileName()).stem().string());
  return StandardCollation().Compare(own, name, 0) == 0;
}

TTdbRelationInfo TTdbCatalogTableObject::GetTableInfo() const {
  TTdbRelationInfo info;
  info.FFileName = Utf8ToUtf16(FTable->FullName());
  info.FLevel = FTable->Level();
  info.FCollationName = FTable->CollationName();
  info.FCapacity = FTable->Capacity();
  info.FEncryptionMethod = FTable->EncryptionMethod();
  return info;
}

std::vector<std::u16string> TTdbCatalogTableObject::GetIndexNames() const {
  std::vector<std::u16string> names;
  // Under the read lock: a table another program changed is read again first.
  TTdbTableLock read(*FTable, tltRead);
  for (int indexNo = FTable->FirstIndexNo(); indexNo <= FTable->LastIndexNo(); ++indexNo)
    if (FTable->HasIndex(indexNo)) names.push_back(FTable->IndexName(indexNo));
  return names;
}

void TTdbCatalogTableObject::BeginLock(bool write) {
  if (write)
    FTable->BeginWrite(true);
  else
    FTable->BeginRead(true);
}

void TTdbCatalogTableObject::EndLock(bool write) noexcept {
  try {
    if (write)
      FTable->EndWrite();
    else
      FTable->EndRead();
  } catch (const ETdbEngine&) {
    // A failed flush is kept by the table for its next BeginWrite and its close.
  }
}

std::u16string TTdbCatalogTableObject::GetIndexDescription(const std::u16string& indexName) const {
  const int indexNo = FTable->GetIndexNo(indexName);
  TTdbIndexFile& file = FTable->GetIndexFile(indexNo);
  return CalcSpecification(file.Definition(), FTable->IndexTable(), true, false, false, false);
}

std::u16string TTdbCatalogTableObject::GetRealIndexName(const std::u16string& indexName) const {
  return FTable->IndexName(FTable->GetIndexNo(indexName));
}

bool TTdbCatalogTableObject::HoldsLock(std::int32_t recNo, const void* owner) const {
  TEditLockRegistry& registry = EditLocks();
  std::lock_guard lock(registry.FLock);
  auto& records = registry.FLocks[FLockKey];
  const auto held = records.find(recNo);
  if (held == records.end()) return false;
  if (held->second != owner) throw ETdbEngine(tdbErrRecordBeingEdited);
  return true;
}

void TTdbCatalogTableObject::LockRecord(std::int32_t recNo, const void* owner) {
  if (!FEditLocks || HoldsLock(recNo, owner)) return;
  TEditLockRegistry& registry = EditLocks();
  // Other programs and sessions see the lock in the table's lock file. The
  // table is called outside the registry's mutex, which is taken last.
  if (!FTable->LockEditRecord(recNo)) throw ETdbEngine(tdbErrRecordBeingEdited);
  bool taken = false;
  {
    std::lock_guard lock(registry.FLock);
    auto& records = registry.FLocks[FLockKey];
    taken = records.emplace(recNo, owner).second;
  }
  if (!taken) {
    FTable->UnlockEditRecord(recNo);
    throw ETdbEngine(tdbErrRecordBeingEdited);
  }
}

void TTdbCatalogTableObject::LockRecordToDelete(std::int32_t recNo, const void* owner) {
  if (!FEditLocks || HoldsLock(recNo, owner)) return;
  if (!FTable->MayDeleteRecord(recNo)) throw ETdbEngine(tdbErrRecordBeingEdited);
  TEditLockRegistry& registry = EditLocks();
  std::lock_guard lock(registry.FLock);
  if (!registry.FLocks[FLockKey].emplace(recNo, owner).second) throw ETdbEngine(tdbErrRecordBeingEdited);
}

void TTdbCatalogTableObject::ForgetDeleteLock(std::int32_t recNo, const void* owner) noexcept {
  TEditLockRegistry& registry = EditLocks();
  std::lock_guard lock(registry.FLock);
  const auto file = registry.FLocks.find(FLockKey);
  if (file == registry.FLocks.end()) return;
  const auto held = file->second.find(recNo);
  if (held != file->second.end() && held->second == owner) file->second.erase(held);
}

void TTdbCatalogTableObject::UnlockRecord(std::int32_t recNo, const void* owner) noexcept {
  TEditLockRegistry& registry = EditLocks();
  bool released = false;
  {
    std::lock_guard lock(registry.FLock);
    const auto file = registry.FLocks.find(FLockKey);
    if (file == registry.FLocks.end()) return;
    const auto held = file->second.find(recNo);
    if (held != file->second.end() && held->second == owner) {
      file->second.erase(held);
      released = true;
    }
  }
  if (!released) return;
  try {
    FTable->UnlockEditRecord(recNo);
  } catch (const ETdbEngine&) {
    // The lock file slot keeps the record until the next edit or log-out.
  }
}

bool TTdbCatalogTableObject::IsLockedByOther(std::int32_t recNo, const void* owner) const {
  if (!FEditLocks) return false;
  TEditLockRegistry& registry = EditLocks();
  std::lock_guard lock(registry.FLock);
  const auto file = registry.FLocks.find(FLockKey);
  if (file == registry.FLocks.end()) return false;
  const auto held = file->second.find(recNo);
  return held != file->second.end() && held->second != owner;
}

void TTdbCatalogTableObject::RecordMoved(std::int32_t deletedRecNo, std::int32_t movedRecNo) noexcept {
  TEditLockRegistry& registry = EditLocks();
  std::lock_guard lock(registry.FLock);
  const auto file = registry.FLocks.find(FLockKey);
  if (file == registry.FLocks.end()) return;
  file->second.erase(deletedRecNo);
  if (movedRecNo <= 0) return;
  const auto moved = file->second.find(movedRecNo);
  if (moved == file->second.end()) return;
  const void* owner = moved->second;
  file->second.erase(moved);
  file->second[deletedRecNo] = owner;
}

}  // namespace kestrel
