// Tables as the kestrel tool uses them: one process-wide page cache client
// on the operating system's file system, the table name resolved as the
// engine resolves it (".dat", then ".tdbt"), and column values to and from
// the text of a CSV field.
//
// Field texts (UTF-8): strings and memo texts as they are; integers in
// decimal; Float as the shortest text that reads back the same number;
// Boolean "true"/"false"; Date "yyyy-mm-dd"; Time "hh:mm:ss.zzz"; DateTime
// "yyyy-mm-dd hh:mm:ss.zzz"; Guid "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
// Blob bytes in hexadecimal. Values read back in ISO 8601 forms: times as
// hh:mm, hh:mm:ss or with one to three digits of fraction, date-times with a
// blank or a T between date and time (or the date alone), booleans in any
// case. NULL is the empty unquoted field, the empty text the quoted empty
// field (""). An empty unquoted field stores NULL in a column that takes it,
// the empty text in a NOT NULL text column, and is refused elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/base/column_codec.h"
#include "engine/table/base_table.h"
#include "tools/csv.h"

namespace kestrel {
class TdwFileSystem;
}

namespace kestrel::tool {

class TToolTable {
 public:
  TToolTable();
  ~TToolTable();

  // Opens and sets up the table `name` (a path with or without extension)
  // with the tool's key (password_option.h). Error 37 when there is no such
  // table, 38 for a wrong key.
  TTdbBaseTable& Open(const std::string& name, TTdbRights rights);
  // A closed table object for a new table at `fileName`, with the tool's key.
  TTdbBaseTable& Prepare(const std::string& fileName);
  // Installs the checker of check constraints and foreign keys on the
  // table (before its Setup): related tables are found beside it and
  // opened read-only with the tool's key.
  void InstallConstraintChecks();
  TTdbBaseTable& Table() { return *FTable; }
  TdwFileSystem& FileSystem() { return *FFileSystem; }

 private:
  std::shared_ptr<TdwFileSystem> FFileSystem;
  std::unique_ptr<TTdbBaseTable> FTable;
};

// The field text of a column value of `type`, and bytes in hexadecimal.
std::string ValueText(const TTdbDataType& type, const TTdbValue& value);
std::string HexText(const std::string& bytes);
// The value of a field text for a column of `type` (not Memo, WideMemo or
// Blob) named columnName; throws std::runtime_error as SetFieldText does.
TTdbValue TextValue(const TTdbDataType& type, const std::string& text, const std::string& columnName);

// Stores a field into column fieldNo of a record image; memo, blob and wide
// memo values go into blobs. Throws std::runtime_error saying what is
// wrong with the text (not a number, too long, a character the code page
// lacks, ...).
void SetFieldText(TTdbBaseTable& table, std::span<std::uint8_t> record, int fieldNo, const TCsvField& field,
                  TTdbBlobDataList& blobs);

}  // namespace kestrel::tool
