// The facts about a table that index keys need: its level and, per column,
// the type code, position and size in the record image, the null indicator
// and the collation. The table object fills a TTdbIndexTable from its column
// definitions; the index layer never reads table headers itself.
//
// Invariant (checked by CheckIndexDefinition and when keys are built): every
// column lies inside the record image (FOffset + FSize <= FRecordSize).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/column_type.h"
#include "engine/index/collation.h"

namespace kestrel {

// Column type codes are those of the table layer (engine/base/column_type.h);
// index items know one more.
inline constexpr uint8_t tctRelationKey = 25;  // record number of a linked record, only in index items

// Whether an index level may be made from a column of this type.
bool IsIndexableColumnType(uint8_t columnType);
// String types whose key parts may be stored with their actual length.
bool IsStringColumnType(uint8_t columnType);

// One column as the index layer sees it.
struct TTdbIndexColumn {
  std::u16string FName;
  uint8_t FColumnType = 0;
  uint32_t FOffset = 0;   // position of the column in the record image
  uint16_t FSize = 0;     // stored size, null indicator included
  bool FHasNullByte = false;
  const TTdbCollation* FCollation = nullptr;  // string columns; nullptr = standard
};

// The record number that a linked table's record-id index finds for a record
// id (type code 25 levels); 0 when there is none.
using TTdbFindLinkedRecord = std::function<int32_t(uint16_t columnNo, int32_t recordId)>;

// A table as the index layer sees it.
struct TTdbIndexTable {
  int FLevel = 4;                  // table level 1..6
  uint32_t FRecordSize = 0;        // bytes of one record image
  std::vector<TTdbIndexColumn> FColumns;  // column number n is FColumns[n - 1]
  bool FCaseSensitiveNames = false;       // session setting for column names
  TTdbFindLinkedRecord FFindLinkedRecord;  // needed only for type code 25 levels

  // The column of a 1-based number, or nullptr.
  const TTdbIndexColumn* Column(int columnNo) const {
    return columnNo >= 1 && columnNo <= static_cast<int>(FColumns.size()) ? &FColumns[columnNo - 1] : nullptr;
  }
};

}  // namespace kestrel
