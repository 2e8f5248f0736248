// Column types: the 8-bit type codes stored in table headers and the data
// type object that describes one column's stored form.
//
// A TTdbDataType is an immutable value: type code, table level, nullability,
// whether the stored value carries a null indicator byte, and the details
// some types need (maximal length and collation of strings, scale, time
// precision, enumeration value names). From these it derives the stored size
// of the column and where the value bytes sit inside it: the null indicator
// is the last byte of the column below level 6 and the first byte at level 6.
// Invariants: a type that may not be nullable at its level is never nullable;
// only the types that store a value next to an indicator ever have one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

enum TTdbColumnType : uint8_t {
  tctChar = 0,
  tctString = 1,
  tctInt16 = 2,
  tctFloat = 3,
  tctByte = 4,
  tctBoolean = 5,
  tctDate = 6,
  tctMemo = 7,
  tctEnum = 8,
  tctRecordId = 9,
  tctLink = 10,
  tctBlob = 11,
  tctRelation = 12,
  tctTime = 13,
  tctObsolete14 = 14,  // dropped when old headers are read
  tctObsolete15 = 15,
  tctLongInt = 16,
  tctDateTime = 17,
  tctWideString = 18,
  tctWideMemo = 19,
  tctInt64 = 20,
  tctGuid = 21,
};

inline constexpr int kMinTableLevel = 1;
inline constexpr int kMaxTableLevel = 6;
// The level from which the null indicator is the first byte of a column.
inline constexpr int kNullByteFirstLevel = 6;

inline constexpr int kMaxStringLength = 32764;
inline constexpr int kMaxWideStringLength = 16382;
// A String column's length prefix is one byte below this maximal length.
inline constexpr int kShortStringPrefixLimit = 256;
// Stored width of the block reference of Memo, Blob and WideMemo columns.
inline constexpr int kBlockRefSize = 4;
// Time precisions: up to kMinutePrecision the value is Int16 minutes.
inline constexpr int kMinutePrecision = 2;
inline constexpr int kDefaultTimePrecision = 4;

// Whether `code` names a column type a table may hold (14 and 15 excluded).
bool IsColumnTypeCode(int code);

// The engine's name of a type code ("Char", "String", ... "Guid"), UTF-8;
// "Unknown" for a code that is no column type.
const char* ColumnTypeName(TTdbColumnType code);

// Whether a column of this type may be nullable at `level`: from level 4 on
// every type but RecordId, below every type but Char, String, RecordId and
// WideString.
bool MayBeNullable(TTdbColumnType code, int level);

// Whether the type shows NULL without an indicator byte: by the value 0
// (Enum, Link), by an empty block reference (Memo, WideMemo, Blob) or by
// storing nothing (Relation). Date, Time and DateTime decide by options.
bool RepresentsNullByValue(TTdbColumnType code);

// Whether the null indicator of date and time types follows the column
// options instead of the nullability.
bool IsDateTimeType(TTdbColumnType code);

class TTdbDataType {
 public:
  TTdbDataType() = default;

  // A type without details (every code but String and WideString; Time gets
  // precision kDefaultTimePrecision, Enum no value names). The null indicator
  // follows the nullability; for Date and DateTime none, for Time one when
  // nullable. Throws ETdbEngine tdbErrInvalidParameter for a code that is no column type.
  static TTdbDataType Make(TTdbColumnType code, bool nullable, int level);

  // String or WideString of `maxLength` characters (Memo and WideMemo with a
  // collation: maxLength is ignored). Throws ETdbEngine tdbErrStringLength when the length
  // is outside 1..32764 (String) or 1..16382 (WideString).
  static TTdbDataType MakeString(TTdbColumnType code, bool nullable, int maxLength,
                                 std::u16string collationName, int level);

  // String or WideString whose maximal length follows from the stored size
  // of the column (indicator included). Throws ETdbEngine tdbErrStringLength when the size
  // gives no valid length.
  static TTdbDataType MakeStringFromSize(TTdbColumnType code, bool nullable, int size,
                                         std::u16string collationName, int level);

  // Date, Time or DateTime with an explicit null indicator choice.
  static TTdbDataType MakeDateTime(TTdbColumnType code, bool nullable, int precision,
                                   bool hasNullByte, int level);

  static TTdbDataType MakeFloat(bool nullable, int scale, int level);
  static TTdbDataType MakeEnum(bool nullable, std::vector<std::u16string> names, int level);

  TTdbColumnType ColumnType() const { return FColumnType; }
  int Level() const { return FLevel; }
  bool Nullable() const { return FNullable; }
  bool HasNullByte() const { return FHasNullByte; }
  int MaxLength() const { return FMaxLength; }
  const std::u16string& CollationName() const { return FCollationName; }
  int Scale() const { return FScale; }
  int Precision() const { return FPrecision; }
  const std::vector<std::u16string>& EnumNames() const { return FEnumNames; }

  // Bytes the column takes in a record, null indicator included.
  int DataSize() const;
  // Bytes of the value alone.
  int ValueSize() const { return DataSize() - (FHasNullByte ? 1 : 0); }
  // Offset of the value bytes inside the column: 1 when the indicator leads.
  int ValueOffset() const { return FHasNullByte && FLevel >= kNullByteFirstLevel ? 1 : 0; }
  // Offset of the null indicator inside the column; -1 without one.
  int NullByteOffset() const;
  // Width of a String's length prefix (1 or 2), a WideString's (2), else 0.
  int LengthPrefixSize() const;

  // The type's name ("SmallInt", "VARCHAR(10)", ...), UTF-8; the name in
  // error messages.
  std::string TypeName() const;
  // TypeName() with " NOT NULL" for a type that is not nullable.
  std::string SqlName() const;

  // Lowest and highest value of an integer type (Int16, Byte, Boolean,
  // RecordId, Link, Blob, LongInt, Int64, Enum, Memo, WideMemo).
  int64_t MinInteger() const;
  int64_t MaxInteger() const;

  bool operator==(const TTdbDataType&) const = default;

 private:
  TTdbColumnType FColumnType = tctChar;
  int FLevel = kMaxTableLevel;
  bool FNullable = false;
  bool FHasNullByte = false;
  int FMaxLength = 0;
  std::u16string FCollationName;
  int FScale = 0;
  int FPrecision = 0;
  std::vector<std::u16string> FEnumNames;
};

}  // namespace kestrel
