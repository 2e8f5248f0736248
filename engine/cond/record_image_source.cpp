// Conditions over record images (see record_image_source.h).
#include "engine/cond/record_image_source.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

// Times are kept in ticks of 100 ns in record images, in milliseconds in
// conditions.
constexpr int64_t kTimeTicksPerMillisecond = 10000;
// Below this table level a null indicator does not sort NULL first.
constexpr int kFirstLevelNullFirst = 4;

bool IsAnsiText(TTdbColumnType code) { return code == tctChar || code == tctString || code == tctMemo; }
bool IsText(TTdbColumnType code) {
  return IsAnsiText(code) || code == tctWideString || code == tctWideMemo;
}

bool IsIntegerColumn(TTdbColumnType code) {
  switch (code) {
    case tctInt16:
    case tctByte:
    case tctBoolean:
    case tctEnum:
    case tctRecordId:
    case tctLink:
    case tctLongInt:
    case tctInt64: return true;
    default: return false;
  }
}

TCondDataType CondTypeOf(const TTdbDataType& type) {
  TCondDataType result;
  const TTdbColumnType code = type.ColumnType();
  result.FColumnType = code;
  result.FNullable = type.Nullable();
  if (code == tctString || code == tctWideString) result.FMaxLength = type.MaxLength();
  if (code == tctChar) result.FMaxLength = 1;
  if (IsAnsiText(code)) result.FCodePage = kCodePageAnsi;
  if (IsText(code)) result.FCollationName = type.CollationName();
  if (code == tctEnum) result.FEnumNames = type.EnumNames();
  return result;
}

TCondValue CondValueOf(const TTdbValue& value) {
  struct TVisitor {
    TCondValue operator()(std::monostate) const { return {}; }
    TCondValue operator()(int64_t v) const { return TCondValue::Integer(v); }
    TCondValue operator()(double v) const { return TCondValue::Float(v); }
    TCondValue operator()(const std::u16string& v) const { return TCondValue::String(v); }
    TCondValue operator()(TTdbDate v) const { return TCondValue::Date(v.Packed); }
    TCondValue operator()(TTdbTime v) const {
      return TCondValue::Time(static_cast<int32_t>(v.Ticks / kTimeTicksPerMillisecond));
    }
    TCondValue operator()(TTdbTimeStamp v) const { return TCondValue::DateTime(v.Date, v.Milliseconds); }
    TCondValue operator()(const TTdbGuid& v) const {
      TCondValue result;
      result.FKind = cvkGuid;
      for (int i = 0; i < 4; ++i) result.FGuid[i] = static_cast<uint8_t>(v.Data1 >> (8 * i));
      for (int i = 0; i < 2; ++i) result.FGuid[4 + i] = static_cast<uint8_t>(v.Data2 >> (8 * i));
      for (int i = 0; i < 2; ++i) result.FGuid[6 + i] = static_cast<uint8_t>(v.Data3 >> (8 * i));
      std::memcpy(result.FGuid.data() + 8, v.Data4.data(), v.Data4.size());
      return result;
    }
    TCondValue operator()(TTdbBlockRef v) const { return TCondValue::Integer(v.Block); }
    TCondValue operator()(const TTdbBytes&) const { return {}; }  // never read from a column
  };
  return std::visit(TVisitor{}, value);
}

TTdbGuid GuidOf(const TCondValue& value) {
  TTdbGuid guid;
  const auto& g = value.FGuid;
  guid.Data1 = g[0] | g[1] << 8 | g[2] << 16 | static_cast<uint32_t>(g[3]) << 24;
  guid.Data2 = static_cast<uint16_t>(g[4] | g[5] << 8);
  guid.Data3 = static_cast<uint16_t>(g[6] | g[7] << 8);
  std::memcpy(guid.Data4.data(), g.data() + 8, guid.Data4.size());
  return guid;
}

// An integer column's bound from a number: rounded outward and clamped to
// the type's range, so that no value the comparison admits is cut off.
bool IntegerBound(const TTdbDataType& type, const TCondValue& value, bool highest, int64_t& bound) {
  const int64_t low = type.MinInteger();
  const int64_t high = type.MaxInteger();
  if (value.FKind == cvkInteger) {
    bound = std::clamp(value.FInteger, low, high);
    return true;
  }
  if (value.FKind != cvkFloat || std::isnan(value.FFloat)) return false;
  const double rounded = highest ? std::floor(value.FFloat) : std::ceil(value.FFloat);
  if (rounded <= static_cast<double>(low))
    bound = low;
  else if (rounded >= static_cast<double>(high))
    bound = high;
  else
    bound = static_cast<int64_t>(rounded);
  return true;
}

// A signed little-endian integer of `bytes.size()` bytes at its lowest or
// highest value.
void FillSigned(std::span<uint8_t> bytes, bool highest) {
  if (bytes.empty()) return;
  std::memset(bytes.data(), highest ? 0xFF : 0x00, bytes.size());
  bytes.back() = highest ? 0x7F : 0x80;
}

}  // namespace

TCondRecordImageSource::TCondRecordImageSource(const TTdbColumnDefs& columns, const TTdbIndexTable& indexTable,
                                               std::u16string tableName, TCondReadMemo readMemo)
    : FColumns(columns), FTableLevel(indexTable.FLevel), FTableName(std::move(tableName)),
      FReadMemo(std::move(readMemo)) {
  FTypes.reserve(columns.Count());
  for (size_t i = 0; i < columns.Count(); ++i) {
    const TTdbDataType& type = columns[i].DataType;
    TColumn column{CondTypeOf(type), nullptr};
    if (IsText(type.ColumnType())) {
      const TTdbIndexColumn* indexColumn = indexTable.Column(static_cast<int>(i) + 1);
      // The index view decides, so that conditions order texts as the keys
      // do; a column it lacks goes by its collation name.
      const TTdbCollation& collation = indexColumn == nullptr       ? GetCollation(type.CollationName())
                                       : indexColumn->FCollation ? *indexColumn->FCollation
                                                                 : StandardCollation();
      column.FCollation = std::make_unique<TCondCollationAdapter>(collation, column.FType.FCodePage);
      column.FType.FCollation = column.FCollation.get();
    }
    FTypes.push_back(std::move(column));
  }
}

const TTdbColumnDef& TCondRecordImageSource::Definition(int columnNo) const {
  if (columnNo < 1 || static_cast<size_t>(columnNo) > FColumns.Count()) throw ETdbEngine(tdbErrNoText);
  return FColumns[static_cast<size_t>(columnNo) - 1];
}

bool TCondRecordImageSource::FindColumn(std::u16string_view tableName, std::u16string_view columnName,
                                        TCondColumnInfo& info) const {
  if (!tableName.empty() && !IsSameName(tableName, FTableName)) return false;
  for (size_t i = 0; i < FColumns.Count(); ++i) {
    if (!IsSameName(FColumns[i].Name, columnName)) continue;
    info.FFieldNo = static_cast<int>(i) + 1;
    info.FDataType = FTypes[i].FType;
    return true;
  }
  return false;
}

void TCondRecordImageSource::ReadColumn(int fieldNo, TCondValue& value) const {
  const TTdbColumnDef& column = Definition(fieldNo);
  const std::span<const uint8_t> bytes = FColumns.ColumnBytes(FRecord, static_cast<size_t>(fieldNo) - 1);
  const TTdbColumnType code = column.DataType.ColumnType();
  if (code == tctMemo || code == tctWideMemo) {
    if (IsNullValue(column.DataType, bytes)) {
      value.SetNull();
      return;
    }
    if (!FReadMemo) throw ETdbEngine(tdbErrNoText);
    value = TCondValue::String(FReadMemo(fieldNo, FRecord));
    return;
  }
  value = CondValueOf(ReadValue(column.DataType, bytes));
}

bool TCondRecordImageSource::TryWriteValue(const TTdbDataType& type, std::span<uint8_t> bytes,
                                           const TCondValue& value, bool highest) const {
  const TTdbColumnType code = type.ColumnType();
  TTdbValue stored;
  if (value.IsNull()) {
    if (!type.Nullable()) return false;
  } else if (IsIntegerColumn(code)) {
    int64_t bound = 0;
    if (!IntegerBound(type, value, highest, bound)) return false;
    stored = bound;
  } else if (code == tctFloat) {
    if (value.FKind != cvkInteger && value.FKind != cvkFloat) return false;
    stored = ValueAsFloat(value);
  } else if (code == tctString || code == tctWideString || code == tctChar) {
    // Cutting a text makes it sort before texts that begin like it, so a
    // cut text would bound too little from above.
    if (value.FKind != cvkString) return false;
    if (highest && value.FString.size() > static_cast<size_t>(code == tctChar ? 1 : type.MaxLength())) return false;
    stored = value.FString;
  } else if (code == tctDate) {
    if (value.FKind != cvkDate && value.FKind != cvkDateTime) return false;
    stored = TTdbDate{value.FDate};
  } else if (code == tctDateTime) {
    if (value.FKind != cvkDate && value.FKind != cvkDateTime) return false;
    stored = TTdbTimeStamp{value.FDate, value.FKind == cvkDateTime ? value.FTime : 0};
  } else if (code == tctTime) {
    if (value.FKind != cvkTime) return false;
    stored = TTdbTime{int64_t{value.FTime} * kTimeTicksPerMillisecond};
  } else if (code == tctGuid) {
    if (value.FKind != cvkGuid) return false;
    stored = GuidOf(value);
  } else {
    return false;
  }
  try {
    WriteValue(type, bytes, stored);
  } catch (const ETdbEngine&) {
    return false;
  }
  return true;
}

void TCondRecordImageSource::WriteExtreme(const TTdbDataType& type, std::span<uint8_t> bytes, bool highest) const {
  std::memset(bytes.data(), 0, bytes.size());
  const int nullByte = type.NullByteOffset();
  if (nullByte >= 0 && static_cast<size_t>(nullByte) < bytes.size()) {
    // NULL sorts before every value from level 4 on; the indicator is then
    // the lowest key part. Below, the indicator stays 0 and values decide.
    if (!highest && FTableLevel >= kFirstLevelNullFirst) return;
    bytes[static_cast<size_t>(nullByte)] = FTableLevel >= kFirstLevelNullFirst ? 1 : 0;
  }
  const size_t offset = static_cast<size_t>(type.ValueOffset());
  const size_t size = std::min(bytes.size() - std::min(bytes.size(), offset), static_cast<size_t>(type.ValueSize()));
  const std::span<uint8_t> value = bytes.subspan(offset, size);
  switch (type.ColumnType()) {
    case tctString:
    case tctWideString: {
      // The lowest text is the empty one; the highest the empty prefix
      // pattern, equal to every text.
      const uint8_t indicator = nullByte >= 0 ? bytes[static_cast<size_t>(nullByte)] : 0;
      WriteValue(type, bytes, highest ? std::u16string(1, u'\0') : std::u16string());
      if (nullByte >= 0) bytes[static_cast<size_t>(nullByte)] = indicator;
      return;
    }
    case tctFloat: {
      const double infinity = highest ? std::numeric_limits<double>::infinity()
                                      : -std::numeric_limits<double>::infinity();
      uint64_t bits = 0;
      std::memcpy(&bits, &infinity, sizeof bits);
      for (size_t i = 0; i < std::min<size_t>(value.size(), sizeof bits); ++i)
        value[i] = static_cast<uint8_t>(bits >> (8 * i));
      return;
    }
    case tctChar:
    case tctByte:
    case tctBoolean:
    case tctEnum:
    case tctGuid: std::memset(value.data(), highest ? 0xFF : 0x00, value.size()); return;
    case tctDateTime: {
      const size_t half = value.size() / 2;
      FillSigned(value.subspan(0, half), highest);
      FillSigned(value.subspan(half), highest);
      return;
    }
    default: FillSigned(value, highest); return;
  }
}

bool TCondRecordImageSource::WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value,
                                             bool highest) const {
  const TTdbColumnDef& column = Definition(columnNo);
  const std::span<uint8_t> bytes = FColumns.ColumnBytes(record, static_cast<size_t>(columnNo) - 1);
  if (value != nullptr && TryWriteValue(column.DataType, bytes, *value, highest)) return true;
  WriteExtreme(column.DataType, bytes, highest);
  return false;
}

}  // namespace kestrel
