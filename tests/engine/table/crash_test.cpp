// Crashes in the middle of a change, for every n until the change gets
// through: every write from the nth on fails and then the machine goes down
// (everything not synced is lost), or the program is killed before its nth
// write. Afterwards the table opens and checks
// clean, and its content is the one before or the one after the change:
// inside a transaction exactly the one its outcome says (a failed commit is
// rolled back at the next open), with secure flushing either. At level 5
// (B-tree indexes), level 6 (B+ tree indexes) and on a B+ tree table file
// (whose deletion moves no record).
#include "table_fixture.h"

namespace kestrel::test {
namespace {

constexpr int kMaxWrites = 400;

const std::vector<TRow> kRows = {
    {"10", "Tíz", "a tíz leírása"},
    {"20", "Húsz", std::string(600, 'h')},
    {"30", "Harminc", ""},
    {"40", "Negyven", "negyven\r\nsor"},
};

struct TCase {
  const char* what;
  std::function<void(TTdbBaseTable&)> change;
};

const TCase kChanges[] = {
    {"append",
     [](TTdbBaseTable& t) {
       TableFixture::Append(t, {"05", "Öt", std::string(300, 'o')});
     }},
    {"replace",
     [](TTdbBaseTable& t) {
       TableFixture::Replace(t, 2, {"21", "Huszonegy", "rövidebb"});
     }},
    {"delete (with a move in a heap file)", [](TTdbBaseTable& t) { t.DeleteRecord(1); }},
};

class CrashTest : public TableFixture, public ::testing::WithParamInterface<TFileKind> {
 public:
  std::vector<TRow> MakeTable(bool apply, const TCase& change) {
    RemoveAllFiles();
    FBPlus = GetParam().BPlus;
    auto table = Create(GetParam().Level);
    table->Close();
    table = Open(kNewTableRights | kRightSecureFlush);
    for (const TRow& row : kRows) Append(*table, row);
    if (apply) change.change(*table);
    std::vector<TRow> rows = Rows(*table);
    table->Close();
    return rows;
  }

  // How the change ends: a power loss while it is written (every write from
  // the nth on fails, then everything not synced is lost), or the program
  // killed before its nth write (what was written stays).
  enum TEnd { teePowerLoss, teeKilled };

  void Run(bool inTransaction, TTdbRights rights, TEnd end) {
    for (const TCase& change : kChanges) {
      SCOPED_TRACE(change.what);
      const std::vector<TRow> after = MakeTable(true, change);
      bool finished = false;
      for (int n = 1; n < kMaxWrites && !finished; ++n) {
        SCOPED_TRACE(n);
        const std::vector<TRow> before = MakeTable(false, change);
        auto table = Open(rights);
        const int faults = FFs.GetFaultCount();
        if (end == teePowerLoss)
          FFs.FailNthWrite(n, true);
        else
          FFs.DieAtNthWrite(n);
        int error = 0;
        if (inTransaction) table->StartTransaction();
        error = ErrorOf([&] { change.change(*table); });
        if (inTransaction && error == 0) error = ErrorOf([&] { table->CommitModifications(); });
        finished = FFs.GetFaultCount() == faults;
        if (end == teePowerLoss) FFs.Crash();
        table.reset();
        FFs.Disarm();
        table = Open();
        const std::vector<TRow> rows = Rows(*table);
        EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
        if (inTransaction) {
          EXPECT_EQ(rows, error == 0 ? after : before);
        } else {
          EXPECT_TRUE(rows == before || rows == after) << ::testing::PrintToString(rows) << " / " << ::testing::PrintToString(before);
          if (error == 0) {
            EXPECT_EQ(rows, after);
          }
        }
        if (finished) {
          EXPECT_EQ(rows, after);
        }
        table.reset();
      }
      EXPECT_TRUE(finished);
    }
  }
};

TEST_P(CrashTest, InATransactionTheChangeIsWholeOrAbsent) { Run(true, kNewTableRights, teePowerLoss); }

TEST_P(CrashTest, WithSecureFlushingTheTableStaysConsistent) {
  Run(false, kNewTableRights | kRightSecureFlush, teePowerLoss);
}

// A single change outside a transaction, its program killed before any one
// of its writes: with and without secure flushing.
TEST_P(CrashTest, KilledAtAnyWriteASingleChangeIsWholeOrAbsent) {
  for (const TTdbRights rights : {TTdbRights{kNewTableRights}, TTdbRights(kNewTableRights | kRightSecureFlush)}) {
    SCOPED_TRACE(rights);
    Run(false, rights, teeKilled);
  }
}

// A transaction whose program is killed before any one of its writes (of
// the change or of the commit) is rolled back whole at the next open.
TEST_P(CrashTest, KilledAtAnyWriteATransactionIsWholeOrAbsent) { Run(true, kNewTableRights, teeKilled); }

// An append that splits a leaf of a B+ tree table file (and so writes a new
// page, the parent and the header), killed before any one of its writes or
// cut off by a power loss at any write: afterwards the table checks clean
// and holds the records before or after the append.
using BPlusTableFileCrash = TableFixture;

TEST_F(BPlusTableFileCrash, ASplitIsWholeOrAbsent) {
  FBPlus = true;
  const auto row = [](int i) { return TRow{std::to_string(1000 + i), "Név " + std::to_string(i), ""}; };
  // The number of records after which the next append splits a leaf: the
  // first append that makes the table file grow by more than the units a
  // record needs.
  int split = 0;
  {
    auto table = Create(6, false);
    std::uintmax_t size = Raw("Vnd03.dat").size();
    for (int i = 0; split == 0 && i < 1000; ++i) {
      Append(*table, row(i));
      table->Flush();
      const std::uintmax_t now = Raw("Vnd03.dat").size();
      if (now > size && i > 0) split = i;
      size = now;
    }
  }
  ASSERT_GT(split, 0);
  const auto makeTable = [&](bool apply) {
    RemoveAllFiles();
    Create(6)->Close();
    auto table = Open(kNewTableRights | kRightSecureFlush);
    for (int i = 0; i < split; ++i) Append(*table, row(i));
    if (apply) Append(*table, row(split));
    std::vector<TRow> rows = Rows(*table);
    table->Close();
    return rows;
  };
  const std::vector<TRow> after = makeTable(true);
  for (const bool powerLoss : {false, true}) {
    SCOPED_TRACE(powerLoss ? "power loss" : "killed");
    bool finished = false;
    for (int n = 1; n < 100 && !finished; ++n) {
      SCOPED_TRACE(n);
      const std::vector<TRow> before = makeTable(false);
      auto table = Open(kNewTableRights | kRightSecureFlush);
      const int faults = FFs.GetFaultCount();
      if (powerLoss)
        FFs.FailNthWrite(n, true);
      else
        FFs.DieAtNthWrite(n);
      const int error = ErrorOf([&] { Append(*table, row(split)); });
      finished = FFs.GetFaultCount() == faults;
      if (powerLoss) FFs.Crash();
      table.reset();
      FFs.Disarm();
      table = Open();
      const std::vector<TRow> rows = Rows(*table);
      EXPECT_TRUE(Check(*table).empty()) << ::testing::PrintToString(Check(*table));
      EXPECT_TRUE(rows == before || rows == after) << rows.size();
      if (error == 0) {
        EXPECT_EQ(rows, after);
      }
      table.reset();
    }
    EXPECT_TRUE(finished);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CrashTest,
                         ::testing::Values(TFileKind{5, false}, TFileKind{6, false}, TFileKind{6, true}),
                         FileKindName);

}  // namespace
}  // namespace kestrel::test
