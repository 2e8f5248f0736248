// A table as the kestrel tool reads it through the engine's flat call
// interface (kestrel.h): a session on the table's directory, the table
// opened read-only and one cursor on it, all given back when the object
// goes. Reading leaves no file behind: a control file the session wrote into
// the directory is removed again. Column values of the cursor's record come out as the tool's field
// texts (tool_table.h), memo and blob values read through the cursor.
//
// The table is opened with the tool's key (password_option.h). Every failed
// call throws std::runtime_error with the result code's text and the
// session's last error; a wrong key with the text "wrong password".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/api/kestrel.h"
#include "engine/base/column_type.h"
#include "tools/csv.h"

namespace kestrel::tool {

class TApiTable {
 public:
  // Opens `name` (a path with or without extension) through a new session.
  explicit TApiTable(const std::string& name);
  ~TApiTable();
  TApiTable(const TApiTable&) = delete;
  TApiTable& operator=(const TApiTable&) = delete;

  std::int16_t Cursor() const { return FTable; }
  // Result of a call: the result when it is not negative, else throws.
  std::int32_t Check(std::int32_t result, const std::string& action) const;

  // The cursor's order: an index by name, "" for physical order.
  void SetIndex(const std::string& indexName);
  // Activates a static filter condition.
  void SetFilter(const std::string& condition);

  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  const std::string& ColumnName(int fieldNo) const { return FColumns[static_cast<std::size_t>(fieldNo - 1)].Name; }
  // Limits the CSV lines to the columns `names` (matched as the engine
  // compares names), in that order; throws for a name no column has.
  void SelectColumns(const std::vector<std::string>& names);
  // The column names as a CSV header line, and the current record as a CSV
  // line: NULL as the empty field, the empty text as "".
  std::string HeaderCsv() const;
  std::string RecordCsv();
  // One value of a search key: the column ("" for the index's next key
  // column) and the value's field text.
  struct TFindKey {
    std::string Column;
    std::string Value;
  };
  // Finds the nearest record of index `indexName` at or after the key made
  // of `keys`, which fill the index's first key columns in order (a key
  // naming another column is refused). With `wholeIndex` the key is
  // compared over all levels, the missing ones empty; else over the levels
  // given. Answers whether a record was found.
  bool FindNearest(const std::string& indexName, const std::vector<TFindKey>& keys, bool wholeIndex);
  // The field numbers of the columns the index's levels name, up to the
  // first level that is not a plain column.
  std::vector<int> IndexColumns(const std::string& indexName);

 private:
  struct TColumn {
    std::string Name;
    TTdbDataType Type;
    int Position = 0;
    int Size = 0;
  };
  TCsvField FieldText(const std::vector<std::uint8_t>& record, int fieldNo);
  std::vector<int> OutputFields() const;
  std::string BlobBytes(int fieldNo);
  // Deletes the session and removes the control file it wrote.
  void Release();

  std::int16_t FSession = 0;
  std::int16_t FRelation = 0;
  std::int16_t FTable = 0;
  std::int32_t FRecordSize = 0;
  std::vector<TColumn> FColumns;
  std::vector<int> FSelected;  // field numbers of the CSV lines; empty: all
  std::string FMadeControlFile;  // the control file the session writes, when it is missing
};

}  // namespace kestrel::tool
