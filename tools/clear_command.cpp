// kestrel clear TABLE: removes every record of a table at once (the files go
// back to empty ones, the relation tables of its Relation columns too).
#include <cstdio>
#include <stdexcept>

#include "tools/command.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

int RunClear(const std::vector<std::string>& args) {
  return RunGuarded("clear", [&] {
    if (args.size() != 1) throw std::runtime_error("usage: kestrel clear TABLE");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], kNewTableRights);
    const std::int32_t removed = table.ClearDat();
    table.Close();
    std::printf("%d records removed\n", removed);
    return 0;
  });
}

}  // namespace kestrel::tool
