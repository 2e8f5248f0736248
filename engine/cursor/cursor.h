// TTdbCursor: what a table handle of a local session stands for. It owns an
// accessor on the table object, the two filter slots (the user filter set
// by SetSQLFilter and the active filter that hides records), the record
// being appended or edited with its memo and blob values, and a memo or
// blob value being read.
//
// Filters: a static filter is evaluated at once into a list of record
// numbers in the cursor's sort order (exact record counts at any size); an
// incremental filter is evaluated while the accessor steps. Activating
// moves the user filter into the active slot, deactivating moves it back,
// so a filter can be switched on again without being evaluated again.
// The selection modes change the user list itself and make it a list of
// chosen records (tfkBookmarks): it is kept in the cursor's sort order,
// follows deletions and moves, and is not evaluated again when records
// change.
// After the table reported changes (the dirty flag), First and Last
// evaluate static filters again.
//
// Deletions and moves, whoever made them, fix up the user list, the active
// list (the accessor's), the accessor's current record, the record being
// edited and its edit lock; the change callback then hears of them.
//
// Results follow ITdbCursorApi: -11 past either end or for a record that is
// not there, -16 an unknown index, -44 a condition error (recorded with its
// position), -57 no record being appended or edited, -56 no memo or blob
// being read, -55 a memo or blob of the same record still being read;
// engine failures are thrown.
//
// A memo or blob value is read in one transfer: InitGetBlob takes the
// value, PerformGetBlob delivers it in pieces of the caller's buffer size
// and ends the transfer with its last byte (an empty value with the first
// call, which answers 0). Starting another transfer while one of the same
// record has bytes left is refused (-55); once the cursor stands on another record, or begins or
// ends writing one, the unfinished transfer is dropped. A WideMemo value
// given with an odd number of bytes is refused (error 49), not cut.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/cursor/bookmark_list.h"
#include "engine/session/cursor_api.h"
#include "engine/session/result_codes.h"

namespace kestrel {

class TTdbAccessor;
class TTdbBaseTable;
class TTdbCatalogTableObject;
class TCondRecordImageSource;
class TTdbServices;
class TTdbSqlCondition;
struct TTdbBlobData;
struct TTdbColumnDef;

enum TTdbFilterKind { tfkNone, tfkIncremental, tfkStatic, tfkBookmarks };
enum TTdbEditState { esBrowse, esAppend, esEdit };

inline constexpr std::uint32_t kEditLockRetryMs = 100;

// Low four bits of a filter mode: a static or an incremental filter, or an
// operation on the handle's selection (the user bookmark list): add the
// records that satisfy the condition, keep only the selected records that
// satisfy it, or add the satisfying records that the cursor's current
// order shows (active filter and range). Any other value is refused with
// error 49.
inline constexpr std::int32_t kFilterModeStatic = 1;
inline constexpr std::int32_t kFilterModeSelectAdd = 3;
inline constexpr std::int32_t kFilterModeSelectKeep = 6;
inline constexpr std::int32_t kFilterModeSelectAddVisible = 7;
inline constexpr std::int32_t kFilterModeIncremental = 15;
inline constexpr std::int32_t kFilterModeKindMask = 0x0F;

class TTdbCursor : public ITdbCursorApi {
 public:
  // An open cursor on `table`: physical order, before the first record.
  TTdbCursor(TTdbServices& services, TTdbCatalogTableObject& table, std::int16_t tableHdl, std::u16string name);
  ~TTdbCursor() override;
  TTdbCursor(const TTdbCursor&) = delete;
  TTdbCursor& operator=(const TTdbCursor&) = delete;

  // The accessor's raw position: a record number, -1 before the first
  // record, 0 after the last.
  std::int32_t Position() const;

  std::int32_t GetRecordSize() override;
  std::int32_t GetNumFields() override;
  TTdbColumnSpec GetFieldSpec(std::int32_t fieldNo) override;
  std::int32_t GetDataType(std::int32_t fieldNo) override;
  std::int32_t GetRltnVersion() override;
  bool CanModify() override;
  bool IsSequenced() override { return true; }
  std::int32_t SetIndex(const std::u16string& indexName, bool reverse) override;
  std::int32_t First() override;
  std::int32_t Last() override;
  std::int32_t MoveBy(std::int32_t delta) override;
  // 0 or -1: before the first record (result 0).
  std::int32_t SetRecNo(std::int32_t recNo) override;
  // The current record's number; 0 off the records.
  std::int32_t GetRecNo() override;
  std::int32_t GetSequenceNo() override;
  std::int32_t SetSequenceNo(std::int32_t sequenceNo) override;
  std::int32_t RecordCount() override;
  std::int32_t GetRecord(std::span<std::uint8_t> buffer) override;
  std::int32_t SetRecord(std::span<const std::uint8_t> buffer) override;
  std::int32_t Append() override;
  std::int32_t AppendConfirm() override;
  std::int32_t AppendCancel() override;
  std::int32_t Edit() override;
  std::int32_t EditConfirm() override;
  std::int32_t EditCancel() override;
  std::int32_t DeleteRecord() override;
  std::int32_t GetAutoNo() override;
  std::int32_t SetAutoNo(std::int32_t recordId) override;
  std::int32_t Refresh(bool checkNet) override;
  std::int32_t LocateRec2(const std::u16string& indexName, std::span<const std::uint8_t> record,
                          std::int32_t indexItemCount, bool& exactMatch) override;
  std::int32_t SetSQLFilter(const std::u16string& condition, std::int32_t mode, bool background) override;
  std::int32_t ActivateFilter(bool active) override;
  std::int32_t InitGetBlob(std::int32_t fieldNo, std::int32_t maxSize, std::int32_t& blobType) override;
  std::int32_t PerformGetBlob(std::span<std::uint8_t> buffer) override;
  std::int32_t SetBlob(std::int32_t fieldNo, std::span<const std::uint8_t> blob) override;
  void SetChangeCallback(TTdbRecordMovedProc proc) override { FOnChangeProc = std::move(proc); }
  std::int32_t Lock(std::int32_t lockType, std::int32_t timeOut) override;
  std::int32_t Unlock(std::int32_t lockType) override;
  std::int32_t GetUsage(TTdbLockUsage& usage) override;

 private:
  // Table notifications, through the accessor.
  void OnRecordDeleted(std::int32_t deleted, std::int32_t moved);
  // Evaluates a static filter's condition into `list`, ordered by the
  // cursor's sort order (record numbers without one). Read lock held.
  void EvaluateStatic(TTdbSqlCondition& condition, TTdbBookmarkList& list);
  // Lets index choice make the temporary index `condition` wants, when the
  // session allows it and no index serves. Making one writes to the table,
  // which a table holding only read locks may not do; so this runs before
  // the read lock of the walk, and the walk's own choice then finds the
  // index. No read lock held. Errors are left to the walk.
  void PrepareIndexChoice(TTdbSqlCondition& condition) noexcept;
  // Puts `list` in the cursor's sort order, reading each record for its item.
  void SortBySortOrder(TTdbBookmarkList& list);
  // Replaces `list` by the record numbers of `items` (items of the sort
  // index), sorted in that index's order.
  void AssignInIndexOrder(std::vector<std::vector<std::uint8_t>>& items, TTdbBookmarkList& list);
  // Applies selection mode `kind` with `condition` to the user list, which
  // becomes a tfkBookmarks filter in the sort order. Read lock held.
  void ApplySelection(std::int32_t kind, TTdbSqlCondition& condition);
  // Appends to `list` the records of the accessor's current walk (active
  // filter and range) that satisfy `condition`; the position is kept.
  void CollectVisible(TTdbSqlCondition& condition, std::vector<std::int32_t>& list);
  // Re-evaluates the static filters when the table changed.
  void RefreshFilters();
  // Puts the accessor in the sort order, or on the active list.
  void ApplyAccess();
  const TTdbColumnDef& Column(std::int32_t fieldNo);
  std::span<const std::uint8_t> BufferedRecord();
  void EndEdit() noexcept;
  // Takes recNo's edit lock under a read lock, trying again every
  // kEditLockRetryMs until the session's locking time-out has passed (one
  // try with a time-out of 0); the last refusal (105 or 104) is thrown.
  void WaitForEditLock(std::int32_t recNo);
  std::int32_t ResultOf(int accessorResult) const;

  TTdbServices& FServices;
  TTdbCatalogTableObject& FCatalogTable;
  TTdbBaseTable& FTable;
  std::int16_t FTableHdl;
  std::u16string FName;
  std::unique_ptr<TTdbAccessor> FAccessor;
  TTdbRecordMovedProc FOnChangeProc;
  bool FDirtyFlag = false;
  int FSortIndexNo = -1;  // -1: physical order
  bool FSortReverse = false;

  TTdbFilterKind FActiveFilterKind = tfkNone;
  std::unique_ptr<TTdbSqlCondition> FActiveCondition;
  TTdbFilterKind FUserFilterKind = tfkNone;
  std::unique_ptr<TTdbSqlCondition> FUserCondition;
  TTdbBookmarkList FUserBookmarks;
  // Static conditions read the records they test through this source.
  std::vector<std::uint8_t> FFilterRecord;
  std::unique_ptr<TCondRecordImageSource> FFilterSource;

  TTdbEditState FEditState = esBrowse;
  std::vector<std::uint8_t> FWorkRecBuf;
  std::int32_t FWorkRecordNo = 0;
  std::vector<TTdbBlobData> FWorkBlobs;
  // The memo or blob value being read, the bytes of it already delivered,
  // and the record it was read from (record number and edit state).
  std::optional<std::string> FBlobTransfer;
  std::size_t FBlobDelivered = 0;
  std::int32_t FBlobRecordNo = 0;
  TTdbEditState FBlobEditState = esBrowse;
};

}  // namespace kestrel
