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

void CreateTable(const std::string& directory, const std::vector<TRow>& rows, bool bplus) {
  const int kLevel = bplus ? 6 : 5;
  TdwOSFileSystem fileSystem(directory);
  TTdbPageManager pageManager;
  pageManager.RegisterClient(1, 4096);
  TTdbBaseTable table(pageManager, fileSystem, 1);
  table.SetFileName(directory + (bplus ? "/Vnd03.tdbt" : "/Vnd03.dat"));
  table.SetLevel(kLevel);
  const std::size_t kod = bplus ? 1 : 0;
  if (bplus) table.AddColumn(NewColumnDef(kBPlusRecordIdName, TTdbDataType::Make(tctRecordId, false, kLevel)));
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
    WriteValue(columns[kod].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), kod),
               Utf8ToUtf16(row.Kod));
    WriteValue(columns[kod + 1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), kod + 1),
               Utf8ToUtf16(row.Megnev));
    TTdbBlobDataList memo;
    if (!row.Leiras.empty()) memo.push_back({3 + static_cast<int>(kod), EncodeCodePage(Utf8ToUtf16(row.Leiras), kCodePageAnsi), {}});
    table.AppendRecord(record, memo);
  }
  table.Close();
  pageManager.UnregisterClient(1, 4096);
}

}  // namespace kestrel::test::detail
