// CheckRecordImage: each column's bytes are read as a value and written
// back; a value the codec refuses, or bytes that do not come back the same,
// are no value of the column.
#include "engine/table/record_image_check.h"

#include <cmath>
#include <string>
#include <vector>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

std::int64_t LengthPrefix(const TTdbDataType& type, std::span<const std::uint8_t> column) {
  std::int64_t value = 0;
  for (int b = type.LengthPrefixSize() - 1; b >= 0; --b)
    value = value << 8 | column[static_cast<std::size_t>(type.ValueOffset() + b)];
  return value;
}

// Why the column's bytes hold no value of its type, or "".
std::string ColumnProblem(const TTdbDataType& type, std::span<const std::uint8_t> column) {
  if (type.HasNullByte() && column[static_cast<std::size_t>(type.NullByteOffset())] > 1)
    return "null indicator " + std::to_string(column[static_cast<std::size_t>(type.NullByteOffset())]);
  if (IsNullValue(type, column)) return "";
  switch (type.ColumnType()) {
    case tctMemo:
    case tctBlob:
    case tctWideMemo:
    case tctRelation:
      return "";
    case tctString:
    case tctWideString: {
      const std::int64_t length = LengthPrefix(type, column);
      if (length > type.MaxLength())
        return "a text of " + std::to_string(length) + " characters in a column of " +
               std::to_string(type.MaxLength());
      return "";
    }
    case tctFloat: {
      const TTdbValue value = ReadValue(type, column);
      if (std::holds_alternative<double>(value) && !std::isfinite(std::get<double>(value))) return "not a number";
      return "";
    }
    default:
      break;
  }
  const TTdbValue value = ReadValue(type, column);
  if (std::holds_alternative<std::monostate>(value)) return "";
  // A zero date in a column without NULL is what a new image holds before
  // a date is set; it is taken as it is.
  if (std::holds_alternative<TTdbDate>(value) && std::get<TTdbDate>(value).Packed == 0) return "";
  std::vector<std::uint8_t> written(column.begin(), column.end());
  try {
    WriteValue(type, written, value);
  } catch (const ETdbEngine& e) {
    return e.Message();
  }
  if (type.ColumnType() == tctChar) return "";
  if (!std::equal(written.begin(), written.end(), column.begin())) return "bytes that are no value of the type";
  return "";
}

}  // namespace

void CheckRecordImage(const TTdbColumnDefs& columns, std::span<const std::uint8_t> record) {
  for (std::size_t i = 0; i < columns.Count(); ++i) {
    const std::string problem = ColumnProblem(columns[i].DataType, columns.ColumnBytes(record, i));
    if (!problem.empty()) throw ETdbEngine(tdbErrOutOfRange, Utf16ToUtf8(columns[i].Name) + ": " + problem);
  }
}

}  // namespace kestrel
