// Column definitions of a table and the layout of its record image.
//
// TTdbColumnDefs keeps the columns in order and their positions: column i
// starts where column i − 1 ends, without gaps, and the record size is the
// end of the last column. Adding a column recomputes positions, so the
// layout is always consistent with the sizes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/base/column_type.h"

namespace kestrel {

// Bits of a column's options word.
inline constexpr uint32_t kColumnOptionRecompute = 0x01;  // formula recomputed, not a default
inline constexpr uint32_t kColumnOptionRange = 0x02;      // range constraint (levels 1–4)
inline constexpr uint32_t kColumnOptionOnAppend = 0x04;   // recompute on appending only
inline constexpr uint32_t kColumnOptionNullByte = 0x08;   // stored value has a null indicator
inline constexpr uint32_t kColumnOptionNullable = 0x20;
inline constexpr uint32_t kColumnOptionOldForm = 0x40;     // old-form marker of RecordId/Link
inline constexpr uint32_t kColumnOptionCurrentForm = 0x80;  // level-4 entry in the current form

inline constexpr int kMaxColumnCount = 1000;
inline constexpr int kMaxRecordSize = 32767;

// Lower and upper bound of a range constraint of a level 1–4 header.
struct TTdbRangeBounds {
  double B_von = 0;
  double B_bis = 0;
  bool operator==(const TTdbRangeBounds&) const = default;
};

struct TTdbColumnDef {
  std::u16string Name;
  TTdbDataType DataType;
  int Size = 0;  // bytes in the record image
  uint32_t Options = 0;
  int Position = 0;  // set by TTdbColumnDefs
  std::u16string Calculation;  // formula of a computed or default-value column
  std::u16string LinkedTable;  // Link and Relation: the linked table's name
  std::u16string IndexSpec;    // RecordId: spec of its index
  std::optional<TTdbRangeBounds> Range;  // levels 1–4

  bool operator==(const TTdbColumnDef&) const = default;
};

// A column of `type` named `name` for a new table: size from the type
// (4 for Memo, Blob, WideMemo), options `options` plus the nullable and
// null-indicator bits the type implies.
TTdbColumnDef NewColumnDef(std::u16string name, const TTdbDataType& type, uint32_t options = 0);

// Options of an old-form entry (levels 1–3, level-4 entries without bit
// 0x80) converted to the current form, and back.
uint32_t ConvertOldOptions(uint32_t oldOptions, TTdbColumnType code, int level);
uint8_t ReduceToOldOptions(uint32_t options);

class TTdbColumnDefs {
 public:
  // Appends a column and sets its position.
  void Add(TTdbColumnDef column);
  // Replaces column `index` (0-based) and recomputes the positions after it.
  void Replace(size_t index, TTdbColumnDef column);

  size_t Count() const { return FColumns.size(); }
  const TTdbColumnDef& operator[](size_t index) const { return FColumns[index]; }
  auto begin() const { return FColumns.begin(); }
  auto end() const { return FColumns.end(); }

  // Position plus size of the last column; 0 without columns.
  int RecordSize() const;

  // 0-based index of the column named `name` (exact match); -1 if none.
  int IndexOf(std::u16string_view name) const;
  // 0-based index of the RecordId column; -1 if none.
  int RecordIdIndex() const;

  // The bytes of column `index` inside a record image of RecordSize()
  // bytes. Throws ETdbEngine tdbErrInvalidParameter when the image is shorter than that.
  std::span<uint8_t> ColumnBytes(std::span<uint8_t> record, size_t index) const;
  std::span<const uint8_t> ColumnBytes(std::span<const uint8_t> record, size_t index) const;

  bool operator==(const TTdbColumnDefs&) const = default;

 private:
  void Recompute(size_t from);

  std::vector<TTdbColumnDef> FColumns;
};

}  // namespace kestrel
