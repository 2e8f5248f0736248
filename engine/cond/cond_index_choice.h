// Index choice: which index of a table, and which range of its items, holds
// every record a prepared condition can select.
//
// The steps: the rating pass (cond_field_rating.h) rates the columns the
// condition compares with constants; FindBestIndex scores the table's
// indexes against the ratings (and may have a temporary index made);
// CalculateIndexBounds picks the bound of each index level; and
// CalculateIndexInfo turns them into the index item that starts or ends the
// walk. Every record in the range is still tested against the whole
// condition: the range only spares the records outside it.
//
// The range is exact in this sense: every record the condition selects lies
// between the two items in the index's order. To keep it so,
//   - bounds go on the leading levels compared for equality and on the one
//     level after them; later levels take their extreme values (a range on
//     one level does not bound the levels after it, and neither does a
//     level whose bound could not be stored);
//   - a LIKE prefix is an upper bound only where the prefix is contiguous in
//     the index order: not for collations with contractions or with
//     ligatures that compare like several characters; there only its lower
//     bound is used;
//   - numbers are rounded outward to the column's type, and a bound that
//     cannot be stored gives way to the column's extreme value.
//
// Locks: choosing an index may create a temporary index, which writes to the
// table. So the caller chooses first, without holding the table's read
// lock, and takes the read lock for the walk afterwards. Choice reads only
// the condition tree and the index definitions, never records; bounds are
// calculated from constants.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/cond/cond_evaluate.h"
#include "engine/cond/cond_field_rating.h"
#include "engine/index/index_columns.h"
#include "engine/index/sort_def.h"

namespace kestrel {

// Record numbers of the two range items: the lower item sorts before and
// the upper item after every record with the same key parts. The lower item
// is a search key (record number 0), so that no stored item ever compares
// equal to it: a prefix pattern in it equals many keys, and a tree search
// that met record 1 among them would start the walk there and pass over
// the items before it.
inline constexpr int32_t kRangeLowerRecordNo = 0;
inline constexpr int32_t kRangeUpperRecordNo = 2147483647;
// Weight of the first index level in a score; halved for each further level.
inline constexpr int kFirstLevelWeight = 100;
// Levels of the ideal definition of a temporary index.
inline constexpr int kIdealLevelCount = 2;

// The table side of index choice. The table object implements it.
class ITdbIndexChoiceTable {
 public:
  virtual ~ITdbIndexChoiceTable() = default;

  // The table's columns as the index layer sees them (level, record size,
  // positions, collations).
  virtual const TTdbIndexTable& IndexTable() const = 0;
  // The highest index number in use; indexes are numbered from 0 and some
  // numbers may hold none. -1 without indexes.
  virtual int LastIndexNo() const = 0;
  // The definition of index `indexNo`, opening it on first use; nullptr
  // when the number holds no index or the index cannot be opened. Never
  // throws. Called without the table's read lock.
  virtual const TTdbSortDef* OpenIndexDefinition(TTdbIndexNo indexNo) = 0;
  // Whether an index level can be made from a column of this type code.
  virtual bool CanIndexColumnType(uint8_t columnType) const = 0;
  // The session's AutoCreateIndexes setting.
  virtual bool AutoCreateIndexes() const = 0;
  // Creates, fills and registers a temporary index with the definition
  // `def` (its name is left to the table), which the table takes over.
  // Answers its number, or kNoIndex when it cannot be made (no free name or
  // number, a file error); never throws. Takes the table's write lock
  // itself, so it is called while the caller holds no read lock.
  virtual TTdbIndexNo CreateTempIndex(TTdbSortDef def) = 0;
  // Stores a range bound into column `columnNo` (1-based) of the record
  // image `record` (IndexTable().FRecordSize bytes): `value` converted to
  // the column's type and rounded outward (down with `highest`, up
  // without), or the column's extreme key value (the highest with
  // `highest`; for texts the empty prefix pattern) when `value` is null or
  // cannot be stored. Answers whether `value` was stored.
  // TCondRecordImageSource::WriteRangeBound does all this.
  virtual bool WriteRangeBound(std::span<uint8_t> record, int columnNo, const TCondValue* value,
                               bool highest) const = 0;
};

// The bounds one index level takes (either may be unset).
struct TTdbLevelBounds {
  const TTdbRatingBound* FLower = nullptr;
  const TTdbRatingBound* FUpper = nullptr;
};

// `FindBestIndex`: sorts `ratings` by rating, highest first (equal ratings
// keep their order), scores every index that can be opened and answers the
// best one whose score exceeds half the ideal definition's score; the first
// of equal scores wins. When none does and the table allows it, a temporary
// index with the ideal definition is made and answered. kNoIndex without
// ratings, without a usable index, or when the temporary index cannot be
// made. `indexReverse` tells that the chosen index begins with a descending
// level. Never throws.
TTdbIndexNo FindBestIndex(ITdbIndexChoiceTable& table, std::vector<TTdbFieldRating>& ratings, bool& indexReverse);

// The ideal definition for the sorted ratings: ascending levels for the
// first kIdealLevelCount rated columns whose type can be indexed, each with
// the column's type code and full size (no levels when none can be).
TTdbSortDef IdealIndexDefinition(const ITdbIndexChoiceTable& table, const std::vector<TTdbFieldRating>& ratings);

// The score of an index definition against the ratings: weight 100 on the
// first level, halved for each further level, times the rating of the
// level's column, up to the first level whose column has no rating.
// `reverse` is set when the first level is descending; a descending level
// after an ascending first level scores 0, as does a calculated index.
int ScoreIndexDefinition(const TTdbSortDef& def, const std::vector<TTdbFieldRating>& ratings, bool& reverse);

// `CalculateIndexBounds`: the bounds of the levels of `def` that bound the
// walk (see the header comment), in level order; a descending level takes
// the column's upper bound as its lower bound and the reverse. Levels after
// the result's size take extreme values.
std::vector<TTdbLevelBounds> CalculateIndexBounds(const TTdbIndexTable& table, const TTdbSortDef& def,
                                                  const std::vector<TTdbFieldRating>& ratings);

// `CalculateIndexInfo`: the lower (`upper` false) or upper range item of
// index `def` into `item` (the definition's item size), with record number
// `recNo`. Bound expressions are calculated in `context`. Throws the
// evaluation errors of the bounds (43 overflow, 161 a parameter without a
// value, ...).
void CalculateIndexInfo(const ITdbIndexChoiceTable& table, const TTdbSortDef& def, bool upper, int32_t recNo,
                        const std::vector<TTdbLevelBounds>& levels, const TCondEvalContext& context,
                        std::vector<uint8_t>& item);

}  // namespace kestrel
