// The dataset framework: state changes, the ring of record buffers and
// navigation over it, editing steps and the notification of data links.
#include "access/dataset.h"

#include <algorithm>
#include <cassert>

#include "access/db_error.h"

namespace kestrel::access {
namespace {

bool IsEditing(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // A subclass has closed its cursor by now; detach without asking it anything.
  FState = TDataSetState::dsInactive;
  for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) source->SetDataSet(nullptr);
}

void TDataSet::CheckInvariants() const {
  assert(FRecordCount >= 0 && FRecordCount <= FBufferCount);
  assert(FRecordCount == 0 || (FActiveRecord >= 0 && FActiveRecord < FRecordCount));
  assert(!IsEditing(FState) || FRecordCount > 0);
}

// ---- State ------------------------------------------------------------------

void TDataSet::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    Call(BeforeOpen);
    OpenCursor();
    Call(AfterOpen);
    Call(AfterScroll);
  } else {
    if (IsEditing(FState)) Cancel();
    Call(BeforeClose);
    CloseCursor();
    Call(AfterClose);
  }
}

void TDataSet::OpenCursor() {
  SetState(TDataSetState::dsOpening);
  try {
    InternalOpen();
    FFields.clear();
    for (const TFieldDef& def : FFieldDefs) FFields.push_back(CreateField(*this, def));
    FTempBuffer.assign(static_cast<std::size_t>(RecordBufferSize()), 0);
    FBuffers.clear();
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBufferCount = 0;
    SetState(TDataSetState::dsBrowse);
    UpdateBufferCount();
    if (FBuffers.empty()) SetBufferCount(1);
    ClearBuffers();
    InternalFirst();
    GetNextRecords();
  } catch (...) {
    FState = TDataSetState::dsInactive;
    try {
      InternalClose();
    } catch (...) {
    }
    FFields.clear();
    FBuffers.clear();
    FRecordCount = 0;
    throw;
  }
  FBOF = true;
  FEOF = FRecordCount == 0;
  DataEvent(TDataEvent::deActiveChange);
}

void TDataSet::CloseCursor() {
  for (TRecordBuffer& buffer : FBuffers) BufferReleased(buffer);
  SetState(TDataSetState::dsInactive);
  FBuffers.clear();
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
  FBOF = FEOF = true;
  InternalClose();
  FFields.clear();
  DataEvent(TDataEvent::deActiveChange);
}

void TDataSet::SetState(TDataSetState value) {
  if (FState == value) return;
  FState = value;
  FModified = false;
  DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode);
  if (IsEditing(FState)) {
    UpdateRecord();
    if (FModified)
      Post();
    else
      Cancel();
  } else if (FState == TDataSetState::dsSetKey) {
    SetState(TDataSetState::dsBrowse);
  }
}

void TDataSet::UpdateRecord() {
  if (!IsEditing(FState) && FState != TDataSetState::dsSetKey)
    throw EDatabaseError("Dataset not in edit or insert mode");
  DataEvent(TDataEvent::deUpdateRecord);
}

// ---- Buffers ----------------------------------------------------------------

void TDataSet::ClearBuffers() {
  for (int i = 0; i < FRecordCount; ++i) BufferReleased(FBuffers[static_cast<std::size_t>(i)]);
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
  FBOF = FEOF = false;
}

void TDataSet::UpdateBufferCount() {
  if (!Active()) return;
  int wanted = 1;
  for (TDataSource* source : FDataSources)
    for (TDataLink* link : source->Links()) wanted = std::max(wanted, link->BufferCount());
  if (wanted != FBufferCount) SetBufferCount(wanted);
}

void TDataSet::SetBufferCount(int count) {
  const int size = RecordBufferSize();
  if (count < FRecordCount) {
    // Drop buffers from the far side of the active record.
    while (FRecordCount > count) {
      if (FActiveRecord < FRecordCount - 1) {
        BufferReleased(FBuffers[static_cast<std::size_t>(FRecordCount - 1)]);
      } else {
        BufferReleased(FBuffers.front());
        std::rotate(FBuffers.begin(), FBuffers.begin() + 1, FBuffers.begin() + FRecordCount);
        --FActiveRecord;
        if (FCurrentRecord >= 0) --FCurrentRecord;
      }
      --FRecordCount;
    }
    if (FCurrentRecord >= FRecordCount) FCurrentRecord = -1;
  }
  FBuffers.resize(static_cast<std::size_t>(count));
  for (TRecordBuffer& buffer : FBuffers)
    if (buffer.size() != static_cast<std::size_t>(size)) buffer.assign(static_cast<std::size_t>(size), 0);
  const bool grew = count > FBufferCount;
  FBufferCount = count;
  if (grew && FRecordCount > 0 && !IsEditing(FState)) {
    GetNextRecords();
    GetPriorRecords();
  }
  CheckInvariants();
  if (FState != TDataSetState::dsOpening && FRecordCount > 0) DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::SetCurrentRecord(int index) {
  if (FCurrentRecord == index) return;
  InternalSetToRecord(FBuffers[static_cast<std::size_t>(index)], FCurrentRecord >= 0 ? index - FCurrentRecord : 0);
  FCurrentRecord = index;
}

bool TDataSet::GetNextRecord(bool& shifted) {
  shifted = false;
  if (FRecordCount > 0) SetCurrentRecord(FRecordCount - 1);
  const TGetResult result = GetRecord(FTempBuffer, TGetMode::gmNext, true);
  if (result != TGetResult::grOK) {
    FCurrentRecord = -1;
    return false;
  }
  if (FRecordCount == FBufferCount) {
    BufferReleased(FBuffers.front());
    std::rotate(FBuffers.begin(), FBuffers.begin() + 1, FBuffers.begin() + FRecordCount);
    std::swap(FBuffers[static_cast<std::size_t>(FRecordCount - 1)], FTempBuffer);
    if (FActiveRecord > 0) --FActiveRecord;
    shifted = true;
  } else {
    std::swap(FBuffers[static_cast<std::size_t>(FRecordCount)], FTempBuffer);
    ++FRecordCount;
  }
  FCurrentRecord = FRecordCount - 1;
  return true;
}

bool TDataSet::GetPriorRecord(bool& shifted) {
  shifted = false;
  if (FRecordCount > 0) SetCurrentRecord(0);
  const TGetResult result = GetRecord(FTempBuffer, TGetMode::gmPrior, true);
  if (result != TGetResult::grOK) {
    FCurrentRecord = -1;
    return false;
  }
  if (FRecordCount == FBufferCount) {
    BufferReleased(FBuffers[static_cast<std::size_t>(FRecordCount - 1)]);
    std::swap(FBuffers[static_cast<std::size_t>(FRecordCount - 1)], FTempBuffer);
    std::rotate(FBuffers.begin(), FBuffers.begin() + FRecordCount - 1, FBuffers.begin() + FRecordCount);
    if (FActiveRecord < FRecordCount - 1) ++FActiveRecord;
    shifted = true;
  } else {
    std::swap(FBuffers[static_cast<std::size_t>(FRecordCount)], FTempBuffer);
    std::rotate(FBuffers.begin(), FBuffers.begin() + FRecordCount, FBuffers.begin() + FRecordCount + 1);
    ++FRecordCount;
    if (FRecordCount > 1) ++FActiveRecord;
  }
  FCurrentRecord = 0;
  return true;
}

void TDataSet::GetNextRecords() {
  bool shifted = false;
  while (FRecordCount < FBufferCount && GetNextRecord(shifted)) {
  }
}

void TDataSet::GetPriorRecords() {
  bool shifted = false;
  while (FRecordCount < FBufferCount && GetPriorRecord(shifted)) {
  }
}

void TDataSet::UpdateCursorPos() {
  if (HasActiveRecord()) SetCurrentRecord(FActiveRecord);
}

void TDataSet::Resync(bool center) {
  const int keepRow = FActiveRecord;
  ClearBuffers();
  TGetResult result = GetRecord(FBuffers[0], TGetMode::gmCurrent, false);
  if (result != TGetResult::grOK) result = GetRecord(FBuffers[0], TGetMode::gmNext, false);
  if (result != TGetResult::grOK) result = GetRecord(FBuffers[0], TGetMode::gmPrior, false);
  if (result != TGetResult::grOK) {
    FBOF = FEOF = true;
    CheckInvariants();
    DataEvent(TDataEvent::deDataSetChange);
    return;
  }
  FRecordCount = 1;
  FActiveRecord = 0;
  FCurrentRecord = 0;
  const int wantedRow = center ? (FBufferCount - 1) / 2 : std::min(keepRow, FBufferCount - 1);
  bool shifted = false;
  while (FActiveRecord < wantedRow && GetPriorRecord(shifted)) {
  }
  GetNextRecords();
  GetPriorRecords();
  CheckInvariants();
  DataEvent(TDataEvent::deDataSetChange);
}

// ---- Navigation -------------------------------------------------------------

void TDataSet::DoBeforeScroll() { Call(BeforeScroll); }

void TDataSet::DoAfterScroll() { Call(AfterScroll); }

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecords();
  } catch (...) {
    FBOF = FEOF = true;
    DataEvent(TDataEvent::deDataSetChange);
    throw;
  }
  FBOF = true;
  FEOF = FRecordCount == 0;
  DataEvent(TDataEvent::deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecords();
  } catch (...) {
    FBOF = FEOF = true;
    DataEvent(TDataEvent::deDataSetChange);
    throw;
  }
  FActiveRecord = std::max(0, FRecordCount - 1);
  FEOF = true;
  FBOF = FRecordCount == 0;
  DataEvent(TDataEvent::deDataSetChange);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if ((distance > 0 && !FEOF) || (distance < 0 && !FBOF)) {
    FBOF = FEOF = false;
    DoBeforeScroll();
    const int oldRecordCount = FRecordCount;
    int scrolled = 0;
    bool shifted = false;
    if (distance > 0) {
      for (; moved < distance; ++moved) {
        if (FActiveRecord < FRecordCount - 1) {
          ++FActiveRecord;
        } else if (GetNextRecord(shifted)) {
          FActiveRecord = FRecordCount - 1;
          if (shifted) ++scrolled;
        } else {
          FEOF = true;
          break;
        }
      }
    } else {
      for (; moved < -distance; ++moved) {
        if (FActiveRecord > 0) {
          --FActiveRecord;
        } else if (GetPriorRecord(shifted)) {
          FActiveRecord = 0;
          if (shifted) --scrolled;
        } else {
          FBOF = true;
          break;
        }
      }
    }
    CheckInvariants();
    if (FRecordCount != oldRecordCount)
      DataEvent(TDataEvent::deDataSetChange);
    else
      DataEvent(TDataEvent::deDataSetScroll, scrolled);
    DoAfterScroll();
  }
  return moved;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(false);
}

// ---- Bookmarks ----------------------------------------------------------------

TBookmark TDataSet::Bookmark() {
  if (!HasActiveRecord() || FState == TDataSetState::dsInsert) return TBookmark();
  return GetBookmarkData(ActiveBuffer());
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync(true);
  DoAfterScroll();
}

// ---- Editing ------------------------------------------------------------------

void TDataSet::InternalEdit() { throw EDatabaseError("Cannot modify a read-only dataset"); }
void TDataSet::InternalInsert() { throw EDatabaseError("Cannot modify a read-only dataset"); }
void TDataSet::InternalPost() { throw EDatabaseError("Cannot modify a read-only dataset"); }
void TDataSet::InternalCancel() {}
void TDataSet::InternalDelete() { throw EDatabaseError("Cannot modify a read-only dataset"); }

void TDataSet::Edit() {
  if (IsEditing(FState)) return;
  CheckActive();
  if (!CanModify()) throw EDatabaseError(Name() + ": Cannot modify a read-only dataset");
  if (FRecordCount == 0) {
    Insert();
    return;
  }
  Call(BeforeEdit);
  UpdateCursorPos();
  InternalEdit();
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange);
  Call(AfterEdit);
}

void TDataSet::Insert() {
  CheckBrowseMode();
  if (!CanModify()) throw EDatabaseError(Name() + ": Cannot modify a read-only dataset");
  Call(BeforeInsert);
  DoBeforeScroll();
  UpdateCursorPos();
  // Make room for the new buffer at the active row.
  if (FRecordCount == FBufferCount) {
    if (FActiveRecord == FRecordCount - 1 && FRecordCount > 1) {
      BufferReleased(FBuffers.front());
      std::rotate(FBuffers.begin(), FBuffers.begin() + 1, FBuffers.begin() + FRecordCount);
      --FActiveRecord;
    } else {
      BufferReleased(FBuffers[static_cast<std::size_t>(FRecordCount - 1)]);
    }
    --FRecordCount;
  }
  const int row = FRecordCount == 0 ? 0 : FActiveRecord;
  std::rotate(FBuffers.begin() + row, FBuffers.begin() + FRecordCount, FBuffers.begin() + FRecordCount + 1);
  ++FRecordCount;
  FActiveRecord = row;
  FCurrentRecord = -1;
  try {
    InternalInitRecord(ActiveBuffer());
    InternalInsert();
  } catch (...) {
    Resync(false);
    throw;
  }
  FBOF = FEOF = false;
  SetState(TDataSetState::dsInsert);
  FModified = false;
  DataEvent(TDataEvent::deDataSetChange);
  Call(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Append() {
  CheckBrowseMode();
  if (!CanModify()) throw EDatabaseError(Name() + ": Cannot modify a read-only dataset");
  Call(BeforeInsert);
  DoBeforeScroll();
  ClearBuffers();
  // The last records fill the window up to one row short; the new record
  // takes that row.
  bool shifted = false;
  try {
    InternalLast();
    while (FRecordCount < FBufferCount - 1 && GetPriorRecord(shifted)) {
    }
    FActiveRecord = FRecordCount;
    ++FRecordCount;
    FCurrentRecord = -1;
    InternalInitRecord(ActiveBuffer());
    InternalInsert();
  } catch (...) {
    Resync(false);
    throw;
  }
  FBOF = false;
  FEOF = true;
  SetState(TDataSetState::dsInsert);
  FModified = false;
  DataEvent(TDataEvent::deDataSetChange);
  Call(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Post() {
  UpdateRecord();
  if (!IsEditing(FState)) return;
  Call(BeforePost);
  for (const auto& field : FFields)
    if (field->Required() && !field->IsBlob() && field->IsNull())
      throw EDatabaseError(FormatText("Field '%s' must have a value", {field->FieldName()}));
  InternalPost();
  SetState(TDataSetState::dsBrowse);
  Resync(false);
  Call(AfterPost);
}

void TDataSet::Cancel() {
  if (!IsEditing(FState)) {
    if (FState == TDataSetState::dsSetKey) SetState(TDataSetState::dsBrowse);
    return;
  }
  DataEvent(TDataEvent::deCheckBrowseMode);
  Call(BeforeCancel);
  const bool wasInsert = FState == TDataSetState::dsInsert;
  InternalCancel();
  SetState(TDataSetState::dsBrowse);
  if (wasInsert) CursorPosChanged();
  Resync(false);
  Call(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (FRecordCount == 0) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  DataEvent(TDataEvent::deCheckBrowseMode);
  Call(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  InternalDelete();
  SetState(TDataSetState::dsBrowse);
  CursorPosChanged();
  Resync(false);
  Call(AfterDelete);
  DoAfterScroll();
}

// ---- Fields -----------------------------------------------------------------

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : FFields)
    if (SameNameIgnoringCase(field->FieldName(), name)) return field.get();
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) throw EDatabaseError(FormatText("Field '%s' not found", {name}));
  return *field;
}

std::span<std::uint8_t> TDataSet::FieldImage() {
  if (FState == TDataSetState::dsSetKey) {
    TRecordBuffer* key = KeyBuffer();
    if (key != nullptr) return std::span<std::uint8_t>(key->data(), static_cast<std::size_t>(RecordImageSize()));
  }
  if (!HasActiveRecord()) return {};
  return std::span<std::uint8_t>(ActiveBuffer().data(), static_cast<std::size_t>(RecordImageSize()));
}

std::span<std::uint8_t> TDataSet::FieldWriteImage(TField& field) {
  if (!IsEditing(FState) && FState != TDataSetState::dsSetKey && FState != TDataSetState::dsCalcFields &&
      FState != TDataSetState::dsFilter && FState != TDataSetState::dsNewValue &&
      FState != TDataSetState::dsInternalCalc)
    throw EDatabaseError("Dataset not in edit or insert mode");
  if (FState == TDataSetState::dsCalcFields) throw EDatabaseError("Dataset not in edit or insert mode");
  if (field.ReadOnly() && FState != TDataSetState::dsSetKey && FState != TDataSetState::dsFilter)
    throw EDatabaseError(FormatText("Field '%s' cannot be modified", {field.FieldName()}));
  return FieldImage();
}

void TDataSet::FieldChanged(TField& field) {
  if (FState == TDataSetState::dsSetKey || FState == TDataSetState::dsFilter) return;
  FModified = true;
  DataEvent(TDataEvent::deFieldChange, reinterpret_cast<std::intptr_t>(&field));
}

// ---- Data sources and links ----------------------------------------------------

void TDataSet::AddDataSource(TDataSource* source) {
  if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
    FDataSources.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  std::erase(FDataSources, source);
  UpdateBufferCount();
}

void TDataSet::DataEvent(TDataEvent event, std::intptr_t info) {
  if (FDisableCount > 0) {
    if (event != TDataEvent::deUpdateRecord && event != TDataEvent::deCheckBrowseMode) FChangedWhileDisabled = true;
    if (event == TDataEvent::deUpdateRecord || event == TDataEvent::deCheckBrowseMode)
      for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) source->NotifyLinks(event, info);
    return;
  }
  for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) source->NotifyLinks(event, info);
}

void TDataSet::DisableControls() {
  if (FDisableCount++ == 0) {
    FDisableState = FState;
    FChangedWhileDisabled = false;
  }
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0 || --FDisableCount > 0) return;
  const bool activeChanged = (FDisableState == TDataSetState::dsInactive) != (FState == TDataSetState::dsInactive);
  if (activeChanged) {
    DataEvent(TDataEvent::deActiveChange);
  } else if (FDisableState != FState) {
    DataEvent(TDataEvent::deUpdateState);
  }
  if (FChangedWhileDisabled || activeChanged) DataEvent(TDataEvent::deDataSetChange);
  FChangedWhileDisabled = false;
}

}  // namespace kestrel::access
