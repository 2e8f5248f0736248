// Level-6 tables through the table object: the file names of the level, B+
// tree indexes over variable-size keys that survive reopening, transactions
// with their ".tdbr" log (rollback, a dead program's transaction, changes
// that never left the cache), and which definitions call for a B+ tree table
// file, which this table object does not make. A wide table with nullable
// columns, a blob and a wide memo runs random changes beside a vector model
// with fixed-size (B-tree) and variable-size (B+ tree) indexes.
#include <algorithm>
#include <optional>
#include <random>
#include <thread>

#include "engine/fs/clock.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/bplus_data_file.h"
#include "engine/table/bplus_journal.h"
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

// One record of the wide table below as plain values; nullopt is NULL.
struct TWideRow {
  std::int64_t No = 0;
  std::optional<std::u16string> Name;
  std::optional<std::int32_t> Day;
  std::string Blob;
  std::u16string Text;
  bool operator==(const TWideRow&) const = default;
};

TEST_F(Level6TableTest, NullableColumnsBlobsAndFixedAndVariableSizeIndexesAgreeWithAModel) {
  constexpr int kNo = 0, kName = 1, kDay = 2, kBlob = 3, kText = 4;
  auto table = NewTable();
  table->SetFileName("W.tdbt");
  table->SetLevel(6);
  table->AddColumn(NewColumnDef(u"NO", TTdbDataType::Make(tctLongInt, false, 6)));
  table->AddColumn(NewColumnDef(u"NEV", TTdbDataType::MakeString(tctWideString, true, 30, u"", 6)));
  table->AddColumn(NewColumnDef(u"NAP", TTdbDataType::Make(tctDate, true, 6)));
  table->AddColumn(NewColumnDef(u"ADAT", TTdbDataType::Make(tctBlob, true, 6)));
  table->AddColumn(NewColumnDef(u"SZOVEG", TTdbDataType::Make(tctWideMemo, true, 6)));
  table->NewFile();
  table->Setup();
  table->CreateIndex(u"NO", u"NO", true);
  table->CreateIndex(u"NEV", u"NEV, -NO", false);
  table->CreateIndex(u"NAP", u"NAP", false);
  EXPECT_TRUE(FFs.FileExists("W.tdbb"));
  EXPECT_EQ(table->GetIndexFile(table->GetIndexNo(u"NO")).BPlusTree(), nullptr);
  EXPECT_NE(table->GetIndexFile(table->GetIndexNo(u"NEV")).BPlusTree(), nullptr);

  const TTdbColumnDefs& columns = table->Columns();
  auto image = [&](const TWideRow& row) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    table->InitRecord(record, false);
    auto put = [&](int column, const TTdbValue& value) {
      WriteValue(columns[column].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), column),
                 value);
    };
    put(kNo, row.No);
    if (row.Name) put(kName, *row.Name);
    if (row.Day) put(kDay, TTdbDate{*row.Day});
    return record;
  };
  auto values = [&](const TWideRow& row) {
    return TTdbBlobDataList{{kBlob + 1, row.Blob, {}}, {kText + 1, {}, row.Text}};
  };
  auto read = [&](std::int32_t recNo) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    table->ReadRecord(recNo, record);
    auto get = [&](int column) {
      return ReadValue(columns[column].DataType,
                       columns.ColumnBytes(std::span<const std::uint8_t>(record), column));
    };
    TWideRow row;
    row.No = std::get<std::int64_t>(get(kNo));
    if (const TTdbValue name = get(kName); !std::holds_alternative<std::monostate>(name))
      row.Name = std::get<std::u16string>(name);
    if (const TTdbValue day = get(kDay); !std::holds_alternative<std::monostate>(day))
      row.Day = std::get<TTdbDate>(day).Packed;
    row.Blob = table->ReadBlobData(record, kBlob + 1);
    row.Text = table->ReadBlobDataWide(record, kText + 1);
    return row;
  };

  std::mt19937 random(6006);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto newRow = [&] {
    TWideRow row;
    row.No = pick(80);
    if (pick(4) != 0) {
      row.Name.emplace();
      for (int i = pick(30); i > 0; --i)
        row.Name->push_back(pick(3) == 0 ? u'\u0151' : static_cast<char16_t>(u'A' + pick(5)));
    }
    if (pick(3) != 0) row.Day = (1900 + pick(200)) * 512 + (1 + pick(12)) * 32 + 1 + pick(28);
    row.Blob.assign(static_cast<std::size_t>(pick(2) * pick(2000)), static_cast<char>(pick(256)));
    row.Text.assign(static_cast<std::size_t>(pick(300)), u'\u00E1');
    return row;
  };
  std::vector<TWideRow> model;
  auto compare = [&] {
    ASSERT_EQ(table->RecordCount(), static_cast<std::int32_t>(model.size()));
    for (std::size_t r = 0; r < model.size(); ++r)
      EXPECT_EQ(read(static_cast<std::int32_t>(r + 1)), model[r]) << r + 1;
    std::vector<std::int32_t> byNo(model.size());
    for (std::size_t r = 0; r < model.size(); ++r) byNo[r] = static_cast<std::int32_t>(r + 1);
    std::sort(byNo.begin(), byNo.end(), [&](auto a, auto b) { return model[a - 1].No < model[b - 1].No; });
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"NO")), byNo);
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"NEV")).size(), model.size());
    EXPECT_TRUE(Check(*table).empty());
  };
  auto hasNo = [&](std::int64_t no, std::size_t except) {
    for (std::size_t r = 0; r < model.size(); ++r)
      if (r != except && model[r].No == no) return true;
    return false;
  };
  for (int step = 1; step <= 300; ++step) {
    const int what = pick(10);
    if (what < 5 || model.empty()) {
      const TWideRow row = newRow();
      std::vector<std::uint8_t> record = image(row);
      const bool duplicate = hasNo(row.No, model.size());
      EXPECT_EQ(ErrorOf([&] { table->AppendRecord(record, values(row)); }), duplicate ? tdbErrNotUnique : 0);
      if (!duplicate) model.push_back(row);
    } else if (what < 8) {
      const std::size_t r = static_cast<std::size_t>(pick(static_cast<int>(model.size())));
      const TWideRow row = newRow();
      std::vector<std::uint8_t> record = image(row);
      const bool duplicate = hasNo(row.No, r);
      EXPECT_EQ(ErrorOf([&] { table->ReplaceRecord(record, values(row), static_cast<std::int32_t>(r + 1)); }),
                duplicate ? tdbErrNotUnique : 0);
      if (!duplicate) model[r] = row;
    } else {
      const std::size_t r = static_cast<std::size_t>(pick(static_cast<int>(model.size())));
      table->DeleteRecord(static_cast<std::int32_t>(r + 1));
      model[r] = model.back();
      model.pop_back();
    }
    if (step % 75 == 0) {
      SCOPED_TRACE(step);
      compare();
      table->Close();
      table->SetRights(kNewTableRights);
      table->Open();
      table->Setup();
    }
  }
  compare();
  EXPECT_GT(model.size(), 20u);
}

TEST_F(Level6TableTest, ADamagedBPlusTreeTableFileIsRefusedClearly) {
  FBPlus = true;
  auto table = Create(6);
  for (int i = 0; i < 200; ++i) Append(*table, {std::to_string(1000 + i), "Név", "leírás"});
  table->Close();
  const std::string good = Raw("Vnd03.dat");
  const auto patched = [&](std::size_t at, std::string bytes) {
    std::string image = good;
    image.replace(at, bytes.size(), bytes);
    return image;
  };
  struct Case {
    const char* what;
    std::string image;
    int error;
  } cases[] = {
      {"encrypted", patched(10, std::string(1, '\x05')), tdbErrLevelFeature},
      {"level 9", patched(4, std::string("\x09\x00", 2)), tdbErrUnknownVersion},
      {"level 4", patched(4, std::string("\x04\x00", 2)), tdbErrUnknownVersion},
      {"description block longer than the file", patched(4535, std::string("\xFF\xFF\xFF\x0F", 4)),
       tdbErrUnknownVersion},
      {"tree pages cut off", good.substr(0, 8192), tdbErrUnknownVersion},
      {"only the fixed fields", good.substr(0, 20), tdbErrUnknownVersion},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(FDir.File("Vnd03.dat"), c.image);
    const int error = ErrorOf([&] { Open(); });
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(FPageManager.GetStorageCount(), 0);
  }
  WriteWholeFile(FDir.File("Vnd03.dat"), good);
  table = Open();
  EXPECT_EQ(table->RecordCount(), 200);
  EXPECT_TRUE(Check(*table).empty());
}

TEST_F(Level6TableTest, OnlyARecordIdNamedXxxFirstCallsForABPlusTreeFile) {
  struct Case {
    const char* what;
    int level;
    std::u16string firstName;
    TTdbColumnType firstType;
    bool nullable;
    TTdbEncryptionMethod encryption;
    int error;  // of NewFile
    bool bplus;
  } cases[] = {
      {"record id _XXX at level 6", 6, u"_XXX", tctRecordId, false, temNone, 0, true},
      {"record id of another name", 6, u"ID", tctRecordId, false, temNone, 0, false},
      {"_XXX that is not a record id", 6, u"_XXX", tctLongInt, false, temNone, 0, false},
      {"record id _XXX at level 5", 5, u"_XXX", tctRecordId, false, temNone, 0, false},
      {"a nullable record id _XXX (ids have no null indicator)", 6, u"_XXX", tctRecordId, true, temNone, 0, true},
      {"an encrypted B+ tree table file", 6, u"_XXX", tctRecordId, false, temBlowfish, tdbErrLevelFeature, false},
      {"level 7", 7, u"ID", tctRecordId, false, temNone, tdbErrLevelFeature, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAllFiles();
    auto table = NewTable();
    table->SetFileName("T.tdbt");
    table->SetLevel(c.level);
    table->SetKey(u"titok");
    table->SetEncryptionMethod(c.encryption);
    const int level = std::min(c.level, 6);
    table->AddColumn(NewColumnDef(c.firstName, TTdbDataType::Make(c.firstType, c.nullable, level)));
    table->AddColumn(NewColumnDef(u"NEV", TTdbDataType::MakeString(tctString, true, 20, u"", level)));
    EXPECT_EQ(ErrorOf([&] { table->NewFile(); }), c.error);
    if (c.error != 0) {
      EXPECT_FALSE(FFs.FileExists("T.tdbt"));
      continue;
    }
    EXPECT_EQ(table->StableRecordNumbers(), c.bplus);
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
    EXPECT_EQ(table->StableRecordNumbers(), c.bplus);
    EXPECT_EQ(table->RecordCount(), 3);
    if (c.firstType == tctRecordId) {
      EXPECT_EQ(table->ReadNextRecordId(), 4);
    }
    EXPECT_TRUE(Check(*table).empty());
    table->Close();
  }
}


TEST_F(Level6TableTest, AJournalWhileAnotherProgramHoldsTheTableIsNotPutBack) {
  // A journal lies beside the table while a live program flushes it. An
  // opener must not write its kept units over that program's pages: it
  // waits for the flush to end, and only a journal whose owner is gone is
  // put back.
  FBPlus = true;
  auto table = Create(6);
  for (int i = 0; i < 50; ++i) Append(*table, {std::to_string(1000 + i), "Név", "leírás"});
  table->Close();
  const std::vector<TRow> rows = Rows(*Open(kNewTableRights & ~kRightExclusive));
  // A journal that would zero the header unit if it were put back.
  std::string journal;
  const auto put32 = [&](std::uint32_t v) { for (int b = 0; b < 4; ++b) journal += static_cast<char>(v >> (8 * b)); };
  const std::uint64_t units = Raw("Vnd03.dat").size() / kBPlusTableUnit;
  put32(kBPlusJournalMagic);
  put32(kBPlusTableUnit);
  put32(static_cast<std::uint32_t>(units));
  put32(0);
  put32(1);
  journal += std::string(8, '\0') + std::string(kBPlusTableUnit, '\0');
  put32(kBPlusJournalMagic);
  const std::string journalName = FDir.File(std::string("Vnd03") + kBPlusJournalExtension);

  auto holder = Open(kNewTableRights & ~kRightExclusive);
  WriteWholeFile(journalName, journal);
  std::thread flushEnds([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::filesystem::remove(journalName);
  });
  auto opener = Open(kNewTableRights & ~kRightExclusive);
  flushEnds.join();
  EXPECT_EQ(Rows(*opener), rows);
  opener.reset();
  holder.reset();

  // The owner is gone: the journal is put back (here: a unit of zeros,
  // which the open then refuses as a damaged header).
  WriteWholeFile(journalName, journal);
  EXPECT_NE(ErrorOf([&] { Open(kNewTableRights & ~kRightExclusive); }), 0);
  EXPECT_FALSE(std::filesystem::exists(journalName));
}

// A program whose flush of a B+ tree table file is cut short (its journal
// and its record log left on disk) while another program keeps the table
// open: the next program to take the write lock puts the journal back, so a
// new opener is not refused, and the program that kept it open reads the
// table as it was before the cut-short change.
TEST_F(Level6TableTest, ADeadFlushIsPutBackWhileAnotherProgramKeepsTheTableOpen) {
  FBPlus = true;
  const auto lockFiles = std::make_shared<TdwOSFileSystem>(FDir.Path());
  const auto shared = [&](std::int64_t session) { return OpenShared(lockFiles, session); };
  const std::string journalName = FDir.File(std::string("Vnd03") + kBPlusJournalExtension);
  const auto makeTable = [&] {
    RemoveAllFiles();
    auto made = Create(6);
    for (int i = 0; i < 30; ++i) Append(*made, {std::to_string(100 + i), "Név", "leírás"});
  };
  const auto append = [](TTdbBaseTable& t) { Append(t, {"050", "Ötven", std::string(900, 'o')}); };
  const auto remove = [](TTdbBaseTable& t) { t.DeleteRecord(t.GetFirstRecordNo()); };
  // The states before, between and after the two changes.
  std::vector<TState> states;
  {
    makeTable();
    auto table = Open();
    states.push_back(StateOf(*table));
    append(*table);
    states.push_back(StateOf(*table));
    remove(*table);
    states.push_back(StateOf(*table));
  }
  bool finished = false, sawJournal = false;
  for (int n = 1; n < 100 && !finished; ++n) {
    SCOPED_TRACE(n);
    makeTable();
    auto keeper = shared(1);
    auto flusher = shared(2);
    const int faults = FFs.GetFaultCount();
    FFs.DieAtNthWrite(n);
    const int error = ErrorOf([&] {
      append(*flusher);
      remove(*flusher);
    });
    finished = FFs.GetFaultCount() == faults;
    flusher.reset();  // its writes still fail: it leaves what it left
    FFs.Disarm();
    sawJournal = sawJournal || std::filesystem::exists(journalName);
    auto opener = shared(3);
    EXPECT_FALSE(std::filesystem::exists(journalName));
    const TState state = StateOf(*opener);
    EXPECT_NE(std::find(states.begin(), states.end(), state), states.end());
    if (error == 0) {
      EXPECT_EQ(state, states.back());
    }
    EXPECT_TRUE(Check(*opener).empty()) << ::testing::PrintToString(Check(*opener));
    keeper->CheckUpdate();
    EXPECT_EQ(StateOf(*keeper), state);
    opener.reset();
    keeper.reset();
  }
  EXPECT_TRUE(finished);
  EXPECT_TRUE(sawJournal);
}

}  // namespace
}  // namespace kestrel::test
