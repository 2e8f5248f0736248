// kestrel info TABLE: the header of a table file as JSON on stdout.
#include <cstdio>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "tools/command.h"
#include "tools/json_writer.h"
#include "tools/password_option.h"
#include "tools/table_file.h"

namespace kestrel::tool {

namespace {

void WriteColumn(TJsonWriter& json, const TTdbColumnDef& column) {
  const TTdbDataType& type = column.DataType;
  json.BeginObject();
  json.String("name", Utf16ToUtf8(column.Name));
  json.String("type", ColumnTypeName(type.ColumnType()));
  json.Number("typeCode", type.ColumnType());
  json.String("sqlType", type.SqlName());
  json.Number("size", column.Size);
  json.Number("position", column.Position);
  json.Boolean("nullable", type.Nullable());
  json.Boolean("nullIndicator", type.HasNullByte());
  if (type.ColumnType() == tctString || type.ColumnType() == tctWideString)
    json.Number("maxLength", type.MaxLength());
  if (!type.CollationName().empty()) json.String("collation", Utf16ToUtf8(type.CollationName()));
  if (!column.LinkedTable.empty()) json.String("linkedTable", Utf16ToUtf8(column.LinkedTable));
  if (!type.EnumNames().empty()) {
    json.BeginArray("values");
    for (const std::u16string& name : type.EnumNames()) json.String(nullptr, Utf16ToUtf8(name));
    json.EndArray();
  }
  if (!column.Calculation.empty()) json.String("formula", Utf16ToUtf8(column.Calculation));
  json.EndObject();
}

std::string Describe(const TTableFileInfo& info) {
  TJsonWriter json;
  json.BeginObject();
  json.String("file", info.FileName);
  json.String("kind", info.Kind == tfkBPlusTree ? "B+ tree table file" : "heap table file");
  json.Number("level", info.Level);
  json.Number("nextRecordId", info.NextRecordId);
  json.String("encryption", EncryptionOptionName(info.EncryptionMethod));
  if (info.Kind == tfkHeap) {
    const TTdbTableHeader& header = info.Header;
    json.Number("recordCount", header.RecordCount);
    if (header.RecordCountLowered) json.Number("storedRecordCount", header.StoredRecordCount);
    json.Number("recordSize", header.RecordSize());
    json.Number("recordsOffset", static_cast<int64_t>(header.RecordsOffset));
    json.Number("capacity", header.Capacity);
    json.String("collation", header.CollationName.empty() ? "Kestrel" : Utf16ToUtf8(header.CollationName));
    json.BeginArray("indexNames");
    for (const std::u16string& name : header.IndexNames) json.String(nullptr, Utf16ToUtf8(name));
    json.EndArray();
    json.BeginArray("columns");
    for (const TTdbColumnDef& column : header.Columns) WriteColumn(json, column);
    json.EndArray();
  }
  json.EndObject();
  return json.Text();
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) return ReportError("info", "usage: kestrel info TABLE");
  try {
    const std::string text = Describe(ReadTableFile(args[0], ToolKey()));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  } catch (const ETdbEngine& e) {
    if (e.Number() == tdbErrCredentials) return ReportError("info", kWrongPasswordText);
    return ReportError("info", args[0] + ": " + e.Message());
  } catch (const std::exception& e) {
    return ReportError("info", args[0] + ": " + e.what());
  }
}

}  // namespace kestrel::tool
