// Parent and child tables of foreign keys in a directory of table files.
#include "engine/cursor/directory_related_tables.h"

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

}  // namespace

TTdbDirectoryRelatedTables::TTdbDirectoryRelatedTables(TdwFileSystem& fileSystem, TTableMaker makeTable)
    : FFileSystem(fileSystem), FMakeTable(std::move(makeTable)) {}

TTdbDirectoryRelatedTables::~TTdbDirectoryRelatedTables() = default;

bool TTdbDirectoryRelatedTables::IsSameFile(const std::string& a, const std::string& b) const {
  return FFileSystem.ExpandFileName(a) == FFileSystem.ExpandFileName(b);
}

std::unique_ptr<TTdbBaseTable> TTdbDirectoryRelatedTables::OpenReadOnly(const std::string& fileName, bool setup) {
  std::unique_ptr<TTdbBaseTable> table = FMakeTable(fileName);
  try {
    table->SetRights(0);
    table->Open();
    if (setup) table->Setup();
  } catch (const ETdbEngine&) {
    table.reset();
  }
  return table;
}

TTdbBaseTable* TTdbDirectoryRelatedTables::Related(const std::string& fileName) {
  const auto found = FOpen.find(fileName);
  if (found != FOpen.end()) return found->second.get();
  std::unique_ptr<TTdbBaseTable>& table = FOpen[fileName];
  table = OpenReadOnly(fileName, true);
  return table.get();
}

TTdbBaseTable* TTdbDirectoryRelatedTables::ParentTable(TTdbBaseTable& child, const std::u16string& name) {
  const std::string fileName =
      ResolveTableFileName(child.PhysicalDirectory() + Utf16ToUtf8(name),
                           [this](const std::string& path) { return FFileSystem.FileExists(path); });
  if (fileName.empty()) return nullptr;
  if (IsSameFile(fileName, child.FileName())) return &child;
  return Related(fileName);
}

std::vector<TTdbBaseTable*> TTdbDirectoryRelatedTables::ChildTables(TTdbBaseTable& parent) {
  auto known = FChildFiles.find(parent.FileName());
  if (known == FChildFiles.end()) {
    const std::u16string parentName = Utf8ToUtf16(parent.StdName());
    std::vector<std::string> children;
    TdwFindFileRec rec;
    for (int rc = FFileSystem.FindFirstFile(parent.PhysicalDirectory() + "*", kAllEntries, rec); rc == 0;
         rc = FFileSystem.FindNextFile(rec)) {
      if (rec.FIsDirectory || !IsTableFileName(rec.FName)) continue;
      const std::string file = parent.PhysicalDirectory() + rec.FName;
      if (IsSameFile(file, parent.FileName())) {
        if (NamesParent(parent, parentName)) children.push_back(parent.FileName());
        continue;
      }
      // Tables already open are asked as they are; others are opened for
      // the question and kept only when they are children.
      if (const auto open = FOpen.find(file); open != FOpen.end()) {
        if (open->second && NamesParent(*open->second, parentName)) children.push_back(file);
        continue;
      }
      // The header tells; only a child has its indexes set up.
      std::unique_ptr<TTdbBaseTable> table = OpenReadOnly(file, false);
      if (table && NamesParent(*table, parentName)) {
        children.push_back(file);
        try {
          table->Setup();
        } catch (const ETdbEngine&) {
          table.reset();
        }
        FOpen[file] = std::move(table);
      }
    }
    FFileSystem.FindFileClose(rec);
    known = FChildFiles.emplace(parent.FileName(), std::move(children)).first;
  }
  std::vector<TTdbBaseTable*> tables;
  for (const std::string& file : known->second) {
    TTdbBaseTable* child = file == parent.FileName() ? &parent : Related(file);
    if (!child)
      throw ETdbEngine(tdbErrPlain, "The table \"" + file + "\" refers to \"" + parent.StdName() +
                                        "\" through a foreign key and could not be opened to check the change");
    tables.push_back(child);
  }
  return tables;
}

void InstallDirectoryConstraintChecks(TTdbBaseTable& table, TdwFileSystem& fileSystem,
                                      TTdbDirectoryRelatedTables::TTableMaker makeTable) {
  table.SetConstraintChecker(std::make_shared<TTdbConstraintChecks>(
      std::make_shared<TTdbDirectoryRelatedTables>(fileSystem, std::move(makeTable))));
}

}  // namespace kestrel
