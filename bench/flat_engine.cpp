// The benchmark's operations through the flat call interface (see
// flat_engine.h).
#include "bench/flat_engine.h"

#include <algorithm>
#include <stdexcept>

#include "bench/kestrel_engine.h"
#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"

namespace vendrik::bench {

namespace {

constexpr int kCodeField = 1, kNameField = 2, kDescriptionField = 3;
constexpr std::int32_t kMessageLength = 512;
constexpr std::int32_t kBlobAtMost = 0x7FFFFFFF;
constexpr std::uint16_t kRights = TDB_RIGHT_APPEND | TDB_RIGHT_EDIT | TDB_RIGHT_DELETE | TDB_RIGHT_INDEX;
constexpr std::int32_t kEndOfTable = TDB_ERR_RECORD_NOT_EXISTS;
const std::u16string kCodeIndex = u"KOD", kNameIndex = u"INDMN";

std::u16string Quoted(const std::u16string& text) { return u"'" + text + u"'"; }

}  // namespace

TFlatBenchEngine::TFlatBenchEngine(const TBenchSettings& settings) : FSettings(settings) {
  const std::int32_t session = TdbCreateSession(u"");
  if (session < 0) throw std::runtime_error("TdbCreateSession failed");
  FSession = static_cast<std::int16_t>(session);
  const std::u16string location = kestrel::Utf8ToUtf16(settings.Directory);
  Check(TdbSessOpenDb(FSession, location.c_str(), u"", u"", static_cast<std::int32_t>(settings.CacheBytes / 1024),
                      settings.SecureFlush ? TDB_DB_SECURE_FLUSH : 0),
        "TdbSessOpenDb");
}

TFlatBenchEngine::~TFlatBenchEngine() {
  if (FCursor > 0) TdbTableDelete(FCursor);
  TdbSessCloseDb(FSession);
  TdbSessDelete(FSession);
}

std::int32_t TFlatBenchEngine::Check(std::int32_t result, const char* call) const {
  if (result >= 0) return result;
  std::int32_t code = 0;
  std::u16string message(kMessageLength + 1, u'\0');
  TdbSessGetLastError(FSession, &code, message.data(), kMessageLength);
  message.resize(std::char_traits<char16_t>::length(message.c_str()));
  throw std::runtime_error(std::string(call) + " answered " + std::to_string(result) + " (engine error " +
                           std::to_string(code) + ": " + kestrel::Utf16ToUtf8(message) + ")");
}

void TFlatBenchEngine::Create(const std::string& name) {
  {
    // No call of the interface makes a table: the table object makes it.
    TKestrelBenchEngine maker(FSettings);
    maker.Create(name);
    maker.Close();
  }
  const std::u16string table = kestrel::Utf8ToUtf16(name);
  FRelation = static_cast<std::int16_t>(Check(
      TdbSessOpenTable(FSession, table.c_str(), u"", kRights | (FSettings.SecureFlush ? TDB_RIGHT_SECURE_FLUSH : 0), 0,
                       0),
      "TdbSessOpenTable"));
  FCursor = static_cast<std::int16_t>(Check(TdbTableCreate(FRelation, table.c_str()), "TdbTableCreate"));
  FIndex.clear();
  FRecord.assign(static_cast<std::size_t>(Check(TdbTableGetRecordSize(FCursor), "TdbTableGetRecordSize")), 0);
  const std::int32_t fields = Check(TdbTableGetNumFields(FCursor), "TdbTableGetNumFields");
  FPositions.clear();
  FSizes.clear();
  for (std::int32_t f = 1; f <= fields; ++f) {
    TTdbFieldSpec spec{};
    Check(TdbTableGetFieldSpec(FCursor, f, &spec), "TdbTableGetFieldSpec");
    FPositions.push_back(spec.InternalPosition);
    FSizes.push_back(spec.InternalSize);
  }
}

void TFlatBenchEngine::Close() {
  Check(TdbTableDelete(FCursor), "TdbTableDelete");
  FCursor = 0;
  // The relation closes with the session's unneeded tables.
  Check(TdbSessCloseUnneededTables(FSession), "TdbSessCloseUnneededTables");
  FRelation = 0;
}

void TFlatBenchEngine::BeginTransaction() { Check(TdbTableLock(FCursor, TDB_LOCK_WRITE, 1), "TdbTableLock"); }

void TFlatBenchEngine::Commit() { Check(TdbTableUnlock(FCursor, TDB_LOCK_WRITE), "TdbTableUnlock"); }

std::u16string TFlatBenchEngine::Text(int fieldNo) const {
  // A String column: a length byte, then Windows-1250 bytes.
  const std::size_t at = static_cast<std::size_t>(FPositions[static_cast<std::size_t>(fieldNo - 1)]);
  const std::size_t length = FRecord[at];
  return kestrel::DecodeCodePage(
      std::string_view(reinterpret_cast<const char*>(FRecord.data() + at + 1), length), kestrel::kCodePageAnsi);
}

void TFlatBenchEngine::SetText(int fieldNo, const std::u16string& text) {
  const std::size_t at = static_cast<std::size_t>(FPositions[static_cast<std::size_t>(fieldNo - 1)]);
  const std::string bytes = kestrel::EncodeCodePage(text, kestrel::kCodePageAnsi);
  std::fill_n(FRecord.begin() + static_cast<std::ptrdiff_t>(at), FSizes[static_cast<std::size_t>(fieldNo - 1)], 0);
  FRecord[at] = static_cast<std::uint8_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), FRecord.begin() + static_cast<std::ptrdiff_t>(at + 1));
}

void TFlatBenchEngine::ReadRecord() {
  Check(TdbTableGetRecord(FCursor, FRecord.data(), static_cast<std::int32_t>(FRecord.size())), "TdbTableGetRecord");
}

std::uint64_t TFlatBenchEngine::CodeAndName() const { return HashText(Text(kNameField), HashText(Text(kCodeField))); }

void TFlatBenchEngine::UseIndex(const std::u16string& index) {
  if (index == FIndex) return;
  Check(TdbTableSetIndex(FCursor, index.c_str(), 0), "TdbTableSetIndex");
  FIndex = index;
}

void TFlatBenchEngine::Append(const TBenchRow& row) {
  Check(TdbTableAppend(FCursor), "TdbTableAppend");
  ReadRecord();  // the new record's image with its defaults
  SetText(kCodeField, row.Code);
  SetText(kNameField, row.Name);
  Check(TdbTableSetRecord(FCursor, FRecord.data(), static_cast<std::int32_t>(FRecord.size())), "TdbTableSetRecord");
  if (!row.Description.empty()) {
    const std::string bytes = kestrel::EncodeCodePage(row.Description, kestrel::kCodePageAnsi);
    Check(TdbTableSetBlob(FCursor, kDescriptionField, bytes.data(), static_cast<std::int32_t>(bytes.size())),
          "TdbTableSetBlob");
  }
  Check(TdbTableAppendConfirm(FCursor), "TdbTableAppendConfirm");
}

std::int32_t TFlatBenchEngine::Locate(const std::u16string& index, int fieldNo, const std::u16string& text,
                                      bool exact) {
  UseIndex(index);
  std::fill(FRecord.begin(), FRecord.end(), 0);
  SetText(fieldNo, text);
  std::uint8_t exactMatch = exact ? 1 : 0;
  return Check(TdbTableLocateRec2(FCursor, index.c_str(), FRecord.data(), static_cast<std::int32_t>(FRecord.size()),
                                  exact ? 1 : TDB_LOCATE_ALL_LEVELS, &exactMatch),
               "TdbTableLocateRec2");
}

std::uint64_t TFlatBenchEngine::FindNearestCode(const std::u16string& key) {
  if (Locate(kCodeIndex, kCodeField, key, false) == 0) return 0;
  ReadRecord();
  return CodeAndName();
}

std::uint64_t TFlatBenchEngine::FindNamePrefix(const std::u16string& prefix) {
  std::uint64_t sum = 0;
  if (Locate(kNameIndex, kNameField, prefix, false) == 0) return 0;
  for (;;) {
    ReadRecord();
    if (Text(kNameField).compare(0, prefix.size(), prefix) != 0) break;
    sum += HashText(Text(kCodeField));
    const std::int32_t moved = TdbTableMoveBy(FCursor, 1);
    if (moved == kEndOfTable) break;
    Check(moved, "TdbTableMoveBy");
  }
  return sum;
}

std::uint64_t TFlatBenchEngine::ScanByCode() { return ScanInOrder(kCodeIndex); }

std::uint64_t TFlatBenchEngine::ScanPhysical() { return ScanInOrder(u""); }

std::uint64_t TFlatBenchEngine::ScanInOrder(const std::u16string& index) {
  UseIndex(index);
  std::uint64_t sum = 0;
  if (TdbTableFirst(FCursor) == kEndOfTable) return 0;
  for (std::int32_t moved = 0; moved != kEndOfTable; moved = TdbTableMoveBy(FCursor, 1)) {
    Check(moved, "TdbTableMoveBy");
    ReadRecord();
    sum = Combine(sum, CodeAndName());
  }
  return sum;
}

std::uint64_t TFlatBenchEngine::ReadDescription(std::int32_t rowNo) {
  Check(TdbTableSetRecNo(FCursor, rowNo), "TdbTableSetRecNo");
  std::int32_t type = 0;
  const std::int32_t size = Check(TdbTableInitGetBlob(FCursor, kDescriptionField, kBlobAtMost, &type), "TdbTableInitGetBlob");
  FBlob.resize(static_cast<std::size_t>(size));
  const std::int32_t got = size > 0 ? Check(TdbTablePerformGetBlob(FCursor, FBlob.data(), size), "TdbTablePerformGetBlob") : 0;
  return HashText(kestrel::DecodeCodePage(std::string_view(FBlob.data(), static_cast<std::size_t>(got)),
                                          kestrel::kCodePageAnsi));
}

std::uint64_t TFlatBenchEngine::CountFiltered(const std::u16string& condition) {
  Check(TdbTableSetSQLFilter(FCursor, condition.c_str(), TDB_FILTER_STATIC | TDB_FILTER_CASE_INSENSITIVE, 1),
        "TdbTableSetSQLFilter");
  Check(TdbTableActivateFilter(FCursor, 1), "TdbTableActivateFilter");
  const std::int32_t count = Check(TdbTableRecordCount(FCursor), "TdbTableRecordCount");
  Check(TdbTableActivateFilter(FCursor, 0), "TdbTableActivateFilter");
  return static_cast<std::uint64_t>(count);
}

std::uint64_t TFlatBenchEngine::CountCodeRange(const std::u16string& low, const std::u16string& high) {
  return CountFiltered(u"KOD >= " + Quoted(low) + u" AND KOD < " + Quoted(high));
}

std::uint64_t TFlatBenchEngine::CountUnindexed(const std::u16string& part, char16_t digit) {
  return CountFiltered(u"MEGNEV LIKE '%" + part + u"%' AND KOD LIKE '%" + std::u16string(1, digit) + u"'");
}

std::uint64_t TFlatBenchEngine::UpdateName(const std::u16string& code, const std::u16string& name) {
  if (Locate(kCodeIndex, kCodeField, code, true) == 0) return 0;
  Check(TdbTableEdit(FCursor), "TdbTableEdit");
  ReadRecord();
  SetText(kNameField, name);
  Check(TdbTableSetRecord(FCursor, FRecord.data(), static_cast<std::int32_t>(FRecord.size())), "TdbTableSetRecord");
  Check(TdbTableEditConfirm(FCursor), "TdbTableEditConfirm");
  return 1;
}

std::uint64_t TFlatBenchEngine::DeleteByCode(const std::u16string& code) {
  if (Locate(kCodeIndex, kCodeField, code, true) == 0) return 0;
  Check(TdbTableDeleteRecord(FCursor), "TdbTableDeleteRecord");
  return 1;
}

}  // namespace vendrik::bench
