// The in-memory dataset.
#include "access/memory_dataset.h"

#include <cstring>

#include "access/db_error.h"

namespace kestrel::access {
namespace {

constexpr int kSerialSize = 4;
constexpr int kStringPrefixSize = 1;
constexpr int kLongStringPrefixSize = 2;
constexpr int kShortStringLimit = 255;

// The engine column type and stored size (without indicator) of a field type.
void ColumnOf(TFieldType type, int size, int& columnType, int& storedSize) {
  switch (type) {
    case TFieldType::ftString:
      columnType = tctString;
      storedSize = size + (size < kShortStringLimit ? kStringPrefixSize : kLongStringPrefixSize);
      return;
    case TFieldType::ftWideString: columnType = tctWideString; storedSize = 2 + 2 * size; return;
    case TFieldType::ftSmallint: columnType = tctInt16; storedSize = 2; return;
    case TFieldType::ftWord: columnType = tctByte; storedSize = 1; return;
    case TFieldType::ftInteger: columnType = tctLongInt; storedSize = 4; return;
    case TFieldType::ftAutoInc: columnType = tctRecordId; storedSize = 4; return;
    case TFieldType::ftLargeint: columnType = tctInt64; storedSize = 8; return;
    case TFieldType::ftFloat: columnType = tctFloat; storedSize = 8; return;
    case TFieldType::ftBoolean: columnType = tctBoolean; storedSize = 1; return;
    case TFieldType::ftDate: columnType = tctDate; storedSize = 4; return;
    case TFieldType::ftTime: columnType = tctTime; storedSize = 4; return;
    case TFieldType::ftDateTime: columnType = tctDateTime; storedSize = 8; return;
    case TFieldType::ftGuid: columnType = tctGuid; storedSize = 16; return;
    case TFieldType::ftMemo: columnType = tctMemo; storedSize = 4; return;
    case TFieldType::ftWideMemo: columnType = tctWideMemo; storedSize = 4; return;
    case TFieldType::ftBlob: columnType = tctBlob; storedSize = 4; return;
    case TFieldType::ftUnknown: break;
  }
  throw EDatabaseError("Unknown field type");
}

bool IsBlobType(TFieldType type) {
  return type == TFieldType::ftMemo || type == TFieldType::ftWideMemo || type == TFieldType::ftBlob;
}

}  // namespace

TMemoryDataSet::TMemoryDataSet() = default;

TMemoryDataSet::~TMemoryDataSet() {
  try {
    Close();
  } catch (...) {
  }
}

void TMemoryDataSet::AddFieldDef(const std::string& name, TFieldType type, int size, bool required) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  TFieldDef def;
  def.Name = name;
  def.FieldNo = static_cast<int>(FFieldDefs.size()) + 1;
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  int columnType = 0, storedSize = 0;
  ColumnOf(type, size, columnType, storedSize);
  const bool indicator = !IsBlobType(type) && type != TFieldType::ftDate && type != TFieldType::ftDateTime;
  def.Layout.ColumnType = columnType;
  def.Layout.Position = FImageSize;
  def.Layout.Size = storedSize + (indicator ? 1 : 0);
  def.Layout.Level = kLevelIndicatorFirst;
  def.Layout.Param = type == TFieldType::ftTime ? 3 : 0;
  def.Layout.HasIndicator = indicator;
  FImageSize += def.Layout.Size;
  FFieldDefs.push_back(def);
  for (TRecord& record : FRecords) record.Image.resize(static_cast<std::size_t>(FImageSize), 0);
}

void TMemoryDataSet::AppendRecord(const std::vector<std::string>& values) {
  CheckBrowseMode();
  TRecord record;
  record.Image.assign(static_cast<std::size_t>(FImageSize), 0);
  // The fields encode the values into the new image, made theirs for the time.
  FPendingBlobs.clear();
  FFillImage = &record.Image;
  SetState(TDataSetState::dsInternalCalc);
  try {
    for (std::size_t i = 0; i < values.size() && i < Fields().size(); ++i) {
      TField& field = *Fields()[i];
      const bool text = field.DataType() == TFieldType::ftString || field.DataType() == TFieldType::ftWideString;
      if (!values[i].empty() || text) field.SetAsString(values[i]);
    }
  } catch (...) {
    FFillImage = nullptr;
    FPendingBlobs.clear();
    SetState(TDataSetState::dsBrowse);
    throw;
  }
  FFillImage = nullptr;
  SetState(TDataSetState::dsBrowse);
  for (auto& [fieldNo, bytes] : FPendingBlobs) {
    if (bytes.empty()) continue;
    WriteInteger(FFieldDefs[static_cast<std::size_t>(fieldNo - 1)].Layout, record.Image, 1);
    record.Blobs[fieldNo] = bytes;
  }
  FPendingBlobs.clear();
  record.Serial = FNextSerial++;
  FRecords.push_back(std::move(record));
  UpdateCursorPos();
  Resync(false);
}

std::span<std::uint8_t> TMemoryDataSet::FieldImage() {
  if (FFillImage != nullptr) return std::span<std::uint8_t>(*FFillImage);
  return TDataSet::FieldImage();
}

void TMemoryDataSet::ClearRecords() {
  FRecords.clear();
  FCursor = -1;
  if (Active()) First();
}

int TMemoryDataSet::RecordCount() { return static_cast<int>(FRecords.size()); }

int TMemoryDataSet::RecNo() {
  if (!Active() || IsEmpty() || State() == TDataSetState::dsInsert) return 0;
  return IndexOfSerial(BufferSerial(ActiveBuffer())) + 1;
}

void TMemoryDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  if (value < 1 || value > static_cast<int>(FRecords.size()))
    throw EDatabaseError(FormatText("Record %d not found", {std::to_string(value)}));
  DoBeforeScroll();
  FCursor = value - 1;
  CursorPosChanged();
  Resync(true);
  DoAfterScroll();
}

std::uint32_t TMemoryDataSet::BufferSerial(const TRecordBuffer& buffer) const {
  std::uint32_t serial = 0;
  std::memcpy(&serial, buffer.data() + FImageSize, kSerialSize);
  return serial;
}

int TMemoryDataSet::IndexOfSerial(std::uint32_t serial) const {
  for (std::size_t i = 0; i < FRecords.size(); ++i)
    if (FRecords[i].Serial == serial) return static_cast<int>(i);
  return -1;
}

void TMemoryDataSet::FillBuffer(TRecordBuffer& buffer, int index) {
  const TRecord& record = FRecords[static_cast<std::size_t>(index)];
  std::memcpy(buffer.data(), record.Image.data(), static_cast<std::size_t>(FImageSize));
  std::memcpy(buffer.data() + FImageSize, &record.Serial, kSerialSize);
  buffer[static_cast<std::size_t>(FImageSize + kSerialSize)] = static_cast<std::uint8_t>(TBookmarkFlag::bfCurrent);
}

TGetResult TMemoryDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool) {
  const int count = static_cast<int>(FRecords.size());
  TGetResult result = TGetResult::grOK;
  switch (mode) {
    case TGetMode::gmCurrent:
      if (FCursor < 0) result = TGetResult::grBOF;
      else if (FCursor >= count) result = TGetResult::grEOF;
      break;
    case TGetMode::gmNext:
      if (FCursor + 1 >= count) {
        FCursor = count;
        result = TGetResult::grEOF;
      } else {
        ++FCursor;
      }
      break;
    case TGetMode::gmPrior:
      if (FCursor - 1 < 0) {
        FCursor = -1;
        result = TGetResult::grBOF;
      } else {
        --FCursor;
      }
      break;
  }
  if (result == TGetResult::grOK)
    FillBuffer(buffer, FCursor);
  else
    std::fill(buffer.begin(), buffer.end(), 0);
  return result;
}

void TMemoryDataSet::InternalSetToRecord(const TRecordBuffer& buffer, int) {
  const int index = IndexOfSerial(BufferSerial(buffer));
  if (index >= 0) FCursor = index;
}

TBookmark TMemoryDataSet::GetBookmarkData(const TRecordBuffer& buffer) const {
  return TBookmark(buffer.begin() + FImageSize, buffer.begin() + FImageSize + kSerialSize);
}

TBookmarkFlag TMemoryDataSet::GetBookmarkFlag(const TRecordBuffer& buffer) const {
  return static_cast<TBookmarkFlag>(buffer[static_cast<std::size_t>(FImageSize + kSerialSize)]);
}

void TMemoryDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  std::uint32_t serial = 0;
  if (bookmark.size() == kSerialSize) std::memcpy(&serial, bookmark.data(), kSerialSize);
  const int index = IndexOfSerial(serial);
  if (index < 0) throw EDatabaseError("Record not found");
  FCursor = index;
  CursorPosChanged();
}

void TMemoryDataSet::InternalInitRecord(TRecordBuffer& buffer) {
  std::fill(buffer.begin(), buffer.end(), 0);
  buffer[static_cast<std::size_t>(FImageSize + kSerialSize)] = static_cast<std::uint8_t>(TBookmarkFlag::bfInserted);
}

void TMemoryDataSet::InternalEdit() { FPendingBlobs.clear(); }

void TMemoryDataSet::InternalInsert() { FPendingBlobs.clear(); }

void TMemoryDataSet::InternalPost() {
  TRecordBuffer& buffer = ActiveBuffer();
  TRecord* record = nullptr;
  if (State() == TDataSetState::dsInsert) {
    TRecord added;
    added.Serial = FNextSerial++;
    const int at = std::clamp(FCursor, 0, static_cast<int>(FRecords.size()));
    FRecords.insert(FRecords.begin() + at, std::move(added));
    FCursor = at;
    record = &FRecords[static_cast<std::size_t>(at)];
  } else {
    const int index = IndexOfSerial(BufferSerial(buffer));
    if (index < 0) throw EDatabaseError("Record not found");
    FCursor = index;
    record = &FRecords[static_cast<std::size_t>(index)];
  }
  record->Image.assign(buffer.begin(), buffer.begin() + FImageSize);
  for (auto& [fieldNo, bytes] : FPendingBlobs) {
    const TColumnLayout& layout = FFieldDefs[static_cast<std::size_t>(fieldNo - 1)].Layout;
    WriteInteger(layout, record->Image, bytes.empty() ? 0 : 1);
    if (bytes.empty())
      record->Blobs.erase(fieldNo);
    else
      record->Blobs[fieldNo] = bytes;
  }
  FPendingBlobs.clear();
  CursorPosChanged();
}

void TMemoryDataSet::InternalCancel() { FPendingBlobs.clear(); }

void TMemoryDataSet::InternalDelete() {
  const int index = IndexOfSerial(BufferSerial(ActiveBuffer()));
  if (index < 0) throw EDatabaseError("Record not found");
  FRecords.erase(FRecords.begin() + index);
  FCursor = std::min(index, static_cast<int>(FRecords.size()) - 1);
  if (FRecords.empty()) FCursor = 0;
}

std::string TMemoryDataSet::ReadBlob(const TField& field) {
  if (auto pending = FPendingBlobs.find(field.FieldNo()); pending != FPendingBlobs.end()) return pending->second;
  if (IsEmpty() || State() == TDataSetState::dsInsert) return std::string();
  const int index = IndexOfSerial(BufferSerial(ActiveBuffer()));
  if (index < 0) return std::string();
  const auto& blobs = FRecords[static_cast<std::size_t>(index)].Blobs;
  const auto found = blobs.find(field.FieldNo());
  return found == blobs.end() ? std::string() : found->second;
}

void TMemoryDataSet::WriteBlob(TField& field, const std::string& bytes) { FPendingBlobs[field.FieldNo()] = bytes; }

void TMemoryDataSet::InternalOpen() { FCursor = -1; }

void TMemoryDataSet::InternalClose() { FPendingBlobs.clear(); }

}  // namespace kestrel::access
