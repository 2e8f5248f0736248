// TTdbAccessor: raw steps in the three orders, the filtered walk on top of
// them, sequence numbers, counts, key search and the fix-ups after
// deletions and moves.
#include "engine/cursor/accessor.h"

#include <algorithm>
#include <cstdlib>

#include "engine/base/engine_error.h"
#include "engine/cond/record_image_source.h"
#include "engine/cond/sql_condition.h"
#include "engine/cursor/table_record_source.h"
#include "engine/index/btree.h"
#include "engine/index/index_file.h"
#include "engine/index/index_key.h"
#include "engine/table/base_table.h"

namespace kestrel {

TTdbAccessor::TTdbAccessor(TTdbBaseTable& table, std::u16string name)
    : FTable(table),
      FName(std::move(name)),
      FCurrentRecBuf(static_cast<std::size_t>(table.RecordSize())),
      FRecordSource(NewTableRecordSource(table)) {
  FRecordSource->SetRecord(FCurrentRecBuf);
  FTable.Listeners().AddAccessor(this);
}

TTdbAccessor::~TTdbAccessor() { FTable.Listeners().RemoveAccessor(this); }

// --- Order, filter, range ---------------------------------------------------

void TTdbAccessor::SetAccess(TTdbAccessType type, int indexNo, bool reverse) {
  ClearRange();
  if (type == tatIndex) {
    FTable.CheckIndexOpen(indexNo);
    FIndexNo = indexNo;
  } else {
    FIndexNo = -1;
  }
  FAccessType = type;
  FReverse = reverse;
  FCurrentSequenceNo = kSequenceUnknown;
  FBookmarkIndex = -1;
  if (FCurrentRecordNo <= 0 || FRecordDeleted) {
    if (FRecordDeleted) FCurrentRecordNo = kBeforeFirst;
    FRecordDeleted = false;
    return;
  }
  if (type == tatIndex) {
    CalcCurrentIndexInfo();
  } else if (type == tatBookmarks && FBookmarks.Find(FCurrentRecordNo) < 0) {
    const std::int32_t first = FBookmarks.FindFirst();
    FCurrentRecordNo = first < 0 ? kBeforeFirst : FBookmarks.GetItem(first);
    FBookmarkIndex = first;
    FCurrentRecBufUpdated = false;
  }
}

std::unique_ptr<TTdbSqlCondition> TTdbAccessor::ExchangeFilter(std::unique_ptr<TTdbSqlCondition> filter) {
  std::swap(FFilter, filter);
  FCurrentSequenceNo = kSequenceUnknown;
  return filter;
}

void TTdbAccessor::SetRange(std::vector<std::uint8_t> lower, std::vector<std::uint8_t> upper) {
  FRangeLower = std::move(lower);
  FRangeUpper = std::move(upper);
  FCurrentSequenceNo = kSequenceUnknown;
}

void TTdbAccessor::ClearRange() {
  FRangeLower.clear();
  FRangeUpper.clear();
}

void TTdbAccessor::Reset() {
  ClearRange();
  FAccessType = tatRecordNo;
  FIndexNo = -1;
  FReverse = false;
  FFilter.reset();
  FBookmarks.Clear();
  FCurrentRecordNo = kBeforeFirst;
  FCurrentSequenceNo = kSequenceUnknown;
  FCurrentRecBufUpdated = false;
  FBookmarkIndex = -1;
  FRecordDeleted = false;
}

// --- Raw steps ----------------------------------------------------------------

bool TTdbAccessor::AboveUpper(const std::vector<std::uint8_t>& item) {
  return !FRangeUpper.empty() &&
         FTable.GetIndexFile(FIndexNo).Comparer().Compare(item.data(), FRangeUpper.data()) > 0;
}

bool TTdbAccessor::BelowLower(const std::vector<std::uint8_t>& item) {
  return !FRangeLower.empty() &&
         FTable.GetIndexFile(FIndexNo).Comparer().Compare(item.data(), FRangeLower.data()) < 0;
}

bool TTdbAccessor::NatFirst(TStep& step) {
  switch (FAccessType) {
    case tatRecordNo:
      step.RecordNo = FTable.GetFirstRecordNo();
      return step.RecordNo > 0;
    case tatBookmarks:
      step.BookmarkIndex = FBookmarks.FindFirst();
      if (step.BookmarkIndex < 0) return false;
      step.RecordNo = FBookmarks.GetItem(step.BookmarkIndex);
      return true;
    case tatIndex: {
      TTdbIndexFile& file = FTable.GetIndexFile(FIndexNo);
      int result;
      if (FRangeLower.empty()) {
        result = file.Erster_Index(step.IndexInfo);
      } else {
        step.IndexInfo = FRangeLower;
        result = file.Suche_Index(step.IndexInfo);
      }
      if (result != ttrFound || AboveUpper(step.IndexInfo)) return false;
      step.RecordNo = ItemRecordNo(step.IndexInfo.data());
      return true;
    }
    case tatNone:
      break;
  }
  return false;
}

bool TTdbAccessor::NatLast(TStep& step) {
  switch (FAccessType) {
    case tatRecordNo:
      step.RecordNo = FTable.GetLastRecordNo();
      return step.RecordNo > 0;
    case tatBookmarks:
      step.BookmarkIndex = FBookmarks.FindLast();
      if (step.BookmarkIndex < 0) return false;
      step.RecordNo = FBookmarks.GetItem(step.BookmarkIndex);
      return true;
    case tatIndex: {
      TTdbIndexFile& file = FTable.GetIndexFile(FIndexNo);
      int result;
      if (FRangeUpper.empty()) {
        result = file.Letzter_Index(step.IndexInfo);
      } else {
        step.IndexInfo = FRangeUpper;
        result = file.Suche_Index(step.IndexInfo);
        if (result == ttrFound) {
          if (AboveUpper(step.IndexInfo)) result = file.Vorheriger_Index(step.IndexInfo);
        } else if (result == ttrNone) {
          // Nothing lies at or above the upper bound: the last item is the
          // candidate, still to be checked against the lower bound.
          result = file.Letzter_Index(step.IndexInfo);
        }
      }
      if (result != ttrFound || AboveUpper(step.IndexInfo) || BelowLower(step.IndexInfo)) return false;
      step.RecordNo = ItemRecordNo(step.IndexInfo.data());
      return true;
    }
    case tatNone:
      break;
  }
  return false;
}

std::int32_t TTdbAccessor::CurrentBookmarkIndex() {
  // A deleted record's slot may lie past the list's trimmed end; steps
  // from there still find the right neighbours.
  if (FRecordDeleted) return FBookmarkIndex;
  if (FBookmarkIndex >= 0 && FBookmarkIndex < FBookmarks.Size() &&
      FBookmarks.GetItem(FBookmarkIndex) == FCurrentRecordNo)
    return FBookmarkIndex;
  return FBookmarks.Find(FCurrentRecordNo);
}

bool TTdbAccessor::NatNext(TStep& step) {
  switch (FAccessType) {
    case tatRecordNo:
      // Record ids: the next one after the current number, there or not.
      if (FTable.StableRecordNumbers()) {
        step.RecordNo = FTable.GetNextRecordNo(FCurrentRecordNo);
        return step.RecordNo > 0;
      }
      // A deleted record's slot holds the record moved into it, which is next.
      step.RecordNo = FRecordDeleted ? FCurrentRecordNo : FCurrentRecordNo + 1;
      return step.RecordNo <= FTable.RecordCount();
    case tatBookmarks:
      step.BookmarkIndex = FBookmarks.FindNext(CurrentBookmarkIndex());
      if (step.BookmarkIndex < 0) return false;
      step.RecordNo = FBookmarks.GetItem(step.BookmarkIndex);
      return true;
    case tatIndex: {
      TTdbIndexFile& file = FTable.GetIndexFile(FIndexNo);
      step.IndexInfo = FCurrentIndexInfo;
      int result = file.Naechster_Index(step.IndexInfo);
      if (result == ttrNotInTree) {
        // The item left the tree (key changed or record deleted): go on with
        // the first item not below it.
        step.IndexInfo = FCurrentIndexInfo;
        result = file.Suche_Index(step.IndexInfo);
      }
      if (result != ttrFound || AboveUpper(step.IndexInfo)) return false;
      step.RecordNo = ItemRecordNo(step.IndexInfo.data());
      return true;
    }
    case tatNone:
      break;
  }
  return false;
}

bool TTdbAccessor::NatPrior(TStep& step) {
  switch (FAccessType) {
    case tatRecordNo:
      step.RecordNo = FTable.StableRecordNumbers() ? FTable.GetPrevRecordNo(FCurrentRecordNo)
                                                   : std::min(FCurrentRecordNo - 1, FTable.RecordCount());
      return step.RecordNo >= 1;
    case tatBookmarks: {
      const std::int32_t index = CurrentBookmarkIndex();
      step.BookmarkIndex = FBookmarks.FindPrev(index < 0 ? 0 : index);
      if (step.BookmarkIndex < 0) return false;
      step.RecordNo = FBookmarks.GetItem(step.BookmarkIndex);
      return true;
    }
    case tatIndex: {
      TTdbIndexFile& file = FTable.GetIndexFile(FIndexNo);
      step.IndexInfo = FCurrentIndexInfo;
      int result = file.Vorheriger_Index(step.IndexInfo);
      if (result == ttrNotInTree) {
        // The item before the first item not below the vanished one.
        step.IndexInfo = FCurrentIndexInfo;
        result = file.Suche_Index(step.IndexInfo);
        if (result == ttrFound)
          result = file.Vorheriger_Index(step.IndexInfo);
        else if (result == ttrNone)
          result = file.Letzter_Index(step.IndexInfo);
      }
      if (result != ttrFound || BelowLower(step.IndexInfo)) return false;
      step.RecordNo = ItemRecordNo(step.IndexInfo.data());
      return true;
    }
    case tatNone:
      break;
  }
  return false;
}

void TTdbAccessor::Commit(TStep& step) {
  FCurrentRecordNo = step.RecordNo;
  FBookmarkIndex = step.BookmarkIndex;
  if (FAccessType == tatIndex) FCurrentIndexInfo = std::move(step.IndexInfo);
  FCurrentRecBufUpdated = false;
  FRecordDeleted = false;
}

int TTdbAccessor::StepFirst() {
  TStep step;
  if (!(FReverse ? NatLast(step) : NatFirst(step))) return kAccessorEnd;
  Commit(step);
  return 0;
}

int TTdbAccessor::StepLast() {
  TStep step;
  if (!(FReverse ? NatFirst(step) : NatLast(step))) return kAccessorEnd;
  Commit(step);
  return 0;
}

int TTdbAccessor::StepNext() {
  if (FCurrentRecordNo == kBeforeFirst) return StepFirst();
  if (FCurrentRecordNo == kAfterLast) return kAccessorEnd;
  TStep step;
  if (!(FReverse ? NatPrior(step) : NatNext(step))) return kAccessorEnd;
  Commit(step);
  return 0;
}

int TTdbAccessor::StepPrior() {
  if (FCurrentRecordNo == kAfterLast) return StepLast();
  if (FCurrentRecordNo == kBeforeFirst) return kAccessorEnd;
  TStep step;
  if (!(FReverse ? NatNext(step) : NatPrior(step))) return kAccessorEnd;
  Commit(step);
  return 0;
}

// --- Filtered walk --------------------------------------------------------------

void TTdbAccessor::ReadCurrent() {
  if (FCurrentRecBufUpdated) return;
  if (FCurrentRecordNo < 1 || FRecordDeleted) throw ETdbEngine(tdbErrRecordNotFound);
  FTable.ReadRecord(FCurrentRecordNo, FCurrentRecBuf);
  FCurrentRecBufUpdated = true;
}

std::span<const std::uint8_t> TTdbAccessor::GetRecord() {
  ReadCurrent();
  return FCurrentRecBuf;
}

void TTdbAccessor::CalcCurrentIndexInfo() {
  ReadCurrent();
  FTable.CalcIndexInfo(FIndexNo, FCurrentRecBuf, FCurrentRecordNo, FCurrentIndexInfo);
}

void TTdbAccessor::RecordRewritten() {
  FCurrentRecBufUpdated = false;
  FCurrentSequenceNo = kSequenceUnknown;
  if (FAccessType == tatIndex && FCurrentRecordNo > 0 && !FRecordDeleted) CalcCurrentIndexInfo();
}

bool TTdbAccessor::FilterAccepts() {
  if (!FFilter) return true;
  ReadCurrent();
  return FFilter->Evaluate();
}

int TTdbAccessor::First() {
  TTdbTableLock read(FTable, tltRead);
  int result = StepFirst();
  while (result == 0 && !FilterAccepts()) result = StepNext();
  if (result != 0) FCurrentRecordNo = kAfterLast;
  FCurrentSequenceNo = result == 0 ? 1 : kSequenceUnknown;
  return result;
}

int TTdbAccessor::Last() {
  TTdbTableLock read(FTable, tltRead);
  int result = StepLast();
  while (result == 0 && !FilterAccepts()) result = StepPrior();
  if (result != 0) FCurrentRecordNo = kBeforeFirst;
  // The count is cheap only for an order without filter and range.
  FCurrentSequenceNo = result == 0 && !FFilter && !HasRange() ? GetRecordCount() : kSequenceUnknown;
  return result;
}

int TTdbAccessor::Next() {
  TTdbTableLock read(FTable, tltRead);
  const std::int32_t sequenceNo = FCurrentRecordNo == kBeforeFirst ? 0
                                  : FRecordDeleted                ? kSequenceUnknown
                                                                  : FCurrentSequenceNo;
  int result;
  do result = StepNext();
  while (result == 0 && !FilterAccepts());
  if (result != 0) {
    FCurrentRecordNo = kAfterLast;
    FRecordDeleted = false;
    FCurrentSequenceNo = kSequenceUnknown;
    return result;
  }
  FCurrentSequenceNo = sequenceNo >= 0 ? sequenceNo + 1 : kSequenceUnknown;
  return result;
}

int TTdbAccessor::Prior() {
  TTdbTableLock read(FTable, tltRead);
  const TPosition saved = SavePosition();
  const std::int32_t sequenceNo =
      FRecordDeleted || FCurrentRecordNo == kAfterLast ? kSequenceUnknown : FCurrentSequenceNo;
  int result;
  do result = StepPrior();
  while (result == 0 && !FilterAccepts());
  if (result != 0) {
    RestorePosition(saved);
    return result;
  }
  FCurrentSequenceNo = sequenceNo > 1 ? sequenceNo - 1 : kSequenceUnknown;
  return result;
}

int TTdbAccessor::MoveBy(std::int32_t delta) {
  TTdbTableLock read(FTable, tltRead);
  for (; delta > 0; --delta)
    if (const int result = Next(); result != 0) return result;
  for (; delta < 0; ++delta)
    if (const int result = Prior(); result != 0) return result;
  if (FRecordDeleted) {
    if (Next() == 0) return 0;
    return Last();
  }
  if (FCurrentRecordNo > 0 && !FTable.HasRecord(FCurrentRecordNo)) {
    FCurrentRecordNo = kBeforeFirst;
    return kAccessorEnd;
  }
  if (FCurrentRecordNo <= 0) return kAccessorEnd;
  if (IsValidRecord()) return 0;
  if (Next() == 0) return 0;
  return Last();
}

int TTdbAccessor::GotoRecord(std::int32_t recNo) {
  if (recNo < kBeforeFirst || (recNo > 0 && !FTable.HasRecord(recNo))) return kAccessorEnd;
  if (recNo == FCurrentRecordNo && !FRecordDeleted) return 0;
  FRecordDeleted = false;
  FCurrentRecordNo = recNo;
  FCurrentRecBufUpdated = false;
  FBookmarkIndex = -1;
  FCurrentSequenceNo = recNo == kAfterLast ? kSequenceUndetermined : kSequenceUnknown;
  if (recNo > 0 && FAccessType == tatIndex) CalcCurrentIndexInfo();
  return 0;
}

bool TTdbAccessor::IsValidRecord() {
  if (FCurrentRecordNo < 1 || FRecordDeleted || !FTable.HasRecord(FCurrentRecordNo)) return false;
  if (FAccessType == tatBookmarks) {
    FBookmarkIndex = CurrentBookmarkIndex();
    if (FBookmarkIndex < 0) return false;
  }
  if (FAccessType == tatIndex && (AboveUpper(FCurrentIndexInfo) || BelowLower(FCurrentIndexInfo))) return false;
  return FilterAccepts();
}

// --- Sequence numbers and counts ------------------------------------------------

std::int32_t TTdbAccessor::GetSequenceNo() {
  if (FCurrentRecordNo < 1 || FRecordDeleted) return 0;
  if (FCurrentSequenceNo > 0) return FCurrentSequenceNo;
  std::int32_t sequenceNo = kSequenceUndetermined;
  // Record ids have gaps: their positions are counted like a filter's.
  if (FFilter || HasRange() || (FAccessType == tatRecordNo && FTable.StableRecordNumbers())) {
    // Positions among the records the filter and the range let through.
    if (FTable.RecordCount() < kMaxCountedRecords && IsValidRecord()) {
      TTdbTableLock read(FTable, tltRead);
      const TPosition saved = SavePosition();
      std::int32_t position = 0;
      for (int result = First(); result == 0; result = Next()) {
        ++position;
        if (FCurrentRecordNo == saved.RecordNo) {
          sequenceNo = position;
          break;
        }
      }
      RestorePosition(saved);
    }
    FCurrentSequenceNo = sequenceNo;
    return sequenceNo;
  }
  switch (FAccessType) {
    case tatRecordNo:
      sequenceNo = FReverse ? FTable.RecordCount() - FCurrentRecordNo + 1 : FCurrentRecordNo;
      break;
    case tatBookmarks: {
      const std::int32_t index = CurrentBookmarkIndex();
      if (index < 0) break;
      FBookmarkIndex = index;
      const std::int32_t position = FBookmarks.LiveBefore(index) + 1;
      sequenceNo = FReverse ? FBookmarks.Count() - position + 1 : position;
      break;
    }
    case tatIndex: {
      TTdbTableLock read(FTable, tltRead);
      TTdbIndexFile& file = FTable.GetIndexFile(FIndexNo);
      const std::int64_t position = file.CalcItemSequenceNo(FCurrentIndexInfo.data());
      if (position < 1) break;
      sequenceNo = static_cast<std::int32_t>(FReverse ? file.GetItemCount() - position + 1 : position);
      break;
    }
    case tatNone:
      break;
  }
  FCurrentSequenceNo = sequenceNo;
  return sequenceNo;
}

int TTdbAccessor::CountWalk() {
  const TPosition saved = SavePosition();
  int count = 0;
  try {
    for (int result = First(); result == 0; result = Next()) ++count;
  } catch (...) {
    RestorePosition(saved);
    throw;
  }
  RestorePosition(saved);
  return count;
}

std::int32_t TTdbAccessor::GetRecordCount() {
  TTdbTableLock read(FTable, tltRead);
  if (!FFilter && !HasRange()) {
    switch (FAccessType) {
      case tatRecordNo:
        return FTable.RecordCount();
      case tatBookmarks:
        return FBookmarks.Count();
      case tatIndex:
        return static_cast<std::int32_t>(FTable.GetIndexFile(FIndexNo).GetItemCount());
      case tatNone:
        return 0;
    }
  }
  if (FFilter && FTable.RecordCount() >= kMaxCountedRecords) return kRecordCountUnknown;
  if (!FFilter && FAccessType == tatIndex && FTable.RecordCount() >= kMaxCountedRecords)
    return kRecordCountUnknown;
  return CountWalk();
}

int TTdbAccessor::GotoSequenceNo(std::int32_t sequenceNo) {
  TTdbTableLock read(FTable, tltRead);
  switch (FAccessType) {
    case tatRecordNo: {
      if (FTable.StableRecordNumbers()) break;
      const std::int32_t recNo = FReverse ? FTable.RecordCount() - sequenceNo + 1 : sequenceNo;
      if (recNo < 1 || GotoRecord(recNo) != 0) return kAccessorEnd;
      FCurrentSequenceNo = sequenceNo;
      return 0;
    }
    case tatBookmarks: {
      const std::int32_t n = FReverse ? FBookmarks.Count() - sequenceNo + 1 : sequenceNo;
      const std::int32_t index = FBookmarks.IndexOfLive(n);
      if (index < 0) return kAccessorEnd;
      GotoRecord(FBookmarks.GetItem(index));
      FBookmarkIndex = index;
      FCurrentSequenceNo = sequenceNo;
      return 0;
    }
    case tatIndex:
      break;
    case tatNone:
      return kAccessorEnd;
  }
  if (sequenceNo <= 1) return First();
  const std::int32_t count = GetRecordCount();
  // Only a known count may send a position past it to the last record.
  if (count >= 0 && sequenceNo >= count) return Last();
  const std::int32_t fromFirst = sequenceNo - 1;
  const std::int32_t current = GetSequenceNo();
  const std::int32_t fromCurrent = current > 0 ? std::abs(sequenceNo - current) : fromFirst + 1;
  const std::int32_t fromLast = count >= 0 ? count - sequenceNo : fromFirst + 1;
  if (fromCurrent <= fromFirst && fromCurrent <= fromLast) return MoveBy(sequenceNo - current);
  if (fromLast < fromFirst) {
    if (const int result = Last(); result != 0) return result;
    return MoveBy(-fromLast);
  }
  if (const int result = First(); result != 0) return result;
  return MoveBy(fromFirst);
}

// --- Key search -------------------------------------------------------------------

std::int32_t TTdbAccessor::LocateRecord2(int indexNo, const std::vector<std::uint8_t>& searchItem, int itemCount,
                                         bool& exact) {
  TTdbTableLock read(FTable, tltRead);
  const TPosition saved = SavePosition();
  try {
    TTdbIndexFile& file = FTable.GetIndexFile(indexNo);
    const TTdbIndexComparer& comparer = file.Comparer();
    std::vector<std::uint8_t> item = searchItem;
    int result = file.Suche_Index(item);
    while (result == ttrFound) {
      const bool matches = comparer.FindSortKeyDiff(item.data(), searchItem.data()) >= itemCount;
      if (exact && !matches) break;
      const std::int32_t recNo = ItemRecordNo(item.data());
      FRecordDeleted = false;
      FCurrentRecordNo = kBeforeFirst;  // forces GotoRecord to take the record anew
      if (GotoRecord(recNo) == 0 && IsValidRecord()) {
        if (!exact) exact = matches;
        return recNo;
      }
      result = file.Naechster_Index(item);
      if (result == ttrNotInTree) result = file.Suche_Index(item);
    }
  } catch (...) {
    RestorePosition(saved);
    throw;
  }
  RestorePosition(saved);
  return 0;
}

// --- Positions --------------------------------------------------------------------

TTdbAccessor::TPosition TTdbAccessor::SavePosition() const {
  return {FCurrentRecordNo, FCurrentSequenceNo, FCurrentIndexInfo, FBookmarkIndex, FRecordDeleted};
}

void TTdbAccessor::RestorePosition(const TPosition& position) {
  FCurrentRecordNo = position.RecordNo;
  FCurrentSequenceNo = position.SequenceNo;
  FCurrentIndexInfo = position.IndexInfo;
  FBookmarkIndex = position.BookmarkIndex;
  FRecordDeleted = position.RecordDeleted;
  FCurrentRecBufUpdated = false;
}

// --- Notifications ------------------------------------------------------------------

void TTdbAccessor::RecordDeleted(std::int32_t recNo, std::int32_t movedRecNo) {
  const std::int32_t slot = FBookmarks.Delete(recNo);
  if (movedRecNo > 0) FBookmarks.Replace(movedRecNo, recNo);
  FCurrentSequenceNo = kSequenceUnknown;
  if (FCurrentRecordNo == recNo && !FRecordDeleted) {
    // Stand where the record was: its old item and list slot lead on.
    FRecordDeleted = true;
    FCurrentRecBufUpdated = false;
    if (FAccessType == tatBookmarks) FBookmarkIndex = slot;
  } else if (movedRecNo > 0 && FCurrentRecordNo == movedRecNo) {
    FCurrentRecordNo = recNo;
    if (FAccessType == tatIndex && !FCurrentIndexInfo.empty())
      SetItemRecordNo(FCurrentIndexInfo.data(), recNo);
  } else if (FRecordDeleted && movedRecNo > 0 && FCurrentRecordNo == movedRecNo) {
    FCurrentRecordNo = recNo;
  }
  if (FOnRecordDeleted) FOnRecordDeleted(recNo, movedRecNo);
}

void TTdbAccessor::RecordChanged(std::int32_t recNo) {
  if (recNo == FCurrentRecordNo) FCurrentRecBufUpdated = false;
  FCurrentSequenceNo = kSequenceUnknown;
  if (FOnRelationChanged) FOnRelationChanged();
}

void TTdbAccessor::RelationChanged() {
  FCurrentSequenceNo = kSequenceUnknown;
  if (FOnRelationChanged) FOnRelationChanged();
}

void TTdbAccessor::RelationEmptied() {
  FBookmarks.Clear();
  FCurrentRecordNo = kBeforeFirst;
  FCurrentSequenceNo = kSequenceUnknown;
  FCurrentRecBufUpdated = false;
  FRecordDeleted = false;
  FBookmarkIndex = -1;
  if (FOnRelationEmptied) FOnRelationEmptied();
}

void TTdbAccessor::CanDropIndex(int indexNo, bool& allowed) {
  if (FAccessType == tatIndex && FIndexNo == indexNo) allowed = false;
}

void TTdbAccessor::IndexRemoved(int indexNo) {
  if (FAccessType == tatIndex && FIndexNo == indexNo) SetAccess(tatRecordNo, -1, FReverse);
}

}  // namespace kestrel
