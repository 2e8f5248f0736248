// TdwCryptor: method and key, and the encryption object built from them.
#include "engine/crypto/cryptor.h"

#include <cstdint>
#include <vector>

namespace kestrel {

namespace {
// IsCorrectEncryption encrypts the integers 0 .. kProbeCount - 1.
constexpr std::uint32_t kProbeCount = 1000;
}  // namespace

TTdbEncryption::~TTdbEncryption() = default;

bool EncryptionsMatch(TTdbEncryption& encryptWith, TTdbEncryption& decryptWith) {
  std::vector<std::uint8_t> probe(kProbeCount * 4);
  for (std::uint32_t i = 0; i < kProbeCount; ++i)
    for (int b = 0; b < 4; ++b) probe[i * 4 + b] = static_cast<std::uint8_t>(i >> (8 * b));
  const std::vector<std::uint8_t> plain = probe;
  encryptWith.EncryptBlock(probe.data(), probe.size());
  decryptWith.DecryptBlock(probe.data(), probe.size());
  return probe == plain;
}

void TdwCryptor::SetEncryptionMethod(TdwEncryptionMethod method) {
  if (method == FEncryptionMethod) return;
  FEncryptionMethod = method;
  Reset();
}

void TdwCryptor::SetKey(const std::u16string& key) {
  if (key == FKey) return;
  FKey = key;
  Reset();
}

bool TdwCryptor::Initialize() {
  FEncryption = CreateEncryption();
  return FEncryption != nullptr;
}

void TdwCryptor::SetEncryption(std::unique_ptr<TTdbEncryption> encryption) {
  FEncryption = std::move(encryption);
}

void TdwCryptor::Reset() { FEncryption.reset(); }

std::unique_ptr<TTdbEncryption> TdwCryptor::CreateEncryption() const {
  switch (FEncryptionMethod) {
    case emNone:
      return std::make_unique<TTdbNoEncryption>();
    case emProtection:
      if (FKey.empty()) return nullptr;
      return std::make_unique<TTdbNoEncryption>();
    default:
      return nullptr;  // ciphers are not available yet
  }
}

bool TdwCryptor::IsCorrectEncryption(TTdbEncryption& encryption) const {
  return FEncryption && EncryptionsMatch(*FEncryption, encryption);
}

}  // namespace kestrel
