// TTdbDirectoryRelatedTables: the tables on the other side of foreign keys
// as a directory of table files holds them (ITdbRelatedTables). A parent is
// the table of its name beside the child's table file (".dat" first, then
// ".tdbt"); the children of a parent are the table files of its directory
// whose foreign keys name it, found by opening them. Related tables are
// opened read-only through the owner's factory (which gives them the key and
// the sharing of the owner's tables), once, and stay open as long as this
// object; a table file that cannot be opened names no parent.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/constraint_checks.h"

namespace kestrel {

class TdwFileSystem;

class TTdbDirectoryRelatedTables final : public ITdbRelatedTables {
 public:
  // A closed table object for a table file, ready to be opened.
  using TTableMaker = std::function<std::unique_ptr<TTdbBaseTable>(const std::string& fileName)>;

  // fileSystem: where the tables' files are (must outlive this object).
  TTdbDirectoryRelatedTables(TdwFileSystem& fileSystem, TTableMaker makeTable);
  ~TTdbDirectoryRelatedTables() override;

  TTdbBaseTable* ParentTable(TTdbBaseTable& child, const std::u16string& name) override;
  // Error 135 naming the table when a child cannot be opened to be checked.
  std::vector<TTdbBaseTable*> ChildTables(TTdbBaseTable& parent) override;

 private:
  // The open table of `fileName`, opened read-only on first use; null when
  // it cannot be opened.
  TTdbBaseTable* Related(const std::string& fileName);
  // A table opened read-only (and set up); null when that fails.
  std::unique_ptr<TTdbBaseTable> OpenReadOnly(const std::string& fileName, bool setup);
  bool IsSameFile(const std::string& a, const std::string& b) const;

  TdwFileSystem& FFileSystem;
  TTableMaker FMakeTable;
  std::map<std::string, std::unique_ptr<TTdbBaseTable>> FOpen;  // null: could not be opened
  std::map<std::string, std::vector<std::string>> FChildFiles;   // parent file → child files
};

// Installs a TTdbConstraintChecks over a TTdbDirectoryRelatedTables on
// `table`, before its Setup.
void InstallDirectoryConstraintChecks(TTdbBaseTable& table, TdwFileSystem& fileSystem,
                                      TTdbDirectoryRelatedTables::TTableMaker makeTable);

}  // namespace kestrel
