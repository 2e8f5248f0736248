// The tables on the other side of foreign keys, as the kestrel tool finds
// them: parents by name beside the child's table file, children by reading
// the headers of the table files in the parent's directory. Both are opened
// read-only with the tool's key, once, and stay open as long as this object.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/constraint_checks.h"

namespace kestrel::tool {

class TToolTable;

class TToolRelatedTables final : public ITdbRelatedTables {
 public:
  TToolRelatedTables();
  ~TToolRelatedTables() override;

  TTdbBaseTable* ParentTable(TTdbBaseTable& child, const std::u16string& name) override;
  std::vector<TTdbBaseTable*> ChildTables(TTdbBaseTable& parent) override;

 private:
  // The open table of `fileName`, opened read-only on first use; null when
  // it cannot be opened.
  TTdbBaseTable* Related(const std::string& fileName);

  std::map<std::string, std::unique_ptr<TToolTable>> FOpen;
  std::map<std::string, std::vector<std::string>> FChildFiles;  // parent file → child files
};

// Installs the tool's checker of check constraints and foreign keys on a
// table about to be set up for changes.
void InstallConstraintChecks(TTdbBaseTable& table);

}  // namespace kestrel::tool
