// TCryptorCipher: a table's key holder as the header codec's block cipher
// (the level 5–6 description block, the level-4 key check string).
#pragma once

#include "engine/crypto/cryptor.h"
#include "engine/table/table_header.h"

namespace kestrel {

// The cryptor must be initialized while the cipher is used.
class TCryptorCipher final : public ITdbBlockCipher {
 public:
  explicit TCryptorCipher(const TdwCryptor& cryptor) : FCryptor(cryptor) {}
  void EncryptBlock(std::span<uint8_t> block) const override {
    FCryptor.Encryption()->EncryptBlock(block.data(), block.size());
  }
  void DecryptBlock(std::span<uint8_t> block) const override {
    FCryptor.Encryption()->DecryptBlock(block.data(), block.size());
  }

 private:
  const TdwCryptor& FCryptor;
};

}  // namespace kestrel
