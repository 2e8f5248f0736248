// ClearDat: every record, memo value, index item and relation pair gone,
// the files as small as a new table's, accessors told; refusals that change
// nothing; and a program killed at any write, rename or deletion of the
// emptying leaves the old table or the empty one, which the next open
// finishes; the directory syncs that order the renames and the journal.
#include <filesystem>
#include <functional>
#include <map>

#include "engine/fs/clock.h"
#include "engine/fs/os_file_system.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

const std::vector<TRow> kRows = {
    {"10", "Tíz", "a tíz leírása"},
    {"20", "Húsz", std::string(3000, 'h')},
    {"30", "Harminc", ""},
};

class ClearFixture : public TableFixture {
 protected:
  // Names and sizes of every file in the directory.
  std::map<std::string, std::uintmax_t> Files() {
    std::map<std::string, std::uintmax_t> files;
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path()))
      files[entry.path().filename().string()] = entry.file_size();
    return files;
  }
  // Whether no emptied file or emptying journal lies in the directory.
  bool NoneLeftBeside() {
    for (const auto& [name, size] : Files())
      if (name.ends_with(".empty") || name.ends_with(".tdbe")) return false;
    return true;
  }
};

class TableClear : public ClearFixture, public ::testing::WithParamInterface<TFileKind> {
 protected:
  // The classification table with kRows, closed.
  void MakeTable() {
    RemoveAllFiles();
    FBPlus = GetParam().BPlus;
    auto table = Create(GetParam().Level);
    for (const TRow& row : kRows) Append(*table, row);
    table->Close();
  }
};

using TableClearRelations = ClearFixture;

TEST_P(TableClear, EmptiesEveryFileAndTellsTheAccessors) {
  // The files of a table that never had a record, for comparison.
  RemoveAllFiles();
  FBPlus = GetParam().BPlus;
  Create(GetParam().Level)->Close();
  const auto fresh = Files();

  MakeTable();
  auto table = Open();
  TRecordingListener listener;
  table->Listeners().AddAccessor(&listener);
  EXPECT_EQ(table->ClearDat(), static_cast<std::int32_t>(kRows.size()));
  EXPECT_EQ(listener.Events, std::vector<std::string>{"emptied"});
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_TRUE(Rows(*table).empty());
  EXPECT_TRUE(IndexOrder(*table, 0).empty());
  EXPECT_TRUE(IndexOrder(*table, 1).empty());
  EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
  table->Listeners().RemoveAccessor(&listener);
  table->Close();
  EXPECT_EQ(Files(), fresh);

  // The emptied table takes new records, keeps them, and the unique index
  // no longer knows the old keys.
  table = Open();
  Append(*table, kRows[1]);
  table->Close();
  table = Open();
  EXPECT_EQ(Rows(*table), std::vector<TRow>{kRows[1]});
  EXPECT_EQ(IndexOrder(*table, 0).size(), 1u);
  EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
}

TEST_P(TableClear, RefusalsChangeNothing) {
  struct TCase {
    const char* what;
    TTdbRights rights;
    std::function<void(TTdbBaseTable&)> before;
    int error;
  };
  auto lockFiles = std::make_shared<TdwOSFileSystem>(FDir.Path());
  std::unique_ptr<TTdbBaseTable> other;
  const TCase cases[] = {
      {"read-only", 0, {}, tdbErrNoWritePermission},
      {"without the delete right", tarAppend | tarEdit, {}, tdbErrNoWritePermission},
      {"in a transaction", kNewTableRights, [](TTdbBaseTable& t) { t.StartTransaction(); }, tdbErrTransactionRunning},
      {"another table object has it open", kAccessRightsMask,
       [&](TTdbBaseTable& t) {
         t.Close();
         t.SetSharing(lockFiles, DefaultClock(), 1, u"one");
         t.Open();
         t.Setup();
         other = NewTable();
         other->SetRights(kAccessRightsMask);
         other->SetFileName("Vnd03.dat");
         other->SetSharing(lockFiles, DefaultClock(), 2, u"two");
         other->Open();
         other->Setup();
       },
       tdbErrTableInUse},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    MakeTable();
    const auto files = Files();
    {
      auto table = Open(c.rights);
      if (c.before) c.before(*table);
      EXPECT_EQ(ErrorOf([&] { table->ClearDat(); }), c.error);
      EXPECT_EQ(Rows(*table), kRows);
      if (other) {
        EXPECT_EQ(Rows(*other), kRows);
        other->Close();
        other.reset();
      }
    }
    // Lock files come and go with their users; the table's own files stay
    // as they were, and nothing is left beside them.
    const auto now = Files();
    for (const auto& [name, size] : files) {
      EXPECT_EQ(now.count(name) ? now.at(name) : 0, size) << name;
    }
    EXPECT_TRUE(NoneLeftBeside());
    auto table = Open();
    EXPECT_EQ(Rows(*table), kRows);
    EXPECT_TRUE(Check(*table).empty());
  }
}

// Killed before any one of its writes, renames or deletions, the emptying
// leaves the old table or the empty one, and an emptying that reported
// success is never undone.
TEST_P(TableClear, KilledAtAnyStepTheTableIsOldOrEmpty) {
  FFs.CountNameChangesAsWrites(true);
  bool finished = false;
  bool sawOld = false, sawEmpty = false;
  for (int n = 1; n < 200 && !finished; ++n) {
    SCOPED_TRACE(n);
    MakeTable();
    const auto files = Files();
    auto table = Open();
    const int faults = FFs.GetFaultCount();
    FFs.DieAtNthWrite(n);
    const int error = ErrorOf([&] { table->ClearDat(); });
    finished = FFs.GetFaultCount() == faults;
    table.reset();
    FFs.Disarm();
    table = Open();
    const std::vector<TRow> rows = Rows(*table);
    EXPECT_TRUE(rows.empty() || rows == kRows) << ::testing::PrintToString(rows);
    if (error == 0) {
      EXPECT_TRUE(rows.empty());
    }
    (rows.empty() ? sawEmpty : sawOld) = true;
    EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
    EXPECT_EQ(IndexOrder(*table, 0).size(), rows.size());
    table.reset();
    EXPECT_TRUE(NoneLeftBeside());
    if (!rows.empty()) {
      EXPECT_EQ(Files(), files);
    }
  }
  EXPECT_TRUE(finished);
  EXPECT_TRUE(sawOld);
  EXPECT_TRUE(sawEmpty);
}

// Renames and the journal's names are committed by directory syncs: one
// after the empty files are on disk and before the journal is marked
// decided, one after the renames and before the journal is deleted. A
// directory sync that fails before the decision leaves the old table; one
// that fails after the renames leaves a decided journal that the next open
// finishes.
TEST_P(TableClear, DirectorySyncsCommitTheNamesBeforeTheJournalMovesOn) {
  MakeTable();
  {
    auto table = Open();
    const std::string journal = table->Name() + ".tdbe";
    FFs.StartNameLog();
    table->ClearDat();
    const std::vector<std::string> log = FFs.NameLog();
    SCOPED_TRACE(::testing::PrintToString(log));
    const auto find = [&](const std::function<bool(const std::string&)>& match, std::size_t from, std::size_t to,
                          bool last) {
      std::ptrdiff_t found = -1;
      for (std::size_t i = from; i < to && i < log.size(); ++i)
        if (match(log[i]) && (last || found < 0)) found = static_cast<std::ptrdiff_t>(i);
      return found;
    };
    const auto is = [](const std::string& entry) { return [entry](const std::string& e) { return e == entry; }; };
    const auto isReplace = [](const std::string& e) { return e.starts_with("replace "); };
    const auto isEmptySync = [](const std::string& e) { return e.starts_with("sync ") && e.ends_with(".empty"); };
    const std::ptrdiff_t firstReplace = find(isReplace, 0, log.size(), false);
    const std::ptrdiff_t lastReplace = find(isReplace, 0, log.size(), true);
    ASSERT_GE(firstReplace, 0);
    const std::ptrdiff_t decided = find(is("sync " + journal), 0, static_cast<std::size_t>(firstReplace), true);
    const std::ptrdiff_t lastEmptySync = find(isEmptySync, 0, static_cast<std::size_t>(decided), true);
    const std::ptrdiff_t deleted = find(is("delete " + journal), 0, log.size(), false);
    ASSERT_GE(lastEmptySync, 0);
    ASSERT_GT(deleted, lastReplace);
    EXPECT_GE(find(is("syncdir"), static_cast<std::size_t>(lastEmptySync), static_cast<std::size_t>(decided), false), 0)
        << "no directory sync between the empty files and the decision";
    EXPECT_GE(find(is("syncdir"), static_cast<std::size_t>(lastReplace), static_cast<std::size_t>(deleted), false), 0)
        << "no directory sync between the renames and the journal's deletion";
  }
  struct Case {
    const char* What;
    int FailingSync;
    bool Emptied;
  };
  for (const Case& c : {Case{"before the decision", 1, false}, Case{"after the renames", 2, true}}) {
    SCOPED_TRACE(c.What);
    MakeTable();
    auto table = Open();
    FFs.FailNthDirectorySync(c.FailingSync);
    EXPECT_NE(ErrorOf([&] { table->ClearDat(); }), 0);
    table.reset();
    FFs.Disarm();
    table = Open();
    EXPECT_EQ(Rows(*table), c.Emptied ? std::vector<TRow>{} : kRows);
    EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
    table.reset();
    EXPECT_TRUE(NoneLeftBeside());
  }
}

// The pairs of a Relation column go with the records: its relation table is
// emptied too, and new records start without pairs.
TEST_F(TableClearRelations, EmptiesTheRelationTables) {
  struct TLevelCase {
    int Level;
    const char* TableFile;
    const char* RelationFile;
  };
  for (const TLevelCase& c : {TLevelCase{5, "T.dat", "R.rel"}, TLevelCase{6, "T.tdbt", "T!rel_R.tdbt"}}) {
    SCOPED_TRACE(c.Level);
    RemoveAllFiles();
    constexpr int kRelationField = 3;
    auto table = MakeRelationOwner(c.Level, c.TableFile, 2);
    table->AddRelatedRecord(kRelationField, 1, 7);
    table->AddRelatedRecord(kRelationField, 2, 8);
    EXPECT_EQ(table->ClearDat(), 2);
    EXPECT_TRUE(table->RelatedRecordIds(kRelationField, 1).empty());
    EXPECT_TRUE(table->RelatedRecordIds(kRelationField, 2).empty());
    table->Close();
    auto pairs = NewTable();
    pairs->SetFileName(c.RelationFile);
    pairs->Open();
    pairs->Setup();
    EXPECT_EQ(pairs->RecordCount(), 0);
    EXPECT_TRUE(Check(*pairs).empty());
    EXPECT_TRUE(NoneLeftBeside());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, TableClear,
                         ::testing::Values(TFileKind{3, false}, TFileKind{5, false}, TFileKind{6, false},
                                           TFileKind{6, true}),
                         FileKindName);

}  // namespace
}  // namespace kestrel::test
