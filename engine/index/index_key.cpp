// Index items: building them from record images and comparing them.
#include "engine/index/index_key.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "engine/base/engine_error.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

constexpr int kFirstModernLevel = 4;
constexpr uint32_t kShortAnsiColumnLimit = 256;  // String columns up to this size have a 1-byte prefix
constexpr uint32_t kWidePrefixSize = 2;
constexpr uint32_t kRelationKeySize = 4;
constexpr size_t kGuidSize = 16;

// A fixed-size value of at most N bytes, zero-padded when the part is short.
template <size_t N>
std::array<uint8_t, N> Padded(const uint8_t* value, uint32_t size) {
  std::array<uint8_t, N> bytes{};
  std::memcpy(bytes.data(), value, std::min<size_t>(N, size));
  return bytes;
}

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

uint32_t AnsiPrefixSize(uint16_t fieldSize, bool hasNullByte) {
  return fieldSize <= kShortAnsiColumnLimit + (hasNullByte ? 1 : 0) ? 1 : 2;
}

int CompareAnsiParts(const TTdbFieldCompare& how, const uint8_t* v1, uint32_t s1, const uint8_t* v2, uint32_t s2) {
  const uint32_t prefix = AnsiPrefixSize(how.FFieldSize, how.FHasNullByte);
  auto text = [prefix](const uint8_t* v, uint32_t s) {
    if (s < prefix) return std::string_view();
    const uint32_t length = prefix == 1 ? v[0] : ReadLeU16(v);
    return std::string_view(reinterpret_cast<const char*>(v + prefix), std::min(length, s - prefix));
  };
  const TTdbCollation& collation = how.FCollation ? *how.FCollation : StandardCollation();
  return collation.CompareAnsi(text(v1, s1), text(v2, s2), how.FOptions);
}

// Decodes a wide string part into `text` (reused between calls, so that
// comparisons do not allocate once the buffers have grown).
void DecodeWidePart(const uint8_t* v, uint32_t s, std::u16string& text) {
  const uint32_t length = s < kWidePrefixSize ? 0 : std::min<uint32_t>(ReadLeU16(v), (s - kWidePrefixSize) / 2);
  text.resize(length);
  for (uint32_t i = 0; i < length; ++i) text[i] = ReadLeU16(v + kWidePrefixSize + 2 * i);
}

int CompareWideParts(const TTdbFieldCompare& how, const uint8_t* v1, uint32_t s1, const uint8_t* v2, uint32_t s2) {
  thread_local std::u16string text1;
  thread_local std::u16string text2;
  DecodeWidePart(v1, s1, text1);
  DecodeWidePart(v2, s2, text2);
  const TTdbCollation& collation = how.FCollation ? *how.FCollation : StandardCollation();
  return collation.Compare(text1, text2, how.FOptions);
}

int CompareGuids(const uint8_t* v1, uint32_t s1, const uint8_t* v2, uint32_t s2) {
  const auto a = Padded<kGuidSize>(v1, s1);
  const auto b = Padded<kGuidSize>(v2, s2);
  if (int r = Sign(ReadLeU32(a.data()), ReadLeU32(b.data()))) return r;
  for (size_t word : {4, 6, 8})
    if (int r = Sign(ReadLeU16(a.data() + word), ReadLeU16(b.data() + word))) return r;
  for (size_t byte : {15, 14, 13, 12, 11, 10})
    if (int r = Sign(a[byte], b[byte])) return r;
  return 0;
}

int CompareValues(const TTdbFieldCompare& how, const uint8_t* v1, uint32_t s1, const uint8_t* v2, uint32_t s2) {
  switch (how.FDataType) {
    case tctChar:
    case tctByte:
    case tctBoolean:
    case tctEnum:
      return Sign(Padded<1>(v1, s1)[0], Padded<1>(v2, s2)[0]);
    case tctInt16:
      return Sign(ReadLeI16(Padded<2>(v1, s1).data()), ReadLeI16(Padded<2>(v2, s2).data()));
    case tctFloat:
      return Sign(ReadLeDouble(Padded<8>(v1, s1).data()), ReadLeDouble(Padded<8>(v2, s2).data()));
    case tctTime:
      // Two-byte times (minutes) also exist at the newer levels.
      if (how.FTableLevel < kFirstModernLevel || std::min(s1, s2) < 4)
        return Sign(ReadLeI16(Padded<2>(v1, s1).data()), ReadLeI16(Padded<2>(v2, s2).data()));
      [[fallthrough]];
    case tctDate:
    case tctRecordId:
    case tctLink:
    case tctLongInt:
    case tctRelationKey:
      return Sign(ReadLeI32(Padded<4>(v1, s1).data()), ReadLeI32(Padded<4>(v2, s2).data()));
    case tctDateTime: {
      const auto a = Padded<8>(v1, s1);
      const auto b = Padded<8>(v2, s2);
      if (int r = Sign(ReadLeI32(a.data()), ReadLeI32(b.data()))) return r;
      return Sign(ReadLeI32(a.data() + 4), ReadLeI32(b.data() + 4));
    }
    case tctInt64:
      return Sign(ReadLeI64(Padded<8>(v1, s1).data()), ReadLeI64(Padded<8>(v2, s2).data()));
    case tctGuid:
      return CompareGuids(v1, s1, v2, s2);
    case tctString:
      return CompareAnsiParts(how, v1, s1, v2, s2);
    case tctWideString:
      return CompareWideParts(how, v1, s1, v2, s2);
    default:
      return 0;
  }
}

void WriteExtremeString(const TTdbFieldCompare& how, uint8_t* value, uint32_t size, bool highest) {
  const TTdbCollation& collation = how.FCollation ? *how.FCollation : StandardCollation();
  if (how.FDataType == tctWideString) {
    if (size < kWidePrefixSize) return;
    const uint32_t length = highest ? (size - kWidePrefixSize) / 2 : 0;
    WriteLeU16(value, static_cast<uint16_t>(length));
    for (uint32_t i = 0; i < length; ++i) WriteLeU16(value + kWidePrefixSize + 2 * i, collation.HighestCharacter());
    return;
  }
  const uint32_t prefix = AnsiPrefixSize(how.FFieldSize, how.FHasNullByte);
  if (size < prefix) return;
  const uint32_t length = highest ? std::min<uint32_t>(size - prefix, prefix == 1 ? 255 : 65535) : 0;
  if (prefix == 1)
    value[0] = static_cast<uint8_t>(length);
  else
    WriteLeU16(value, static_cast<uint16_t>(length));
  std::memset(value + prefix, collation.HighestAnsiCharacter(), length);
}

// Writes the lowest or highest value of the part's type into `value`.
void WriteExtremeValue(const TTdbFieldCompare& how, uint8_t* value, uint32_t size, bool highest) {
  auto fill = [value, size](size_t bytes, uint64_t bits) {
    for (size_t i = 0; i < std::min<size_t>(bytes, size); ++i) value[i] = static_cast<uint8_t>(bits >> (8 * i));
  };
  constexpr uint64_t kPlusInfinity = 0x7FF0000000000000ull;
  constexpr uint64_t kMinusInfinity = 0xFFF0000000000000ull;
  switch (how.FDataType) {
    case tctChar:
    case tctByte:
    case tctBoolean:
    case tctEnum:
      return fill(1, highest ? 0xFF : 0);
    case tctInt16:
      return fill(2, highest ? 0x7FFF : 0x8000);
    case tctFloat:
      return fill(8, highest ? kPlusInfinity : kMinusInfinity);
    case tctTime:
      if (how.FTableLevel < kFirstModernLevel || size < 4) return fill(2, highest ? 0x7FFF : 0x8000);
      [[fallthrough]];
    case tctDate:
    case tctRecordId:
    case tctLink:
    case tctLongInt:
    case tctRelationKey:
      return fill(4, highest ? 0x7FFFFFFF : 0x80000000);
    case tctDateTime:
      fill(4, highest ? 0x7FFFFFFF : 0x80000000);
      if (size >= 8) WriteLeU32(value + 4, highest ? 0x7FFFFFFF : 0x80000000);
      return;
    case tctInt64:
      return fill(8, highest ? 0x7FFFFFFFFFFFFFFFull : 0x8000000000000000ull);
    case tctGuid:
      std::memset(value, highest ? 0xFF : 0, std::min<size_t>(size, kGuidSize));
      return;
    case tctString:
    case tctWideString:
      return WriteExtremeString(how, value, size, highest);
    default:
      return;
  }
}

}  // namespace

bool IsIndexableColumnType(uint8_t columnType) {
  switch (columnType) {
    case tctRelation:
      return false;
    default:
      return columnType <= tctTime || (columnType >= tctLongInt && columnType <= tctGuid);
  }
}

bool IsStringColumnType(uint8_t columnType) {
  return columnType == tctString || columnType == tctWideString || columnType == tctMemo ||
         columnType == tctWideMemo;
}

int32_t ItemRecordNo(const uint8_t* item) { return ReadLeI32(item); }
void SetItemRecordNo(uint8_t* item, int32_t recordNo) { WriteLeI32(item, recordNo); }

int CompareFields(const TTdbFieldCompare& how, const uint8_t* value1, uint32_t size1, const uint8_t* value2,
                  uint32_t size2) {
  if (!how.FHasNullByte) return CompareValues(how, value1, size1, value2, size2);
  if (size1 == 0 || size2 == 0) return Sign(size1, size2);
  if (how.FTableLevel >= kNullByteFirstLevel) {
    if (value1[0] == 0 || value2[0] == 0) return value1[0] - value2[0];
    return CompareValues(how, value1 + 1, size1 - 1, value2 + 1, size2 - 1);
  }
  const uint8_t last1 = value1[size1 - 1];
  const uint8_t last2 = value2[size2 - 1];
  // Below level 4 keys carry 0 in the indicator: the values decide, the
  // indicators only break a tie.
  if (how.FTableLevel < kFirstModernLevel || (last1 != 0 && last2 != 0)) {
    const int result = CompareValues(how, value1, size1 - 1, value2, size2 - 1);
    if (result != 0 || how.FTableLevel >= kFirstModernLevel) return result;
  }
  return last1 - last2;
}

TTdbFieldCompare TTdbIndexComparer::FieldCompare(int level) const {
  const TTdbSortLevel& sortLevel = FDef->Items[level];
  TTdbFieldCompare how;
  how.FDataType = sortLevel.ColumnType;
  how.FTableLevel = FTable->FLevel;
  how.FFieldSize = sortLevel.Size;
  if (FDef->IsCalculated || sortLevel.ColumnType == tctRelationKey) return how;
  if (const TTdbIndexColumn* column = FTable->Column(sortLevel.ColumnNo)) {
    how.FHasNullByte = column->FHasNullByte;
    how.FFieldSize = column->FSize;
    how.FCollation = column->FCollation;
    how.FOptions = column->FCollation ? column->FCollation->Options() : kStandardCollationOptions;
  }
  return how;
}

uint32_t TTdbIndexComparer::LevelDataSize(int level, const uint8_t* part, uint32_t available) const {
  const TTdbSortLevel& sortLevel = FDef->Items[level];
  const uint32_t fixed = std::min<uint32_t>(sortLevel.Size, available);
  if (!FDef->IsVarSize || FDef->IsCalculated) return fixed;
  const TTdbIndexColumn* column = FTable->Column(sortLevel.ColumnNo);
  if (column == nullptr || (sortLevel.ColumnType != tctString && sortLevel.ColumnType != tctWideString))
    return fixed;
  uint32_t size = 0;
  const uint8_t* value = part;
  uint32_t valueAvailable = available;
  if (column->FHasNullByte && FTable->FLevel >= kNullByteFirstLevel) {
    if (available == 0 || part[0] == 0) return std::min<uint32_t>(1, available);
    size = 1;
    ++value;
    --valueAvailable;
  }
  if (sortLevel.ColumnType == tctWideString) {
    size += valueAvailable >= kWidePrefixSize ? kWidePrefixSize + 2 * ReadLeU16(value) : kWidePrefixSize;
  } else {
    const uint32_t prefix = AnsiPrefixSize(column->FSize, column->FHasNullByte);
    const uint32_t length = valueAvailable < prefix ? 0 : (prefix == 1 ? value[0] : ReadLeU16(value));
    size += prefix + length;
  }
  return std::min(size, fixed);
}

int TTdbIndexComparer::CompareLevel(int level, const uint8_t* x, uint32_t& offsetX, const uint8_t* y,
                                    uint32_t& offsetY) const {
  const uint32_t availableX = FDef->FSize > offsetX ? FDef->FSize - offsetX : 0;
  const uint32_t availableY = FDef->FSize > offsetY ? FDef->FSize - offsetY : 0;
  const uint32_t sizeX = LevelDataSize(level, x + offsetX, availableX);
  const uint32_t sizeY = LevelDataSize(level, y + offsetY, availableY);
  int result = CompareFields(FieldCompare(level), x + offsetX, sizeX, y + offsetY, sizeY);
  offsetX += sizeX;
  offsetY += sizeY;
  if (FDef->Items[level].Descending) result = -result;
  return result;
}

int TTdbIndexComparer::FindSortKeyDiff(const uint8_t* x, const uint8_t* y) const {
  uint32_t offsetX = kIndexRecordNoSize;
  uint32_t offsetY = kIndexRecordNoSize;
  for (int level = 0; level < FDef->LevelCount(); ++level)
    if (CompareLevel(level, x, offsetX, y, offsetY) != 0) return level;
  return FDef->LevelCount();
}

int TTdbIndexComparer::Compare(const uint8_t* x, const uint8_t* y) const {
  uint32_t offsetX = kIndexRecordNoSize;
  uint32_t offsetY = kIndexRecordNoSize;
  for (int level = 0; level < FDef->LevelCount(); ++level)
    if (int result = CompareLevel(level, x, offsetX, y, offsetY)) return result;
  return Sign(ItemRecordNo(x), ItemRecordNo(y));
}

bool TTdbIndexComparer::IsSameIndexKey(const uint8_t* x, const uint8_t* y) const {
  return FindSortKeyDiff(x, y) == FDef->LevelCount();
}

bool TTdbIndexComparer::IsSameIndexInfo(const uint8_t* x, const uint8_t* y) const {
  return ItemRecordNo(y) != 0 && IsSameIndexKey(x, y);
}

uint32_t CalcIndexInfo(const TTdbIndexComparer& comparer, const uint8_t* record, int32_t recordNo,
                       std::vector<uint8_t>& item) {
  const TTdbSortDef& def = comparer.Def();
  const TTdbIndexTable& table = comparer.Table();
  item.assign(std::max(def.FSize, kIndexRecordNoSize), 0);
  SetItemRecordNo(item.data(), recordNo);
  uint8_t* key = item.data() + kIndexRecordNoSize;
  const uint32_t keyCapacity = def.FSize - kIndexRecordNoSize;

  if (def.IsCalculated) {
    if (!def.FCalculation || def.FCalculation->ResultSize() > keyCapacity) throw ETdbEngine(tdbErrNoText);
    def.FCalculation->Evaluate(record, key);
    return def.FCalculation->ResultSize();
  }

  uint32_t offset = 0;
  for (int level = 0; level < def.LevelCount(); ++level) {
    const TTdbSortLevel& sortLevel = def.Items[level];
    const TTdbIndexColumn* column = table.Column(sortLevel.ColumnNo);
    if (column == nullptr || column->FOffset + column->FSize > table.FRecordSize ||
        offset + sortLevel.Size > keyCapacity)
      throw ETdbEngine(tdbErrNoText);
    const uint8_t* source = record + column->FOffset;
    uint8_t* part = key + offset;

    if (sortLevel.ColumnType == tctRelationKey) {
      const bool leadingNull = column->FHasNullByte && table.FLevel >= kNullByteFirstLevel;
      if (!table.FFindLinkedRecord || column->FSize < kRelationKeySize + (leadingNull ? 1 : 0))
        throw ETdbEngine(tdbErrNoText);
      const int32_t recordId = ReadLeI32(source + (leadingNull ? 1 : 0));
      WriteLeI32(part, table.FFindLinkedRecord(sortLevel.ColumnNo, recordId));
      offset += kRelationKeySize;
      continue;
    }

    std::memcpy(part, source, std::min(sortLevel.Size, column->FSize));
    const bool shortened = sortLevel.Size < column->FSize;
    const bool wide = sortLevel.ColumnType == tctWideString;
    if (shortened && (wide || sortLevel.ColumnType == tctString)) {
      const uint32_t lead = column->FHasNullByte && table.FLevel >= kNullByteFirstLevel ? 1 : 0;
      const uint32_t prefix = wide ? kWidePrefixSize : AnsiPrefixSize(column->FSize, column->FHasNullByte);
      const uint32_t overhead = prefix + (column->FHasNullByte ? 1 : 0);
      const uint32_t fits = sortLevel.Size > overhead ? (sortLevel.Size - overhead) / (wide ? 2 : 1) : 0;
      if (lead + prefix <= sortLevel.Size) {
        uint8_t* lengthField = part + lead;
        const uint32_t length = prefix == 1 ? lengthField[0] : ReadLeU16(lengthField);
        if (length > fits) {
          if (prefix == 1)
            lengthField[0] = static_cast<uint8_t>(fits);
          else
            WriteLeU16(lengthField, static_cast<uint16_t>(fits));
        }
      }
    }
    if (column->FHasNullByte && sortLevel.Size > 0 && table.FLevel < kNullByteFirstLevel) {
      if (def.IsVarSize || shortened) part[sortLevel.Size - 1] = source[column->FSize - 1];
      if (table.FLevel < kFirstModernLevel) part[sortLevel.Size - 1] = 0;
    }
    offset += comparer.LevelDataSize(level, part, sortLevel.Size);
  }
  return offset;
}


void CompleteIndexInfo(const TTdbIndexComparer& comparer, std::vector<uint8_t>& item, int levelCount, bool upper) {
  const TTdbSortDef& def = comparer.Def();
  if (def.IsCalculated) return;
  item.resize(def.FSize, 0);
  uint32_t offset = kIndexRecordNoSize;
  for (int level = 0; level < def.LevelCount(); ++level) {
    const TTdbSortLevel& sortLevel = def.Items[level];
    uint8_t* part = item.data() + offset;
    const uint32_t available = def.FSize - offset;
    if (level >= levelCount) {
      const uint32_t size = std::min<uint32_t>(sortLevel.Size, available);
      const bool highest = sortLevel.Descending != upper;
      const TTdbFieldCompare how = comparer.FieldCompare(level);
      std::memset(part, 0, size);
      uint8_t* value = part;
      uint32_t valueSize = size;
      if (how.FHasNullByte && size > 0) {
        const bool nullIsLowest = how.FTableLevel >= kFirstModernLevel;
        const uint8_t indicator = highest && nullIsLowest ? 1 : 0;
        if (how.FTableLevel >= kNullByteFirstLevel) {
          part[0] = indicator;
          ++value;
        } else {
          part[size - 1] = indicator;
        }
        --valueSize;
        if (!highest && nullIsLowest) {
          offset += comparer.LevelDataSize(level, part, available);
          continue;
        }
      }
      WriteExtremeValue(how, value, valueSize, highest);
    }
    offset += comparer.LevelDataSize(level, part, available);
  }
}

}  // namespace kestrel
