// Reading a table through the flat call interface for the kestrel tool.
#include "tools/api_table.h"

#include <filesystem>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/index/collation.h"
#include "engine/table/column_definition.h"
#include "tools/csv.h"
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
  const std::filesystem::path path(name);
  const std::string directory = path.has_parent_path() ? path.parent_path().string() : std::string(".");
  const std::int32_t session = TdbCreateSession(u"");
  if (session <= 0) throw std::runtime_error(ResultText(session));
  FSession = static_cast<std::int16_t>(session);
  Check(TdbSessOpenDb(FSession, U16(directory).c_str(), u"", u"", kToolCacheKB, TDB_DB_READ_ONLY), "opening " + directory);
  FRelation = static_cast<std::int16_t>(
      Check(TdbSessOpenTable(FSession, U16(path.filename().string()).c_str(), ToolKey().c_str(), 0, 0, 0),
            "opening " + name));
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
}

TApiTable::~TApiTable() {
  if (FSession > 0) TdbSessDelete(FSession);
}

std::int32_t TApiTable::Check(std::int32_t result, const std::string& action) const {
  if (result >= 0) return result;
  if (result == TDB_ERR_WRONG_PASSWORD) throw std::runtime_error(kWrongPasswordText);
  std::string message = action + ": " + ResultText(result);
  std::int32_t code = 0;
  TdbChar text[kLastErrorLength + 1] = {};
  if (FSession > 0 && TdbSessGetLastError(FSession, &code, text, kLastErrorLength) == 0 && code != 0)
    message += ": " + Utf16ToUtf8(text);
  throw std::runtime_error(message);
}

void TApiTable::SetIndex(const std::string& indexName) {
  Check(TdbTableSetIndex(FTable, U16(indexName).c_str(), 0), "selecting index " + indexName);
}

void TApiTable::SetFilter(const std::string& condition) {
  constexpr std::int32_t kStaticFilter = 1;
  Check(TdbTableSetSQLFilter(FTable, U16(condition).c_str(), kStaticFilter, 1), "filter \"" + condition + "\"");
  Check(TdbTableActivateFilter(FTable, 1), "filter \"" + condition + "\"");
}

std::string TApiTable::HeaderCsv() const {
  std::vector<std::string> names;
  for (const TColumn& column : FColumns) names.push_back(column.Name);
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

std::string TApiTable::FieldText(const std::vector<std::uint8_t>& record, int fieldNo) {
  const TColumn& column = FColumns[static_cast<std::size_t>(fieldNo - 1)];
  switch (column.Type.ColumnType()) {
    case tctMemo:
      return Utf16ToUtf8(DecodeCodePage(BlobBytes(fieldNo), kCodePageAnsi));
    case tctWideMemo: {
      const std::string bytes = BlobBytes(fieldNo);
      std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
      for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
      return Utf16ToUtf8(text);
    }
    case tctBlob:
      return HexText(BlobBytes(fieldNo));
    default:
      break;
  }
  const std::span<const std::uint8_t> bytes(record.data() + column.Position, static_cast<std::size_t>(column.Size));
  return ValueText(column.Type, ReadValue(column.Type, bytes));
}

std::string TApiTable::RecordCsv() {
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  Check(TdbTableGetRecord(FTable, record.data(), FRecordSize), "reading a record");
  std::vector<std::string> fields;
  for (int fieldNo = 1; fieldNo <= ColumnCount(); ++fieldNo) fields.push_back(FieldText(record, fieldNo));
  return CsvRecord(fields);
}

bool TApiTable::FindNearest(const std::string& indexName, const std::string& key) {
  TdbChar description[kDescriptionLength + 1] = {};
  Check(TdbRltnGetIndexDesc(FRelation, U16(indexName).c_str(), description, kDescriptionLength),
        "index " + indexName);
  // The first level of the description names the column the key goes into.
  std::string first = Utf16ToUtf8(description);
  first = first.substr(0, first.find_first_of(";,("));
  while (!first.empty() && first.back() == ' ') first.pop_back();
  int fieldNo = 0;
  for (int f = 1; f <= ColumnCount(); ++f)
    if (StandardNameEquals(ColumnName(f), first)) fieldNo = f;
  if (fieldNo == 0) throw std::runtime_error("index " + indexName + " does not begin with a column");
  const TColumn& column = FColumns[static_cast<std::size_t>(fieldNo - 1)];
  if (IsBlock(column.Type.ColumnType())) throw std::runtime_error("index " + indexName + " has no key column");
  std::vector<std::uint8_t> record(static_cast<std::size_t>(FRecordSize));
  WriteValue(column.Type, std::span<std::uint8_t>(record.data() + column.Position, static_cast<std::size_t>(column.Size)),
             TextValue(column.Type, key, column.Name));
  std::uint8_t exact = 0;
  return Check(TdbTableLocateRec2(FTable, U16(indexName).c_str(), record.data(), FRecordSize, kAllLevels, &exact),
               "searching " + indexName) > 0;
}

}  // namespace kestrel::tool
