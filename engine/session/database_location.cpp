// Database location rules and the directory database's control file.
#include "engine/session/database_location.h"

#include <filesystem>
#include <optional>

#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

std::string Absolute(TdwFileSystem& fileSystem, const std::string& location) {
  std::string path = fileSystem.ExpandFileName(location.empty() ? "." : location);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ParentDirectory(const std::string& path) {
  std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "/" : parent;
}

}  // namespace

bool IsCompoundFile(TdwFileSystem& fileSystem, const std::string& fileName) {
  const TdwFileHandle handle = fileSystem.OpenFile(fileName, kFmOpenRead | kFmShareDenyNone);
  if (!IsValidHandle(handle)) return true;
  std::uint8_t bytes[4] = {};
  const std::int64_t read = fileSystem.FileRead(handle, 0, bytes, sizeof bytes);
  fileSystem.CloseFile(handle);
  if (read != static_cast<std::int64_t>(sizeof bytes)) return false;
  const std::uint32_t magic =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return magic == kCompoundMagic;
}

TTdbDatabaseLocation ResolveDatabaseLocation(TdwFileSystem& fileSystem,
                                             const std::string& location) {
  const std::string path = Absolute(fileSystem, location);
  const std::optional<TdwFileInfo> info = fileSystem.GetFileInfo(path);
  if (info && !info->FIsDirectory) {
    if (IsCompoundFile(fileSystem, path)) return {dbtSingleFile, path};
    return {dbtDirectory, ParentDirectory(path)};
  }
  if (info) return {dbtDirectory, path};
  if (std::filesystem::path(path).has_extension()) throw ETdbEngine(tdbErrFileNotFound, location);
  return {dbtSingleFile, path + std::string(kControlFileExtension)};
}

std::string ControlFileName(const std::string& directory) {
  const std::string name = std::filesystem::path(directory).filename().string();
  const std::string separator = directory.ends_with('/') ? "" : "/";
  return directory + separator + name + std::string(kControlFileExtension);
}

void EnsureControlFile(TdwFileSystem& fileSystem, const std::string& directory) {
  const std::string fileName = ControlFileName(directory);
  if (fileSystem.GetFileInfo(fileName)) return;
  const TdwFileHandle handle = fileSystem.CreateFile(fileName);
  if (!IsValidHandle(handle)) {
    // Another program opening the database at the same moment made it.
    if (fileSystem.GetFileInfo(fileName)) return;
    throw ETdbEngine(tdbErrCreatePermission, fileName);
  }
  const auto size = static_cast<std::int64_t>(kControlFileText.size());
  const bool written = fileSystem.FileWrite(handle, 0, kControlFileText.data(), size) == size &&
                       fileSystem.SyncFile(handle);
  fileSystem.CloseFile(handle);
  if (!written) {
    fileSystem.DeleteFile(fileName);
    throw ETdbEngine(tdbErrWriteFile, fileName);
  }
}

}  // namespace kestrel
