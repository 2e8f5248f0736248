// Header reading of table files through the tool's file system.
#include "tools/table_file.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/table/table_file_names.h"
#include "tools/database_option.h"

namespace kestrel::tool {

namespace {

// Bytes read before the codec asks for more: a level 1–4 header and the
// fixed part of a level 5–6 header fit.
constexpr size_t kFirstRead = 8192;
constexpr uint64_t kBPlusNextIdOffset = 6;
constexpr uint64_t kBPlusEncryptionOffset = 10;

// Reads through the tool's file system (the operating system's, or the one
// inside the --db container).
class TFileSystemSource : public ITdbByteSource {
 public:
  TFileSystemSource(TdwFileSystem& fileSystem, TdwFileHandle handle, std::string fileName)
      : FFileSystem(fileSystem), FHandle(handle), FFileName(std::move(fileName)) {}
  void ReadAt(uint64_t offset, std::span<uint8_t> dest) override {
    const auto count = static_cast<std::int64_t>(dest.size());
    if (FFileSystem.FileRead(FHandle, static_cast<std::int64_t>(offset), dest.data(), count) != count)
      throw ETdbEngine(tdbErrReadFile, FFileName);
  }

 private:
  TdwFileSystem& FFileSystem;
  TdwFileHandle FHandle;
  std::string FFileName;
};

// Closes the handle when the header has been read.
struct THandleCloser {
  TdwFileSystem& FFileSystem;
  TdwFileHandle FHandle;
  ~THandleCloser() { FFileSystem.CloseFile(FHandle); }
};

}  // namespace

TTableFileInfo ReadTableFile(const std::string& name) {
  TTableFileInfo info;
  std::unique_ptr<TdwFileSystem> fileSystem = ToolFileSystem();
  OpenToolFileSystem(*fileSystem, false);
  info.FileName = ResolveTableFileName(name, [&](const std::string& path) { return fileSystem->FileExists(path); });
  if (info.FileName.empty()) throw ETdbEngine(tdbErrFileNotFound, name);
  const TdwFileHandle handle = fileSystem->OpenFile(info.FileName, kFmOpenRead | kFmShareDenyNone);
  if (!IsValidHandle(handle)) throw ETdbEngine(tdbErrFileNotFound, info.FileName);
  THandleCloser closer{*fileSystem, handle};
  const std::int64_t size = fileSystem->GetFileSize(handle);
  if (size < 0) throw ETdbEngine(tdbErrReadFile, info.FileName);
  info.FileSize = static_cast<uint64_t>(size);
  TFileSystemSource source(*fileSystem, handle, info.FileName);
  std::vector<uint8_t> prefix(static_cast<size_t>(std::min<uint64_t>(info.FileSize, kFirstRead)));
  source.ReadAt(0, prefix);
  info.Kind = TableFileKind(prefix);
  TTdbHeaderReader reader(prefix, info.FileSize, &source, info.FileName);
  if (info.Kind == tfkBPlusTree) {
    reader.Seek(kLevelOffset);
    info.Level = reader.I16();
    if (info.Level < kMinTableLevel || info.Level > kMaxTableLevel) reader.Damaged();
    reader.Seek(kBPlusNextIdOffset);
    info.NextRecordId = reader.I32();
    reader.Seek(kBPlusEncryptionOffset);
    info.EncryptionMethod = EncryptionMethodFromCode(reader.U8());
    return info;
  }
  info.Header = ReadTableHeader(reader);
  info.Level = info.Header.Level;
  info.NextRecordId = info.Header.NextRecordId;
  info.EncryptionMethod = info.Header.EncryptionMethod;
  return info;
}

}  // namespace kestrel::tool
