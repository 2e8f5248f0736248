// The benchmark's operations on our engine (see kestrel_engine.h).
#include "bench/kestrel_engine.h"

#include <variant>

#include "bench/bench_filter.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/index/btree.h"
#include "engine/index/index_file.h"
#include "engine/index/index_key.h"

namespace vendrik::bench {

using namespace kestrel;

namespace {

constexpr int kClientHdl = 1;
constexpr int kLevel = 5;
constexpr std::size_t kCodeColumn = 0, kNameColumn = 1;
constexpr int kDescriptionFieldNo = 3;
constexpr int kBytesPerKB = 1024;

}  // namespace

TKestrelBenchEngine::TKestrelBenchEngine(const TBenchSettings& settings)
    : FSettings(settings), FFileSystem(settings.Directory) {
  FPageManager.RegisterClient(kClientHdl, static_cast<int>(settings.CacheBytes / kBytesPerKB));
}

TKestrelBenchEngine::~TKestrelBenchEngine() {
  if (FTable && FTable->Active()) {
    try {
      FTable->Close();
    } catch (const ETdbEngine&) {
    }
  }
}

void TKestrelBenchEngine::Create(const std::string& name) {
  const std::string fileName = name + ".dat";
  auto table = std::make_unique<TTdbBaseTable>(FPageManager, FFileSystem, kClientHdl);
  table->SetFileName(fileName);
  table->SetLevel(kLevel);
  table->AddColumn(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, kCodeLength, u"", kLevel)));
  table->AddColumn(NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, false, kNameLength, u"", kLevel)));
  table->AddColumn(NewColumnDef(u"LEIRAS", TTdbDataType::Make(tctMemo, true, kLevel)));
  table->NewFile();
  table->Setup();
  table->CreateIndex(u"KOD", u"KOD", true);
  table->CreateIndex(u"INDMN", u"MEGNEV", false);
  table->Close();
  Open(name, 1);
}

void TKestrelBenchEngine::Open(const std::string& name, std::int64_t station) {
  const std::string fileName = name + ".dat";
  FTable = std::make_unique<TTdbBaseTable>(FPageManager, FFileSystem, kClientHdl);
  FTable->SetRights(kAccessRightsMask | (FSettings.SecureFlush ? kRightSecureFlush : 0));
  FTable->SetFileName(fileName);
  if (FSettings.LockFile)
    FTable->SetSharing(std::make_shared<TdwOSFileSystem>(FSettings.Directory), DefaultClock(), station,
                       u"kestrel-bench");
  FTable->Open();
  FTable->Setup();
  FCodeIndex = FTable->GetIndexNo(u"KOD");
  FNameIndex = FTable->GetIndexNo(u"INDMN");
  FTable->CheckIndexOpen(FCodeIndex);
  FTable->CheckIndexOpen(FNameIndex);
  FRecord.assign(static_cast<std::size_t>(FTable->RecordSize()), 0);
}

std::int32_t TKestrelBenchEngine::RecordCount() {
  TTdbTableLock read(*FTable, tltRead);
  return FTable->RecordCount();
}

void TKestrelBenchEngine::Close() {
  FTable->Close();
  FTable.reset();
}

void TKestrelBenchEngine::BeginTransaction() {
  FTable->StartTransaction();
  // One write lock for the whole transaction: nothing reaches the files
  // before the commit.
  FTable->BeginWrite();
}

void TKestrelBenchEngine::Commit() {
  FTable->CommitModifications();
  FTable->EndWrite();
}

std::u16string TKestrelBenchEngine::Text(std::size_t index) const {
  const TTdbColumnDefs& columns = FTable->Columns();
  TTdbValue value = ReadValue(columns[index].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(FRecord), index));
  auto* text = std::get_if<std::u16string>(&value);
  return text ? std::move(*text) : std::u16string();
}

void TKestrelBenchEngine::SetText(std::size_t index, const std::u16string& text) {
  const TTdbColumnDefs& columns = FTable->Columns();
  WriteValue(columns[index].DataType, columns.ColumnBytes(std::span<std::uint8_t>(FRecord), index), text);
}

void TKestrelBenchEngine::Append(const TBenchRow& row) {
  FTable->InitRecord(FRecord, false);
  SetText(kCodeColumn, row.Code);
  SetText(kNameColumn, row.Name);
  TTdbBlobDataList values;
  if (!row.Description.empty())
    values.push_back(TTdbBlobData{kDescriptionFieldNo, EncodeCodePage(row.Description, kCodePageAnsi), {}});
  FTable->AppendRecord(FRecord, values);
}

std::vector<std::uint8_t> TKestrelBenchEngine::KeyItem(int indexNo, std::size_t column, const std::u16string& text) {
  FTable->InitRecord(FRecord, false);
  SetText(column, text);
  std::vector<std::uint8_t> item;
  FTable->CalcIndexInfo(indexNo, FRecord, 0, item);
  return item;
}

std::int32_t TKestrelBenchEngine::Seek(int indexNo, std::size_t column, const std::u16string& text) {
  FTable->InitRecord(FRecord, false);
  SetText(column, text);
  FTable->CalcIndexInfo(indexNo, FRecord, 0, FItem);
  // The table's FindFirstIndexInfo starts at the index's first item; the
  // index file's search is the lower bound.
  TTdbTableLock read(*FTable, tltRead);
  return FTable->GetIndexFile(indexNo).Suche_Index(FItem) == ttrFound ? ItemRecordNo(FItem.data()) : 0;
}

std::int32_t TKestrelBenchEngine::FindCode(const std::u16string& code) {
  const std::int32_t recNo = Seek(FCodeIndex, kCodeColumn, code);
  if (recNo == 0) return 0;
  FTable->ReadRecord(recNo, FRecord);
  return Text(kCodeColumn) == code ? recNo : 0;
}

std::uint64_t TKestrelBenchEngine::FindNearestCode(const std::u16string& key) {
  TTdbTableLock read(*FTable, tltRead);
  const std::int32_t recNo = Seek(FCodeIndex, kCodeColumn, key);
  if (recNo == 0) return 0;
  FTable->ReadRecord(recNo, FRecord);
  return HashText(Text(kNameColumn), HashText(Text(kCodeColumn)));
}

std::uint64_t TKestrelBenchEngine::FindNamePrefix(const std::u16string& prefix) {
  TTdbTableLock read(*FTable, tltRead);
  std::uint64_t sum = 0;
  std::int32_t recNo = Seek(FNameIndex, kNameColumn, prefix);
  while (recNo != 0) {
    FTable->ReadRecord(recNo, FRecord);
    if (Text(kNameColumn).compare(0, prefix.size(), prefix) != 0) break;
    sum += HashText(Text(kCodeColumn));
    recNo = FTable->FindNextIndexInfo(FNameIndex, FItem) == ttrFound ? ItemRecordNo(FItem.data()) : 0;
  }
  return sum;
}

std::uint64_t TKestrelBenchEngine::ScanByCode() {
  TTdbTableLock read(*FTable, tltRead);
  std::uint64_t sum = 0;
  for (int result = FTable->FindFirstIndexInfo(FCodeIndex, FItem); result == ttrFound;
       result = FTable->FindNextIndexInfo(FCodeIndex, FItem)) {
    FTable->ReadRecord(ItemRecordNo(FItem.data()), FRecord);
    sum = Combine(sum, HashText(Text(kNameColumn), HashText(Text(kCodeColumn))));
  }
  return sum;
}

std::uint64_t TKestrelBenchEngine::ScanPhysical() {
  TTdbTableLock read(*FTable, tltRead);
  std::uint64_t sum = 0;
  const std::int32_t count = FTable->RecordCount();
  for (std::int32_t recNo = 1; recNo <= count; ++recNo) {
    FTable->ReadRecord(recNo, FRecord);
    sum = Combine(sum, HashText(Text(kNameColumn), HashText(Text(kCodeColumn))));
  }
  return sum;
}

std::uint64_t TKestrelBenchEngine::ReadDescription(std::int32_t rowNo) {
  TTdbTableLock read(*FTable, tltRead);
  FTable->ReadRecord(rowNo, FRecord);
  return HashText(DecodeCodePage(FTable->ReadMemoString(FRecord, kDescriptionFieldNo), kCodePageAnsi));
}

std::uint64_t TKestrelBenchEngine::CountScan(const std::u16string& condition) {
  std::vector<TBenchFilterColumn> columns;
  for (const TTdbColumnDef& column : FTable->Columns()) {
    const TTdbDataType& type = column.DataType;
    const bool memo = type.ColumnType() == tctMemo;
    columns.push_back({column.Name, static_cast<int>(type.ColumnType()), type.Nullable(), memo ? 0 : type.MaxLength(),
                       kCodePageAnsi});
  }
  TBenchFilter filter(condition, std::move(columns), [this](int fieldNo, std::u16string& text) {
    const std::size_t index = static_cast<std::size_t>(fieldNo - 1);
    if (FTable->Columns()[index].DataType.ColumnType() == tctMemo) {
      text = DecodeCodePage(FTable->ReadMemoString(FRecord, fieldNo), kCodePageAnsi);
      return true;
    }
    const TTdbColumnDefs& defs = FTable->Columns();
    TTdbValue value = ReadValue(defs[index].DataType, defs.ColumnBytes(std::span<const std::uint8_t>(FRecord), index));
    auto* stored = std::get_if<std::u16string>(&value);
    if (!stored) return false;
    text = std::move(*stored);
    return true;
  });
  TTdbTableLock read(*FTable, tltRead);
  std::uint64_t count = 0;
  const std::int32_t records = FTable->RecordCount();
  for (std::int32_t recNo = 1; recNo <= records; ++recNo) {
    FTable->ReadRecord(recNo, FRecord);
    if (filter.Evaluate()) ++count;
  }
  return count;
}

std::uint64_t TKestrelBenchEngine::CountCodeRange(const std::u16string& low, const std::u16string& high) {
  // Both conditions together are the range [low, high) of the code index,
  // so the index items alone decide (as a cursor with that range would
  // count): the items from the first not below `low` up to the first not
  // below `high`, handed over a page at a time; no record is read.
  TTdbTableLock read(*FTable, tltRead);
  TTdbIndexFile& index = FTable->GetIndexFile(FCodeIndex);
  const TTdbIndexComparer& comparer = index.Comparer();
  const std::vector<std::uint8_t> from = KeyItem(FCodeIndex, kCodeColumn, low);
  const std::vector<std::uint8_t> stop = KeyItem(FCodeIndex, kCodeColumn, high);
  std::uint64_t count = 0;
  index.VisitRuns(from, [&](const std::uint8_t* first, int items, std::size_t stride) {
    const auto at = [&](int k) { return first + static_cast<std::size_t>(k) * stride; };
    if (comparer.Compare(at(items - 1), stop.data()) < 0) {
      count += static_cast<std::uint64_t>(items);
      return true;
    }
    for (int k = 0; k < items && comparer.Compare(at(k), stop.data()) < 0; ++k) ++count;
    return false;
  });
  return count;
}

std::uint64_t TKestrelBenchEngine::CountUnindexed(const std::u16string& part, char16_t digit) {
  return CountScan(u"MEGNEV LIKE '%" + part + u"%' AND KOD LIKE '%" + std::u16string(1, digit) + u"'");
}

std::uint64_t TKestrelBenchEngine::UpdateName(const std::u16string& code, const std::u16string& name) {
  TTdbTableLock write(*FTable, tltWrite);
  const std::int32_t recNo = FindCode(code);
  if (recNo == 0) return 0;
  SetText(kNameColumn, name);
  FTable->ReplaceRecord(FRecord, {}, recNo);
  return 1;
}

std::uint64_t TKestrelBenchEngine::DeleteByCode(const std::u16string& code) {
  TTdbTableLock write(*FTable, tltWrite);
  const std::int32_t recNo = FindCode(code);
  if (recNo == 0) return 0;
  FTable->DeleteRecord(recNo);
  return 1;
}

}  // namespace vendrik::bench
