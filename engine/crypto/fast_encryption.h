// The fast cipher of the classic and fast methods, and HashKey, which turns
// a key string into the fast cipher's 32-bit key.
//
// The fast cipher runs three byte-wise passes over a block (forward,
// backward, forward), each starting again from the key's two 16-bit
// registers, so every block is encrypted on its own. It is a light
// scrambling, not a cipher in the cryptographic sense.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/crypto/encryption.h"

namespace kestrel {

// The start value of HashKey. Every program that shares table files with
// this one must use the same value.
inline constexpr std::uint32_t kHashKeyStart = 0x4B53544C;

// The 32-bit key of a string: from kHashKeyStart, for each character at
// 1-based position i add its code shifted left by 16 bits (i odd) or the
// code itself (i even), modulo 2^32, then rotate right by 8 bits. The empty
// string gives kHashKeyStart.
std::uint32_t HashKey(std::u16string_view key);

// Stateless: both operations only read FKey, so one object may serve
// several threads. Blocks of any length are processed whole; an empty
// block stays unchanged.
class TTdbFastEncryption final : public TTdbEncryption {
 public:
  explicit TTdbFastEncryption(std::uint32_t key) : FKey(key) {}
  ~TTdbFastEncryption() override;
  void EncryptBlock(std::uint8_t* data, std::size_t size) override;
  void DecryptBlock(std::uint8_t* data, std::size_t size) override;

 private:
  std::uint32_t FKey;
};

}  // namespace kestrel
