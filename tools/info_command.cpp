// kestrel info TABLE: the header of a table file as JSON on stdout, with
// what each index indexes (its expression as the engine writes it, and
// whether it is unique) and the table's files. The header is read from the
// file alone, so a table the engine cannot open is still described; then
// "openError" says why the indexes and files are missing.
#include <array>
#include <cstdio>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/index_definition_text.h"
#include "engine/fs/file_system.h"
#include "engine/index/index_file.h"
#include "tools/command.h"
#include "tools/json_writer.h"
#include "tools/password_option.h"
#include "tools/table_file.h"
#include "tools/tool_table.h"

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

// Candidate keys (with the name of the index that keeps each), check
// constraints and foreign keys of the header; each list only when the table
// has some.
void WriteConstraints(TJsonWriter& json, const TTdbTableHeader& header) {
  if (!header.KeyDefs.empty()) {
    json.BeginArray("keys");
    for (std::size_t i = 0; i < header.KeyDefs.size(); ++i) {
      const TTdbCandidateKeyDef& key = header.KeyDefs[i];
      json.BeginObject();
      json.String("name", Utf16ToUtf8(key.Name));
      json.Boolean("primary", key.Primary);
      json.String("columns", Utf16ToUtf8(key.Columns));
      json.String("index", Utf16ToUtf8(TTdbBaseTable::KeyIndexName(key, i)));
      json.EndObject();
    }
    json.EndArray();
  }
  if (!header.CheckDefs.empty()) {
    json.BeginArray("checks");
    for (const TTdbCheckDef& check : header.CheckDefs) {
      json.BeginObject();
      json.String("name", Utf16ToUtf8(check.Name));
      json.String("condition", Utf16ToUtf8(check.Condition));
      json.EndObject();
    }
    json.EndArray();
  }
  if (!header.ForeignKeyDefs.empty()) {
    json.BeginArray("foreignKeys");
    for (const TTdbForeignKeyDef& rule : header.ForeignKeyDefs) {
      json.BeginObject();
      json.String("name", Utf16ToUtf8(rule.Name));
      json.String("columns", Utf16ToUtf8(rule.Columns));
      json.String("parentTable", Utf16ToUtf8(rule.ParentTable));
      json.String("parentColumns", Utf16ToUtf8(rule.ParentColumns));
      json.Number("updateAction", rule.UpdateAction);
      json.Number("deleteAction", rule.DeleteAction);
      json.EndObject();
    }
    json.EndArray();
  }
}

// The indexes and files of the table, read through the engine.
void WriteIndexesAndFiles(TJsonWriter& json, const std::string& name) {
  std::vector<std::string> files;
  std::vector<std::array<std::string, 2>> indexes;
  std::vector<bool> unique;
  try {
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(name, 0);
    for (int indexNo = table.FirstIndexNo(); indexNo <= table.LastIndexNo(); ++indexNo) {
      if (!table.HasIndex(indexNo) || !table.CheckIndexOpen(indexNo)) continue;
      const TTdbSortDef& definition = table.GetIndexFile(indexNo).Definition();
      indexes.push_back({Utf16ToUtf8(table.IndexName(indexNo)),
                         Utf16ToUtf8(CalcSpecification(definition, table.IndexTable(), true, false, false, false))});
      unique.push_back(definition.IsUnique);
    }
    for (const std::string& file : table.GetFileNames())
      if (tool.FileSystem().FileExists(file)) files.push_back(file);
    table.Close();
  } catch (const ETdbEngine& e) {
    json.String("openError", e.Message());
    return;
  } catch (const std::exception& e) {
    json.String("openError", e.what());
    return;
  }
  json.BeginArray("indexes");
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    json.BeginObject();
    json.String("name", indexes[i][0]);
    json.String("expression", indexes[i][1]);
    json.Boolean("unique", unique[i]);
    json.EndObject();
  }
  json.EndArray();
  json.BeginArray("files");
  for (const std::string& file : files) json.String(nullptr, file);
  json.EndArray();
}

std::string Describe(const TTableFileInfo& info, const std::string& name) {
  TJsonWriter json;
  json.BeginObject();
  json.String("file", info.FileName);
  json.String("kind", info.Kind == tfkBPlusTree ? "B+ tree table file" : "heap table file");
  json.Number("level", info.Level);
  json.Number("nextRecordId", info.NextRecordId);
  json.String("encryption", EncryptionOptionName(info.EncryptionMethod));
  // An encrypted B+ tree table file shows its fixed fields only.
  if (info.Kind == tfkHeap || info.EncryptionMethod == emNone) {
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
    WriteConstraints(json, header);
    WriteIndexesAndFiles(json, name);
  }
  json.EndObject();
  return json.Text();
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) return ReportError("info", "usage: kestrel info TABLE");
  try {
    const std::string text = Describe(ReadTableFile(args[0], ToolKey()), args[0]);
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
