// The engine-backed dataset: fetching, record information, fields from the
// cursor's columns, memo and blob values, editing through the cursor.
#include "access/tdb_dataset.h"

#include <cstring>

#include "access/db_error.h"
#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

constexpr int kCacheSlotSize = 4;
constexpr int kRecInfoSize = 16;
constexpr int kSeqNoOffset = 0;
constexpr int kFlagOffset = 4;
constexpr int kRecNoOffset = 5;
constexpr int kReplacedOffset = 9;
constexpr int kBookmarkSize = 4;
constexpr int kBlobCacheGrowth = 100;
constexpr int kEnumFieldSize = 40;
constexpr int kLinkFieldSize = 255;

std::int32_t ReadInt32(const TRecordBuffer& buffer, int offset) {
  std::int32_t value = 0;
  std::memcpy(&value, buffer.data() + offset, sizeof value);
  return value;
}

void WriteInt32(TRecordBuffer& buffer, int offset, std::int32_t value) {
  std::memcpy(buffer.data() + offset, &value, sizeof value);
}

// The field type of an engine column type.
TFieldType FieldTypeOf(int columnType) {
  switch (columnType) {
    case tctChar: case tctString: return TFieldType::ftString;
    case tctInt16: return TFieldType::ftSmallint;
    case tctFloat: return TFieldType::ftFloat;
    case tctByte: return TFieldType::ftSmallint;
    case tctBoolean: return TFieldType::ftBoolean;
    case tctDate: return TFieldType::ftDate;
    case tctMemo: return TFieldType::ftMemo;
    case tctEnum: return TFieldType::ftSmallint;
    case tctRecordId: return TFieldType::ftAutoInc;
    case tctLink: return TFieldType::ftInteger;
    case tctBlob: return TFieldType::ftBlob;
    case tctRelation: return TFieldType::ftWideString;
    case tctTime: return TFieldType::ftTime;
    case tctLongInt: return TFieldType::ftInteger;
    case tctDateTime: return TFieldType::ftDateTime;
    case tctWideString: return TFieldType::ftWideString;
    case tctWideMemo: return TFieldType::ftWideMemo;
    case tctInt64: return TFieldType::ftLargeint;
    case tctGuid: return TFieldType::ftGuid;
    default: return TFieldType::ftDate;
  }
}

void ChangeCallback(void* userData, std::int16_t, std::int16_t, std::int32_t newRecNo, std::int32_t oldRecNo) {
  static_cast<TTdbDataSet*>(userData)->RecordMoved(newRecNo, oldRecNo);
}

}  // namespace

TTdbDataSet::TTdbDataSet() = default;

TTdbDataSet::~TTdbDataSet() = default;

void TTdbDataSet::SetDatabaseName(const std::string& name) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  FDatabaseName = name;
}

void TTdbDataSet::Raise(std::int32_t result, const std::string& action) const {
  RaiseTdbError(result, action, SessionHandle());
}

std::int32_t TTdbDataSet::Check(std::int32_t result, const std::string& action) const {
  if (result < 0) Raise(result, action);
  return result;
}

// ---- Opening ----------------------------------------------------------------

void TTdbDataSet::OpenEngineCursor(std::int16_t tableHdl) {
  FTableHdl = tableHdl;
  FCanModify = TdbTableCanModify(FTableHdl) > 0;
  TdbTableSetChangeCallback(FTableHdl, ChangeCallback, this);
  FDatabase->RegisterClient(this);
  FTableLevel = Check(TdbTableGetRltnVersion(FTableHdl), "Reading Data");
  FRecordSize = Check(TdbTableGetRecordSize(FTableHdl), "Reading Data");
  BuildFieldDefs();
  FBlobCacheOfs = FRecordSize;
  FRelationsOfs = FBlobCacheOfs + kCacheSlotSize;
  FRecInfoOfs = FBlobCacheOfs + 2 * kCacheSlotSize;
  FRecBufSize = FRecInfoOfs + kRecInfoSize;
  FBlobInfoList.clear();
  FBlobInfoList.reserve(kBlobCacheGrowth);
  FKeyBuffers.assign(3, TRecordBuffer(static_cast<std::size_t>(FRecBufSize), 0));
  for (TRecordBuffer& key : FKeyBuffers) ClearBuffer(key);
}

void TTdbDataSet::CloseEngineCursor() {
  FKeyBuffers.clear();
  FBlobInfoList.clear();
  FFilterUpdated = false;  // the engine's copy goes with the cursor
  if (FDatabase != nullptr) FDatabase->UnRegisterClient(this);
  if (FTableHdl > 0) {
    TdbTableSetChangeCallback(FTableHdl, nullptr, nullptr);
    TdbTableDelete(FTableHdl);
  }
  FTableHdl = 0;
}

void TTdbDataSet::BuildFieldDefs() {
  FFieldDefs.clear();
  FBlobFieldIndex.clear();
  FBlobFieldCount = 0;
  const std::int32_t count = Check(TdbTableGetNumFields(FTableHdl), "Reading Data");
  for (std::int32_t fieldNo = 1; fieldNo <= count; ++fieldNo) {
    TTdbFieldSpec spec{};
    Check(TdbTableGetFieldSpec(FTableHdl, fieldNo, &spec), "Reading Data");
    TFieldDef def;
    def.Name = Utf16ToUtf8(spec.Name);
    def.FieldNo = fieldNo;
    def.DataType = FieldTypeOf(spec.FldType);
    def.Layout = TColumnLayout::FromSpec(spec.FldType, spec.Options, spec.Param, spec.InternalPosition,
                                         spec.InternalSize, FTableLevel);
    if (def.Layout.Position < 0 || def.Layout.Position + def.Layout.Size > FRecordSize)
      throw EDatabaseError(FormatText("Column %s lies outside the record", {def.Name}));
    switch (spec.FldType) {
      case tctString: case tctChar: case tctWideString: def.Size = def.Layout.MaxLength(); break;
      case tctEnum: def.Size = kEnumFieldSize; break;
      case tctLink: def.Size = kLinkFieldSize; break;
      case tctFloat: case tctTime: def.Precision = spec.Param; break;
      default: break;
    }
    def.ReadOnly = (spec.Options & kColumnOptionCalculated) != 0 || spec.FldType == tctRecordId;
    def.Required = (spec.Options & kColumnOptionNullable) == 0 && spec.FldType != tctRecordId &&
                   spec.FldType != tctMemo && spec.FldType != tctWideMemo && spec.FldType != tctBlob;
    const bool blob = def.DataType == TFieldType::ftMemo || def.DataType == TFieldType::ftWideMemo ||
                      def.DataType == TFieldType::ftBlob;
    FBlobFieldIndex.push_back(blob ? FBlobFieldCount++ : -1);
    FFieldDefs.push_back(def);
  }
}

// ---- Record information -------------------------------------------------------

std::int32_t TTdbDataSet::BufferRecNo(const TRecordBuffer& buffer) const {
  return ReadInt32(buffer, FRecInfoOfs + kRecNoOffset);
}
void TTdbDataSet::SetBufferRecNo(TRecordBuffer& buffer, std::int32_t recNo) const {
  WriteInt32(buffer, FRecInfoOfs + kRecNoOffset, recNo);
}
std::int32_t TTdbDataSet::BufferSeqNo(const TRecordBuffer& buffer) const {
  return ReadInt32(buffer, FRecInfoOfs + kSeqNoOffset);
}
void TTdbDataSet::SetBufferSeqNo(TRecordBuffer& buffer, std::int32_t seqNo) const {
  WriteInt32(buffer, FRecInfoOfs + kSeqNoOffset, seqNo);
}
bool TTdbDataSet::BufferReplaced(const TRecordBuffer& buffer) const {
  return buffer[static_cast<std::size_t>(FRecInfoOfs + kReplacedOffset)] != 0;
}
void TTdbDataSet::SetBufferReplaced(TRecordBuffer& buffer, bool replaced) const {
  buffer[static_cast<std::size_t>(FRecInfoOfs + kReplacedOffset)] = replaced ? 1 : 0;
}
void TTdbDataSet::SetBufferFlag(TRecordBuffer& buffer, TBookmarkFlag flag) const {
  buffer[static_cast<std::size_t>(FRecInfoOfs + kFlagOffset)] = static_cast<std::uint8_t>(flag);
}

void TTdbDataSet::ClearBuffer(TRecordBuffer& buffer) {
  DropBlobCache(buffer);
  std::fill(buffer.begin(), buffer.begin() + FRecordSize, 0);
  WriteInt32(buffer, FBlobCacheOfs, -1);
  WriteInt32(buffer, FRelationsOfs, -1);
  SetBufferSeqNo(buffer, -1);
  SetBufferFlag(buffer, TBookmarkFlag::bfEOF);
  SetBufferRecNo(buffer, -1);
  SetBufferReplaced(buffer, false);
}

// ---- Fetching -------------------------------------------------------------------

TGetResult TTdbDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) {
  if (buffer.size() != static_cast<std::size_t>(FRecBufSize)) {
    buffer.assign(static_cast<std::size_t>(FRecBufSize), 0);
    WriteInt32(buffer, FBlobCacheOfs, -1);
  }
  std::int32_t answer = 0;
  TGetResult result = TGetResult::grOK;
  switch (mode) {
    case TGetMode::gmCurrent:
      answer = TdbTableMoveBy(FTableHdl, 0);
      if (answer == TDB_ERR_RECORD_NOT_EXISTS)
        result = FOutOfTableState == TOutOfTableState::ootBOT ? TGetResult::grBOF : TGetResult::grEOF;
      break;
    case TGetMode::gmNext:
      answer = FOutOfTableState == TOutOfTableState::ootBOT ? TdbTableFirst(FTableHdl) : TdbTableMoveBy(FTableHdl, 1);
      if (answer == TDB_ERR_RECORD_NOT_EXISTS) result = TGetResult::grEOF;
      break;
    case TGetMode::gmPrior:
      answer = FOutOfTableState == TOutOfTableState::ootEOT ? TdbTableLast(FTableHdl) : TdbTableMoveBy(FTableHdl, -1);
      if (answer == TDB_ERR_RECORD_NOT_EXISTS) result = TGetResult::grBOF;
      break;
  }
  if (result == TGetResult::grOK && answer < 0) result = TGetResult::grError;
  if (result == TGetResult::grOK) {
    FOutOfTableState = TOutOfTableState::ootNone;
    DropBlobCache(buffer);
    Check(TdbTableGetRecord(FTableHdl, buffer.data(), FRecordSize), "Fetching records");
    const std::int32_t recNo = TdbTableGetRecNo(FTableHdl);
    SetBufferRecNo(buffer, recNo);
    SetBufferSeqNo(buffer, 0);
    SetBufferFlag(buffer, recNo != 0 ? TBookmarkFlag::bfCurrent : TBookmarkFlag::bfInserted);
    SetBufferReplaced(buffer, false);
    return result;
  }
  ClearBuffer(buffer);
  if (result == TGetResult::grError && doCheck) Raise(answer, "Fetching record");
  return result;
}

void TTdbDataSet::InternalFirst() {
  TdbTableFirst(FTableHdl);
  FOutOfTableState = TOutOfTableState::ootBOT;
}

void TTdbDataSet::InternalLast() {
  if (State() == TDataSetState::dsInsert)
    TdbTableSetRecNo(FTableHdl, 0);
  else if (State() == TDataSetState::dsBrowse || State() == TDataSetState::dsBlockRead)
    TdbTableLast(FTableHdl);
  FOutOfTableState = TOutOfTableState::ootEOT;
}

void TTdbDataSet::InternalSetToRecord(const TRecordBuffer& buffer, int distance) {
  const std::int32_t recNo = BufferRecNo(buffer);
  if (recNo == TdbTableGetRecNo(FTableHdl) && FOutOfTableState == TOutOfTableState::ootNone) return;
  // Stepping to a neighbour is cheaper than finding the record by number.
  if (distance != 0 && recNo > 0 && FOutOfTableState == TOutOfTableState::ootNone &&
      TdbTableMoveBy(FTableHdl, distance) == 0 && TdbTableGetRecNo(FTableHdl) == recNo)
    return;
  const std::int32_t reached = TdbTableSetRecNo(FTableHdl, recNo < 0 ? 0 : recNo);
  FOutOfTableState = reached == recNo ? TOutOfTableState::ootNone : TOutOfTableState::ootEOT;
}

void TTdbDataSet::PositionOnActive() {
  UpdateCursorPos();
  if (HasActiveRecord()) InternalSetToRecord(ActiveBuffer(), 0);
}

TBookmark TTdbDataSet::GetBookmarkData(const TRecordBuffer& buffer) const {
  const auto* start = buffer.data() + FRecInfoOfs + kRecNoOffset;
  return TBookmark(start, start + kBookmarkSize);
}

TBookmarkFlag TTdbDataSet::GetBookmarkFlag(const TRecordBuffer& buffer) const {
  return static_cast<TBookmarkFlag>(buffer[static_cast<std::size_t>(FRecInfoOfs + kFlagOffset)]);
}

void TTdbDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  std::int32_t recNo = 0;
  if (bookmark.size() == kBookmarkSize) std::memcpy(&recNo, bookmark.data(), kBookmarkSize);
  const std::int32_t reached = TdbTableSetRecNo(FTableHdl, recNo);
  if (reached < 0) Raise(reached, "Going to bookmark");
  if (reached != recNo) throw EDatabaseError("Going to bookmark: Record not found");
  FOutOfTableState = TOutOfTableState::ootNone;
  CursorPosChanged();
}

void TTdbDataSet::InternalRefresh() {
  TdbTableRefresh(FTableHdl, 1);
  CursorPosChanged();
}

void TTdbDataSet::InternalInitRecord(TRecordBuffer& buffer) { ClearBuffer(buffer); }

// ---- Counting and positions -------------------------------------------------------

int TTdbDataSet::RecordCount() {
  if (!Active()) return 0;
  return TdbTableRecordCount(FTableHdl);
}

int TTdbDataSet::RecordCountNow() {
  if (!Active()) return 0;
  constexpr std::int32_t kReadLock = 1;
  // Taken without waiting; it also reads the table again when another
  // program changed it, so the count is the current one.
  if (TdbTableLock(FTableHdl, kReadLock, 0) < 0) return -1;
  const std::int32_t count = TdbTableRecordCount(FTableHdl);
  TdbTableUnlock(FTableHdl, kReadLock);
  return count;
}

bool TTdbDataSet::IsSequenced() { return Active() && TdbTableIsSequenced(FTableHdl) == 1; }

void TTdbDataSet::UpdateSequenceNumbers() {
  auto& buffers = Buffers();
  const int count = BufferedRecordCount();
  bool unknown = false;
  for (int i = 0; i < count; ++i) unknown = unknown || BufferSeqNo(buffers[static_cast<std::size_t>(i)]) == 0;
  // The buffer of an insert that was just posted or cancelled holds no stored
  // record until the buffers are re-read: positioning on it would move the
  // cursor off the record the re-read starts from.
  if (!unknown || BufferRecNo(ActiveBuffer()) <= 0) return;
  if (!IsSequenced()) {
    for (int i = 0; i < count; ++i)
      SetBufferSeqNo(buffers[static_cast<std::size_t>(i)], BufferRecNo(buffers[static_cast<std::size_t>(i)]));
    return;
  }
  PositionOnActive();
  const std::int32_t sequence = TdbTableGetSequenceNo(FTableHdl);
  for (int i = 0; i < count; ++i)
    SetBufferSeqNo(buffers[static_cast<std::size_t>(i)], sequence + i - ActiveRecord());
}

int TTdbDataSet::RecNo() {
  if (!Active() || !HasActiveRecord() || State() == TDataSetState::dsInsert) return 0;
  UpdateSequenceNumbers();
  return BufferSeqNo(ActiveBuffer());
}

void TTdbDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  DoBeforeScroll();
  const std::int32_t answer =
      IsSequenced() ? TdbTableSetSequenceNo(FTableHdl, value) : TdbTableSetRecNo(FTableHdl, value);
  if (answer != value) {
    CursorPosChanged();
    if (answer < 0) Raise(answer, FormatText("Setting to record number %d", {std::to_string(value)}));
    throw EDatabaseError(FormatText("Record %d not found", {std::to_string(value)}));
  }
  FOutOfTableState = TOutOfTableState::ootNone;
  CursorPosChanged();
  Resync(true);
  DoAfterScroll();
}

int TTdbDataSet::RecordNo() {
  if (!HasActiveRecord() || State() == TDataSetState::dsInsert) return 0;
  return BufferRecNo(ActiveBuffer());
}

void TTdbDataSet::RecordMoved(std::int32_t newRecNo, std::int32_t oldRecNo) {
  const bool sequenced = IsSequenced();
  for (TRecordBuffer& buffer : Buffers()) {
    if (buffer.size() != static_cast<std::size_t>(FRecBufSize)) continue;
    if (BufferRecNo(buffer) == newRecNo) {
      SetBufferReplaced(buffer, true);
    } else if (BufferRecNo(buffer) == oldRecNo) {
      SetBufferRecNo(buffer, newRecNo);
      if (!sequenced) SetBufferSeqNo(buffer, newRecNo);
    }
  }
}

// ---- Memos and blobs ---------------------------------------------------------------

void TTdbDataSet::DropBlobCache(TRecordBuffer& buffer) {
  if (buffer.size() != static_cast<std::size_t>(FRecBufSize) || FRecBufSize == 0) return;
  const std::int32_t slot = ReadInt32(buffer, FBlobCacheOfs);
  if (slot >= 0 && slot < static_cast<std::int32_t>(FBlobInfoList.size()))
    FBlobInfoList[static_cast<std::size_t>(slot)].reset();
  WriteInt32(buffer, FBlobCacheOfs, -1);
}

TTdbDataSet::TBlobCacheEntry& TTdbDataSet::BlobEntry(TRecordBuffer& buffer, const TField& field) {
  std::int32_t slot = ReadInt32(buffer, FBlobCacheOfs);
  if (slot < 0 || slot >= static_cast<std::int32_t>(FBlobInfoList.size()) ||
      !FBlobInfoList[static_cast<std::size_t>(slot)]) {
    slot = -1;
    for (std::size_t i = 0; i < FBlobInfoList.size() && slot < 0; ++i)
      if (!FBlobInfoList[i]) slot = static_cast<std::int32_t>(i);
    if (slot < 0) {
      slot = static_cast<std::int32_t>(FBlobInfoList.size());
      FBlobInfoList.resize(FBlobInfoList.size() + kBlobCacheGrowth);
    }
    FBlobInfoList[static_cast<std::size_t>(slot)].emplace(static_cast<std::size_t>(FBlobFieldCount));
    WriteInt32(buffer, FBlobCacheOfs, slot);
  }
  const int index = FBlobFieldIndex.at(static_cast<std::size_t>(field.FieldNo() - 1));
  if (index < 0) throw EDatabaseError(FormatText("Field '%s' is not a memo or blob field", {field.FieldName()}));
  return (*FBlobInfoList[static_cast<std::size_t>(slot)])[static_cast<std::size_t>(index)];
}

void TTdbDataSet::LoadBlob(TRecordBuffer& buffer, const TField& field, TBlobCacheEntry& entry) {
  entry.Loaded = true;
  entry.Bytes.clear();
  const std::int32_t recNo = BufferRecNo(buffer);
  if (recNo <= 0 || ReadInteger(field.Layout(), buffer) == 0) return;
  const std::int32_t saved = TdbTableGetRecNo(FTableHdl);
  const bool move = saved != recNo;
  const TOutOfTableState savedState = FOutOfTableState;
  auto restore = [&] {
    if (!move) return;
    TdbTableSetRecNo(FTableHdl, saved);
    FOutOfTableState = savedState;
  };
  try {
    if (move && TdbTableSetRecNo(FTableHdl, recNo) != recNo) throw EDatabaseError("Reading blob: Record not found");
    std::int32_t blobType = 0;
    const std::int32_t size = TdbTableInitGetBlob(FTableHdl, field.FieldNo(), -1, &blobType);
    if (size < 0) Raise(size, "Reading blob");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0) {
      const std::int32_t read = TdbTablePerformGetBlob(FTableHdl, bytes.data(), size);
      if (read < 0) Raise(read, field.DataType() == TFieldType::ftBlob ? "Reading blob" : "Reading memo");
      bytes.resize(static_cast<std::size_t>(read));
    }
    entry.Bytes = std::move(bytes);
  } catch (...) {
    entry.Loaded = false;
    restore();
    throw;
  }
  restore();
}

std::string TTdbDataSet::ReadBlob(const TField& field) {
  if (!HasActiveRecord()) return std::string();
  TRecordBuffer& buffer = ActiveBuffer();
  TBlobCacheEntry& entry = BlobEntry(buffer, field);
  if (!entry.Loaded) LoadBlob(buffer, field, entry);
  return entry.Bytes;
}

void TTdbDataSet::WriteBlob(TField& field, const std::string& bytes) {
  TBlobCacheEntry& entry = BlobEntry(ActiveBuffer(), field);
  entry.Bytes = bytes;
  entry.Loaded = true;
  entry.Modified = true;
}

// ---- Editing ------------------------------------------------------------------------

void TTdbDataSet::WriteRecord() {
  TRecordBuffer& buffer = ActiveBuffer();
  Check(TdbTableSetRecord(FTableHdl, buffer.data(), FRecordSize), FormatText("Writing record to dataset %s", {Name()}));
  for (const auto& field : Fields()) {
    if (!field->IsBlob()) continue;
    TBlobCacheEntry& entry = BlobEntry(buffer, *field);
    if (!entry.Modified) continue;
    if (field->DataType() == TFieldType::ftWideMemo && entry.Bytes.size() % 2 != 0)
      throw EDatabaseError(FormatText("Wide memo \"%s\" is invalid, must have even number of bytes.", {field->FieldName()}));
    Check(TdbTableSetBlob(FTableHdl, field->FieldNo(), entry.Bytes.data(), static_cast<std::int32_t>(entry.Bytes.size())),
          "Writing blob");
  }
}

void TTdbDataSet::InternalEdit() {
  TRecordBuffer& buffer = ActiveBuffer();
  if (BufferReplaced(buffer)) throw EDatabaseError("This record has been deleted");
  const std::int32_t recNo = BufferRecNo(buffer);
  if (TdbTableSetRecNo(FTableHdl, recNo) != recNo) throw EDatabaseError("This record has been deleted");
  FOutOfTableState = TOutOfTableState::ootNone;
  Check(TdbTableEdit(FTableHdl), "Entering record");
  GetRecord(buffer, TGetMode::gmCurrent, true);
  DropBlobCache(buffer);
}

void TTdbDataSet::InternalInsert() {
  Check(TdbTableAppend(FTableHdl), FormatText("Inserting record into dataset %s", {Name()}));
  TRecordBuffer& buffer = ActiveBuffer();
  Check(TdbTableGetRecord(FTableHdl, buffer.data(), FRecordSize), FormatText("Inserting record into dataset %s", {Name()}));
  SetBufferSeqNo(buffer, 0);
  SetBufferRecNo(buffer, 0);
  SetBufferReplaced(buffer, false);
}

void TTdbDataSet::InternalPost() {
  const std::string action = FormatText("Writing record to dataset %s", {Name()});
  if (State() == TDataSetState::dsEdit) {
    const std::int32_t recNo = BufferRecNo(ActiveBuffer());
    const std::int32_t reached = TdbTableSetRecNo(FTableHdl, recNo);
    if (reached < 0) Raise(reached, action);
    WriteRecord();
    Check(TdbTableEditConfirm(FTableHdl), action);
  } else {
    WriteRecord();
    const std::int32_t recNo =
        Check(TdbTableAppendConfirm(FTableHdl), FormatText("Appending record to dataset %s", {Name()}));
    // The new record is current; the buffer now names it.
    SetBufferRecNo(ActiveBuffer(), recNo);
  }
  FOutOfTableState = TOutOfTableState::ootNone;
  CursorPosChanged();
}

void TTdbDataSet::InternalCancel() {
  TRecordBuffer& buffer = ActiveBuffer();
  if (State() == TDataSetState::dsEdit) {
    Check(TdbTableEditCancel(FTableHdl), "Cancelling record");
    return;
  }
  TdbTableSetRecord(FTableHdl, buffer.data(), FRecordSize);
  Check(TdbTableAppendCancel(FTableHdl), "Cancelling Record");
  FOutOfTableState = TOutOfTableState::ootNone;
  // Back to the record that was current before the insert, else the last.
  const auto& buffers = Buffers();
  std::int32_t back = 0;
  for (int i = ActiveRecord() + 1; i < BufferedRecordCount() && back <= 0; ++i)
    back = BufferRecNo(buffers[static_cast<std::size_t>(i)]);
  if (back <= 0 || TdbTableSetRecNo(FTableHdl, back) != back) {
    if (TdbTableLast(FTableHdl) < 0) FOutOfTableState = TOutOfTableState::ootEOT;
  }
}

void TTdbDataSet::InternalDelete() {
  if (!FCanModify) throw EDatabaseError(Name() + ": Cannot modify a read-only dataset");
  TRecordBuffer& buffer = ActiveBuffer();
  if (BufferReplaced(buffer)) throw EDatabaseError("This record has been deleted");
  if (State() == TDataSetState::dsEdit) TdbTableEditCancel(FTableHdl);
  const std::int32_t recNo = BufferRecNo(buffer);
  if (TdbTableGetRecNo(FTableHdl) != recNo) TdbTableSetRecNo(FTableHdl, recNo);
  Check(TdbTableDeleteRecord(FTableHdl), "Deleting record");
  FOutOfTableState = TdbTableRecordCount(FTableHdl) == 0 ? TOutOfTableState::ootEOT : TOutOfTableState::ootNone;
}

}  // namespace kestrel::access
