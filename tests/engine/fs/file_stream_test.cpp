// TdwFileSystemTdbStream: error codes, nested locks, encrypted copies, and a
// failed read that keeps the handle's locks.
#include "engine/fs/file_stream.h"

#include <gtest/gtest.h>

#include "engine/crypto/encryption.h"
#include "engine/fs/os_file_system.h"
#include "fault_file_system.h"
#include "temp_dir.h"
#include "test_encryption.h"

namespace kestrel {
namespace {

using test::TAddOneEncryption;
using test::TTempDir;

constexpr int kShared = kFmOpenReadWrite | kFmShareDenyNone;

TEST(FileStream, ReadWriteSizeCutErase) {
  TTempDir dir;
  TdwOSFileSystem fs(dir.Path());
  TAddOneEncryption encryption;
  TdwFileSystemTdbStream stream(fs, &encryption);
  EXPECT_EQ(stream.Reset("log.dat", kShared), -kStreamErrOpen);
  ASSERT_EQ(stream.Rewrite("log.dat", kShared), 0);
  const std::uint8_t plain[3] = {1, 2, 3};
  ASSERT_EQ(stream.WriteNBytes(0, 3, plain, true), 0);
  EXPECT_EQ(plain[0], 1);  // the caller's buffer stays plain
  ASSERT_EQ(stream.TestNBytes(3, 3, plain), 0);
  EXPECT_EQ(test::ReadWholeFile(dir.File("log.dat")), std::string("\x02\x03\x04\x01\x02\x03", 6));
  std::uint8_t back[3] = {};
  ASSERT_EQ(stream.ReadNBytes(0, 3, back, true), 0);
  EXPECT_EQ(back[2], 3);
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(stream.ReadNBytes(4, 3, back, false), -kStreamErrRead);  // only 2 bytes there
  EXPECT_EQ(stream.Error(), kStreamErrRead);
  EXPECT_EQ(stream.Cut(2), 0);
  EXPECT_EQ(stream.Error(), 0);
  EXPECT_EQ(stream.Size(), 2);
  EXPECT_EQ(stream.Erase(), 0);
  EXPECT_FALSE(fs.FileExists("log.dat"));
}

TEST(FileStream, NestedLocksAndAFailedReadKeepTheLock) {
  TTempDir dir;
  test::TFaultFileSystem fs(dir.Path());
  TdwFileSystemTdbStream a(fs), b(fs);
  ASSERT_EQ(a.Rewrite("lock.dat", kShared), 0);
  ASSERT_EQ(b.Reset("lock.dat", kShared), 0);
  ASSERT_EQ(a.Lock(), 0);
  ASSERT_EQ(a.Lock(), 0);
  EXPECT_EQ(b.Lock(), -kStreamErrLockedByOther);
  EXPECT_EQ(b.IsRangeLocked(0, 1), 1);
  EXPECT_EQ(a.IsRangeLocked(0, 1), 0);

  std::uint8_t byte = 0;
  fs.FailNthRead(1);
  EXPECT_EQ(a.ReadNBytes(0, 1, &byte, false), -kStreamErrRead);
  EXPECT_TRUE(a.IsOpen());
  EXPECT_EQ(b.Lock(), -kStreamErrLockedByOther);  // still held after the failure

  ASSERT_EQ(a.Unlock(), 0);
  EXPECT_EQ(b.Lock(), -kStreamErrLockedByOther);  // one level still held
  ASSERT_EQ(a.Unlock(), 0);
  EXPECT_EQ(a.Unlock(), -kStreamErrLock);  // not locked any more
  EXPECT_EQ(b.Lock(), 0);
  EXPECT_EQ(a.LockRange(0, 1), -kStreamErrLockedByOther);
  EXPECT_EQ(a.LockRange(100, 10), 0);
  EXPECT_EQ(b.LockRange(105, 1), -kStreamErrLockedByOther);
  ASSERT_EQ(a.UnlockRange(100, 10), 0);
  EXPECT_EQ(b.LockRange(105, 1), 0);
}

TEST(FileStream, ShortWriteIsAnError) {
  TTempDir dir;
  test::TFaultFileSystem fs(dir.Path());
  TdwFileSystemTdbStream stream(fs);
  ASSERT_EQ(stream.Rewrite("s.dat", kShared), 0);
  const char data[8] = "1234567";
  fs.ShortNthWrite(1);
  EXPECT_EQ(stream.WriteNBytes(0, 8, data, false), -kStreamErrWrite);
  fs.FailNthWrite(1);
  EXPECT_EQ(stream.WriteNBytes(0, 8, data, false), -kStreamErrWrite);
  EXPECT_EQ(stream.WriteNBytes(0, 8, data, false), 0);
}

}  // namespace
}  // namespace kestrel
