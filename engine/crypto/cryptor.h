// TdwCryptor: a table's key holder. It keeps the encryption method and the
// key and builds the encryption object from them; every file layer of the
// table (record data file, memo and blob files, index storages) takes the
// table's cryptor, so ciphers plug in here without changing those layers.
//
// Invariant: Encryption() is null until Initialize succeeds and after Reset.
// Only emNone and emProtection build an encryption object so far (one that
// leaves data unchanged); the cipher methods do not initialize yet.
#pragma once

#include <memory>
#include <string>

#include "engine/crypto/encryption.h"

namespace kestrel {

class TdwCryptor {
 public:
  TdwCryptor() = default;
  TdwCryptor(const TdwCryptor&) = delete;
  TdwCryptor& operator=(const TdwCryptor&) = delete;

  TdwEncryptionMethod EncryptionMethod() const { return FEncryptionMethod; }
  // Setting a different method or key frees the encryption object.
  void SetEncryptionMethod(TdwEncryptionMethod method);
  const std::u16string& Key() const { return FKey; }
  void SetKey(const std::u16string& key);

  // Builds the encryption object; false when the method and key build none.
  bool Initialize();
  // Installs an encryption object built elsewhere (replacing the current one).
  void SetEncryption(std::unique_ptr<TTdbEncryption> encryption);
  // Frees the encryption object.
  void Reset();
  // A new encryption object for the method and key, or null.
  std::unique_ptr<TTdbEncryption> CreateEncryption() const;
  // Whether `encryption` decrypts what this cryptor's encryption encrypts.
  // False when this cryptor has no encryption object.
  bool IsCorrectEncryption(TTdbEncryption& encryption) const;
  // The encryption object built by Initialize, or null.
  TTdbEncryption* Encryption() const { return FEncryption.get(); }

 private:
  TdwEncryptionMethod FEncryptionMethod = emNone;
  std::u16string FKey;
  std::unique_ptr<TTdbEncryption> FEncryption;
};

}  // namespace kestrel
