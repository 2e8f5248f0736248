// TTdbEncryption: the block encryption objects. Each call works in place on
// one block and is independent of every earlier call, so equal plain blocks of
// equal length give equal stored bytes. The objects of this engine keep no
// state that a call changes, so one object may serve several threads.
// Descendants: TTdbFastEncryption (fast_encryption.h), TTdbBlowfishEncryption
// and TTdbRijndaelEncryption (block_cipher_encryption.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrel {

// The engine's own encryption methods, as stored in table headers (low 7 bits).
enum TdwEncryptionMethod : std::uint8_t {
  emNone = 0,
  emProtection = 1,
  emClassic1 = 2,
  emClassic5 = 3,
  emFast = 4,
  emBlowfish = 5,
  emRijndael = 6,
};

// The public encryption methods of tables and databases.
enum TTdbEncryptionMethod : std::uint8_t {
  temDefault = 0,
  temNone = 1,
  temProtection = 2,
  temClassic = 3,
  temFastEncrypt = 4,
  temBlowfish = 5,
  temRijndael = 6,
};

class TTdbEncryption {
 public:
  virtual ~TTdbEncryption();
  virtual void EncryptBlock(std::uint8_t* data, std::size_t size) = 0;
  virtual void DecryptBlock(std::uint8_t* data, std::size_t size) = 0;
};

// Whether blocks encrypted with `encryptWith` come back unchanged when
// decrypted with `decryptWith` (tested on the integers 0 to 999).
bool EncryptionsMatch(TTdbEncryption& encryptWith, TTdbEncryption& decryptWith);

// Leaves every block unchanged (tables without encryption, protected tables).
class TTdbNoEncryption final : public TTdbEncryption {
 public:
  void EncryptBlock(std::uint8_t*, std::size_t) override {}
  void DecryptBlock(std::uint8_t*, std::size_t) override {}
};

}  // namespace kestrel
