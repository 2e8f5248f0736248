// TdwCryptor: method and key, the password a header keeps, and the
// encryption object built from them.
#include "engine/crypto/cryptor.h"

#include <unicode/ustring.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "engine/crypto/block_cipher_encryption.h"
#include "engine/crypto/fast_encryption.h"

namespace kestrel {

namespace {
// IsCorrectEncryption encrypts the integers 0 .. kProbeCount - 1.
constexpr std::uint32_t kProbeCount = 1000;
// Characters of a password that a header keeps.
constexpr std::size_t kPasswordLength = 10;

void WipeKey(std::u16string& key) {
  WipeBytes(key.data(), key.size() * sizeof(char16_t));
  key.clear();
}

}  // namespace

std::u16string PasswordUpperCase(const std::u16string& text) {
  std::u16string upper(text.size() * 2 + 4, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = u_strToUpper(upper.data(), static_cast<int32_t>(upper.size()), text.data(),
                                      static_cast<int32_t>(text.size()), "", &status);
  if (U_FAILURE(status)) return text;
  upper.resize(static_cast<std::size_t>(length));
  return upper;
}

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

bool ClassicCode(const std::u16string& key, std::int32_t& code) {
  const std::size_t semicolon = key.find(u';');
  if (semicolon == std::u16string::npos) return false;
  std::size_t at = semicolon + 1;
  bool negative = false;
  if (at < key.size() && (key[at] == u'+' || key[at] == u'-')) negative = key[at++] == u'-';
  if (at >= key.size()) return false;
  std::int64_t value = 0;
  for (; at < key.size(); ++at) {
    if (key[at] < u'0' || key[at] > u'9') return false;
    value = value * 10 + (key[at] - u'0');
    if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return false;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    return false;
  code = static_cast<std::int32_t>(value);
  return true;
}

TdwCryptor::~TdwCryptor() {
  FEncryption.reset();
  WipeKey(FKey);
}

void TdwCryptor::SetEncryptionMethod(TdwEncryptionMethod method) {
  if (method == FEncryptionMethod) return;
  FEncryptionMethod = method;
  Reset();
}

void TdwCryptor::SetKey(const std::u16string& key) {
  if (key == FKey) return;
  WipeKey(FKey);
  FKey = key;
  Reset();
}

bool TdwCryptor::CanBeClassic() const { return FKey.find(u';') != std::u16string::npos; }

std::u16string TdwCryptor::Password() const {
  switch (FEncryptionMethod) {
    case emProtection:
      return FKey.substr(0, kPasswordLength);
    case emClassic1: {
      const std::size_t semicolon = FKey.find(u';');
      if (semicolon == std::u16string::npos) throw std::invalid_argument("Invalid Key");
      return PasswordUpperCase(FKey.substr(0, semicolon)).substr(0, kPasswordLength);
    }
    default:
      return std::u16string();
  }
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
  if (FEncryptionMethod == emNone) return std::make_unique<TTdbNoEncryption>();
  if (FKey.empty()) return nullptr;
  switch (FEncryptionMethod) {
    case emProtection:
      return std::make_unique<TTdbNoEncryption>();
    case emClassic1: {
      std::int32_t code = 0;
      if (!ClassicCode(FKey, code)) return nullptr;
      return std::make_unique<TTdbFastEncryption>(static_cast<std::uint32_t>(code));
    }
    case emClassic5: {
      const std::size_t semicolon = FKey.find(u';');
      const std::u16string_view key(FKey);
      return std::make_unique<TTdbFastEncryption>(
          HashKey(semicolon == std::u16string::npos ? key : key.substr(semicolon + 1)));
    }
    case emFast:
      return std::make_unique<TTdbFastEncryption>(HashKey(FKey));
    case emBlowfish:
      return std::make_unique<TTdbBlowfishEncryption>(FKey);
    case emRijndael:
      return std::make_unique<TTdbRijndaelEncryption>(FKey);
    default:
      return nullptr;
  }
}

bool TdwCryptor::IsCorrectEncryption(TTdbEncryption& encryption) const {
  return FEncryption && EncryptionsMatch(*FEncryption, encryption);
}

}  // namespace kestrel
