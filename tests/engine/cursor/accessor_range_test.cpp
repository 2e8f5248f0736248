// The accessor's index ranges: First and Last inside the bounds, Last when
// the search from the upper bound finds no item at all (the index's last
// item is then the candidate, checked against the lower bound), and the
// count of a ranged order.
#include <gtest/gtest.h>

#include "cursor_fixture.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/cache/page_manager.h"
#include "engine/cursor/accessor.h"
#include "engine/fs/os_file_system.h"
#include "engine/index/index_file.h"
#include "engine/index/index_key.h"
#include "engine/table/base_table.h"

namespace kestrel::test {
namespace detail {
void CreateTable(const std::string& directory, const std::vector<TRow>& rows, bool bplus = false);
}
namespace {

class AccessorRange : public ::testing::Test {
 protected:
  void SetUp() override {
    // KOD order: 10 (2), 20 (4), 30 (1), 40 (5), 50 (3).
    detail::CreateTable(FDir.Path(), {{"30", "", ""}, {"10", "", ""}, {"50", "", ""}, {"20", "", ""}, {"40", "", ""}});
    FPageManager.RegisterClient(1, 4096);
    FTable = std::make_unique<TTdbBaseTable>(FPageManager, FFileSystem, 1);
    FTable->SetRights(kNewTableRights);
    FTable->SetFileName(FDir.File("Vnd03.dat"));
    FTable->Open();
    FTable->Setup();
    FKod = FTable->GetIndexNo(u"KOD");
    FAccessor = std::make_unique<TTdbAccessor>(*FTable, u"test");
    FAccessor->SetAccess(tatIndex, FKod, false);
  }
  void TearDown() override {
    FAccessor.reset();
    FTable->Close();
  }
  // A bound of one level from a KOD text ("" = no bound).
  std::vector<std::uint8_t> Bound(const std::string& kod, bool upper) {
    if (kod.empty()) return {};
    std::vector<std::uint8_t> record(static_cast<std::size_t>(FTable->RecordSize()));
    FTable->InitRecord(record, false);
    const TTdbColumnDefs& columns = FTable->Columns();
    WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), Utf8ToUtf16(kod));
    std::vector<std::uint8_t> item;
    FTable->CalcIndexInfo(FKod, record, upper ? kUpperBoundRecNo : kLowerBoundRecNo, item);
    CompleteIndexInfo(FTable->GetIndexFile(FKod).Comparer(), item, 1, upper);
    return item;
  }

  TTempDir FDir;
  TdwOSFileSystem FFileSystem{FDir.Path()};
  TTdbPageManager FPageManager;
  std::unique_ptr<TTdbBaseTable> FTable;
  std::unique_ptr<TTdbAccessor> FAccessor;
  int FKod = -1;
};

TEST_F(AccessorRange, FirstLastAndCountWithinBounds) {
  struct Case {
    const char* lower;
    const char* upper;
    int first;  // record number, 0 when none
    int last;
    int count;
  };
  const Case cases[] = {
      {"20", "40", 4, 5, 3},
      {"", "25", 2, 4, 2},
      {"35", "", 5, 3, 2},
      {"20", "99", 4, 3, 4},   // nothing lies at or above the upper bound
      {"60", "99", 0, 0, 0},   // ... and the last item lies below the lower bound
      {"", "05", 0, 0, 0},
      {"31", "39", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lower) + ".." + c.upper);
    FAccessor->SetAccess(tatIndex, FKod, false);
    FAccessor->SetRange(Bound(c.lower, false), Bound(c.upper, true));
    EXPECT_EQ(FAccessor->First(), c.first ? 0 : kAccessorEnd);
    if (c.first) {
      EXPECT_EQ(FAccessor->RecordNo(), c.first);
    }
    EXPECT_EQ(FAccessor->Last(), c.last ? 0 : kAccessorEnd);
    if (c.last) {
      EXPECT_EQ(FAccessor->RecordNo(), c.last);
    }
    EXPECT_EQ(FAccessor->GetRecordCount(), c.count);
  }
}

}  // namespace
}  // namespace kestrel::test
