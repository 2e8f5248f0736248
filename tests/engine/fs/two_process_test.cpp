// Lock and sharing rules between two processes on the same file: the child
// (fork) tries what the parent holds, and tries again after the parent lets
// go. Each step is answered through a pipe.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "engine/fs/file_stream.h"
#include "engine/fs/os_file_system.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using test::TTempDir;

// Runs `probe` in a child process and answers its result (0..255).
int InChild(const std::function<int()>& probe) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(probe());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

class TwoProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { FFs.CloseFile(FFs.CreateFile("t.dat")); }
  // The child opens the file with `mode`: 1 opened, 0 refused.
  int ChildOpens(int mode) {
    return InChild([&] {
      TdwOSFileSystem fs(FDir.Path());
      const TdwFileHandle h = fs.OpenFile("t.dat", mode);
      return IsValidHandle(h) ? 1 : 0;
    });
  }
  // The child locks [start, end): 1 locked, 0 held by another, 2 error.
  int ChildLocks(std::int64_t start, std::int64_t end) {
    return InChild([&] {
      TdwOSFileSystem fs(FDir.Path());
      const TdwFileHandle h = fs.OpenFile("t.dat", kFmOpenReadWrite | kFmShareDenyNone);
      const int rc = fs.LockFile(h, start, end, true);
      return rc > 0 ? 1 : rc == 0 ? 0 : 2;
    });
  }

  TTempDir FDir;
  TdwOSFileSystem FFs{FDir.Path()};
};

TEST_F(TwoProcessTest, SharingModes) {
  struct Case {
    int parentMode;
    int childMode;
    int childOpens;
  } cases[] = {
      {kFmOpenReadWrite | kFmShareDenyNone, kFmOpenReadWrite | kFmShareDenyNone, 1},
      {kFmOpenReadWrite | kFmShareExclusive, kFmOpenRead | kFmShareDenyNone, 0},
      {kFmOpenRead | kFmShareDenyNone, kFmOpenReadWrite | kFmShareExclusive, 0},
  };
  for (const Case& c : cases) {
    const TdwFileHandle h = FFs.OpenFile("t.dat", c.parentMode);
    ASSERT_TRUE(IsValidHandle(h));
    EXPECT_EQ(ChildOpens(c.childMode), c.childOpens) << std::hex << c.parentMode;
    FFs.CloseFile(h);
    EXPECT_EQ(ChildOpens(c.childMode), 1);
  }
}

TEST_F(TwoProcessTest, ByteRangeLocks) {
  const TdwFileHandle h = FFs.OpenFile("t.dat", kFmOpenReadWrite | kFmShareDenyNone);
  ASSERT_GT(FFs.LockFile(h, 10, 20, false), 0);
  EXPECT_EQ(ChildLocks(15, 16), 0);
  EXPECT_EQ(ChildLocks(20, 30), 1);
  FFs.UnlockFile(h, 10, 20, false);
  EXPECT_EQ(ChildLocks(15, 16), 1);
  ASSERT_GT(FFs.LockFile(h, 0, 1, true), 0);
  FFs.CloseFile(h);  // the lock ends with the handle
  EXPECT_EQ(ChildLocks(0, 1), 1);
}

TEST_F(TwoProcessTest, LocksOfADeadProcessVanish) {
  // The child locks and dies holding the lock.
  EXPECT_EQ(ChildLocks(0, 4), 1);
  const TdwFileHandle h = FFs.OpenFile("t.dat", kFmOpenReadWrite | kFmShareDenyNone);
  EXPECT_GT(FFs.LockFile(h, 0, 4, true), 0);
  FFs.CloseFile(h);
}

TEST_F(TwoProcessTest, StreamLockSeesTheOtherProcess) {
  TdwFileSystemTdbStream stream(FFs);
  ASSERT_EQ(stream.Reset("t.dat", kFmOpenReadWrite | kFmShareDenyNone), 0);
  ASSERT_EQ(stream.Lock(), 0);
  const int childSees = InChild([&] {
    TdwOSFileSystem fs(FDir.Path());
    TdwFileSystemTdbStream other(fs);
    if (other.Reset("t.dat", kFmOpenReadWrite | kFmShareDenyNone) != 0) return 2;
    const int locked = other.IsRangeLocked(0, 1);
    const int lock = other.Lock();
    return locked == 1 && lock == -kStreamErrLockedByOther ? 1 : 0;
  });
  EXPECT_EQ(childSees, 1);
  ASSERT_EQ(stream.Unlock(), 0);
}

}  // namespace
}  // namespace kestrel
