// Index definitions (`TTdbSortDef`): what an index orders by — a list of
// column levels, or one value computed by an expression — and the limits the
// table level puts on them.
//
// Invariant: for a list index FSize = 4 + the sum of the level sizes; a
// calculated index has exactly one level (its result type and size) and
// FSize = 4 + result size at table level 6, else 4 + 256.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {

// Signed index number of a table; negative = none.
using TTdbIndexNo = int8_t;
inline constexpr TTdbIndexNo kNoIndex = -1;
inline constexpr int kMaxIndexesPerTable = 50;

// Index kinds, in their stored order.
enum TTdbIndexKind : uint8_t { tikUnknown, tikUser, tikTemporary, tikAdl, tikConstraint };

// Size of the record number in front of every index item.
inline constexpr uint32_t kIndexRecordNoSize = 4;
// Size of the item buffer (`TTdbLongIndexInfo`).
inline constexpr uint32_t kLongIndexInfoSize = 32772;
// Key size of a calculated index below table level 6.
inline constexpr uint16_t kCalculatedKeySizeOld = 256;

// Limits by table level.
int GetMaxIndLevelCount(int tableLevel);             // 10 or 256
uint32_t GetMaxIndSize(int tableLevel);              // 512 or 32767
int GetMaxIndexExpressionLength(int tableLevel);     // 40 or 255

// The prepared expression of a calculated index. Provided by the condition
// language; the index layer only evaluates it.
class ITdbIndexExpression {
 public:
  virtual ~ITdbIndexExpression() = default;
  virtual uint8_t ResultType() const = 0;
  virtual uint16_t ResultSize() const = 0;
  // Writes the value for `record` in its type's stored encoding into `key`
  // (ResultSize() bytes).
  virtual void Evaluate(const uint8_t* record, uint8_t* key) const = 0;
};

struct TTdbSortLevel {
  uint8_t ColumnType = 0;
  uint16_t ColumnNo = 0;  // 1-based; 0 for a calculated index
  uint16_t Size = 0;      // bytes of the key part in a fixed-size item
  bool Descending = false;

  bool operator==(const TTdbSortLevel&) const = default;
};

class TTdbSortDef {
 public:
  std::u16string FName;
  std::u16string FSource;  // spec text; the expression of a calculated index
  bool IsUnique = false;
  bool IsVarSize = false;
  bool IsCalculated = false;
  bool IsProcedural = false;  // calculated index in the procedural syntax ("@")
  std::vector<TTdbSortLevel> Items;  // LevelCount = Items.size()
  std::shared_ptr<const ITdbIndexExpression> FCalculation;
  uint32_t FSize = kIndexRecordNoSize;

  int LevelCount() const { return static_cast<int>(Items.size()); }

  // FSize from the levels (list index) or the result size (calculated).
  void CalcSize(int tableLevel);

  // Same kind, uniqueness, levels (or expression text).
  bool Equals(const TTdbSortDef& other) const;

  // Whether this index delivers the order `wanted`; `reverse` tells that it
  // must be walked backwards (only when `allowReverse`).
  bool Covers(const TTdbSortDef& wanted, bool allowReverse, bool& reverse) const;
};

}  // namespace kestrel
