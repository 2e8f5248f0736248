// kestrel export TABLE [--index NAME] [--reverse] [--filter COND]
// [--columns A,B]: the records as CSV on stdout, read through the engine's
// flat call interface: in physical order or the order of an index (backwards
// with --reverse), only those that satisfy the condition, and only the
// columns named. Each record is written as it is read, so memory stays the
// same whatever the table's size.
#include <cstdio>
#include <stdexcept>

#include "tools/api_table.h"
#include "tools/command.h"

namespace kestrel::tool {

namespace {

constexpr const char* kExportUsage =
    "usage: kestrel export TABLE [--index NAME] [--reverse] [--filter COND] [--columns A,B,...]";

void Write(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
    throw std::runtime_error("cannot write to standard output");
}

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);
    if (name.empty()) throw std::runtime_error("--columns takes column names separated by commas");
    names.push_back(name);
    if (comma == std::string::npos) return names;
    start = comma + 1;
  }
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
  return RunGuarded("export", [&] {
    if (args.empty() || args[0].rfind("--", 0) == 0) throw std::runtime_error(kExportUsage);
    std::string indexName, filter, columns;
    bool filtered = false, reverse = false, indexed = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
      const bool hasValue = i + 1 < args.size();
      if (args[i] == "--index" && hasValue && !indexed) {
        indexName = args[++i];
        indexed = true;
      } else if (args[i] == "--filter" && hasValue && !filtered) {
        filter = args[++i];
        filtered = true;
      } else if (args[i] == "--columns" && hasValue && columns.empty()) {
        columns = args[++i];
        if (columns.empty()) throw std::runtime_error("--columns takes column names separated by commas");
      } else if (args[i] == "--reverse" && !reverse) {
        reverse = true;
      } else {
        throw std::runtime_error(kExportUsage);
      }
    }
    TApiTable table(args[0]);
    table.SetIndex(indexName);
    if (filtered) table.SetFilter(filter);
    if (!columns.empty()) table.SelectColumns(SplitNames(columns));
    Write(table.HeaderCsv());
    const std::int32_t first = reverse ? TdbTableLast(table.Cursor()) : TdbTableFirst(table.Cursor());
    if (first != TDB_ERR_RECORD_NOT_EXISTS) {
      table.Check(first, "reading the records");
      for (std::int32_t step = 0; step != TDB_ERR_RECORD_NOT_EXISTS;
           step = TdbTableMoveBy(table.Cursor(), reverse ? -1 : 1)) {
        table.Check(step, "reading the records");
        Write(table.RecordCsv());
      }
    }
    if (std::fflush(stdout) != 0) throw std::runtime_error("cannot write to standard output");
    return 0;
  });
}

}  // namespace kestrel::tool
