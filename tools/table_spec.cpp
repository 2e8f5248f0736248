// Column and index specifications, CSV import and export for the tool.
#include "tools/table_spec.h"

#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/btree.h"
#include "engine/index/index_key.h"
#include "engine/table/table_file_names.h"
#include "tools/csv.h"

namespace kestrel::tool {

namespace {

constexpr int kLastTypeCode = tctGuid;
constexpr const char* kNotNull = "NOT NULL";
constexpr const char* kUniqueMark = "unique";

[[noreturn]] void Wrong(const std::string& what) { throw std::runtime_error(what); }

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

TTdbColumnDef ParseColumn(const std::string& spec, int level) {
  std::string rest = Trim(spec);
  const std::size_t space = rest.find(' ');
  if (space == std::string::npos) Wrong("column \"" + spec + "\": NAME TYPE expected");
  const std::string name = rest.substr(0, space);
  rest = Trim(rest.substr(space + 1));
  bool nullable = true;
  const std::string notNull = kNotNull;
  if (rest.size() >= notNull.size() && Upper(rest.substr(rest.size() - notNull.size())) == notNull) {
    nullable = false;
    rest = Trim(rest.substr(0, rest.size() - notNull.size()));
  }
  int size = 0;
  const std::size_t open = rest.find('(');
  std::string typeName = rest;
  if (open != std::string::npos) {
    if (rest.back() != ')') Wrong("column \"" + spec + "\": bad size");
    const std::string sizeText = rest.substr(open + 1, rest.size() - open - 2);
    try {
      std::size_t used = 0;
      size = std::stoi(sizeText, &used);
      if (used != sizeText.size()) throw std::invalid_argument(sizeText);
    } catch (const std::logic_error&) {
      Wrong("column \"" + spec + "\": bad size");
    }
    typeName = Trim(rest.substr(0, open));
  }
  int code = -1;
  for (int c = 0; c <= kLastTypeCode && code < 0; ++c)
    if (IsColumnTypeCode(c) && Upper(ColumnTypeName(static_cast<TTdbColumnType>(c))) == Upper(typeName))
      code = c;
  if (code < 0) Wrong("column \"" + spec + "\": unknown type \"" + typeName + "\"");
  const auto type = static_cast<TTdbColumnType>(code);
  if (type == tctLink || type == tctRelation || type == tctEnum)
    Wrong("column \"" + spec + "\": type " + typeName + " needs more than kestrel create can say");
  nullable = nullable && MayBeNullable(type, level);
  const bool sized = type == tctString || type == tctWideString;
  if (sized != (open != std::string::npos))
    Wrong("column \"" + spec + "\": " + (sized ? "a size is needed" : "no size is taken"));
  const TTdbDataType dataType = sized ? TTdbDataType::MakeString(type, nullable, size, u"", level)
                                      : TTdbDataType::Make(type, nullable, level);
  return NewColumnDef(Utf8ToUtf16(name), dataType);
}

}  // namespace

std::string NewTableFileName(const std::string& name, int level) {
  return HasExtension(name) ? name : name + TableFileExtension(level);
}

void CreateTable(TToolTable& tool, const std::string& fileName, const TTableSpec& spec) {
  if (spec.Columns.empty()) Wrong("no columns");
  TTdbBaseTable& table = tool.Prepare(fileName);
  table.SetLevel(spec.Level);
  table.SetCapacity(spec.Capacity);
  table.SetCollationName(Utf8ToUtf16(spec.Collation));
  table.SetEncryptionMethod(spec.Encryption);
  for (const std::string& column : spec.Columns) table.AddColumn(ParseColumn(column, spec.Level));
  table.NewFile();
  try {
    table.Setup();
    for (const std::string& index : spec.Indexes) {
      const std::size_t colon = index.find(':');
      if (colon == std::string::npos) Wrong("index \"" + index + "\": NAME:SPEC expected");
      std::string spec = index.substr(colon + 1);
      bool unique = false;
      const std::size_t last = spec.rfind(':');
      if (last != std::string::npos && spec.substr(last + 1) == kUniqueMark) {
        unique = true;
        spec.resize(last);
      }
      table.CreateIndex(Utf8ToUtf16(index.substr(0, colon)), Utf8ToUtf16(spec), unique);
    }
    table.Flush();
  } catch (...) {
    const std::vector<std::string> files = table.GetFileNames();
    try {
      table.Close();
    } catch (const ETdbEngine&) {
    }
    for (const std::string& file : files) tool.FileSystem().DeleteFile(file);
    throw;
  }
}

int AppendRows(TTdbBaseTable& table, const std::vector<std::string>& names, const TNextRow& nextRow) {
  std::vector<int> fieldNos;
  for (const std::string& name : names) {
    const int index = table.Columns().IndexOf(Utf8ToUtf16(name));
    if (index < 0) Wrong("line 1: no column \"" + name + "\"");
    fieldNos.push_back(index + 1);
  }
  table.StartTransaction();
  int count = 0;
  // One write lock for all rows: nothing reaches the files before the
  // commit, and a bad row drops every change.
  TTdbTableLock write(table, tltWrite);
  try {
    std::vector<std::string> fields;
    int line = 0;
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    while (nextRow(fields, line)) {
      try {
        if (fields.size() != fieldNos.size())
          Wrong(std::to_string(fields.size()) + " fields, " + std::to_string(fieldNos.size()) + " expected");
        table.InitRecord(record, table.RecordIdFieldNo() > 0);
        TTdbBlobDataList blobs;
        for (std::size_t i = 0; i < fields.size(); ++i)
          SetFieldText(table, record, fieldNos[i], fields[i], blobs);
        table.AppendRecord(record, blobs);
        ++count;
      } catch (const ETdbEngine& e) {
        Wrong("line " + std::to_string(line) + ": " + e.Message());
      } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        Wrong(what.rfind("line ", 0) == 0 ? what : "line " + std::to_string(line) + ": " + what);
      }
    }
  } catch (...) {
    table.UndoModifications();
    throw;
  }
  table.CommitModifications();
  return count;
}

int ImportCsv(TTdbBaseTable& table, const std::string& csvText) {
  TCsvReader reader(csvText);
  std::vector<std::string> names;
  int line = 0;
  if (!reader.Next(names, line)) Wrong("the file has no header row");
  return AppendRows(table, names, [&](std::vector<std::string>& fields, int& at) { return reader.Next(fields, at); });
}

}  // namespace kestrel::tool
