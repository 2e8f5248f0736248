// kestrel demo DIR: the classification table Vnd03 in DIR, filled from the
// demo data kept beside the sources (demo/vnd03.csv), found relative to the
// executable (<exe dir>/../../demo) or at the path the build compiled in.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/fs/file_system.h"
#include "tools/command.h"
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

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  return RunGuarded("demo", [&] {
    if (args.size() != 1) throw std::runtime_error("usage: kestrel demo DIR");
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
      const int count = ImportCsv(table, csv);
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
