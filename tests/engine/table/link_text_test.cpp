// The text shown for a Link value (DoGetLinkString): table T links to table
// Other (record id, NAME, QTY, a note memo) and to itself ("@"). The text
// is the linked record's shown values; a NULL link is empty, and a link to
// no record, a column that is no Link and a linked table that is not there
// are refused with their errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "table_fixture.h"

namespace kestrel::test {
namespace {

constexpr int kLevel = 5;
constexpr int kToOther = 3, kToSelf = 4;  // Id, Name, L, S

class LinkText : public TableFixture {
 protected:
  // Other holds (1, "alpha", 7), (2, "beta", NULL) and (3, NULL, NULL); T
  // holds (1, "first") and (2, "second").
  void MakeTables() {
    auto other = NewTable();
    other->SetFileName("Other.dat");
    other->SetLevel(kLevel);
    other->AddColumn(NewColumnDef(u"Id", TTdbDataType::Make(tctRecordId, false, kLevel)));
    other->AddColumn(NewColumnDef(u"NAME", TTdbDataType::MakeString(tctString, true, 10, u"", kLevel)));
    other->AddColumn(NewColumnDef(u"QTY", TTdbDataType::Make(tctLongInt, true, kLevel)));
    other->AddColumn(NewColumnDef(u"NOTE", TTdbDataType::Make(tctMemo, true, kLevel)));
    other->NewFile();
    AppendRows(*other, {{u"alpha", 7}, {u"beta", 0}, {u"", 0}});
    other->Close();

    FTable = NewTable();
    FTable->SetFileName("T.dat");
    FTable->SetLevel(kLevel);
    FTable->AddColumn(NewColumnDef(u"Id", TTdbDataType::Make(tctRecordId, false, kLevel)));
    FTable->AddColumn(NewColumnDef(u"NAME", TTdbDataType::MakeString(tctString, true, 10, u"", kLevel)));
    TTdbColumnDef toOther = NewColumnDef(u"L", TTdbDataType::Make(tctLink, true, kLevel));
    toOther.LinkedTable = u"Other";
    FTable->AddColumn(std::move(toOther));
    TTdbColumnDef toSelf = NewColumnDef(u"S", TTdbDataType::Make(tctLink, true, kLevel));
    toSelf.LinkedTable = u"@";
    FTable->AddColumn(std::move(toSelf));
    FTable->NewFile();
    AppendRows(*FTable, {{u"first", 0}, {u"second", 0}});
  }
  // Appends records with the next record id, a name (empty: NULL) and, when
  // the table has a QTY column, a quantity (0: NULL).
  static void AppendRows(TTdbBaseTable& table, const std::vector<std::pair<std::u16string, std::int64_t>>& rows) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    for (const auto& [name, qty] : rows) {
      table.InitRecord(record, true);
      const TTdbColumnDefs& columns = table.Columns();
      if (!name.empty()) WriteValue(columns[1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 1), name);
      if (qty != 0 && columns[2].DataType.ColumnType() == tctLongInt)
        WriteValue(columns[2].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 2), qty);
      table.AppendRecord(record, {});
    }
  }
  // A record of T whose Link columns hold `toOther` and `toSelf` (0: NULL).
  std::vector<std::uint8_t> Linking(std::int64_t toOther, std::int64_t toSelf) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(FTable->RecordSize()));
    FTable->ReadRecord(1, record);
    const TTdbColumnDefs& columns = FTable->Columns();
    for (const auto& [column, id] : {std::make_pair(kToOther, toOther), std::make_pair(kToSelf, toSelf)})
      WriteValue(columns[column - 1].DataType,
                 columns.ColumnBytes(std::span<std::uint8_t>(record), static_cast<std::size_t>(column - 1)),
                 id == 0 ? TTdbValue{} : TTdbValue{id});
    return record;
  }

  std::unique_ptr<TTdbBaseTable> FTable;
};

TEST_F(LinkText, TheLinkedRecordIsShown) {
  MakeTables();
  struct Case {
    const char* What;
    std::int64_t ToOther, ToSelf;
    int FieldNo;
    std::u16string Text;
    int Error;
  };
  const Case cases[] = {
      {"a NULL link", 0, 0, kToOther, u"", 0},
      {"every shown value", 1, 0, kToOther, u"alpha, 7", 0},
      {"NULLs left out", 2, 0, kToOther, u"beta", 0},
      {"a record of NULLs", 3, 0, kToOther, u"", 0},
      {"the table itself", 0, 2, kToSelf, u"second", 0},
      {"no record with the id", 9, 0, kToOther, u"", tdbErrRecordNotFound},
      {"not a Link column", 1, 0, 2, u"", tdbErrFieldTypeRequired},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::vector<std::uint8_t> record = Linking(c.ToOther, c.ToSelf);
    try {
      EXPECT_EQ(Utf16ToUtf8(FTable->DoGetLinkString(record, c.FieldNo)), Utf16ToUtf8(c.Text));
      EXPECT_EQ(c.Error, 0);
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), c.Error) << e.what();
    }
  }
  FTable->Close();
}

TEST_F(LinkText, AMissingLinkedTableIsNamed) {
  MakeTables();
  FTable->Close();
  std::filesystem::remove(FDir.File("Other.dat"));
  FTable = NewTable();
  FTable->SetFileName("T.dat");
  FTable->Open();
  FTable->Setup();
  try {
    FTable->DoGetLinkString(Linking(1, 0), kToOther);
    ADD_FAILURE() << "no error";
  } catch (const ETdbEngine& e) {
    EXPECT_EQ(e.Number(), tdbErrTableNotFound);
    EXPECT_EQ(e.Message(), "Table \"Other\" not found");
  }
  FTable->Close();
}

}  // namespace
}  // namespace kestrel::test
