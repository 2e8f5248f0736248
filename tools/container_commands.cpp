// kestrel container new|list|check|compress|pack|unpack: single-file
// database containers as files: make an empty one, list what it holds,
// check its chains, rewrite it without free tiles, and move a directory
// database's files into a new container and out again.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "engine/container/compound_tools.h"
#include "engine/fs/os_file_system.h"
#include "engine/session/database_location.h"
#include "tools/command.h"

namespace kestrel::tool {

namespace {

constexpr const char* kUsage = "usage: kestrel container new|list|check|compress FILE, pack DIR FILE, unpack FILE DIR";

std::shared_ptr<TdwFileSystem> OsFileSystem() { return std::make_shared<TdwOSFileSystem>(); }

std::string Absolute(const std::string& name) { return TdwOSFileSystem().ExpandFileName(name); }

int New(const std::string& file) {
  TdwOSFileSystem os;
  if (os.GetFileInfo(file)) throw std::runtime_error(file + " exists already");
  TdwCompoundFileIntf(Absolute(file)).NewFile();
  std::printf("%s: new container\n", file.c_str());
  return 0;
}

int List(const std::string& file) {
  TdwCompoundFileIntf container(Absolute(file));
  container.FReadOnly = true;
  container.Open();
  for (const TdwCompoundListItem& item : ListCompoundFiles(container))
    std::printf("%s%s\t%" PRId64 "\n", item.FPath.c_str(), item.FIsDirectory ? "\\" : "", item.FSize);
  container.Close();
  return 0;
}

int Check(const std::string& file) {
  const int defects = CheckCompoundFile(OsFileSystem(), Absolute(file), [](const std::string& owner, const std::string& message) {
    std::printf("%s: %s\n", owner.c_str(), message.c_str());
  });
  if (defects > 0) return ReportError("container", file + ": " + std::to_string(defects) + " defect(s)");
  std::printf("%s: every chain, the free list and the directories agree\n", file.c_str());
  return 0;
}

int Compress(const std::string& file) {
  CompressCompoundFile(OsFileSystem(), Absolute(file));
  std::printf("%s: compressed\n", file.c_str());
  return 0;
}

int Pack(const std::string& directory, const std::string& file) {
  const std::string dir = Absolute(directory);
  const std::string controlFile = ControlFileName(dir);
  PackDirectory(OsFileSystem(), dir, Absolute(file), controlFile.substr(controlFile.rfind('/') + 1));
  std::printf("%s: packed from %s\n", file.c_str(), directory.c_str());
  return 0;
}

int Unpack(const std::string& file, const std::string& directory) {
  UnpackContainer(OsFileSystem(), Absolute(file), Absolute(directory));
  std::printf("%s: unpacked into %s\n", file.c_str(), directory.c_str());
  return 0;
}

}  // namespace

int RunContainer(const std::vector<std::string>& args) {
  return RunGuarded("container", [&] {
    const std::string action = args.empty() ? "" : args[0];
    if (args.size() == 2 && action == "new") return New(args[1]);
    if (args.size() == 2 && action == "list") return List(args[1]);
    if (args.size() == 2 && action == "check") return Check(args[1]);
    if (args.size() == 2 && action == "compress") return Compress(args[1]);
    if (args.size() == 3 && action == "pack") return Pack(args[1], args[2]);
    if (args.size() == 3 && action == "unpack") return Unpack(args[1], args[2]);
    throw std::runtime_error(kUsage);
  });
}

}  // namespace kestrel::tool
