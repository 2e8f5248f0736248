// Parent and child tables of foreign keys for the kestrel tool.
#include "tools/related_tables.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/collation.h"
#include "engine/table/table_file_names.h"
#include "tools/password_option.h"
#include "tools/table_file.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

namespace {

// Every kind of directory entry (the attribute mask of a listing).
constexpr int kAllEntries = 0x3F;

bool IsTableFileName(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::u16string extension = Utf8ToUtf16(name.substr(dot));
  return StandardCollation().Compare(extension, Utf8ToUtf16(kTableExtensionClassic), 0) == 0 ||
         StandardCollation().Compare(extension, Utf8ToUtf16(kTableExtensionLevel6), 0) == 0;
}

}  // namespace

TToolRelatedTables::TToolRelatedTables() = default;
TToolRelatedTables::~TToolRelatedTables() = default;

TTdbBaseTable* TToolRelatedTables::Related(const std::string& fileName) {
  auto found = FOpen.find(fileName);
  if (found != FOpen.end()) return found->second ? &found->second->Table() : nullptr;
  auto tool = std::make_unique<TToolTable>();
  try {
    tool->Open(fileName, 0);
  } catch (const ETdbEngine&) {
    tool.reset();
  }
  TTdbBaseTable* table = tool ? &tool->Table() : nullptr;
  FOpen[fileName] = std::move(tool);
  return table;
}

TTdbBaseTable* TToolRelatedTables::ParentTable(TTdbBaseTable& child, const std::u16string& name) {
  TToolTable probe;
  TdwFileSystem& fs = probe.FileSystem();
  const std::string fileName = ResolveTableFileName(child.PhysicalDirectory() + Utf16ToUtf8(name),
                                                    [&fs](const std::string& path) { return fs.FileExists(path); });
  if (fileName.empty()) return nullptr;
  if (fs.ExpandFileName(fileName) == fs.ExpandFileName(child.FileName())) return &child;
  return Related(fileName);
}

std::vector<TTdbBaseTable*> TToolRelatedTables::ChildTables(TTdbBaseTable& parent) {
  auto known = FChildFiles.find(parent.FileName());
  if (known == FChildFiles.end()) {
    TToolTable probe;
    TdwFileSystem& fs = probe.FileSystem();
    const std::string self = fs.ExpandFileName(parent.FileName());
    const std::u16string parentName = Utf8ToUtf16(parent.StdName());
    std::vector<std::string> children;
    TdwFindFileRec rec;
    for (int rc = fs.FindFirstFile(parent.PhysicalDirectory() + "*", kAllEntries, rec); rc == 0;
         rc = fs.FindNextFile(rec)) {
      if (rec.FIsDirectory || !IsTableFileName(rec.FName)) continue;
      const std::string file = parent.PhysicalDirectory() + rec.FName;
      try {
        const TTableFileInfo info = ReadTableFile(file, ToolKey());
        for (const TTdbForeignKeyDef& rule : info.Header.ForeignKeyDefs)
          if (StandardCollation().Compare(rule.ParentTable, parentName, 0) == 0) {
            children.push_back(fs.ExpandFileName(file) == self ? parent.FileName() : file);
            break;
          }
      } catch (const ETdbEngine&) {
        // A file that is no readable table names no parent.
      }
    }
    fs.FindFileClose(rec);
    known = FChildFiles.emplace(parent.FileName(), std::move(children)).first;
  }
  std::vector<TTdbBaseTable*> tables;
  for (const std::string& file : known->second) {
    if (file == parent.FileName()) {
      tables.push_back(&parent);
      continue;
    }
    // A child that cannot be opened cannot be checked: the change waits.
    TTdbBaseTable* child = Related(file);
    if (!child)
      throw ETdbEngine(tdbErrPlain, "The table \"" + file + "\" refers to \"" + parent.StdName() +
                                        "\" through a foreign key and could not be opened to check the change");
    tables.push_back(child);
  }
  return tables;
}

void InstallConstraintChecks(TTdbBaseTable& table) {
  table.SetConstraintChecker(std::make_shared<TTdbConstraintChecks>(std::make_shared<TToolRelatedTables>()));
}

}  // namespace kestrel::tool
