// Shared fixture of the memo and blob file tests: a page manager on the
// fault-injecting file system, files made through the files' own creation
// path, and raw access to blocks for building damaged files.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager.h"
#include "engine/cache/page_manager_error.h"
#include "engine/crypto/cryptor.h"
#include "engine/table/blob_file.h"
#include "engine/table/memo_file.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel {

class BlockFileTest : public ::testing::Test {
 protected:
  void SetUp() override { FPageManager.RegisterClient(1, 256); }

  std::unique_ptr<TTdbClientStorage> Storage(const std::string& name) {
    auto storage = std::make_unique<TTdbClientStorage>(FPageManager, FFs, 1, nullptr);
    storage->SetName(name);
    return storage;
  }
  std::unique_ptr<TTdbMemoFile> NewMemo() {
    auto memo = std::make_unique<TTdbMemoFile>(Storage("t.mmo"), FCryptor, "Vnd03");
    memo->NewFile(0);
    return memo;
  }
  std::unique_ptr<TTdbMemoFile> OpenMemo() {
    auto memo = std::make_unique<TTdbMemoFile>(Storage("t.mmo"), FCryptor, "Vnd03");
    memo->Open(false, false);
    return memo;
  }
  std::unique_ptr<TTdbBlobFile> NewBlob(int blockSize) {
    auto blob = std::make_unique<TTdbBlobFile>(Storage("t.blb"), FCryptor, "Vnd03");
    blob->NewFile(blockSize);
    return blob;
  }
  std::unique_ptr<TTdbBlobFile> OpenBlob() {
    auto blob = std::make_unique<TTdbBlobFile>(Storage("t.blb"), FCryptor, "Vnd03");
    blob->Open(false, false);
    return blob;
  }

  std::string Raw(const std::string& name) { return test::ReadWholeFile(FDir.File(name)); }
  // Overwrites the Int32 at pos of a closed file.
  void Patch(const std::string& name, std::int64_t pos, std::int32_t value) {
    std::string content = Raw(name);
    for (int b = 0; b < 4; ++b)
      content[pos + b] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * b));
    test::WriteWholeFile(FDir.File(name), content);
  }
  static std::int32_t Int32At(const std::string& content, std::int64_t pos) {
    std::uint32_t value = 0;
    for (int b = 0; b < 4; ++b) value |= std::uint32_t(std::uint8_t(content[pos + b])) << (8 * b);
    return static_cast<std::int32_t>(value);
  }
  static int ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ETdbEngine& e) {
      return e.Number();
    }
    return 0;
  }

  test::TTempDir FDir;
  test::TFaultFileSystem FFs{FDir.Path()};
  TTdbPageManager FPageManager;
  TdwCryptor FCryptor;
};

}  // namespace kestrel
