// kestrel find TABLE --index NAME KEY: the record the incremental search
// lands on, as a CSV header and one record: the first record in the index's
// order whose key is not below KEY. When there is none (or the table is
// empty) it says so on stderr and exits with 2, so that scripts can tell
// "not found" from an error (1). Through the engine's flat call interface.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"

namespace kestrel::tool {

namespace {

constexpr int kNotFoundStatus = 2;

}  // namespace

int RunFind(const std::vector<std::string>& args) {
  return RunGuarded("find", [&] {
    if (args.size() != 4 || args[1] != "--index")
      throw std::runtime_error("usage: kestrel find TABLE --index NAME KEY");
    TApiTable table(args[0]);
    table.SetIndex(args[2]);
    if (!table.FindNearest(args[2], args[3])) {
      ReportError("find", "no record at or after \"" + args[3] + "\" in index " + args[2]);
      return kNotFoundStatus;
    }
    const std::string text = table.HeaderCsv() + table.RecordCsv();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
