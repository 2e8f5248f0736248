// TdwCryptor as a key holder: which methods build an encryption object so
// far, resetting on a changed method or key, and the encryption check.
#include "engine/crypto/cryptor.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

class TXorEncryption : public TTdbEncryption {
 public:
  explicit TXorEncryption(std::uint8_t key) : FKey(key) {}
  void EncryptBlock(std::uint8_t* data, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) data[i] ^= FKey;
  }
  void DecryptBlock(std::uint8_t* data, std::size_t size) override { EncryptBlock(data, size); }

 private:
  std::uint8_t FKey;
};

TEST(Cryptor, MethodsThatInitialize) {
  struct Case {
    TdwEncryptionMethod method;
    std::u16string key;
    bool initializes;
  } cases[] = {
      {emNone, u"", true},
      {emNone, u"key", true},
      {emProtection, u"", false},
      {emProtection, u"secret", true},
      {emBlowfish, u"secret", false},  // ciphers are not built in yet
  };
  for (const Case& c : cases) {
    TdwCryptor cryptor;
    cryptor.SetEncryptionMethod(c.method);
    cryptor.SetKey(c.key);
    EXPECT_EQ(cryptor.Initialize(), c.initializes) << int(c.method);
    EXPECT_EQ(cryptor.Encryption() != nullptr, c.initializes);
  }
}

TEST(Cryptor, ChangingMethodOrKeyResetsAndEqualValuesDoNot) {
  TdwCryptor cryptor;
  ASSERT_TRUE(cryptor.Initialize());
  cryptor.SetEncryptionMethod(emNone);
  cryptor.SetKey(u"");
  EXPECT_NE(cryptor.Encryption(), nullptr);
  cryptor.SetKey(u"x");
  EXPECT_EQ(cryptor.Encryption(), nullptr);
  ASSERT_TRUE(cryptor.Initialize());
  cryptor.SetEncryptionMethod(emProtection);
  EXPECT_EQ(cryptor.Encryption(), nullptr);
}

TEST(Cryptor, IsCorrectEncryptionComparesTheirResults) {
  TdwCryptor cryptor;
  EXPECT_FALSE(cryptor.IsCorrectEncryption(*std::make_unique<TTdbNoEncryption>()));
  cryptor.SetEncryption(std::make_unique<TXorEncryption>(0x5A));
  TXorEncryption same(0x5A), other(0x33);
  TTdbNoEncryption none;
  EXPECT_TRUE(cryptor.IsCorrectEncryption(same));
  EXPECT_FALSE(cryptor.IsCorrectEncryption(other));
  EXPECT_FALSE(cryptor.IsCorrectEncryption(none));
  cryptor.Reset();
  EXPECT_EQ(cryptor.Encryption(), nullptr);
}

}  // namespace
}  // namespace kestrel
