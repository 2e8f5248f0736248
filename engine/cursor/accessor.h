// TTdbAccessor: a position on an open table and the walk from it, in one
// of three orders: physical record order, an index, or a list of record
// numbers (TTdbBookmarkList). It applies the index range and the
// incremental filter while it walks, counts records and finds keys.
//
// Positions: FCurrentRecordNo is a record number 1..count, kBeforeFirst
// (-1) or kAfterLast (0). Under index access FCurrentIndexInfo is the
// current record's item in that index; under bookmark access
// FBookmarkIndex is the current record's slot in the list (or -1 when not
// known). FCurrentSequenceNo is the position in the walk's order, or
// kSequenceUnknown until it is computed.
//
// Deletions and moves (the table's notifications) keep the position
// valid: a record moved into a freed slot keeps being current under its
// new number; when the current record itself is deleted the accessor
// remembers where it stood (FRecordDeleted with the old index item and
// list slot), and the next step goes on from there. Stepping from an index
// item that is no longer in the tree continues with the first item not
// below it.
//
// Results of moves: 0, or kAccessorEnd (-19) when there is no such record;
// engine failures (a damaged index, a condition that cannot be evaluated)
// are thrown as ETdbEngine. Walks of many records take the table's read
// lock for their whole length and give it back on every path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/cursor/bookmark_list.h"
#include "engine/table/relation.h"

namespace kestrel {

class TTdbBaseTable;
class TTdbSqlCondition;
class TCondRecordImageSource;

enum TTdbAccessType { tatNone, tatRecordNo, tatBookmarks, tatIndex };

inline constexpr int kAccessorEnd = -19;
inline constexpr std::int32_t kBeforeFirst = -1;
inline constexpr std::int32_t kAfterLast = 0;
inline constexpr std::int32_t kSequenceUnknown = -1;
inline constexpr std::int32_t kSequenceUndetermined = -2;
// Counting a filtered or ranged order is refused from this many records on.
inline constexpr std::int32_t kMaxCountedRecords = 10000;
inline constexpr std::int32_t kRecordCountUnknown = -1;
// Record numbers of range bounds: a lower bound sorts before, an upper
// bound after every item with the same key.
inline constexpr std::int32_t kLowerBoundRecNo = 1;
inline constexpr std::int32_t kUpperBoundRecNo = 2147483647;

class TTdbAccessor : public IRelationListener {
 public:
  // Registers with the table's accessor list; physical order, before the
  // first record. The table must outlive the accessor.
  TTdbAccessor(TTdbBaseTable& table, std::u16string name);
  ~TTdbAccessor() override;
  TTdbAccessor(const TTdbAccessor&) = delete;
  TTdbAccessor& operator=(const TTdbAccessor&) = delete;

  const std::u16string& Name() const { return FName; }

  // --- Order, filter, range ----------------------------------------------
  // Selects the order; clears the range. Index: error 95 for a lost index;
  // the current record stays current. Bookmarks: a current record that is
  // not listed gives way to the first listed record.
  void SetAccess(TTdbAccessType type, int indexNo, bool reverse);
  TTdbAccessType AccessType() const { return FAccessType; }
  int IndexNo() const { return FIndexNo; }
  bool Reverse() const { return FReverse; }
  TTdbBookmarkList& Bookmarks() { return FBookmarks; }
  // Installs an incremental filter prepared against RecordSource() (null
  // removes it) and answers the previous one.
  std::unique_ptr<TTdbSqlCondition> ExchangeFilter(std::unique_ptr<TTdbSqlCondition> filter);
  bool HasFilter() const { return FFilter != nullptr; }
  // The record source over the accessor's current record.
  TCondRecordImageSource& RecordSource() { return *FRecordSource; }
  // Bounds of index access (index items of the current index; an empty
  // vector is no bound).
  void SetRange(std::vector<std::uint8_t> lower, std::vector<std::uint8_t> upper);
  void ClearRange();
  bool HasRange() const { return !FRangeLower.empty() || !FRangeUpper.empty(); }
  // Physical order, before the first record, no filter, empty list.
  void Reset();

  // --- Moves -----------------------------------------------------------------
  int First();
  int Last();
  int Next();
  int Prior();
  int MoveBy(std::int32_t delta);
  // Below -1 or above the record count: kAccessorEnd. -1: before the first
  // record; 0: after the last.
  int GotoRecord(std::int32_t recNo);
  int GotoSequenceNo(std::int32_t sequenceNo);
  // Whether the current record is a record of the walk (list, range,
  // filter).
  bool IsValidRecord();
  // Nearest or exact key search in index indexNo from `searchItem` (record
  // number 0). Answers the record found (> 0) or 0, with the position
  // unchanged then.
  std::int32_t LocateRecord2(int indexNo, const std::vector<std::uint8_t>& searchItem, int itemCount,
                             bool& exact);

  // --- Position ------------------------------------------------------------
  std::int32_t RecordNo() const { return FCurrentRecordNo; }
  bool RecordDeleted() const { return FRecordDeleted; }
  // The sequence number (computed when unknown); kSequenceUndetermined when
  // it cannot be found, 0 off the records.
  std::int32_t GetSequenceNo();
  // Records of the walk; kRecordCountUnknown for a filtered or ranged order
  // of a table with kMaxCountedRecords records or more.
  std::int32_t GetRecordCount();
  // The current record's image (read when needed); error 19 off the records.
  std::span<const std::uint8_t> GetRecord();
  void InvalidateRecBuf() { FCurrentRecBufUpdated = false; }
  // Recomputes the current index item after the current record changed.
  void RecordRewritten();

  struct TPosition {
    std::int32_t RecordNo = kBeforeFirst;
    std::int32_t SequenceNo = kSequenceUnknown;
    std::vector<std::uint8_t> IndexInfo;
    std::int32_t BookmarkIndex = -1;
    bool RecordDeleted = false;
  };
  TPosition SavePosition() const;
  void RestorePosition(const TPosition& position);

  // --- Notifications to the owner ------------------------------------------
  std::function<void(std::int32_t deleted, std::int32_t moved)> FOnRecordDeleted;
  std::function<void()> FOnRelationChanged;
  std::function<void()> FOnRelationEmptied;

  // IRelationListener
  void RecordDeleted(std::int32_t recNo, std::int32_t movedRecNo) override;
  void RecordChanged(std::int32_t recNo) override;
  void RelationChanged() override;
  void RelationEmptied() override;
  void CanDropIndex(int indexNo, bool& allowed) override;
  void IndexRemoved(int indexNo) override;

 private:
  // A candidate position of a raw step.
  struct TStep {
    std::int32_t RecordNo = 0;
    std::vector<std::uint8_t> IndexInfo;
    std::int32_t BookmarkIndex = -1;
  };
  // Raw steps in the natural order of the access (no filter).
  bool NatFirst(TStep& step);
  bool NatLast(TStep& step);
  bool NatNext(TStep& step);
  bool NatPrior(TStep& step);
  // Raw steps in the walk's direction; commit the position on success.
  int StepFirst();
  int StepLast();
  int StepNext();
  int StepPrior();
  void Commit(TStep& step);
  bool AboveUpper(const std::vector<std::uint8_t>& item);
  bool BelowLower(const std::vector<std::uint8_t>& item);
  bool FilterAccepts();
  void ReadCurrent();
  void CalcCurrentIndexInfo();
  std::int32_t CurrentBookmarkIndex();
  int CountWalk();

  TTdbBaseTable& FTable;
  std::u16string FName;
  TTdbAccessType FAccessType = tatRecordNo;
  int FIndexNo = -1;
  bool FReverse = false;
  std::unique_ptr<TTdbSqlCondition> FFilter;
  TTdbBookmarkList FBookmarks;
  std::vector<std::uint8_t> FRangeLower;
  std::vector<std::uint8_t> FRangeUpper;
  std::int32_t FCurrentRecordNo = kBeforeFirst;
  std::int32_t FCurrentSequenceNo = kSequenceUnknown;
  bool FCurrentRecBufUpdated = false;
  std::vector<std::uint8_t> FCurrentRecBuf;
  std::vector<std::uint8_t> FCurrentIndexInfo;
  std::int32_t FBookmarkIndex = -1;
  bool FRecordDeleted = false;
  std::unique_ptr<TCondRecordImageSource> FRecordSource;
};

}  // namespace kestrel
