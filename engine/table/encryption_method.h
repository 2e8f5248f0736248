// Encryption methods as table headers name them: the mapping between the
// byte stored in level 5–6 headers and the key holder's method
// (TdwEncryptionMethod, engine/crypto/encryption.h).
#pragma once

#include <cstdint>

#include "engine/crypto/encryption.h"

namespace kestrel {

// The method of a stored code; bit 7 of the code is ignored and unknown
// codes mean emNone.
TdwEncryptionMethod EncryptionMethodFromCode(uint8_t code);

// The code stored for a method (emClassic1 and emClassic5 share 3).
uint8_t EncryptionCodeOf(TdwEncryptionMethod method);

}  // namespace kestrel
