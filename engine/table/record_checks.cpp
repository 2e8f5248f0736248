// Checks of record images before they are stored.
#include "engine/table/record_checks.h"

#include <algorithm>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

// Types whose NULL is the value's bytes all zero, with no null indicator.
bool HasZeroNull(TTdbColumnType code) {
  return code == tctDate || code == tctDateTime || code == tctLink || code == tctEnum;
}

}  // namespace

void RequireNotNullValues(const TTdbColumnDefs& columns, std::span<const std::uint8_t> record) {
  for (std::size_t i = 0; i < columns.Count(); ++i) {
    const TTdbColumnDef& column = columns[i];
    const TTdbDataType& type = column.DataType;
    if (type.Nullable() || !HasZeroNull(type.ColumnType())) continue;
    const std::size_t from = static_cast<std::size_t>(column.Position + type.ValueOffset());
    const std::size_t size = static_cast<std::size_t>(type.ValueSize());
    if (from + size > record.size()) throw ETdbEngine(tdbErrInvalidParameter, "Buffer");
    const auto value = record.subspan(from, size);
    if (std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; }))
      throw ETdbEngine(tdbErrNullNotAccepted, Utf16ToUtf8(column.Name));
  }
}

}  // namespace kestrel
