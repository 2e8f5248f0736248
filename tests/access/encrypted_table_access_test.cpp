// An encrypted table through the component layer and the flat calls: the
// table's Password, the database key as its default, the OnPassword event
// after a refusal, and the error of a wrong key (-12 with engine error 38).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "access/db_error.h"
#include "access/tdb_database.h"
#include "access/tdb_table.h"
#include "temp_dir.h"
#include "tests/tools/tool_runner.h"

namespace kestrel::access {
namespace {

class EncryptedTableAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string table = FDir.Path() + "/Vnd03";
    TToolRun run = RunKestrel({"create", table, "--level", "6", "--column", "KOD String(10) NOT NULL", "--column",
                               "LEIRAS Memo", "--index", "KOD:KOD:unique", "--encryption", "blowfish",
                               "--password", "Kulcs"},
                              FDir.Path());
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::ofstream(FDir.Path() + "/in.csv") << "KOD,LEIRAS\n01,Az elso leiras\n02,A masodik\n";
    run = RunKestrel({"import", table, FDir.Path() + "/in.csv", "--password", "Kulcs"}, FDir.Path());
    ASSERT_EQ(run.Status, 0) << run.Err;
    FDatabase.SetDatabaseName("CryptDb");
    FDatabase.SetLocation(FDir.Path());
    FTable.SetDatabaseName("CryptDb");
    FTable.SetTableName("Vnd03");
  }

  // -12 and 38 of a refused open, or 0 and 0 when it opened.
  std::pair<int, int> OpenResult() {
    try {
      FTable.Open();
    } catch (const EKestrelError& error) {
      return {error.TdbError(), error.Reason()};
    }
    return {0, 0};
  }

  test::TTempDir FDir;
  TTdbDatabase FDatabase;
  TTdbTable FTable;
};

TEST_F(EncryptedTableAccess, KeysOfTableDatabaseAndEvent) {
  struct Case {
    std::string tableKey, databaseKey, eventKey;
    int asked;
    std::pair<int, int> result;
  } cases[] = {
      {"Kulcs", "", "", 0, {0, 0}},
      {"", "Kulcs", "", 0, {0, 0}},
      {"rossz", "Kulcs", "", 0, {-12, 38}},  // the table's key comes first
      {"", "", "", 0, {-12, 38}},
      {"rossz", "", "Kulcs", 1, {0, 0}},
      {"", "", "megint rossz", 2, {-12, 38}},  // the event gives up on the second refusal
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tableKey + "/" + c.databaseKey + "/" + c.eventKey);
    FDatabase.SetConnected(false);
    FDatabase.SetPassword(c.databaseKey);
    FTable.SetPassword(c.tableKey);
    int asked = 0;
    FDatabase.OnPassword = nullptr;
    if (!c.eventKey.empty())
      FDatabase.OnPassword = [&](TTdbDatabase&, const std::string& tableName, bool& retry, std::string& key) {
        EXPECT_EQ(tableName, "Vnd03");
        retry = ++asked == 1;
        key = c.eventKey;
      };
    EXPECT_EQ(OpenResult(), c.result);
    EXPECT_EQ(asked, c.asked);
    if (c.result.first == 0) {
      EXPECT_EQ(FTable.RecordCount(), 2);
      EXPECT_EQ(FTable.FieldByName("LEIRAS").AsString(), "Az elso leiras");
      FTable.Close();
    }
  }
}

}  // namespace
}  // namespace kestrel::access
