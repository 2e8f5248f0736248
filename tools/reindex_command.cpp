// kestrel reindex TABLE [INDEX]: rebuilds one index or all from the records.
#include <cstdio>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "tools/command.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

int RunReindex(const std::vector<std::string>& args) {
  return RunGuarded("reindex", [&] {
    if (args.empty() || args.size() > 2) throw std::runtime_error("usage: kestrel reindex TABLE [INDEX]");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], kNewTableRights);
    int count = 0;
    if (args.size() == 2) {
      table.RebuildIndex(table.GetIndexNo(Utf8ToUtf16(args[1])));
      count = 1;
    } else {
      for (int no = 0; no <= table.LastIndexNo(); ++no)
        if (table.HasIndex(no)) {
          table.RebuildIndex(no);
          ++count;
        }
    }
    table.Close();
    std::printf("%d indexes rebuilt\n", count);
    return 0;
  });
}

}  // namespace kestrel::tool
