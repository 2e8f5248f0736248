// The unlock thread giving back a table's write lock while the owning
// thread is inside an operation. A flush at that moment runs beside the
// operation on the same files and in-memory state (readers of a busy B+
// tree table file then found records missing or pages damaged now and
// then), so a lock whose changes are already flushed is lowered without a
// flush, and one whose flush is still due waits until the counters are
// back at nothing.
#include "engine/fs/clock.h"
#include "engine/fs/os_file_system.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

class IdleUnlock : public TableFixture, public ::testing::WithParamInterface<TFileKind> {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    FBPlus = GetParam().BPlus;
    auto made = Create(GetParam().Level);
    for (int i = 0; i < 20; ++i) Append(*made, {std::to_string(100 + i), "Név", "leírás"});
  }
  std::unique_ptr<TTdbBaseTable> Shared(std::int64_t session) { return OpenShared(FLockFiles, session); }
  // The unlock thread's visit, long after the last End call.
  static void IdleVisit(TTdbBaseTable& table) { table.CheckUnlock(DefaultClock().GetTickCount() + 1000); }
  // Whether `table` gets a read lock without waiting.
  static bool ReadsAtOnce(TTdbBaseTable& table) {
    if (ErrorOf([&] { table.BeginRead(false); }) != 0) return false;
    table.EndRead();
    return true;
  }

  std::shared_ptr<TdwOSFileSystem> FLockFiles = std::make_shared<TdwOSFileSystem>(FDir.Path());
};

TEST_P(IdleUnlock, AFlushedWriteLockIsLoweredBesideAReaderWithoutTouchingAFile) {
  auto writer = Shared(1);
  auto other = Shared(2);
  writer->DeleteRecord(writer->GetFirstRecordNo());
  writer->BeginRead();
  const int writes = FFs.GetWriteCount();
  IdleVisit(*writer);
  EXPECT_EQ(FFs.GetWriteCount(), writes);
  EXPECT_EQ(Rows(*writer).size(), 19u);
  writer->EndRead();
  EXPECT_TRUE(ReadsAtOnce(*other));
  EXPECT_EQ(Rows(*other).size(), 19u);
}

TEST_P(IdleUnlock, AWriteLockWhoseFlushFailedWaitsForTheOperationToEnd) {
  auto writer = Shared(1);
  auto other = Shared(2);
  writer->BeginUpgrade();
  writer->BeginWrite();
  writer->DeleteRecord(writer->GetFirstRecordNo());
  FFs.FailNthWrite(1, true);
  writer->EndWrite();  // its flush fails and is kept for later
  FFs.Disarm();
  const int writes = FFs.GetWriteCount();
  IdleVisit(*writer);
  EXPECT_EQ(FFs.GetWriteCount(), writes) << "flushed beside the operation";
  EXPECT_FALSE(ReadsAtOnce(*other)) << "the unflushed change was given away";
  writer->EndUpgrade();
  IdleVisit(*writer);
  EXPECT_GT(FFs.GetWriteCount(), writes);
  EXPECT_TRUE(ReadsAtOnce(*other));
  EXPECT_EQ(Rows(*other).size(), 19u);
}

INSTANTIATE_TEST_SUITE_P(Files, IdleUnlock, ::testing::Values(TFileKind{5, false}, TFileKind{6, true}),
                         FileKindName);

}  // namespace
}  // namespace kestrel::test
