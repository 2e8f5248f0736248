// TDataSet: the dataset framework the table components are built on. A
// dataset is a state machine (inactive, browse, edit, insert, set-key, ...)
// over a ring of record buffers that holds a window of consecutive records
// around the active record, with field objects that read the active buffer,
// before/after events around every operation, bookmarks, and data sources
// through which the bound controls hear of every change (data_link.h).
//
// Buffers: FBuffers[0 .. FRecordCount-1] hold consecutive records in the
// dataset's order; FActiveRecord is the current one; FCurrentRecord is the
// buffer the underlying cursor stands on (-1: unknown, the next operation
// positions it with InternalSetToRecord). Moving past either end of the
// window fetches one record (GetRecord next or prior) and rotates the ring:
// the buffer at the far end is reused. FBufferCount is the largest window
// any data link wants (at least 1).
//
// A subclass supplies the cursor: InternalOpen / InternalClose, GetRecord
// (current, next, prior), InternalFirst / InternalLast (stand before the
// first / after the last record), InternalSetToRecord (cursor onto a
// buffer's record), bookmarks, counting, blob reading, and the editing hooks.
//
// Invariants (checked in debug builds): 0 <= FRecordCount <= FBufferCount;
// FActiveRecord < FRecordCount whenever FRecordCount > 0; in an editing
// state FRecordCount > 0.
//
// Events may throw; an exception from a before-event abandons the operation
// with the dataset unchanged (EAbort for a silent abort).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "access/data_link.h"
#include "access/field.h"

namespace kestrel::access {

enum class TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
  dsCurValue, dsBlockRead, dsInternalCalc, dsOpening,
};

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };

// Bookmark flags of a record buffer.
enum class TBookmarkFlag : std::uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

using TBookmark = std::vector<std::uint8_t>;
using TRecordBuffer = std::vector<std::uint8_t>;

class TDataSet {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet&)>;

  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // The component's name, used in some messages.
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }

  // ---- State -------------------------------------------------------------
  TDataSetState State() const { return FState; }
  bool Active() const { return FState != TDataSetState::dsInactive; }
  // Opens (BeforeOpen, the open, positioned on the first record, AfterOpen)
  // or closes the dataset. A failed open leaves it closed and throws.
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Bof() const { return FBOF; }
  bool Eof() const { return FEOF; }
  // No current record.
  bool IsEmpty() const { return FRecordCount == 0 && FState != TDataSetState::dsInsert; }
  // Throws "Dataset not in edit or insert mode" etc. when not open.
  void CheckActive() const;
  // Leaves an editing state (posting a modified record, cancelling another)
  // after telling the controls (CheckBrowseMode).
  void CheckBrowseMode();
  virtual bool CanModify() const { return true; }
  bool Modified() const { return FModified; }

  // ---- Navigation --------------------------------------------------------
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves by `distance` records; answers how many were passed. Running off
  // either end sets Eof or Bof.
  int MoveBy(int distance);
  // Re-reads the records around the current one.
  void Refresh();
  // The number of records in the dataset's current order and filter.
  virtual int RecordCount() = 0;
  // The 1-based position of the active record (0 when unknown or empty).
  virtual int RecNo() { return 0; }
  virtual void SetRecNo(int /*value*/) {}
  // Whether RecNo and RecordCount are cheap and exact (a grid's scroll bar
  // then shows the position).
  virtual bool IsSequenced() { return false; }

  // ---- Bookmarks ---------------------------------------------------------
  TBookmark Bookmark();
  // Makes the bookmarked record current, centred among its neighbours.
  void GotoBookmark(const TBookmark& bookmark);

  // ---- Editing (the hooks decide what each step does to the table) --------
  void Edit();
  void Insert();
  // Starts a new record after the last one: the window shows the end of the
  // dataset with the new record as its last row, and Eof stays set.
  void Append();
  void Post();
  void Cancel();
  void Delete();

  // ---- Controls ----------------------------------------------------------
  // While disabled (counted), no link hears of changes; enabling the last
  // time sends one DataSetChanged (and ActiveChanged / EditingChanged when
  // those changed meanwhile).
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount > 0; }

  // ---- Fields ------------------------------------------------------------
  const std::vector<std::unique_ptr<TField>>& Fields() const { return FFields; }
  const std::vector<TFieldDef>& FieldDefs() const { return FFieldDefs; }
  // The field of that name (compared without regard to ASCII case), or null.
  TField* FindField(const std::string& name) const;
  // Throws "Field '%s' not found" when there is none.
  TField& FieldByName(const std::string& name) const;

  // ---- Events ------------------------------------------------------------
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforeInsert, AfterInsert;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete;

  // ---- Used by fields, data sources and links ----------------------------
  // The record image a field reads now: the buffer of the state (key buffer
  // in set-key state, the active buffer otherwise); empty when there is no
  // current record.
  virtual std::span<std::uint8_t> FieldImage();
  // Checks that `field` may be written now and answers the image to write.
  std::span<std::uint8_t> FieldWriteImage(TField& field);
  // The field's value changed: marks the record modified and tells the links.
  void FieldChanged(TField& field);
  // Memo and blob values of the active record, as stored bytes.
  virtual std::string ReadBlob(const TField& field) = 0;
  virtual void WriteBlob(TField& field, const std::string& bytes) = 0;
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void DataEvent(TDataEvent event, std::intptr_t info = 0);
  // The number of buffers wanted by the links changed.
  void UpdateBufferCount();
  int BufferCount() const { return FBufferCount; }
  int ActiveRecord() const { return FActiveRecord; }
  // Number of filled buffers.
  int BufferedRecordCount() const { return FRecordCount; }
  // Makes buffer `index` active for reading (data links only).
  void SetActiveRecordForRead(int index) { FActiveRecord = index; }

 protected:
  // ---- Hooks -------------------------------------------------------------
  // Opens the cursor and fills FFieldDefs; the fields are then created.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  // Size of a record buffer and of the record image at its start.
  virtual int RecordBufferSize() const = 0;
  virtual int RecordImageSize() const = 0;
  // Fetches the current, next or prior record into `buffer`. On anything but
  // grOK the buffer is cleared; with `doCheck` an error throws.
  virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) = 0;
  // Stand before the first / after the last record.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  // Moves the cursor onto the record held in `buffer`; `distance`, when not
  // 0, is how many records in the dataset's order that record lies from the
  // one the cursor stands on (a hint a cursor may use to step there).
  virtual void InternalSetToRecord(const TRecordBuffer& buffer, int distance) = 0;
  virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) const = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const = 0;
  // Moves the cursor onto the bookmarked record; throws when it is gone.
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  // Re-reads the cursor's state after changes by others.
  virtual void InternalRefresh() {}
  // Clears a buffer for a new record.
  virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
  // Editing steps (defaults refuse: "Cannot modify a read-only dataset").
  virtual void InternalEdit();
  virtual void InternalInsert();
  virtual void InternalPost();
  virtual void InternalCancel();
  virtual void InternalDelete();
  // The buffer a field reads in the set-key state (key searches).
  virtual TRecordBuffer* KeyBuffer() { return nullptr; }
  // A buffer's memo/blob values are dropped (new content or cleared).
  virtual void BufferReleased(TRecordBuffer& /*buffer*/) {}

  // ---- Helpers for subclasses --------------------------------------------
  void SetState(TDataSetState value);
  TRecordBuffer& ActiveBuffer() { return FBuffers[static_cast<std::size_t>(FActiveRecord)]; }
  bool HasActiveRecord() const { return FActiveRecord >= 0 && FActiveRecord < FRecordCount; }
  // Positions the cursor on the active record (if it is not there).
  void UpdateCursorPos();
  // The cursor's position changed behind the buffers' back.
  void CursorPosChanged() { FCurrentRecord = -1; }
  // Re-reads the buffers around the cursor's record: centred, or keeping
  // the active record's row in the window.
  void Resync(bool center);
  // Before-scroll and after-scroll events.
  void DoBeforeScroll();
  void DoAfterScroll();
  std::vector<TRecordBuffer>& Buffers() { return FBuffers; }
  std::vector<TFieldDef> FFieldDefs;
  // The scratch buffer for counting and other reads beside the window.
  TRecordBuffer FTempBuffer;

 private:
  void OpenCursor();
  void CloseCursor();
  void ClearBuffers();
  void SetBufferCount(int count);
  // Appends the next record at the end of the window (dropping the first
  // buffer when full). Answers false at the end; `shifted` tells whether the
  // window moved.
  bool GetNextRecord(bool& shifted);
  bool GetPriorRecord(bool& shifted);
  // Fills the window forward / backward as far as records allow.
  void GetNextRecords();
  void GetPriorRecords();
  void SetCurrentRecord(int index);
  void UpdateRecord();
  void CheckInvariants() const;
  void Call(const TDataSetNotifyEvent& handler) {
    if (handler) handler(*this);
  }

  std::string FName;
  TDataSetState FState = TDataSetState::dsInactive;
  std::vector<std::unique_ptr<TField>> FFields;
  std::vector<TRecordBuffer> FBuffers;
  int FBufferCount = 1;
  int FRecordCount = 0;
  int FActiveRecord = 0;
  int FCurrentRecord = -1;
  bool FBOF = true;
  bool FEOF = true;
  bool FModified = false;
  std::vector<TDataSource*> FDataSources;
  int FDisableCount = 0;
  TDataSetState FDisableState = TDataSetState::dsInactive;
  bool FChangedWhileDisabled = false;
};

}  // namespace kestrel::access
