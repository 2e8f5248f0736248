// TdwCryptor: a table's key holder. It keeps the encryption method and the
// key and builds the encryption object from them; every file layer of the
// table (record data file, memo and blob files, index storages) takes the
// table's cryptor.
//
// Methods and their encryption objects:
//   emNone, emProtection  leave data unchanged (protection only stores the key)
//   emClassic1            fast cipher, key = the integer after the first ";"
//   emClassic5            fast cipher, key = HashKey(text after the first ";")
//   emFast                fast cipher, key = HashKey(whole key)
//   emBlowfish            Blowfish, key = MD5 of the key string
//   emRijndael            AES-128, key = MD5 of the key string
// Every method but emNone needs a key that is not empty.
//
// Invariant: Encryption() is null until Initialize succeeds and after Reset.
// A key that is replaced, and the key when the cryptor goes, is overwritten
// in memory; the encryption objects wipe their derived keys when freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/crypto/encryption.h"

namespace kestrel {

class TdwCryptor {
 public:
  TdwCryptor() = default;
  TdwCryptor(const TdwCryptor&) = delete;
  TdwCryptor& operator=(const TdwCryptor&) = delete;
  ~TdwCryptor();

  TdwEncryptionMethod EncryptionMethod() const { return FEncryptionMethod; }
  // Setting a different method or key frees the encryption object.
  void SetEncryptionMethod(TdwEncryptionMethod method);
  const std::u16string& Key() const { return FKey; }
  void SetKey(const std::u16string& key);

  // Whether the key could be a classic one: it contains a ";".
  bool CanBeClassic() const;
  // The password a table header keeps for this method and key:
  // emProtection the first 10 characters of the key; emClassic1 the part
  // before the first ";" in upper case, first 10 characters
  // (std::invalid_argument "Invalid Key" for a key without ";"; the table
  // asks only after Initialize succeeded); every other method "".
  std::u16string Password() const;

  // Builds the encryption object; false when the method and key build none.
  bool Initialize();
  // Installs an encryption object built elsewhere (replacing the current one).
  void SetEncryption(std::unique_ptr<TTdbEncryption> encryption);
  // Frees the encryption object.
  void Reset();
  // A new encryption object for the method and key, or null (a method other
  // than emNone with an empty key; emClassic1 whose code is no 32-bit integer).
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

// The integer code of a classic key: the text after the first ";" read as a
// 32-bit signed decimal integer with an optional sign. False when the key
// has no ";" or the text is no such integer.
bool ClassicCode(const std::u16string& key, std::int32_t& code);

// A password in upper case, as classic keys and level 1–3 headers keep it.
std::u16string PasswordUpperCase(const std::u16string& text);

}  // namespace kestrel
