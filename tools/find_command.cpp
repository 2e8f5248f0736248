// kestrel find TABLE --index NAME KEY: the record the incremental search
// lands on, as a CSV header and one record: the first record in the index's
// order whose key is not below KEY, or the last record when there is none.
// Through the engine's flat call interface.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"

namespace kestrel::tool {

int RunFind(const std::vector<std::string>& args) {
  return RunGuarded("find", [&] {
    if (args.size() != 4 || args[1] != "--index")
      throw std::runtime_error("usage: kestrel find TABLE --index NAME KEY");
    TApiTable table(args[0]);
    table.SetIndex(args[2]);
    if (!table.FindNearest(args[2], args[3])) {
      const std::int32_t last = TdbTableLast(table.Cursor());
      if (last == TDB_ERR_RECORD_NOT_EXISTS) throw std::runtime_error("the table has no records");
      table.Check(last, "reading the last record");
    }
    const std::string text = table.HeaderCsv() + table.RecordCsv();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
