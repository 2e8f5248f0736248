// kestrel create TABLE --level N [--collation NAME] [--capacity N]
//   --column "NAME TYPE[(SIZE)] [NOT NULL]" ... [--index "NAME:SPEC[:unique]"] ...
//   [--primary-key COLS] [--unique NAME:COLS] ... [--check NAME:CONDITION] ...
//   [--foreign-key NAME:COLS:PARENT:PARENTCOLS] ...
//   [--encryption METHOD] (the key: --password or KESTREL_PASSWORD, see password_option.h)
//   [--kind bplus|heap] (see TTableSpec::FileKind)
#include <stdexcept>

#include "tools/command.h"
#include "tools/password_option.h"
#include "tools/table_spec.h"

namespace kestrel::tool {

namespace {

int ParseInt(const std::string& text, const std::string& option) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (const std::logic_error&) {
  }
  throw std::runtime_error(option + " takes a number, not \"" + text + "\"");
}

}  // namespace

int RunCreate(const std::vector<std::string>& args) {
  return RunGuarded("create", [&] {
    if (args.empty()) throw std::runtime_error("usage: kestrel create TABLE --level N --column ...");
    TTableSpec spec;
    for (std::size_t i = 1; i < args.size(); i += 2) {
      const std::string& option = args[i];
      if (i + 1 >= args.size()) throw std::runtime_error(option + " needs a value");
      const std::string& value = args[i + 1];
      if (option == "--level")
        spec.Level = ParseInt(value, option);
      else if (option == "--collation")
        spec.Collation = value;
      else if (option == "--capacity")
        spec.Capacity = ParseInt(value, option);
      else if (option == "--column")
        spec.Columns.push_back(value);
      else if (option == "--index")
        spec.Indexes.push_back(value);
      else if (option == "--primary-key")
        spec.PrimaryKey = value;
      else if (option == "--unique")
        spec.UniqueKeys.push_back(value);
      else if (option == "--check")
        spec.Checks.push_back(value);
      else if (option == "--foreign-key")
        spec.ForeignKeys.push_back(value);
      else if (option == "--encryption")
        spec.Encryption = ParseEncryptionMethod(value);
      else if (option == "--kind")
        spec.FileKind = value;
      else
        throw std::runtime_error("unknown option " + option);
    }
    if (spec.Level == 0) throw std::runtime_error("--level is needed");
    TToolTable tool;
    CreateTable(tool, NewTableFileName(args[0], spec.Level), spec);
    tool.Table().Close();
    return 0;
  });
}

}  // namespace kestrel::tool
