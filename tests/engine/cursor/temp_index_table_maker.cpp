// Makes the table of the temporary index tests through the table object (a
// unit of its own: see cursor_fixture.cpp).
#include <string>
#include <utility>
#include <vector>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

namespace kestrel::test::detail {

// Vnd03 at `level` in `directory`: KOD String(10) with the unique index KOD,
// MEGNEV String(40) without an index, one record per row (KOD, MEGNEV).
void CreateCodeIndexedTable(const std::string& directory, int level,
                            const std::vector<std::pair<std::string, std::string>>& rows) {
  TdwOSFileSystem fileSystem(directory);
  TTdbPageManager pageManager;
  pageManager.RegisterClient(1, 4096);
  {
    TTdbBaseTable table(pageManager, fileSystem, 1);
    table.SetFileName(directory + "/Vnd03.dat");
    table.SetLevel(level);
    table.AddColumn(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", level)));
    table.AddColumn(NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, false, 40, u"", level)));
    table.NewFile();
    table.Setup();
    table.CreateIndex(u"KOD", u"KOD", true);
    const TTdbColumnDefs& columns = table.Columns();
    for (const auto& [kod, megnev] : rows) {
      std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
      table.InitRecord(record, false);
      WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), Utf8ToUtf16(kod));
      WriteValue(columns[1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 1),
                 Utf8ToUtf16(megnev));
      table.AppendRecord(record, {});
    }
    table.Close();
  }
  pageManager.UnregisterClient(1, 4096);
}

}  // namespace kestrel::test::detail
