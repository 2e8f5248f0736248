// TTdbCursor: navigation, key search, filters, record changes and memo and
// blob values of one table handle.
#include "engine/cursor/cursor.h"

#include <algorithm>
#include <cstring>

#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cond/cond_index_choice.h"
#include "engine/cond/sql_condition.h"
#include "engine/cond/sql_errors.h"
#include "engine/cursor/accessor.h"
#include "engine/cursor/catalog_table_object.h"
#include "engine/cursor/condition_error.h"
#include "engine/cursor/index_choice_table.h"
#include "engine/cursor/table_record_source.h"
#include "engine/index/btree.h"
#include "engine/index/index_file.h"
#include "engine/index/index_key.h"
#include "engine/session/services.h"
#include "engine/table/base_table.h"

namespace kestrel {

namespace {

// Option bits of a filter mode.
constexpr std::int32_t kModeCaseInsensitive = 0x10;
constexpr std::int32_t kModeUseJokers = 0x20;
constexpr std::int32_t kModeLocalFormats = 0x40;

TTdbPrepareOptions PrepareOptions(std::int32_t mode) {
  TTdbPrepareOptions options = 0;
  if (mode & kModeCaseInsensitive) options |= tpoCaseInsensitive;
  if (mode & kModeUseJokers) options |= tpoUseJokers;
  if (mode & kModeLocalFormats) options |= tpoLocalFormats | tpoNativeJokers;
  return options;
}

bool IsBlockType(TTdbColumnType type) { return type == tctMemo || type == tctWideMemo || type == tctBlob; }

}  // namespace

TTdbCursor::TTdbCursor(TTdbServices& services, TTdbCatalogTableObject& table, std::int16_t tableHdl,
                       std::u16string name)
    : FServices(services),
      FCatalogTable(table),
      FTable(table.Table()),
      FTableHdl(tableHdl),
      FName(std::move(name)),
      FFilterRecord(static_cast<std::size_t>(FTable.RecordSize())) {
  FAccessor = std::make_unique<TTdbAccessor>(FTable, FName);
  FFilterSource = NewTableRecordSource(FTable);
  FFilterSource->SetRecord(FFilterRecord);
  FAccessor->FOnRecordDeleted = [this](std::int32_t deleted, std::int32_t moved) { OnRecordDeleted(deleted, moved); };
  FAccessor->FOnRelationChanged = [this] { FDirtyFlag = true; };
  FAccessor->FOnRelationEmptied = [this] {
    FUserBookmarks.Clear();
    FDirtyFlag = true;
  };
}

TTdbCursor::~TTdbCursor() { EndEdit(); }

// --- Columns ------------------------------------------------------------------------

std::int32_t TTdbCursor::GetRecordSize() { return FTable.RecordSize(); }

std::int32_t TTdbCursor::GetNumFields() { return FTable.ColumnCount(); }

const TTdbColumnDef& TTdbCursor::Column(std::int32_t fieldNo) {
  if (fieldNo < 1 || fieldNo > FTable.ColumnCount())
    throw ETdbEngine(tdbErrDataFieldNotFound, std::to_string(fieldNo));
  return FTable.Columns()[static_cast<std::size_t>(fieldNo) - 1];
}

TTdbColumnSpec TTdbCursor::GetFieldSpec(std::int32_t fieldNo) {
  const TTdbColumnDef& column = Column(fieldNo);
  TTdbColumnSpec spec;
  spec.FNo = fieldNo;
  spec.FName = column.Name;
  spec.FOptions = static_cast<std::uint8_t>(column.Options);
  spec.FRangeOrFormula = column.Calculation;
  spec.FSelectOrLink = column.LinkedTable;
  // An enumeration's value names, one a line, as the table header keeps them.
  for (const std::u16string& name : column.DataType.EnumNames())
    spec.FSelectOrLink += (spec.FSelectOrLink.empty() ? u"" : u"\n") + name;
  spec.FFldType = static_cast<int>(column.DataType.ColumnType());
  const TTdbColumnType type = column.DataType.ColumnType();
  spec.FParam = type == tctString || type == tctChar || type == tctWideString ? column.DataType.MaxLength()
                : type == tctFloat                                             ? column.DataType.Scale()
                                                                               : column.DataType.Precision();
  spec.FInternalPosition = column.Position;
  spec.FInternalSize = column.Size;
  return spec;
}

std::int32_t TTdbCursor::GetDataType(std::int32_t fieldNo) {
  return static_cast<std::int32_t>(Column(fieldNo).DataType.ColumnType());
}

std::int32_t TTdbCursor::GetRltnVersion() { return FTable.Level(); }

bool TTdbCursor::CanModify() { return !FTable.ReadOnly(); }

// --- Order and navigation -------------------------------------------------------------

std::int32_t TTdbCursor::ResultOf(int accessorResult) const {
  return accessorResult == 0 ? kResultOk : kResultRecordNotExists;
}

void TTdbCursor::ApplyAccess() {
  if (FActiveFilterKind == tfkStatic || FActiveFilterKind == tfkBookmarks)
    FAccessor->SetAccess(tatBookmarks, -1, FSortReverse);
  else if (FSortIndexNo >= 0)
    FAccessor->SetAccess(tatIndex, FSortIndexNo, FSortReverse);
  else
    FAccessor->SetAccess(tatRecordNo, -1, FSortReverse);
}

std::int32_t TTdbCursor::SetIndex(const std::u16string& indexName, bool reverse) {
  int indexNo = -1;
  if (!indexName.empty()) {
    // Taking the read lock reloads the table when another program changed
    // it, so an index another program added is found.
    TTdbTableLock read(FTable, tltRead);
    try {
      indexNo = FTable.GetIndexNo(indexName);
    } catch (const ETdbEngine& error) {
      if (error.Number() != tdbErrIndexNotFound) throw;
      return kResultIndexNotExists;
    }
    FTable.CheckIndexOpen(indexNo);
  }
  if (indexNo == FSortIndexNo && reverse == FSortReverse) return kResultOk;
  const std::int32_t current = FAccessor->RecordDeleted() ? kBeforeFirst : FAccessor->RecordNo();
  FSortIndexNo = indexNo;
  FSortReverse = reverse;
  TTdbTableLock read(FTable, tltRead);
  if (FUserFilterKind == tfkStatic || FUserFilterKind == tfkBookmarks) SortBySortOrder(FUserBookmarks);
  if (FActiveFilterKind == tfkStatic || FActiveFilterKind == tfkBookmarks) SortBySortOrder(FAccessor->Bookmarks());
  ApplyAccess();
  if (current > 0 && FAccessor->GotoRecord(current) == 0 && FAccessor->IsValidRecord()) return kResultOk;
  FAccessor->GotoRecord(kBeforeFirst);
  return kResultOk;
}

void TTdbCursor::RefreshFilters() {
  if (!FDirtyFlag) return;
  if (FUserFilterKind == tfkStatic && FUserCondition) PrepareIndexChoice(*FUserCondition);
  if (FActiveFilterKind == tfkStatic && FActiveCondition) PrepareIndexChoice(*FActiveCondition);
  TTdbTableLock read(FTable, tltRead);
  if (FUserFilterKind == tfkStatic && FUserCondition) EvaluateStatic(*FUserCondition, FUserBookmarks);
  // A selection keeps its records; changed keys only move them in the order.
  if (FUserFilterKind == tfkBookmarks) SortBySortOrder(FUserBookmarks);
  if ((FActiveFilterKind == tfkStatic && FActiveCondition) || FActiveFilterKind == tfkBookmarks) {
    const std::int32_t current = FAccessor->RecordDeleted() ? kBeforeFirst : FAccessor->RecordNo();
    if (FActiveFilterKind == tfkStatic)
      EvaluateStatic(*FActiveCondition, FAccessor->Bookmarks());
    else
      SortBySortOrder(FAccessor->Bookmarks());
    FAccessor->SetAccess(tatBookmarks, -1, FSortReverse);
    if (current <= 0 || FAccessor->GotoRecord(current) != 0 || !FAccessor->IsValidRecord())
      FAccessor->GotoRecord(kBeforeFirst);
  }
  FDirtyFlag = false;
}

std::int32_t TTdbCursor::First() {
  RefreshFilters();
  return FAccessor->First() == 0 ? 1 : kResultRecordNotExists;
}

std::int32_t TTdbCursor::Last() {
  RefreshFilters();
  return FAccessor->Last() == 0 ? 1 : kResultRecordNotExists;
}

std::int32_t TTdbCursor::MoveBy(std::int32_t delta) { return ResultOf(FAccessor->MoveBy(delta)); }

std::int32_t TTdbCursor::SetRecNo(std::int32_t recNo) {
  if (recNo == 0 || recNo == kBeforeFirst) {
    FAccessor->GotoRecord(kBeforeFirst);
    return kResultOk;
  }
  if (recNo < kBeforeFirst) return kResultRecordNotExists;
  TTdbTableLock read(FTable, tltRead);
  const TTdbAccessor::TPosition saved = FAccessor->SavePosition();
  if (FAccessor->GotoRecord(recNo) == 0 && FAccessor->IsValidRecord()) return recNo;
  FAccessor->RestorePosition(saved);
  return kResultRecordNotExists;
}

std::int32_t TTdbCursor::GetRecNo() {
  if (FEditState == esAppend) return 0;
  const std::int32_t recNo = FAccessor->RecordNo();
  return recNo > 0 && !FAccessor->RecordDeleted() ? recNo : 0;
}

std::int32_t TTdbCursor::Position() const { return FAccessor->RecordNo(); }

std::int32_t TTdbCursor::GetSequenceNo() {
  const std::int32_t sequenceNo = FAccessor->GetSequenceNo();
  return sequenceNo < 0 ? 0 : sequenceNo;
}

std::int32_t TTdbCursor::SetSequenceNo(std::int32_t sequenceNo) {
  if (sequenceNo < 1) return kResultRecordNotExists;
  if (FAccessor->GotoSequenceNo(sequenceNo) != 0) return kResultRecordNotExists;
  const std::int32_t reached = FAccessor->GetSequenceNo();
  return reached > 0 ? reached : sequenceNo;
}

std::int32_t TTdbCursor::RecordCount() {
  RefreshFilters();
  return FAccessor->GetRecordCount();
}

std::int32_t TTdbCursor::Refresh(bool checkNet) {
  // Reading the files' state again tells the accessors of a change, so the
  // answer is 1 whenever the files were read again.
  if (checkNet) FTable.UpdateTable();
  const bool changed = FDirtyFlag;
  FAccessor->InvalidateRecBuf();
  RefreshFilters();
  return changed ? 1 : 0;
}

// --- Key search ---------------------------------------------------------------------------

std::int32_t TTdbCursor::LocateRec2(const std::u16string& indexName, std::span<const std::uint8_t> record,
                                    std::int32_t indexItemCount, bool& exactMatch) {
  int indexNo;
  try {
    indexNo = FTable.GetIndexNo(indexName);
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrIndexNotFound) throw;
    return kResultIndexNotExists;
  }
  TTdbIndexFile& file = FTable.GetIndexFile(indexNo);
  const int levels = file.Definition().LevelCount();
  const int itemCount = indexItemCount < 1 || indexItemCount > levels ? levels : indexItemCount;
  std::vector<std::uint8_t> item;
  FTable.CalcIndexInfo(indexNo, record, 0, item);
  return FAccessor->LocateRecord2(indexNo, item, itemCount, exactMatch);
}

// --- Filters ----------------------------------------------------------------------------------

void TTdbCursor::SortBySortOrder(TTdbBookmarkList& list) {
  if (FSortIndexNo < 0) {
    list.Sort();
    return;
  }
  std::vector<std::vector<std::uint8_t>> items;
  items.reserve(static_cast<std::size_t>(list.Count()));
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FTable.RecordSize()));
  for (std::int32_t recNo : list.Items()) {
    FTable.ReadRecord(recNo, record);
    items.emplace_back();
    FTable.CalcIndexInfo(FSortIndexNo, record, recNo, items.back());
  }
  AssignInIndexOrder(items, list);
}

void TTdbCursor::AssignInIndexOrder(std::vector<std::vector<std::uint8_t>>& items, TTdbBookmarkList& list) {
  const TTdbIndexComparer& comparer = FTable.GetIndexFile(FSortIndexNo).Comparer();
  std::sort(items.begin(), items.end(),
            [&](const auto& x, const auto& y) { return comparer.Compare(x.data(), y.data()) < 0; });
  std::vector<std::int32_t> order;
  order.reserve(items.size());
  for (const auto& item : items) order.push_back(ItemRecordNo(item.data()));
  list.Assign(order);
}

void TTdbCursor::EvaluateStatic(TTdbSqlCondition& condition, TTdbBookmarkList& list) {
  // Every record the condition can select is tested (all records, or the
  // range of the index that holds them all), so the list and the count
  // taken from it are exact whatever the table's size.
  list.Clear();
  TTdbIndexChoiceTable choice(FTable, *FFilterSource, FServices.FAutoCreateIndexes);
  std::vector<std::uint8_t> lower, upper;
  const TTdbIndexNo indexNo = condition.FindBestIndexAndBounds(choice, lower, upper);
  // A walk in the cursor's own order (record numbers without an index, or
  // the sort index's range) yields the list ready ordered. Any other walk
  // keeps the sort index's item of each selected record, taken from the
  // image just tested, so that ordering reads no record a second time.
  const bool walkInOrder = indexNo == kNoIndex ? FSortIndexNo < 0 : indexNo == FSortIndexNo;
  const bool keepItems = !walkInOrder && FSortIndexNo >= 0;
  // A walk of an index for a cursor in record-number order gathers the
  // selected records as bits, which read out in that order unsorted. Only
  // slot numbers, which never exceed the record count, are gathered so: the
  // record ids of a B+ tree table file may lie anywhere up to 2^31 and are
  // sorted as a list.
  const bool gatherBits = !walkInOrder && !keepItems && !FTable.StableRecordNumbers();
  TTdbRecordNoBits gathered(gatherBits ? FTable.RecordCount() : 0);
  const auto select = [&](std::int32_t recNo) {
    if (gatherBits)
      gathered.Add(recNo);
    else
      list.Append(recNo);
  };
  std::vector<std::vector<std::uint8_t>> items;
  auto test = [&](std::int32_t recNo) {
    FTable.ReadRecord(recNo, FFilterRecord);
    if (!condition.Evaluate()) return;
    if (keepItems) {
      items.emplace_back();
      FTable.CalcIndexInfo(FSortIndexNo, FFilterRecord, recNo, items.back());
    } else {
      select(recNo);
    }
  };
  if (indexNo == kNoIndex) {
    for (std::int32_t recNo = FTable.GetFirstRecordNo(); recNo > 0; recNo = FTable.GetNextRecordNo(recNo))
      test(recNo);
  } else {
    TTdbIndexFile& file = FTable.GetIndexFile(indexNo);
    const TTdbIndexComparer& comparer = file.Comparer();
    // Where the range decides the condition, an item that differs from both
    // range items on the first level selects its record unread; the items
    // at the ends still have their records tested. Those inner items lie
    // after `lowerEnd` (the lower item's first level, then the highest
    // values) and before `upperStart` (the upper item's first level, then
    // the lowest values). The index hands its items over a page at a time,
    // so a run that lies wholly inside costs two comparisons.
    bool inner = false;
    bool pastInner = keepItems || !condition.RangeDecides(choice, indexNo);
    std::vector<std::uint8_t> lowerEnd = lower, upperStart = upper;
    if (!pastInner) {
      CompleteIndexInfo(comparer, lowerEnd, 1, true);
      SetItemRecordNo(lowerEnd.data(), kRangeUpperRecordNo);
      CompleteIndexInfo(comparer, upperStart, 1, false);
      SetItemRecordNo(upperStart.data(), kRangeLowerRecordNo);
    }
    file.VisitRuns(lower, [&](const std::uint8_t* first, int count, std::size_t stride) {
      const auto at = [&](int k) { return first + static_cast<std::size_t>(k) * stride; };
      int k = 0;
      while (k < count) {
        if (!pastInner) {
          if (!inner) inner = comparer.Compare(at(k), lowerEnd.data()) > 0;
          if (inner) {
            // The inner items of this run: all of it, or up to the first
            // not before `upperStart`.
            int end = count;
            if (comparer.Compare(at(count - 1), upperStart.data()) >= 0) {
              end = k;
              while (end < count && comparer.Compare(at(end), upperStart.data()) < 0) ++end;
              pastInner = true;
            }
            for (; k < end; ++k) select(ItemRecordNo(at(k)));
            continue;
          }
        }
        if (comparer.Compare(at(k), upper.data()) > 0) return false;
        test(ItemRecordNo(at(k)));
        ++k;
      }
      return true;
    });
  }
  if (keepItems)
    AssignInIndexOrder(items, list);
  else if (gatherBits)
    gathered.AppendTo(list);
  else if (!walkInOrder)
    list.Sort();
}

void TTdbCursor::PrepareIndexChoice(TTdbSqlCondition& condition) noexcept {
  if (!FServices.FAutoCreateIndexes) return;
  try {
    TTdbIndexChoiceTable choice(FTable, *FFilterSource, true);
    std::vector<std::uint8_t> lower, upper;
    condition.FindBestIndexAndBounds(choice, lower, upper);
  } catch (...) {
    // A bound that cannot be calculated fails the walk again, which reports it.
  }
}

std::int32_t TTdbCursor::SetSQLFilter(const std::u16string& text, std::int32_t mode, bool background) {
  const std::int32_t kind = mode & kFilterModeKindMask;
  const bool selection =
      kind == kFilterModeSelectAdd || kind == kFilterModeSelectKeep || kind == kFilterModeSelectAddVisible;
  if (kind != kFilterModeStatic && kind != kFilterModeIncremental && !selection)
    throw ETdbEngine(tdbErrInvalidParameter, "Mode");
  const bool incremental = kind == kFilterModeIncremental;
  std::unique_ptr<TTdbSqlCondition> condition;
  if (!text.empty()) {
    condition = std::make_unique<TTdbSqlCondition>(text);
    condition->SetClock(FServices.Clock());
    try {
      condition->Prepare(incremental ? static_cast<const ICondRecordSource&>(FAccessor->RecordSource())
                                     : static_cast<const ICondRecordSource&>(*FFilterSource),
                         PrepareOptions(mode));
    } catch (const ETdbCompilerError& error) {
      // Recorded here: the position would not survive the call interface's
      // own recording of the failure.
      RecordConditionError(FServices, error, text);
      return kResultInvalidCondition;
    }
  }
  if (condition && (kind == kFilterModeStatic || kind == kFilterModeSelectAdd)) PrepareIndexChoice(*condition);
  if (selection && condition) {
    {
      TTdbTableLock read(FTable, tltRead);
      ApplySelection(kind, *condition);
    }
    return background ? kResultOk : ActivateFilter(true);
  }
  const TTdbFilterKind newKind = text.empty() ? tfkNone : incremental ? tfkIncremental : tfkStatic;
  TTdbTableLock read(FTable, tltRead);
  if (background) {
    FUserBookmarks.Clear();
    if (newKind == tfkStatic) EvaluateStatic(*condition, FUserBookmarks);
    FUserCondition = std::move(condition);
    FUserFilterKind = newKind;
    return kResultOk;
  }
  // Takes effect at once, replacing the active filter.
  if (FActiveFilterKind == tfkIncremental) FAccessor->ExchangeFilter(nullptr);
  FActiveCondition.reset();
  FActiveFilterKind = newKind;
  if (newKind == tfkStatic) {
    EvaluateStatic(*condition, FAccessor->Bookmarks());
    FActiveCondition = std::move(condition);
  } else if (newKind == tfkIncremental) {
    FAccessor->ExchangeFilter(std::move(condition));
  }
  ApplyAccess();
  if (!FAccessor->IsValidRecord()) FAccessor->GotoRecord(kBeforeFirst);
  return kResultOk;
}

std::int32_t TTdbCursor::ActivateFilter(bool active) {
  TTdbTableLock read(FTable, tltRead);
  if (active) {
    if (FUserFilterKind == tfkNone) return kResultOk;
    if (FActiveFilterKind == tfkIncremental) FAccessor->ExchangeFilter(nullptr);
    FActiveCondition.reset();
    FActiveFilterKind = FUserFilterKind;
    if (FUserFilterKind == tfkIncremental) {
      FAccessor->ExchangeFilter(std::move(FUserCondition));
    } else {
      std::swap(FAccessor->Bookmarks(), FUserBookmarks);
      FActiveCondition = std::move(FUserCondition);
    }
    FUserBookmarks.Clear();
    FUserFilterKind = tfkNone;
  } else {
    if (FActiveFilterKind == tfkNone) return kResultOk;
    FUserFilterKind = FActiveFilterKind;
    if (FActiveFilterKind == tfkIncremental) {
      FUserCondition = FAccessor->ExchangeFilter(nullptr);
    } else {
      FUserBookmarks.Clear();
      std::swap(FAccessor->Bookmarks(), FUserBookmarks);
      FUserCondition = std::move(FActiveCondition);
    }
    FActiveFilterKind = tfkNone;
  }
  const std::int32_t current = FAccessor->RecordDeleted() ? kBeforeFirst : FAccessor->RecordNo();
  ApplyAccess();
  if (current <= 0 || FAccessor->GotoRecord(current) != 0 || !FAccessor->IsValidRecord())
    FAccessor->GotoRecord(kBeforeFirst);
  return kResultOk;
}

// --- Records -----------------------------------------------------------------------------------

std::span<const std::uint8_t> TTdbCursor::BufferedRecord() {
  if (FEditState != esBrowse) return FWorkRecBuf;
  return FAccessor->GetRecord();
}

std::int32_t TTdbCursor::GetRecord(std::span<std::uint8_t> buffer) {
  const std::span<const std::uint8_t> record = BufferedRecord();
  std::copy(record.begin(), record.end(), buffer.begin());
  return kResultOk;
}

std::int32_t TTdbCursor::SetRecord(std::span<const std::uint8_t> buffer) {
  if (FEditState == esBrowse) return kResultNotEditing;
  std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(FWorkRecBuf.size()), FWorkRecBuf.begin());
  return kResultOk;
}

void TTdbCursor::EndEdit() noexcept {
  if (FEditState == esEdit) FCatalogTable.UnlockRecord(FWorkRecordNo, this);
  FEditState = esBrowse;
  FWorkRecordNo = 0;
  FWorkBlobs.clear();
}

std::int32_t TTdbCursor::Append() {
  if (FTable.ReadOnly() || !(FTable.Rights() & tarAppend)) throw ETdbEngine(tdbErrNoWritePermission, FTable.StdName());
  EndEdit();
  FWorkRecBuf.assign(static_cast<std::size_t>(FTable.RecordSize()), 0);
  // A record id column gets its id now; a cancelled append gives it back.
  FTable.InitRecord(FWorkRecBuf, true);
  FEditState = esAppend;
  return kResultOk;
}

std::int32_t TTdbCursor::AppendConfirm() {
  if (FEditState != esAppend) return kResultNotEditing;
  const std::int32_t recNo = FTable.AppendRecord(FWorkRecBuf, FWorkBlobs);
  EndEdit();
  FAccessor->GotoRecord(recNo);
  return recNo;
}

std::int32_t TTdbCursor::AppendCancel() {
  if (FEditState != esAppend) return kResultNotEditing;
  if (FTable.RecordIdFieldNo() > 0) FTable.CancelAutoNum(GetAutoNo());
  EndEdit();
  return kResultOk;
}

std::int32_t TTdbCursor::Edit() {
  const std::int32_t recNo = GetRecNo();
  if (recNo <= 0) throw ETdbEngine(tdbErrNotPositioned);
  if (!(FTable.Rights() & tarEdit)) throw ETdbEngine(tdbErrNoWritePermission, FTable.StdName());
  if (FEditState == esEdit && FWorkRecordNo == recNo) return kResultOk;
  EndEdit();
  WaitForEditLock(recNo);
  try {
    FAccessor->InvalidateRecBuf();
    const std::span<const std::uint8_t> record = FAccessor->GetRecord();
    FWorkRecBuf.assign(record.begin(), record.end());
  } catch (...) {
    FCatalogTable.UnlockRecord(recNo, this);
    throw;
  }
  FWorkRecordNo = recNo;
  FEditState = esEdit;
  return kResultOk;
}

void TTdbCursor::WaitForEditLock(std::int32_t recNo) {
  TdwClock& clock = FServices.Clock();
  const std::uint64_t start = clock.GetTickCount();
  const auto timeout = static_cast<std::uint64_t>(std::max(0, FServices.FLockingTimeout));
  for (;;) {
    try {
      TTdbTableLock read(FTable, tltRead);
      FCatalogTable.LockRecord(recNo, this);
      return;
    } catch (const ETdbEngine& error) {
      if (error.Number() != tdbErrRecordBeingEdited && error.Number() != tdbErrTableLocked) throw;
      if (clock.GetTickCount() - start >= timeout) throw;
    }
    clock.Sleep(kEditLockRetryMs);
  }
}

std::int32_t TTdbCursor::EditConfirm() {
  if (FEditState != esEdit) return kResultNotEditing;
  if (FWorkRecordNo <= 0) throw ETdbEngine(tdbErrRecordNotFound);
  const std::int32_t recNo = FWorkRecordNo;
  FTable.ReplaceRecord(FWorkRecBuf, FWorkBlobs, recNo);
  EndEdit();
  if (FAccessor->RecordNo() == recNo && !FAccessor->RecordDeleted()) FAccessor->RecordRewritten();
  return recNo;
}

std::int32_t TTdbCursor::EditCancel() {
  if (FEditState != esEdit) return kResultNotEditing;
  EndEdit();
  return kResultOk;
}

std::int32_t TTdbCursor::DeleteRecord() {
  const std::int32_t recNo = GetRecNo();
  if (recNo <= 0) throw ETdbEngine(tdbErrNotPositioned);
  if (FCatalogTable.IsLockedByOther(recNo, this)) throw ETdbEngine(tdbErrRecordBeingEdited);
  if (FEditState == esEdit) EndEdit();
  // Under the write lock no other program can start editing the record, so
  // the deletion only checks that nobody edits it now; the lock file is not
  // written for it (and not read again while the held write lock showed no
  // other program's edit lock). Another program that edits it refuses the
  // deletion.
  TTdbTableLock write(FTable, tltWrite);
  FCatalogTable.LockRecordToDelete(recNo, this);
  std::int32_t countBefore = 0;
  try {
    countBefore = FTable.RecordCount();
    FTable.DeleteRecord(recNo);
  } catch (...) {
    FCatalogTable.ForgetDeleteLock(recNo, this);
    throw;
  }
  FCatalogTable.ForgetDeleteLock(recNo, this);
  // The table's last record moved into the freed slot; its edit lock moves
  // along. Records of a B+ tree table file do not move.
  FCatalogTable.RecordMoved(recNo, !FTable.StableRecordNumbers() && recNo < countBefore ? countBefore : 0);
  return kResultOk;
}

void TTdbCursor::OnRecordDeleted(std::int32_t deleted, std::int32_t moved) {
  FUserBookmarks.Delete(deleted);
  if (moved > 0) FUserBookmarks.Replace(moved, deleted);
  if (FEditState == esEdit) {
    if (FWorkRecordNo == deleted)
      FWorkRecordNo = 0;
    else if (moved > 0 && FWorkRecordNo == moved)
      FWorkRecordNo = deleted;
  }
  FDirtyFlag = true;
  if (FOnChangeProc) FOnChangeProc(deleted, moved);
}

std::int32_t TTdbCursor::GetAutoNo() {
  const int index = FTable.Columns().RecordIdIndex();
  if (index < 0) return 0;
  const std::span<const std::uint8_t> record = BufferedRecord();
  const TTdbColumnDef& column = FTable.Columns()[static_cast<std::size_t>(index)];
  const TTdbValue value = ReadValue(column.DataType, FTable.Columns().ColumnBytes(record, static_cast<std::size_t>(index)));
  const auto* id = std::get_if<std::int64_t>(&value);
  return id ? static_cast<std::int32_t>(*id) : 0;
}

std::int32_t TTdbCursor::SetAutoNo(std::int32_t recordId) {
  const int index = FTable.Columns().RecordIdIndex();
  if (index < 0) throw ETdbEngine(tdbErrNoRecordIdColumn, FTable.StdName());
  if (FEditState == esBrowse) return kResultNotEditing;
  const TTdbColumnDef& column = FTable.Columns()[static_cast<std::size_t>(index)];
  WriteValue(column.DataType, FTable.Columns().ColumnBytes(std::span<std::uint8_t>(FWorkRecBuf), static_cast<std::size_t>(index)),
             TTdbValue(static_cast<std::int64_t>(recordId)));
  return kResultOk;
}

// --- Memo and blob values --------------------------------------------------------------------------

std::int32_t TTdbCursor::InitGetBlob(std::int32_t fieldNo, std::int32_t maxSize, std::int32_t& blobType) {
  const TTdbColumnDef& column = Column(fieldNo);
  const TTdbColumnType type = column.DataType.ColumnType();
  if (!IsBlockType(type)) throw ETdbEngine(tdbErrBlobExpected);
  blobType = 0;
  const std::int32_t recordNo = FEditState == esBrowse ? FAccessor->RecordNo() : FWorkRecordNo;
  if (FBlobTransfer && FBlobDelivered < FBlobTransfer->size() && FBlobRecordNo == recordNo &&
      FBlobEditState == FEditState)
    return kResultTransferActive;
  std::string bytes;
  const auto given = std::find_if(FWorkBlobs.begin(), FWorkBlobs.end(),
                                  [&](const TTdbBlobData& data) { return data.FieldNo == fieldNo; });
  if (FEditState != esBrowse && given != FWorkBlobs.end()) {
    bytes = type == tctWideMemo ? std::string(reinterpret_cast<const char*>(given->WideData.data()),
                                              given->WideData.size() * sizeof(char16_t))
                                : given->AnsiData;
  } else {
    const std::span<const std::uint8_t> record = BufferedRecord();
    if (type == tctMemo) {
      bytes = FTable.ReadMemoString(record, fieldNo);
    } else if (type == tctBlob) {
      bytes = FTable.ReadBlobData(record, fieldNo);
    } else {
      const std::u16string text = FTable.ReadBlobDataWide(record, fieldNo);
      bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    }
  }
  if (maxSize >= 0 && bytes.size() > static_cast<std::size_t>(maxSize)) bytes.resize(static_cast<std::size_t>(maxSize));
  FBlobTransfer = std::move(bytes);
  FBlobDelivered = 0;
  FBlobRecordNo = recordNo;
  FBlobEditState = FEditState;
  return static_cast<std::int32_t>(FBlobTransfer->size());
}

std::int32_t TTdbCursor::PerformGetBlob(std::span<std::uint8_t> buffer) {
  if (!FBlobTransfer) return kResultNoTransfer;
  const std::size_t size = std::min(buffer.size(), FBlobTransfer->size() - FBlobDelivered);
  std::memcpy(buffer.data(), FBlobTransfer->data() + FBlobDelivered, size);
  FBlobDelivered += size;
  // The call that delivers the last byte (or finds none) ends the transfer.
  if (FBlobDelivered == FBlobTransfer->size()) FBlobTransfer.reset();
  return static_cast<std::int32_t>(size);
}

std::int32_t TTdbCursor::SetBlob(std::int32_t fieldNo, std::span<const std::uint8_t> blob) {
  const TTdbColumnType type = Column(fieldNo).DataType.ColumnType();
  if (!IsBlockType(type)) throw ETdbEngine(tdbErrBlobExpected);
  if (FEditState == esBrowse) return kResultNotEditing;
  if (type == tctWideMemo && blob.size() % sizeof(char16_t) != 0) throw ETdbEngine(tdbErrInvalidParameter, "Size");
  TTdbBlobData data;
  data.FieldNo = fieldNo;
  if (type == tctWideMemo) {
    data.WideData.resize(blob.size() / sizeof(char16_t));
    std::memcpy(data.WideData.data(), blob.data(), data.WideData.size() * sizeof(char16_t));
  } else {
    data.AnsiData.assign(reinterpret_cast<const char*>(blob.data()), blob.size());
  }
  std::erase_if(FWorkBlobs, [&](const TTdbBlobData& entry) { return entry.FieldNo == fieldNo; });
  FWorkBlobs.push_back(std::move(data));
  return kResultOk;
}

// --- Table locks and usage ------------------------------------------------------------------------

std::int32_t TTdbCursor::Lock(std::int32_t lockType, std::int32_t timeOut) {
  // Type 1 is a read lock, any other a write lock; a time-out of 0 does
  // not wait.
  try {
    if (lockType == 1)
      FTable.BeginRead(timeOut != 0);
    else
      FTable.BeginWrite(timeOut != 0);
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrTableLocked) throw;
    FServices.SetLastError(error);
    return kResultTableLocked;
  }
  return kResultOk;
}

std::int32_t TTdbCursor::Unlock(std::int32_t lockType) {
  if (lockType == 1) {
    if (FTable.ReadLocks() > 0) FTable.EndRead();
  } else if (FTable.WriteLocks() > 0) {
    FTable.EndWrite();
  }
  return kResultOk;
}

std::int32_t TTdbCursor::GetUsage(TTdbLockUsage& usage) {
  usage = FTable.GetUsage();
  return kResultOk;
}

}  // namespace kestrel
