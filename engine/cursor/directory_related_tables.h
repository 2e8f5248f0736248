// TTdbDirectoryRelatedTables: the tables on the other side of foreign keys
// as directories of table files hold them (ITdbRelatedTables).
//
// Where they are looked for, in this order: the directory of the table that
// asks, then the further directories its owner names (a session names its
// database's directory). A parent is the table of its name there (".dat"
// first, then ".tdbt"); the children of a parent are the table files of
// those directories whose foreign keys name it, found by opening them.
//
// Related tables are opened read-only through the owner's factory (which
// gives them the owner's key and sharing), once, and stay open as long as
// this object. A table that the owner's key does not open (error 38) is
// tried with every other key the owner knows (a session: its database key
// and the keys of the tables it opened).
//
// A table file that cannot be opened with any of them may hold rows that
// refer to a parent, so a parent that could have children (it has an index)
// refuses to lose or change a row while such a file lies beside it: error
// 184 naming that table. Nothing is skipped unchecked.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/constraint_checks.h"

namespace kestrel {

class TdwFileSystem;

// Where related tables are looked for besides the asking table's directory,
// and which keys are tried besides the owner's.
struct TTdbRelatedTablePlaces {
  // Further directories (full paths, with or without a trailing "/").
  std::vector<std::string> FDirectories;
  // The keys to try after the owner's, asked each time a table is opened;
  // may be empty.
  std::function<std::vector<std::u16string>()> FKeys;
};

class TTdbDirectoryRelatedTables final : public ITdbRelatedTables {
 public:
  // A closed table object for a table file, ready to be opened with the
  // owner's key.
  using TTableMaker = std::function<std::unique_ptr<TTdbBaseTable>(const std::string& fileName)>;

  // fileSystem: where the tables' files are (must outlive this object).
  TTdbDirectoryRelatedTables(TdwFileSystem& fileSystem, TTableMaker makeTable, TTdbRelatedTablePlaces places = {});
  ~TTdbDirectoryRelatedTables() override;

  TTdbBaseTable* ParentTable(TTdbBaseTable& child, const std::u16string& name) override;
  // Error 184 naming a table that refers to `parent` (or may: one that
  // cannot be opened at all) and cannot be opened to be checked.
  std::vector<TTdbBaseTable*> ChildTables(TTdbBaseTable& parent) override;

 private:
  // The open table of `fileName`, opened read-only and set up on first use
  // (tried again on later uses while it fails); null when it cannot be.
  TTdbBaseTable* Related(const std::string& fileName);
  // A table opened read-only with the first key that opens it (and set up);
  // null when none does.
  std::unique_ptr<TTdbBaseTable> OpenReadOnly(const std::string& fileName, bool setup);
  // The directories to look in for `table`'s relatives, each once, with a
  // trailing "/".
  std::vector<std::string> Directories(const TTdbBaseTable& table) const;
  bool IsSameFile(const std::string& a, const std::string& b) const;

  TdwFileSystem& FFileSystem;
  TTableMaker FMakeTable;
  TTdbRelatedTablePlaces FPlaces;
  std::map<std::string, std::unique_ptr<TTdbBaseTable>> FOpen;  // null: could not be opened
  // parent file → the files of its children and of tables that could not
  // be opened to tell
  std::map<std::string, std::vector<std::string>> FChildFiles;
};

// Installs a TTdbConstraintChecks over a TTdbDirectoryRelatedTables on
// `table`, before its Setup.
void InstallDirectoryConstraintChecks(TTdbBaseTable& table, TdwFileSystem& fileSystem,
                                      TTdbDirectoryRelatedTables::TTableMaker makeTable,
                                      TTdbRelatedTablePlaces places = {});

}  // namespace kestrel
