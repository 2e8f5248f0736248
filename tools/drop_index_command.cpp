// kestrel drop-index TABLE INDEX: removes a user index and its file, damaged
// or not; the indexes the table's keys and links keep are refused.
#include <cstdio>
#include <stdexcept>

#include "engine/base/code_page.h"
#include "tools/command.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

int RunDropIndex(const std::vector<std::string>& args) {
  return RunGuarded("drop-index", [&] {
    if (args.size() != 2) throw std::runtime_error("usage: kestrel drop-index TABLE INDEX");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], kNewTableRights);
    table.DeleteIndex(table.GetIndexNo(Utf8ToUtf16(args[1])));
    table.Close();
    std::printf("index %s dropped\n", args[1].c_str());
    return 0;
  });
}

}  // namespace kestrel::tool
