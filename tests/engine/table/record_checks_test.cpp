// NULL in NOT NULL columns: a Date, DateTime or Enum column declared NOT NULL
// has no null indicator, so the zero bytes that are NULL elsewhere are
// refused on append and on replace, and the table keeps what it had.
#include <gtest/gtest.h>

#include <vector>

#include "table_fixture.h"

namespace kestrel::test {
namespace {

class RecordChecksTest : public TableFixture {
 protected:
  std::unique_ptr<TTdbBaseTable> CreateDated() {
    auto table = NewTable();
    table->SetFileName("Dated.dat");
    table->SetLevel(5);
    table->AddColumn(NewColumnDef(u"NAP", TTdbDataType::Make(tctDate, false, 5)));
    table->AddColumn(NewColumnDef(u"IDO", TTdbDataType::Make(tctDateTime, false, 5)));
    table->AddColumn(NewColumnDef(u"SZABAD", TTdbDataType::Make(tctDate, true, 5)));
    table->NewFile();
    table->Setup();
    return table;
  }
};

TEST_F(RecordChecksTest, NullInANotNullColumnIsRefusedOnAppendAndReplace) {
  auto table = CreateDated();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
  table->InitRecord(record, false);
  ASSERT_EQ(table->AppendRecord(record, {}), 1) << "a new record holds valid values in NOT NULL columns";
  struct Case {
    const char* column;
    int fieldNo;
    bool refused;
  } cases[] = {{"NAP", 1, true}, {"IDO", 2, true}, {"SZABAD", 3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    std::vector<std::uint8_t> changed(record);
    const std::span<std::uint8_t> bytes =
        table->Columns().ColumnBytes(std::span<std::uint8_t>(changed), static_cast<std::size_t>(c.fieldNo - 1));
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    if (!c.refused) {
      EXPECT_NO_THROW(table->ReplaceRecord(changed, {}, 1));
      continue;
    }
    const std::int32_t count = table->RecordCount();
    try {
      table->AppendRecord(changed, {});
      ADD_FAILURE() << "append took NULL";
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), tdbErrNullNotAccepted);
      EXPECT_NE(e.Message().find(c.column), std::string::npos) << e.Message();
    }
    EXPECT_THROW(table->ReplaceRecord(changed, {}, 1), ETdbEngine);
    EXPECT_EQ(table->RecordCount(), count);
    std::vector<std::uint8_t> stored(record.size());
    table->ReadRecord(1, stored);
    EXPECT_EQ(stored, record);
  }
}

}  // namespace
}  // namespace kestrel::test
