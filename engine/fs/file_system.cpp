// Default operations of TdwFileSystem and the helpers built on the virtual
// operations (existence tests, copying).
#include "engine/fs/file_system.h"

#include <system_error>
#include <vector>

namespace kestrel {

namespace {
constexpr std::int64_t kCopyChunkSize = 65536;
constexpr int kNoMoreFiles = 18;  // code answered at the end of a listing
}  // namespace

TdwFileSystem::~TdwFileSystem() = default;

std::string TdwFileSystem::GetBaseDirectory() const { return "/"; }
void TdwFileSystem::SetPageSize(int) {}
void TdwFileSystem::SetLastError(int) {}
int TdwFileSystem::GetLastError() const { return 0; }
void TdwFileSystem::Open() {}
void TdwFileSystem::Close() {}
bool TdwFileSystem::SupportsExclusiveFiles() const { return true; }

bool TdwFileSystem::EndOfFile(TdwFileHandle handle, std::int64_t pos) {
  const std::int64_t size = GetFileSize(handle);
  return size < 0 || pos >= size;
}

bool TdwFileSystem::StartWriteBack(TdwFileHandle) { return true; }

bool TdwFileSystem::LinkFile(const std::string&, const std::string&) { return false; }
bool TdwFileSystem::SyncDirectory(const std::string&) { return true; }

TdwFileWatch::~TdwFileWatch() = default;

std::unique_ptr<TdwFileWatch> TdwFileSystem::WatchFile(const std::string&) { return nullptr; }
std::optional<TdwFileId> TdwFileSystem::GetHandleId(TdwFileHandle) { return std::nullopt; }

int TdwFileSystem::FindNextFile(TdwFindFileRec& rec) {
  while (rec.FNext < rec.FPending.size()) {
    const std::string name = rec.FPending[rec.FNext++];
    const std::string path = rec.FDirectory.empty() ? name : rec.FDirectory + "/" + name;
    const std::optional<TdwFileInfo> info = GetFileInfo(path);
    if (!info) continue;  // removed since the listing was taken
    rec.FName = name;
    rec.FSize = info->FSize;
    rec.FIsDirectory = info->FIsDirectory;
    return 0;
  }
  return kNoMoreFiles;
}

void TdwFileSystem::FindFileClose(TdwFindFileRec& rec) {
  rec.FPending.clear();
  rec.FNext = 0;
}

int TdwFileSystem::Clear() { return 0; }

std::string TdwFileSystem::ExpandFileName(const std::string& fileName) const { return fileName; }

std::string TdwFileSystem::CanonicalFileName(const std::string& fileName) const {
  return ExpandFileName(fileName);
}

bool TdwFileSystem::ForcePath(const std::string&) { return true; }

std::string TdwFileSystem::GetErrorMessage(int errorCode) {
  return std::generic_category().message(errorCode);
}

bool TdwFileSystem::FileExists(const std::string& fileName) {
  const std::optional<TdwFileInfo> info = GetFileInfo(fileName);
  return info && !info->FIsDirectory;
}

bool TdwFileSystem::DirectoryExists(const std::string& dirName) {
  const std::optional<TdwFileInfo> info = GetFileInfo(dirName);
  return info && info->FIsDirectory;
}

bool TdwFileSystem::CopyFile(const std::string& srcName, const std::string& dstName) {
  const TdwFileHandle src = OpenFile(srcName, kFmOpenRead | kFmShareDenyNone);
  if (!IsValidHandle(src)) return false;
  const TdwFileHandle dst = CreateFile(dstName);
  if (!IsValidHandle(dst)) {
    CloseFile(src);
    return false;
  }
  std::vector<char> chunk(kCopyChunkSize);
  bool ok = true;
  for (std::int64_t pos = 0;;) {
    const std::int64_t got = FileRead(src, pos, chunk.data(), kCopyChunkSize);
    if (got < 0) ok = false;
    if (got <= 0) break;
    if (FileWrite(dst, pos, chunk.data(), got) != got) {
      ok = false;
      break;
    }
    pos += got;
  }
  CloseFile(dst);
  CloseFile(src);
  return ok;
}

}  // namespace kestrel
