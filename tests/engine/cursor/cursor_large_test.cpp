// A table of 10000 records: a static filter's count is exact, an
// incremental filter's count is unknown (-1), and a sequence number past
// the records is not taken for the last record while the count is unknown.
#include <gtest/gtest.h>

#include <cstdio>

#include "cursor_fixture.h"

namespace kestrel::test {
namespace {

constexpr int kRecords = 10000;

class CursorLarge : public CursorFixture {
 protected:
  void SetUp() override {
    std::vector<TRow> rows;
    for (int i = 0; i < kRecords; ++i) {
      char kod[16];
      std::snprintf(kod, sizeof kod, "%05d", i);
      rows.push_back({kod, i % 2 ? "Paratlan" : "Paros", ""});
    }
    Open(rows);
    ASSERT_EQ(TdbTableSetIndex(FTable, u"KOD", 0), 0);
  }
};

TEST_F(CursorLarge, StaticCountsAreExactIncrementalCountsUnknown) {
  EXPECT_EQ(TdbTableRecordCount(FTable), kRecords);
  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"KOD >= '00100'", 1, 1), 0);
  ASSERT_EQ(TdbTableActivateFilter(FTable, 1), 0);
  EXPECT_EQ(TdbTableRecordCount(FTable), kRecords - 100);
  EXPECT_EQ(TdbTableSetSequenceNo(FTable, 2), 2);
  EXPECT_EQ(CurrentKod(FTable), "00101");
  ASSERT_EQ(TdbTableActivateFilter(FTable, 0), 0);

  ASSERT_EQ(TdbTableSetSQLFilter(FTable, u"MEGNEV = 'Paros'", 15, 0), 0);
  EXPECT_EQ(TdbTableRecordCount(FTable), -1);
  // A position past the records stays refused: the count is not known.
  EXPECT_EQ(TdbTableSetSequenceNo(FTable, 3 * kRecords), -11);
  // Sequence numbers count the records the filter lets through.
  EXPECT_EQ(TdbTableSetSequenceNo(FTable, 5), 5);
  EXPECT_EQ(CurrentKod(FTable), "00008");
}

}  // namespace
}  // namespace kestrel::test
