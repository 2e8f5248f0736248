// Column definitions, record layout and the old options form.
#include "engine/table/column_definition.h"

#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

constexpr uint32_t kOldOptionBits = 0x0F;
constexpr uint32_t kOldOptionLowBits = 0x07;

bool HasBlockReference(TTdbColumnType code) { return code == tctMemo || code == tctBlob || code == tctWideMemo; }

}  // namespace

TTdbColumnDef NewColumnDef(std::u16string name, const TTdbDataType& type, uint32_t options) {
  TTdbColumnDef column;
  column.Name = std::move(name);
  column.DataType = type;
  column.Size = HasBlockReference(type.ColumnType()) ? kBlockRefSize : type.DataSize();
  column.Options = options & ~(kColumnOptionNullable | kColumnOptionNullByte);
  if (type.Nullable()) column.Options |= kColumnOptionNullable;
  if (type.HasNullByte()) column.Options |= kColumnOptionNullByte;
  return column;
}

uint32_t ConvertOldOptions(uint32_t oldOptions, TTdbColumnType code, int level) {
  uint32_t options = oldOptions & kOldOptionBits;
  // Types that show NULL by their value are nullable in old headers; Time
  // has no such value and needs the indicator bit.
  const bool valueNull = RepresentsNullByValue(code) || code == tctDate || code == tctDateTime;
  if ((options & kColumnOptionNullByte) || (MayBeNullable(code, level) && valueNull))
    options |= kColumnOptionNullable;
  if ((options & kColumnOptionNullByte) && (code == tctRecordId || code == tctLink)) {
    options |= kColumnOptionOldForm;
    options &= ~kColumnOptionNullByte;
  }
  return options;
}

uint8_t ReduceToOldOptions(uint32_t options) {
  // Bit 0x40 goes back to 0x08: (options and 7) − 8 in the low four bits.
  const uint32_t reduced = (options & kColumnOptionOldForm) ? (options & kOldOptionLowBits) - 8 : options;
  return static_cast<uint8_t>(reduced & kOldOptionBits);
}

void TTdbColumnDefs::Add(TTdbColumnDef column) {
  FColumns.push_back(std::move(column));
  Recompute(FColumns.size() - 1);
}

void TTdbColumnDefs::Replace(size_t index, TTdbColumnDef column) {
  FColumns.at(index) = std::move(column);
  Recompute(index);
}

void TTdbColumnDefs::Recompute(size_t from) {
  int position = from == 0 ? 0 : FColumns[from - 1].Position + FColumns[from - 1].Size;
  for (size_t i = from; i < FColumns.size(); ++i) {
    FColumns[i].Position = position;
    position += FColumns[i].Size;
  }
}

int TTdbColumnDefs::RecordSize() const {
  return FColumns.empty() ? 0 : FColumns.back().Position + FColumns.back().Size;
}

int TTdbColumnDefs::IndexOf(std::u16string_view name) const {
  for (size_t i = 0; i < FColumns.size(); ++i)
    if (FColumns[i].Name == name) return static_cast<int>(i);
  return -1;
}

int TTdbColumnDefs::RecordIdIndex() const {
  for (size_t i = 0; i < FColumns.size(); ++i)
    if (FColumns[i].DataType.ColumnType() == tctRecordId) return static_cast<int>(i);
  return -1;
}

std::span<uint8_t> TTdbColumnDefs::ColumnBytes(std::span<uint8_t> record, size_t index) const {
  if (record.size() < static_cast<size_t>(RecordSize())) throw ETdbEngine(tdbErrInvalidParameter, "record");
  const TTdbColumnDef& column = FColumns.at(index);
  return record.subspan(static_cast<size_t>(column.Position), static_cast<size_t>(column.Size));
}

std::span<const uint8_t> TTdbColumnDefs::ColumnBytes(std::span<const uint8_t> record, size_t index) const {
  if (record.size() < static_cast<size_t>(RecordSize())) throw ETdbEngine(tdbErrInvalidParameter, "record");
  const TTdbColumnDef& column = FColumns.at(index);
  return record.subspan(static_cast<size_t>(column.Position), static_cast<size_t>(column.Size));
}

}  // namespace kestrel
