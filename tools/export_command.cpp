// kestrel export TABLE [--index NAME] [--filter COND]: the records as CSV on
// stdout, read through the engine's flat call interface: in physical order
// or the order of an index, and only those that satisfy the condition.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"

namespace kestrel::tool {

namespace {

constexpr const char* kExportUsage = "usage: kestrel export TABLE [--index NAME] [--filter COND]";

}  // namespace

int RunExport(const std::vector<std::string>& args) {
  return RunGuarded("export", [&] {
    if (args.empty() || args.size() % 2 != 1) throw std::runtime_error(kExportUsage);
    std::string indexName, filter;
    bool filtered = false;
    for (std::size_t i = 1; i < args.size(); i += 2) {
      if (args[i] == "--index" && indexName.empty()) {
        indexName = args[i + 1];
      } else if (args[i] == "--filter" && !filtered) {
        filter = args[i + 1];
        filtered = true;
      } else {
        throw std::runtime_error(kExportUsage);
      }
    }
    TApiTable table(args[0]);
    table.SetIndex(indexName);
    if (filtered) table.SetFilter(filter);
    std::string text = table.HeaderCsv();
    const std::int32_t first = TdbTableFirst(table.Cursor());
    if (first != TDB_ERR_RECORD_NOT_EXISTS) {
      table.Check(first, "reading the records");
      for (std::int32_t step = 0; step != TDB_ERR_RECORD_NOT_EXISTS;
           step = TdbTableMoveBy(table.Cursor(), 1)) {
        table.Check(step, "reading the records");
        text += table.RecordCsv();
      }
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
