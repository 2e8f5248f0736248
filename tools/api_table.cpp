// Reading a table through the flat call interface for the kestrel tool.
#include "tools/api_table.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/fs/os_file_system.h"
#include "engine/session/database_location.h"
#include "engine/index/collation.h"
#include "engine/table/column_definition.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/database_option.h"
#include "tools/password_option.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

namespace {

constexpr int kLastErrorLength = 1024;
constexpr int kDescriptionLength = 8192;
constexpr std::int32_t kToolCacheKB = 16384;
constexpr int kAllLevels = 256;

std::u16string U16(const std::string& text) { return Utf8ToUtf16(text); }

std::string ResultText(std::int32_t result) {
  TdbChar text[256] = {};
  TdbGetErrorMsg(result, text, 255);
  return Utf16ToUtf8(text);
}

// The stored type of a column as its spec describes it.
TTdbDataType ColumnType(const TTdbFieldSpec& spec, int level) {
  const auto code = static_cast<TTdbColumnType>(spec.FldType);
  const bool nullable = (spec.Options & kColumnOptionNullable) != 0;
  switch (code) {
    case tctString:
    case tctWideString:
      return TTdbDataType::MakeStringFromSize(code, nullable, spec.InternalSize, u"", level);
    case tctFloat:
      return TTdbDataType::MakeFloat(nullable, spec.Param, level);
    case tctDate:
    case tctTime:
    case tctDateTime:
      return TTdbDataType::MakeDateTime(code, nullable, spec.Param, (spec.Options & kColumnOptionNullByte) != 0,
                                        level);
    case tctEnum: {
      std::vector<std::u16string> names;
      const std::u16string list = spec.SelectOrLink;
      for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find(u'\n', start), list.size());
        names.push_back(list.substr(start, end - start));
        start = end + 1;
      }
      return TTdbDataType::MakeEnum(nullable, std::move(names), level);
    }
    default:
      return TTdbDataType::Make(code, nullable, level);
  }
}

bool StandardNameEquals(const std::string& a, const std::string& b) {
  return StandardCollation().Compare(Utf8ToUtf16(a), Utf8ToUtf16(b), 0) == 0;
}

bool IsBlock(TTdbColumnType code) { return code == tctMemo || code == tctWideMemo || code == tctBlob; }

}  // namespace

TApiTable::TApiTable(const std::string& name) {
  // With --db the table is a name inside that database, opened as the
  // program opens it; else the path's directory is the database.
  const std::filesystem::path path(name);
  const std::string directory = !DatabaseLocation().empty() ? DatabaseLocation()
                                : path.has_parent_path()    ? path.parent_path().string()
                                                            : std::string(".");
  const std::string tableName = DatabaseLocation().empty() ? path.filename().string() : name;
  // The session writes the directory's control file when it is missing; a
  // command that only reads takes it away again (see the destructor).
  try {
    TdwOSFileSystem probe;
    const TTdbDatabaseLocation where = ResolveDatabaseLocation(probe, directory);
    const std::string control = ControlFileName(where.FPath);
    if (where.FType == dbtDirectory && !probe.FileExists(control)) FMadeControlFile = control;
  } catch (const ETdbEngine&) {
    // the session's open reports the problem
  }
  try {
    const std::int32_t session = TdbCreateSession(u"");
    if (session <= 0) throw std::runtime_error(ResultText(session));
    FSession = static_cast<std::int16_t>(session);
    Check(TdbSessOpenDb(FSession, U16(directory).c_str(), u"", u"", kToolCacheKB, TDB_DB_READ_ONLY), "opening " + directory);
    FRelation = static_cast<std::int16_t>(
        Check(TdbSessOpenTable(FSession, U16(tableName).c_str(), ToolKey().c_str(), 0, 0, 0), "opening " + name));
    FTable = static_cast<std::int16_t>(Check(TdbTableCreate(FRelation, u"kestrel"), "opening " + name));
    FRecordSize = Check(TdbTableGetRecordSize(FTable), "reading the columns");
    const int level = Check(TdbTableGetRltnVersion(FTable), "reading the columns");
    const int count = Check(TdbTableGetNumFields(FTable), "reading the columns");
    for (int fieldNo = 1; fieldNo <= count; ++fieldNo) {
      TTdbFieldSpec spec;
      Check(TdbTableGetFieldSpec(FTable, fieldNo, &spec), "reading the columns");
      TColumn column{Utf16ToUtf8(spec.Name), ColumnType(spec, level), spec.InternalPosition, spec.InternalSize};
      if (column.Type.DataSize() != column.Size)
        throw std::runtime_error("column " + column.Name + " has a type this tool cannot read");
      FColumns.push_back(std::move(column));
    }
  } catch (...) {
    Release();
    throw;
  }
}

TApiTable::~TApiTable() { Release(); }

void TApiTable::Release() {
  if (FSession > 0) TdbSessDelete(FSession);
  FSession = 0;
  if (!FMadeControlFile.empty()) {
    TdwOSFileSystem fileSystem;
    if (fileSystem.FileExists(FMadeControlFile)) fileSystem.DeleteFile(FMadeControlFile);
  }
}

std::int32_t TApiTable::Check(std::int32_t result, const std::string& action) const {
  if (result >= 0) return result;
  if (result == TDB_ERR_WRONG_PASSWORD) throw std::runtime_error(kWrongPasswordText);
  std::string message = action + ": " + ResultText(result);
  std::int32_t code = 0;
  TdbChar text[kLastErrorLength + 1] = {};
  if (FSession > 0 && TdbSessGetLastError(FSession, &code, text, kLastErrorLength) == 0 && code != 0)
    message += ": " + Utf16ToUtf8(text);
  if (code == tdbErrIndexCorrupt) message += kRebuildHint;
  throw std::runtime_error(message);
}

void TApiTable::SetIndex(const std::string& indexName) {
  Check(TdbTableSetIndex(FTable, U16(indexName).c_str(), 0), "selecting index " + indexName);
}

void TApiTable::SetFilter(const std::string& condition) {
  constexpr std::int32_t kStaticFilter = 1;
  Check(TdbTableSetSQLFilter(FTable, U16(condition).c_str(), kStaticFilter, 1), "filter " + QuoteValue(condition));
  Check(TdbTableActivateFilter(FTable, 1), "filter " + QuoteValue(condition));
}

void TApiTable::SelectColumns(const std::vector<std::string>& names) {
  FSelected.clear();
  for (const std::string& name : names) {
    int fieldNo = 0;
    for (int f = 1; f <= ColumnCount() && fieldNo == 0; ++f)
      if (StandardNameEquals(ColumnName(f), name)) fieldNo = f;
    if (fieldNo == 0) throw std::runtime_error("no column " + QuoteValue(name));
    FSelected.push_back(fieldNo);
  }
}

std::vector<int> TApiTable::OutputFields() const {
  if (!FSelected.empty()) return FSelected;
  std::vector<int> all;
  for (int fieldNo = 1; fieldNo <= ColumnCount(); ++fieldNo) all.push_back(fieldNo);
  return all;
}

std::string TApiTable::HeaderCsv() const {
  std::vector<TCsvField> names;
  for (int fieldNo : OutputFields()) names.push_back({ColumnName(fieldNo), false});
  return CsvRecord(names);
}

std::string TApiTable::BlobBytes(int fieldNo) {
  std::int32_t blobType = 0;
  const std::int32_t size = Check(TdbTableInitGetBlob(FTable, fieldNo, -1, &blobType), "reading a memo");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const std::int32_t read = Check(TdbTablePerformGetBlob(FTable, bytes.data(), size), "reading a memo");
  bytes.resize(static_cast<std::size_t>(read));
  return bytes;
}

TCsvField TApiTable::FieldText(const std::vector<std::uint8_t>& record, int fieldNo) {
  const TColumn& column = FColumns[static_cast<std::size_t>(fieldNo - 1)];
  switch (column.Type.ColumnType()) {
    case tctMemo:
      return {Utf16ToUtf8(DecodeCodePage(BlobBytes(fieldNo), kCodePageAnsi))};
    case tctWideMemo: {
      const std::string bytes = BlobBytes(fieldNo);
      std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
      for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
      return {Utf16ToUtf8(text)};
    }
    case tctBlob:
      return {HexText(BlobBytes(fieldNo))};
    default:
      break;
  }
  const std::span<const std::uint8_t> bytes(record.data() + column.Position, static_cast<std::size_t>(column.Size));
  const TTdbValue value = ReadValue(column.Type, bytes);
  // A text value is written in quotes when empty, NULL as the empty field.
  return {ValueText(column.Type, value), std::holds_alternative<std::u16string>(value)};
}

std::string TApiTable::RecordCsv() {
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  Check(TdbTableGetRecord(FTable, record.data(), FRecordSize), "reading a record");
  std::vector<TCsvField> fields;
  for (int fieldNo : OutputFields()) fields.push_back(FieldText(record, fieldNo));
  return CsvRecord(fields);
}

std::vector<int> TApiTable::IndexColumns(const std::string& indexName) {
  TdbChar description[kDescriptionLength + 1] = {};
  Check(TdbRltnGetIndexDesc(FRelation, U16(indexName).c_str(), description, kDescriptionLength),
        "index " + indexName);
  // The description lists the index's levels: "-KOD, MEGNEV", a level
  // being a column name with an optional sign, or an expression.
  const std::string text = Utf16ToUtf8(description);
  std::vector<int> fieldNos;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find_first_of(",;", start);
    std::string level = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::size_t first = level.find_first_not_of(" +-");
    level = first == std::string::npos ? std::string() : level.substr(first);
    while (!level.empty() && level.back() == ' ') level.pop_back();
    int fieldNo = 0;
    for (int f = 1; f <= ColumnCount() && fieldNo == 0; ++f)
      if (StandardNameEquals(ColumnName(f), level)) fieldNo = f;
    if (fieldNo == 0) break;  // an expression: the key columns end here
    fieldNos.push_back(fieldNo);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return fieldNos;
}

bool TApiTable::FindNearest(const std::string& indexName, const std::vector<TFindKey>& keys, bool wholeIndex) {
  const std::vector<int> levels = IndexColumns(indexName);
  std::string levelNames;
  for (int fieldNo : levels) levelNames += (levelNames.empty() ? "" : ", ") + ColumnName(fieldNo);
  if (levels.empty()) throw std::runtime_error("index " + indexName + " does not begin with a column");
  if (keys.size() > levels.size())
    throw std::runtime_error("index " + indexName + " has the key columns " + levelNames + "; more keys are given");
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const int fieldNo = keys[i].Column.empty() ? levels[i] : 0;
    int named = fieldNo;
    for (int f = 1; f <= ColumnCount() && named == 0; ++f)
      if (StandardNameEquals(ColumnName(f), keys[i].Column)) named = f;
    if (named != levels[i])
      throw std::runtime_error("index " + indexName + " has the key columns " + levelNames +
                               "; give --key for its first columns in this order");
    const TColumn& column = FColumns[static_cast<std::size_t>(named - 1)];
    if (IsBlock(column.Type.ColumnType())) throw std::runtime_error("index " + indexName + " has no key column");
    TTdbValue value;
    try {
      value = TextValue(column.Type, keys[i].Value, column.Name);
    } catch (const std::runtime_error& e) {
      throw std::runtime_error("column " + column.Name + ": " + e.what());
    }
    WriteValue(column.Type,
               std::span<std::uint8_t>(record.data() + column.Position, static_cast<std::size_t>(column.Size)), value);
  }
  std::uint8_t exact = 0;
  const std::int32_t items = wholeIndex ? kAllLevels : static_cast<std::int32_t>(keys.size());
  return Check(TdbTableLocateRec2(FTable, U16(indexName).c_str(), record.data(), FRecordSize, items, &exact),
               "searching " + indexName) > 0;
}

}  // namespace kestrel::tool
