// The session's catalog: opening and closing the database, resolving table
// names to files and keeping the open tables in their slots.
#include "engine/session/catalog.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/container/compound_file_intf.h"
#include "engine/fs/os_file_system.h"
#include "engine/session/services.h"

namespace kestrel {

namespace {

bool HasCatalogTables(TdwFileSystem& fileSystem, const std::string& directory) {
  for (const char* extension : {kTableExtensionLevel6, kTableExtensionClassic})
    if (fileSystem.FileExists(directory + "/sys_UserTables" + extension) &&
        fileSystem.FileExists(directory + "/sys_UserColumns" + extension))
      return true;
  return false;
}

// The data file system of a directory, shared through the page manager.
std::shared_ptr<TdwFileSystem> AcquireDataFileSystem(const std::string& directory) {
  TTdbPageManager& pageManager = TTdbPageManager::Instance();
  std::shared_ptr<TdwFileSystem> fileSystem = pageManager.GetFileSystem(directory);
  if (fileSystem) return fileSystem;
  pageManager.AddFileSystem(directory, std::make_shared<TdwOSFileSystem>(directory));
  return pageManager.GetFileSystem(directory);
}

// The file system inside a single-file database, shared through the page
// manager under the container's name. A missing container is created unless
// the database is opened read-only; one that cannot be opened is error 37
// with the reason.
std::shared_ptr<TdwFileSystem> AcquireContainerFileSystem(const std::string& fileName, int attributes) {
  TTdbPageManager& pageManager = TTdbPageManager::Instance();
  if (std::shared_ptr<TdwFileSystem> fileSystem = pageManager.GetFileSystem(fileName)) return fileSystem;
  const bool readOnly = (attributes & (kDbAttrReadOnly | kDbAttrSharedReadOnly)) != 0;
  auto container = std::make_shared<TdwCompoundFileIntf>(fileName);
  container->FReadOnly = readOnly;
  try {
    TdwOSFileSystem os;
    if (!os.GetFileInfo(fileName)) {
      if (readOnly) throw ETdbEngine(tdbErrFileNotFound, fileName);
      container->NewFile();
    }
    container->Open();
  } catch (const ETdbEngine& error) {
    if (error.Number() == tdbErrFileNotFound) throw;
    throw ETdbEngine(tdbErrFileNotFound, error.Message());
  }
  pageManager.AddFileSystem(fileName, container);
  return pageManager.GetFileSystem(fileName);
}

}  // namespace

ITdbCatalogTable::~ITdbCatalogTable() = default;

TTdbCatalog::TTdbCatalog(TTdbServices& services, int sessHdl, TTdbTableFactorySource tableFactories)
    : FServices(services), FSessHdl(sessHdl), FTableFactories(tableFactories) {}

TTdbCatalog::~TTdbCatalog() { CloseDatabase(); }

void TTdbCatalog::OpenDatabase(const std::u16string& location, const std::u16string& password,
                               int cacheSizeKB, int attributes) {
  if (IsOpen()) throw ETdbEngine(tdbErrNotSupported, "opening a second database in a session");
  TdwOSFileSystem probe;
  const TTdbDatabaseLocation where = ResolveDatabaseLocation(probe, Utf16ToUtf8(location));
  const bool singleFile = where.FType == dbtSingleFile;
  std::shared_ptr<TdwFileSystem> dataFileSystem =
      singleFile ? AcquireContainerFileSystem(where.FPath, attributes) : AcquireDataFileSystem(where.FPath);
  try {
    try {
      if (!singleFile) EnsureControlFile(*dataFileSystem, where.FPath);
    } catch (const ETdbEngine&) {
      if ((attributes & (kDbAttrReadOnly | kDbAttrSharedReadOnly)) == 0) throw;
    }
    FManagementLevel = HasCatalogTables(*dataFileSystem, where.FPath) ? tmlManaged : tmlUnmanaged;
  } catch (...) {
    TTdbPageManager::Instance().ReleaseFileSystem(dataFileSystem.get());
    throw;
  }
  FServices.FDataFileSystem = std::move(dataFileSystem);
  // Tables of a directory database are shared through lock files beside
  // them; the tables inside a container through the container's own locks,
  // which let one writer or several readers in at a time.
  if (!singleFile) FServices.FLockFileSystem = std::make_shared<TdwOSFileSystem>(where.FPath);
  FDirectory = where.FPath;
  FDatabaseType = where.FType;
  FDatabaseKey = password;
  FServices.AddSessionKey(password);
  FAttributes = attributes;
  FCacheSizeKB = cacheSizeKB < 0 ? 0 : cacheSizeKB;
  TTdbPageManager::Instance().RegisterClient(FSessHdl, FCacheSizeKB);
}

void TTdbCatalog::CloseDatabase() noexcept {
  if (!IsOpen()) return;
  for (int slot = 1; slot <= kMaxRelations; ++slot) CloseSlot(slot);
  TTdbPageManager& pageManager = TTdbPageManager::Instance();
  pageManager.UnregisterClient(FSessHdl, FCacheSizeKB);
  try {
    pageManager.ReleaseFileSystem(FServices.FDataFileSystem.get());
  } catch (...) {
    // The page manager lost track of the file system: nothing is left to free.
  }
  FServices.FDataFileSystem.reset();
  FServices.FLockFileSystem.reset();
  FDirectory.clear();
  FDatabaseType = dbtDirectory;
  FDatabaseKey.clear();
  FServices.FSessionKeys.clear();
  FAttributes = 0;
  FCacheSizeKB = 0;
  FManagementLevel = tmlUnmanaged;
}

std::uint16_t TTdbCatalog::AdjustRights(std::uint16_t rights, int attributes) {
  if (attributes & kDbAttrReadOnly) rights &= ~kAccessRightsMask;
  if (attributes & kDbAttrExclusive) rights |= kRightExclusive;
  if (attributes & kDbAttrSharedReadOnly) {
    if ((rights & kAccessRightsMask) == 0)
      rights |= kRightSharedReadOnly;
    else
      rights &= ~kRightSharedReadOnly;
  }
  return rights;
}

std::string TTdbCatalog::ResolveTableFile(const std::u16string& tableName) const {
  std::filesystem::path path(Utf16ToUtf8(tableName));
  if (path.is_relative()) path = std::filesystem::path(FDirectory) / path;
  if (path.has_extension()) return path.string();
  const std::string base = path.string();
  if (FServices.FDataFileSystem->FileExists(base + kTableExtensionClassic))
    return base + kTableExtensionClassic;
  return base + kTableExtensionLevel6;
}

int TTdbCatalog::FindFreeSlot() const {
  std::lock_guard lock(FRelationListSync);
  for (int slot = 1; slot <= kMaxRelations; ++slot)
    if (!FSlots[slot].FTable) return slot;
  return 0;
}

int TTdbCatalog::OpenTable(const std::u16string& tableName, const std::u16string& key,
                           std::uint16_t rights, bool force, bool withRelTables) {
  if (!IsOpen()) throw ETdbEngine(tdbErrFileNotFound, Utf16ToUtf8(tableName));
  int slot = FindFreeSlot();
  if (slot == 0) {
    CloseUnneededTables();
    slot = FindFreeSlot();
  }
  if (slot == 0) throw ETdbEngine(tdbErrTooManyTables);

  const std::u16string name =
      Utf8ToUtf16(std::filesystem::path(Utf16ToUtf8(tableName)).filename().stem().string());
  if (FindTable(name) != 0) throw ETdbEngine(tdbErrTableAlreadyOpen, Utf16ToUtf8(name));

  TTdbTableOpenRequest request;
  request.FFileName = ResolveTableFile(tableName);
  request.FRights = AdjustRights(rights, FAttributes);
  request.FKey = key.empty() ? FDatabaseKey : key;
  request.FRltnIdx = slot;
  request.FSessHdl = FSessHdl;
  if (FDatabaseType == dbtDirectory) request.FDatabaseDirectory = FDirectory;
  request.FWithRelTables = withRelTables;
  if (!FServices.FDataFileSystem->FileExists(request.FFileName))
    throw ETdbEngine(tdbErrFileNotFound, request.FFileName);

  const TTdbTableFactory factory = FTableFactories ? FTableFactories() : TTdbTableFactory();
  if (!factory) throw ETdbEngine(tdbErrNotSupported, "opening tables");
  std::unique_ptr<ITdbCatalogTable> table = factory(FServices, request);
  try {
    table->Open(force);
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrNoWriteAccess || (request.FRights & kAccessRightsMask) == 0) throw;
    request.FRights &= ~kAccessRightsMask;
    table = factory(FServices, request);
    table->Open(force);
  }
  FServices.AddSessionKey(request.FKey);
  {
    std::lock_guard lock(FRelationListSync);
    FSlots[slot].FTable = std::move(table);
    FSlots[slot].FUsers = 0;
  }
  try {
    FSlots[slot].FTable->Setup(force);
  } catch (...) {
    if (!force) {
      CloseSlot(slot);
      throw;
    }
  }
  return slot;
}

int TTdbCatalog::FindTable(const std::u16string& name) const {
  std::lock_guard lock(FRelationListSync);
  for (int slot = 1; slot <= kMaxRelations; ++slot)
    if (FSlots[slot].FTable && FSlots[slot].FTable->IsSameTableName(name)) return slot;
  return 0;
}

ITdbCatalogTable* TTdbCatalog::Table(int rltnIdx) const {
  if (rltnIdx < 1 || rltnIdx > kMaxRelations) return nullptr;
  std::lock_guard lock(FRelationListSync);
  return FSlots[rltnIdx].FTable.get();
}

void TTdbCatalog::AddUser(int rltnIdx) {
  if (Table(rltnIdx)) ++FSlots[rltnIdx].FUsers;
}

void TTdbCatalog::RemoveUser(int rltnIdx) {
  if (Table(rltnIdx) && FSlots[rltnIdx].FUsers > 0) --FSlots[rltnIdx].FUsers;
}

std::vector<ITdbCatalogTable*> TTdbCatalog::TablesToLock(std::span<const std::int16_t> relations,
                                                         bool strict) const {
  struct TEntry {
    std::u16string FileName;
    ITdbCatalogTable* Table;
  };
  std::vector<TEntry> entries;
  const std::size_t count = std::min<std::size_t>(relations.size(), kMaxRelations);
  for (std::size_t i = 0; i < count && relations[i] >= 0; ++i) {
    if (relations[i] == 0) continue;
    ITdbCatalogTable* table = Table(relations[i]);
    if (!table) {
      if (strict) throw ETdbEngine(tdbErrInvalidParameter, "relation " + std::to_string(relations[i]));
      continue;
    }
    entries.push_back({table->GetTableInfo().FFileName, table});
  }
  // One order for every session and program: by file name.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TEntry& a, const TEntry& b) { return a.FileName < b.FileName; });
  std::vector<ITdbCatalogTable*> tables;
  for (const TEntry& entry : entries) tables.push_back(entry.Table);
  return tables;
}

void TTdbCatalog::AcquireLocks(std::span<const std::int16_t> relations, bool write) {
  const std::vector<ITdbCatalogTable*> tables = TablesToLock(relations, true);
  for (std::size_t taken = 0; taken < tables.size(); ++taken) {
    try {
      tables[taken]->BeginLock(write);
    } catch (...) {
      while (taken > 0) tables[--taken]->EndLock(write);
      throw;
    }
  }
}

void TTdbCatalog::ReleaseLocks(std::span<const std::int16_t> relations, bool write) noexcept {
  try {
    const std::vector<ITdbCatalogTable*> tables = TablesToLock(relations, false);
    for (auto table = tables.rbegin(); table != tables.rend(); ++table) (*table)->EndLock(write);
  } catch (...) {
    // Only the list could not be made: nothing was released.
  }
}

void TTdbCatalog::AcquireReadLocks(std::span<const std::int16_t> relations) { AcquireLocks(relations, false); }
void TTdbCatalog::AcquireWriteLocks(std::span<const std::int16_t> relations) { AcquireLocks(relations, true); }
void TTdbCatalog::ReleaseReadLocks(std::span<const std::int16_t> relations) noexcept {
  ReleaseLocks(relations, false);
}
void TTdbCatalog::ReleaseWriteLocks(std::span<const std::int16_t> relations) noexcept {
  ReleaseLocks(relations, true);
}

void TTdbCatalog::CloseUnneededTables() noexcept {
  for (int slot = 1; slot <= kMaxRelations; ++slot)
    if (FSlots[slot].FTable && FSlots[slot].FUsers == 0) CloseSlot(slot);
}

void TTdbCatalog::ForEachTable(const std::function<void(int, ITdbCatalogTable&)>& visit) const {
  std::lock_guard lock(FRelationListSync);
  for (int slot = 1; slot <= kMaxRelations; ++slot)
    if (FSlots[slot].FTable) visit(slot, *FSlots[slot].FTable);
}

void TTdbCatalog::CloseSlot(int rltnIdx) noexcept {
  std::unique_ptr<ITdbCatalogTable> table;
  {
    std::lock_guard lock(FRelationListSync);
    table = std::move(FSlots[rltnIdx].FTable);
    FSlots[rltnIdx].FUsers = 0;
  }
  if (!table) return;
  try {
    try {
      table->Close();
    } catch (const ETdbEngine& error) {
      FServices.SetLastError(error);
    } catch (const std::exception& error) {
      FServices.SetLastError(ETdbEngine(tdbErrException, error.what()));
    }
  } catch (...) {
    // Recording the failure failed too (out of memory): the table is gone.
  }
}

}  // namespace kestrel
