// TdwCryptor as a key holder: which method and key build an encryption
// object, the password a header keeps, resetting on a changed method or key,
// and the encryption check.
#include "engine/crypto/cryptor.h"

#include <gtest/gtest.h>

#include <stdexcept>

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
      {emClassic1, u"pw;123", true},
      {emClassic1, u"pw;-2147483648", true},
      {emClassic1, u"pw;2147483648", false},  // beyond 32 bits
      {emClassic1, u"pw;12a", false},
      {emClassic1, u"pw;", false},
      {emClassic1, u"pw", false},
      {emClassic5, u"pw", true},  // the whole key is the code part
      {emClassic5, u"", false},
      {emFast, u"x", true},
      {emFast, u"", false},
      {emBlowfish, u"secret", true},
      {emBlowfish, u"", false},
      {emRijndael, u"secret", true},
      {emRijndael, u"", false},
  };
  for (const Case& c : cases) {
    TdwCryptor cryptor;
    cryptor.SetEncryptionMethod(c.method);
    cryptor.SetKey(c.key);
    EXPECT_EQ(cryptor.Initialize(), c.initializes) << int(c.method);
    EXPECT_EQ(cryptor.Encryption() != nullptr, c.initializes);
  }
}

TEST(Cryptor, PasswordKeptInTheHeader) {
  struct Case {
    TdwEncryptionMethod method;
    std::u16string key;
    std::u16string password;
  } cases[] = {
      {emNone, u"anything", u""},
      {emProtection, u"abcdefghijklmno", u"abcdefghij"},
      {emProtection, u"short", u"short"},
      {emClassic1, u"geheimnis;42", u"GEHEIMNIS"},
      {emClassic1, u"averylongpassword;42", u"AVERYLONGP"},
      {emClassic1, u"árvíz;1", u"ÁRVÍZ"},
      {emClassic5, u"pw;code", u""},
      {emFast, u"pw", u""},
      {emBlowfish, u"pw", u""},
      {emRijndael, u"pw", u""},
  };
  for (const Case& c : cases) {
    TdwCryptor cryptor;
    cryptor.SetEncryptionMethod(c.method);
    cryptor.SetKey(c.key);
    EXPECT_EQ(cryptor.Password(), c.password) << int(c.method);
  }
  TdwCryptor classic;
  classic.SetEncryptionMethod(emClassic1);
  classic.SetKey(u"no code part");
  EXPECT_FALSE(classic.CanBeClassic());
  EXPECT_THROW(classic.Password(), std::invalid_argument);
  classic.SetKey(u"a;1");
  EXPECT_TRUE(classic.CanBeClassic());
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
