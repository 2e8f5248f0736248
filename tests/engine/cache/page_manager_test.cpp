// Page manager cases: sizes and page counts, sharing a storage between
// sessions, exclusive opens, missing and refused files, page numbers,
// undo under a positioned site, the memory limit, and the repaired faults
// (closing and page size changes flush first, zero bytes for fresh and
// short tiles, buffers smaller than a page written, one buffer per tile).
#include "engine/cache/page_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "capture_log.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager_error.h"
#include "engine/cache/page_site.h"
#include "engine/crypto/cryptor.h"
#include "engine/fs/os_file_system.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using test::ReadWholeFile;
using test::WriteWholeFile;

class PageManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FPageManager.SetLog(&FLog);
    FPageManager.RegisterClient(1, 1024);
  }
  std::unique_ptr<TTdbClientStorage> Client(const std::string& name, int pageSize = 4096,
                                            int session = 1, const TdwCryptor* cryptor = nullptr) {
    auto client = std::make_unique<TTdbClientStorage>(FPageManager, FFs, session, cryptor);
    client->SetName(name);
    if (pageSize) client->SetPageSize(pageSize);
    return client;
  }
  std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ETdbEngine& e) {
      return e.Message();
    }
    return "";
  }

  test::TTempDir FDir;
  test::TFaultFileSystem FFs{FDir.Path()};
  test::TCaptureLog FLog;
  TTdbPageManager FPageManager;
};

TEST_F(PageManagerTest, SmallFileHasTwoPagesAndGrowsToWholeTilesOnFlush) {
  WriteWholeFile(FDir.File("t.dat"), std::string(5000, 'x'));
  auto client = Client("t.dat");
  client->Open(false, false);
  EXPECT_EQ(client->GetPageCount(), 2);
  auto site = client->ReadPage(1);
  EXPECT_EQ(site->ReadInt8(5000 - 4096 - 1), 'x');
  EXPECT_EQ(site->ReadInt8(5000 - 4096), 0);  // beyond the short read: zero
  site->WriteInt8(0, 'y');
  client->Flush();
  const std::string content = ReadWholeFile(FDir.File("t.dat"));
  ASSERT_EQ(content.size(), 8192u);
  EXPECT_EQ(content[4096], 'y');
  EXPECT_EQ(content[4999], 'x');
  EXPECT_EQ(content[5000], '\0');
}

TEST_F(PageManagerTest, SessionsShareOneStorageAndSeeChangesBeforeAFlush) {
  auto creator = Client("t.dat");
  creator->NewStorage();
  creator->NewPage(0)->WriteInt32(0, 1);
  creator->Flush();
  auto first = Client("t.dat", 0, 1);
  auto second = Client("T.DAT.link", 0, 2);
  ASSERT_EQ(::link(FDir.File("t.dat").c_str(), FDir.File("T.DAT.link").c_str()), 0);
  first->Open(false, false);
  second->Open(false, false);  // same file under another name: same storage
  EXPECT_EQ(FPageManager.GetStorageCount(), 1);
  EXPECT_EQ(second->GetPageSize(), 4096);  // the storage's page size
  first->ReadPage(0)->WriteInt32(0, 42);
  EXPECT_EQ(second->ReadPage(0)->ReadInt32(0), 42);
  second->Flush();  // any session flushes every change of the storage
  EXPECT_EQ(ReadWholeFile(FDir.File("t.dat"))[0], 42);
}

TEST_F(PageManagerTest, ExclusiveOpensAreRefusedWhicheverAskedForIt) {
  Client("t.dat")->NewStorage();
  const std::string expected =
      "Cannot open storage \"t.dat\": May not be opened twice if one is exclusive";
  struct Case {
    bool firstExclusive, secondExclusive;
  } cases[] = {{true, false}, {false, true}, {true, true}};
  for (const Case& c : cases) {
    auto first = Client("t.dat");
    first->Open(false, c.firstExclusive);
    auto second = Client("t.dat", 4096, 2);
    EXPECT_EQ(MessageOf([&] { second->Open(true, c.secondExclusive); }), expected);
    EXPECT_THROW(second->Open(true, c.secondExclusive), ETdbPMStorageAccessDenied);
  }
}

TEST_F(PageManagerTest, OpenFailures) {
  auto missing = Client("none.dat");
  EXPECT_EQ(MessageOf([&] { missing->Open(false, false); }), "Storage \"none.dat\" not found");
  EXPECT_THROW(missing->Open(false, false), ETdbPMStorageNotFound);

  // Another open of the file (here: of another program) holds it exclusively.
  TdwOSFileSystem other(FDir.Path());
  other.CloseFile(other.CreateFile("held.dat"));
  const TdwFileHandle held = other.OpenFile("held.dat", kFmOpenReadWrite | kFmShareExclusive);
  auto client = Client("held.dat");
  EXPECT_EQ(MessageOf([&] { client->Open(true, false); }),
            "Cannot open storage \"held.dat\": " + TdwFileSystem::GetErrorMessage(EWOULDBLOCK));
  EXPECT_EQ(MessageOf([&] { client->NewStorage(); }),
            "Cannot create storage held.dat: Error " + std::to_string(EWOULDBLOCK));
  other.CloseFile(held);
  EXPECT_FALSE(client->IsOpen());
  EXPECT_GT(FLog.Count("3 Page Manager: Cannot create storage held.dat"), 0);
}

TEST_F(PageManagerTest, WrongEncryptionWhenOnlyOneOpenHasOne) {
  Client("t.dat")->NewStorage();
  TdwCryptor cryptor;
  ASSERT_TRUE(cryptor.Initialize());
  auto plain = Client("t.dat");
  plain->Open(false, false);
  auto encrypted = Client("t.dat", 4096, 2, &cryptor);
  EXPECT_EQ(MessageOf([&] { encrypted->Open(false, false); }), "Wrong encryption");
}

TEST_F(PageManagerTest, PageNumbersAtTheEnd) {
  auto client = Client("t.dat", 8192);
  client->NewStorage();
  client->SetPageCount(3);
  auto site = client->CreatePageSite();
  EXPECT_EQ(MessageOf([&] { site->LoadPage(3); }),
            "Loading page 3 of storage \"t.dat\": Page no is invalid");
  EXPECT_THROW(site->LoadPage(-1), ETdbPageManager);
  site->InitPage(3);
  EXPECT_EQ(client->GetPageCount(), 4);
  site->LoadPage(3);
}

TEST_F(PageManagerTest, UndoRestoresTheOldValueUnderAPositionedSite) {
  auto client = Client("t.dat");
  client->NewStorage();
  auto site = client->NewPage(0);
  site->WriteInt32(8, 7);
  client->Flush();
  site->WriteInt32(8, 99);
  auto other = site->CreateSibling();
  other->LoadPage(0);
  client->Undo();
  EXPECT_EQ(site->ReadInt32(8), 7);  // still positioned: the buffer is read again
  EXPECT_EQ(other->ReadInt32(8), 7);
  other->WriteInt32(8, 5);  // both sites share one buffer again
  EXPECT_EQ(site->ReadInt32(8), 5);
}

TEST_F(PageManagerTest, InvalidatedBufferJoinsTheBufferReadMeanwhile) {
  auto client = Client("t.dat");
  client->NewStorage();
  client->NewPage(0)->WriteInt32(0, 1);
  client->Flush();
  auto a = client->ReadPage(0);
  client->Invalidate();          // a's buffer becomes invalid
  auto b = client->ReadPage(0);  // reads a fresh buffer
  b->WriteInt32(0, 2);
  EXPECT_EQ(a->ReadInt32(0), 2);  // a must not reload its own stale copy
  a->WriteInt32(0, 3);
  EXPECT_EQ(b->ReadInt32(0), 3);
}

TEST_F(PageManagerTest, ZeroCacheLimitWarnsAndKeepsWorking) {
  TTdbPageManager manager;  // no session registered: the limit is 0
  manager.SetLog(&FLog);
  TTdbClientStorage client(manager, FFs, 1, nullptr);
  client.SetName("z.dat");
  client.NewStorage();
  auto site = client.CreatePageSite();
  for (int n = 0; n < 8; ++n) {
    site->InitPage(n);
    site->WriteInt32(0, n);
  }
  client.Flush();
  for (int n = 0; n < 8; ++n) {
    site->LoadPage(n);
    EXPECT_EQ(site->ReadInt32(0), n);
  }
  EXPECT_GT(FLog.Count("2 Page Manager: Cache size is over limit (0) but cannot be reduced"), 0);
  client.Close();
}

TEST_F(PageManagerTest, CacheShrinksToTheLimitWhenBuffersAreFree) {
  auto client = Client("t.dat", 8192);
  client->NewStorage();
  auto site = client->CreatePageSite();
  for (int n = 0; n < 200; ++n) site->InitPage(n);  // 200 clean zero tiles
  client->Flush();
  for (int n = 0; n < 200; ++n) site->LoadPage(n);
  EXPECT_LE(FPageManager.GetCacheSize(), FPageManager.GetCacheLimit() + 8192);
  FPageManager.UnregisterClient(1, 1024);
  EXPECT_EQ(FPageManager.GetCacheLimit(), 0);
  EXPECT_LE(FPageManager.GetCacheSize(), 8192);  // only the locked buffer is left
}

TEST_F(PageManagerTest, LastCloseFlushesAndFailedCloseKeepsTheClientOpen) {
  auto client = Client("t.dat");
  client->NewStorage();
  client->NewPage(1)->WriteInt32(0, 77);
  FFs.FailNthWrite(1, true);
  EXPECT_THROW(client->Close(), ETdbPageManager);
  EXPECT_TRUE(client->IsOpen());
  FFs.Disarm();
  client->Close();
  const std::string content = ReadWholeFile(FDir.File("t.dat"));
  ASSERT_EQ(content.size(), 8192u);
  EXPECT_EQ(content[4096], 77);
}

TEST_F(PageManagerTest, PageSizeChangeFlushesFirst) {
  auto client = Client("t.dat");
  client->NewStorage();
  auto site = client->NewPage(3);  // bytes 12288.. of a 4096-byte page
  site->WriteInt32(4, 1234);
  client->SetPageSize(16384);  // buffers change from one tile to two
  EXPECT_EQ(ReadWholeFile(FDir.File("t.dat")).size(), 16384u);
  EXPECT_EQ(client->GetPageCount(), 1);
  auto big = client->ReadPage(0);
  EXPECT_EQ(big->ReadInt32(12288 + 4), 1234);
  EXPECT_THROW(site->ReadInt32(4), ETdbPageManager);  // page 3 no longer exists
  big->WriteInt32(0, 9);  // a buffer larger than a tile is written whole
  client->SetPageSize(4096);
  EXPECT_EQ(ReadWholeFile(FDir.File("t.dat"))[0], 9);
  EXPECT_THROW(client->SetPageSize(3000), ETdbPageManager);
}

TEST_F(PageManagerTest, FreshAndRecycledBuffersAreZero) {
  auto client = Client("t.dat", 8192);
  client->NewStorage();
  auto site = client->CreatePageSite();
  for (int n = 0; n < 4; ++n) {
    site->InitPage(n);
    site->Fill(0, 8192, 0xEE);
  }
  client->Undo();  // the buffers go back to the pools, full of 0xEE
  for (int n = 0; n < 4; ++n) {
    site->InitPage(n);
    for (int offset : {0, 4000, 8188}) EXPECT_EQ(site->ReadInt32(offset), 0) << n;
  }
  // Cut off and grown again: the cut bytes do not come back.
  site->InitPage(1);
  site->WriteInt32(0, 5);
  client->Flush();
  client->SetPageCount(1);
  client->SetPageCount(2);
  site->LoadPage(1);
  EXPECT_EQ(site->ReadInt32(0), 0);
  client->Flush();
  EXPECT_EQ(ReadWholeFile(FDir.File("t.dat")), std::string(16384, '\0'));
}

TEST_F(PageManagerTest, AccessOutsideThePageAndDamagedStringsAreRefused) {
  auto client = Client("t.dat", 1024);
  client->NewStorage();
  auto site = client->NewPage(0);
  std::uint8_t buffer[8];
  EXPECT_THROW(site->CopyTo(1020, buffer, 8), ETdbPageManager);
  EXPECT_THROW(site->WriteInt32(-1, 0), ETdbPageManager);
  site->WriteWPAnsiString(10, "abc");
  EXPECT_EQ(site->ReadWPAnsiString(10), "abc");
  site->WriteWPWideString(100, u"\u0151x");
  EXPECT_EQ(site->ReadWPWideString(100), u"\u0151x");
  site->WriteInt16(500, 600);  // length reaching beyond the page
  EXPECT_THROW(site->ReadWPAnsiString(500), ETdbPageManager);
  site->WriteInt16(500, -3);
  EXPECT_THROW(site->ReadWPWideString(500), ETdbPageManager);
  auto unpositioned = client->CreatePageSite();
  EXPECT_THROW(unpositioned->ReadInt8(0), ETdbPageManager);
}

TEST_F(PageManagerTest, ReadOnlyClientsCannotModify) {
  Client("t.dat")->NewStorage();
  auto reader = Client("t.dat");
  reader->Open(true, false);
  auto site = reader->NewPage(0);
  EXPECT_THROW(site->WriteInt32(0, 1), ETdbPageManager);
  auto writer = Client("t.dat", 4096, 2);
  writer->Open(false, false);  // joins the storage and reopens it for writing
  writer->ReadPage(0)->WriteInt32(0, 3);
  writer->Flush();
  EXPECT_EQ(site->ReadInt32(0), 3);
  EXPECT_THROW(site->WriteInt32(0, 1), ETdbPageManager);
}

TEST_F(PageManagerTest, SitesOutlivingTheirClientRefuseUse) {
  auto client = Client("t.dat");
  client->NewStorage();
  auto site = client->NewPage(0);
  site->WriteInt32(0, 1);
  client.reset();  // closes (flushing) and detaches the site
  EXPECT_THROW(site->ReadInt32(0), ETdbPageManager);
  EXPECT_EQ(ReadWholeFile(FDir.File("t.dat"))[0], 1);
}

TEST_F(PageManagerTest, MovePageCopiesTheContent) {
  auto client = Client("t.dat");
  client->NewStorage();
  auto site = client->NewPage(0);
  site->WriteInt32(40, 4040);
  site->MovePage(5);
  EXPECT_EQ(site->GetPageNo(), 5);
  EXPECT_EQ(client->ReadPage(5)->ReadInt32(40), 4040);
}

TEST_F(PageManagerTest, FileSystemRegistry) {
  // Names are directories of a case-sensitive file system: "/data/Vnd" and
  // "/data/vnd" are two databases and must not share one file system.
  auto fs = std::make_shared<TdwOSFileSystem>(FDir.Path());
  auto other = std::make_shared<TdwOSFileSystem>(FDir.Path());
  EXPECT_TRUE(FPageManager.AddFileSystem("/data/Vnd", fs));
  EXPECT_FALSE(FPageManager.AddFileSystem("/data/Vnd", other));
  EXPECT_TRUE(FPageManager.AddFileSystem("/data/vnd", other));
  EXPECT_EQ(FPageManager.GetFileSystem("/data/Vnd"), fs);
  EXPECT_EQ(FPageManager.GetFileSystem("/data/Vnd"), fs);
  EXPECT_EQ(FPageManager.GetFileSystem("/data/vnd"), other);
  EXPECT_EQ(FPageManager.GetFileSystem("/data/VND"), nullptr);
  FPageManager.ReleaseFileSystem(fs.get());
  EXPECT_EQ(FPageManager.GetFileSystem("/data/Vnd"), fs);  // registered until released to zero
  FPageManager.ReleaseFileSystem(fs.get());
  FPageManager.ReleaseFileSystem(fs.get());
  EXPECT_EQ(FPageManager.GetFileSystem("/data/Vnd"), nullptr);
  EXPECT_THROW(FPageManager.ReleaseFileSystem(fs.get()), ETdbPageManager);
  FPageManager.ReleaseFileSystem(other.get());
}

TEST_F(PageManagerTest, FailedFlushLeavesTheSyncedFileOrTheNewOne) {
  for (bool crash : {true, false}) {
    auto client = Client("t.dat", 8192);
    client->NewStorage();
    auto site = client->CreatePageSite();
    for (int n = 0; n < 3; ++n) {
      site->InitPage(n);
      site->Fill(0, 8192, 'a');
    }
    client->Flush();
    client->UpdateDir();
    const std::string before = ReadWholeFile(FDir.File("t.dat"));
    for (int n = 0; n < 3; ++n) {
      site->InitPage(n);
      site->Fill(0, 8192, 'b');
    }
    FFs.FailNthWrite(2);  // the second of three tiles
    EXPECT_THROW(client->Flush(), ETdbPageManager);
    if (crash) {
      FFs.Crash();
      site.reset();
      client.reset();
      EXPECT_TRUE(ReadWholeFile(FDir.File("t.dat")) == before);
    } else {
      client->Flush();  // the tiles not written are still modified
      EXPECT_TRUE(ReadWholeFile(FDir.File("t.dat")) == std::string(3 * 8192, 'b'));
    }
    FFs.Disarm();
  }
}

TEST_F(PageManagerTest, SessionsOnTwoThreadsShareTheStorage) {
  Client("t.dat")->NewStorage();
  constexpr int kPagesPerThread = 64;
  auto work = [&](int session) {
    auto client = Client("t.dat", 4096, session);
    client->Open(false, false);
    auto site = client->CreatePageSite();
    for (int round = 0; round < 20; ++round) {
      for (int n = 0; n < kPagesPerThread; ++n) {
        site->InitPage(n * 2 + session - 1);  // the sessions take turns in every tile
        site->WriteInt32(0, round * 1000 + n);
      }
      client->Flush();
    }
  };
  std::thread first(work, 1), second(work, 2);
  first.join();
  second.join();
  const std::string content = ReadWholeFile(FDir.File("t.dat"));
  ASSERT_EQ(content.size(), std::size_t(kPagesPerThread) * 2 * 4096);
  for (int page = 0; page < kPagesPerThread * 2; ++page) {
    std::int32_t value = 0;
    std::memcpy(&value, content.data() + page * 4096, 4);
    EXPECT_EQ(value, 19 * 1000 + page / 2) << page;
  }
}

}  // namespace
}  // namespace kestrel
