// Index items (`TTdbLongIndexInfo`) and their order.
//
// An item is the record number (32-bit signed, 0 in a search key) followed by
// the key parts of all levels. A key part is the column's stored bytes exactly
// as they stand in the record image, null indicator included; strings keep
// their length prefix, so bytes behind the counted characters never matter.
//
// Items compare level by level (`CompareFields`, negated for descending
// levels); equal keys are ordered by record number, so the order is total and
// a search key (record number 0) sorts before every stored item with the same
// key parts.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/index/collation.h"
#include "engine/index/index_columns.h"
#include "engine/index/sort_def.h"

namespace kestrel {

// The layout of an item buffer; only the first FSize bytes are used.
struct TTdbLongIndexInfo {
  int32_t DateiVerweis;
  uint8_t Key[kLongIndexInfoSize - kIndexRecordNoSize];
};
static_assert(sizeof(TTdbLongIndexInfo) == kLongIndexInfoSize);

int32_t ItemRecordNo(const uint8_t* item);
void SetItemRecordNo(uint8_t* item, int32_t recordNo);

// How one key part compares (`CompareFields` parameters).
struct TTdbFieldCompare {
  uint8_t FDataType = 0;
  int FTableLevel = 4;
  bool FHasNullByte = false;
  uint16_t FFieldSize = 0;  // the column's stored size (decides String prefix width)
  const TTdbCollation* FCollation = nullptr;  // nullptr = standard
  TStrCmpOptions FOptions = 0;
};

// `CompareFields`: negative, zero or positive. Sizes bound every read, so a
// damaged length prefix cannot read outside the parts.
int CompareFields(const TTdbFieldCompare& how, const uint8_t* value1, uint32_t size1, const uint8_t* value2,
                  uint32_t size2);

// Binds a definition to its table and compares items. The definition and the
// table must outlive the comparer.
class TTdbIndexComparer {
 public:
  TTdbIndexComparer(const TTdbSortDef& def, const TTdbIndexTable& table) : FDef(&def), FTable(&table) {}

  // Three-way comparison of two items (`IndexLess` is Compare < 0).
  int Compare(const uint8_t* x, const uint8_t* y) const;
  bool Less(const uint8_t* x, const uint8_t* y) const { return Compare(x, y) < 0; }

  // `FindSortKeyDiff`: the number of leading levels whose key parts are equal.
  int FindSortKeyDiff(const uint8_t* x, const uint8_t* y) const;
  // All levels equal; IsSameIndexInfo also wants y's record number non-zero.
  bool IsSameIndexKey(const uint8_t* x, const uint8_t* y) const;
  bool IsSameIndexInfo(const uint8_t* x, const uint8_t* y) const;

  // Data size of level `level` of the key part at `part` (variable-size
  // items store string parts with their actual length). `available` bounds it.
  uint32_t LevelDataSize(int level, const uint8_t* part, uint32_t available) const;

  // How level `level` compares (type, null indicator, collation, options).
  TTdbFieldCompare FieldCompare(int level) const;

  const TTdbSortDef& Def() const { return *FDef; }
  const TTdbIndexTable& Table() const { return *FTable; }

 private:
  // Compares level `level`; advances both offsets past the parts.
  int CompareLevel(int level, const uint8_t* x, uint32_t& offsetX, const uint8_t* y, uint32_t& offsetY) const;

  const TTdbSortDef* FDef;
  const TTdbIndexTable* FTable;
};

// `CalcIndexInfo`: builds the item of the record image `record` (the table's
// record size) with record number `recordNo` into `item` (resized to FSize).
// Returns the number of key bytes (without the record number); a
// variable-size item is stored with this many key bytes.
// Throws ETdbEngine 9999 when a level's column does not fit the record or a
// calculated index has no prepared expression.
uint32_t CalcIndexInfo(const TTdbIndexComparer& comparer, const uint8_t* record, int32_t recordNo,
                       std::vector<uint8_t>& item);

// `CompleteIndexInfo`, worked on the item itself: turns `item`, whose first
// `levelCount` levels hold a partial key, into a range bound. Every further
// level gets its lowest key part (NULL for a column with a null indicator
// from table level 4 on, else the type's lowest value or the empty text) when
// its Descending flag equals `upper`, else its highest (the type's highest
// value; a text of full length made of the collation's highest character).
// A lower bound then sorts before, an upper bound after every item that
// shares the given levels (record numbers aside). The record number stays;
// a calculated index (one level) is left as it is.
void CompleteIndexInfo(const TTdbIndexComparer& comparer, std::vector<uint8_t>& item, int levelCount, bool upper);

}  // namespace kestrel
