// Column values and their stored form in a record image.
//
// A column's bytes are the DataSize() bytes at its position in the record;
// the functions here take exactly that span. A value in memory is a
// TTdbValue: NULL (std::monostate), an integer, a float, a text, a packed
// date, a time in ticks, a time stamp, a GUID or a block reference. Writing
// a value changes only the value bytes and the null indicator; writing NULL
// changes only the indicator (or stores the type's NULL value). Reading
// never looks outside the given span, whatever the bytes hold.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>

#include "engine/base/column_type.h"

namespace kestrel {

// A GUID in the usual four fields; stored as Int32, Int16, Int16 (each
// little-endian) and the 8 bytes of Data4 as they are.
struct TTdbGuid {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  std::array<uint8_t, 8> Data4{};
  auto operator<=>(const TTdbGuid&) const = default;
};

struct TTdbDate {
  int32_t Packed = 0;  // year × 512 + month × 32 + day
  bool operator==(const TTdbDate&) const = default;
};

struct TTdbTime {
  int64_t Ticks = 0;  // 100 ns since midnight
  bool operator==(const TTdbTime&) const = default;
};

struct TTdbTimeStamp {
  int32_t Date = 0;          // packed
  int32_t Milliseconds = 0;  // since midnight
  bool operator==(const TTdbTimeStamp&) const = default;
};

// Number of the first block of a memo, wide memo or blob value; 0 = empty.
struct TTdbBlockRef {
  int32_t Block = 0;
  bool operator==(const TTdbBlockRef&) const = default;
};

// The bytes of a Blob value, as the text conversions (column_text.h) and
// the conversions between types (column_conversion.h) see it; never stored
// in a column (a column holds the block reference).
struct TTdbBytes {
  std::string Bytes;
  bool operator==(const TTdbBytes&) const = default;
};

using TTdbValue = std::variant<std::monostate, int64_t, double, std::u16string, TTdbDate, TTdbTime,
                               TTdbTimeStamp, TTdbGuid, TTdbBlockRef, TTdbBytes>;

// Compares two texts under a collation; negative, zero or positive. The
// index layer supplies collation-aware comparers; without one, texts compare
// by UTF-16 code units.
using TTdbTextComparer = std::function<int(const std::u16string&, const std::u16string&)>;

// Results of CompareValues.
inline constexpr int kCompareUnknown = 0;
inline constexpr int kCompareLess = 1;
inline constexpr int kCompareEqual = 2;
inline constexpr int kCompareGreater = 3;

// Whether the column holds NULL. Always false for a type that is not
// nullable. `column` must be type.DataSize() bytes (checked here and in
// every function below: ETdbEngine tdbErrInvalidParameter).
bool IsNullValue(const TTdbDataType& type, std::span<const uint8_t> column);

// Stores NULL: indicator 0 (value bytes untouched), or the type's NULL value
// (0 for Date, DateTime, Enum, Link; an empty block reference). Throws
// ETdbEngine tdbErrNullNotAccepted "\"<type name>\" does not accept NULL values" for a type
// that is not nullable.
void SetNullValue(const TTdbDataType& type, std::span<uint8_t> column);

// The column's value in its natural kind: int64_t for Int16, Byte, Boolean,
// Enum, RecordId, Link, LongInt, Int64; double for Float; u16string for Char,
// String, WideString; TTdbDate, TTdbTime (ticks), TTdbTimeStamp; TTdbGuid;
// TTdbBlockRef for Memo, WideMemo, Blob; monostate for NULL and Relation.
// A stored length prefix above the maximal length reads as the maximal
// length; a non-zero Boolean byte reads as 1.
TTdbValue ReadValue(const TTdbDataType& type, std::span<const uint8_t> column);

// Stores `value` and sets the indicator. A monostate stores NULL (as
// SetNullValue). Integers are range-checked (ETdbEngine tdbErrValueRange "Value %s of type
// %s exceeds the allowed range from %s to %s"); Enum numbers that are no
// value of the type raise "Enum overflow"; dates that do not exist raise
// ETdbEngine tdbErrInvalidDate, times outside the day ETdbEngine tdbErrInvalidTime. Text longer than the
// maximal length is cut to it. A kind the type does not take raises
// ETdbEngine tdbErrPlain with "Cannot assign integer." and the like. Integers are
// accepted by Float; block numbers are accepted as integers.
void WriteValue(const TTdbDataType& type, std::span<uint8_t> column, const TTdbValue& value);

// Compares two values of `type`: kCompareUnknown when either is NULL, else
// less, equal or greater. Numbers by value, dates and times by date then
// time, GUIDs by their fields, Enum as numbers, texts by `comparer` (code
// unit order without one). Values that cannot be compared (block references,
// kinds that do not match) raise ETdbEngine tdbErrPlain "Cannot compare these types".
int CompareValues(const TTdbDataType& type, const TTdbValue& left, const TTdbValue& right,
                  const TTdbTextComparer& comparer = {});

}  // namespace kestrel
