// kestrel export TABLE [--index NAME]: the records as CSV on stdout.
#include <cstdio>
#include <stdexcept>

#include "engine/table/code_page.h"
#include "tools/command.h"
#include "tools/table_spec.h"

namespace kestrel::tool {

int RunExport(const std::vector<std::string>& args) {
  return RunGuarded("export", [&] {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--index"))
      throw std::runtime_error("usage: kestrel export TABLE [--index NAME]");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], 0);
    const int indexNo = args.size() == 3 ? table.GetIndexNo(Utf8ToUtf16(args[2])) : -1;
    const std::string text = ExportCsv(table, indexNo);
    table.Close();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
