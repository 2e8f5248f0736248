// Header reading of table files through the tool's file system.
#include "tools/table_file.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/base/engine_error.h"
#include "engine/fs/file_system.h"
#include "engine/base/little_endian.h"
#include "engine/table/bplus_table_header.h"
#include "engine/table/cryptor_cipher.h"
#include "engine/table/table_file_names.h"
#include "tools/database_option.h"

namespace kestrel::tool {

namespace {

// Bytes read before the codec asks for more: a level 1–4 header and the
// fixed part of a level 5–6 header fit.
constexpr size_t kFirstRead = 8192;

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
// Levels 5–6 decrypt the description block with the key and compare the
// stored password (error 38 when either fails); levels 1–4 keep their
// columns in the clear and are read without the key.
TTdbTableHeader ReadHeapHeader(TTdbHeaderReader& reader, std::span<const uint8_t> prefix, const std::u16string& key) {
  constexpr int kFirstUnicodeLevel = 5;
  const bool unicode = prefix.size() > kUnicodeEncryptionOffset && LoadLE<uint32_t>(prefix.data()) == kHeapTableMagic &&
                       LoadLE<int16_t>(prefix.data() + kLevelOffset) >= kFirstUnicodeLevel;
  if (!unicode) {
    TTdbTableHeader header = ReadTableHeader(reader);
    // Below level 4 a protected and a classic table look alike; a key with
    // an integer code after ";" tells classic.
    std::int32_t code = 0;
    if (header.Level < 4 && header.EncryptionMethod == emProtection && ClassicCode(key, code))
      header.EncryptionMethod = emClassic1;
    return header;
  }
  TdwCryptor cryptor;
  cryptor.SetKey(key);
  cryptor.SetEncryptionMethod(EncryptionMethodFromCode(prefix[kUnicodeEncryptionOffset]));
  if (!cryptor.Initialize()) throw ETdbEngine(tdbErrCredentials);
  const TCryptorCipher cipher(cryptor);
  TTdbTableHeader header = ReadTableHeader(reader, &cipher);
  if (header.Password != cryptor.Password()) throw ETdbEngine(tdbErrCredentials);
  return header;
}

}  // namespace

TTableFileInfo ReadTableFile(const std::string& name, const std::u16string& key) {
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
    reader.Seek(kBPlusNextRecordIdOffset);
    info.NextRecordId = reader.I32();
    reader.Seek(kBPlusEncryptionOffset);
    info.EncryptionMethod = EncryptionMethodFromCode(reader.U8());
    // The rest of the header is readable when the table is not encrypted.
    if (info.EncryptionMethod == emNone) info.Header = ReadBPlusTableHeader(reader, nullptr);
    return info;
  }
  info.Header = ReadHeapHeader(reader, prefix, key);
  info.Level = info.Header.Level;
  info.NextRecordId = info.Header.NextRecordId;
  info.EncryptionMethod = info.Header.EncryptionMethod;
  return info;
}

}  // namespace kestrel::tool
