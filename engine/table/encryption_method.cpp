// Stored encryption codes of table headers.
#include "engine/table/encryption_method.h"

namespace kestrel {

namespace {
constexpr uint8_t kCodeValueMask = 0x7F;
}  // namespace

TdwEncryptionMethod EncryptionMethodFromCode(uint8_t code) {
  switch (code & kCodeValueMask) {
    case temProtection: return emProtection;
    case temClassic: return emClassic5;
    case temFastEncrypt: return emFast;
    case temBlowfish: return emBlowfish;
    case temRijndael: return emRijndael;
    default: return emNone;
  }
}

uint8_t EncryptionCodeOf(TdwEncryptionMethod method) {
  switch (method) {
    case emProtection: return temProtection;
    case emClassic1:
    case emClassic5: return temClassic;
    case emFast: return temFastEncrypt;
    case emBlowfish: return temBlowfish;
    case emRijndael: return temRijndael;
    default: return temNone;
  }
}

}  // namespace kestrel
