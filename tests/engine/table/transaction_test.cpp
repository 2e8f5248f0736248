// Transactions: rollback of appends, replaces and deletes restores content,
// record numbers and index order; changes that never left the cache roll
// back to the very same bytes; a transaction left behind by a dead program
// is rolled back at the next open, by a reader too when it may write the
// files; the log of a committed transaction that a crash brings back undoes
// nothing; a commit also commits what ordinary flushes wrote before it; a
// damaged redo log is kept and reported.
#include <unistd.h>

#include "engine/table/redo_log.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

using TransactionTest = TableFixture;

// Bound of the fault loops: more writes than any change here makes.
constexpr int kMaxWrites = 400;

const std::vector<TRow> kRows = {
    {"10", "Tíz", "a tíz leírása"},
    {"20", "Húsz", std::string(600, 'h')},
    {"30", "Harminc", ""},
    {"40", "Negyven", "negyven\r\nsor"},
};

struct TState {
  std::vector<TRow> Rows;
  std::vector<std::int32_t> Kod, Indmn;
  bool operator==(const TState&) const = default;
};

void PrintTo(const TState& state, std::ostream* out) {
  for (const TRow& row : state.Rows)
    *out << "[" << row.Kod << " " << row.Megnev << " " << row.Leiras.size() << "] ";
  *out << "KOD:";
  for (auto r : state.Kod) *out << " " << r;
  *out << " INDMN:";
  for (auto r : state.Indmn) *out << " " << r;
}

TState StateOf(TTdbBaseTable& table) {
  return {TableFixture::Rows(table), TableFixture::IndexOrder(table, table.GetIndexNo(u"KOD")),
          TableFixture::IndexOrder(table, table.GetIndexNo(u"INDMN"))};
}

// Appends, replaces and deletes in this order, each flushed on its own.
void MixedChanges(TTdbBaseTable& table) {
  TableFixture::Append(table, {"05", "Öt", "új"});
  TableFixture::Replace(table, 2, {"21", "Huszonegy", "más leírás"});
  table.DeleteRecord(1);
  table.DeleteRecord(table.RecordCount());
}

TEST_F(TransactionTest, RollbackRestoresContentRecordNumbersAndIndexes) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  const TState before = StateOf(*table);
  table->StartTransaction();
  MixedChanges(*table);
  EXPECT_TRUE(FFs.FileExists("Vnd03.tra"));
  EXPECT_NE(StateOf(*table), before);
  table->UndoModifications();
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
  // A committed transaction keeps its changes and its log goes.
  table->StartTransaction();
  MixedChanges(*table);
  const TState changed = StateOf(*table);
  table->CommitModifications();
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
  table->Close();
  table = Open();
  EXPECT_EQ(StateOf(*table), changed);
}

TEST_F(TransactionTest, ABPlusTreeTableFileRollsBackByRecordIds) {
  FBPlus = true;
  auto table = Create();
  ASSERT_TRUE(table->StableRecordNumbers());
  for (const TRow& row : kRows) Append(*table, row);
  const TState before = StateOf(*table);
  const auto ids = [&] {
    std::vector<std::int32_t> numbers;
    for (std::int32_t r = table->GetFirstRecordNo(); r > 0; r = table->GetNextRecordNo(r)) numbers.push_back(r);
    return numbers;
  };
  table->StartTransaction();
  MixedChanges(*table);
  EXPECT_EQ(ids(), (std::vector<std::int32_t>{2, 3, 5})) << "deletions move no record";
  table->UndoModifications();
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_EQ(ids(), (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_TRUE(Check(*table).empty());
  // A dead program's transaction is rolled back at the next open.
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

TEST_F(TransactionTest, ChangesThatNeverLeftTheCacheRollBackToTheSameBytes) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  table->Flush();
  const std::string data = Raw("Vnd03.dat"), memo = Raw("Vnd03.mmo"), kod = Raw("Vnd03!KOD.ind");
  table->StartTransaction();
  {
    TTdbTableLock write(*table, tltWrite);
    MixedChanges(*table);
    table->UndoModifications();
  }
  table->Close();
  EXPECT_TRUE(Raw("Vnd03.dat") == data);
  EXPECT_TRUE(Raw("Vnd03.mmo") == memo);
  EXPECT_TRUE(Raw("Vnd03!KOD.ind") == kod);
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
}

TEST_F(TransactionTest, TransactionOfADeadProgramIsRolledBackAtOpen) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  const TState before = StateOf(*table);
  table->StartTransaction();
  MixedChanges(*table);
  // The program dies: its log and its flushed pages stay behind.
  FFs.Crash();
  table.reset();
  EXPECT_TRUE(FFs.FileExists("Vnd03.tra"));
  table = Open();
  EXPECT_EQ(StateOf(*table), before);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
}

TEST_F(TransactionTest, ACommittedTransactionsLogThatACrashBringsBackUndoesNothing) {
  // The log's deletion is not committed to disk: an operating system crash
  // may bring the file back. A second name for the log, given back after
  // the commit, is that file as the crash would leave it.
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  table->Close();
  table = Open(kNewTableRights | kRightSecureFlush);
  table->StartTransaction();
  MixedChanges(*table);
  const TState committed = StateOf(*table);
  const std::string log = FDir.File("Vnd03.tra"), kept = FDir.File("kept.tra");
  ASSERT_EQ(::link(log.c_str(), kept.c_str()), 0);
  table->CommitModifications();
  table.reset();
  ASSERT_FALSE(FFs.FileExists("Vnd03.tra"));
  ASSERT_EQ(::rename(kept.c_str(), log.c_str()), 0);
  table = Open();
  EXPECT_EQ(StateOf(*table), committed);
  EXPECT_TRUE(Check(*table).empty());
  EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
}

TEST_F(TransactionTest, ACommitAlsoCommitsWhatOrdinaryFlushesWroteBeforeIt) {
  // Ordinary flushes commit nothing; the one that starts writing the files
  // back (every kFlushesPerDirUpdate-th) must leave them uncommitted too. The
  // memo file is written only by the first half, so nothing but the commit
  // of the transaction can bring its blocks to disk before the crash.
  auto table = Create();
  for (int i = 0; i < kFlushesPerDirUpdate + 10; ++i)
    Append(*table, {std::to_string(100000 + i), "Sor", i < kFlushesPerDirUpdate / 2 ? "leírás " + std::to_string(i) : ""});
  table->StartTransaction();
  Append(*table, {"999999", "Utolsó", ""});
  table->CommitModifications();
  const TState committed = StateOf(*table);
  FFs.Crash();
  table.reset();
  table = Open();
  EXPECT_EQ(StateOf(*table), committed);
  EXPECT_TRUE(Check(*table).empty());
}

TEST_F(TransactionTest, AReaderRollsBackADeadProgramsTransactionWhenItMayWrite) {
  struct Case {
    const char* what;
    bool mayWrite;
  } cases[] = {{"files writable", true}, {"files read-only", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAllFiles();
    auto table = Create();
    for (const TRow& row : kRows) Append(*table, row);
    const TState before = StateOf(*table);
    table->StartTransaction();
    MixedChanges(*table);
    FFs.Crash();
    table.reset();
    const std::string log = Raw("Vnd03.tra"), data = Raw("Vnd03.dat");
    FFs.DenyWrites(!c.mayWrite);
    auto reader = NewTable();
    reader->SetRights(0);
    reader->SetFileName("Vnd03.dat");
    std::string message;
    try {
      reader->Open();
      reader->Setup();
    } catch (const ETdbEngine& e) {
      message = e.Message();
    }
    FFs.DenyWrites(false);
    if (c.mayWrite) {
      EXPECT_EQ(message, "");
      EXPECT_TRUE(reader->ReadOnly());
      EXPECT_EQ(StateOf(*reader), before);
      EXPECT_TRUE(Check(*reader).empty());
      EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
      EXPECT_EQ(ErrorOf([&] { reader->DeleteRecord(1); }), tdbErrNoWritePermission);
    } else {
      EXPECT_FALSE(reader->Active());
      EXPECT_NE(message.find("Open the table once with write access"), std::string::npos) << message;
      EXPECT_TRUE(Raw("Vnd03.tra") == log);
      EXPECT_TRUE(Raw("Vnd03.dat") == data);
      // A writer then recovers it.
      reader = Open();
      EXPECT_EQ(StateOf(*reader), before);
    }
  }
}

// Builds a redo log by hand: entries of (kind, number, payload).
std::string LogBytes(const std::vector<std::tuple<std::uint8_t, std::int32_t, std::string>>& entries) {
  std::string log = std::string("\xB0\xC0\xD0\xE0", 4) + std::string(4, '\0');
  auto int32 = [](std::int32_t value) {
    std::string bytes(4, '\0');
    for (int b = 0; b < 4; ++b)
      bytes[static_cast<std::size_t>(b)] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * b));
    return bytes;
  };
  for (const auto& [kind, number, payload] : entries)
    log += std::string(1, static_cast<char>(kind)) + int32(number) + payload +
           int32(static_cast<std::int32_t>(5 + payload.size()));
  return log;
}

TEST_F(TransactionTest, UndoingAnInsertWhoseItemOrMemoNeverReachedTheFilesSucceeds) {
  const TRow added{"50", "Ötven", std::string(400, 'o')};
  struct Case {
    const char* what;
    bool itemAbsent, memoAbsent;
  } cases[] = {
      {"index item absent", true, false},
      {"memo chain absent", false, true},
      {"both absent", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAllFiles();
    auto table = Create();
    for (const TRow& row : kRows) Append(*table, row);
    const TState before = StateOf(*table);
    const std::int32_t recNo = Append(*table, added);
    std::vector<std::uint8_t> image(static_cast<std::size_t>(table->RecordSize()));
    table->ReadRecord(recNo, image);
    if (c.itemAbsent) {
      const int no = table->GetIndexNo(u"INDMN");
      std::vector<std::uint8_t> item;
      table->CalcIndexInfo(no, image, recNo, item);
      ASSERT_TRUE(table->GetIndexFile(no).Loesche_Index(item.data()));
    }
    std::vector<std::uint8_t> patched = image;
    table->SetBlockIdx(patched, kLeiras, 0x0FFFFFF0);  // beyond the memo file
    table->Close();
    if (c.memoAbsent) {
      std::string data = Raw("Vnd03.dat");
      const std::size_t at = data.rfind(std::string(image.begin(), image.end()));
      ASSERT_NE(at, std::string::npos);
      data.replace(at, patched.size(), std::string(patched.begin(), patched.end()));
      WriteWholeFile(FDir.File("Vnd03.dat"), data);
    }
    WriteWholeFile(FDir.File("Vnd03.tra"), LogBytes({{takInsert, recNo, ""}}));
    table = Open();
    EXPECT_EQ(StateOf(*table), before);
    EXPECT_TRUE(Check(*table).empty());
    EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
  }
}

TEST_F(TransactionTest, ADamagedRedoLogIsKeptAndReported) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  const int recordSize = table->RecordSize();
  table->Close();
  const std::string data = Raw("Vnd03.dat");
  const std::string image(static_cast<std::size_t>(recordSize), '\0');
  struct Case {
    const char* what;
    std::string log;
  } cases[] = {
      {"unknown kind", LogBytes({{takInsert, 4, ""}, {7, 1, ""}})},
      {"insert with a payload", LogBytes({{takInsert, 4, "xy"}})},
      {"update image of the wrong size", LogBytes({{takUpdate, 1, image + "z"}})},
      {"record number 0", LogBytes({{takDelete, 0, image}})},
      {"moved delete without the moved record", LogBytes({{takDeleteMoved, 1, image}})},
      {"moved delete of a record beyond the count before it",
       LogBytes({{takDeleteMoved, 3, image + image + std::string("\x02\0\0\0", 4)}})},
      {"value for a string column", LogBytes({{takUpdate, 1, image}, {takBlob, 1, "x"}})},
      {"value of column 9", LogBytes({{takUpdate, 1, image}, {takBlob, 9, "x"}})},
      {"wide value for a memo column", LogBytes({{takUpdate, 1, image}, {takWideMemo, 3, "xy"}})},
      {"values after an insert", LogBytes({{takInsert, 5, ""}, {takBlob, 3, "x"}})},
      {"entry cut off", LogBytes({{takInsert, 4, ""}}).substr(0, 14)},
      {"length beyond the start", LogBytes({{takInsert, 4, ""}}) + std::string("\x40\0\0\0", 4)},
      {"no stop word", std::string("\xB0\xC0\xD0\xE0\x01\0\0\0", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(FDir.File("Vnd03.tra"), c.log);
    auto reopened = NewTable();
    reopened->SetRights(kNewTableRights);
    reopened->SetFileName("Vnd03.dat");
    EXPECT_EQ(ErrorOf([&] { reopened->Open(); }), tdbErrPlain);
    EXPECT_FALSE(reopened->Active());
    EXPECT_TRUE(Raw("Vnd03.tra") == c.log);
    EXPECT_TRUE(Raw("Vnd03.dat") == data);
  }
  // A file without the magic is no log of ours and is left alone.
  WriteWholeFile(FDir.File("Vnd03.tra"), "not a log");
  table = Open();
  EXPECT_EQ(table->RecordCount(), static_cast<std::int32_t>(kRows.size()));
  EXPECT_EQ(Raw("Vnd03.tra"), "not a log");
}

TEST_F(TransactionTest, ReplayGoesOnAfterARollbackInterruptedAtAnyWrite) {
  for (int n = 1; n < kMaxWrites; ++n) {
    SCOPED_TRACE(n);
    RemoveAllFiles();
    auto table = Create();
    for (const TRow& row : kRows) Append(*table, row);
    const TState before = StateOf(*table);
    table->StartTransaction();
    MixedChanges(*table);
    // The rollback fails at write n and the machine goes down.
    const int faults = FFs.GetFaultCount();
    FFs.FailNthWrite(n, true);
    const int error = ErrorOf([&] { table->UndoModifications(); });
    const bool faulted = FFs.GetFaultCount() > faults;
    FFs.Crash();
    table.reset();
    FFs.Disarm();
    table = Open();
    EXPECT_EQ(StateOf(*table), before);
    EXPECT_TRUE(Check(*table).empty());
    EXPECT_FALSE(FFs.FileExists("Vnd03.tra"));
    table.reset();
    if (!faulted) {
      EXPECT_EQ(error, 0);
      EXPECT_GT(n, 10);  // the rollback was interrupted at many places
      return;
    }
  }
  FAIL() << "the rollback never finished";
}

}  // namespace
}  // namespace kestrel::test
