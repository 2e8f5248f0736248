// TTdbDataFile: storage ownership, byte access with encryption, and the
// flush / undo / close operations common to the record data files.
#include "engine/table/data_file.h"

#include <vector>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_site.h"
#include "engine/cache/paged_bytes.h"
#include "engine/crypto/cryptor.h"

namespace kestrel {

TTdbDataFile::TTdbDataFile(std::unique_ptr<TTdbClientStorage> storage, TdwCryptor& cryptor)
    : FStorage(std::move(storage)), FPage(FStorage->CreatePageSite()), FCryptor(&cryptor) {}

TTdbDataFile::~TTdbDataFile() = default;  // the page site goes before its storage

bool TTdbDataFile::IsOpen() const { return FStorage->IsOpen(); }
const std::string& TTdbDataFile::FileName() const { return FStorage->Name(); }
TdwFileSystem& TTdbDataFile::FileSystem() const { return FStorage->FileSystem(); }

void TTdbDataFile::ReadBytes(std::int64_t pos, void* data, std::size_t count, bool encrypted) {
  try {
    ReadPagedBytes(*FPage, pos, data, count);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrReadFile, FileName());
  }
  if (encrypted && FCryptor->Encryption())
    FCryptor->Encryption()->DecryptBlock(static_cast<std::uint8_t*>(data), count);
}

void TTdbDataFile::WriteBytes(std::int64_t pos, const void* data, std::size_t count,
                              bool encrypted) {
  std::vector<std::uint8_t> cipher;
  if (encrypted && FCryptor->Encryption()) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    cipher.assign(bytes, bytes + count);
    FCryptor->Encryption()->EncryptBlock(cipher.data(), cipher.size());
    data = cipher.data();
  }
  try {
    WritePagedBytes(*FPage, pos, data, count);
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbDataFile::Close() {
  try {
    FStorage->Close();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbDataFile::Flush() {
  try {
    FStorage->Flush();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

void TTdbDataFile::Undo() { FStorage->Undo(); }

void TTdbDataFile::UpdateDir() {
  try {
    FStorage->UpdateDir();
  } catch (const ETdbEngine&) {
    throw ETdbEngine(tdbErrWriteFile, FileName());
  }
}

}  // namespace kestrel
