// Blowfish and AES-128 encryptions: MD5 key, chaining, partial last block.
#include "engine/crypto/block_cipher_encryption.h"

#include <nettle/md5.h>

#include <cstring>
#include <vector>

namespace kestrel {

void WipeBytes(void* data, std::size_t size) noexcept { explicit_bzero(data, size); }

std::array<std::uint8_t, kMd5DigestSize> Md5Digest(const std::uint8_t* data, std::size_t size) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, size, data);
  std::array<std::uint8_t, kMd5DigestSize> digest{};
  md5_digest(&context, digest.size(), digest.data());
  WipeBytes(&context, sizeof context);
  return digest;
}

std::array<std::uint8_t, kMd5DigestSize> Md5OfKey(std::u16string_view key) {
  std::vector<std::uint8_t> bytes(key.size() * 2);
  for (std::size_t i = 0; i < key.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(key[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(key[i] >> 8);
  }
  const auto digest = Md5Digest(bytes.data(), bytes.size());
  WipeBytes(bytes.data(), bytes.size());
  return digest;
}

// --- Chaining ------------------------------------------------------------

void TTdbDCPEncryption::MakeInitialVector() {
  FInitialVector.fill(0);
  CipherEncrypt(FInitialVector.data(), FInitialVector.data());
}

void TTdbDCPEncryption::WipeInitialVector() { WipeBytes(FInitialVector.data(), FInitialVector.size()); }

void TTdbDCPEncryption::EncryptBlock(std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, kMaxCipherBlockSize> chain = FInitialVector;
  std::size_t at = 0;
  for (; at + FBlockSize <= size; at += FBlockSize) {
    for (std::size_t i = 0; i < FBlockSize; ++i) data[at + i] ^= chain[i];
    CipherEncrypt(data + at, data + at);
    std::memcpy(chain.data(), data + at, FBlockSize);
  }
  if (at < size) {
    CipherEncrypt(chain.data(), chain.data());
    for (std::size_t i = 0; at + i < size; ++i) data[at + i] ^= chain[i];
  }
  WipeBytes(chain.data(), chain.size());
}

void TTdbDCPEncryption::DecryptBlock(std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, kMaxCipherBlockSize> chain = FInitialVector;
  std::array<std::uint8_t, kMaxCipherBlockSize> stored{};
  std::size_t at = 0;
  for (; at + FBlockSize <= size; at += FBlockSize) {
    std::memcpy(stored.data(), data + at, FBlockSize);
    CipherDecrypt(data + at, data + at);
    for (std::size_t i = 0; i < FBlockSize; ++i) data[at + i] ^= chain[i];
    chain = stored;
  }
  if (at < size) {
    CipherEncrypt(chain.data(), chain.data());
    for (std::size_t i = 0; at + i < size; ++i) data[at + i] ^= chain[i];
  }
  WipeBytes(chain.data(), chain.size());
  WipeBytes(stored.data(), stored.size());
}

// --- Blowfish ------------------------------------------------------------

TTdbBlowfishEncryption::TTdbBlowfishEncryption(std::u16string_view passPhrase)
    : TTdbDCPEncryption(BLOWFISH_BLOCK_SIZE) {
  auto key = Md5OfKey(passPhrase);
  // A weak key is reported but fully scheduled; it is used like any other.
  static_cast<void>(blowfish128_set_key(&FCipher, key.data()));
  WipeBytes(key.data(), key.size());
  MakeInitialVector();
}

TTdbBlowfishEncryption::TTdbBlowfishEncryption(const std::array<std::uint8_t, kMd5DigestSize>& cipherKey)
    : TTdbDCPEncryption(BLOWFISH_BLOCK_SIZE) {
  static_cast<void>(blowfish128_set_key(&FCipher, cipherKey.data()));
  MakeInitialVector();
}

TTdbBlowfishEncryption::~TTdbBlowfishEncryption() {
  WipeBytes(&FCipher, sizeof FCipher);
  WipeInitialVector();
}

void TTdbBlowfishEncryption::CipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const {
  blowfish_encrypt(&FCipher, BLOWFISH_BLOCK_SIZE, out, in);
}

void TTdbBlowfishEncryption::CipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const {
  blowfish_decrypt(&FCipher, BLOWFISH_BLOCK_SIZE, out, in);
}

// --- Rijndael (AES-128) -------------------------------------------------

TTdbRijndaelEncryption::TTdbRijndaelEncryption(std::u16string_view passPhrase)
    : TTdbRijndaelEncryption(Md5OfKey(passPhrase)) {}

TTdbRijndaelEncryption::TTdbRijndaelEncryption(const std::array<std::uint8_t, kMd5DigestSize>& cipherKey)
    : TTdbDCPEncryption(AES_BLOCK_SIZE) {
  aes128_set_encrypt_key(&FEncryptKey, cipherKey.data());
  aes128_set_decrypt_key(&FDecryptKey, cipherKey.data());
  MakeInitialVector();
}

TTdbRijndaelEncryption::~TTdbRijndaelEncryption() {
  WipeBytes(&FEncryptKey, sizeof FEncryptKey);
  WipeBytes(&FDecryptKey, sizeof FDecryptKey);
  WipeInitialVector();
}

void TTdbRijndaelEncryption::CipherEncrypt(const std::uint8_t* in, std::uint8_t* out) const {
  aes128_encrypt(&FEncryptKey, AES_BLOCK_SIZE, out, in);
}

void TTdbRijndaelEncryption::CipherDecrypt(const std::uint8_t* in, std::uint8_t* out) const {
  aes128_decrypt(&FDecryptKey, AES_BLOCK_SIZE, out, in);
}

}  // namespace kestrel
