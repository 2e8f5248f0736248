// The lock file protocol between lock file objects of one process (each
// object has its own handle, so their byte-range locks conflict as those of
// two programs do): the file's bytes after log-ins, slot reuse, the last
// log-out, foreign and short files, table and record lock grants, dead
// sessions and the move log. The clock stands still, so waiting costs no
// time.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/engine_error.h"
#include "engine/fs/os_file_system.h"
#include "engine/locking/lock_file.h"
#include "fixed_clock.h"
#include "temp_dir.h"

namespace kestrel::test {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Bytes(const std::string& text) { return TBytes(text.begin(), text.end()); }

void PutLE(TBytes& bytes, std::size_t pos, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[pos + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The header as the format lays it out, field by field.
TBytes Header(std::int64_t changes, int read, int upgrade, int write, int items, int sessions) {
  TBytes bytes(30, 0);
  PutLE(bytes, 0, 0x834BCF55, 4);
  PutLE(bytes, 4, 7, 2);
  PutLE(bytes, 6, static_cast<std::uint64_t>(changes), 8);
  PutLE(bytes, 16, static_cast<std::uint64_t>(read), 2);
  PutLE(bytes, 18, static_cast<std::uint64_t>(upgrade), 2);
  PutLE(bytes, 20, static_cast<std::uint64_t>(write), 2);
  PutLE(bytes, 26, static_cast<std::uint64_t>(items), 2);
  PutLE(bytes, 28, static_cast<std::uint64_t>(sessions), 2);
  return bytes;
}

TBytes Slot(std::int64_t id, const std::string& name, int tableLock = 0, std::int32_t editRecNo = 0) {
  TBytes bytes(56, 0);
  PutLE(bytes, 0, static_cast<std::uint64_t>(id), 8);
  bytes[8] = static_cast<std::uint8_t>(name.size());
  std::copy(name.begin(), name.end(), bytes.begin() + 9);
  bytes[49] = static_cast<std::uint8_t>(tableLock);
  PutLE(bytes, 51, static_cast<std::uint32_t>(editRecNo), 4);
  bytes[55] = 255;
  return bytes;
}

TBytes Join(std::vector<TBytes> parts) {
  TBytes all;
  for (const TBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class LockFileTest : public ::testing::Test {
 protected:
  LockFileTest() : FClock(TdwLocalTime{}), FFileSystem(FDir.Path()) { FClock.FBits = {1, 2, 3, 4}; }

  std::unique_ptr<TTdbLockFile> LogIn(std::int64_t id, const std::u16string& name) {
    auto file = std::make_unique<TTdbLockFile>(FFileSystem, FClock);
    file->SetSession(id, name);
    file->LogIn(FTable);
    return file;
  }
  TBytes NetBytes() const { return Bytes(ReadWholeFile(FDir.File("T.net"))); }

  TTempDir FDir;
  TFixedClock FClock;
  TdwOSFileSystem FFileSystem;
  std::string FTable = FDir.File("T.dat");
};

TEST_F(LockFileTest, ByteImagesAfterFirstAndSecondLogInAndSlotReuse) {
  auto first = LogIn(0x0102030405, u"Első gép");
  EXPECT_EQ(NetBytes(), Join({Header(0, 0, 0, 0, 1, 1), Slot(0x0102030405, "Els\xF5 g\xE9p")}));
  EXPECT_EQ(ReadWholeFile(FDir.File("T.mov")), "");
  auto second = LogIn(77, u"a name much longer than the forty characters a slot holds");
  EXPECT_EQ(NetBytes(), Join({Header(0, 0, 0, 0, 2, 2), Slot(0x0102030405, "Els\xF5 g\xE9p"),
                              Slot(77, "a name much longer than the forty charac")}));
  // A freed slot is taken again before a new one is appended.
  first->LogOut();
  auto third = LogIn(5, u"x");
  EXPECT_EQ(NetBytes(), Join({Header(0, 0, 0, 0, 2, 2), Slot(5, "x"),
                              Slot(77, "a name much longer than the forty charac")}));
  third->LogOut();
  second->LogOut();
  EXPECT_FALSE(FFileSystem.FileExists(FDir.File("T.net")));
  EXPECT_FALSE(FFileSystem.FileExists(FDir.File("T.mov")));
}

TEST_F(LockFileTest, FileNamesFollowTheTableFile) {
  struct TCase {
    std::string Table, LockFile, MoveLog;
  };
  const std::vector<TCase> cases = {{"/d/A.tdbt", "/d/A.tdbl", "/d/A.tdbv"}, {"/d/A.TDBT", "/d/A.tdbl", "/d/A.tdbv"},
                                    {"/d/A.dat", "/d/A.net", "/d/A.mov"},    {"/d/A.rel", "/d/A.rnt", "/d/A.rmv"},
                                    {"/d/A.x.y", "/d/A.x.net", "/d/A.x.mov"}, {"/d.e/A", "/d.e/A.net", "/d.e/A.mov"}};
  for (const TCase& c : cases) {
    const TTdbLockFileNames names = LockFileNamesFor(c.Table);
    EXPECT_EQ(names.LockFile, c.LockFile) << c.Table;
    EXPECT_EQ(names.MoveLog, c.MoveLog) << c.Table;
  }
}

TEST_F(LockFileTest, ForeignShortAndUnnamedFilesAreRefused) {
  struct TCase {
    const char* What;
    std::string Content;
    int Error;
  };
  TBytes otherVersion = Header(0, 0, 0, 0, 0, 0);
  otherVersion[4] = 6;
  const std::vector<TCase> cases = {
      {"another version", std::string(otherVersion.begin(), otherVersion.end()), tdbErrLockFileInvalid},
      {"another tag", std::string(30, 'x'), tdbErrLockFileInvalid},
      {"shorter than the header", std::string(10, '\0'), tdbErrLockFileInvalid},
  };
  for (const TCase& c : cases) {
    WriteWholeFile(FDir.File("T.net"), c.Content);
    try {
      LogIn(1, u"a");
      ADD_FAILURE() << c.What;
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.Error) << c.What;
    }
    EXPECT_EQ(ReadWholeFile(FDir.File("T.net")), c.Content) << c.What << ": the file is left as it was";
  }
  TTdbLockFile noStation(FFileSystem, FClock);
  try {
    noStation.LogIn(FTable);
    ADD_FAILURE() << "a session without a station number logged in";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrInvalidConnection);
  }
}

TEST_F(LockFileTest, TableLockGrants) {
  auto a = LogIn(1, u"a");
  auto b = LogIn(2, u"b");
  auto c = LogIn(3, u"c");
  // Readers share; a writer waits for all of them.
  EXPECT_TRUE(a->LockTable(tltNone, tltRead, true));
  EXPECT_TRUE(b->LockTable(tltNone, tltRead, true));
  EXPECT_FALSE(c->LockTable(tltNone, tltWrite, false)) << "granted while two read";
  EXPECT_FALSE(a->LockTable(tltRead, tltWrite, true)) << "converted while another reads";
  // One reader may take the upgrade lock beside the other; a second may not.
  EXPECT_TRUE(a->LockTable(tltRead, tltUpgrade, true));
  EXPECT_FALSE(b->LockTable(tltRead, tltUpgrade, true));
  b->UnlockTable(tltRead, tltNone);
  const std::int64_t before = a->TableChangeCount();
  EXPECT_TRUE(a->LockTable(tltUpgrade, tltWrite, true));
  EXPECT_EQ(a->TableChangeCount(), before + 1) << "giving up the upgrade lock counts a change";
  EXPECT_FALSE(b->LockTable(tltNone, tltRead, true));
  a->UnlockTable(tltWrite, tltNone);
  EXPECT_TRUE(b->CheckUpdate()) << "b sees a's change";
  EXPECT_FALSE(a->CheckUpdate()) << "a does not take its own change for a foreign one";
  EXPECT_TRUE(b->LockTable(tltNone, tltRead, true));
  const TTdbLockUsage usage = c->GetLockInfo();
  EXPECT_EQ(usage.UserCount, 3);
  EXPECT_EQ(usage.ReadCount, 1);
  EXPECT_EQ(usage.WriteCount, 0);
  EXPECT_EQ(usage.Users[1].TableLock, tltRead);
}

TEST_F(LockFileTest, WaitingWriterKeepsNewReadersOut) {
  auto reader = LogIn(1, u"r");
  auto writer = LogIn(2, u"w");
  auto late = LogIn(3, u"l");
  ASSERT_TRUE(reader->LockTable(tltNone, tltRead, true));
  // The writer's waiting shows in the file while it waits; here it gives up.
  EXPECT_FALSE(writer->LockTable(tltNone, tltWrite, false));
  TTdbLockUsage usage = late->GetLockInfo();
  EXPECT_EQ(usage.WaitCount, 0) << "a waiter that gave up is no longer counted";
  // A waiter recorded in the file keeps new readers out, though only reads are held.
  std::string bytes = ReadWholeFile(FDir.File("T.net"));
  bytes[22] = 1;  // LockWaiters
  bytes[24] = 1;  // WriteWaiters
  WriteWholeFile(FDir.File("T.net"), bytes);
  EXPECT_FALSE(late->LockTable(tltNone, tltRead, true));
}

TEST_F(LockFileTest, DeadSessionsAreCleared) {
  auto live = LogIn(1, u"live");
  // A session that died holding the write lock: its slot is there, its life
  // byte is not locked by anybody.
  std::string bytes = ReadWholeFile(FDir.File("T.net"));
  const TBytes dead = Slot(9, "dead", tltWrite, 4);
  bytes.append(dead.begin(), dead.end());
  bytes[26] = 2;  // ItemCount
  bytes[28] = 2;  // SessionCount
  bytes[20] = 1;  // WriteLocks
  WriteWholeFile(FDir.File("T.net"), bytes);
  int hijacks = 0;
  live->SetOnHijack([&] { ++hijacks; });
  EXPECT_TRUE(live->LockRecord(4)) << "the dead session's edit lock is cleared with it";
  EXPECT_TRUE(live->LockTable(tltNone, tltWrite, false));
  EXPECT_EQ(hijacks, 1);
  EXPECT_GT(live->TableChangeCount(), 0) << "a dead writer's slot counts a change";
  const TTdbLockUsage usage = live->GetLockInfo();
  EXPECT_EQ(usage.UserCount, 1);
  EXPECT_FALSE(usage.Users[1].InUse);
  // A file cut inside its slots is cut back to the whole ones.
  live->UnlockTable(tltWrite, tltNone);
  auto other = LogIn(2, u"o");
  other->LogOut();
  std::string cut = ReadWholeFile(FDir.File("T.net"));
  cut.resize(30 + 56 + 20);
  WriteWholeFile(FDir.File("T.net"), cut);
  EXPECT_TRUE(live->LockExclusive());
  live->UnlockExclusive();
  EXPECT_EQ(ReadWholeFile(FDir.File("T.net")).size(), 30u + 56u);
}

TEST_F(LockFileTest, RecordLocksAndExclusiveUse) {
  auto a = LogIn(1, u"a");
  auto b = LogIn(2, u"b");
  EXPECT_TRUE(a->LockRecord(7));
  EXPECT_FALSE(b->LockRecord(7));
  EXPECT_TRUE(b->LockRecord(8));
  // A deletion moved record 8 into the hole 3: b's lock follows it.
  a->SwitchRecordLock(8, 3);
  EXPECT_FALSE(a->LockRecord(3)) << "the moved lock still guards the record";
  b->UnlockRecord();
  a->UnlockRecord();
  EXPECT_TRUE(b->LockRecord(7));
  b->UnlockRecord();
  // Exclusive use only for the one session that has the table open.
  EXPECT_FALSE(a->LockExclusive());
  b->LogOut();
  EXPECT_TRUE(a->LockExclusive());
  a->UnlockExclusive();
}

TEST_F(LockFileTest, MoveLogEntriesReachOthersOnly) {
  auto a = LogIn(1, u"a");
  auto b = LogIn(2, u"b");
  std::int32_t from = 0, to = 0;
  a->AddRecordMove(9, 4);
  a->AddRecordMove(6, 6);
  EXPECT_FALSE(a->ReadRecordMove(from, to)) << "a session does not replay its own moves";
  ASSERT_TRUE(b->ReadRecordMove(from, to));
  EXPECT_EQ(from, 9);
  EXPECT_EQ(to, 4);
  ASSERT_TRUE(b->ReadRecordMove(from, to));
  EXPECT_EQ(from, 6);
  EXPECT_EQ(to, 6);
  EXPECT_FALSE(b->ReadRecordMove(from, to));
  EXPECT_EQ(ReadWholeFile(FDir.File("T.mov")), std::string("\x04\0\0\0\x09\0\0\0\x06\0\0\0\x06\0\0\0", 16));
  // Half an entry (a program died in the middle of writing it) is not read.
  std::string log = ReadWholeFile(FDir.File("T.mov"));
  log.append("\x01\0\0", 3);
  WriteWholeFile(FDir.File("T.mov"), log);
  EXPECT_FALSE(b->ReadRecordMove(from, to));
  // A session that logs in later skips the moves made before.
  auto c = LogIn(3, u"c");
  EXPECT_FALSE(c->ReadRecordMove(from, to));
}

TEST_F(LockFileTest, ALogInWaitsWhileTheLastOneOutHoldsTheFileToDeleteIt) {
  // The last program out holds the lock file with an exclusive sharing lock
  // while it deletes it; an open meanwhile is refused (EAGAIN or EACCES).
  // That refusal is tried again, and the log-in succeeds once it ends.
  LogIn(1, u"first")->LogOut();
  struct TReleasingClock : TFixedClock {
    using TFixedClock::TFixedClock;
    void Sleep(std::uint32_t milliseconds) override {
      TFixedClock::Sleep(milliseconds);
      if (++Sleeps == 3 && Holder) Holder();
    }
    int Sleeps = 0;
    std::function<void()> Holder;
  } clock(TdwLocalTime{});
  const TBytes header = Header(0, 0, 0, 0, 0, 0);
  WriteWholeFile(FDir.File("T.net"), std::string(header.begin(), header.end()));
  const TdwFileHandle held = FFileSystem.OpenFile(FDir.File("T.net"), kFmOpenReadWrite | kFmShareExclusive);
  ASSERT_TRUE(IsValidHandle(held));
  clock.Holder = [&] { FFileSystem.CloseFile(held); };
  TTdbLockFile file(FFileSystem, clock);
  file.SetSession(2, u"second");
  EXPECT_NO_THROW(file.LogIn(FTable));
  EXPECT_GE(clock.Sleeps, 3);
}

}  // namespace
}  // namespace kestrel::test
