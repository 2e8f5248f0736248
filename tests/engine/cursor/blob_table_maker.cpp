// Makes the table of the memo and blob transfer tests through the table
// object (a unit of its own: see cursor_fixture.cpp): KOD String(10), then
// a Memo, a Blob and a WideMemo column (fields 2, 3, 4), no records.
#include <string>

#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

namespace kestrel::test::detail {

void CreateBlobTable(const std::string& directory, int level) {
  TdwOSFileSystem fileSystem(directory);
  TTdbPageManager pageManager;
  pageManager.RegisterClient(1, 4096);
  TTdbBaseTable table(pageManager, fileSystem, 1);
  table.SetFileName(directory + "/Blobs.dat");
  table.SetLevel(level);
  table.AddColumn(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", level)));
  table.AddColumn(NewColumnDef(u"M", TTdbDataType::Make(tctMemo, true, level)));
  table.AddColumn(NewColumnDef(u"B", TTdbDataType::Make(tctBlob, true, level)));
  table.AddColumn(NewColumnDef(u"W", TTdbDataType::Make(tctWideMemo, true, level)));
  table.NewFile();
  table.Setup();
  table.Close();
  pageManager.UnregisterClient(1, 4096);
}

}  // namespace kestrel::test::detail
