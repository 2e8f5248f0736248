// Column values inside an engine record image. A record image packs the
// columns of a table in column order; each column sits at its position with
// its stored size, in the encoding of its column type (little-endian
// integers, length-prefixed 8-bit or UTF-16 strings, packed dates, block
// numbers of memos and blobs). A nullable column of most types carries a
// null indicator byte (1 value present, 0 NULL), last in the column below
// table level 6 and first at level 6; dates, links, enumerations and block
// references stand for NULL by the value 0 instead.
//
// TColumnLayout describes one column as the engine's column description
// gives it; the functions read and write its value in the column's bytes.
// Reading a column of the wrong kind, or writing a value out of the type's
// range, throws EDatabaseError.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kestrel::access {

// Engine column type codes.
enum TColumnType : int {
  tctChar = 0, tctString = 1, tctInt16 = 2, tctFloat = 3, tctByte = 4, tctBoolean = 5, tctDate = 6,
  tctMemo = 7, tctEnum = 8, tctRecordId = 9, tctLink = 10, tctBlob = 11, tctRelation = 12, tctTime = 13,
  tctLongInt = 16, tctDateTime = 17, tctWideString = 18, tctWideMemo = 19, tctInt64 = 20, tctGuid = 21,
};

// Column option bits of a column description.
inline constexpr std::uint8_t kColumnOptionCalculated = 0x01;
inline constexpr std::uint8_t kColumnOptionNullByte = 0x08;
inline constexpr std::uint8_t kColumnOptionNullable = 0x20;

// The table level from which the null indicator stands first in a column.
inline constexpr int kLevelIndicatorFirst = 6;

struct TColumnLayout {
  int ColumnType = tctString;
  int Position = 0;  // byte offset in the record image
  int Size = 0;      // stored bytes, the indicator included
  int Level = 6;
  int Param = 0;     // length or precision
  bool HasIndicator = false;

  // The layout of a column from its description's type, options, param,
  // position and size at the table's level.
  static TColumnLayout FromSpec(int columnType, std::uint8_t options, int param, int position, int size,
                                int level);

  // The bytes of the value, without the indicator.
  int ValueOffset() const { return Position + (HasIndicator && Level >= kLevelIndicatorFirst ? 1 : 0); }
  int ValueSize() const { return Size - (HasIndicator ? 1 : 0); }
  // The longest text a String (8-bit characters) or WideString (UTF-16 code
  // units) column holds.
  int MaxLength() const;
};

// A date and time as the engine keeps it: Date packed as year * 512 +
// month * 32 + day (0 = no date), Milliseconds since midnight.
struct TDateTimeValue {
  std::int32_t Date = 0;
  std::int32_t Milliseconds = 0;
  bool operator==(const TDateTimeValue&) const = default;
};

using TGuidBytes = std::array<std::uint8_t, 16>;

bool ColumnIsNull(const TColumnLayout& column, std::span<const std::uint8_t> record);
// Sets the column to NULL (only for a nullable column; others get their
// empty value).
void ColumnSetNull(const TColumnLayout& column, std::span<std::uint8_t> record);

// 8-bit text of a Char or String column, as stored.
std::string ReadAnsi(const TColumnLayout& column, std::span<const std::uint8_t> record);
// Stores 8-bit text, cut to the column's maximal length.
void WriteAnsi(const TColumnLayout& column, std::span<std::uint8_t> record, const std::string& bytes);

std::u16string ReadWide(const TColumnLayout& column, std::span<const std::uint8_t> record);
void WriteWide(const TColumnLayout& column, std::span<std::uint8_t> record, const std::u16string& text);

// Integer columns (Int16, Byte, Boolean, RecordId, Link, Enum, LongInt,
// Int64) and the block numbers of memo and blob columns.
std::int64_t ReadInteger(const TColumnLayout& column, std::span<const std::uint8_t> record);
// Throws EDatabaseError when `value` is outside the type's range.
void WriteInteger(const TColumnLayout& column, std::span<std::uint8_t> record, std::int64_t value);

double ReadFloat(const TColumnLayout& column, std::span<const std::uint8_t> record);
void WriteFloat(const TColumnLayout& column, std::span<std::uint8_t> record, double value);

// Date, Time and DateTime columns (a Date has no time, a Time no date).
TDateTimeValue ReadDateTime(const TColumnLayout& column, std::span<const std::uint8_t> record);
void WriteDateTime(const TColumnLayout& column, std::span<std::uint8_t> record, TDateTimeValue value);

TGuidBytes ReadGuid(const TColumnLayout& column, std::span<const std::uint8_t> record);
void WriteGuid(const TColumnLayout& column, std::span<std::uint8_t> record, const TGuidBytes& value);

// Packed dates.
std::int32_t PackDate(int year, int month, int day);
void UnpackDate(std::int32_t packed, int& year, int& month, int& day);

}  // namespace kestrel::access
