// kestrel demo DIR [--records N]: the classification table Vnd03 in DIR,
// filled from the demo data kept beside the sources (demo/vnd03.csv), found
// relative to the executable (<exe dir>/../../demo) or at the path the build
// compiled in. With --records, N generated records in the shape of the demo
// data follow the demo set: codes "NN.NN.NNNN" (ten characters, none of
// them a demo code), the demo names in turn with a number, and the demo
// descriptions in turn; they are written in transactions of a bounded size.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/fs/file_system.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/table_spec.h"

namespace kestrel::tool {

namespace {

constexpr int kDemoLevel = 5;
constexpr const char* kDemoCsvRelative = "/../../demo/vnd03.csv";

std::string ExecutableDirectory() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string exe(path, static_cast<std::size_t>(length));
  return exe.substr(0, exe.find_last_of('/'));
}

std::string ReadDemoCsv() {
  for (const std::string& candidate :
       {ExecutableDirectory() + kDemoCsvRelative, std::string(VENDRIK_DEMO_CSV)}) {
    std::ifstream in(candidate, std::ios::binary);
    if (!in) continue;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  throw std::runtime_error("the demo data demo/vnd03.csv was not found");
}

constexpr int kGeneratedPerTransaction = 50000;
constexpr std::size_t kNameLength = 40;
constexpr int kMaxGenerated = 90 * 100 * 10000;

int ParseRecords(const std::string& text) {
  try {
    std::size_t used = 0;
    const long value = std::stol(text, &used);
    if (used == text.size() && value >= 0 && value <= kMaxGenerated) return static_cast<int>(value);
  } catch (const std::logic_error&) {
  }
  throw std::runtime_error("--records takes a number from 0 to " + std::to_string(kMaxGenerated) + ", not \"" +
                           text + "\"");
}

// The demo rows (code, name, description) as the pattern of generated ones.
std::vector<std::vector<std::string>> DemoRows(const std::string& csv) {
  TCsvReader reader(TCsvText{csv});
  std::vector<std::vector<std::string>> rows;
  std::vector<TCsvField> fields;
  int line = 0;
  reader.Next(fields, line);
  while (reader.Next(fields, line))
    if (fields.size() == 3) rows.push_back({fields[0].Text, fields[1].Text, fields[2].Text});
  if (rows.empty()) throw std::runtime_error("the demo data has no rows");
  return rows;
}

// Cuts UTF-8 text to at most `length` characters.
std::string CutCharacters(const std::string& text, std::size_t length) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == length) return text.substr(0, i);
  }
  return text;
}

int AppendGenerated(TTdbBaseTable& table, const std::string& csv, int records) {
  const std::vector<std::vector<std::string>> demo = DemoRows(csv);
  int written = 0;
  while (written < records) {
    const int batchEnd = std::min(records, written + kGeneratedPerTransaction);
    int next = written;
    written += AppendRows(table, {"KOD", "MEGNEV", "LEIRAS"}, [&](std::vector<TCsvField>& fields, int& line) {
      if (next >= batchEnd) return false;
      char code[16];
      std::snprintf(code, sizeof code, "%02d.%02d.%04d", 10 + next / 1000000, next / 10000 % 100, next % 10000);
      const std::vector<std::string>& pattern = demo[static_cast<std::size_t>(next) % demo.size()];
      const std::string number = " " + std::to_string(next + 1);
      fields = {{code}, {CutCharacters(pattern[1], kNameLength - number.size()) + number}, {pattern[2]}};
      line = ++next;
      return true;
    });
  }
  return written;
}

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  return RunGuarded("demo", [&] {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--records"))
      throw std::runtime_error("usage: kestrel demo DIR [--records N]");
    const int generated = args.size() == 3 ? ParseRecords(args[2]) : 0;
    const std::string csv = ReadDemoCsv();
    TToolTable tool;
    if (!tool.FileSystem().DirectoryExists(args[0]) && !tool.FileSystem().ForcePath(args[0]))
      throw std::runtime_error("cannot create the directory " + args[0]);
    TTableSpec spec;
    spec.Level = kDemoLevel;
    spec.Columns = {"KOD String(10) NOT NULL", "MEGNEV String(40) NOT NULL", "LEIRAS Memo"};
    spec.Indexes = {"KOD:KOD:unique", "INDMN:MEGNEV"};
    const std::string fileName = NewTableFileName(args[0] + "/Vnd03", kDemoLevel);
    CreateTable(tool, fileName, spec);
    TTdbBaseTable& table = tool.Table();
    try {
      TCsvReader reader(TCsvText{csv});
      const int count = ImportCsv(table, reader) + AppendGenerated(table, csv, generated);
      table.Close();
      std::printf("%s: %d records\n", fileName.c_str(), count);
    } catch (...) {
      const std::vector<std::string> files = table.GetFileNames();
      try {
        table.Close();
      } catch (const std::exception&) {
      }
      for (const std::string& file : files) tool.FileSystem().DeleteFile(file);
      throw;
    }
    return 0;
  });
}

}  // namespace kestrel::tool
