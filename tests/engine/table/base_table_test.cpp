// TTdbBaseTable: creating, opening and reading back the classification
// table, refused opens, the move-last rule on delete with its notification,
// unique keys, rights, a lost user index, and failed flushes.
#include "engine/index/index_definition_text.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

using BaseTableTest = TableFixture;

const std::vector<TRow> kRows = {
    {"0101", "Árvíztűrő tükörfúrógép", "Első sor\r\nMásodik sor"},
    {"0102", "Bérszámfejtés", ""},
    {"0103", "Cégbejegyzés", std::string(700, 'x')},
    {"0104", "Adótanácsadás", "rövid"},
    {"0105", "Ügyvédi szolgáltatás", "\"idézet\", vessző"},
};

TEST_F(BaseTableTest, CreatedTableReadsBackAfterReopenAtEveryLevel) {
  for (int level = 2; level <= 5; ++level) {
    SCOPED_TRACE(level);
    auto table = Create(level);
    for (const TRow& row : kRows) Append(*table, row);
    table->Close();
    table = Open();
    EXPECT_EQ(table->Level(), level);
    EXPECT_EQ(Rows(*table), kRows);
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"KOD")), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"INDMN")), (std::vector<std::int32_t>{4, 1, 2, 3, 5}));
    EXPECT_TRUE(Check(*table).empty());
    const std::vector<std::string> files = table->GetFileNames();
    table->Close();
    for (const std::string& name : files) FFs.DeleteFile(name);
  }
}

TEST_F(BaseTableTest, RefusedOpens) {
  Create()->Close();
  const std::string header = Raw("Vnd03.dat");
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int error;
  } cases[] = {
      {"no table file", [&] { FFs.DeleteFile("Vnd03.dat"); }, tdbErrFileNotFound},
      {"a heap header behind the B+ tree magic",
       [&] {
         std::string bplus = header;
         for (int b = 0; b < 4; ++b) bplus[b] = static_cast<char>(kBPlusTableMagic >> (8 * b));
         WriteWholeFile(FDir.File("Vnd03.dat"), bplus);
       },
       tdbErrUnknownVersion},
      {"no magic", [&] { WriteWholeFile(FDir.File("Vnd03.dat"), std::string(16, '\0')); }, tdbErrOldVersion},
      {"no memo file", [&] { FFs.DeleteFile("Vnd03.mmo"); }, tdbErrOpenMemo},
      {"an empty table file", [&] { WriteWholeFile(FDir.File("Vnd03.dat"), ""); }, tdbErrPlain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string memo = Raw("Vnd03.mmo");
    c.prepare();
    auto table = NewTable();
    table->SetRights(kNewTableRights);
    table->SetFileName("Vnd03.dat");
    EXPECT_EQ(ErrorOf([&] { table->Open(); }), c.error);
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(FPageManager.GetStorageCount(), 0);
    WriteWholeFile(FDir.File("Vnd03.dat"), header);
    WriteWholeFile(FDir.File("Vnd03.mmo"), memo);
  }
  // With force, a table whose memo file is missing opens without it.
  FFs.DeleteFile("Vnd03.mmo");
  auto table = NewTable();
  table->SetRights(kNewTableRights);
  table->SetFileName("Vnd03.dat");
  table->Open(true);
  EXPECT_TRUE(table->Active());
}

TEST_F(BaseTableTest, DeleteMovesTheLastRecordIntoTheSlot) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  TRecordingListener listener;
  table->Listeners().AddAccessor(&listener);
  Replace(*table, 3, kRows[2]);
  table->DeleteRecord(2);
  Append(*table, {"0106", "Új", ""});
  table->DeleteRecord(5);
  EXPECT_EQ(listener.Events,
            (std::vector<std::string>{"changed 3", "deleted 2 5", "relation changed", "deleted 5 0"}));
  // Notifications held back while disabled end in one RelationChanged.
  table->Listeners().EnableNotifications(false);
  Replace(*table, 1, kRows[0]);
  table->Listeners().EnableNotifications(true);
  EXPECT_EQ(listener.Events.back(), "relation changed");
  EXPECT_EQ(listener.Events.size(), 5u);
  listener.Events.clear();
  EXPECT_EQ(Rows(*table), (std::vector<TRow>{kRows[0], kRows[4], kRows[2], kRows[3]}));
  table->DeleteRecord(4);
  EXPECT_EQ(listener.Events, (std::vector<std::string>{"deleted 4 0"}));
  EXPECT_EQ(ErrorOf([&] { table->DeleteRecord(0); }), tdbErrRecordNotFound);
  EXPECT_EQ(ErrorOf([&] { table->DeleteRecord(4); }), tdbErrRecordNotFound);
  EXPECT_EQ(IndexOrder(*table, 0), (std::vector<std::int32_t>{1, 3, 2}));
  EXPECT_TRUE(Check(*table).empty());
  table->Listeners().RemoveAccessor(&listener);
}

TEST_F(BaseTableTest, FreedMemoBlocksAreReused) {
  auto table = Create();
  Append(*table, kRows[2]);  // three memo blocks
  Append(*table, kRows[0]);
  table->Close();
  const std::size_t memoSize = Raw("Vnd03.mmo").size();
  table = Open();
  table->DeleteRecord(1);
  Append(*table, kRows[2]);
  table->Close();
  EXPECT_EQ(Raw("Vnd03.mmo").size(), memoSize);
}

TEST_F(BaseTableTest, DuplicateKeysAreRefusedAndChangeNothing) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  table->Close();
  const std::string data = Raw("Vnd03.dat"), memo = Raw("Vnd03.mmo"), index = Raw("Vnd03!KOD.ind");
  table = Open();
  EXPECT_EQ(ErrorOf([&] { Append(*table, {"0103", "Más", "más leírás"}); }), tdbErrNotUnique);
  EXPECT_EQ(ErrorOf([&] { Replace(*table, 1, {"0102", "Más", ""}); }), tdbErrNotUnique);
  table->Close();
  EXPECT_TRUE(Raw("Vnd03.dat") == data);
  EXPECT_TRUE(Raw("Vnd03.mmo") == memo);
  EXPECT_TRUE(Raw("Vnd03!KOD.ind") == index);
  // The record's own key passes the check, and its unchanged key leaves the
  // index as it was.
  table = Open();
  Replace(*table, 3, {"0103", "Cégbejegyzés", "új leírás"});
  table->Close();
  EXPECT_TRUE(Raw("Vnd03!KOD.ind") == index);
}

TEST_F(BaseTableTest, EveryChangeNeedsItsRight) {
  auto table = Create();
  Append(*table, kRows[0]);
  table->Close();
  struct Case {
    TTdbRights rights;
    bool append, replace, remove;
  } cases[] = {
      {0, false, false, false},
      {tarAppend, true, false, false},
      {tarEdit, false, true, false},
      {tarDelete, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rights);
    table = Open(c.rights);
    const std::int32_t count = table->RecordCount();
    EXPECT_EQ(ErrorOf([&] {
                Append(*table, {"09" + std::to_string(count), "x", ""});
              }),
              c.append ? 0 : tdbErrNoWritePermission);
    EXPECT_EQ(ErrorOf([&] { Replace(*table, 1, Row(*table, 1)); }), c.replace ? 0 : tdbErrNoWritePermission);
    EXPECT_EQ(ErrorOf([&] { table->DeleteRecord(table->RecordCount()); }),
              c.remove ? 0 : tdbErrNoWritePermission);
    table->Close();
  }
}

TEST_F(BaseTableTest, LostUserIndexIsReportedButRecordsStillRead) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  table->Close();
  FFs.DeleteFile("Vnd03!INDMN.ind");
  auto reopened = NewTable();
  reopened->SetRights(kNewTableRights);
  reopened->SetFileName("Vnd03.dat");
  reopened->Open();
  reopened->Setup();
  const int indmn = reopened->GetIndexNo(u"INDMN");
  // A missing file is reported as missing, not as a damaged index.
  EXPECT_EQ(ErrorOf([&] { reopened->CheckIndexOpen(indmn); }), tdbErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { Append(*reopened, {"0200", "x", ""}); }), tdbErrFileNotFound);
  EXPECT_EQ(Rows(*reopened), kRows);
  EXPECT_EQ(IndexOrder(*reopened, reopened->GetIndexNo(u"KOD")).size(), kRows.size());
  EXPECT_FALSE(Check(*reopened).empty());
}

TEST_F(BaseTableTest, InitRecordGivesNotNullDatesTheFirstDay) {
  auto table = NewTable();
  table->SetFileName("Dates.dat");
  table->SetLevel(5);
  table->AddColumn(NewColumnDef(u"D1", TTdbDataType::Make(tctDate, false, 5)));
  table->AddColumn(NewColumnDef(u"D2", TTdbDataType::Make(tctDate, true, 5)));
  table->NewFile();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
  table->InitRecord(record, false);
  const TTdbColumnDefs& columns = table->Columns();
  EXPECT_EQ(ReadValue(columns[0].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(record), 0)),
            TTdbValue(TTdbDate{545}));
  EXPECT_TRUE(
      IsNullValue(columns[1].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(record), 1)));
}

TEST_F(BaseTableTest, NamesAndDefinitionsThatCannotBeKeptAreRefused) {
  struct Case {
    const char* what;
    std::function<void()> attempt;
    int error;
  } cases[] = {
      {"a column name of 41 characters",
       [&] {
         auto table = NewTable();
         table->SetFileName("Long.dat");
         table->SetLevel(5);
         table->AddColumn(NewColumnDef(std::u16string(41, u'N'), TTdbDataType::Make(tctLongInt, true, 5)));
         table->NewFile();
       },
       tdbErrInvalidIdentifier},
      {"a negative capacity",
       [&] {
         auto table = NewTable();
         table->SetFileName("Cap.dat");
         table->SetLevel(5);
         table->SetCapacity(-5);
         table->AddColumn(NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, true, 5)));
         table->NewFile();
       },
       tdbErrInvalidParameter},
      {"a directory that does not exist",
       [&] {
         auto table = NewTable();
         table->SetFileName("missing/T.dat");
         table->SetLevel(5);
         table->AddColumn(NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, true, 5)));
         table->NewFile();
       },
       tdbErrPlain},
      {"an empty index name", [&] { Open()->CreateIndex(u"", u"KOD", false); }, tdbErrInvalidIndexName},
      {"an index on a Memo column", [&] { Open()->CreateIndex(u"LEIR", u"LEIRAS", false); },
       tdbErrMemoBlobNotAllowed},
  };
  Create()->Close();
  const std::vector<std::string> before = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorOf(c.attempt), c.error);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, before);  // no file made
  }
}

TEST_F(BaseTableTest, ARebuildBrokenOffAtAnyWriteLeavesTheOldIndexFile) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  table->Close();
  table = Open(kNewTableRights | kRightSecureFlush);
  table->Flush();  // everything on disk, so a crash keeps it
  table->Close();
  const std::string old = Raw("Vnd03!KOD.ind");
  bool finished = false;
  for (int n = 1; n < 200 && !finished; ++n) {
    SCOPED_TRACE(n);
    table = Open();
    const int faults = FFs.GetFaultCount();
    FFs.FailNthWrite(n, true);
    const int error = ErrorOf([&] { table->RebuildIndex(table->GetIndexNo(u"KOD")); });
    finished = FFs.GetFaultCount() == faults;
    FFs.Crash();
    table.reset();
    FFs.Disarm();
    if (!finished) {
      EXPECT_NE(error, 0);
      EXPECT_TRUE(Raw("Vnd03!KOD.ind") == old);
    }
    table = Open();
    EXPECT_TRUE(Check(*table).empty());
    table->Close();
  }
  EXPECT_TRUE(finished);
}

TEST_F(BaseTableTest, FailedFlushIsReportedByTheChangeAndAtClose) {
  auto table = Create();
  // A change is written before it returns: its failure is its own. (The
  // first two writes, the change log's header and entry, get through.)
  FFs.FailNthWrite(3, true);
  EXPECT_EQ(ErrorOf([&] { Append(*table, kRows[0]); }), tdbErrWriteFile);
  FFs.Disarm();
  EXPECT_EQ(table->RecordCount(), 0);
  // The taken-back state could not be written either: the next write lock
  // reports that once, and a later flush writes it.
  EXPECT_EQ(ErrorOf([&] { Append(*table, kRows[1]); }), tdbErrWriteFile);
  Append(*table, kRows[1]);
  EXPECT_EQ(table->RecordCount(), 1);
  // Changes of a batch are written when its lock goes; a failure then is
  // reported by Close.
  FFs.FailNthWrite(1, true);
  {
    TTdbTableLock write(*table, tltWrite);
    Append(*table, kRows[2]);
  }
  EXPECT_EQ(ErrorOf([&] { table->Close(); }), tdbErrWriteFile);
  EXPECT_FALSE(table->Active());
  FFs.Disarm();
  EXPECT_EQ(FPageManager.GetStorageCount(), 0);
}

TEST_F(BaseTableTest, RecordIdsAreHandedOutWhenRecordsArePrepared) {
  auto table = NewTable();
  table->SetFileName("Ids.dat");
  table->SetLevel(5);
  table->AddColumn(NewColumnDef(u"ID", TTdbDataType::Make(tctRecordId, false, 5)));
  table->AddColumn(NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, true, 5)));
  table->NewFile();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
  const TTdbColumnDefs& columns = table->Columns();
  auto id = [&] {
    return std::get<int64_t>(
        ReadValue(columns[0].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(record), 0)));
  };
  table->InitRecord(record, true);
  EXPECT_EQ(id(), 1);
  EXPECT_EQ(table->ReadNextRecordId(), 2);
  table->InitRecord(record, true);
  EXPECT_EQ(id(), 2);
  // The last id given back is handed out again; an earlier one is not.
  table->CancelAutoNum(1);
  table->CancelAutoNum(2);
  table->InitRecord(record, true);
  EXPECT_EQ(id(), 2);
  WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), int64_t{40});
  table->AdjustRecordId(record);
  table->Close();
  table = NewTable();
  table->SetFileName("Ids.dat");
  table->Open();
  EXPECT_EQ(table->ReadNextRecordId(), 41);
}

TEST_F(BaseTableTest, ReloadSeesTheChangesOfAnotherProgram) {
  Create()->Close();
  constexpr TTdbRights kShared = tarAppend | tarEdit | tarDelete;
  auto reader = Open(kShared);
  TRecordingListener listener;
  reader->Listeners().AddAccessor(&listener);
  // The other program has its own page cache.
  TTdbPageManager otherCache;
  otherCache.RegisterClient(1, 1024);
  {
    TTdbBaseTable writer(otherCache, FFs, 1);
    writer.SetRights(kShared);
    writer.SetFileName("Vnd03.dat");
    writer.Open();
    writer.Setup();
    for (const TRow& row : kRows) Append(writer, row);
    writer.Close();
  }
  EXPECT_EQ(reader->RecordCount(), 0);
  reader->UpdateTable();
  EXPECT_EQ(Rows(*reader), kRows);
  EXPECT_EQ(IndexOrder(*reader, reader->GetIndexNo(u"INDMN")), (std::vector<std::int32_t>{4, 1, 2, 3, 5}));
  EXPECT_EQ(listener.Events, (std::vector<std::string>{"relation changed"}));
  reader->Listeners().RemoveAccessor(&listener);
}

TEST_F(BaseTableTest, AMissingAutomaticIndexIsRebuiltFromTheRecords) {
  auto table = Create(5, false);
  for (const TRow& row : kRows) Append(*table, row);
  const TTdbSortDef def = CalcIndexDefinition(table->IndexTable(), u"-KOD", true);
  const int number = table->InitIndex(u"sys_Unique0", &def);
  EXPECT_TRUE(table->CheckIndexOpen(number));
  EXPECT_EQ(IndexOrder(*table, number), (std::vector<std::int32_t>{5, 4, 3, 2, 1}));
  // Kept by the engine: a unique key like any other.
  EXPECT_EQ(ErrorOf([&] { Append(*table, {"0101", "Másik", ""}); }), tdbErrNotUnique);
  EXPECT_TRUE(Check(*table).empty());
}

}  // namespace
}  // namespace kestrel::test
