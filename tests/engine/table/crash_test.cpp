// Crashes in the middle of a change: every write from the nth on fails and
// then the machine goes down (everything not synced is lost), for every n
// until the change gets through. Afterwards the table opens and checks
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

  void Run(bool inTransaction) {
    for (const TCase& change : kChanges) {
      SCOPED_TRACE(change.what);
      const std::vector<TRow> after = MakeTable(true, change);
      bool finished = false;
      for (int n = 1; n < kMaxWrites && !finished; ++n) {
        SCOPED_TRACE(n);
        const std::vector<TRow> before = MakeTable(false, change);
        auto table = Open(kNewTableRights | (inTransaction ? 0 : kRightSecureFlush));
        const int faults = FFs.GetFaultCount();
        FFs.FailNthWrite(n, true);
        int error = 0;
        if (inTransaction) table->StartTransaction();
        error = ErrorOf([&] { change.change(*table); });
        if (inTransaction && error == 0) error = ErrorOf([&] { table->CommitModifications(); });
        finished = FFs.GetFaultCount() == faults;
        FFs.Crash();
        table.reset();
        FFs.Disarm();
        table = Open();
        const std::vector<TRow> rows = Rows(*table);
        EXPECT_TRUE(Check(*table).empty());
        if (inTransaction) {
          EXPECT_EQ(rows, error == 0 ? after : before);
        } else {
          EXPECT_TRUE(rows == before || rows == after);
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

TEST_P(CrashTest, InATransactionTheChangeIsWholeOrAbsent) { Run(true); }

TEST_P(CrashTest, WithSecureFlushingTheTableStaysConsistent) { Run(false); }

INSTANTIATE_TEST_SUITE_P(Files, CrashTest,
                         ::testing::Values(TFileKind{5, false}, TFileKind{6, false}, TFileKind{6, true}),
                         FileKindName);

}  // namespace
}  // namespace kestrel::test
