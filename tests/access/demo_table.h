// The demo database of the kestrel tool in a scratch directory, for the
// tests of the table component: Vnd03 with KOD (String 10), MEGNEV
// (String 40), LEIRAS (Memo), the indexes KOD (unique) and INDMN (MEGNEV),
// and the demo records (their first code "01", their last "96.06.1"); the
// table component opened on it the way the program sets it up; and a test
// suite base that makes the directory once for all its tests.
#pragma once

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "access/data_link.h"
#include "access/tdb_database.h"
#include "access/tdb_table.h"
#include "temp_dir.h"
#include "tests/tools/tool_runner.h"

namespace kestrel::access {

class TDemoDirectory {
 public:
  TDemoDirectory() {
    const TToolRun run = RunKestrel({"demo", FDirectory.Path()}, FDirectory.Path());
    if (run.Status != 0) throw std::runtime_error("kestrel demo failed: " + run.Err);
  }
  const std::string& Path() const { return FDirectory.Path(); }

 private:
  test::TTempDir FDirectory;
};

// Table1 on Vnd03 of the database TdbDatabase1 at `location`, index KOD,
// closed, with a data link of `rows` buffers like a grid's.
struct TDemoTable {
  explicit TDemoTable(const std::string& location, int rows) {
    database.SetDatabaseName("TdbDatabase1");
    database.SetLocation(location);
    table.SetName("Table1");
    table.SetDatabaseName("TdbDatabase1");
    table.SetTableName("Vnd03");
    table.SetIndexName("KOD");
    source.SetDataSet(&table);
    link.SetDataSource(&source);
    link.SetBufferCount(rows);
  }

  TTdbDatabase database;
  TTdbTable table;
  TDataSource source;
  TDataLink link;
};

// A suite whose tests share one demo directory (FDemo), made before the
// first test and removed after the last.
class TDemoSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { FDemo = new TDemoDirectory(); }
  static void TearDownTestSuite() {
    delete FDemo;
    FDemo = nullptr;
  }
  static inline TDemoDirectory* FDemo = nullptr;
};

}  // namespace kestrel::access
