// Column type codes, nullability rules, stored sizes and SQL names.
#include "engine/base/column_type.h"

#include <algorithm>
#include <limits>
#include <string>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

// Types whose stored value has an indicator byte when they are nullable.
bool UsesIndicator(TTdbColumnType code) {
  switch (code) {
    case tctChar:
    case tctString:
    case tctInt16:
    case tctFloat:
    case tctByte:
    case tctBoolean:
    case tctLongInt:
    case tctWideString:
    case tctInt64:
    case tctGuid:
      return true;
    default:
      return false;
  }
}

bool IsStandardCollation(const std::u16string& name) { return name.empty() || name == u"Kestrel"; }

}  // namespace

bool IsColumnTypeCode(int code) {
  return (code >= tctChar && code <= tctTime) || (code >= tctLongInt && code <= tctGuid);
}

const char* ColumnTypeName(TTdbColumnType code) {
  switch (code) {
    case tctChar: return "Char";
    case tctString: return "String";
    case tctInt16: return "Int16";
    case tctFloat: return "Float";
    case tctByte: return "Byte";
    case tctBoolean: return "Boolean";
    case tctDate: return "Date";
    case tctMemo: return "Memo";
    case tctEnum: return "Enum";
    case tctRecordId: return "RecordId";
    case tctLink: return "Link";
    case tctBlob: return "Blob";
    case tctRelation: return "Relation";
    case tctTime: return "Time";
    case tctLongInt: return "LongInt";
    case tctDateTime: return "DateTime";
    case tctWideString: return "WideString";
    case tctWideMemo: return "WideMemo";
    case tctInt64: return "Int64";
    case tctGuid: return "Guid";
    default: return "Unknown";
  }
}

bool MayBeNullable(TTdbColumnType code, int level) {
  if (code == tctRecordId) return false;
  if (level >= 4) return true;
  return code != tctChar && code != tctString && code != tctWideString;
}

bool RepresentsNullByValue(TTdbColumnType code) {
  switch (code) {
    case tctEnum:
    case tctLink:
    case tctMemo:
    case tctWideMemo:
    case tctBlob:
    case tctRelation:
      return true;
    default:
      return false;
  }
}

bool IsDateTimeType(TTdbColumnType code) {
  return code == tctDate || code == tctTime || code == tctDateTime;
}

TTdbDataType TTdbDataType::Make(TTdbColumnType code, bool nullable, int level) {
  if (!IsColumnTypeCode(code)) throw ETdbEngine(tdbErrInvalidParameter, "column type");
  TTdbDataType type;
  type.FColumnType = code;
  type.FLevel = level;
  type.FNullable = nullable && MayBeNullable(code, level);
  type.FHasNullByte = type.FNullable && (UsesIndicator(code) || code == tctTime);
  if (IsDateTimeType(code)) type.FPrecision = kDefaultTimePrecision;
  if (code == tctString) type.FMaxLength = 1;
  if (code == tctWideString) type.FMaxLength = 1;
  return type;
}

TTdbDataType TTdbDataType::MakeString(TTdbColumnType code, bool nullable, int maxLength,
                                      std::u16string collationName, int level) {
  TTdbDataType type = Make(code, nullable, level);
  if (code == tctString || code == tctWideString) {
    const int limit = code == tctString ? kMaxStringLength : kMaxWideStringLength;
    if (maxLength < 1 || maxLength > limit)
      throw ETdbEngine(tdbErrStringLength, maxLength, 1, limit);
    type.FMaxLength = maxLength;
  }
  type.FCollationName = std::move(collationName);
  return type;
}

TTdbDataType TTdbDataType::MakeStringFromSize(TTdbColumnType code, bool nullable, int size,
                                              std::u16string collationName, int level) {
  const TTdbDataType probe = Make(code, nullable, level);
  const int stored = size - (probe.FHasNullByte ? 1 : 0);
  int maxLength = 0;
  if (code == tctString)
    maxLength = stored <= kShortStringPrefixLimit ? stored - 1 : stored - 2;
  else
    maxLength = stored / 2 - 1;
  return MakeString(code, nullable, maxLength, std::move(collationName), level);
}

TTdbDataType TTdbDataType::MakeDateTime(TTdbColumnType code, bool nullable, int precision,
                                        bool hasNullByte, int level) {
  TTdbDataType type = Make(code, nullable, level);
  type.FPrecision = precision;
  type.FHasNullByte = hasNullByte;
  return type;
}

TTdbDataType TTdbDataType::MakeFloat(bool nullable, int scale, int level) {
  TTdbDataType type = Make(tctFloat, nullable, level);
  type.FScale = scale;
  return type;
}

TTdbDataType TTdbDataType::MakeEnum(bool nullable, std::vector<std::u16string> names, int level) {
  TTdbDataType type = Make(tctEnum, nullable, level);
  type.FEnumNames = std::move(names);
  return type;
}

int TTdbDataType::DataSize() const {
  int value = 0;
  switch (FColumnType) {
    case tctChar: case tctByte: case tctBoolean: case tctEnum: value = 1; break;
    case tctInt16: value = 2; break;
    case tctDate: case tctMemo: case tctRecordId: case tctLink: case tctBlob:
    case tctLongInt: case tctWideMemo: value = 4; break;
    case tctFloat: case tctInt64: case tctDateTime: value = 8; break;
    case tctGuid: value = 16; break;
    case tctRelation: value = 0; break;
    case tctTime: value = FPrecision <= kMinutePrecision ? 2 : 4; break;
    case tctString: value = LengthPrefixSize() + FMaxLength; break;
    case tctWideString: value = 2 + 2 * FMaxLength; break;
    default: value = 0; break;
  }
  return value + (FHasNullByte ? 1 : 0);
}

int TTdbDataType::NullByteOffset() const {
  if (!FHasNullByte) return -1;
  return FLevel >= kNullByteFirstLevel ? 0 : DataSize() - 1;
}

int TTdbDataType::LengthPrefixSize() const {
  if (FColumnType == tctString) return FMaxLength < kShortStringPrefixLimit ? 1 : 2;
  if (FColumnType == tctWideString) return 2;
  return 0;
}

std::string TTdbDataType::TypeName() const {
  std::string name;
  switch (FColumnType) {
    case tctInt16: name = "SmallInt"; break;
    case tctByte: name = "Byte"; break;
    case tctBoolean: name = "Boolean"; break;
    case tctRecordId: name = "RecordId"; break;
    case tctLink: name = "Link"; break;
    case tctBlob: name = "Blob"; break;
    case tctLongInt: name = "Integer"; break;
    case tctInt64: name = "BigInt"; break;
    case tctFloat: name = "DOUBLE"; break;
    case tctGuid: name = "Guid"; break;
    case tctChar: name = "CHAR(1)"; break;
    case tctString:
      name = "VARCHAR(" + std::to_string(FMaxLength) + ")";
      if (!IsStandardCollation(FCollationName)) name += " COLLATE " + Utf16ToUtf8(FCollationName);
      break;
    case tctMemo: name = "LONGVARCHAR"; break;
    case tctWideString: name = "VARWCHAR(" + std::to_string(FMaxLength) + ")"; break;
    case tctWideMemo: name = "LONGVARWCHAR"; break;
    case tctEnum: name = "<enumeration>"; break;
    case tctDate: name = "Date"; break;
    case tctTime: name = "Time"; break;
    case tctDateTime: name = "TimeStamp"; break;
    case tctRelation: name = "Relation"; break;
    default: name = "Unknown"; break;
  }
  return name;
}

std::string TTdbDataType::SqlName() const { return FNullable ? TypeName() : TypeName() + " NOT NULL"; }

int64_t TTdbDataType::MinInteger() const {
  switch (FColumnType) {
    case tctInt16: return std::numeric_limits<int16_t>::min();
    case tctLongInt: return std::numeric_limits<int32_t>::min();
    case tctInt64: return std::numeric_limits<int64_t>::min();
    case tctEnum: return FNullable ? 0 : 1;
    default: return 0;
  }
}

int64_t TTdbDataType::MaxInteger() const {
  switch (FColumnType) {
    case tctInt16: return std::numeric_limits<int16_t>::max();
    case tctByte: return std::numeric_limits<uint8_t>::max();
    case tctBoolean: return 1;
    case tctLongInt: return std::numeric_limits<int32_t>::max();
    case tctInt64: return std::numeric_limits<int64_t>::max();
    case tctEnum:
      // Value numbers are stored as signed bytes.
      return std::min<int64_t>(FEnumNames.empty() ? std::numeric_limits<int8_t>::max()
                                                  : static_cast<int64_t>(FEnumNames.size()),
                               std::numeric_limits<int8_t>::max());
    default: return std::numeric_limits<int32_t>::max();
  }
}

}  // namespace kestrel
