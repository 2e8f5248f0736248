// Makes the classification table through the table object (a unit of its
// own: see cursor_fixture.cpp).
#include <string>
#include <vector>

#include "cursor_fixture.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

namespace kestrel::test::detail {

void CreateTable(const std::string& directory, const std::vector<TRow>& rows) {
  constexpr int kLevel = 5;
  TdwOSFileSystem fileSystem(directory);
  TTdbPageManager pageManager;
  pageManager.RegisterClient(1, 4096);
  TTdbBaseTable table(pageManager, fileSystem, 1);
  table.SetFileName(directory + "/Vnd03.dat");
  table.SetLevel(kLevel);
  table.AddColumn(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", kLevel)));
  table.AddColumn(NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, false, 40, u"", kLevel)));
  table.AddColumn(NewColumnDef(u"LEIRAS", TTdbDataType::Make(tctMemo, true, kLevel)));
  table.NewFile();
  table.Setup();
  table.CreateIndex(u"KOD", u"KOD", true);
  table.CreateIndex(u"INDMN", u"MEGNEV", false);
  for (const TRow& row : rows) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    table.InitRecord(record, false);
    const TTdbColumnDefs& columns = table.Columns();
    WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), Utf8ToUtf16(row.Kod));
    WriteValue(columns[1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 1), Utf8ToUtf16(row.Megnev));
    TTdbBlobDataList memo;
    if (!row.Leiras.empty()) memo.push_back({3, EncodeCodePage(Utf8ToUtf16(row.Leiras), kCodePageAnsi), {}});
    table.AppendRecord(record, memo);
  }
  table.Close();
  pageManager.UnregisterClient(1, 4096);
}

}  // namespace kestrel::test::detail
