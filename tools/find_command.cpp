// kestrel find TABLE --index NAME (KEY | --key COL=VALUE ...): the record the
// incremental search lands on, as a CSV header and one record: the first
// record in the index's order whose key is not below the key given. KEY goes
// into the index's first column; --key COL=VALUE, repeated, fills its first
// columns in order (multi-column keys). When there is no such record (or the
// table is empty) it says so on stderr and exits with 2, so that scripts can
// tell "not found" from an error (1). Through the engine's flat call
// interface.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"
#include "tools/csv.h"

namespace kestrel::tool {

namespace {

constexpr int kNotFoundStatus = 2;
constexpr const char* kFindUsage = "usage: kestrel find TABLE --index NAME (KEY | --key COL=VALUE ...)";

}  // namespace

int RunFind(const std::vector<std::string>& args) {
  return RunGuarded("find", [&] {
    std::string indexName;
    bool indexed = false, positional = false;
    std::vector<TApiTable::TFindKey> keys;
    std::string keyText;
    for (std::size_t i = 1; i < args.size(); ++i) {
      const bool hasValue = i + 1 < args.size();
      if (args[i] == "--index" && hasValue && !indexed) {
        indexName = args[++i];
        indexed = true;
      } else if (args[i] == "--key" && hasValue && !positional) {
        const std::string& pair = args[++i];
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos || equals == 0)
          throw std::runtime_error("--key takes COL=VALUE, not " + QuoteValue(pair));
        keys.push_back({pair.substr(0, equals), pair.substr(equals + 1)});
        keyText += (keyText.empty() ? "" : ", ") + pair;
      } else if (keys.empty() && !positional && args[i].rfind("--", 0) != 0) {
        keys.push_back({"", args[i]});
        keyText = args[i];
        positional = true;
      } else {
        throw std::runtime_error(kFindUsage);
      }
    }
    if (args.empty() || !indexed || keys.empty()) throw std::runtime_error(kFindUsage);
    TApiTable table(args[0]);
    table.SetIndex(indexName);
    if (!table.FindNearest(indexName, keys, positional)) {
      ReportError("find", "no record at or after " + QuoteValue(keyText) + " in index " + indexName);
      return kNotFoundStatus;
    }
    const std::string text = table.HeaderCsv() + table.RecordCsv();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
