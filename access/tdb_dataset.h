// TTdbDataSet: the engine-backed dataset, base of the table component. It
// works through one engine cursor (FTableHdl) of a database component's
// session: it fetches records into the framework's buffers, keeps each
// buffer's record information, builds the field definitions from the
// cursor's columns, reads memo and blob values on demand into a per-buffer
// cache, writes records and blobs back, and follows the engine's change
// callback.
//
// Record buffer layout (FRecBufSize bytes, zero-filled when allocated):
//   [0, FRecordSize)          the engine record image
//   FBlobCacheOfs   (4 bytes) index into FBlobInfoList, -1 = none
//   FRelationsOfs   (4 bytes) index into the link cache, -1 = none
//   FRecInfoOfs    (16 bytes) +0 sequence number (0 unknown, -1 none),
//                             +4 bookmark flag, +5 record number (the
//                             4-byte bookmark), +9 replaced flag
//
// FOutOfTableState tracks whether the cursor ran off either end: ootBOT
// after First, ootEOT after Last, ootNone after every successful fetch or
// positioning.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "access/dataset.h"
#include "access/tdb_database.h"

namespace kestrel::access {

enum class TOutOfTableState { ootNone, ootBOT, ootEOT };

class TTdbDataSet : public TDataSet {
 public:
  TTdbDataSet();
  ~TTdbDataSet() override;

  // The database component, found by name at open.
  const std::string& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string& name);
  TTdbDatabase* Database() const { return FDatabase; }
  std::int16_t TableHandle() const { return FTableHdl; }
  int TableLevel() const { return FTableLevel; }

  bool CanModify() const override { return FCanModify; }
  int RecordCount() override;
  // RecordCount when the table's read lock can be had at once; -1 while
  // another program holds the table for writing (nothing waits for it).
  int RecordCountNow();
  int RecNo() override;
  void SetRecNo(int value) override;
  bool IsSequenced() override;
  // The record number of the active record; 0 in insert state.
  int RecordNo();
  std::string ReadBlob(const TField& field) override;
  void WriteBlob(TField& field, const std::string& bytes) override;
  // Hands the active buffer's image and modified blobs to the engine.
  void WriteRecord();

  // The change callback: the record `oldRecNo` now lives at `newRecNo`.
  void RecordMoved(std::int32_t newRecNo, std::int32_t oldRecNo);

  // ---- Filtering (tdb_dataset_filter.cpp) ---------------------------------
  // The filter condition, a text in the engine's condition language.
  const std::string& Filter() const { return FFilterW; }
  // Stores the condition. While open and Filtered it is handed to the
  // engine at once and the dataset moves to its first record; a condition
  // the engine rejects throws EKestrelError ("Setting filter: Search-
  // condition is invalid. ...") and leaves the stored text unchanged. While
  // not Filtered the text is only stored and examined when filtering is
  // switched on. The same text again does nothing.
  void SetFilter(const std::string& value);
  bool Filtered() const { return FFiltered; }
  // Switches filtering on or off and moves to the first record. Switching
  // on hands over a text not yet handed over; a rejected condition throws
  // EKestrelError and Filtered stays false. An empty text shows every
  // record. While closed only the flag is stored; opening applies it.
  void SetFiltered(bool value);

 protected:
  // Opens the cursor (subclass) and then everything around it.
  void OpenEngineCursor(std::int16_t tableHdl);
  void CloseEngineCursor();
  // Throws the engine error of a failed call on this dataset's session.
  [[noreturn]] void Raise(std::int32_t result, const std::string& action) const;
  std::int32_t Check(std::int32_t result, const std::string& action) const;
  std::int16_t SessionHandle() const { return FDatabase != nullptr ? FDatabase->Handle() : 0; }

  int RecordBufferSize() const override { return FRecBufSize; }
  int RecordImageSize() const override { return FRecordSize; }
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalSetToRecord(const TRecordBuffer& buffer, int distance) override;
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  void InternalRefresh() override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  TRecordBuffer* KeyBuffer() override { return FKeyBuffers.empty() ? nullptr : &FKeyBuffers[0]; }
  void BufferReleased(TRecordBuffer& buffer) override { DropBlobCache(buffer); }

  // Record information of a buffer.
  std::int32_t BufferRecNo(const TRecordBuffer& buffer) const;
  void SetBufferRecNo(TRecordBuffer& buffer, std::int32_t recNo) const;
  std::int32_t BufferSeqNo(const TRecordBuffer& buffer) const;
  void SetBufferSeqNo(TRecordBuffer& buffer, std::int32_t seqNo) const;
  bool BufferReplaced(const TRecordBuffer& buffer) const;
  void SetBufferReplaced(TRecordBuffer& buffer, bool replaced) const;
  void SetBufferFlag(TRecordBuffer& buffer, TBookmarkFlag flag) const;
  void ClearBuffer(TRecordBuffer& buffer);

  // The cursor stands on the record the active buffer holds.
  void PositionOnActive();

  // Hands the condition to the engine cursor as its pending static filter,
  // switching an active filter off around the change when Filtered; throws
  // EKestrelError for a rejected condition (FFilterUpdated then unchanged).
  virtual void ApplyFilter(const std::string& filterText);
  // Called by an opening subclass once its cursor stands: hands over the
  // stored filter and activates it when Filtered.
  void OpenFilter();

  std::string FDatabaseName;
  TTdbDatabase* FDatabase = nullptr;
  std::int16_t FTableHdl = 0;
  int FTableLevel = 6;
  bool FCanModify = false;
  TOutOfTableState FOutOfTableState = TOutOfTableState::ootNone;
  std::vector<TRecordBuffer> FKeyBuffers;

 private:
  struct TBlobCacheEntry {
    std::string Bytes;
    bool Loaded = false;
    bool Modified = false;
  };
  using TBlobCache = std::vector<TBlobCacheEntry>;

  void BuildFieldDefs();
  TBlobCacheEntry& BlobEntry(TRecordBuffer& buffer, const TField& field);
  void LoadBlob(TRecordBuffer& buffer, const TField& field, TBlobCacheEntry& entry);
  void DropBlobCache(TRecordBuffer& buffer);
  // Refreshes the sequence numbers of the buffers when one is unknown.
  void UpdateSequenceNumbers();

  int FRecordSize = 0;
  int FBlobCacheOfs = 0;
  int FRelationsOfs = 0;
  int FRecInfoOfs = 0;
  int FRecBufSize = 0;
  std::vector<int> FBlobFieldIndex;  // by field number - 1: index among blob fields, -1 none
  int FBlobFieldCount = 0;
  std::vector<std::optional<TBlobCache>> FBlobInfoList;

  std::string FFilterW;
  bool FFiltered = false;
  // The engine cursor holds FFilterW as its pending or active filter.
  bool FFilterUpdated = false;
};

}  // namespace kestrel::access
