// TCondRecordImageSource: the record source of conditions over a table's
// record images. Columns are described by the table's column definitions
// (stored form, codecs) and by its index view (TTdbIndexTable: the
// collation object of each string column), so a condition compares texts
// exactly as the column's index keys are ordered.
//
// Column numbers: FindColumn hands out the 1-based column number as
// FFieldNo, the same number index levels carry, so index choice can match a
// condition's columns with index levels directly.
//
// Values: 8-bit texts are decoded from the column's code page; times come in
// milliseconds; memo columns are strings of unlimited length read through a
// reader the owner supplies; block references of blobs read as their block
// number; Relation columns read as NULL.
//
// The source refers to the column definitions, the index view and the
// current record image; all must outlive it (and the current record every
// evaluation). It keeps one collation adapter per string column. Reading is
// const and does not change the image; one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/cond/collation_adapter.h"
#include "engine/cond/cond_record_source.h"
#include "engine/index/index_columns.h"
#include "engine/table/column_definition.h"

namespace kestrel {

// Reads the text of memo or wide memo column `columnNo` (1-based) of
// `record`. Throws the memo file's ETdbEngine.
using TCondReadMemo = std::function<std::u16string(int columnNo, std::span<const uint8_t> record)>;

class TCondRecordImageSource final : public ICondRecordSource {
 public:
  // `tableName`: the name "table.column" references must carry (compared as
  // names are). A text column compares with the collation `indexTable`
  // gives it (nullptr: the standard collation); a column the view lacks
  // goes by its collation name (ETdbEngine tdbErrNoCollation when that does not exist).
  TCondRecordImageSource(const TTdbColumnDefs& columns, const TTdbIndexTable& indexTable, std::u16string tableName,
                         TCondReadMemo readMemo = {});

  // The record evaluations read from now on (RecordSize() bytes).
  void SetRecord(std::span<const uint8_t> record) { FRecord = record; }

  bool FindColumn(std::u16string_view tableName, std::u16string_view columnName,
                  TCondColumnInfo& info) const override;
  // Throws ETdbEngine tdbErrInvalidParameter when no record of the table's size is set, 9999 for
  // an unknown column number, and the memo reader's errors.
  void ReadColumn(int fieldNo, TCondValue& value) const override;

  // Stores a bound of an index range into column `columnNo` of `record`:
  // `value` converted to the column's type such that the bound keeps every
  // value the comparison admits (numbers rounded outward: up for a lower
  // bound, down for an upper one; out-of-range numbers clamped). When
  // `value` is null or cannot be stored (a type it does not convert to, NULL
  // in a column without NULL), the column's extreme key value instead: the
  // lowest (NULL for a nullable column at table level 4 and above) or, with
  // `highest`, the highest; the highest text is the empty prefix pattern,
  // which equals every text in key comparison. A text longer than the
  // column's maximal length is no upper bound. Answers whether `value` was
  // stored.
  bool WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value, bool highest) const;

 private:
  struct TColumn {
    TCondDataType FType;
    std::unique_ptr<TCondCollationAdapter> FCollation;
  };

  const TTdbColumnDef& Definition(int columnNo) const;
  bool TryWriteValue(const TTdbDataType& type, std::span<uint8_t> bytes, const TCondValue& value,
                     bool highest) const;
  void WriteExtreme(const TTdbDataType& type, std::span<uint8_t> bytes, bool highest) const;

  const TTdbColumnDefs& FColumns;
  int FTableLevel;
  std::u16string FTableName;
  TCondReadMemo FReadMemo;
  std::vector<TColumn> FTypes;  // column number n is FTypes[n - 1]
  std::span<const uint8_t> FRecord;
};

}  // namespace kestrel
