// Parent and child tables of foreign keys in directories of table files.
#include "engine/cursor/directory_related_tables.h"

#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/collation.h"
#include "engine/table/table_file_names.h"

namespace kestrel {

namespace {

// Every kind of directory entry (the attribute mask of a listing).
constexpr int kAllEntries = 0x3F;

bool SameName(std::u16string_view a, std::u16string_view b) { return StandardCollation().Compare(a, b, 0) == 0; }

bool IsTableFileName(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::u16string extension = Utf8ToUtf16(name.substr(dot));
  return SameName(extension, Utf8ToUtf16(kTableExtensionClassic)) ||
         SameName(extension, Utf8ToUtf16(kTableExtensionLevel6));
}

bool NamesParent(const TTdbBaseTable& table, std::u16string_view parentName) {
  for (const TTdbForeignKeyDef& rule : table.ForeignKeyDefs())
    if (SameName(rule.ParentTable, parentName)) return true;
  return false;
}

// A foreign key needs an index on its parent's columns, so a table without
// any index is nobody's parent.
bool CanBeParent(const TTdbBaseTable& table) { return table.LastIndexNo() >= 0; }

std::string WithSlash(std::string directory) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace

TTdbDirectoryRelatedTables::TTdbDirectoryRelatedTables(TdwFileSystem& fileSystem, TTableMaker makeTable,
                                                       TTdbRelatedTablePlaces places)
    : FFileSystem(fileSystem), FMakeTable(std::move(makeTable)), FPlaces(std::move(places)) {}

TTdbDirectoryRelatedTables::~TTdbDirectoryRelatedTables() = default;

bool TTdbDirectoryRelatedTables::IsSameFile(const std::string& a, const std::string& b) const {
  return FFileSystem.ExpandFileName(a) == FFileSystem.ExpandFileName(b);
}

std::vector<std::string> TTdbDirectoryRelatedTables::Directories(const TTdbBaseTable& table) const {
  std::vector<std::string> directories{WithSlash(table.PhysicalDirectory())};
  for (const std::string& directory : FPlaces.FDirectories) {
    const std::string candidate = WithSlash(directory);
    const bool known = std::any_of(directories.begin(), directories.end(), [&](const std::string& other) {
      return IsSameFile(other, candidate);
    });
    if (!known) directories.push_back(candidate);
  }
  return directories;
}

std::unique_ptr<TTdbBaseTable> TTdbDirectoryRelatedTables::OpenReadOnly(const std::string& fileName, bool setup) {
  const auto open = [&](std::unique_ptr<TTdbBaseTable> table) -> std::unique_ptr<TTdbBaseTable> {
    table->SetRights(0);
    table->Open();
    if (setup) table->Setup();
    return table;
  };
  std::u16string ownerKey;
  try {
    std::unique_ptr<TTdbBaseTable> table = FMakeTable(fileName);
    ownerKey = table->Key();
    return open(std::move(table));
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrCredentials || !FPlaces.FKeys) return nullptr;
  }
  // Another key of the owner's may be the table's.
  for (const std::u16string& key : FPlaces.FKeys()) {
    if (key == ownerKey) continue;
    try {
      std::unique_ptr<TTdbBaseTable> table = FMakeTable(fileName);
      table->SetKey(key);
      return open(std::move(table));
    } catch (const ETdbEngine& error) {
      if (error.Number() != tdbErrCredentials) return nullptr;
    }
  }
  return nullptr;
}

TTdbBaseTable* TTdbDirectoryRelatedTables::Related(const std::string& fileName) {
  std::unique_ptr<TTdbBaseTable>& table = FOpen[fileName];
  if (!table) table = OpenReadOnly(fileName, true);
  return table.get();
}

TTdbBaseTable* TTdbDirectoryRelatedTables::ParentTable(TTdbBaseTable& child, const std::u16string& name) {
  for (const std::string& directory : Directories(child)) {
    const std::string fileName = ResolveTableFileName(
        directory + Utf16ToUtf8(name), [this](const std::string& path) { return FFileSystem.FileExists(path); });
    if (fileName.empty() || !FFileSystem.FileExists(fileName)) continue;
    if (IsSameFile(fileName, child.FileName())) return &child;
    return Related(fileName);
  }
  return nullptr;
}

std::vector<TTdbBaseTable*> TTdbDirectoryRelatedTables::ChildTables(TTdbBaseTable& parent) {
  auto known = FChildFiles.find(parent.FileName());
  if (known == FChildFiles.end()) {
    const std::u16string parentName = Utf8ToUtf16(parent.StdName());
    std::vector<std::string> children;
    for (const std::string& directory : Directories(parent)) {
      TdwFindFileRec rec;
      for (int rc = FFileSystem.FindFirstFile(directory + "*", kAllEntries, rec); rc == 0;
           rc = FFileSystem.FindNextFile(rec)) {
        if (rec.FIsDirectory || !IsTableFileName(rec.FName)) continue;
        const std::string file = directory + rec.FName;
        if (IsSameFile(file, parent.FileName())) {
          if (NamesParent(parent, parentName)) children.push_back(parent.FileName());
          continue;
        }
        // Tables already open are asked as they are; others are opened for
        // the question and kept only when they are children.
        if (const auto open = FOpen.find(file); open != FOpen.end() && open->second) {
          if (NamesParent(*open->second, parentName)) children.push_back(file);
          continue;
        }
        // The header tells; only a child has its indexes set up. A table
        // that cannot be opened cannot tell, and is asked again below.
        std::unique_ptr<TTdbBaseTable> table = OpenReadOnly(file, false);
        if (!table) {
          if (CanBeParent(parent)) children.push_back(file);
          continue;
        }
        if (!NamesParent(*table, parentName)) continue;
        children.push_back(file);
        try {
          table->Setup();
        } catch (const ETdbEngine&) {
          table.reset();
        }
        FOpen[file] = std::move(table);
      }
      FFileSystem.FindFileClose(rec);
    }
    known = FChildFiles.emplace(parent.FileName(), std::move(children)).first;
  }
  std::vector<TTdbBaseTable*> tables;
  for (const std::string& file : known->second) {
    TTdbBaseTable* child = file == parent.FileName() ? &parent : Related(file);
    if (!child) throw ETdbEngine(tdbErrParentTableNotFound, CalcStdTableName(file));
    tables.push_back(child);
  }
  return tables;
}

void InstallDirectoryConstraintChecks(TTdbBaseTable& table, TdwFileSystem& fileSystem,
                                      TTdbDirectoryRelatedTables::TTableMaker makeTable,
                                      TTdbRelatedTablePlaces places) {
  table.SetConstraintChecker(std::make_shared<TTdbConstraintChecks>(
      std::make_shared<TTdbDirectoryRelatedTables>(fileSystem, std::move(makeTable), std::move(places))));
}

}  // namespace kestrel
