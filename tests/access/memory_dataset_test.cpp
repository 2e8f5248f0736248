// The dataset framework over the in-memory dataset: navigation through the
// ring of buffers, BOF and EOF, bookmarks, the notifications of data links,
// DisableControls, editing steps and the fields' conversions.
#include "access/memory_dataset.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/data_link.h"
#include "access/db_error.h"

namespace kestrel::access {
namespace {

// A link that records what it hears and shows its rows' codes.
class TRecordingLink : public TDataLink {
 public:
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int row = 0; row < RecordCount(); ++row) {
      TReadRow read(*this, row);
      rows.push_back(DataSet()->FieldByName("KOD").AsString());
    }
    return rows;
  }
  std::vector<std::string> FEvents;

 protected:
  void ActiveChanged() override { FEvents.push_back("active"); }
  void DataSetChanged() override { FEvents.push_back("changed"); }
  void DataSetScrolled(int distance) override { FEvents.push_back("scrolled " + std::to_string(distance)); }
  void RecordChanged(TField*) override { FEvents.push_back("record"); }
  void EditingChanged() override { FEvents.push_back("editing"); }
};

std::string Code(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

struct TFixture {
  explicit TFixture(int records, int rows = 4) {
    data.AddFieldDef("KOD", TFieldType::ftString, 10, true);
    data.AddFieldDef("MEGNEV", TFieldType::ftString, 40);
    data.AddFieldDef("LEIRAS", TFieldType::ftMemo);
    data.AddFieldDef("DB", TFieldType::ftInteger);
    source.SetDataSet(&data);
    link.SetDataSource(&source);
    link.SetBufferCount(rows);
    data.Open();
    for (int i = 1; i <= records; ++i) data.AppendRecord({Code(i), "Név " + Code(i), "sor 1\nsor 2", std::to_string(i)});
    data.First();
    link.FEvents.clear();
  }
  TMemoryDataSet data;
  TDataSource source;
  TRecordingLink link;
};

TEST(MemoryDataSetTest, NavigationScenarios) {
  struct Step {
    const char* Op;  // F first, L last, N next, P prior, M±n move by
    int Arg;
    std::string Current;
    bool Bof, Eof;
    std::vector<std::string> Rows;
    int ActiveRow;
  };
  struct Scenario {
    const char* Name;
    int Records;
    std::vector<Step> Steps;
  };
  const std::vector<Scenario> scenarios = {
      {"forward through the ring",
       10,
       {{"F", 0, "01", true, false, {"01", "02", "03", "04"}, 0},
        {"M", 3, "04", false, false, {"01", "02", "03", "04"}, 3},
        {"N", 0, "05", false, false, {"02", "03", "04", "05"}, 3},
        {"M", 4, "09", false, false, {"06", "07", "08", "09"}, 3},
        {"N", 0, "10", false, false, {"07", "08", "09", "10"}, 3},
        {"N", 0, "10", false, true, {"07", "08", "09", "10"}, 3},
        {"N", 0, "10", false, true, {"07", "08", "09", "10"}, 3}}},
      {"backward from the end",
       10,
       {{"L", 0, "10", false, true, {"07", "08", "09", "10"}, 3},
        {"M", -3, "07", false, false, {"07", "08", "09", "10"}, 0},
        {"P", 0, "06", false, false, {"06", "07", "08", "09"}, 0},
        {"M", -10, "01", true, false, {"01", "02", "03", "04"}, 0}}},
      {"fewer records than rows", 2, {{"F", 0, "01", true, false, {"01", "02"}, 0}, {"M", 5, "02", false, true, {"01", "02"}, 1}}},
      {"empty", 0, {{"F", 0, "", true, true, {}, 0}, {"L", 0, "", true, true, {}, 0}, {"N", 0, "", true, true, {}, 0}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.Name);
    TFixture f(scenario.Records);
    for (const Step& step : scenario.Steps) {
      SCOPED_TRACE(std::string(step.Op) + std::to_string(step.Arg));
      switch (step.Op[0]) {
        case 'F': f.data.First(); break;
        case 'L': f.data.Last(); break;
        case 'N': f.data.Next(); break;
        case 'P': f.data.Prior(); break;
        default: f.data.MoveBy(step.Arg);
      }
      EXPECT_EQ(f.data.FieldByName("KOD").AsString(), step.Current);
      EXPECT_EQ(f.data.Bof(), step.Bof);
      EXPECT_EQ(f.data.Eof(), step.Eof);
      EXPECT_EQ(f.link.Rows(), step.Rows);
      EXPECT_EQ(f.link.ActiveRecord(), step.ActiveRow);
    }
  }
}

TEST(MemoryDataSetTest, LinksHearScrollsAndChanges) {
  TFixture f(10);
  f.data.Next();                 // inside the window
  f.data.MoveBy(3);              // one past the window
  f.data.Last();
  f.data.MoveBy(-1);
  const std::vector<std::string> expected = {"scrolled 0", "scrolled 1", "changed", "scrolled 0"};
  EXPECT_EQ(f.link.FEvents, expected);
}

TEST(MemoryDataSetTest, DisableControlsSendsOneChangeAtTheEnd) {
  TFixture f(10);
  f.data.DisableControls();
  f.data.DisableControls();
  f.data.Next();
  f.data.Last();
  f.data.EnableControls();
  EXPECT_TRUE(f.link.FEvents.empty());
  f.data.EnableControls();
  EXPECT_EQ(f.link.FEvents, std::vector<std::string>{"changed"});
  f.link.FEvents.clear();
  f.data.DisableControls();
  f.data.EnableControls();
  EXPECT_TRUE(f.link.FEvents.empty()) << "nothing happened meanwhile";
}

TEST(MemoryDataSetTest, BookmarksReturnToTheRecord) {
  TFixture f(20);
  f.data.MoveBy(12);
  const TBookmark mark = f.data.Bookmark();
  ASSERT_EQ(mark.size(), 4u);
  f.data.First();
  f.data.GotoBookmark(mark);
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "13");
  EXPECT_EQ(f.data.RecNo(), 13);
  EXPECT_EQ(f.link.ActiveRecord(), 1) << "centred in a window of four";
}

TEST(MemoryDataSetTest, ABiggerWindowFillsAroundTheActiveRecord) {
  TFixture f(10);
  f.data.Last();
  f.link.SetBufferCount(6);
  EXPECT_EQ(f.link.Rows(), (std::vector<std::string>{"05", "06", "07", "08", "09", "10"}));
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "10");
  f.link.SetBufferCount(2);
  EXPECT_EQ(f.link.Rows(), (std::vector<std::string>{"09", "10"}));
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "10");
}

TEST(MemoryDataSetTest, FieldsConvertTheirValues) {
  TFixture f(1);
  EXPECT_EQ(f.data.FieldByName("MEGNEV").AsString(), "Név 01");
  EXPECT_EQ(f.data.FieldByName("LEIRAS").AsString(), "sor 1\nsor 2");
  EXPECT_EQ(static_cast<TMemoField&>(f.data.FieldByName("LEIRAS")).AsBytes(), "sor 1\r\nsor 2") << "stored with CR LF";
  EXPECT_EQ(f.data.FieldByName("db").AsInteger(), 1) << "names compare without case";
  EXPECT_THROW(f.data.FieldByName("NINCS"), EDatabaseError);
  try {
    f.data.FieldByName("KOD").SetAsString("x");
    FAIL() << "writing in browse state";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Dataset not in edit or insert mode");
  }
}

TEST(MemoryDataSetTest, EditingPostsCancelsAndDeletes) {
  TFixture f(3);
  f.data.Next();
  f.data.Edit();
  EXPECT_EQ(f.data.State(), TDataSetState::dsEdit);
  f.data.FieldByName("MEGNEV").SetAsString("Új név – ő");
  f.data.Post();
  EXPECT_EQ(f.data.FieldByName("MEGNEV").AsString(), "Új név – ő");
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "02");

  f.data.Edit();
  f.data.FieldByName("MEGNEV").SetAsString("elvetve");
  f.data.Cancel();
  EXPECT_EQ(f.data.FieldByName("MEGNEV").AsString(), "Új név – ő");

  f.data.Insert();
  try {
    f.data.Post();
    FAIL() << "KOD is required";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Field 'KOD' must have a value");
  }
  EXPECT_EQ(f.data.State(), TDataSetState::dsInsert) << "a failed post leaves the insert state";
  f.data.Cancel();
  EXPECT_EQ(f.data.RecordCount(), 3);
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "02") << "back on the record before the insert";

  int afterDelete = 0;
  f.data.BeforeDelete = [](TDataSet&) { throw EAbort(); };
  f.data.AfterDelete = [&](TDataSet&) { ++afterDelete; };
  EXPECT_THROW(f.data.Delete(), EAbort);
  EXPECT_EQ(f.data.RecordCount(), 3) << "a refused deletion changes nothing";
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "02");
  f.data.BeforeDelete = nullptr;
  f.data.Delete();
  EXPECT_EQ(f.data.RecordCount(), 2);
  EXPECT_EQ(afterDelete, 1);
  EXPECT_EQ(f.data.FieldByName("KOD").AsString(), "03");
}

}  // namespace
}  // namespace kestrel::access
