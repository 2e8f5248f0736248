// Making and filling tables from the kestrel tool's texts: column and index
// specifications as `kestrel create` takes them, and rows of a CSV file as
// `kestrel import` takes them. Shared by create, import and demo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tool_table.h"

namespace kestrel::tool {

struct TTableSpec {
  int Level = 0;
  std::string Collation;  // empty: the standard collation
  std::int32_t Capacity = kDefaultCapacity;
  std::vector<std::string> Columns;  // "NAME TYPE[(SIZE)] [NOT NULL]"
  std::vector<std::string> Indexes;  // "NAME:SPEC[:unique]"
};

// The table file name for `name`: as given when it has an extension, else
// with the extension of the level.
std::string NewTableFileName(const std::string& name, int level);

// Creates the table with its indexes and leaves it open in `tool`. On any
// failure every file made is removed again and the error thrown
// (std::runtime_error for a bad spec, ETdbEngine otherwise).
void CreateTable(TToolTable& tool, const std::string& fileName, const TTableSpec& spec);

// Appends the rows of a CSV text (header row naming columns) to the open
// table in one transaction; answers the number of rows. Any bad row rolls
// the transaction back and throws std::runtime_error "line N: ...".
int ImportCsv(TTdbBaseTable& table, const std::string& csvText);

}  // namespace kestrel::tool
