// Index definitions: limits, item size, equality and covering.
#include "engine/index/sort_def.h"

namespace kestrel {
namespace {

constexpr int kOldMaxLevels = 10;
constexpr int kMaxLevels = 256;
constexpr uint32_t kOldMaxIndSize = 512;
constexpr uint32_t kMaxIndSize = 32767;
constexpr int kOldMaxExpressionLength = 40;
constexpr int kMaxExpressionLength = 255;
constexpr int kFirstModernLevel = 4;
constexpr int kExactCalculatedSizeLevel = 6;

}  // namespace

int GetMaxIndLevelCount(int tableLevel) { return tableLevel < kFirstModernLevel ? kOldMaxLevels : kMaxLevels; }
uint32_t GetMaxIndSize(int tableLevel) { return tableLevel < kFirstModernLevel ? kOldMaxIndSize : kMaxIndSize; }
int GetMaxIndexExpressionLength(int tableLevel) {
  return tableLevel < kFirstModernLevel ? kOldMaxExpressionLength : kMaxExpressionLength;
}

void TTdbSortDef::CalcSize(int tableLevel) {
  if (IsCalculated) {
    const uint32_t resultSize = Items.empty() ? 0 : Items[0].Size;
    FSize = kIndexRecordNoSize + (tableLevel >= kExactCalculatedSizeLevel ? resultSize : kCalculatedKeySizeOld);
    return;
  }
  FSize = kIndexRecordNoSize;
  for (const TTdbSortLevel& level : Items) FSize += level.Size;
}

bool TTdbSortDef::Equals(const TTdbSortDef& other) const {
  if (IsVarSize != other.IsVarSize || IsCalculated != other.IsCalculated || IsUnique != other.IsUnique ||
      Items.size() != other.Items.size())
    return false;
  if (IsCalculated) return FSource == other.FSource;
  return Items == other.Items;
}

bool TTdbSortDef::Covers(const TTdbSortDef& wanted, bool allowReverse, bool& reverse) const {
  reverse = false;
  if (IsCalculated || wanted.IsCalculated) return IsCalculated && wanted.IsCalculated && FSource == wanted.FSource;
  if (Items.empty() || wanted.Items.empty() || wanted.Items.size() > Items.size()) return false;
  if (Items[0].ColumnNo != wanted.Items[0].ColumnNo) return false;
  reverse = Items[0].Descending != wanted.Items[0].Descending;
  if (reverse && !allowReverse) return false;
  for (size_t i = 1; i < wanted.Items.size(); ++i) {
    if (Items[i].ColumnNo != wanted.Items[i].ColumnNo) return false;
    if ((Items[i].Descending != wanted.Items[i].Descending) != reverse) return false;
  }
  return true;
}

}  // namespace kestrel
