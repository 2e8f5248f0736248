// kestrel import TABLE FILE.csv: appends every row in one transaction.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/command.h"
#include "tools/table_spec.h"

namespace kestrel::tool {

int RunImport(const std::vector<std::string>& args) {
  return RunGuarded("import", [&] {
    if (args.size() != 2) throw std::runtime_error("usage: kestrel import TABLE FILE.csv");
    std::ifstream in(args[1], std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + args[1]);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + args[1]);
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(args[0], kAccessRightsMask);
    const int count = ImportCsv(table, text.str());
    table.Close();
    std::printf("%d records imported\n", count);
    return 0;
  });
}

}  // namespace kestrel::tool
