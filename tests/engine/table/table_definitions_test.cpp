// Definitions a new table takes beyond plain columns: Link, Relation and
// Enum columns (value names checked, a relation table per Relation column)
// and candidate keys with their unique indexes. A refused definition leaves
// no file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "table_fixture.h"

namespace kestrel::test {
namespace {

class TableDefinitions : public TableFixture {
 protected:
  // A table T at `level` with an Int16 column K and `more`.
  std::unique_ptr<TTdbBaseTable> Define(int level, std::vector<TTdbColumnDef> more) {
    auto table = NewTable();
    table->SetFileName(level >= 6 ? "T.tdbt" : "T.dat");
    table->SetLevel(level);
    table->AddColumn(NewColumnDef(u"K", TTdbDataType::Make(tctInt16, true, level)));
    for (TTdbColumnDef& column : more) table->AddColumn(std::move(column));
    return table;
  }
  static TTdbColumnDef Linked(const char16_t* name, TTdbColumnType type, const char16_t* table, int level) {
    TTdbColumnDef column = NewColumnDef(name, TTdbDataType::Make(type, true, level));
    column.LinkedTable = table;
    return column;
  }
  static TTdbColumnDef Enum(std::vector<std::u16string> names, int level) {
    return NewColumnDef(u"E", TTdbDataType::MakeEnum(true, std::move(names), level));
  }
  bool DirectoryEmpty() const { return std::filesystem::is_empty(FDir.Path()); }
};

TEST_F(TableDefinitions, EveryRelationColumnGetsItsRelationTable) {
  struct Case {
    int Level;
    std::string RelationFile;
  };
  for (const Case& c : {Case{5, "R.rel"}, Case{6, "T!rel_R.tdbt"}}) {
    SCOPED_TRACE(c.Level);
    auto table = Define(c.Level, {Linked(u"L", tctLink, u"Other", c.Level), Linked(u"R", tctRelation, u"Other", c.Level)});
    table->NewFile();
    EXPECT_EQ(table->RelationTableFileName(table->Columns()[2]), c.RelationFile);
    const std::vector<std::string> files = table->GetFileNames();
    EXPECT_NE(std::find(files.begin(), files.end(), c.RelationFile), files.end());
    table->Close();
    // The relation table pairs a record of T with one of the linked table.
    auto relation = NewTable();
    relation->SetRights(0);
    relation->SetFileName(c.RelationFile);
    relation->Open();
    ASSERT_EQ(relation->ColumnCount(), 2);
    EXPECT_EQ(relation->Columns()[0].Name, kRelationMasterColumn);
    EXPECT_EQ(relation->Columns()[0].LinkedTable, u"T");
    EXPECT_EQ(relation->Columns()[1].Name, kRelationDetailColumn);
    EXPECT_EQ(relation->Columns()[1].LinkedTable, u"Other");
    EXPECT_EQ(relation->Level(), c.Level);
    relation->Close();
    RemoveAllFiles();
  }
}

TEST_F(TableDefinitions, AnExistingRelationTableFileStopsTheCreationWhole) {
  WriteWholeFile(FDir.File("R.rel"), "in the way");
  auto table = Define(5, {Linked(u"R", tctRelation, u"Other", 5), NewColumnDef(u"M", TTdbDataType::Make(tctMemo, true, 5))});
  EXPECT_EQ(ErrorOf([&] { table->NewFile(); }), tdbErrFileExists);
  EXPECT_FALSE(table->Active());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FDir.Path()), {}), 1) << "only R.rel is left";
}

TEST_F(TableDefinitions, BadLinkAndEnumDefinitionsAreRefusedBeforeAnyFile) {
  struct Case {
    const char* What;
    int Level;
    TTdbColumnDef Column;
    int Error;
  };
  const std::vector<Case> cases = {
      {"Enum without names", 5, Enum({}, 5), tdbErrPlain},
      {"empty name", 5, Enum({u"a", u""}, 5), tdbErrPlain},
      {"line break in a name", 5, Enum({u"a\nb"}, 5), tdbErrPlain},
      {"name twice", 5, Enum({u"a", u"b", u"a"}, 5), tdbErrDuplicateIdentifier},
      {"21 characters below level 5", 4, Enum({std::u16string(21, u'x')}, 4), tdbErrPlain},
      {"128 names", 5, Enum(std::vector<std::u16string>(128, u"x"), 5), tdbErrPlain},
      {"Link without table", 5, Linked(u"L", tctLink, u"", 5), tdbErrPlain},
      {"Relation without table", 6, Linked(u"R", tctRelation, u"", 6), tdbErrPlain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    auto table = Define(c.Level, {c.Column});
    EXPECT_EQ(ErrorOf([&] { table->NewFile(); }), c.Error);
    EXPECT_TRUE(DirectoryEmpty());
  }
  // What the limits allow is made.
  std::vector<std::u16string> names;
  for (int i = 1; i <= 127; ++i) names.push_back(u"v" + Utf8ToUtf16(std::to_string(i)));
  auto table = Define(4, {Enum(names, 4), Linked(u"L", tctLink, u"Other", 4)});
  table->NewFile();
  table->Close();
  table->Open();
  EXPECT_EQ(table->Columns()[1].DataType.EnumNames(), names);
  EXPECT_EQ(table->Columns()[2].LinkedTable, u"Other");
}

TEST_F(TableDefinitions, CandidateKeysAreKeptByUniqueSystemIndexes) {
  auto table = Define(6, {NewColumnDef(u"A", TTdbDataType::Make(tctLongInt, true, 6)),
                          NewColumnDef(u"B", TTdbDataType::Make(tctLongInt, true, 6))});
  table->SetConstraints({{false, u"", u"A"}, {true, u"", u"K"}, {false, u"pairs", u"A,B"}}, {}, {});
  table->NewFile();
  table->Setup();
  EXPECT_EQ(table->IndexName(table->KeyIndexNo(0)), u"sys_Unique0");
  EXPECT_EQ(table->IndexName(table->KeyIndexNo(1)), u"sys_Primary");
  EXPECT_EQ(table->PrimIndexNo(), table->KeyIndexNo(1));
  EXPECT_EQ(table->IndexName(table->KeyIndexNo(2)), u"pairs");
  const auto row = [&](std::int64_t k, std::int64_t a, std::int64_t b) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    table->InitRecord(record, false);
    const std::int64_t values[] = {k, a, b};
    for (std::size_t i = 0; i < 3; ++i)
      WriteValue(table->Columns()[i].DataType, table->Columns().ColumnBytes(std::span<std::uint8_t>(record), i),
                 values[i]);
    return table->AppendRecord(record, {});
  };
  row(1, 10, 100);
  EXPECT_EQ(ErrorOf([&] { row(1, 11, 101); }), tdbErrNotUnique) << "primary key";
  EXPECT_EQ(ErrorOf([&] { row(2, 10, 101); }), tdbErrNotUnique) << "unique key";
  EXPECT_EQ(table->RecordCount(), 1);
  // The system indexes are not listed in the header: they come from the
  // keys, and one whose file is gone is made again from the records.
  table->Close();
  EXPECT_TRUE(std::filesystem::remove(FDir.File("T!sys_Primary.tdbi")));
  table->SetRights(kNewTableRights);
  table->Open();
  table->Setup();
  EXPECT_EQ(IndexOrder(*table, table->PrimIndexNo()), std::vector<std::int32_t>{1});
  EXPECT_EQ(ErrorOf([&] { row(1, 12, 102); }), tdbErrNotUnique);
  EXPECT_TRUE(Check(*table).empty());
}

TEST_F(TableDefinitions, BadConstraintDefinitionsAreRefusedBeforeAnyFile) {
  struct Case {
    const char* What;
    int Level;
    std::vector<TTdbCandidateKeyDef> Keys;
    std::vector<TTdbCheckDef> Checks;
    std::vector<TTdbForeignKeyDef> ForeignKeys;
    int Error;
  };
  const std::vector<Case> cases = {
      {"level 3", 3, {{true, u"", u"K"}}, {}, {}, tdbErrLevelFeature},
      {"unknown key column", 5, {{true, u"", u"NOPE"}}, {}, {}, tdbErrInvalidIndexSpec},
      {"two primary keys", 5, {{true, u"", u"K"}, {true, u"other", u"K"}}, {}, {}, tdbErrPlain},
      {"check without text", 5, {}, {{u"c", u""}}, {}, tdbErrPlain},
      {"name twice", 5, {}, {{u"c", u"K > 0"}}, {{u"c", u"K", u"P", u"ID", 0, 0}}, tdbErrDuplicateIdentifier},
      {"unknown foreign key column", 5, {}, {}, {{u"f", u"NOPE", u"P", u"ID", 0, 0}}, tdbErrInvalidIndexSpec},
      {"columns and parent columns differ", 5, {}, {}, {{u"f", u"K", u"P", u"A,B", 0, 0}},
       tdbErrColumnCountMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    auto table = Define(c.Level, {});
    table->SetConstraints(c.Keys, c.Checks, c.ForeignKeys);
    EXPECT_EQ(ErrorOf([&] { table->NewFile(); }), c.Error);
    EXPECT_TRUE(DirectoryEmpty());
  }
}

}  // namespace
}  // namespace kestrel::test
