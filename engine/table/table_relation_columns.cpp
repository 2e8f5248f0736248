// TTdbBaseTable: what Link, Relation and Enum columns of a new table need
// beyond their header entries. Enum value names and linked table names are
// checked before any file is made; every Relation column gets its relation
// table, a table file of the same level and encryption whose records pair a
// record id of this table (kRelationMasterColumn) with one of the linked
// table (kRelationDetailColumn).
#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/table/base_table.h"
#include "engine/table/table_file_names.h"

namespace kestrel {

namespace {

// Enum values are signed bytes numbered from 1; 0 is NULL.
constexpr std::size_t kMaxEnumValueCount = 127;
// Below level 5 each value name is a ShortString[20] of the header.
constexpr std::size_t kMaxOldEnumNameLength = 20;
constexpr int kFirstLevelWithLongEnumNames = 5;
constexpr const char* kRelationTableExtensionOld = ".rel";
constexpr const char* kRelationTableInfix = "!rel_";

[[noreturn]] void RefuseColumn(const TTdbColumnDef& column, const std::string& what) {
  throw ETdbEngine(tdbErrPlain, "Column \"" + Utf16ToUtf8(column.Name) + "\": " + what);
}

void CheckEnumNames(const TTdbColumnDef& column, int level) {
  const std::vector<std::u16string>& names = column.DataType.EnumNames();
  if (names.empty() || names.size() > kMaxEnumValueCount)
    RefuseColumn(column, "an enumeration needs 1 to " + std::to_string(kMaxEnumValueCount) + " value names");
  const std::size_t maxLength = level >= kFirstLevelWithLongEnumNames ? kMaxColumnNameLength : kMaxOldEnumNameLength;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::u16string& name = names[i];
    if (name.empty() || name.size() > maxLength || name.find(u'\n') != std::u16string::npos)
      RefuseColumn(column, "the value name \"" + Utf16ToUtf8(name) + "\" is empty, has a line break or is longer than " +
                               std::to_string(maxLength) + " characters");
    for (std::size_t j = 0; j < i; ++j)
      if (names[j] == name) throw ETdbEngine(tdbErrDuplicateIdentifier, Utf16ToUtf8(name));
  }
}

}  // namespace

std::string TTdbBaseTable::RelationTableFileName(const TTdbColumnDef& column) const {
  const std::string columnName = Utf16ToUtf8(column.Name);
  if (FLevel >= kMaxTableLevel)
    return PhysicalDirectory() + Name() + kRelationTableInfix + columnName + TableFileExtension(FLevel);
  return PhysicalDirectory() + columnName + kRelationTableExtensionOld;
}

void TTdbBaseTable::CheckNewColumnDetails() const {
  for (const TTdbColumnDef& column : FColumnDefs) {
    switch (column.DataType.ColumnType()) {
      case tctEnum: CheckEnumNames(column, FLevel); break;
      case tctLink:
      case tctRelation:
        if (column.LinkedTable.empty() || column.LinkedTable.size() > kMaxColumnNameLength)
          RefuseColumn(column, "a link or relation needs the name of the linked table (1 to " +
                                   std::to_string(kMaxColumnNameLength) + " characters)");
        break;
      default: break;
    }
  }
}

void TTdbBaseTable::CreateRelationTables(std::vector<std::string>& made) {
  for (const TTdbColumnDef& column : FColumnDefs) {
    if (column.DataType.ColumnType() != tctRelation) continue;
    TTdbBaseTable relation(FPageManager, FFileSystem, FClientHdl);
    relation.SetFileName(RelationTableFileName(column));
    relation.SetLevel(FLevel);
    relation.SetCapacity(FCapacity);
    relation.SetCollationName(FCollationName);
    relation.FCryptor.SetEncryptionMethod(FCryptor.EncryptionMethod());
    relation.SetKey(FCryptor.Key());
    TTdbColumnDef master = NewColumnDef(kRelationMasterColumn, TTdbDataType::Make(tctLink, false, FLevel));
    master.LinkedTable = Utf8ToUtf16(FStdName);
    TTdbColumnDef detail = NewColumnDef(kRelationDetailColumn, TTdbDataType::Make(tctLink, false, FLevel));
    detail.LinkedTable = column.LinkedTable;
    relation.AddColumn(std::move(master));
    relation.AddColumn(std::move(detail));
    relation.NewFile();
    made.push_back(relation.FileName());
    relation.Close();
  }
}

std::vector<std::string> TTdbBaseTable::RelationTableFileNames() const {
  std::vector<std::string> names;
  for (const TTdbColumnDef& column : FColumnDefs)
    if (column.DataType.ColumnType() == tctRelation) names.push_back(RelationTableFileName(column));
  return names;
}

}  // namespace kestrel
