// TdwOSFileSystem: positioned 64-bit access, sharing modes, byte-range locks
// within one process, directory operations, and the descriptor flags.
#include "engine/fs/os_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "temp_dir.h"

namespace kestrel {
namespace {

using test::TTempDir;

class OSFileSystemTest : public ::testing::Test {
 protected:
  TTempDir FDir;
  TdwOSFileSystem FFs{FDir.Path()};
};

TEST_F(OSFileSystemTest, ReadsAndWritesAtPositionsBeyondFourGigabytes) {
  const TdwFileHandle h = FFs.CreateFile("big.dat");
  ASSERT_TRUE(IsValidHandle(h));
  const std::int64_t far = (std::int64_t{5} << 30) + 3;
  ASSERT_EQ(FFs.FileWrite(h, far, "abcd", 4), 4);
  EXPECT_EQ(FFs.GetFileSize(h), far + 4);
  char back[8] = {};
  EXPECT_EQ(FFs.FileRead(h, far, back, 8), 4);  // short at the end of file
  EXPECT_EQ(std::string(back, 4), "abcd");
  EXPECT_EQ(FFs.FileRead(h, far + 100, back, 8), 0);
  EXPECT_FALSE(FFs.EndOfFile(h, far + 3));
  EXPECT_TRUE(FFs.EndOfFile(h, far + 4));
  ASSERT_TRUE(FFs.SetFileSize(h, 10));
  EXPECT_EQ(FFs.GetFileSize(h), 10);
  FFs.CloseFile(h);
}

TEST_F(OSFileSystemTest, DescriptorsAreClosedOnExec) {
  const TdwFileHandle created = FFs.CreateFile("a.dat");
  const TdwFileHandle opened = FFs.OpenFile("a.dat", kFmOpenRead | kFmShareDenyNone);
  for (TdwFileHandle h : {created, opened}) {
    ASSERT_TRUE(IsValidHandle(h));
    EXPECT_TRUE(::fcntl(static_cast<int>(h), F_GETFD) & FD_CLOEXEC);
    FFs.CloseFile(h);
  }
}

TEST_F(OSFileSystemTest, OpenFailuresSetTheSystemError) {
  EXPECT_FALSE(IsValidHandle(FFs.OpenFile("missing.dat", kFmOpenRead)));
  EXPECT_EQ(FFs.GetLastError(), ENOENT);
  ASSERT_TRUE(FFs.CreateDir("sub"));
  EXPECT_FALSE(IsValidHandle(FFs.OpenFile("sub", kFmOpenRead)));
  EXPECT_EQ(FFs.GetLastError(), EISDIR);
  EXPECT_FALSE(TdwFileSystem::GetErrorMessage(ENOENT).empty());
  // A FIFO is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo(FDir.File("pipe.dat").c_str(), 0600), 0);
  for (int mode : {kFmOpenRead, kFmOpenReadWrite}) {
    EXPECT_FALSE(IsValidHandle(FFs.OpenFile("pipe.dat", mode | kFmShareDenyNone)));
    EXPECT_EQ(FFs.GetLastError(), EINVAL);
  }
}

TEST_F(OSFileSystemTest, SharingModesHoldBetweenTwoOpensOfOneProcess) {
  FFs.CloseFile(FFs.CreateFile("t.dat"));
  struct Case {
    int first;
    int second;
    bool secondOpens;
  } cases[] = {
      {kFmOpenRead | kFmShareDenyNone, kFmOpenReadWrite | kFmShareDenyNone, true},
      {kFmOpenReadWrite | kFmShareExclusive, kFmOpenRead | kFmShareDenyNone, false},
      {kFmOpenRead | kFmShareDenyNone, kFmOpenReadWrite | kFmShareExclusive, false},
      {kFmOpenRead | kFmShareExclusive, kFmOpenRead | kFmShareExclusive, false},
  };
  for (const Case& c : cases) {
    const TdwFileHandle first = FFs.OpenFile("t.dat", c.first);
    ASSERT_TRUE(IsValidHandle(first));
    const TdwFileHandle second = FFs.OpenFile("t.dat", c.second);
    EXPECT_EQ(IsValidHandle(second), c.secondOpens) << std::hex << c.first << " " << c.second;
    if (!c.secondOpens) {
      EXPECT_EQ(FFs.GetLastError(), EWOULDBLOCK);
    }
    FFs.CloseFile(second);
    FFs.CloseFile(first);
    // Closing releases the sharing lock.
    const TdwFileHandle again = FFs.OpenFile("t.dat", kFmOpenRead | kFmShareExclusive);
    EXPECT_TRUE(IsValidHandle(again));
    FFs.CloseFile(again);
  }
}

TEST_F(OSFileSystemTest, CreatingAFileInUseIsRefused) {
  FFs.CloseFile(FFs.CreateFile("t.dat"));
  const TdwFileHandle user = FFs.OpenFile("t.dat", kFmOpenReadWrite | kFmShareDenyNone);
  ASSERT_EQ(FFs.FileWrite(user, 0, "keep", 4), 4);
  EXPECT_FALSE(IsValidHandle(FFs.CreateFile("t.dat")));
  EXPECT_EQ(FFs.GetFileSize(user), 4);  // not truncated
  FFs.CloseFile(user);
}

TEST_F(OSFileSystemTest, PhysicallyExclusiveMakesEveryOpenExclusive) {
  FFs.CloseFile(FFs.CreateFile("t.dat"));
  FFs.FPhysicallyExclusive = true;
  const TdwFileHandle first = FFs.OpenFile("t.dat", kFmOpenRead | kFmShareDenyNone);
  ASSERT_TRUE(IsValidHandle(first));
  FFs.FPhysicallyExclusive = false;
  EXPECT_FALSE(IsValidHandle(FFs.OpenFile("t.dat", kFmOpenRead | kFmShareDenyNone)));
  FFs.CloseFile(first);
}

TEST_F(OSFileSystemTest, ByteRangeLocksBelongToOneHandle) {
  FFs.CloseFile(FFs.CreateFile("lock.dat"));
  const TdwFileHandle a = FFs.OpenFile("lock.dat", kFmOpenReadWrite | kFmShareDenyNone);
  const TdwFileHandle b = FFs.OpenFile("lock.dat", kFmOpenReadWrite | kFmShareDenyNone);
  ASSERT_GT(FFs.LockFile(a, 0, 4, false), 0);  // read lock requests lock exclusively too
  EXPECT_EQ(FFs.LockFile(b, 2, 3, false), 0);
  EXPECT_GT(FFs.LockFile(b, 4, 8, true), 0);  // adjacent range is free
  EXPECT_EQ(FFs.IsRangeLocked(b, 0, 1), 1);
  EXPECT_EQ(FFs.IsRangeLocked(a, 0, 1), 0);   // its own lock does not count
  EXPECT_GT(FFs.LockFile(a, 0, 4, true), 0);  // locking again keeps it
  FFs.UnlockFile(a, 0, 4, true);
  EXPECT_GT(FFs.LockFile(b, 0, 4, true), 0);
  FFs.CloseFile(b);  // closing releases every lock of the handle
  EXPECT_GT(FFs.LockFile(a, 0, 8, true), 0);
  EXPECT_LT(FFs.LockFile(a, 5, 5, true), 0);  // empty range
  FFs.CloseFile(a);
}

TEST_F(OSFileSystemTest, FileIdentityIsDeviceAndInode) {
  FFs.CloseFile(FFs.CreateFile("one.dat"));
  ASSERT_EQ(::link(FDir.File("one.dat").c_str(), FDir.File("two.dat").c_str()), 0);
  FFs.CloseFile(FFs.CreateFile("ONE.dat"));
  const auto one = FFs.GetFileInfo("one.dat");
  const auto two = FFs.GetFileInfo(FDir.File("two.dat"));  // absolute names too
  const auto upper = FFs.GetFileInfo("ONE.dat");
  ASSERT_TRUE(one && two && upper);
  EXPECT_EQ(one->FId, two->FId);
  EXPECT_FALSE(one->FId == upper->FId);
  EXPECT_FALSE(FFs.GetFileInfo("none.dat"));
}

TEST_F(OSFileSystemTest, DirectoryOperations) {
  for (const char* name : {"b.dat", "a.dat", "c.txt"}) FFs.CloseFile(FFs.CreateFile(name));
  TdwFindFileRec rec;
  std::string found;
  for (int rc = FFs.FindFirstFile("*.dat", 0, rec); rc == 0; rc = FFs.FindNextFile(rec))
    found += rec.FName + ";";
  FFs.FindFileClose(rec);
  EXPECT_EQ(found, "a.dat;b.dat;");
  EXPECT_NE(FFs.FindFirstFile("*.none", 0, rec), 0);

  EXPECT_FALSE(FFs.RenameFile("a.dat", "b.dat"));  // target exists
  EXPECT_TRUE(FFs.RenameFile("a.dat", "d.dat"));
  EXPECT_TRUE(FFs.FileExists("d.dat"));
  EXPECT_FALSE(FFs.FileExists("a.dat"));
  EXPECT_TRUE(FFs.DeleteFile("d.dat"));
  EXPECT_FALSE(FFs.DeleteFile("d.dat"));

  EXPECT_TRUE(FFs.ForcePath("x/y/z"));
  EXPECT_TRUE(FFs.DirectoryExists("x/y/z"));
  EXPECT_FALSE(FFs.FileExists("x/y"));
  EXPECT_TRUE(FFs.RemoveDir("x/y/z"));
  EXPECT_EQ(FFs.ExpandFileName("x/../q.dat"), FDir.Path() + "/q.dat");
}

TEST_F(OSFileSystemTest, CopyFileCopiesEveryByte) {
  const TdwFileHandle h = FFs.CreateFile("src.dat");
  std::string content(200000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  ASSERT_EQ(FFs.FileWrite(h, 0, content.data(), content.size()), std::int64_t(content.size()));
  FFs.CloseFile(h);
  ASSERT_TRUE(FFs.CopyFile("src.dat", "dst.dat"));
  EXPECT_EQ(test::ReadWholeFile(FDir.File("dst.dat")), content);
  EXPECT_FALSE(FFs.CopyFile("missing.dat", "x.dat"));
}

}  // namespace
}  // namespace kestrel
