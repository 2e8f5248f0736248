// Making and filling tables from the kestrel tool's texts: column and index
// specifications as `kestrel create` takes them, and rows of a CSV file as
// `kestrel import` takes them. Shared by create, import and demo.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/csv.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

struct TTableSpec {
  int Level = 0;
  std::string Collation;  // empty: the standard collation
  std::int32_t Capacity = kDefaultCapacity;
  std::vector<std::string> Columns;  // "NAME TYPE[(SIZE)] [NOT NULL]"
  std::vector<std::string> Indexes;  // "NAME:SPEC[:unique]"
  TTdbEncryptionMethod Encryption = temNone;  // the key is the tool's (ToolKey)
  std::string PrimaryKey;                  // "COLS": column names separated by ","
  std::vector<std::string> UniqueKeys;     // "NAME:COLS"
  std::vector<std::string> Checks;         // "NAME:CONDITION"
  std::vector<std::string> ForeignKeys;    // "NAME:COLS:PARENT:PARENTCOLS"
  // "bplus": a B+ tree table file (level 6; the record id column "_XXX" is
  // put first unless it is there); "heap": refuse columns that call for
  // one; empty: as the columns say.
  std::string FileKind;
};

// The table file name for `name`: as given when it has an extension, else
// with the extension of the level.
std::string NewTableFileName(const std::string& name, int level);

// Creates the table with its indexes and constraints and leaves it open in
// `tool`. Check conditions are prepared once to show errors in them; the
// parent table of a foreign key must exist already (184) unless it is the
// table itself. On any failure every file made is removed again and the
// error thrown (std::runtime_error for a bad spec, ETdbEngine otherwise).
void CreateTable(TToolTable& tool, const std::string& fileName, const TTableSpec& spec);

// The field numbers of the columns `names` name, matched as the engine
// compares names (case and accents ignored). Throws std::runtime_error for a
// name no column has and for a column named twice.
std::vector<int> MatchColumns(const TTdbColumnDefs& columns, const std::vector<std::string>& names);

// Gives the next row's fields and its line number (for messages); false at
// the end.
using TNextRow = std::function<bool(std::vector<TCsvField>& fields, int& line)>;

// Appends rows whose fields fill the columns `names` in turn, in one
// transaction; answers the number of rows. Any bad row rolls the
// transaction back and throws std::runtime_error "line N: ...".
int AppendRows(TTdbBaseTable& table, const std::vector<std::string>& names, const TNextRow& nextRow);

// Appends the rows of a CSV input (header row naming columns) to the open
// table in one transaction; answers the number of rows. `progress` (may be
// empty) is called before each row. Any bad row rolls the transaction back
// and throws std::runtime_error "line N: ...".
int ImportCsv(TTdbBaseTable& table, TCsvReader& reader, const std::function<void()>& progress = {});

}  // namespace kestrel::tool
