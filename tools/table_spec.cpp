// Column and index specifications, CSV import and export for the tool.
#include "tools/table_spec.h"

#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/index/btree.h"
#include "engine/index/collation.h"
#include "engine/index/index_key.h"
#include "engine/table/table_file_names.h"
#include "tools/csv.h"

namespace kestrel::tool {

namespace {

constexpr int kLastTypeCode = tctGuid;
constexpr const char* kNotNull = "NOT NULL";
constexpr const char* kUniqueMark = "unique";
// Fields a refused record shows in its message.
constexpr std::size_t kKeyTextFields = 3;

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

// The record's fields as " (KEY=VALUE, ...)" for a message about a refused
// record, so a duplicate key shows the key.
std::string KeyText(const std::vector<TCsvField>& fields, const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < fields.size() && i < names.size() && i < kKeyTextFields; ++i)
    text += (i > 0 ? ", " : "") + names[i] + "=" + QuoteValue(fields[i].Text);
  return text.empty() ? text : " (" + text + ")";
}

}  // namespace

std::string NewTableFileName(const std::string& name, int level) {
  return HasExtension(name) ? name : name + TableFileExtension(level);
}

namespace {

constexpr const char* kBPlusKind = "bplus";
constexpr const char* kHeapKind = "heap";

// The columns of the spec, with the record id column a B+ tree table file
// asks for.
void AddColumns(TTdbBaseTable& table, const TTableSpec& spec) {
  if (spec.FileKind != "" && spec.FileKind != kBPlusKind && spec.FileKind != kHeapKind)
    Wrong("--kind takes bplus or heap, not \"" + spec.FileKind + "\"");
  if (spec.FileKind == kBPlusKind) {
    if (spec.Level != kMaxTableLevel) Wrong("a B+ tree table file (--kind bplus) needs --level 6");
    const TTdbColumnDef first = ParseColumn(spec.Columns.front(), spec.Level);
    if (first.Name != kBPlusRecordIdName || first.DataType.ColumnType() != tctRecordId)
      table.AddColumn(ParseColumn(Utf16ToUtf8(kBPlusRecordIdName) + " RecordId", spec.Level));
  }
  for (const std::string& column : spec.Columns) table.AddColumn(ParseColumn(column, spec.Level));
  const TTdbColumnDef& first = table.Columns()[0];
  if (spec.FileKind == kHeapKind && spec.Level == kMaxTableLevel && first.Name == kBPlusRecordIdName &&
      first.DataType.ColumnType() == tctRecordId)
    Wrong("a first column \"_XXX\" of type RecordId makes a B+ tree table file at level 6 (--kind heap)");
}

}  // namespace

void CreateTable(TToolTable& tool, const std::string& fileName, const TTableSpec& spec) {
  if (spec.Columns.empty()) Wrong("no columns");
  TTdbBaseTable& table = tool.Prepare(fileName);
  table.SetLevel(spec.Level);
  table.SetCapacity(spec.Capacity);
  table.SetCollationName(Utf8ToUtf16(spec.Collation));
  table.SetEncryptionMethod(spec.Encryption);
  AddColumns(table, spec);
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

std::vector<int> MatchColumns(const TTdbColumnDefs& columns, const std::vector<std::string>& names) {
  std::vector<int> fieldNos;
  for (const std::string& name : names) {
    int fieldNo = 0;
    for (std::size_t i = 0; i < columns.Count() && fieldNo == 0; ++i)
      if (StandardCollation().Compare(columns[i].Name, Utf8ToUtf16(name), 0) == 0) fieldNo = static_cast<int>(i) + 1;
    if (fieldNo == 0) {
      std::string known;
      for (std::size_t i = 0; i < columns.Count(); ++i) known += (i > 0 ? ", " : "") + Utf16ToUtf8(columns[i].Name);
      Wrong("no column " + QuoteValue(name) + "; the table has " + known);
    }
    for (std::size_t i = 0; i < fieldNos.size(); ++i)
      if (fieldNos[i] == fieldNo)
        Wrong("column " + QuoteValue(name) + " is named twice (as " + QuoteValue(names[i]) + " before)");
    fieldNos.push_back(fieldNo);
  }
  return fieldNos;
}

int AppendRows(TTdbBaseTable& table, const std::vector<std::string>& names, const TNextRow& nextRow) {
  std::vector<int> fieldNos;
  try {
    fieldNos = MatchColumns(table.Columns(), names);
  } catch (const std::runtime_error& e) {
    Wrong(std::string("line 1: ") + e.what());
  }
  table.StartTransaction();
  int count = 0;
  // One write lock for all rows: nothing reaches the files before the
  // commit, and a bad row drops every change.
  TTdbTableLock write(table, tltWrite);
  try {
    std::vector<TCsvField> fields;
    int line = 0;
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    while (nextRow(fields, line)) {
      try {
        if (fields.size() != fieldNos.size())
          Wrong(std::to_string(fields.size()) + " fields, " + std::to_string(fieldNos.size()) +
                " expected as in the header");
        table.InitRecord(record, table.RecordIdFieldNo() > 0);
        TTdbBlobDataList blobs;
        for (std::size_t i = 0; i < fields.size(); ++i) SetFieldText(table, record, fieldNos[i], fields[i], blobs);
        table.AppendRecord(record, blobs);
        ++count;
      } catch (const ETdbEngine& e) {
        Wrong("line " + std::to_string(line) + ": " + e.Message() + KeyText(fields, names));
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

int ImportCsv(TTdbBaseTable& table, TCsvReader& reader, const std::function<void()>& progress) {
  std::vector<TCsvField> header;
  int line = 0;
  if (!reader.Next(header, line)) Wrong("the file has no header row");
  std::vector<std::string> names;
  for (const TCsvField& field : header) names.push_back(Trim(field.Text));
  return AppendRows(table, names, [&](std::vector<TCsvField>& fields, int& at) {
    if (progress) progress();
    return reader.Next(fields, at);
  });
}

}  // namespace kestrel::tool
