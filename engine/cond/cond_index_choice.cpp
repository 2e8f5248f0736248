// Index choice: scoring indexes and building range items (see
// cond_index_choice.h).
#include "engine/cond/cond_index_choice.h"

#include <algorithm>

#include "engine/cond/cond_index_terms.h"
#include "engine/cond/sql_condition.h"
#include "engine/index/index_key.h"

namespace kestrel {
namespace {

// First table level whose definitions with strings are variable-size.
constexpr int kFirstVarSizeLevel = 6;

const TTdbFieldRating* RatingOf(const std::vector<TTdbFieldRating>& ratings, int columnNo) {
  for (const TTdbFieldRating& rating : ratings)
    if (rating.FieldNo == columnNo && rating.JoinedRltnIdx == 0 && rating.Rating != trvNone) return &rating;
  return nullptr;
}

// Whether the texts that begin with a prefix lie together in the column's
// index order, so that a prefix pattern can end the range.
bool PrefixIsContiguous(const TTdbIndexTable& table, int columnNo) {
  const TTdbIndexColumn* column = table.Column(columnNo);
  const TTdbCollation& collation = column && column->FCollation ? *column->FCollation : StandardCollation();
  return !collation.HasContractions() && !collation.HasLigatures(collation.Options());
}

// The value a bound stands for; false when it gives none.
bool BoundValue(const TTdbRatingBound& bound, const TCondEvalContext& context, TCondValue& value) {
  const TCondValue& calculated = CalculateExpression(*bound.FExpression, context);
  switch (bound.FKind) {
    case tbkValue: value = calculated; return true;
    case tbkLikeLower:
    case tbkLikeUpper:
      if (calculated.FKind != cvkString) return false;
      value = TCondValue::String(bound.FKind == tbkLikeLower
                                     ? LikeLowerBound(calculated.FString, bound.FHasEscape, bound.FEscape)
                                     : LikeUpperBound(calculated.FString, bound.FHasEscape, bound.FEscape,
                                                      bound.FMaxLength));
      return true;
  }
  return false;
}

}  // namespace

TTdbSortDef IdealIndexDefinition(const ITdbIndexChoiceTable& table, const std::vector<TTdbFieldRating>& ratings) {
  const TTdbIndexTable& indexTable = table.IndexTable();
  TTdbSortDef def;
  for (const TTdbFieldRating& rating : ratings) {
    if (def.LevelCount() == kIdealLevelCount) break;
    const TTdbIndexColumn* column = indexTable.Column(rating.FieldNo);
    if (rating.Rating == trvNone || column == nullptr || !table.CanIndexColumnType(column->FColumnType)) continue;
    TTdbSortLevel level;
    level.ColumnType = column->FColumnType;
    level.ColumnNo = static_cast<uint16_t>(rating.FieldNo);
    level.Size = column->FSize;
    def.Items.push_back(level);
    if (!def.FSource.empty()) def.FSource += u",";
    def.FSource += column->FName;
    if (indexTable.FLevel >= kFirstVarSizeLevel && IsStringColumnType(column->FColumnType)) def.IsVarSize = true;
  }
  def.CalcSize(indexTable.FLevel);
  return def;
}

int ScoreIndexDefinition(const TTdbSortDef& def, const std::vector<TTdbFieldRating>& ratings, bool& reverse) {
  reverse = false;
  if (def.IsCalculated || def.Items.empty()) return 0;
  reverse = def.Items.front().Descending;
  int score = 0;
  int weight = kFirstLevelWeight;
  for (const TTdbSortLevel& level : def.Items) {
    const TTdbFieldRating* rating = RatingOf(ratings, level.ColumnNo);
    if (rating == nullptr) break;
    if (level.Descending && !reverse) return 0;
    score += weight * rating->Rating;
    weight /= 2;
  }
  return score;
}

TTdbIndexNo FindBestIndex(ITdbIndexChoiceTable& table, std::vector<TTdbFieldRating>& ratings, bool& indexReverse) {
  indexReverse = false;
  if (ratings.empty()) return kNoIndex;
  std::stable_sort(ratings.begin(), ratings.end(),
                   [](const TTdbFieldRating& a, const TTdbFieldRating& b) { return a.Rating > b.Rating; });
  TTdbSortDef ideal = IdealIndexDefinition(table, ratings);
  bool idealReverse = false;
  int bestScore = ScoreIndexDefinition(ideal, ratings, idealReverse) / 2;
  TTdbIndexNo best = kNoIndex;
  const int last = std::min(table.LastIndexNo(), kMaxIndexesPerTable);
  for (int indexNo = 0; indexNo <= last; ++indexNo) {
    const TTdbSortDef* def = table.OpenIndexDefinition(static_cast<TTdbIndexNo>(indexNo));
    if (def == nullptr) continue;
    bool reverse = false;
    const int score = ScoreIndexDefinition(*def, ratings, reverse);
    if (score > bestScore) {
      bestScore = score;
      best = static_cast<TTdbIndexNo>(indexNo);
      indexReverse = reverse;
    }
  }
  if (best != kNoIndex) return best;
  if (ideal.Items.empty() || !table.AutoCreateIndexes()) return kNoIndex;
  return table.CreateTempIndex(std::move(ideal));
}

std::vector<TTdbLevelBounds> CalculateIndexBounds(const TTdbIndexTable& table, const TTdbSortDef& def,
                                                  const std::vector<TTdbFieldRating>& ratings) {
  std::vector<TTdbLevelBounds> levels;
  if (def.IsCalculated) return levels;
  for (const TTdbSortLevel& level : def.Items) {
    const TTdbFieldRating* rating = RatingOf(ratings, level.ColumnNo);
    if (rating == nullptr) break;
    TTdbLevelBounds bounds;
    if (rating->LowerBound.IsSet()) bounds.FLower = &rating->LowerBound;
    if (rating->UpperBound.IsSet()) bounds.FUpper = &rating->UpperBound;
    if (bounds.FUpper && bounds.FUpper->FKind == tbkLikeUpper && !PrefixIsContiguous(table, level.ColumnNo))
      bounds.FUpper = nullptr;
    if (level.Descending) std::swap(bounds.FLower, bounds.FUpper);
    levels.push_back(bounds);
    if (rating->Rating != trvEqual) break;
  }
  return levels;
}

void CalculateIndexInfo(const ITdbIndexChoiceTable& table, const TTdbSortDef& def, bool upper, int32_t recNo,
                        const std::vector<TTdbLevelBounds>& levels, const TCondEvalContext& context,
                        std::vector<uint8_t>& item) {
  const TTdbIndexTable& indexTable = table.IndexTable();
  std::vector<uint8_t> record(indexTable.FRecordSize, 0);
  // Once a level takes its extreme value, the levels after it must too: an
  // extreme text equals every text, so a bound behind it would cut the
  // range in the middle.
  bool bounded = true;
  for (size_t level = 0; level < def.Items.size(); ++level) {
    const TTdbSortLevel& sortLevel = def.Items[level];
    const TTdbRatingBound* bound = nullptr;
    if (bounded && level < levels.size()) bound = upper ? levels[level].FUpper : levels[level].FLower;
    TCondValue value;
    const bool hasValue = bound != nullptr && BoundValue(*bound, context, value);
    const bool highest = upper != sortLevel.Descending;
    if (!table.WriteRangeBound(record, sortLevel.ColumnNo, hasValue ? &value : nullptr, highest)) bounded = false;
  }
  const TTdbIndexComparer comparer(def, indexTable);
  CalcIndexInfo(comparer, record.data(), recNo, item);
}

TTdbIndexNo TTdbSqlCondition::FindBestIndexAndBounds(ITdbIndexChoiceTable& table, std::vector<uint8_t>& rangeLowerBound,
                                                     std::vector<uint8_t>& rangeUpperBound) {
  if (!FSearchCondition || !FRecords) return kNoIndex;
  std::vector<TTdbFieldRating> ratings;
  CalculateFieldRatings(*FSearchCondition, ratings);
  bool indexReverse = false;
  const TTdbIndexNo indexNo = FindBestIndex(table, ratings, indexReverse);
  if (indexNo < 0) return kNoIndex;
  const TTdbSortDef* def = table.OpenIndexDefinition(indexNo);
  if (def == nullptr) return kNoIndex;
  const std::vector<TTdbLevelBounds> levels = CalculateIndexBounds(table.IndexTable(), *def, ratings);
  const TCondEvalContext context{*FRecords, FVariables, FSource, *FClock};
  CalculateIndexInfo(table, *def, false, kRangeLowerRecordNo, levels, context, rangeLowerBound);
  CalculateIndexInfo(table, *def, true, kRangeUpperRecordNo, levels, context, rangeUpperBound);
  return indexNo;
}

}  // namespace kestrel
