// kestrel check TABLE: every record, memo chain and index agree (exit 0), or
// a short report on stdout and exit 1.
#include <cstdio>
#include <stdexcept>

#include "engine/table/table_check.h"
#include "tools/command.h"
#include "tools/tool_table.h"

namespace kestrel::tool {

int RunCheck(const std::vector<std::string>& args) {
  return RunGuarded("check", [&] {
    if (args.size() != 1) throw std::runtime_error("usage: kestrel check TABLE");
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], 0);
    const std::vector<std::string> problems = CheckTable(table);
    const std::int32_t records = table.RecordCount();
    const int indexes = table.IndexCount();
    table.Close();
    for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
    if (!problems.empty()) return ReportError("check", args[0] + ": records, memos and indexes do not agree");
    std::printf("%s: %d records, %d indexes: all agree\n", args[0].c_str(), records, indexes);
    return 0;
  });
}

}  // namespace kestrel::tool
