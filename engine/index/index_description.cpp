// Reading and writing the stored index description.
#include "engine/index/index_description.h"

#include <cstring>
#include <string>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

constexpr uint16_t kFirstModernVersion = 4;
constexpr uint16_t kFirstProceduralMarkVersion = 5;
constexpr char16_t kProceduralMark = u'@';
constexpr uint16_t kDescendingBit = 0x8000;
constexpr size_t kLevelEntrySize = 5;

// Version >= 4.
constexpr size_t kDescCount = 0;
constexpr size_t kDescCalculated = 5;
constexpr size_t kDescUnique = 6;
constexpr size_t kDescLevelCount = 7;
constexpr size_t kDescLevels = 9;
constexpr size_t kDescResultType = 9;
constexpr size_t kDescResultSize = 10;
constexpr size_t kDescExpressionLength = 12;
constexpr size_t kDescExpression = 14;

// Versions 1 to 3.
constexpr size_t kOldVectorLevels = 10;
constexpr size_t kOldVectorSize = kOldVectorLevels * kLevelEntrySize;  // 50
constexpr size_t kOldDescCount = 51;
constexpr size_t kOldDescItemSize = 55;
static_assert(kOldVectorSize < kOldDescCount, "the level vector ends before the item count");
constexpr size_t kOldDescSize = kOldDescItemSize + 4;
constexpr uint16_t kOldCalculatedMark = 0xFFFF;
constexpr size_t kOldCalcResultSize = 2;
constexpr size_t kOldCalcResultType = 4;
constexpr size_t kOldCalcExpression = 5;
constexpr size_t kOldMaxExpressionLength = 44;
constexpr uint8_t kOldUniqueMark = 255;

void WriteLevel(uint8_t* p, const TTdbSortLevel& level) {
  WriteLeU16(p, static_cast<uint16_t>(level.ColumnNo | (level.Descending ? kDescendingBit : 0)));
  WriteLeU16(p + 2, level.Size);
  p[4] = level.ColumnType;
}

TTdbSortLevel ReadLevel(const uint8_t* p) {
  TTdbSortLevel level;
  const uint16_t column = ReadLeU16(p);
  level.ColumnNo = column & ~kDescendingBit;
  level.Descending = (column & kDescendingBit) != 0;
  level.Size = ReadLeU16(p + 2);
  level.ColumnType = p[4];
  return level;
}

[[noreturn]] void TooLarge(const TTdbSortDef& def) {
  throw ETdbEngine(tdbErrIndexDataTooLarge, Utf16ToUtf8(def.FSource));
}

void WriteModern(const TTdbSortDef& def, uint16_t fileVersion, uint8_t* area, size_t areaSize) {
  area[kDescCalculated] = def.IsCalculated ? 1 : 0;
  area[kDescUnique] = def.IsUnique ? 1 : 0;
  WriteLeU16(area + kDescLevelCount, static_cast<uint16_t>(def.LevelCount()));
  size_t end = 0;
  if (def.IsCalculated) {
    std::u16string expression = def.FSource;
    if (def.IsProcedural && fileVersion >= kFirstProceduralMarkVersion) expression.insert(0, 1, kProceduralMark);
    end = kDescExpression + 2 * expression.size();
    if (end + 2 > areaSize || def.Items.empty()) TooLarge(def);
    area[kDescResultType] = def.Items[0].ColumnType;
    WriteLeU16(area + kDescResultSize, def.Items[0].Size);
    WriteLeU16(area + kDescExpressionLength, static_cast<uint16_t>(expression.size()));
    for (size_t i = 0; i < expression.size(); ++i) WriteLeU16(area + kDescExpression + 2 * i, expression[i]);
  } else {
    end = kDescLevels + kLevelEntrySize * def.Items.size();
    if (end + 2 > areaSize) TooLarge(def);
    for (size_t i = 0; i < def.Items.size(); ++i) WriteLevel(area + kDescLevels + kLevelEntrySize * i, def.Items[i]);
  }
  WriteLeU16(area + end, static_cast<uint16_t>(def.FSize));
}

void WriteOld(const TTdbSortDef& def, uint8_t* area, size_t areaSize) {
  if (areaSize < kOldDescSize) TooLarge(def);
  if (def.IsCalculated) {
    const std::string expression = EncodeCodePage(def.FSource, kCodePageAnsi);
    if (expression.size() > kOldMaxExpressionLength || def.Items.empty()) TooLarge(def);
    WriteLeU16(area, kOldCalculatedMark);
    WriteLeU16(area + kOldCalcResultSize, def.Items[0].Size);
    area[kOldCalcResultType] = def.Items[0].ColumnType;
    area[kOldCalcExpression] = static_cast<uint8_t>(expression.size());
    std::memcpy(area + kOldCalcExpression + 1, expression.data(), expression.size());
  } else {
    if (def.Items.size() > kOldVectorLevels) TooLarge(def);
    for (size_t i = 0; i < def.Items.size(); ++i) WriteLevel(area + kLevelEntrySize * i, def.Items[i]);
    if (def.Items.size() < kOldVectorLevels)
      area[kLevelEntrySize * def.Items.size() + 4] = def.IsUnique ? kOldUniqueMark : 0;
  }
  WriteLeU32(area + kOldDescItemSize, def.FSize);
}

}  // namespace

uint32_t IndexItemCountOffset(uint16_t fileVersion) {
  return fileVersion >= kFirstModernVersion ? kDescCount : kOldDescCount;
}

void WriteIndexDescription(const TTdbSortDef& def, uint16_t fileVersion, uint32_t itemCount, uint8_t* area,
                           size_t areaSize) {
  if (areaSize < kOldDescSize) TooLarge(def);
  std::memset(area, 0, areaSize);
  if (fileVersion >= kFirstModernVersion)
    WriteModern(def, fileVersion, area, areaSize);
  else
    WriteOld(def, area, areaSize);
  WriteLeU32(area + IndexItemCountOffset(fileVersion), itemCount);
}

TTdbSortDef ReadIndexDescription(const uint8_t* area, size_t areaSize, uint16_t fileVersion, int tableLevel,
                                 uint32_t& itemCount, const char* name) {
  auto inconsistent = [name]() { return ETdbEngine(tdbErrIndexInconsistent, name); };
  if (areaSize < kOldDescSize) throw inconsistent();
  TTdbSortDef def;
  itemCount = ReadLeU32(area + IndexItemCountOffset(fileVersion));
  uint32_t storedSize = 0;
  if (fileVersion >= kFirstModernVersion) {
    def.IsCalculated = area[kDescCalculated] != 0;
    def.IsUnique = area[kDescUnique] != 0;
    const size_t levelCount = ReadLeU16(area + kDescLevelCount);
    size_t end = 0;
    if (def.IsCalculated) {
      const size_t length = ReadLeU16(area + kDescExpressionLength);
      end = kDescExpression + 2 * length;
      if (levelCount != 1 || end + 2 > areaSize) throw inconsistent();
      def.Items.push_back({area[kDescResultType], 0, ReadLeU16(area + kDescResultSize), false});
      for (size_t i = 0; i < length; ++i) def.FSource += static_cast<char16_t>(ReadLeU16(area + kDescExpression + 2 * i));
      def.IsProcedural = fileVersion < kFirstProceduralMarkVersion;
      if (!def.FSource.empty() && def.FSource.front() == kProceduralMark && fileVersion >= kFirstProceduralMarkVersion) {
        def.IsProcedural = true;
        def.FSource.erase(0, 1);
      }
    } else {
      end = kDescLevels + kLevelEntrySize * levelCount;
      if (levelCount == 0 || static_cast<int>(levelCount) > GetMaxIndLevelCount(tableLevel) || end + 2 > areaSize)
        throw inconsistent();
      for (size_t i = 0; i < levelCount; ++i) def.Items.push_back(ReadLevel(area + kDescLevels + kLevelEntrySize * i));
    }
    storedSize = ReadLeU16(area + end);
  } else {
    if (ReadLeU16(area) == kOldCalculatedMark) {
      def.IsCalculated = true;
      def.IsProcedural = true;
      const size_t length = area[kOldCalcExpression];
      if (length > kOldMaxExpressionLength) throw inconsistent();
      def.Items.push_back({area[kOldCalcResultType], 0, ReadLeU16(area + kOldCalcResultSize), false});
      def.FSource = DecodeCodePage(
          std::string_view(reinterpret_cast<const char*>(area + kOldCalcExpression + 1), length), kCodePageAnsi);
    } else {
      for (size_t i = 0; i < kOldVectorLevels; ++i) {
        const TTdbSortLevel level = ReadLevel(area + kLevelEntrySize * i);
        if (level.ColumnNo == 0 && !level.Descending) {
          def.IsUnique = level.Size == 0 && area[kLevelEntrySize * i + 4] == kOldUniqueMark;
          break;
        }
        def.Items.push_back(level);
      }
      if (def.Items.empty()) throw inconsistent();
    }
    storedSize = ReadLeU32(area + kOldDescItemSize);
  }
  def.CalcSize(tableLevel);
  if (storedSize != def.FSize) throw inconsistent();
  return def;
}

}  // namespace kestrel
