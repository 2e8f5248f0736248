// TTdbCursor: the selection modes of SetSQLFilter, which change the handle's
// user bookmark list (its selection) with a condition instead of replacing
// it. The list is walked in the cursor's sort order once activated, like a
// static filter's list, but it is a set of chosen records: it is not
// evaluated again when records change.
#include <unordered_set>

#include "engine/cond/sql_condition.h"
#include "engine/cursor/accessor.h"
#include "engine/cursor/cursor.h"
#include "engine/table/base_table.h"

namespace kestrel {

void TTdbCursor::ApplySelection(std::int32_t kind, TTdbSqlCondition& condition) {
  // A user filter that kept only a condition (incremental) selected nothing yet.
  if (FUserFilterKind != tfkStatic && FUserFilterKind != tfkBookmarks) FUserBookmarks.Clear();
  FUserCondition.reset();
  std::vector<std::int32_t> selected = FUserBookmarks.Items();
  if (kind == kFilterModeSelectKeep) {
    std::erase_if(selected, [&](std::int32_t recNo) {
      FTable.ReadRecord(recNo, FFilterRecord);
      return !condition.Evaluate();
    });
  } else {
    std::vector<std::int32_t> satisfying;
    if (kind == kFilterModeSelectAddVisible) {
      CollectVisible(condition, satisfying);
    } else {
      TTdbBookmarkList found;
      EvaluateStatic(condition, found);
      satisfying = found.Items();
    }
    std::unordered_set<std::int32_t> present(selected.begin(), selected.end());
    for (std::int32_t recNo : satisfying)
      if (present.insert(recNo).second) selected.push_back(recNo);
  }
  FUserBookmarks.Assign(selected);
  SortBySortOrder(FUserBookmarks);
  FUserFilterKind = tfkBookmarks;
}

void TTdbCursor::CollectVisible(TTdbSqlCondition& condition, std::vector<std::int32_t>& list) {
  const TTdbAccessor::TPosition saved = FAccessor->SavePosition();
  try {
    for (int result = FAccessor->First(); result == 0; result = FAccessor->Next()) {
      const std::span<const std::uint8_t> record = FAccessor->GetRecord();
      std::copy(record.begin(), record.end(), FFilterRecord.begin());
      if (condition.Evaluate()) list.push_back(FAccessor->RecordNo());
    }
  } catch (...) {
    FAccessor->RestorePosition(saved);
    throw;
  }
  FAccessor->RestorePosition(saved);
}

}  // namespace kestrel
