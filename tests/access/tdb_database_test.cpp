// The database component: the rights word, the property rules, the registry,
// connecting (the control file, a location with an at sign, a read-only
// directory), the AutoCreateIndexes setting, and the error texts of failed
// engine calls.
#include "access/tdb_database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "access/db_error.h"
#include "access/tdb_table.h"
#include "demo_table.h"

namespace kestrel::access {
namespace {

TEST(TdbDatabaseTest, CalcOpenRights) {
  struct Case {
    bool DatabaseExclusive;
    TTdbFlushMode DatabaseFlush;
    bool Exclusive;
    TTdbAccessRights Rights;
    TTdbFlushMode Flush;
    std::uint16_t Word;
  };
  const Case cases[] = {
      {false, TTdbFlushMode::tfmDefault, false, kAllAccessRights, TTdbFlushMode::tfmDefault, 0xF8FF},
      {false, TTdbFlushMode::tfmDefault, false, 0, TTdbFlushMode::tfmDefault, 0xF8F0},
      {false, TTdbFlushMode::tfmDefault, true, tarAppend | tarDelete, TTdbFlushMode::tfmDefault, 0xF9F5},
      {true, TTdbFlushMode::tfmDefault, false, tarEdit, TTdbFlushMode::tfmDefault, 0xF9F2},
      {false, TTdbFlushMode::tfmSecure, false, 0, TTdbFlushMode::tfmDefault, 0xFAF0},
      {false, TTdbFlushMode::tfmSecure, false, 0, TTdbFlushMode::tfmFast, 0xF8F0},
      {false, TTdbFlushMode::tfmDefault, false, tarIndex, TTdbFlushMode::tfmSecure, 0xFAF8},
  };
  for (const Case& c : cases) {
    TTdbDatabase database;
    database.SetExclusive(c.DatabaseExclusive);
    database.SetFlushMode(c.DatabaseFlush);
    EXPECT_EQ(database.CalcOpenRights(c.Exclusive, c.Rights, c.Flush), c.Word);
  }
}

TEST(TdbDatabaseTest, RegistryAndPropertyRules) {
  TDemoDirectory demo;
  TTdbDatabase first, second;
  first.SetDatabaseName("Adatok");
  second.SetDatabaseName("adatok");
  try {
    TTdbDatabase::FindDatabase("ADATOK");
    FAIL() << "two match";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Database name \"ADATOK\" is not unique");
  }
  EXPECT_EQ(TTdbDatabase::FindDatabase("ADATOK", &first), &second);

  first.SetLocation(demo.Path());
  first.Open();
  EXPECT_GT(first.Handle(), 0);
  EXPECT_EQ(first.DatabaseType(), TTdbDatabaseType::dbtDirectory);
  const struct {
    std::function<void()> Change;
    const char* Message;
  } refused[] = {
      {[&] { first.SetLocation("/tmp"); }, "Cannot change location while database is open"},
      {[&] { first.SetDatabaseName("Mas"); }, "Cannot change the database name when connected"},
  };
  for (const auto& r : refused) {
    try {
      r.Change();
      FAIL() << r.Message;
    } catch (const EDatabaseError& error) {
      EXPECT_STREQ(error.what(), r.Message);
    }
  }
  second.SetDatabaseName("Adatok");
  second.SetLocation(demo.Path());
  try {
    second.Open();
    FAIL() << "duplicate";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Duplicate database name: \"Adatok\"");
  }
  EXPECT_FALSE(second.Connected());
  first.SetReadOnly(false);
  EXPECT_FALSE(first.Connected()) << "setting ReadOnly disconnects even without a change";
}

TEST(TdbDatabaseTest, ConnectWritesTheControlFileOnce) {
  TDemoDirectory demo;
  const std::filesystem::path control =
      std::filesystem::path(demo.Path()) / (std::filesystem::path(demo.Path()).filename().string() + ".tdbd");
  TTdbDatabase database;
  database.SetLocation(demo.Path());
  database.Open();
  ASSERT_TRUE(std::filesystem::exists(control));
  EXPECT_EQ(test::ReadWholeFile(control.string()), "Kestrel database control file for directory-based database");
  test::WriteWholeFile(control.string(), "changed");
  database.Close();
  database.Open();
  EXPECT_EQ(test::ReadWholeFile(control.string()), "changed");
}

TEST(TdbDatabaseTest, ALocationWithAnAtSignThatIsADirectoryIsLocal) {
  test::TTempDir scratch;
  const std::string location = scratch.Path() + "/user@host";
  ASSERT_EQ(RunKestrel({"demo", location}, scratch.Path()).Status, 0);
  TTdbTable table;
  table.SetDatabaseName(location);
  table.SetTableName("Vnd03");
  table.Open();
  EXPECT_TRUE(table.Active());
  EXPECT_GT(table.RecordCount(), 0);

  TTdbDatabase remote;
  remote.SetLocation("user@server:/data");
  try {
    remote.Open();
    FAIL() << "no remote side";
  } catch (const EDatabaseError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Connecting to database \"user@server:/data\": ", 0), 0u)
        << error.what();
  }
  EXPECT_FALSE(remote.Connected());
}

TEST(TdbDatabaseTest, AReadOnlyDirectoryOpensTheTableReadOnly) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  TDemoDirectory demo;
  ::chmod(demo.Path().c_str(), 0555);
  TTdbDatabase database;
  database.SetDatabaseName("RO");
  database.SetLocation(demo.Path());
  TTdbTable table;
  table.SetDatabaseName("RO");
  table.SetTableName("Vnd03");
  EXPECT_NO_THROW(table.Open());
  EXPECT_FALSE(table.CanModify());
  ::chmod(demo.Path().c_str(), 0755);
}

// A filter on a column no index covers has a temporary index made only
// when the database allows it; the records shown are the same either way.
TEST(TdbDatabaseTest, AutoCreateIndexesDecidesWhetherAFilterMakesATemporaryIndex) {
  test::TTempDir dir;
  const std::string tableFile = dir.Path() + "/Vnd03";
  ASSERT_EQ(RunKestrel({"create", tableFile, "--level", "6", "--column", "KOD String(10) NOT NULL", "--column",
                        "MEGNEV String(40)", "--column", "LEIRAS Memo", "--index", "KOD:KOD:unique"},
                       dir.Path())
                .Status,
            0);
  test::WriteWholeFile(dir.Path() + "/rows.csv", "KOD,MEGNEV,LEIRAS\r\n01,a,x\r\n02,b,y\r\n03,b,z\r\n");
  ASSERT_EQ(RunKestrel({"import", tableFile, dir.Path() + "/rows.csv"}, dir.Path()).Status, 0);
  const std::string tempIndex = dir.Path() + "/Vnd03!tmp001.tdbi";
  for (const bool allowed : {true, false}) {
    SCOPED_TRACE(allowed);
    TDemoTable f(dir.Path(), 5);
    EXPECT_TRUE(f.database.AutoCreateIndexes()) << "on unless switched off";
    f.database.SetAutoCreateIndexes(allowed);
    f.table.SetFilter("MEGNEV = 'b'");
    f.table.SetFiltered(true);
    f.table.Open();
    EXPECT_EQ(f.table.RecordCount(), 2);
    EXPECT_EQ(std::filesystem::exists(tempIndex), allowed);
    f.table.Close();
    f.database.Close();
    EXPECT_FALSE(std::filesystem::exists(tempIndex));
  }
}

TEST(TdbDatabaseTest, ErrorTextsOfFailedCalls) {
  struct Case {
    std::int32_t Result;
    std::string Message;
  };
  const Case cases[] = {
      {-101, "Fetching records: The table handle is invalid"},
      {-105, "Fetching records: The session handle is invalid"},
      {-11, "Fetching records: The record does not exist"},
  };
  for (const Case& c : cases) {
    try {
      RaiseTdbError(c.Result, "Fetching records", 0);
    } catch (const EKestrelError& error) {
      EXPECT_EQ(error.what(), c.Message);
      EXPECT_EQ(error.TdbError(), c.Result);
      EXPECT_EQ(error.Reason(), 0);
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(error.what(), c.Message);
    }
  }
}

}  // namespace
}  // namespace kestrel::access
