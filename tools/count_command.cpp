// kestrel count TABLE [--filter COND]: the number of records, or of those
// that satisfy the condition, through the engine's flat call interface.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"

namespace kestrel::tool {

int RunCount(const std::vector<std::string>& args) {
  return RunGuarded("count", [&] {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--filter"))
      throw std::runtime_error("usage: kestrel count TABLE [--filter COND]");
    TApiTable table(args[0]);
    if (args.size() == 3) table.SetFilter(args[2]);
    const std::int32_t count = table.Check(TdbTableRecordCount(table.Cursor()), "counting");
    std::printf("%d\n", static_cast<int>(count));
    return 0;
  });
}

}  // namespace kestrel::tool
