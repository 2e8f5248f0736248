// The table of the kestrel tool's commands.
#include <cstdio>

#include "engine/base/engine_error.h"

#include "tools/command.h"
#include "tools/password_option.h"

namespace kestrel::tool {

const std::vector<TToolCommand>& ToolCommands() {
  static const std::vector<TToolCommand> kCommands = {
      {"info", "TABLE", "describe a table file as JSON", "",
       "Prints the file's kind, level, record count, collation, columns, candidate keys, check constraints,\n"
       "foreign keys, what each index indexes and the table's files.",
       RunInfo},
      {"create",
       "TABLE --level N [--collation NAME] [--capacity N] --column \"NAME TYPE[(SIZE)] [NOT NULL]\" ... "
       "[--index \"NAME:SPEC[:unique]\"] ... [--primary-key COLS] [--unique NAME:COLS] ... "
       "[--check NAME:CONDITION] ... [--foreign-key NAME:COLS:PARENT:PARENTCOLS] ... "
       "[--encryption METHOD --password KEY] [--kind bplus|heap]",
       "create a table with its indexes and constraints",
       "--level --collation --capacity --column --index --primary-key --unique --check --foreign-key --encryption "
       "--kind",
       "TABLE without an extension gets .dat (levels 2 to 5) or .tdbt (level 6).\n"
       "METHOD: none, protection, classic (levels 2 and 3), fast, blowfish or aes (levels 4 to 6).\n"
       "Constraints (levels 4 to 6), checked on every change:\n"
       "  --primary-key COLS  the columns (separated by commas) that identify a record; kept by index sys_Primary\n"
       "  --unique NAME:COLS  another key no two records share; kept by the unique index NAME\n"
       "  --check NAME:CONDITION  a condition every record meets (a NULL in it lets the record pass)\n"
       "  --foreign-key NAME:COLS:PARENT:PARENTCOLS  a record whose COLS are not all NULL needs a record of\n"
       "      table PARENT with the same values in PARENTCOLS, and that record cannot go while it is referred to;\n"
       "      PARENT must exist already (or be the table itself); COLS get the index IR_NAME when none orders by them\n"
       "Column types, index specs, levels and collations: see kestrel --help.\n"
       "Example:\n"
       "  kestrel create Vnd03 --level 5 --column \"KOD String(10) NOT NULL\" "
       "--column \"MEGNEV String(40)\" --index \"KOD:KOD:unique\" --index \"INDMN:-MEGNEV, KOD\"",
       RunCreate},
      {"import", "TABLE FILE.csv [--delimiter C] [--encoding NAME]", "append the rows of a CSV file in one transaction",
       "--delimiter --encoding",
       "The first row names the columns to fill (case and accents ignored, each once).\n"
       "A bad row rolls every row back; the message names its line, column and value.\n"
       "FILE.csv - reads standard input. A UTF-8 byte-order mark and blank lines at the end are skipped.\n"
       "  --delimiter C    the field separator: one character, or tab (default ,)\n"
       "  --encoding NAME  the file's encoding as ICU names it: windows-1250, ISO-8859-1, UTF-16LE, ...\n"
       "                   (default UTF-8; bytes that are not UTF-8 are refused with their line and column)\n"
       "An empty unquoted field is NULL, \"\" the empty text. Value formats: see kestrel --help.",
       RunImport},
      {"export", "TABLE [--index NAME] [--reverse] [--filter COND] [--columns A,B,...]",
       "write the records as CSV to standard output",
       "--index --filter --columns --reverse!",
       "Physical order, or the order of the index NAME; only the records that satisfy COND.\n"
       "  --reverse        the last record first\n"
       "  --columns A,B    only these columns, in this order\n"
       "NULL is written as the empty field, the empty text as \"\". The filter language: see kestrel --help.",
       RunExport},
      {"count", "TABLE [--filter COND]", "count the records (that satisfy the condition)", "--filter",
       "The filter language: see kestrel --help.", RunCount},
      {"find", "TABLE --index NAME (KEY | --key COL=VALUE ...)", "the record the incremental search finds for KEY, as CSV",
       "--index --key",
       "Prints the header and the first record whose key in index NAME is not below KEY.\n"
       "KEY goes into the index's first column; --key COL=VALUE, repeated, fills its first columns in order.\n"
       "When there is none it says so on standard error and exits with status 2.",
       RunFind},
      {"update", "TABLE --set COL=VALUE ... [--filter COND] [--dry-run]",
       "change columns of the records (that satisfy the condition) in one transaction", "--set --filter --dry-run!",
       "VALUE is written as in a CSV field: empty for NULL, \"\" for the empty text.\n"
       "Without --filter every record changes. Prints the count; --dry-run prints it and changes nothing.\n"
       "Example:\n"
       "  kestrel update /tmp/demo/Vnd03 --set LEIRAS= --filter \"KOD LIKE '01%'\"",
       RunUpdate},
      {"delete", "TABLE --filter COND [--dry-run]", "delete the records that satisfy the condition in one transaction",
       "--filter --dry-run!",
       "Prints the count; --dry-run prints it and deletes nothing. --filter \"1 = 1\" deletes every record.",
       RunDelete},
      {"drop", "TABLE", "remove a table's files", "",
       "Removes the table file with its memo, index and lock files. Refused while another program has it open.",
       RunDrop},
      {"check", "TABLE", "check that records, memos and indexes agree", "",
       "Exits 0 when all agree; else lists the problems and exits 1.", RunCheck},
      {"reindex", "TABLE [INDEX]", "rebuild indexes from the records", "",
       "Rebuilds the index INDEX, or every index of the table, whatever its old file holds.\n"
       "Each new file is written beside the old one and takes its place when it is whole.", RunReindex},
      {"drop-index", "TABLE INDEX", "remove an index and its file", "",
       "Removes the index INDEX from the table and deletes its file, also when the file is damaged.\n"
       "The indexes the table's keys and links keep are not dropped. Refused while another program has the\n"
       "table open.",
       RunDropIndex},
      {"clear", "TABLE", "remove every record at once", "",
       "Empties the table file, its memo and blob files, every index and the relation tables of its Relation\n"
       "columns. A program stopped in the middle leaves the old table or the empty one. Refused while another\n"
       "program has the table open.",
       RunClear},
      {"demo", "DIR [--records N]", "create the demo classification table Vnd03 in DIR (N more generated records)",
       "--records", "Creates DIR when it is missing; refuses a DIR that already holds Vnd03.", RunDemo},
      {"container", "new|list|check|compress FILE | pack DIR FILE | unpack FILE DIR",
       "single-file database containers", "",
       "new FILE: an empty container named FILE as given (refused when FILE exists).\n"
       "list FILE: one line per file: its path inside the container and its size in bytes.\n"
       "check FILE: every chain, the free list and the directories agree (exit 0), else the defects (exit 1).\n"
       "compress FILE: rewrite without free tiles; the old one is kept as NAME.bak.EXT.\n"
       "pack DIR FILE: a new container FILE holding the files of the directory database DIR.\n"
       "unpack FILE DIR: copy every file of the container into DIR (created when missing).",
       RunContainer},
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
    if (e.Number() == tdbErrIndexCorrupt) return ReportError(command, e.Message() + kRebuildHint);
    return ReportError(command, e.Number() == tdbErrCredentials ? kWrongPasswordText : e.Message());
  } catch (const std::exception& e) {
    return ReportError(command, e.what());
  }
}

}  // namespace kestrel::tool
