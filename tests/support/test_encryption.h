// TAddOneEncryption: a trivial encryption for tests that must see whether a
// block went through the table's encryption (every byte plus one).
#pragma once

#include "engine/crypto/encryption.h"

namespace kestrel::test {

class TAddOneEncryption : public TTdbEncryption {
 public:
  void EncryptBlock(std::uint8_t* data, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) ++data[i];
  }
  void DecryptBlock(std::uint8_t* data, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) --data[i];
  }
};

}  // namespace kestrel::test
