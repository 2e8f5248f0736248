// Values and data types as conditions see them. A condition reads column
// values through ICondRecordSource (cond_record_source.h) and computes with
// TCondValue; it never touches record images itself. TCondDataType describes
// the type of a column, literal or intermediate result with the column type
// codes of the table format, so the table object can fill it straight from
// its column definitions.
//
// Invariants: a TCondValue's FKind says which member holds the value; string
// values are always UTF-16, whatever the column stores (8-bit columns are
// decoded by the record source with the column's code page). Dates are packed
// (year * 512 + month * 32 + day), times are milliseconds since midnight.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/column_type.h"
#include "engine/base/date_time_value.h"

namespace kestrel {

class ICondCollation;

// Column type codes of the table format (the names are the engine's).
enum TCondColumnType : int {
  cctNull = -1,  // the type of the literal NULL
  cctChar = 0,
  cctString = 1,
  cctInt16 = 2,
  cctFloat = 3,
  cctByte = 4,
  cctBoolean = 5,
  cctDate = 6,
  cctMemo = 7,
  cctEnum = 8,
  cctRecordId = 9,
  cctLink = 10,
  cctBlob = 11,
  cctRelation = 12,
  cctTime = 13,
  cctLongInt = 16,
  cctDateTime = 17,
  cctWideString = 18,
  cctWideMemo = 19,
  cctInt64 = 20,
  cctGuid = 21,
};

// The largest lengths of the two string types (kMaxWideStringLength comes
// with the column types).
inline constexpr int kMaxAnsiStringLength = kMaxStringLength;
// The code page in which a string literal of the standard collation is
// converted to 8-bit text when it is not compared with an 8-bit column.
inline constexpr int kStandardLiteralCodePage = 1252;

struct TCondDataType {
  int FColumnType = cctNull;
  bool FNullable = true;
  // Strings: the maximal length in characters (0 = unlimited, memo types).
  int FMaxLength = 0;
  // 8-bit strings: the code page of the stored text.
  int FCodePage = 0;
  // Strings: the collation name ("" or "Kestrel" = standard collation) and
  // the comparer of that collation; nullptr = the default comparer.
  std::u16string FCollationName;
  const ICondCollation* FCollation = nullptr;
  // Enum: the value names; value n is FEnumNames[n - 1].
  std::vector<std::u16string> FEnumNames;
};

bool IsStringType(int columnType);
bool IsAnsiStringType(int columnType);  // Char, String, Memo
bool IsIntegerType(int columnType);     // every integer-coded type and Enum
bool IsNumericType(int columnType);     // integers and Float

// The engine's SQL name of a type: "VARCHAR(10)", "Integer", "Date", ...;
// " COLLATE x" for a string of a non-standard collation, " NOT NULL" for a
// non-nullable type.
std::string SqlTypeName(const TCondDataType& type);

// Whether values of the two types can be compared (numbers with numbers,
// strings with strings, dates with date-times, times with times, GUIDs with
// GUIDs, NULL with everything).
bool CanCompare(const TCondDataType& left, const TCondDataType& right);

// Types of literals and results.
TCondDataType MakeType(int columnType, bool nullable = false);
TCondDataType MakeStringType(int columnType, int maxLength);
TCondDataType NullType();

enum TCondValueKind : uint8_t {
  cvkNull,
  cvkInteger,  // also Boolean (0/1) and Enum value numbers
  cvkFloat,
  cvkString,
  cvkDate,
  cvkTime,
  cvkDateTime,
  cvkGuid,
};

struct TCondValue {
  TCondValueKind FKind = cvkNull;
  int64_t FInteger = 0;
  double FFloat = 0;
  std::u16string FString;
  int32_t FDate = 0;  // packed
  int32_t FTime = 0;  // milliseconds since midnight
  std::array<uint8_t, 16> FGuid{};

  bool IsNull() const { return FKind == cvkNull; }
  void SetNull() { *this = TCondValue(); }
  static TCondValue Integer(int64_t value);
  static TCondValue Float(double value);
  static TCondValue String(std::u16string value);
  static TCondValue Date(int32_t packedDate);
  static TCondValue Time(int32_t milliseconds);
  static TCondValue DateTime(int32_t packedDate, int32_t milliseconds);
};

// The value as a binary64 (integers and floats only).
double ValueAsFloat(const TCondValue& value);

// Packed date helpers. PackDate does not check its arguments.
int32_t PackDate(int year, int month, int day);
void UnpackDate(int32_t packed, int& year, int& month, int& day);
bool IsValidDate(int year, int month, int day);
// Days since 0001-01-01 (day 0) and back.
int64_t DateToDays(int32_t packed);
int32_t DaysToDate(int64_t days);

}  // namespace kestrel
