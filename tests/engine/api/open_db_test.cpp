// Opening a database: where the location leads, the control file, the
// mapping of failures and what a failed open leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/api/kestrel.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/session/database_location.h"
#include "fake_engine.h"
#include "fault_file_system.h"

namespace kestrel::test {
namespace {

using TOpenDb = TApiFixture;

constexpr char kControlText[] = "Kestrel database control file for directory-based database";

std::string ControlFileOf(const std::string& directory) {
  return directory + "/" + std::filesystem::path(directory).filename().string() + ".tdbd";
}

TEST_F(TOpenDb, LocationRules) {
  const std::string db = FDir.File("Vnd");
  std::filesystem::create_directory(db);
  WriteWholeFile(db + "/Vnd03.dat", "not a container");
  WriteWholeFile(FDir.File("box.tdbd"), std::string("\x81\x75\xE4\x39", 4) + "container");
  struct Case {
    std::string location;
    std::int32_t result;
    int error;                // last error number, 0 for none
    std::string controlFile;  // written by the open, "" for none
    int singleFile;           // TdbSessIsSingleFile while open
  } cases[] = {
      {db, 0, 0, db + "/Vnd.tdbd", 0},
      {db + "/", 0, 0, db + "/Vnd.tdbd", 0},
      {db + "/Vnd03.dat", 0, 0, db + "/Vnd.tdbd", 0},  // a file: its directory
      {FDir.File("box.tdbd"), -58, 37, "", 0},         // a container cut short
      {FDir.File("missing.dat"), -58, 37, "", 0},
      {FDir.File("missing"), 0, 0, "", 1},  // the new container missing.tdbd
  };
  for (const Case& c : cases) {
    std::filesystem::remove(db + "/Vnd.tdbd");
    const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
    const std::u16string location = U16(c.location);
    EXPECT_EQ(TdbSessOpenDb(session, location.c_str(), u"", u"", 64, 0), c.result) << c.location;
    EXPECT_EQ(LastError(session).first, c.error) << c.location;
    if (!c.controlFile.empty()) {
      EXPECT_EQ(ReadWholeFile(c.controlFile), kControlText);
    }
    EXPECT_EQ(std::filesystem::exists(FDir.File("missing.tdbd")), c.singleFile == 1) << c.location;
    EXPECT_EQ(TdbSessIsSingleFile(session), c.singleFile) << c.location;
    EXPECT_EQ(TdbSessDelete(session), 0);
    std::filesystem::remove(FDir.File("missing.tdbd"));
  }
}

TEST_F(TOpenDb, EmptyLocationIsTheCurrentDirectory) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(FDir.Path());
  const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
  const std::int32_t result = TdbSessOpenDb(session, u"", u"", u"", 64, 0);
  const std::int32_t table = TdbSessOpenTable(session, u"Vnd03", u"", 0xF8FF, 1, 0);
  std::filesystem::current_path(previous);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadWholeFile(ControlFileOf(FDir.Path())), kControlText);
  EXPECT_GT(table, 0);
  ASSERT_EQ(FTableLog->FOpens.size(), 1u);
  EXPECT_EQ(FTableLog->FOpens[0].FFileName, FDir.File("Vnd03.dat"));
}

TEST_F(TOpenDb, ControlFileIsWrittenOnceAndNeverRewritten) {
  const std::string controlFile = ControlFileOf(FDir.Path());
  OpenSession();
  EXPECT_EQ(ReadWholeFile(controlFile), kControlText);
  EXPECT_EQ(std::filesystem::file_size(controlFile), 58u);
  WriteWholeFile(controlFile, "changed by someone else");
  OpenSession();
  EXPECT_EQ(ReadWholeFile(controlFile), "changed by someone else");
}

TEST_F(TOpenDb, ControlFileThatCannotBeWritten) {
  // The directory's file system is the one registered with the page manager
  // under its name: put one there that fails or shortens writes.
  const std::u16string location = U16(FDir.Path());
  const std::string controlFile = ControlFileOf(FDir.Path());
  struct Case {
    bool shortWrite;
    std::int32_t attributes;
    std::int32_t result;
    int error;
  } cases[] = {
      {false, 0, -53, 3},
      {true, 0, -53, 3},
      {false, TDB_DB_EXCLUSIVE, -53, 3},
      {false, TDB_DB_READ_ONLY, 0, 0},
      {true, TDB_DB_SHARED_READ_ONLY, 0, 0},
  };
  for (const Case& c : cases) {
    auto fileSystem = std::make_shared<TFaultFileSystem>(FDir.Path());
    if (c.shortWrite)
      fileSystem->ShortNthWrite(1);
    else
      fileSystem->FailNthWrite(1, true);
    ASSERT_TRUE(TTdbPageManager::Instance().AddFileSystem(FDir.Path(), fileSystem));
    const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
    EXPECT_EQ(TdbSessOpenDb(session, location.c_str(), u"", u"", 64, c.attributes), c.result);
    EXPECT_EQ(LastError(session).first, c.error);
    EXPECT_FALSE(std::filesystem::exists(controlFile)) << "no partly written control file";
    TdbSessDelete(session);
    // A failed open gave the file system back; an open one did at the close.
    EXPECT_EQ(TTdbPageManager::Instance().GetFileSystem(FDir.Path()), nullptr);
  }
}

TEST_F(TOpenDb, CacheSizeIsRegisteredWhileOpen) {
  TTdbPageManager& pageManager = TTdbPageManager::Instance();
  const std::int64_t before = pageManager.GetCacheLimit();
  const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
  const std::u16string location = U16(FDir.Path());
  ASSERT_EQ(TdbSessOpenDb(session, location.c_str(), u"", u"", 100, 0), 0);
  EXPECT_EQ(pageManager.GetCacheLimit(), before + 100 * 1024);

  // A second open in the same session is refused and leaves the first alone.
  EXPECT_EQ(TdbSessOpenDb(session, location.c_str(), u"", u"", 100, 0), -53);
  EXPECT_EQ(LastError(session).first, 187);
  EXPECT_EQ(pageManager.GetCacheLimit(), before + 100 * 1024);
  EXPECT_GT(TdbSessOpenTable(session, u"Vnd03", u"", 0xF8FF, 1, 0), 0);

  EXPECT_EQ(TdbSessCloseDb(session), 0);
  EXPECT_EQ(pageManager.GetCacheLimit(), before);
  // A failed open registers nothing.
  const std::u16string missing = U16(FDir.File("missing.dat"));
  EXPECT_EQ(TdbSessOpenDb(session, missing.c_str(), u"", u"", 100, 0), -58);
  EXPECT_EQ(pageManager.GetCacheLimit(), before);
  // The session opens again after a close.
  EXPECT_EQ(TdbSessOpenDb(session, location.c_str(), u"", u"", 100, 0), 0);
}

TEST_F(TOpenDb, DatabaseInfo) {
  const std::int16_t unmanaged = OpenSession();
  TTdbDbInfo info{-1, -1};
  ASSERT_EQ(TdbSessGetDbInfo(unmanaged, &info), 0);
  EXPECT_EQ(info.ManagementLevel, TDB_MANAGEMENT_UNMANAGED);
  EXPECT_EQ(info.EncryptionMethod, 1);
  EXPECT_EQ(TdbSessGetDbInfo(unmanaged, nullptr), -103);

  WriteWholeFile(FDir.File("sys_UserTables.tdbt"), "t");
  WriteWholeFile(FDir.File("sys_UserColumns.tdbt"), "c");
  const std::int16_t managed = OpenSession();
  ASSERT_EQ(TdbSessGetDbInfo(managed, &info), 0);
  EXPECT_EQ(info.ManagementLevel, TDB_MANAGEMENT_MANAGED);
}

TEST(TDatabaseLocation, ContainerMagic) {
  TTempDir dir;
  TdwOSFileSystem fileSystem;
  struct Case {
    std::string bytes;
    bool container;
  } cases[] = {
      {std::string("\x81\x75\xE4\x39", 4), true},  {std::string("\x81\x75\xE4\x39rest", 8), true},
      {std::string("\x81\x75\xE4", 3), false},     {"", false},
      {std::string("\x39\xE4\x75\x81", 4), false},
  };
  for (const Case& c : cases) {
    WriteWholeFile(dir.File("f"), c.bytes);
    EXPECT_EQ(IsCompoundFile(fileSystem, dir.File("f")), c.container) << c.bytes.size();
  }
}

}  // namespace
}  // namespace kestrel::test
