// Level-6 tables through the table object: the file names of the level, B+
// tree indexes over variable-size keys that survive reopening, transactions
// with their ".tdbr" log (rollback, a dead program's transaction, changes
// that never left the cache), and which definitions call for a B+ tree table
// file, which this table object does not make.
#include "table_fixture.h"

namespace kestrel::test {
namespace {

using Level6TableTest = TableFixture;

const std::vector<TRow> kRows = {
    {"10", "Tíz", "a tíz leírása"},
    {"20", "Húsz", std::string(600, 'h')},
    {"30", "Harminc", ""},
    {"40", "Negyven", "negyven\r\nsor"},
    {"05", "Öt", "öt"},
};

struct TState {
  std::vector<TRow> Rows;
  std::vector<std::int32_t> Kod, Indmn;
  bool operator==(const TState&) const = default;
};

TState StateOf(TTdbBaseTable& table) {
  return {TableFixture::Rows(table), TableFixture::IndexOrder(table, table.GetIndexNo(u"KOD")),
          TableFixture::IndexOrder(table, table.GetIndexNo(u"INDMN"))};
}

void MixedChanges(TTdbBaseTable& table) {
  TableFixture::Append(table, {"07", "Hét", "új"});
  TableFixture::Replace(table, 2, {"21", "Huszonegy", "más leírás"});
  table.DeleteRecord(1);
  table.DeleteRecord(table.RecordCount());
}

std::unique_ptr<TTdbBaseTable> Filled(TableFixture& fixture) {
  auto table = fixture.Create(6);
  for (const TRow& row : kRows) TableFixture::Append(*table, row);
  return table;
}

TEST_F(Level6TableTest, FilesOfTheLevelAndBPlusTreeIndexesSurviveReopening) {
  auto table = Filled(*this);
  EXPECT_EQ(table->Level(), 6);
  for (const char16_t* name : {u"KOD", u"INDMN"})
    EXPECT_NE(table->GetIndexFile(table->GetIndexNo(name)).BPlusTree(), nullptr);
  for (const char* name : {"Vnd03.tdbm", "Vnd03!KOD.tdbi", "Vnd03!INDMN.tdbi"})
    EXPECT_TRUE(FFs.FileExists(name)) << name;
  for (const char* name : {"Vnd03.mmo", "Vnd03!KOD.ind"}) EXPECT_FALSE(FFs.FileExists(name)) << name;
  const TState before = StateOf(*table);
  EXPECT_EQ(before.Kod, (std::vector<std::int32_t>{5, 1, 2, 3, 4}));
  table->Close();
  table = Open();
  EXPECT_EQ(table->Level(), 6);
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_EQ(ErrorOf([&] { Append(*table, kRows[1]); }), tdbErrNotUnique);
  EXPECT_EQ(StateOf(*table), before);
  // A rebuilt index holds the same items as the one kept by the changes.
  table->RebuildIndex(table->GetIndexNo(u"INDMN"));
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
}

TEST_F(Level6TableTest, RollbackAndCommitUseTheTdbrLog) {
  auto table = Filled(*this);
  const TState before = StateOf(*table);
  table->StartTransaction();
  MixedChanges(*table);
  EXPECT_TRUE(FFs.FileExists("Vnd03.tdbr"));
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
  EXPECT_NE(StateOf(*table), before);
  table->UndoModifications();
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_FALSE(FFs.FileExists("Vnd03.tdbr"));
  table->StartTransaction();
  MixedChanges(*table);
  const TState changed = StateOf(*table);
  table->CommitModifications();
  EXPECT_FALSE(FFs.FileExists("Vnd03.tdbr"));
  table->Close();
  table = Open();
  EXPECT_EQ(StateOf(*table), changed);
}

TEST_F(Level6TableTest, TransactionOfADeadProgramIsRolledBackAtOpen) {
  auto table = Filled(*this);
  const TState before = StateOf(*table);
  table->StartTransaction();
  MixedChanges(*table);
  FFs.Crash();
  table.reset();
  EXPECT_TRUE(FFs.FileExists("Vnd03.tdbr"));
  table = Open();
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_FALSE(FFs.FileExists("Vnd03.tdbr"));
}

TEST_F(Level6TableTest, ChangesThatNeverLeftTheCacheRollBackToTheSameBytes) {
  auto table = Filled(*this);
  table->Flush();
  const std::string data = Raw("Vnd03.dat"), memo = Raw("Vnd03.tdbm"), kod = Raw("Vnd03!KOD.tdbi");
  const TState before = StateOf(*table);
  table->StartTransaction();
  {
    TTdbTableLock write(*table, tltWrite);
    MixedChanges(*table);
    table->UndoModifications();
  }
  // The B+ trees read their pages again after the cache dropped the changes.
  EXPECT_EQ(StateOf(*table), before);
  table->Close();
  EXPECT_TRUE(Raw("Vnd03.dat") == data);
  EXPECT_TRUE(Raw("Vnd03.tdbm") == memo);
  EXPECT_TRUE(Raw("Vnd03!KOD.tdbi") == kod);
  EXPECT_FALSE(FFs.FileExists("Vnd03.tdbr"));
}

TEST_F(Level6TableTest, OnlyARecordIdNamedXxxFirstCallsForABPlusTreeFile) {
  struct Case {
    const char* what;
    int level;
    std::u16string firstName;
    TTdbColumnType firstType;
    int error;  // of NewFile
  } cases[] = {
      {"record id _XXX at level 6", 6, u"_XXX", tctRecordId, tdbErrLevelFeature},
      {"record id of another name", 6, u"ID", tctRecordId, 0},
      {"_XXX that is not a record id", 6, u"_XXX", tctLongInt, 0},
      {"record id _XXX at level 5", 5, u"_XXX", tctRecordId, 0},
      {"level 7", 7, u"ID", tctRecordId, tdbErrLevelFeature},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAllFiles();
    auto table = NewTable();
    table->SetFileName("T.tdbt");
    table->SetLevel(c.level);
    const int level = std::min(c.level, 6);
    table->AddColumn(NewColumnDef(c.firstName, TTdbDataType::Make(c.firstType, false, level)));
    table->AddColumn(NewColumnDef(u"NEV", TTdbDataType::MakeString(tctString, true, 20, u"", level)));
    EXPECT_EQ(ErrorOf([&] { table->NewFile(); }), c.error);
    if (c.error != 0) {
      EXPECT_FALSE(FFs.FileExists("T.tdbt"));
      continue;
    }
    table->Setup();
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    for (int i = 0; i < 3; ++i) {
      table->InitRecord(record, c.firstType == tctRecordId);
      table->AppendRecord(record, {});
    }
    table->Close();
    table->SetRights(kNewTableRights);
    table->Open();
    table->Setup();
    EXPECT_EQ(table->Level(), c.level);
    EXPECT_EQ(table->RecordCount(), 3);
    if (c.firstType == tctRecordId) {
      EXPECT_EQ(table->ReadNextRecordId(), 4);
    }
    EXPECT_TRUE(Check(*table).empty());
    table->Close();
  }
}

}  // namespace
}  // namespace kestrel::test
