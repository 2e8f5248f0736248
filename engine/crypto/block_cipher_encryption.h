// Blowfish and AES-128 as table encryptions: the cipher key is the MD5
// digest of the key string (UTF-16LE bytes), the chaining is cipher-block
// chaining that starts every call from the same initial vector (the
// encryption of a zero block), and a trailing partial block is XORed with
// the encryption of the last chaining value. Output has the length of the
// input; there is no padding and no integrity check.
//
// Stateless between and during calls: the chaining value lives on the
// stack of each call and the key schedules are only read, so one object
// may serve several threads at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <nettle/aes.h>
#include <nettle/blowfish.h>

#include "engine/crypto/encryption.h"

namespace kestrel {

inline constexpr std::size_t kMd5DigestSize = 16;
inline constexpr std::size_t kMaxCipherBlockSize = 16;

// MD5 (RFC 1321) of bytes, and of a key string taken as UTF-16LE bytes.
std::array<std::uint8_t, kMd5DigestSize> Md5Digest(const std::uint8_t* data, std::size_t size);
std::array<std::uint8_t, kMd5DigestSize> Md5OfKey(std::u16string_view key);

// The chaining around a block cipher; descendants supply the cipher.
class TTdbDCPEncryption : public TTdbEncryption {
 public:
  void EncryptBlock(std::uint8_t* data, std::size_t size) override;
  void DecryptBlock(std::uint8_t* data, std::size_t size) override;
  std::size_t CipherBlockSize() const { return FBlockSize; }
  // The bare block function on one cipher block; in and out may be the same.
  virtual void CipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const = 0;
  virtual void CipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const = 0;

 protected:
  explicit TTdbDCPEncryption(std::size_t blockSize) : FBlockSize(blockSize) {}
  // Descendants call this at the end of their constructor (needs the key schedule).
  void MakeInitialVector();
  // Overwrites the initial vector (descendants wipe their key schedules).
  void WipeInitialVector();

 private:
  std::size_t FBlockSize;
  std::array<std::uint8_t, kMaxCipherBlockSize> FInitialVector{};
};

// Blowfish (8-byte blocks) with the 128-bit MD5 key. Nettle's weak-key
// answer is ignored: the key schedule is complete either way.
class TTdbBlowfishEncryption final : public TTdbDCPEncryption {
 public:
  explicit TTdbBlowfishEncryption(std::u16string_view passPhrase);
  // With the 128-bit cipher key itself.
  explicit TTdbBlowfishEncryption(const std::array<std::uint8_t, kMd5DigestSize>& cipherKey);
  ~TTdbBlowfishEncryption() override;

  void CipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const override;
  void CipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const override;

 private:
  blowfish_ctx FCipher;
};

// Rijndael as AES-128 (16-byte blocks) with the 128-bit MD5 key.
class TTdbRijndaelEncryption final : public TTdbDCPEncryption {
 public:
  explicit TTdbRijndaelEncryption(std::u16string_view passPhrase);
  // With the 128-bit cipher key itself.
  explicit TTdbRijndaelEncryption(const std::array<std::uint8_t, kMd5DigestSize>& cipherKey);
  ~TTdbRijndaelEncryption() override;

  void CipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const override;
  void CipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const override;

 private:
  aes128_ctx FEncryptKey;
  aes128_ctx FDecryptKey;
};

// Overwrites `size` bytes so that the compiler cannot drop the stores.
void WipeBytes(void* data, std::size_t size) noexcept;

}  // namespace kestrel
