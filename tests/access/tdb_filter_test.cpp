// Filtering of the table component on the demo table: the records a filter
// shows and counts against a model (a walk over the unfiltered table with
// the same condition in C++), switching on, off and on again, the empty
// text, rejected conditions while on and off, the stored state across
// close and open, and exact counts on a table of more than 10,000 records.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "access/data_link.h"
#include "access/db_error.h"
#include "access/tdb_table.h"
#include "demo_table.h"

namespace kestrel::access {
namespace {

constexpr int kDemoRecords = 498;
const std::string kQuotedName = "Ácsmunka – 'kiemelt' szolgáltatás";

struct TRecord {
  std::string Code, Name;
};
using TPredicate = std::function<bool(const TRecord&)>;

struct TFilterFixture : TDemoTable {
  explicit TFilterFixture(const std::string& location) : TDemoTable(location, 10) {}
  // The codes the table shows now, from the first record on.
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (table.First(); !table.Eof(); table.Next()) codes.push_back(table.FieldByName("KOD").AsString());
    return codes;
  }
  // The codes of the records that satisfy `keep`, read with filtering off.
  std::vector<std::string> Model(const TPredicate& keep) {
    EXPECT_FALSE(table.Filtered());
    std::vector<std::string> codes;
    for (table.First(); !table.Eof(); table.Next()) {
      const TRecord record{table.FieldByName("KOD").AsString(), table.FieldByName("MEGNEV").AsString()};
      if (keep(record)) codes.push_back(record.Code);
    }
    return codes;
  }
};

class TdbFilterTest : public TDemoSuite {};

TEST_F(TdbFilterTest, ShowsAndCountsExactlyTheMatchingRecords) {
  struct Case {
    std::string Condition;
    TPredicate Keep;
  };
  const std::vector<Case> cases = {
      {"KOD = '01'", [](const TRecord& r) { return r.Code == "01"; }},
      {"KOD < '05'", [](const TRecord& r) { return r.Code < "05"; }},
      {"KOD >= '50' And KOD < '60'", [](const TRecord& r) { return r.Code >= "50" && r.Code < "60"; }},
      {"KOD < '02' Or MEGNEV = 'Mezőgazdasági szolgáltatások'",
       [](const TRecord& r) { return r.Code < "02" || r.Name == "Mezőgazdasági szolgáltatások"; }},
      {"MEGNEV = 'Ácsmunka – ''kiemelt'' szolgáltatás'", [](const TRecord& r) { return r.Name == kQuotedName; }},
      {"KOD = 'nincs ilyen'", [](const TRecord&) { return false; }},
  };
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Condition);
    f.table.SetFiltered(false);
    const std::vector<std::string> expected = f.Model(c.Keep);
    EXPECT_EQ(expected.empty(), c.Condition == "KOD = 'nincs ilyen'") << "the demo data holds a match";
    f.table.SetFilter(c.Condition);
    f.table.SetFiltered(true);
    EXPECT_EQ(f.Codes(), expected);
    EXPECT_EQ(f.table.RecordCount(), static_cast<int>(expected.size()));
  }
}

TEST_F(TdbFilterTest, OnOffOnShowsTheSameRecordsAndAllWhileOff) {
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  f.table.SetFilter("KOD < '05'");
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords) << "a text alone filters nothing";
  f.table.SetFiltered(true);
  const std::vector<std::string> first = f.Codes();
  ASSERT_FALSE(first.empty());
  ASSERT_LT(first.size(), static_cast<std::size_t>(kDemoRecords));
  f.table.SetFiltered(false);
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
  EXPECT_EQ(f.Codes().size(), static_cast<std::size_t>(kDemoRecords));
  f.table.SetFiltered(true);
  EXPECT_EQ(f.Codes(), first);
  EXPECT_EQ(f.table.RecordCount(), static_cast<int>(first.size()));
  EXPECT_EQ(f.table.Filter(), "KOD < '05'");
}

TEST_F(TdbFilterTest, EmptyTextWhileOnShowsEveryRecord) {
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  f.table.SetFiltered(true);
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
  f.table.SetFilter("KOD = '01'");
  EXPECT_EQ(f.table.RecordCount(), 1) << "a text set while on applies at once";
  f.table.SetFilter("");
  EXPECT_TRUE(f.table.Filtered());
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);
  EXPECT_EQ(f.Codes().size(), static_cast<std::size_t>(kDemoRecords));
}

TEST_F(TdbFilterTest, RejectedConditions) {
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  // While off, any text is stored without being examined.
  EXPECT_NO_THROW(f.table.SetFilter("KOD = "));
  try {
    f.table.SetFiltered(true);
    FAIL() << "a condition that does not parse is rejected when switched on";
  } catch (const EKestrelError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Setting filter: Search-condition is invalid. ", 0), 0u) << error.what();
  }
  EXPECT_FALSE(f.table.Filtered());
  EXPECT_EQ(f.table.Filter(), "KOD = ");
  EXPECT_EQ(f.table.RecordCount(), kDemoRecords);

  // While on, a rejected text is not stored and the old filter stays.
  f.table.SetFilter("KOD = '01'");
  f.table.SetFiltered(true);
  EXPECT_THROW(f.table.SetFilter("NINCS = '1'"), EKestrelError);
  EXPECT_EQ(f.table.Filter(), "KOD = '01'");
  EXPECT_EQ(f.table.RecordCount(), 1);
}

TEST_F(TdbFilterTest, TheSameTextAgainDoesNotMove) {
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  f.table.SetFilter("KOD < '05'");
  f.table.SetFiltered(true);
  f.table.Next();
  f.table.Next();
  const int recNo = f.table.RecNo();
  ASSERT_EQ(recNo, 3);
  f.table.SetFilter("KOD < '05'");
  EXPECT_EQ(f.table.RecNo(), recNo);
}

TEST_F(TdbFilterTest, KeySearchSkipsHiddenRecords) {
  TFilterFixture f(FDemo->Path());
  f.table.Open();
  f.table.SetFilter("KOD >= '50'");
  f.table.SetFiltered(true);
  f.table.FindNearest({"01"});
  EXPECT_GE(f.table.FieldByName("KOD").AsString(), "50");
}

TEST_F(TdbFilterTest, StateSetWhileClosedAppliesAtOpenAndAfterReopen) {
  TFilterFixture f(FDemo->Path());
  f.table.SetFilter("KOD = '01'");
  f.table.SetFiltered(true);
  f.table.Open();
  EXPECT_EQ(f.table.RecordCount(), 1);
  EXPECT_EQ(f.table.FieldByName("KOD").AsString(), "01");
  f.table.Close();
  f.table.Open();
  EXPECT_TRUE(f.table.Filtered());
  EXPECT_EQ(f.table.RecordCount(), 1);
}

// More than 10,000 records: a static filter counts exactly, both when the
// index bounds the condition and when every record must be read.
TEST(TdbFilterLargeTest, CountsExactlyBeyondTenThousandRecords) {
  constexpr int kGenerated = 12000;
  test::TTempDir directory;
  const TToolRun run = RunKestrel({"demo", directory.Path(), "--records", std::to_string(kGenerated)}, directory.Path());
  ASSERT_EQ(run.Status, 0) << run.Err;
  struct Case {
    std::string Condition;
    TPredicate Keep;
  };
  const std::vector<Case> cases = {
      {"KOD >= '10.00.5'", [](const TRecord& r) { return r.Code >= "10.00.5"; }},
      {"KOD < '10.00.3' Or MEGNEV = 'Mezőgazdasági szolgáltatások'",
       [](const TRecord& r) { return r.Code < "10.00.3" || r.Name == "Mezőgazdasági szolgáltatások"; }},
  };
  TFilterFixture f(directory.Path());
  f.table.Open();
  ASSERT_EQ(f.table.RecordCount(), kDemoRecords + kGenerated);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Condition);
    f.table.SetFiltered(false);
    const std::vector<std::string> expected = f.Model(c.Keep);
    ASSERT_GT(expected.size(), 1000u);
    f.table.SetFilter(c.Condition);
    f.table.SetFiltered(true);
    EXPECT_EQ(f.table.RecordCount(), static_cast<int>(expected.size()));
    EXPECT_EQ(f.Codes(), expected);
  }
}

}  // namespace
}  // namespace kestrel::access
