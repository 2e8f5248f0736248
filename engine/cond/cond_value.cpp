// Type classification, type names and date arithmetic of condition values.
#include "engine/cond/cond_value.h"

#include "engine/base/code_page.h"

namespace kestrel {

bool IsStringType(int columnType) {
  return IsAnsiStringType(columnType) || columnType == cctWideString || columnType == cctWideMemo;
}

bool IsAnsiStringType(int columnType) {
  return columnType == cctChar || columnType == cctString || columnType == cctMemo;
}

bool IsIntegerType(int columnType) {
  switch (columnType) {
    case cctInt16:
    case cctByte:
    case cctBoolean:
    case cctEnum:
    case cctRecordId:
    case cctLink:
    case cctLongInt:
    case cctInt64: return true;
    default: return false;
  }
}

bool IsNumericType(int columnType) { return IsIntegerType(columnType) || columnType == cctFloat; }

std::string SqlTypeName(const TCondDataType& type) {
  std::string name;
  switch (type.FColumnType) {
    case cctNull: return "<null type>";
    case cctChar: name = "CHAR(1)"; break;
    case cctString: name = "VARCHAR(" + std::to_string(type.FMaxLength) + ")"; break;
    case cctInt16: name = "SmallInt"; break;
    case cctFloat: name = "DOUBLE"; break;
    case cctByte: name = "Byte"; break;
    case cctBoolean: name = "Boolean"; break;
    case cctDate: name = "Date"; break;
    case cctMemo: name = "LONGVARCHAR"; break;
    case cctEnum: name = "<enumeration>"; break;
    case cctRecordId: name = "RecordId"; break;
    case cctLink: name = "Link"; break;
    case cctBlob: name = "Blob"; break;
    case cctTime: name = "Time"; break;
    case cctLongInt: name = "Integer"; break;
    case cctDateTime: name = "TimeStamp"; break;
    case cctWideString: name = "VARWCHAR(" + std::to_string(type.FMaxLength) + ")"; break;
    case cctWideMemo: name = "LONGVARWCHAR"; break;
    case cctInt64: name = "BigInt"; break;
    case cctGuid: name = "Guid"; break;
    default: name = "LONGVARBINARY"; break;
  }
  if ((type.FColumnType == cctString || type.FColumnType == cctWideString) && !type.FCollationName.empty() &&
      type.FCollationName != u"Kestrel")
    name += " COLLATE " + Utf16ToUtf8(type.FCollationName);
  if (!type.FNullable) name += " NOT NULL";
  return name;
}

bool CanCompare(const TCondDataType& left, const TCondDataType& right) {
  const int a = left.FColumnType;
  const int b = right.FColumnType;
  if (a == cctNull || b == cctNull) return true;
  if (IsNumericType(a)) return IsNumericType(b);
  if (IsStringType(a)) return IsStringType(b);
  if (a == cctDate || a == cctDateTime) return b == cctDate || b == cctDateTime;
  if (a == cctTime) return b == cctTime;
  if (a == cctGuid) return b == cctGuid;
  return false;
}

TCondDataType MakeType(int columnType, bool nullable) {
  TCondDataType type;
  type.FColumnType = columnType;
  type.FNullable = nullable;
  return type;
}

TCondDataType MakeStringType(int columnType, int maxLength) {
  TCondDataType type = MakeType(columnType, false);
  type.FMaxLength = maxLength;
  if (IsAnsiStringType(columnType)) type.FCodePage = kStandardLiteralCodePage;
  return type;
}

TCondDataType NullType() { return MakeType(cctNull, true); }

TCondValue TCondValue::Integer(int64_t value) {
  TCondValue result;
  result.FKind = cvkInteger;
  result.FInteger = value;
  return result;
}

TCondValue TCondValue::Float(double value) {
  TCondValue result;
  result.FKind = cvkFloat;
  result.FFloat = value;
  return result;
}

TCondValue TCondValue::String(std::u16string value) {
  TCondValue result;
  result.FKind = cvkString;
  result.FString = std::move(value);
  return result;
}

TCondValue TCondValue::Date(int32_t packedDate) {
  TCondValue result;
  result.FKind = cvkDate;
  result.FDate = packedDate;
  return result;
}

TCondValue TCondValue::Time(int32_t milliseconds) {
  TCondValue result;
  result.FKind = cvkTime;
  result.FTime = milliseconds;
  return result;
}

TCondValue TCondValue::DateTime(int32_t packedDate, int32_t milliseconds) {
  TCondValue result;
  result.FKind = cvkDateTime;
  result.FDate = packedDate;
  result.FTime = milliseconds;
  return result;
}

double ValueAsFloat(const TCondValue& value) {
  return value.FKind == cvkFloat ? value.FFloat : static_cast<double>(value.FInteger);
}

int32_t PackDate(int year, int month, int day) { return year * 512 + month * 32 + day; }

void UnpackDate(int32_t packed, int& year, int& month, int& day) {
  year = packed / 512;
  month = packed / 32 % 16;
  day = packed % 32;
}

namespace {

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

// Civil-from-days arithmetic of the proleptic Gregorian calendar, counted
// from 0001-01-01.
int64_t DateToDays(int32_t packed) {
  int year, month, day;
  UnpackDate(packed, year, month, day);
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = y / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 306;  // 0000-03-01 is day 0 of era 0; 0001-01-01 is day 306
}

int32_t DaysToDate(int64_t days) {
  const int64_t z = days + 306;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return PackDate(static_cast<int>(year), month, day);
}

}  // namespace kestrel
