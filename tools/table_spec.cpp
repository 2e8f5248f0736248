// Column and index specifications, CSV import and export for the tool.
#include "tools/table_spec.h"

#include <algorithm>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/sql_condition.h"
#include "engine/cursor/table_record_source.h"
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

// The names inside the parentheses of Enum(a,b,c), blanks around each cut.
std::vector<std::u16string> SplitEnumNames(const std::string& list) {
  std::vector<std::u16string> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    names.push_back(Utf8ToUtf16(Trim(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start))));
    if (comma == std::string::npos) return names;
    start = comma + 1;
  }
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
  const std::size_t open = rest.find('(');
  std::string typeName = rest;
  std::string argument;
  if (open != std::string::npos) {
    if (rest.back() != ')') Wrong("column \"" + spec + "\": ')' expected at the end");
    argument = rest.substr(open + 1, rest.size() - open - 2);
    typeName = Trim(rest.substr(0, open));
  }
  int code = -1;
  for (int c = 0; c <= kLastTypeCode && code < 0; ++c)
    if (IsColumnTypeCode(c) && Upper(ColumnTypeName(static_cast<TTdbColumnType>(c))) == Upper(typeName))
      code = c;
  if (code < 0) Wrong("column \"" + spec + "\": unknown type \"" + typeName + "\"");
  const auto type = static_cast<TTdbColumnType>(code);
  nullable = nullable && MayBeNullable(type, level);
  const bool sized = type == tctString || type == tctWideString;
  const bool named = type == tctLink || type == tctRelation;
  const bool takesArgument = sized || named || type == tctEnum;
  if (takesArgument != (open != std::string::npos)) {
    const std::string needed = sized ? "a size is needed: " + typeName + "(SIZE)"
                               : named ? "the linked table is needed: " + typeName + "(TABLE)"
                               : type == tctEnum ? "the value names are needed: Enum(a,b,c)"
                                                 : "no size is taken";
    Wrong("column \"" + spec + "\": " + needed);
  }
  if (type == tctEnum) {
    const TTdbDataType dataType = TTdbDataType::MakeEnum(nullable, SplitEnumNames(argument), level);
    return NewColumnDef(Utf8ToUtf16(name), dataType);
  }
  if (named) {
    const std::string linked = Trim(argument);
    if (linked.empty()) Wrong("column \"" + spec + "\": the linked table is needed: " + typeName + "(TABLE)");
    TTdbColumnDef column = NewColumnDef(Utf8ToUtf16(name), TTdbDataType::Make(type, nullable, level));
    column.LinkedTable = Utf8ToUtf16(CalcStdTableName(linked));
    return column;
  }
  int size = 0;
  if (sized) {
    try {
      std::size_t used = 0;
      size = std::stoi(argument, &used);
      if (used != argument.size()) throw std::invalid_argument(argument);
    } catch (const std::logic_error&) {
      Wrong("column \"" + spec + "\": bad size");
    }
  }
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

// "NAME:REST" of a constraint option split at its first colon.
std::pair<std::string, std::string> SplitNamed(const std::string& text, const std::string& what) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
    Wrong(what + " \"" + text + "\": NAME:" + (what == "check" ? "CONDITION" : "COLS") + " expected");
  return {Trim(text.substr(0, colon)), text.substr(colon + 1)};
}

void SetConstraints(TTdbBaseTable& table, const TTableSpec& spec) {
  std::vector<TTdbCandidateKeyDef> keys;
  if (!spec.PrimaryKey.empty()) keys.push_back({true, u"", Utf8ToUtf16(Trim(spec.PrimaryKey))});
  for (const std::string& unique : spec.UniqueKeys) {
    const auto [name, columns] = SplitNamed(unique, "unique key");
    keys.push_back({false, Utf8ToUtf16(name), Utf8ToUtf16(Trim(columns))});
  }
  std::vector<TTdbCheckDef> checks;
  for (const std::string& check : spec.Checks) {
    const auto [name, condition] = SplitNamed(check, "check");
    checks.push_back({Utf8ToUtf16(name), Utf8ToUtf16(Trim(condition))});
  }
  std::vector<TTdbForeignKeyDef> foreignKeys;
  for (const std::string& text : spec.ForeignKeys) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', start)) {
      parts.push_back(Trim(text.substr(start, colon - start)));
      start = colon + 1;
    }
    parts.push_back(Trim(text.substr(start)));
    if (parts.size() != 4 || parts[0].empty() || parts[1].empty() || parts[2].empty() || parts[3].empty())
      Wrong("foreign key \"" + text + "\": NAME:COLS:PARENT:PARENTCOLS expected");
    TTdbForeignKeyDef rule;
    rule.Name = Utf8ToUtf16(parts[0]);
    rule.Columns = Utf8ToUtf16(parts[1]);
    rule.ParentTable = Utf8ToUtf16(CalcStdTableName(parts[2]));
    rule.ParentColumns = Utf8ToUtf16(parts[3]);
    foreignKeys.push_back(std::move(rule));
  }
  table.SetConstraints(std::move(keys), std::move(checks), std::move(foreignKeys));
}

// Prepares every check condition once, so a condition with an error is
// refused when the table is made, not at its first change.
void PrepareChecks(TTdbBaseTable& table) {
  const std::unique_ptr<TCondRecordImageSource> source = NewTableRecordSource(table);
  for (const TTdbCheckDef& check : table.CheckDefs()) {
    TTdbSqlCondition condition(check.Condition);
    try {
      condition.Prepare(*source);
    } catch (const ETdbEngine& e) {
      Wrong("check " + Utf16ToUtf8(check.Name) + ": " + e.Message());
    }
  }
}

}  // namespace

std::string NewTableFileName(const std::string& name, int level) {
  return HasExtension(name) ? name : name + TableFileExtension(level);
}

namespace {

constexpr const char* kBPlusKind = "bplus";
constexpr const char* kHeapKind = "heap";

// The columns the create command was given, with the record id column a B+
// tree table file asks for.
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
  SetConstraints(table, spec);
  table.NewFile();
  try {
    tool.InstallConstraintChecks();
    table.Setup();
    PrepareChecks(table);
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
  // Rows that leave out the record id get one as an append does; a given id
  // moves the next one past it.
  const int idFieldNo = table.RecordIdFieldNo();
  const bool idGiven = idFieldNo > 0 && std::find(fieldNos.begin(), fieldNos.end(), idFieldNo) != fieldNos.end();
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
        table.InitRecord(record, idFieldNo > 0 && !idGiven);
        TTdbBlobDataList blobs;
        for (std::size_t i = 0; i < fields.size(); ++i) SetFieldText(table, record, fieldNos[i], fields[i], blobs);
        table.AppendRecord(record, blobs);
        if (idGiven) table.AdjustRecordId(record);
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
  if (names.size() == 1) reader.KeepBlankLinesAtEnd();
  return AppendRows(table, names, [&](std::vector<TCsvField>& fields, int& at) {
    if (progress) progress();
    return reader.Next(fields, at);
  });
}

}  // namespace kestrel::tool
