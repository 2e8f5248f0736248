// Checking, compressing, listing, exporting, packing and unpacking
// containers.
#include "engine/container/compound_tools.h"

#include <filesystem>

#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

constexpr std::int64_t kCopyChunk = 65536;
constexpr int kAllFiles = 0x3F;

// One name of a listing.
struct TListItem {
  std::string FName;
  std::int64_t FSize = 0;
  bool FIsDirectory = false;
};

[[noreturn]] void Raise(const std::string& message) { throw ETdbEngine(tdbErrException, message); }

// Copies the file `from` of `source` to a new file `to` of `target`.
void CopyFile(TdwFileSystem& source, const std::string& from, TdwFileSystem& target, const std::string& to) {
  const TdwFileHandle in = source.OpenFile(from, kFmOpenRead | kFmShareDenyNone);
  if (!IsValidHandle(in)) Raise("File " + from + " not found.");
  const TdwFileHandle out = target.CreateFile(to);
  if (!IsValidHandle(out)) {
    source.CloseFile(in);
    Raise("Cannot create file " + to + ".");
  }
  std::string failure;
  std::vector<char> chunk(kCopyChunk);
  for (std::int64_t pos = 0; failure.empty();) {
    const std::int64_t got = source.FileRead(in, pos, chunk.data(), kCopyChunk);
    if (got < 0) failure = "Cannot read file " + from + ": " + TdwFileSystem::GetErrorMessage(source.GetLastError());
    if (got <= 0) break;
    if (target.FileWrite(out, pos, chunk.data(), got) != got)
      failure = "Cannot write file " + to + ": " + TdwFileSystem::GetErrorMessage(target.GetLastError());
    pos += got;
  }
  if (failure.empty() && !target.SyncFile(out))
    failure = "Cannot write file " + to + ": " + TdwFileSystem::GetErrorMessage(target.GetLastError());
  target.CloseFile(out);
  source.CloseFile(in);
  if (!failure.empty()) Raise(failure);
}

// "dir/name.ext" with `infix` before the extension.
std::string WithInfix(const std::string& fileName, const std::string& infix) {
  const std::filesystem::path path(fileName);
  return (path.parent_path() / (path.stem().string() + infix + path.extension().string())).string();
}

std::vector<TListItem> Listing(TdwFileSystem& fs, const std::string& pattern) {
  std::vector<TListItem> items;
  TdwFindFileRec rec;
  for (int rc = fs.FindFirstFile(pattern, kAllFiles, rec); rc == 0; rc = fs.FindNextFile(rec))
    items.push_back({rec.FName, rec.FSize, rec.FIsDirectory});
  fs.FindFileClose(rec);
  return items;
}

void CopyTree(TdwCompoundFileIntf& source, TdwCompoundFileIntf& target, const std::string& directory) {
  for (const TListItem& item : Listing(source, directory.empty() ? "*" : directory + "\\*")) {
    const std::string path = directory.empty() ? item.FName : directory + "\\" + item.FName;
    if (item.FIsDirectory) {
      if (!target.CreateDir(path)) Raise("Cannot create directory " + path + " in " + target.FileName() + ".");
      CopyTree(source, target, path);
    } else {
      CopyFile(source, path, target, path);
    }
  }
}

}  // namespace

int CheckCompoundFile(std::shared_ptr<TdwFileSystem> os, const std::string& fileName,
                      const TdwCompoundDefectSink& onDefect) {
  TdwCompoundFileImpl impl(std::move(os), fileName, true, true);
  impl.OpenAlone();
  try {
    const int defects = impl.PerformCheck(onDefect);
    impl.Discard();
    return defects;
  } catch (...) {
    impl.Discard();
    throw;
  }
}

void CompressCompoundFile(std::shared_ptr<TdwFileSystem> os, const std::string& fileName) {
  const std::string temporary = WithInfix(fileName, ".tmp");
  const std::string backup = WithInfix(fileName, ".bak");
  {
    TdwCompoundFileIntf source(fileName, os);
    source.FSharedAccess = false;
    source.FExclusive = true;
    source.FReadOnly = true;
    try {
      source.Open();
    } catch (const ETdbEngine&) {
      // Held open elsewhere when an exclusive open of the file is refused.
      const TdwFileHandle probe = os->OpenFile(fileName, kFmOpenRead | kFmShareExclusive);
      if (IsValidHandle(probe)) os->CloseFile(probe);
      else if (os->GetFileInfo(fileName)) Raise("Cannot compress with open files.");
      throw;
    }
    TdwCompoundFileIntf target(temporary, os);
    target.FSharedAccess = false;
    target.FExclusive = true;
    try {
      target.NewFile();
      target.Open();
      CopyTree(source, target, "");
      target.Close();
    } catch (...) {
      try {
        target.Close();
      } catch (...) {
        // The copy is deleted below; its close error adds nothing.
      }
      os->DeleteFile(temporary);
      throw;
    }
  }
  if (os->GetFileInfo(backup) && !os->DeleteFile(backup)) Raise("Cannot rename compound file \"" + fileName + "\".");
  if (!os->RenameFile(fileName, backup)) {
    os->DeleteFile(temporary);
    Raise("Cannot rename compound file \"" + fileName + "\".");
  }
  if (!os->RenameFile(temporary, fileName)) {
    os->RenameFile(backup, fileName);
    os->DeleteFile(temporary);
    Raise("Cannot rename compound file \"" + fileName + "\".");
  }
}

std::vector<TdwCompoundListItem> ListCompoundFiles(TdwCompoundFileIntf& container) {
  std::vector<TdwCompoundListItem> items;
  std::vector<std::string> directories{""};
  for (std::size_t next = 0; next < directories.size(); ++next) {
    const std::string directory = directories[next];
    for (const TListItem& item : Listing(container, directory.empty() ? "*" : directory + "\\*")) {
      const std::string path = directory.empty() ? item.FName : directory + "\\" + item.FName;
      items.push_back({path, item.FSize, item.FIsDirectory});
      if (item.FIsDirectory) directories.push_back(path);
    }
  }
  return items;
}

void ExportCompoundFile(TdwCompoundFileIntf& container, const std::string& filePath, TdwFileSystem& os,
                        const std::string& target) {
  if (!container.FileExists(filePath)) Raise("File " + filePath + " not found.");
  CopyFile(container, filePath, os, target);
}

void ExportCompoundFiles(TdwCompoundFileIntf& container, const std::string& directory, const std::string& mask,
                         TdwFileSystem& os, const std::string& dirName, bool recurse) {
  if (!os.DirectoryExists(dirName)) Raise("Directory \"" + dirName + "\" not found.");
  if (!directory.empty() && !container.DirectoryExists(directory)) Raise("Directory \"" + directory + "\" not found.");
  for (const TListItem& item : Listing(container, directory.empty() ? mask : directory + "\\" + mask)) {
    const std::string path = directory.empty() ? item.FName : directory + "\\" + item.FName;
    const std::string target = dirName + "/" + item.FName;
    if (!item.FIsDirectory) {
      CopyFile(container, path, os, target);
    } else if (recurse) {
      if (!os.DirectoryExists(target) && !os.CreateDir(target)) Raise("Cannot create directory " + target + ".");
      ExportCompoundFiles(container, path, "*", os, target, true);
    }
  }
}

void PackDirectory(std::shared_ptr<TdwFileSystem> os, const std::string& dirName, const std::string& fileName,
                   const std::string& skippedName) {
  if (!os->DirectoryExists(dirName)) Raise("Directory \"" + dirName + "\" not found.");
  if (os->GetFileInfo(fileName)) Raise("File " + fileName + " exists already.");
  TdwCompoundFileIntf target(fileName, os);
  target.FSharedAccess = false;
  target.FExclusive = true;
  try {
    target.NewFile();
    target.Open();
    for (const TListItem& item : Listing(*os, dirName + "/*")) {
      if (item.FIsDirectory || item.FName == skippedName) continue;
      CopyFile(*os, dirName + "/" + item.FName, target, item.FName);
    }
    target.Close();
  } catch (...) {
    try {
      target.Close();
    } catch (...) {
      // The new container is deleted below.
    }
    os->DeleteFile(fileName);
    throw;
  }
}

void UnpackContainer(std::shared_ptr<TdwFileSystem> os, const std::string& fileName, const std::string& dirName) {
  if (!os->DirectoryExists(dirName) && !os->ForcePath(dirName)) Raise("Cannot create directory " + dirName + ".");
  TdwCompoundFileIntf source(fileName, os);
  source.FReadOnly = true;
  source.Open();
  ExportCompoundFiles(source, "", "*", *os, dirName, true);
  source.Close();
}

}  // namespace kestrel
