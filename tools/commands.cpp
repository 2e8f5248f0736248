// The table of the kestrel tool's commands.
#include <cstdio>

#include "engine/base/engine_error.h"

#include "tools/command.h"

namespace kestrel::tool {

const std::vector<TToolCommand>& ToolCommands() {
  static const std::vector<TToolCommand> kCommands = {
      {"info", "TABLE", "describe a table file as JSON", RunInfo},
      {"create", "TABLE --level N [--collation NAME] [--capacity N] --column \"NAME TYPE[(SIZE)] [NOT NULL]\" ... [--index \"NAME:SPEC[:unique]\"] ...",
       "create a table with its indexes", RunCreate},
      {"import", "TABLE FILE.csv", "append the rows of a CSV file in one transaction", RunImport},
      {"export", "TABLE [--index NAME] [--filter COND]", "write the records as CSV to standard output", RunExport},
      {"count", "TABLE [--filter COND]", "count the records (that satisfy the condition)", RunCount},
      {"find", "TABLE --index NAME KEY", "the record the incremental search finds for KEY, as CSV", RunFind},
      {"check", "TABLE", "check that records, memos and indexes agree", RunCheck},
      {"reindex", "TABLE [INDEX]", "rebuild indexes from the records", RunReindex},
      {"demo", "DIR [--records N]", "create the demo classification table Vnd03 in DIR (N more generated records)", RunDemo},
  };
  return kCommands;
}

int ReportError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "kestrel %s: %s\n", command.c_str(), message.c_str());
  return 1;
}

int RunGuarded(const std::string& command, const std::function<int()>& body) {
  try {
    return body();
  } catch (const ETdbEngine& e) {
    return ReportError(command, e.Message());
  } catch (const std::exception& e) {
    return ReportError(command, e.what());
  }
}

}  // namespace kestrel::tool
