// Record images handed in by a caller are checked against their columns
// before anything is written: a bad value gets error 43 naming its column,
// and the table file stays byte for byte as it was. Good images of every
// kind (NULLs, extreme values, a fresh image) go through.
#include <cmath>

#include "engine/table/record_image_check.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

class RecordImageCheckTest : public TableFixture {
 public:
  // One column of each kind that has values to check, at `level`.
  std::unique_ptr<TTdbBaseTable> CreateTypes(int level) {
    auto table = NewTable();
    table->SetFileName("Types.dat");
    table->SetLevel(level);
    table->AddColumn(NewColumnDef(u"S", TTdbDataType::MakeString(tctString, true, 4, u"", level)));
    table->AddColumn(NewColumnDef(u"B", TTdbDataType::Make(tctBoolean, true, level)));
    table->AddColumn(NewColumnDef(u"D", TTdbDataType::Make(tctDate, true, level)));
    table->AddColumn(NewColumnDef(u"T", TTdbDataType::Make(tctTime, true, level)));
    table->AddColumn(NewColumnDef(u"E", TTdbDataType::MakeEnum(true, {u"a", u"b", u"c"}, level)));
    table->AddColumn(NewColumnDef(u"F", TTdbDataType::MakeFloat(true, 2, level)));
    table->AddColumn(NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, true, level)));
    table->AddColumn(NewColumnDef(u"M", TTdbDataType::Make(tctMemo, true, level)));
    table->NewFile();
    table->Setup();
    return table;
  }
};

std::span<std::uint8_t> Column(TTdbBaseTable& table, std::vector<std::uint8_t>& record, int fieldNo) {
  return table.Columns().ColumnBytes(std::span<std::uint8_t>(record), static_cast<std::size_t>(fieldNo - 1));
}

TEST_F(RecordImageCheckTest, ABadValueIsRefusedNamingItsColumnAndNothingIsWritten) {
  struct Case {
    const char* what;
    int fieldNo;
    std::function<void(const TTdbDataType&, std::span<std::uint8_t>)> spoil;
  } cases[] = {
      {"text longer than the column", 1,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, std::u16string(u"abcd"));
         bytes[static_cast<std::size_t>(type.ValueOffset())] = 200;
       }},
      {"Boolean other than 0 or 1", 2,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, std::int64_t{1});
         bytes[static_cast<std::size_t>(type.ValueOffset())] = 7;
       }},
      {"day 31 of February", 3,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, TTdbDate{2024 * 512 + 2 * 32 + 1});
         bytes[static_cast<std::size_t>(type.ValueOffset())] = static_cast<std::uint8_t>(2 * 32 + 31);
       }},
      {"time beyond the day", 4,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, TTdbTime{0});
         for (int b = 0; b < 4; ++b) bytes[static_cast<std::size_t>(type.ValueOffset() + b)] = 0x7F;
       }},
      {"enumeration number without a name", 5,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, std::int64_t{1});
         bytes[static_cast<std::size_t>(type.ValueOffset())] = 9;
       }},
      {"Float that is not a number", 6,
       [](const TTdbDataType& type, std::span<std::uint8_t> bytes) {
         WriteValue(type, bytes, std::nan(""));
       }},
  };
  for (int level : {5, 6}) {
    RemoveAllFiles();
    auto table = CreateTypes(level);
    std::vector<std::uint8_t> good(static_cast<std::size_t>(table->RecordSize()));
    table->InitRecord(good, false);
    table->AppendRecord(good, {});
    table->Flush();
    const std::string data = Raw("Types.dat");
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at level " + std::to_string(level));
      std::vector<std::uint8_t> bad = good;
      c.spoil(table->Columns()[static_cast<std::size_t>(c.fieldNo - 1)].DataType, Column(*table, bad, c.fieldNo));
      const std::string name = Utf16ToUtf8(table->Columns()[static_cast<std::size_t>(c.fieldNo - 1)].Name);
      for (bool append : {true, false}) {
        std::string message;
        try {
          std::vector<std::uint8_t> image = bad;
          if (append)
            table->AppendRecord(image, {});
          else
            table->ReplaceRecord(image, {}, 1);
        } catch (const ETdbEngine& e) {
          EXPECT_EQ(e.Number(), tdbErrOutOfRange);
          message = e.Message();
        }
        EXPECT_NE(message.find("\"" + name + ":"), std::string::npos) << message;
      }
      table->Flush();
      EXPECT_EQ(table->RecordCount(), 1);
      EXPECT_TRUE(Raw("Types.dat") == data);
    }
    // A null indicator other than 0 or 1 (level 6 keeps one per column).
    if (level == 6) {
      std::vector<std::uint8_t> bad = good;
      const TTdbDataType& type = table->Columns()[6].DataType;
      Column(*table, bad, 7)[static_cast<std::size_t>(type.NullByteOffset())] = 5;
      EXPECT_EQ(ErrorOf([&] { table->AppendRecord(bad, {}); }), tdbErrOutOfRange);
    }
  }
}

TEST_F(RecordImageCheckTest, GoodImagesGoThrough) {
  auto table = CreateTypes(6);
  std::vector<std::uint8_t> fresh(static_cast<std::size_t>(table->RecordSize()));
  table->InitRecord(fresh, false);
  std::vector<std::uint8_t> full = fresh;
  const TTdbColumnDefs& columns = table->Columns();
  WriteValue(columns[0].DataType, Column(*table, full, 1), std::u16string(u"abcd"));
  WriteValue(columns[1].DataType, Column(*table, full, 2), std::int64_t{1});
  WriteValue(columns[2].DataType, Column(*table, full, 3), TTdbDate{9999 * 512 + 12 * 32 + 31});
  WriteValue(columns[3].DataType, Column(*table, full, 4), TTdbTime{863999990000});
  WriteValue(columns[4].DataType, Column(*table, full, 5), std::int64_t{3});
  WriteValue(columns[5].DataType, Column(*table, full, 6), -12.5);
  WriteValue(columns[6].DataType, Column(*table, full, 7), std::int64_t{-2147483647 - 1});
  for (std::vector<std::uint8_t>* image : {&fresh, &full}) EXPECT_EQ(ErrorOf([&] { table->AppendRecord(*image, {}); }), 0);
  EXPECT_EQ(table->RecordCount(), 2);
  EXPECT_TRUE(Check(*table).empty());
}

}  // namespace
}  // namespace kestrel::test
