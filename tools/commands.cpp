// The table of the kestrel tool's commands.
#include <cstdio>

#include "engine/base/engine_error.h"

#include "tools/command.h"
#include "tools/password_option.h"

namespace kestrel::tool {

const std::vector<TToolCommand>& ToolCommands() {
  static const std::vector<TToolCommand> kCommands = {
      {"info", "TABLE", "describe a table file as JSON", "",
       "Prints the file's kind, level, record count, collation, indexes and columns.", RunInfo},
      {"create",
       "TABLE --level N [--collation NAME] [--capacity N] --column \"NAME TYPE[(SIZE)] [NOT NULL]\" ... "
       "[--index \"NAME:SPEC[:unique]\"] ... [--encryption METHOD --password KEY]",
       "create a table with its indexes", "--level --collation --capacity --column --index --encryption",
       "TABLE without an extension gets .dat (levels 2 to 5) or .tdbt (level 6).\n"
       "METHOD: none, protection, classic (levels 2 and 3), fast, blowfish or aes (levels 4 to 6).\n"
       "Column types, index specs, levels and collations: see kestrel --help.\n"
       "Example:\n"
       "  kestrel create Vnd03 --level 5 --column \"KOD String(10) NOT NULL\" "
       "--column \"MEGNEV String(40)\" --index \"KOD:KOD:unique\" --index \"INDMN:-MEGNEV, KOD\"",
       RunCreate},
      {"import", "TABLE FILE.csv", "append the rows of a CSV file in one transaction", "",
       "The first row names the columns to fill. A bad row rolls every row back.\n"
       "Value formats: see kestrel --help.",
       RunImport},
      {"export", "TABLE [--index NAME] [--filter COND]", "write the records as CSV to standard output",
       "--index --filter",
       "Physical order, or the order of the index NAME; only the records that satisfy COND.\n"
       "The filter language: see kestrel --help.",
       RunExport},
      {"count", "TABLE [--filter COND]", "count the records (that satisfy the condition)", "--filter",
       "The filter language: see kestrel --help.", RunCount},
      {"find", "TABLE --index NAME KEY", "the record the incremental search finds for KEY, as CSV", "--index",
       "Prints the header and the first record whose key in index NAME is not below KEY.\n"
       "When there is none it says so on standard error and exits with status 2.",
       RunFind},
      {"check", "TABLE", "check that records, memos and indexes agree", "",
       "Exits 0 when all agree; else lists the problems and exits 1.", RunCheck},
      {"reindex", "TABLE [INDEX]", "rebuild indexes from the records", "",
       "Rebuilds the index INDEX, or every index of the table.", RunReindex},
      {"demo", "DIR [--records N]", "create the demo classification table Vnd03 in DIR (N more generated records)",
       "--records", "Creates DIR when it is missing; refuses a DIR that already holds Vnd03.", RunDemo},
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
    return ReportError(command, e.Number() == tdbErrCredentials ? kWrongPasswordText : e.Message());
  } catch (const std::exception& e) {
    return ReportError(command, e.what());
  }
}

}  // namespace kestrel::tool
