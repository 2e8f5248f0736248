// The container's directories: entries read and written through the
// directory's own content, paths walked from the root, and the operations
// that create, find, rename and remove files and directories.
//
// Error codes are errno values: ENOENT for a missing file or path, EBUSY for
// a file in use, EEXIST for a name taken, EXDEV for a rename across
// directories, ENAMETOOLONG for a name the entry cannot hold (refused, never
// cut).
#include <algorithm>
#include <cerrno>

#include "engine/base/engine_error.h"
#include "engine/container/compound_file.h"

namespace kestrel {

namespace {

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= static_cast<std::size_t>(kMaxEntryNameLength) &&
         name.find('\0') == std::string::npos && name != "." && name != "..";
}

}  // namespace

TdwDirEntry TdwCompoundFileImpl::ReadEntry(TdwVirtualFile& dir, int index, bool checked) {
  std::uint8_t bytes[kEntrySize];
  if (Read(dir, static_cast<std::int64_t>(index) * kEntrySize, bytes, kEntrySize) != kEntrySize)
    Damaged("directory \"" + dir.FName + "\" ends inside an entry");
  TdwDirEntry entry;
  const std::int64_t tileCount = checked ? TileCount() : kMaxTileCount;
  if (!DecodeDirEntry(bytes, tileCount * kCompoundTileSize, tileCount, entry)) {
    Damaged("entry " + std::to_string(index) + " of directory \"" + dir.FName + "\" is invalid");
  }
  return entry;
}

void TdwCompoundFileImpl::WriteEntry(TdwVirtualFile& dir, int index, const TdwDirEntry& entry) {
  std::uint8_t bytes[kEntrySize];
  EncodeDirEntry(entry, bytes);
  if (Write(dir, static_cast<std::int64_t>(index) * kEntrySize, bytes, kEntrySize) != kEntrySize)
    Damaged("directory \"" + dir.FName + "\" cannot take an entry");
}

int TdwCompoundFileImpl::EntryCount(TdwVirtualFile& dir) {
  if (dir.FSize % kEntrySize != 0)
    Damaged("directory \"" + dir.FName + "\" is not a whole number of entries");
  return static_cast<int>(dir.FSize / kEntrySize);
}

int TdwCompoundFileImpl::FindEntry(TdwVirtualFile& dir, const std::string& name, TdwDirEntry* found) {
  const int count = EntryCount(dir);
  for (int index = 0; index < count; ++index) {
    const TdwDirEntry entry = ReadEntry(dir, index);
    if (!entry.FName.empty() && SameEntryName(entry.FName, name)) {
      if (found) *found = entry;
      return index;
    }
  }
  return -1;
}

int TdwCompoundFileImpl::NewEntry(TdwVirtualFile& dir, const TdwDirEntry& entry) {
  const int count = EntryCount(dir);
  int index = 0;
  while (index < count && !ReadEntry(dir, index).FName.empty()) ++index;
  WriteEntry(dir, index, entry);
  return index;
}

TdwVirtualFile* TdwCompoundFileImpl::FindOpen(TdwVirtualFile* dir, int index) const {
  for (const auto& file : FVirtualFiles)
    if (file->FDirectory == dir && file->FDirIndex == index) return file.get();
  return nullptr;
}

TdwVirtualFile& TdwCompoundFileImpl::Attach(TdwVirtualFile& dir, int index, const TdwDirEntry& entry) {
  if (TdwVirtualFile* open = FindOpen(&dir, index)) return *open;
  auto file = std::make_unique<TdwVirtualFile>();
  file->FDirectory = &dir;
  file->FDirIndex = index;
  file->FIsDirectory = entry.FIsDirectory;
  file->FStartPageNo = entry.FFirstTile;
  file->FSize = entry.FSize;
  file->FEntryStart = entry.FFirstTile;
  file->FEntrySize = entry.FSize;
  file->FName = (dir.FDirectory ? dir.FName + "\\" : "") + entry.FName;
  FVirtualFiles.push_back(std::move(file));
  return *FVirtualFiles.back();
}

void TdwCompoundFileImpl::Detach(TdwVirtualFile* file) {
  if (file->FIsDirectory || file->FRefCount > 0) return;
  // A file with changes waiting for the commit stays until CommitAll.
  const bool pending = std::any_of(file->FSlots.begin(), file->FSlots.end(),
                                   [](const auto& item) { return item.second.FFlags != 0; });
  if (pending || file->FStartPageNo != file->FEntryStart || file->FSize != file->FEntrySize) return;
  std::erase_if(FVirtualFiles, [&](const std::unique_ptr<TdwVirtualFile>& item) { return item.get() == file; });
}

int TdwCompoundFileImpl::Parent(const std::vector<std::string>& path, TdwVirtualFile*& dir) {
  dir = FVirtualFiles[0].get();
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    TdwDirEntry entry;
    const int index = FindEntry(*dir, path[i], &entry);
    if (index < 0 || !entry.FIsDirectory) return ENOENT;
    dir = &Attach(*dir, index, entry);
  }
  return 0;
}

int TdwCompoundFileImpl::OpenFile(const std::vector<std::string>& path, bool create, TdwVirtualFile*& file) {
  file = nullptr;
  if (path.empty()) return ENOENT;
  if (!ValidName(path.back())) return path.back().size() > kMaxEntryNameLength ? ENAMETOOLONG : ENOENT;
  TdwVirtualFile* dir = nullptr;
  if (const int error = Parent(path, dir)) return error;
  TdwDirEntry entry;
  int index = FindEntry(*dir, path.back(), &entry);
  if (index >= 0 && entry.FIsDirectory) return create ? EEXIST : ENOENT;
  if (index >= 0) {
    TdwVirtualFile* open = FindOpen(dir, index);
    if (create && open && open->FRefCount > 0) return EBUSY;
    file = &Attach(*dir, index, entry);
    ++file->FRefCount;
    if (create) Resize(*file, 0);
    return 0;
  }
  if (!create) return ENOENT;
  entry = TdwDirEntry();
  entry.FName = path.back();
  entry.FCreated = entry.FChanged = CompoundNow();
  index = NewEntry(*dir, entry);
  file = &Attach(*dir, index, entry);
  ++file->FRefCount;
  return 0;
}

void TdwCompoundFileImpl::ReleaseFile(TdwVirtualFile* file) {
  if (file == nullptr || file->FRefCount == 0) return;
  --file->FRefCount;
  Detach(file);
}

std::optional<TdwCompoundEntryInfo> TdwCompoundFileImpl::Stat(const std::vector<std::string>& path) {
  TdwCompoundEntryInfo info;
  if (path.empty()) {
    info.FEntry.FIsDirectory = true;
    info.FEntry.FSize = FVirtualFiles[0]->FSize;
    info.FEntry.FFirstTile = 1;
    return info;
  }
  if (Parent(path, info.FDirectory) != 0) return std::nullopt;
  info.FIndex = FindEntry(*info.FDirectory, path.back(), &info.FEntry);
  if (info.FIndex < 0) return std::nullopt;
  if (const TdwVirtualFile* open = FindOpen(info.FDirectory, info.FIndex)) info.FEntry.FSize = open->FSize;
  return info;
}

int TdwCompoundFileImpl::CreateDir(const std::vector<std::string>& path) {
  if (path.empty()) return EEXIST;
  if (!ValidName(path.back())) return path.back().size() > kMaxEntryNameLength ? ENAMETOOLONG : ENOENT;
  TdwVirtualFile* dir = nullptr;
  if (const int error = Parent(path, dir)) return error;
  if (FindEntry(*dir, path.back(), nullptr) >= 0) return EEXIST;
  TdwDirEntry entry;
  entry.FName = path.back();
  entry.FIsDirectory = true;
  entry.FCreated = entry.FChanged = CompoundNow();
  NewEntry(*dir, entry);
  return 0;
}

int TdwCompoundFileImpl::RemoveDir(const std::vector<std::string>& path) {
  if (path.empty()) return ENOENT;
  TdwVirtualFile* parent = nullptr;
  if (Parent(path, parent) != 0) return ENOENT;
  TdwDirEntry entry;
  const int index = FindEntry(*parent, path.back(), &entry);
  if (index < 0 || !entry.FIsDirectory) return ENOENT;
  TdwVirtualFile& dir = Attach(*parent, index, entry);
  const int count = EntryCount(dir);
  for (int i = 0; i < count; ++i)
    if (!ReadEntry(dir, i).FName.empty()) return ENOENT;
  for (const auto& file : FVirtualFiles)
    if (file->FDirectory == &dir) return EBUSY;
  Resize(dir, 0);
  TdwDirEntry freed;
  freed.FFirstTile = kTileListEmpty;
  WriteEntry(*parent, index, freed);
  std::erase_if(FVirtualFiles, [&](const std::unique_ptr<TdwVirtualFile>& item) { return item.get() == &dir; });
  return 0;
}

int TdwCompoundFileImpl::DeleteFile(const std::vector<std::string>& path) {
  if (path.empty()) return ENOENT;
  TdwVirtualFile* dir = nullptr;
  if (Parent(path, dir) != 0) return ENOENT;
  TdwDirEntry entry;
  const int index = FindEntry(*dir, path.back(), &entry);
  if (index < 0 || entry.FIsDirectory) return ENOENT;
  if (const TdwVirtualFile* open = FindOpen(dir, index); open && open->FRefCount > 0) return EBUSY;
  TdwVirtualFile& file = Attach(*dir, index, entry);
  ++file.FRefCount;  // keeps it through the commit of Resize
  try {
    Resize(file, 0);
  } catch (...) {
    --file.FRefCount;
    throw;
  }
  TdwDirEntry freed;
  freed.FFirstTile = kTileListEmpty;
  WriteEntry(*dir, index, freed);
  std::erase_if(FVirtualFiles, [&](const std::unique_ptr<TdwVirtualFile>& item) { return item.get() == &file; });
  return 0;
}

int TdwCompoundFileImpl::RenameFile(const std::vector<std::string>& oldPath,
                                    const std::vector<std::string>& newPath) {
  if (oldPath.empty() || newPath.empty()) return ENOENT;
  if (!ValidName(newPath.back())) return newPath.back().size() > kMaxEntryNameLength ? ENAMETOOLONG : ENOENT;
  TdwVirtualFile* oldDir = nullptr;
  TdwVirtualFile* newDir = nullptr;
  if (Parent(oldPath, oldDir) != 0) return ENOENT;
  if (Parent(newPath, newDir) != 0 || newDir != oldDir) return EXDEV;
  TdwDirEntry entry;
  const int index = FindEntry(*oldDir, oldPath.back(), &entry);
  if (index < 0) return ENOENT;
  if (const TdwVirtualFile* open = FindOpen(oldDir, index); open && open->FRefCount > 0) return EBUSY;
  const int existing = FindEntry(*oldDir, newPath.back(), nullptr);
  if (existing >= 0 && existing != index) return EEXIST;
  entry.FName = newPath.back();
  WriteEntry(*oldDir, index, entry);
  return 0;
}

int TdwCompoundFileImpl::List(const std::vector<std::string>& dirPath, std::vector<TdwDirEntry>& entries) {
  entries.clear();
  TdwVirtualFile* dir = FVirtualFiles[0].get();
  if (!dirPath.empty()) {
    TdwVirtualFile* parent = nullptr;
    if (Parent(dirPath, parent) != 0) return ENOENT;
    TdwDirEntry entry;
    const int index = FindEntry(*parent, dirPath.back(), &entry);
    if (index < 0 || !entry.FIsDirectory) return ENOENT;
    dir = &Attach(*parent, index, entry);
  }
  const int count = EntryCount(*dir);
  for (int index = 0; index < count; ++index) {
    TdwDirEntry entry = ReadEntry(*dir, index);
    if (entry.FName.empty()) continue;
    if (const TdwVirtualFile* open = FindOpen(dir, index)) entry.FSize = open->FSize;
    entries.push_back(std::move(entry));
  }
  return 0;
}

}  // namespace kestrel
