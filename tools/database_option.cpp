// The --db option of the table commands.
#include "tools/database_option.h"

#include "engine/container/compound_file_intf.h"
#include "engine/fs/os_file_system.h"
#include "engine/session/database_location.h"

namespace kestrel::tool {

namespace {

std::string& Location() {
  static std::string location;
  return location;
}

}  // namespace

bool TakeDatabaseOption(std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] != "--db") {
      ++i;
      continue;
    }
    if (i + 1 >= args.size()) return false;
    Location() = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
  }
  return true;
}

const std::string& DatabaseLocation() { return Location(); }

std::unique_ptr<TdwFileSystem> ToolFileSystem() {
  if (Location().empty()) return std::make_unique<TdwOSFileSystem>();
  TdwOSFileSystem os;
  const TTdbDatabaseLocation where = ResolveDatabaseLocation(os, Location());
  if (where.FType == dbtDirectory) return std::make_unique<TdwOSFileSystem>(where.FPath);
  return std::make_unique<TdwCompoundFileIntf>(where.FPath);
}

void OpenToolFileSystem(TdwFileSystem& fileSystem, bool create) {
  auto* container = dynamic_cast<TdwCompoundFileIntf*>(&fileSystem);
  if (container == nullptr || container->IsOpen()) return;
  TdwOSFileSystem os;
  if (create && !os.GetFileInfo(container->FileName())) container->NewFile();
  container->Open();
}

}  // namespace kestrel::tool
