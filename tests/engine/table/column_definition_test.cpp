// Column definitions: the old options form both ways, and the record
// layout (positions recomputed on replace, column bytes of an image).
#include <gtest/gtest.h>

#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/table/column_definition.h"

namespace kestrel {
namespace {

TEST(ColumnDefinition, OldOptionsForm) {
  struct Case {
    uint32_t old;
    TTdbColumnType type;
    int level;
    uint32_t current;
    uint8_t reduced;
  } cases[] = {
      {0x00, tctInt16, 3, 0x00, 0x00},
      {0x08, tctInt16, 3, 0x28, 0x08},   // indicator: nullable
      {0x00, tctDate, 2, 0x20, 0x00},    // NULL by value: nullable
      {0x00, tctMemo, 3, 0x20, 0x00},
      {0x00, tctTime, 3, 0x00, 0x00},    // Time needs the indicator
      {0x00, tctString, 3, 0x00, 0x00},  // never nullable below level 4
      {0x09, tctLink, 3, 0x61, 0x09},    // 0x08 becomes 0x40 for Link ...
      {0x08, tctRecordId, 4, 0x60, 0x08},  // ... and RecordId, and goes back
      {0x0F, tctFloat, 1, 0x2F, 0x0F},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertOldOptions(c.old, c.type, c.level), c.current) << c.old << " " << int(c.type);
    EXPECT_EQ(ReduceToOldOptions(c.current), c.reduced) << c.current;
  }
}

TEST(ColumnDefinition, LayoutFollowsTheSizes) {
  TTdbColumnDefs columns;
  columns.Add(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", 6)));
  columns.Add(NewColumnDef(u"N", TTdbDataType::Make(tctInt16, true, 6)));
  columns.Add(NewColumnDef(u"M", TTdbDataType::MakeString(tctMemo, true, 0, u"", 6)));
  EXPECT_EQ(columns[1].Options, kColumnOptionNullable | kColumnOptionNullByte);
  EXPECT_EQ(columns[2].Position, 14);
  EXPECT_EQ(columns.RecordSize(), 18);
  columns.Replace(0, NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 20, u"", 6)));
  EXPECT_EQ(columns[1].Position, 21);
  EXPECT_EQ(columns[2].Position, 24);
  EXPECT_EQ(columns.RecordSize(), 28);

  std::vector<uint8_t> record(28, 0);
  WriteValue(columns[1].DataType, columns.ColumnBytes(std::span<uint8_t>(record), 1), int64_t{-2});
  EXPECT_EQ(record[21], 1);
  EXPECT_EQ(record[22], 0xFE);
  EXPECT_EQ(record[23], 0xFF);
  std::vector<uint8_t> shortRecord(27);
  EXPECT_THROW(columns.ColumnBytes(std::span<uint8_t>(shortRecord), 0), ETdbEngine);
}

}  // namespace
}  // namespace kestrel
