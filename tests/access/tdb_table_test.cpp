// The table component on the demo table: opening and its errors, moving
// through the ring of buffers, index switching with the record kept, the
// nearest-key search of the incremental search, counting, positions, memo
// text, editing (duplicate keys, cancelled inserts, the only record, memo
// writes, read-only tables, text the code page cannot store), and a change
// made through another cursor.
#include "access/tdb_table.h"

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "access/data_link.h"
#include "access/db_error.h"
#include "demo_table.h"

namespace kestrel::access {
namespace {

constexpr int kDemoRecords = 498;

struct TTableFixture : TDemoTable {
  explicit TTableFixture(const std::string& location, int rows = 15) : TDemoTable(location, rows) {}
  std::string Code() { return table.FieldByName("KOD").AsString(); }
  std::string Name() { return table.FieldByName("MEGNEV").AsString(); }
};

class TdbTableTest : public TDemoSuite {};

TEST_F(TdbTableTest, OpensOnTheFirstRecordInCodeOrder) {
  TTableFixture f(FDemo->Path());
  f.table.Open();
  EXPECT_TRUE(f.database.Connected());
  EXPECT_EQ(f.Code(), "01");
  EXPECT_EQ(f.Name(), "Mezőgazdasági szolgáltatások");
  EXPECT_TRUE(f.table.Bof());
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
  EXPECT_EQ(f.table.RecNo(), 1);
  EXPECT_EQ(f.link.RecordCount(), 15);
  EXPECT_EQ(f.table.Fields().size(), 3u);
  EXPECT_EQ(f.table.FieldByName("KOD").Size(), 10);
  EXPECT_EQ(f.table.FieldByName("MEGNEV").Size(), 40);
  EXPECT_EQ(f.table.FieldByName("LEIRAS").DataType(), TFieldType::ftMemo);
  EXPECT_EQ(f.table.Version(), "6.1.8/8.1.2");
}

TEST_F(TdbTableTest, WalksTheWholeTableBothWays) {
  TTableFixture f(FDemo->Path(), 7);
  f.table.Open();
  std::vector<std::string> forward;
  for (; !f.table.Eof(); f.table.Next()) forward.push_back(f.Code());
  ASSERT_EQ(forward.size(), static_cast<std::size_t>(kDemoRecords));
  EXPECT_TRUE(std::is_sorted(forward.begin(), forward.end()));
  EXPECT_EQ(forward.back(), "96.06.1");
  EXPECT_EQ(f.table.RecNo(), kDemoRecords);
  f.table.Next();
  EXPECT_TRUE(f.table.Eof()) << "a second fetch past the end is EOF again, no error";
  std::vector<std::string> backward;
  for (f.table.Last(); !f.table.Bof(); f.table.Prior()) backward.push_back(f.Code());
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, forward);
}

TEST_F(TdbTableTest, FindNearestCases) {
  struct Case {
    const char* Index;
    std::string Text;
    std::string Code;  // expected current code ("" = just check name prefix)
    std::string NamePrefix;
  };
  const Case cases[] = {
      {"KOD", "0", "01", ""},
      {"KOD", "01", "01", ""},
      {"KOD", "011", "02", ""},
      {"KOD", "58.05", "58.05.1", ""},
      {"KOD", "", "01", ""},
      {"KOD", "ZZZ", "96.06.1", ""},
      {"INDMN", "", "", "Ablaktisztítás"},
      {"INDMN", "ablak", "", "Ablaktisztítás"},
      {"INDMN", "Ügyvéd", "", "Ügyvédi"},
      {"INDMN", std::string(40, 'z'), "", ""},
  };
  TTableFixture f(FDemo->Path());
  f.table.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Index) + " \"" + c.Text + "\"");
    f.table.SetIndexName(c.Index);
    f.table.FindNearest({c.Text});
    if (!c.Code.empty()) {
      EXPECT_EQ(f.Code(), c.Code);
    }
    if (!c.NamePrefix.empty()) {
      EXPECT_EQ(f.Name().substr(0, c.NamePrefix.size()), c.NamePrefix);
    }
  }
  // Above every name: the last record in name order.
  f.table.Last();
  const std::string lastName = f.Name();
  f.table.FindNearest({std::string(40, 'z')});
  EXPECT_EQ(f.Name(), lastName);
  EXPECT_TRUE(f.table.Eof());
}

TEST_F(TdbTableTest, IndexSwitchKeepsTheRecord) {
  TTableFixture f(FDemo->Path());
  f.table.Open();
  f.table.FindNearest({"58.05"});
  const std::string code = f.Code();
  f.table.SetIndexName("INDMN");
  EXPECT_EQ(f.Code(), code);
  f.table.Next();
  const std::string nextByName = f.Code();
  f.table.Prior();
  f.table.SetIndexName("KOD");
  EXPECT_EQ(f.Code(), code);
  f.table.Next();
  EXPECT_NE(f.Code(), nextByName) << "neighbours come from the code order now";

  try {
    f.table.SetIndexName("NINCS");
    FAIL() << "no such index";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "The index NINCS does not exist");
  }
  EXPECT_EQ(f.table.IndexName(), "NINCS");
}

TEST_F(TdbTableTest, RecNoAndBookmarks) {
  TTableFixture f(FDemo->Path());
  f.table.Open();
  f.table.SetRecNo(250);
  EXPECT_EQ(f.table.RecNo(), 250);
  const std::string code = f.Code();
  const TBookmark mark = f.table.Bookmark();
  f.table.First();
  f.table.GotoBookmark(mark);
  EXPECT_EQ(f.Code(), code);
  try {
    f.table.SetRecNo(kDemoRecords + 5);
    FAIL() << "beyond the count";
  } catch (const EDatabaseError& error) {
    EXPECT_EQ(std::string(error.what()), "Record " + std::to_string(kDemoRecords + 5) + " not found");
  }
}

TEST_F(TdbTableTest, MemoReadsWithLfLineEnds) {
  TTableFixture f(FDemo->Path());
  f.table.Open();
  f.table.FindNearest({"58.05.1"});
  const std::string text = f.table.FieldByName("LEIRAS").AsString();
  EXPECT_EQ(text.rfind("Ide tartozik térképkiadás megrendelésre vagy", 0), 0u) << text;
  EXPECT_NE(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(TdbTableOpenTest, ErrorsOfOpening) {
  test::TTempDir empty;
  TTableFixture f(empty.Path());
  try {
    f.table.Open();
    FAIL() << "no table there";
  } catch (const EKestrelError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Opening table \"Vnd03\": ", 0), 0u) << error.what();
    EXPECT_EQ(error.TdbError(), -1);
    EXPECT_EQ(error.Reason(), 37);
  }
  EXPECT_FALSE(f.table.Active());

  f.table.SetTableName("");
  try {
    f.table.Open();
    FAIL() << "no table name";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "No table name defined for \"Table1\".");
  }
}

TEST(TdbTableEditTest, PostInsertAndDeleteThroughTheCursor) {
  TDemoDirectory demo;
  TTableFixture f(demo.Path());
  f.table.Open();
  int afterPost = 0;
  f.table.AfterPost = [&](TDataSet&) { ++afterPost; };
  f.table.Insert();
  f.table.FieldByName("KOD").SetAsString("00.00.0");
  f.table.FieldByName("MEGNEV").SetAsString("Próba – ő");
  f.table.FieldByName("LEIRAS").SetAsString("első\nmásodik");
  f.table.Post();
  EXPECT_EQ(afterPost, 1);
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords + 1);
  EXPECT_EQ(f.Code(), "00.00.0");

  // Another cursor on the same table sees it, with its memo.
  TTdbTable other;
  other.SetDatabaseName("TdbDatabase1");
  other.SetTableName("Vnd03");
  other.SetIndexName("KOD");
  other.Open();
  EXPECT_EQ(other.FieldByName("KOD").AsString(), "00.00.0");
  EXPECT_EQ(other.FieldByName("LEIRAS").AsString(), "első\nmásodik");
  EXPECT_EQ(static_cast<TMemoField&>(other.FieldByName("LEIRAS")).AsBytes(), "els\xF5\r\nm\xE1sodik");

  f.table.Edit();
  f.table.FieldByName("MEGNEV").SetAsString("Átírva");
  f.table.Post();
  other.Refresh();
  EXPECT_EQ(other.FieldByName("MEGNEV").AsString(), "Átírva");

  f.table.Delete();
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
  EXPECT_EQ(f.Code(), "01");
  other.Refresh();
  EXPECT_EQ(other.FieldByName("KOD").AsString(), "01");
}

TEST(TdbTableEditTest, AnotherCursorsDeletionMovesABufferedRecord) {
  TDemoDirectory demo;
  TTableFixture a(demo.Path());
  a.table.SetIndexName("");
  a.table.Open();
  a.table.Last();
  const std::string movedCode = a.Code();
  ASSERT_EQ(a.table.RecordNo(), kDemoRecords);

  TTdbTable b;
  b.SetDatabaseName("TdbDatabase1");
  b.SetTableName("Vnd03");
  b.Open();
  ASSERT_EQ(b.RecordNo(), 1);
  b.Delete();
  // The table's last record moved into the freed slot 1; the buffer that
  // holds it follows it.
  EXPECT_EQ(a.table.RecordNo(), 1);
  EXPECT_EQ(a.Code(), movedCode);
  a.table.Edit();
  EXPECT_EQ(a.Code(), movedCode) << "the edit found the record at its new place";
  a.table.Cancel();
}

TEST(TdbTableEditTest, DuplicateCodeFailsEveryPostUntilChanged) {
  TDemoDirectory demo;
  TTableFixture f(demo.Path());
  f.table.Open();
  f.table.Insert();
  f.table.FieldByName("KOD").SetAsString("01");
  f.table.FieldByName("MEGNEV").SetAsString("Másodpéldány");
  std::string firstMessage;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      f.table.Post();
      FAIL() << "a duplicate code was posted";
    } catch (const EKestrelError& error) {
      if (attempt == 0) firstMessage = error.what();
      EXPECT_EQ(firstMessage, error.what()) << "the same failure every time";
    }
    EXPECT_EQ(f.table.State(), TDataSetState::dsInsert);
    EXPECT_EQ(f.Code(), "01") << "the typed values stay";
    EXPECT_EQ(f.Name(), "Másodpéldány");
  }
  EXPECT_NE(firstMessage.find("Appending record to dataset Table1"), std::string::npos) << firstMessage;
  f.table.FieldByName("KOD").SetAsString("019");
  f.table.Post();
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords + 1);
  EXPECT_EQ(f.Code(), "019");

  // The same in edit state; cancelling restores the record.
  f.table.Next();
  const std::string code = f.Code();
  f.table.Edit();
  f.table.FieldByName("KOD").SetAsString("019");
  EXPECT_THROW(f.table.Post(), EKestrelError);
  EXPECT_THROW(f.table.Post(), EKestrelError);
  EXPECT_EQ(f.table.State(), TDataSetState::dsEdit);
  f.table.Cancel();
  EXPECT_EQ(f.Code(), code);
  f.table.Close();
  const TToolRun check = RunKestrel({"check", demo.Path() + "/Vnd03"}, demo.Path());
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
}

TEST(TdbTableEditTest, CancelledInsertReturnsToTheRecordBefore) {
  TDemoDirectory demo;
  TTableFixture f(demo.Path());
  f.table.Open();
  struct Case {
    const char* Where;
    std::function<void()> Move;
  };
  const Case cases[] = {
      {"a record in the middle", [&] { f.table.MoveBy(7); }},
      {"the last record", [&] { f.table.Last(); }},
      {"the first record", [&] { f.table.First(); }},
  };
  for (const Case& c : cases) {
    c.Move();
    const std::string code = f.Code();
    f.table.Insert();
    f.table.FieldByName("KOD").SetAsString("00.00.3");
    f.table.Cancel();
    EXPECT_EQ(f.Code(), code) << c.Where;
    EXPECT_EQ(f.table.RecordCount(), kDemoRecords) << c.Where;
  }
}

TEST(TdbTableEditTest, DeletingTheOnlyRecordLeavesAnEmptyTable) {
  test::TTempDir dir;
  const std::string table = dir.Path() + "/Vnd03";
  ASSERT_EQ(RunKestrel({"create", table, "--level", "6", "--column", "KOD String(10) NOT NULL", "--column",
                        "MEGNEV String(40)", "--column", "LEIRAS Memo", "--index", "KOD:KOD:unique"},
                       dir.Path())
                .Status,
            0);
  {
    std::ofstream csv(dir.Path() + "/one.csv", std::ios::binary);
    csv << "KOD,MEGNEV,LEIRAS\r\n01,Egy,le\xC3\xADr\xC3\xA1s\r\n";
  }
  ASSERT_EQ(RunKestrel({"import", table, dir.Path() + "/one.csv"}, dir.Path()).Status, 0);
  TTableFixture f(dir.Path());
  f.table.Open();
  ASSERT_EQ(f.table.RecordCount(), 1);
  f.table.Delete();
  EXPECT_EQ(f.table.RecordCount(), 0);
  EXPECT_TRUE(f.table.Bof());
  EXPECT_TRUE(f.table.Eof());
  EXPECT_TRUE(f.table.IsEmpty());
  // An insert into the empty table works, and its cancel leaves it empty.
  f.table.Insert();
  f.table.Cancel();
  EXPECT_TRUE(f.table.IsEmpty());
  f.table.Close();
  const TToolRun check = RunKestrel({"check", table}, dir.Path());
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
}

TEST(TdbTableEditTest, MemoIsWrittenOnlyWhenChanged) {
  TDemoDirectory demo;
  const std::filesystem::path memoFile = std::filesystem::path(demo.Path()) / "Vnd03.mmo";
  TTableFixture f(demo.Path());
  f.table.Open();
  const std::string memoBefore = f.table.FieldByName("LEIRAS").AsString();
  f.table.Edit();
  f.table.FieldByName("MEGNEV").SetAsString("Csak a név");
  f.table.Post();
  f.table.Close();
  const std::string memoBytes = Slurp(memoFile);
  f.table.Open();
  EXPECT_EQ(f.Name(), "Csak a név");
  EXPECT_EQ(f.table.FieldByName("LEIRAS").AsString(), memoBefore);
  f.table.Edit();
  f.table.FieldByName("MEGNEV").SetAsString("Megint csak a név");
  f.table.Post();
  f.table.Close();
  EXPECT_EQ(Slurp(memoFile), memoBytes) << "posting without touching the memo writes no memo";

  f.table.Open();
  f.table.Edit();
  f.table.FieldByName("LEIRAS").SetAsString("Új leírás");
  f.table.Post();
  f.table.Close();
  EXPECT_NE(Slurp(memoFile), memoBytes);
  f.table.Open();
  EXPECT_EQ(f.table.FieldByName("LEIRAS").AsString(), "Új leírás");
}

TEST(TdbTableEditTest, ReadOnlyTableRefusesEveryChange) {
  TDemoDirectory demo;
  TTableFixture f(demo.Path());
  f.table.SetReadOnly(true);
  f.table.Open();
  EXPECT_FALSE(f.table.CanModify());
  const std::function<void()> changes[] = {[&] { f.table.Edit(); }, [&] { f.table.Insert(); },
                                           [&] { f.table.Delete(); }};
  for (const auto& change : changes) {
    try {
      change();
      FAIL() << "a read-only table changed";
    } catch (const EDatabaseError& error) {
      EXPECT_STREQ(error.what(), "Table1: Cannot modify a read-only dataset");
    }
    EXPECT_EQ(f.table.State(), TDataSetState::dsBrowse);
  }
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
}

TEST(TdbTableEditTest, TextOutsideTheCodePageIsRefusedBeforeItIsWritten) {
  TDemoDirectory demo;
  TTableFixture f(demo.Path());
  f.table.Open();
  f.table.Edit();
  const std::string name = f.Name();
  const std::string memo = f.table.FieldByName("LEIRAS").AsString();
  struct Case {
    const char* Field;
    std::string Text;
    std::string Refused;
  };
  const Case cases[] = {
      {"MEGNEV", "Mañana", "ñ"},
      {"MEGNEV", "Kód \xE2\x82\xAC\xE2\x9C\x93", "\xE2\x9C\x93"},  // the euro sign fits, the check mark not
      {"LEIRAS", "első sor\n\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    try {
      f.table.FieldByName(c.Field).SetAsString(c.Text);
      FAIL() << c.Text;
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(std::string(error.what()), "Field '" + std::string(c.Field) + "' cannot store the character \"" +
                                               c.Refused + "\": it is not in the Windows-1250 code page");
    }
  }
  EXPECT_EQ(f.Name(), name);
  EXPECT_EQ(f.table.FieldByName("LEIRAS").AsString(), memo);
  EXPECT_FALSE(f.table.Modified());

  // Hungarian letters are stored as their Windows-1250 bytes.
  f.table.FieldByName("MEGNEV").SetAsString("Árvíztűrő tükörfúrógép");
  f.table.Post();
  f.table.Close();
  const std::string data = Slurp(std::filesystem::path(demo.Path()) / "Vnd03.dat");
  EXPECT_NE(data.find("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p"), std::string::npos);
  const TToolRun run = RunKestrel({"export", demo.Path() + "/Vnd03"}, demo.Path());
  EXPECT_NE(run.Out.find(",Árvíztűrő tükörfúrógép,"), std::string::npos) << run.Out.substr(0, 300);
}

}  // namespace
}  // namespace kestrel::access
