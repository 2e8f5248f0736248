// Header reading of table files through stdio.
#include "tools/table_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/table/cryptor_cipher.h"
#include "engine/table/table_file_names.h"

namespace kestrel::tool {

namespace {

// Bytes read before the codec asks for more: a level 1–4 header and the
// fixed part of a level 5–6 header fit.
constexpr size_t kFirstRead = 8192;
constexpr uint64_t kBPlusNextIdOffset = 6;
constexpr uint64_t kBPlusEncryptionOffset = 10;

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class TStdioSource : public ITdbByteSource {
 public:
  TStdioSource(std::FILE* file, std::string fileName) : FFile(file), FFileName(std::move(fileName)) {}

  void ReadAt(uint64_t offset, std::span<uint8_t> dest) override {
    if (::fseeko(FFile, static_cast<off_t>(offset), SEEK_SET) != 0 ||
        std::fread(dest.data(), 1, dest.size(), FFile) != dest.size())
      throw ETdbEngine(tdbErrReadFile, FFileName);
  }

 private:
  std::FILE* FFile;
  std::string FFileName;
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
  info.FileName = ResolveTableFileName(name, IsRegularFile);
  if (info.FileName.empty() || !IsRegularFile(info.FileName)) throw ETdbEngine(tdbErrFileNotFound, name);
  TFile file(std::fopen(info.FileName.c_str(), "rb"));
  if (!file) throw ETdbEngine(tdbErrFileNotFound, info.FileName);
  if (::fseeko(file.get(), 0, SEEK_END) != 0) throw ETdbEngine(tdbErrReadFile, info.FileName);
  const off_t size = ::ftello(file.get());
  if (size < 0) throw ETdbEngine(tdbErrReadFile, info.FileName);
  info.FileSize = static_cast<uint64_t>(size);

  TStdioSource source(file.get(), info.FileName);
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
  info.Header = ReadHeapHeader(reader, prefix, key);
  info.Level = info.Header.Level;
  info.NextRecordId = info.Header.NextRecordId;
  info.EncryptionMethod = info.Header.EncryptionMethod;
  return info;
}

}  // namespace kestrel::tool
