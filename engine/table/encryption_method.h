// Encryption methods as table headers name them: the method of a table
// (TTdbEncryptionMethod, the order of the stored codes) and the method of
// the key holder (TdwEncryptionMethod), with the mapping between the byte
// stored in level 5–6 headers and the key holder's method.
#pragma once

#include <cstdint>

namespace kestrel {

enum TTdbEncryptionMethod : uint8_t {
  temDefault, temNone, temProtection, temClassic, temFastEncrypt, temBlowfish, temRijndael
};

enum TdwEncryptionMethod : uint8_t {
  emNone, emProtection, emClassic1, emClassic5, emFast, emBlowfish, emRijndael
};

// The method of a stored code; bit 7 of the code is ignored and unknown
// codes mean emNone.
TdwEncryptionMethod EncryptionMethodFromCode(uint8_t code);

// The code stored for a method (emClassic1 and emClassic5 share 3).
uint8_t EncryptionCodeOf(TdwEncryptionMethod method);

// "none", "protection", "classic1", "classic5", "fast", "blowfish",
// "rijndael".
const char* EncryptionMethodName(TdwEncryptionMethod method);

}  // namespace kestrel
