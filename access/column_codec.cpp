// Column values inside engine record images.
#include "access/column_codec.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "access/db_error.h"

namespace kestrel::access {
namespace {

constexpr int kShortStringLimit = 256;  // stored sizes up to this take a 1-byte length prefix
constexpr int kDateYearShift = 9;
constexpr int kDateMonthShift = 5;
constexpr std::int32_t kMillisecondsPerMinute = 60000;
constexpr int kTimePrecisionMinutes = 2;  // precision up to this stores Int16 minutes

bool UsesIndicator(int type) {
  switch (type) {
    case tctChar: case tctString: case tctInt16: case tctFloat: case tctByte: case tctBoolean:
    case tctLongInt: case tctWideString: case tctInt64: case tctGuid:
      return true;
    default:
      return false;
  }
}

bool IsDateOrTime(int type) { return type == tctDate || type == tctTime || type == tctDateTime; }

std::uint64_t ReadLE(std::span<const std::uint8_t> bytes, int offset, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[static_cast<std::size_t>(offset + i)];
  return value;
}

void WriteLE(std::span<std::uint8_t> bytes, int offset, int size, std::uint64_t value) {
  for (int i = 0; i < size; ++i) {
    bytes[static_cast<std::size_t>(offset + i)] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

void CheckFits(const TColumnLayout& column, std::size_t recordSize) {
  if (column.Position < 0 || column.Size < 0 || static_cast<std::size_t>(column.Position + column.Size) > recordSize)
    throw EDatabaseError("Column lies outside the record");
}

void SetPresent(const TColumnLayout& column, std::span<std::uint8_t> record) {
  if (!column.HasIndicator) return;
  const int at = column.Level >= kLevelIndicatorFirst ? column.Position : column.Position + column.Size - 1;
  record[static_cast<std::size_t>(at)] = 1;
}

int LengthPrefixSize(const TColumnLayout& column) { return column.ValueSize() <= kShortStringLimit ? 1 : 2; }

void RangeError(std::int64_t value, const char* type, std::int64_t low, std::int64_t high) {
  throw EDatabaseError(FormatText("Value %s of type %s exceeds the allowed range from %s to %s",
                                  {std::to_string(value), type, std::to_string(low), std::to_string(high)}));
}

}  // namespace

TColumnLayout TColumnLayout::FromSpec(int columnType, std::uint8_t options, int param, int position, int size,
                                      int level) {
  TColumnLayout column;
  column.ColumnType = columnType;
  column.Param = param;
  column.Position = position;
  column.Size = size;
  column.Level = level;
  const bool nullable = (options & kColumnOptionNullable) != 0;
  column.HasIndicator =
      IsDateOrTime(columnType) ? (options & kColumnOptionNullByte) != 0 : nullable && UsesIndicator(columnType);
  return column;
}

int TColumnLayout::MaxLength() const {
  if (ColumnType == tctString) return ValueSize() - LengthPrefixSize(*this);
  if (ColumnType == tctWideString) return ValueSize() / 2 - 1;
  if (ColumnType == tctChar) return 1;
  return 0;
}

bool ColumnIsNull(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (column.HasIndicator) {
    const int at = column.Level >= kLevelIndicatorFirst ? column.Position : column.Position + column.Size - 1;
    return record[static_cast<std::size_t>(at)] == 0;
  }
  switch (column.ColumnType) {
    case tctDate: case tctEnum: case tctLink: case tctMemo: case tctWideMemo: case tctBlob: case tctDateTime:
      return ReadLE(record, column.ValueOffset(), column.ValueSize()) == 0;
    case tctRelation:
      return true;
    default:
      return false;
  }
}

void ColumnSetNull(const TColumnLayout& column, std::span<std::uint8_t> record) {
  CheckFits(column, record.size());
  std::memset(record.data() + column.Position, 0, static_cast<std::size_t>(column.Size));
}

std::string ReadAnsi(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (ColumnIsNull(column, record)) return std::string();
  const int offset = column.ValueOffset();
  if (column.ColumnType == tctChar) {
    const char c = static_cast<char>(record[static_cast<std::size_t>(offset)]);
    return c == 0 ? std::string() : std::string(1, c);
  }
  if (column.ColumnType != tctString) throw EDatabaseError("Is not an ANSI string.");
  const int prefix = LengthPrefixSize(column);
  int length = static_cast<int>(ReadLE(record, offset, prefix));
  if (length > column.MaxLength()) length = column.MaxLength();
  return std::string(reinterpret_cast<const char*>(record.data() + offset + prefix), static_cast<std::size_t>(length));
}

void WriteAnsi(const TColumnLayout& column, std::span<std::uint8_t> record, const std::string& bytes) {
  CheckFits(column, record.size());
  const int offset = column.ValueOffset();
  if (column.ColumnType == tctChar) {
    record[static_cast<std::size_t>(offset)] = bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[0]);
  } else if (column.ColumnType == tctString) {
    const int prefix = LengthPrefixSize(column);
    const int length = std::min<int>(static_cast<int>(bytes.size()), column.MaxLength());
    WriteLE(record, offset, prefix, static_cast<std::uint64_t>(length));
    std::memcpy(record.data() + offset + prefix, bytes.data(), static_cast<std::size_t>(length));
    std::memset(record.data() + offset + prefix + length, 0, static_cast<std::size_t>(column.MaxLength() - length));
  } else {
    throw EDatabaseError("Cannot assign ANSI string.");
  }
  SetPresent(column, record);
}

std::u16string ReadWide(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (column.ColumnType == tctRelation) return std::u16string();  // kept in a relation table, not here
  if (column.ColumnType != tctWideString) throw EDatabaseError("Is not a wide string.");
  if (ColumnIsNull(column, record)) return std::u16string();
  const int offset = column.ValueOffset();
  int length = static_cast<int>(ReadLE(record, offset, 2));
  if (length > column.MaxLength()) length = column.MaxLength();
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  for (int i = 0; i < length; ++i) text[static_cast<std::size_t>(i)] = static_cast<char16_t>(ReadLE(record, offset + 2 + 2 * i, 2));
  return text;
}

void WriteWide(const TColumnLayout& column, std::span<std::uint8_t> record, const std::u16string& text) {
  CheckFits(column, record.size());
  if (column.ColumnType != tctWideString) throw EDatabaseError("Cannot assign Unicode string.");
  const int offset = column.ValueOffset();
  const int length = std::min<int>(static_cast<int>(text.size()), column.MaxLength());
  WriteLE(record, offset, 2, static_cast<std::uint64_t>(length));
  for (int i = 0; i < column.MaxLength(); ++i)
    WriteLE(record, offset + 2 + 2 * i, 2, i < length ? text[static_cast<std::size_t>(i)] : 0);
  SetPresent(column, record);
}

std::int64_t ReadInteger(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (ColumnIsNull(column, record) && column.HasIndicator) return 0;
  const int offset = column.ValueOffset();
  switch (column.ColumnType) {
    case tctInt16: return static_cast<std::int16_t>(ReadLE(record, offset, 2));
    case tctByte: case tctBoolean: return static_cast<std::int64_t>(ReadLE(record, offset, 1));
    case tctEnum: return static_cast<std::int8_t>(ReadLE(record, offset, 1));
    case tctRecordId: case tctLink: case tctLongInt: case tctMemo: case tctWideMemo: case tctBlob:
      return static_cast<std::int32_t>(ReadLE(record, offset, 4));
    case tctInt64: return static_cast<std::int64_t>(ReadLE(record, offset, 8));
    default: throw EDatabaseError("Is not an integer.");
  }
}

void WriteInteger(const TColumnLayout& column, std::span<std::uint8_t> record, std::int64_t value) {
  CheckFits(column, record.size());
  const int offset = column.ValueOffset();
  switch (column.ColumnType) {
    case tctInt16:
      if (value < -32768 || value > 32767) RangeError(value, "SmallInt", -32768, 32767);
      WriteLE(record, offset, 2, static_cast<std::uint64_t>(value));
      break;
    case tctByte:
      if (value < 0 || value > 255) RangeError(value, "Byte", 0, 255);
      WriteLE(record, offset, 1, static_cast<std::uint64_t>(value));
      break;
    case tctBoolean:
      WriteLE(record, offset, 1, value != 0 ? 1 : 0);
      break;
    case tctEnum:
      if (value < -128 || value > 127) RangeError(value, "<enumeration>", -128, 127);
      WriteLE(record, offset, 1, static_cast<std::uint64_t>(value));
      break;
    case tctRecordId: case tctLink:
      if (value < 0 || value > std::numeric_limits<std::int32_t>::max())
        RangeError(value, column.ColumnType == tctLink ? "Link" : "RecordId", 0, std::numeric_limits<std::int32_t>::max());
      WriteLE(record, offset, 4, static_cast<std::uint64_t>(value));
      break;
    case tctLongInt:
      if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        RangeError(value, "Integer", std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
      WriteLE(record, offset, 4, static_cast<std::uint64_t>(value));
      break;
    case tctInt64:
      WriteLE(record, offset, 8, static_cast<std::uint64_t>(value));
      break;
    case tctMemo: case tctWideMemo: case tctBlob:
      WriteLE(record, offset, 4, static_cast<std::uint32_t>(value));
      break;
    default:
      throw EDatabaseError("Cannot assign integer.");
  }
  SetPresent(column, record);
}

double ReadFloat(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (column.ColumnType != tctFloat) return static_cast<double>(ReadInteger(column, record));
  if (ColumnIsNull(column, record)) return 0;
  const std::uint64_t bits = ReadLE(record, column.ValueOffset(), 8);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void WriteFloat(const TColumnLayout& column, std::span<std::uint8_t> record, double value) {
  CheckFits(column, record.size());
  if (column.ColumnType != tctFloat) throw EDatabaseError("Cannot assign double.");
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteLE(record, column.ValueOffset(), 8, bits);
  SetPresent(column, record);
}

TDateTimeValue ReadDateTime(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  TDateTimeValue value;
  if (ColumnIsNull(column, record)) return value;
  const int offset = column.ValueOffset();
  switch (column.ColumnType) {
    case tctDate:
      value.Date = static_cast<std::int32_t>(ReadLE(record, offset, 4));
      break;
    case tctTime:
      if (column.ValueSize() == 2)
        value.Milliseconds = static_cast<std::int16_t>(ReadLE(record, offset, 2)) * kMillisecondsPerMinute;
      else
        value.Milliseconds = static_cast<std::int32_t>(ReadLE(record, offset, 4));
      break;
    case tctDateTime:
      value.Date = static_cast<std::int32_t>(ReadLE(record, offset, 4));
      value.Milliseconds = static_cast<std::int32_t>(ReadLE(record, offset + 4, 4));
      break;
    default:
      throw EDatabaseError("Is not a date.");
  }
  return value;
}

void WriteDateTime(const TColumnLayout& column, std::span<std::uint8_t> record, TDateTimeValue value) {
  CheckFits(column, record.size());
  const int offset = column.ValueOffset();
  switch (column.ColumnType) {
    case tctDate:
      WriteLE(record, offset, 4, static_cast<std::uint32_t>(value.Date));
      break;
    case tctTime:
      if (column.ValueSize() == 2 || column.Param <= kTimePrecisionMinutes)
        WriteLE(record, offset, column.ValueSize(), static_cast<std::uint32_t>(value.Milliseconds / kMillisecondsPerMinute));
      else
        WriteLE(record, offset, 4, static_cast<std::uint32_t>(value.Milliseconds));
      break;
    case tctDateTime:
      WriteLE(record, offset, 4, static_cast<std::uint32_t>(value.Date));
      WriteLE(record, offset + 4, 4, static_cast<std::uint32_t>(value.Milliseconds));
      break;
    default:
      throw EDatabaseError("Cannot assign date.");
  }
  SetPresent(column, record);
}

TGuidBytes ReadGuid(const TColumnLayout& column, std::span<const std::uint8_t> record) {
  CheckFits(column, record.size());
  if (column.ColumnType != tctGuid) throw EDatabaseError("Is not a GUID.");
  TGuidBytes guid{};
  if (!ColumnIsNull(column, record))
    std::memcpy(guid.data(), record.data() + column.ValueOffset(), guid.size());
  return guid;
}

void WriteGuid(const TColumnLayout& column, std::span<std::uint8_t> record, const TGuidBytes& value) {
  CheckFits(column, record.size());
  if (column.ColumnType != tctGuid) throw EDatabaseError("Cannot assign GUID.");
  std::memcpy(record.data() + column.ValueOffset(), value.data(), value.size());
  SetPresent(column, record);
}

std::int32_t PackDate(int year, int month, int day) {
  return (year << kDateYearShift) + (month << kDateMonthShift) + day;
}

void UnpackDate(std::int32_t packed, int& year, int& month, int& day) {
  year = packed >> kDateYearShift;
  month = (packed >> kDateMonthShift) & 0x0F;
  day = packed & 0x1F;
}

}  // namespace kestrel::access
