// Record sources of filter conditions over a table object's records.
#include "engine/cursor/table_record_source.h"

#include <filesystem>

#include "engine/base/code_page.h"
#include "engine/table/base_table.h"

namespace kestrel {

std::unique_ptr<TCondRecordImageSource> NewTableRecordSource(TTdbBaseTable& table, TTdbNewMemoValue newValue) {
  const std::u16string name = Utf8ToUtf16(std::filesystem::path(table.FileName()).stem().string());
  TCondReadMemo readMemo = [&table, newValue = std::move(newValue)](int columnNo, std::span<const std::uint8_t> record) {
    const TTdbColumnDef& column = table.Columns()[static_cast<std::size_t>(columnNo) - 1];
    if (const TTdbBlobData* value = newValue ? newValue(columnNo) : nullptr)
      return column.DataType.ColumnType() == tctWideMemo ? value->WideData
                                                         : DecodeCodePage(value->AnsiData, kCodePageAnsi);
    if (column.DataType.ColumnType() == tctWideMemo) return table.ReadBlobDataWide(record, columnNo);
    return DecodeCodePage(table.ReadMemoString(record, columnNo), kCodePageAnsi);
  };
  return std::make_unique<TCondRecordImageSource>(table.Columns(), table.IndexTable(), name, std::move(readMemo));
}

}  // namespace kestrel
