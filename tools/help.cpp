// The kestrel tool's help texts. The full help is also the source of the
// manual page (scripts/make-manpage): a "Usage:" line, paragraphs, headings
// that end with ":" and entries "TERM<two blanks>TEXT".
#include "tools/help.h"

#include <cstdio>
#include <sstream>

namespace kestrel::tool {

namespace {

constexpr const char* kIntroduction =
    "Reads and writes the tables of the Kestrel database engine from the shell.\n"
    "A table is named by its file, with or without the extension (.dat or .tdbt).\n"
    "Every command answers --help. The exit status is 0 on success and 1 on an error;\n"
    "an error is one line on standard error. find exits with 2 when no record lies at or\n"
    "after the key.\n";

constexpr const char* kReference =
    "Column types:\n"
    "  Char  one 8-bit character (1 byte)\n"
    "  String(N)  8-bit text (Windows-1250) of up to N characters, N from 1 to 32764 (N+1 bytes, N+2 from 256)\n"
    "  WideString(N)  UTF-16 text of up to N characters, N from 1 to 16382 (2N+2 bytes)\n"
    "  Byte  whole number 0 to 255 (1 byte)\n"
    "  Int16  whole number (2 bytes)\n"
    "  LongInt  whole number (4 bytes)\n"
    "  Int64  whole number (8 bytes)\n"
    "  Float  floating-point number (8 bytes)\n"
    "  Boolean  true or false (1 byte)\n"
    "  Date  a day (4 bytes)\n"
    "  Time  a time of day to the millisecond (4 bytes)\n"
    "  DateTime  a day and a time (8 bytes)\n"
    "  Guid  a GUID (16 bytes)\n"
    "  Memo  8-bit text of any length, kept in the memo file (4 bytes in the record)\n"
    "  WideMemo  UTF-16 text of any length, kept in the memo file (4 bytes in the record)\n"
    "  Blob  bytes of any length, kept in the blob file (4 bytes in the record)\n"
    "  RecordId  the record's id, handed out by the engine when an import leaves the column out (4 bytes)\n"
    "  Enum(a,b,c)  one of the names given, kept as its number 1, 2, 3 ... (1 byte); imported and exported by name\n"
    "  Link(TABLE)  the record id of a record of TABLE (4 bytes)\n"
    "  Relation(TABLE)  records of TABLE related to the record, kept in a relation table of their own\n"
    "      (COLUMN.rel beside the table, TABLE!rel_COLUMN.tdbt at level 6; nothing in the record)\n"
    "\n"
    "A column can hold NULL unless NOT NULL follows its type. A nullable column takes one\n"
    "more byte, except Date, DateTime, Memo, WideMemo and Blob. Below level 4, Char, String\n"
    "and WideString columns cannot hold NULL.\n"
    "Type names are matched without regard to case.\n"
    "\n"
    "Index specs:\n"
    "  NAME:SPEC[:unique]  the form --index takes; :unique refuses two records with the same key\n"
    "  KOD  one column, ascending\n"
    "  -KOD, MEGNEV  several columns separated by commas; \"-\" makes a column descending\n"
    "\n"
    "Table levels:\n"
    "  5  heap files: the table (.dat), its memos (.mmo), its blobs (.blb), one file per index (.ind)\n"
    "  6  B+ tree files: the table (.tdbt), its memos (.tdbm), its blobs (.tdbb), one file per index (.tdbi)\n"
    "  2 to 4  older heap files; create refuses what they cannot hold (Int64, Guid, long String ...)\n"
    "  --kind bplus  create only: a B+ tree table file (level 6), whose records are kept in the order of their\n"
    "       record id, the column \"_XXX RecordId\" put first; a first column \"_XXX RecordId\" at level 6 makes one too\n"
    "  --kind heap  create only: refuse columns that would make a B+ tree table file\n"
    "\n"
    "Collations:\n"
    "  Kestrel  the engine's own comparison, the default (also the empty name)\n"
    "  --collation NAME  the table's collation, for its text columns and indexes (levels 5 and 6)\n"
    "  LANGUAGE  a language's rules by its English name: Hungarian, German, Greek ...\n"
    "  _CS or _CI  suffix: case sensitive or insensitive, as in Hungarian_CI\n"
    "  _AS or _AI  suffix: accent sensitive or insensitive, as in Hungarian_CI_AI\n"
    "\n"
    "Encryption:\n"
    "  --encryption METHOD  create only: none, protection, classic (levels 2 and 3), fast, blowfish or aes (levels 4 to 6)\n"
    "  --password KEY  the table's key, taken by every command that opens a table\n"
    "  KESTREL_PASSWORD  the key when --password is not given\n"
    "  wrong password  the one-line error of a wrong or missing key (exit status 1)\n"
    "\n"
    "Import value formats:\n"
    "  CSV  comma-separated UTF-8 (--delimiter, --encoding); a field with the delimiter, a quote or a line\n"
    "       break in double quotes, \"\" for a quote; a byte-order mark and blank lines at the end are skipped\n"
    "  header  the first row names the columns to fill (case and accents ignored); the others are left empty\n"
    "  text  as written; String and Memo columns take only characters of Windows-1250\n"
    "  whole numbers  123, -4\n"
    "  Float  2.5, -0.125, 1e3\n"
    "  Boolean  true or false, in any case\n"
    "  Date  YYYY-MM-DD, as 2024-03-31\n"
    "  Time  HH:MM, HH:MM:SS or HH:MM:SS.mmm (one to three digits), as 13:05 or 13:05:00.250\n"
    "  DateTime  YYYY-MM-DD, a blank or T, and a time, as 2024-03-31T13:05:00; the date alone is midnight\n"
    "  Guid  {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\n"
    "  Blob  hexadecimal digits, two per byte\n"
    "  NULL  the empty unquoted field; \"\" is the empty text\n"
    "  empty field  NULL where the column takes it; the empty text in a NOT NULL text column; else refused\n"
    "\n"
    "export writes the same formats (NULL as the empty field, the empty text as \"\"), so its output imports\n"
    "again with the same NULLs.\n"
    "\n"
    "Filters:\n"
    "  The --filter condition is an SQL search condition over the table's columns.\n"
    "  comparisons  =  <>  <  <=  >  >=\n"
    "  predicates  BETWEEN a AND b, IN (a, b, ...), LIKE 'pattern' (% any text, _ one character), IS [NOT] NULL\n"
    "  logic  AND, OR, NOT and parentheses\n"
    "  values  'text' in single quotes ('' for a quote), numbers, NULL, column names\n"
    "  functions  UPPER, LOWER, TRIM, SUBSTRING, LENGTH, ABS, ROUND, TODAY, NOW and more\n"
    "\n"
    "Texts compare under the table's collation.\n"
    "\n"
    "Examples:\n"
    "  kestrel demo /tmp/demo\n"
    "  kestrel count /tmp/demo/Vnd03 --filter \"KOD LIKE '01%'\"\n"
    "  kestrel export /tmp/demo/Vnd03 --index INDMN --filter \"MEGNEV >= 'B' AND LEIRAS IS NOT NULL\"\n"
    "  kestrel find /tmp/demo/Vnd03 --index KOD 02\n";

bool Write(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

std::string UsageLine(const TToolCommand& command) {
  return std::string("kestrel ") + command.Name + " " + command.Usage;
}

}  // namespace

bool IsHelpOption(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int PrintHelp() {
  std::ostringstream text;
  text << "Usage: kestrel COMMAND [ARGUMENTS] | kestrel COMMAND --help | kestrel --help | kestrel --version\n\n"
       << kIntroduction << "\nCommands:\n";
  for (const TToolCommand& command : ToolCommands())
    text << "  " << UsageLine(command) << "\n      " << command.Summary << "\n";
  text << "  kestrel help [COMMAND]\n      this help, or the help of one command\n\n" << kReference;
  return Write(text.str()) ? 0 : 1;
}

int PrintCommandHelp(const TToolCommand& command) {
  std::ostringstream text;
  std::string summary = command.Summary;
  if (summary[0] >= 'a' && summary[0] <= 'z') summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
  text << "Usage: " << UsageLine(command) << "\n\n" << summary << ".\n";
  if (*command.Details != '\0') text << command.Details << "\n";
  return Write(text.str()) ? 0 : 1;
}

int PrintVersion() { return Write(std::string("kestrel ") + KESTREL_TOOL_VERSION + "\n") ? 0 : 1; }

int RefuseUsage(const TToolCommand* command, const std::string& problem) {
  if (command != nullptr) {
    std::fprintf(stderr, "kestrel %s: %s\nusage: %s\nTry 'kestrel %s --help' for more.\n", command->Name,
                 problem.c_str(), UsageLine(*command).c_str(), command->Name);
  } else {
    std::fprintf(stderr, "kestrel: %s\nusage: kestrel COMMAND [ARGUMENTS]\ncommands:", problem.c_str());
    for (const TToolCommand& each : ToolCommands()) std::fprintf(stderr, " %s", each.Name);
    std::fprintf(stderr, "\nTry 'kestrel --help' for more.\n");
  }
  return 1;
}

// Marks an option of TToolCommand::Options that takes no value.
constexpr char kFlagMark = '!';

TArgumentScan ScanArguments(const TToolCommand& command, const std::vector<std::string>& args) {
  std::istringstream list(command.Options);
  std::vector<std::string> options;
  for (std::string option; list >> option;) options.push_back(option);
  TArgumentScan scan;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool known = false, flag = false;
    for (const std::string& option : options) {
      known = known || arg == option;
      flag = flag || (option.back() == kFlagMark && arg == option.substr(0, option.size() - 1));
    }
    if (known) {
      ++i;  // its value may start with "-" ("-KOD, MEGNEV")
    } else if (flag) {
      continue;
    } else if (IsHelpOption(arg)) {
      scan.Help = true;
    } else if (scan.Unknown.empty() && arg.size() > 1 && arg[0] == '-' &&
               (arg[1] == '-' || (arg[1] >= 'a' && arg[1] <= 'z') || (arg[1] >= 'A' && arg[1] <= 'Z'))) {
      scan.Unknown = arg;
    }
  }
  return scan;
}

}  // namespace kestrel::tool
