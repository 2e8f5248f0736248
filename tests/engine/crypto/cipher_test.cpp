// The block encryptions: published vectors of the block functions (MD5,
// Blowfish, AES-128), the chaining around them (initial vector, whole
// blocks, a partial last block), the fast cipher and HashKey, and round
// trips of every method at every block length.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "engine/crypto/block_cipher_encryption.h"
#include "engine/crypto/cryptor.h"
#include "engine/crypto/fast_encryption.h"

namespace kestrel {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Hex(const std::string& text) {
  TBytes bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::array<std::uint8_t, kMd5DigestSize> Key16(const std::string& hex) {
  const TBytes bytes = Hex(hex);
  std::array<std::uint8_t, kMd5DigestSize> key{};
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

TEST(BlockFunctions, PublishedVectors) {
  // RFC 1321, appendix A.5.
  struct Md5Case {
    std::string text, digest;
  } md5[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Md5Case& c : md5) {
    const auto digest = Md5Digest(reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size());
    EXPECT_EQ(TBytes(digest.begin(), digest.end()), Hex(c.digest)) << c.text;
  }

  // AES-128: FIPS-197 appendix C.1 and the SP 800-38A ECB vector.
  // Blowfish: the 128-bit key of the variable-key-length vectors.
  struct CipherCase {
    bool aes;
    std::string key, plain, cipher;
  } cases[] = {
      {true, "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {true, "2b7e151628aed2a6abf7158809cf4f3c", "6bc1bee22e409f96e93d7e117393172a",
       "3ad77bb40d7a3660a89ecaf32466ef97"},
      {false, "f0e1d2c3b4a5968778695a4b3c2d1e0f", "fedcba9876543210", "93142887ee3be15c"},
  };
  for (const CipherCase& c : cases) {
    std::unique_ptr<TTdbDCPEncryption> cipher;
    if (c.aes)
      cipher = std::make_unique<TTdbRijndaelEncryption>(Key16(c.key));
    else
      cipher = std::make_unique<TTdbBlowfishEncryption>(Key16(c.key));
    TBytes block = Hex(c.plain);
    ASSERT_EQ(block.size(), cipher->CipherBlockSize());
    cipher->CipherEncrypt(block.data(), block.data());
    EXPECT_EQ(block, Hex(c.cipher)) << c.key;
    cipher->CipherDecrypt(block.data(), block.data());
    EXPECT_EQ(block, Hex(c.plain)) << c.key;
  }
}

TEST(BlockFunctions, CipherKeyIsTheMd5OfTheKeyAsUtf16LittleEndian) {
  const std::uint8_t bytes[] = {'k', 0, 0xE9, 0, 0x51, 0x01};  // "ké" and U+0151
  const auto digest = Md5Digest(bytes, sizeof bytes);
  EXPECT_EQ(Md5OfKey(u"k\u00e9\u0151"), digest);
  TTdbRijndaelEncryption byKey(u"k\u00e9\u0151"), byDigest(digest);
  EXPECT_TRUE(EncryptionsMatch(byKey, byDigest));
  TTdbBlowfishEncryption blowfishByKey(u"k\u00e9\u0151"), blowfishByDigest(digest);
  EXPECT_TRUE(EncryptionsMatch(blowfishByKey, blowfishByDigest));
}

// What the chaining must produce, built from the bare block function.
TBytes ExpectedChain(const TTdbDCPEncryption& cipher, TBytes data) {
  const std::size_t n = cipher.CipherBlockSize();
  TBytes chain(n, 0);
  cipher.CipherEncrypt(chain.data(), chain.data());  // the initial vector
  std::size_t at = 0;
  for (; at + n <= data.size(); at += n) {
    for (std::size_t i = 0; i < n; ++i) data[at + i] ^= chain[i];
    cipher.CipherEncrypt(data.data() + at, data.data() + at);
    chain.assign(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  if (at < data.size()) {
    cipher.CipherEncrypt(chain.data(), chain.data());
    for (std::size_t i = 0; at + i < data.size(); ++i) data[at + i] ^= chain[i];
  }
  return data;
}

TEST(Chaining, WholeAndPartialBlocksFollowTheChainFromTheInitialVector) {
  const auto key = Key16("00112233445566778899aabbccddeeff");
  TTdbBlowfishEncryption blowfish(key);
  TTdbRijndaelEncryption rijndael(key);
  for (TTdbDCPEncryption* cipher : {static_cast<TTdbDCPEncryption*>(&blowfish), static_cast<TTdbDCPEncryption*>(&rijndael)}) {
    const std::size_t n = cipher->CipherBlockSize();
    // A block shorter than the cipher block is XORed with E(initial vector).
    TBytes five = {1, 2, 3, 4, 5};
    TBytes iv(n, 0);
    cipher->CipherEncrypt(iv.data(), iv.data());
    TBytes eiv = iv;
    cipher->CipherEncrypt(eiv.data(), eiv.data());
    TBytes stored = five;
    cipher->EncryptBlock(stored.data(), stored.size());
    for (std::size_t i = 0; i < five.size(); ++i) EXPECT_EQ(stored[i], five[i] ^ eiv[i]) << n;
    // One whole block is E(P xor initial vector).
    TBytes one(n, 0x41);
    TBytes expected = one;
    for (std::size_t i = 0; i < n; ++i) expected[i] ^= iv[i];
    cipher->CipherEncrypt(expected.data(), expected.data());
    cipher->EncryptBlock(one.data(), one.size());
    EXPECT_EQ(one, expected) << n;
    // Longer blocks with and without a remainder.
    for (std::size_t length : {2 * n, 2 * n + 1, 3 * n - 1, 40 * n + 3}) {
      TBytes data(length);
      for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
      TBytes encrypted = data;
      cipher->EncryptBlock(encrypted.data(), encrypted.size());
      EXPECT_EQ(encrypted, ExpectedChain(*cipher, data)) << n << " " << length;
      cipher->DecryptBlock(encrypted.data(), encrypted.size());
      EXPECT_EQ(encrypted, data) << n << " " << length;
    }
  }
}

TEST(HashKey, StartValueAndSteps) {
  EXPECT_EQ(HashKey(u""), kHashKeyStart);
  // 0x4B53544C + 0x00410000 = 0x4B94544C, rotated right by 8 bits.
  EXPECT_EQ(HashKey(u"A"), 0x4C4B9454u);
  // + 0x42 = 0x4C4B9496, rotated.
  EXPECT_EQ(HashKey(u"AB"), 0x964C4B94u);
  // Carries out of bit 31 are dropped: 0x4B53544C + 0xFFFF0000 = 0x4B52544C.
  EXPECT_EQ(HashKey(u"\uFFFF"), 0x4C4B5254u);
}

TEST(HashKey, StartValueIsTheOneTheArchitectureNotesName) {
  std::ifstream notes(std::string(VENDRIK_SOURCE_DIR) + "/docs/ARCHITECTURE.md");
  ASSERT_TRUE(notes.good());
  const std::regex value("0x([0-9A-Fa-f]{8})");
  std::string line;
  bool found = false;
  while (std::getline(notes, line)) {
    std::smatch match;
    if (line.find("HashKey") == std::string::npos || !std::regex_search(line, match, value)) continue;
    EXPECT_EQ(std::stoul(match[1].str(), nullptr, 16), kHashKeyStart) << line;
    found = true;
  }
  EXPECT_TRUE(found);
}

TEST(FastCipher, KeysOfTheClassicAndFastMethods) {
  const auto encryption = [](TdwEncryptionMethod method, const std::u16string& key) {
    TdwCryptor cryptor;
    cryptor.SetEncryptionMethod(method);
    cryptor.SetKey(key);
    return cryptor.CreateEncryption();
  };
  // Classic 5 hashes only the part after ";"; fast hashes the whole key.
  EXPECT_TRUE(EncryptionsMatch(*encryption(emClassic5, u"anna;code"), *encryption(emClassic5, u"bert;code")));
  EXPECT_FALSE(EncryptionsMatch(*encryption(emFast, u"anna;code"), *encryption(emFast, u"bert;code")));
  EXPECT_TRUE(EncryptionsMatch(*encryption(emClassic5, u"x;code"), *encryption(emFast, u"code")));
  // Classic 1 uses the integer itself as the key.
  TTdbFastEncryption byNumber(static_cast<std::uint32_t>(-17));
  EXPECT_TRUE(EncryptionsMatch(*encryption(emClassic1, u"pw;-17"), byNumber));
  EXPECT_FALSE(EncryptionsMatch(*encryption(emClassic1, u"pw;-18"), byNumber));
}

TEST(FastCipher, ChangesEveryPositionAndNeedsTheKey) {
  TTdbFastEncryption fast(0x12345678);
  TBytes zeros(64, 0);
  TBytes encrypted = zeros;
  fast.EncryptBlock(encrypted.data(), encrypted.size());
  EXPECT_NE(encrypted, zeros);
  // The backward pass carries a change of the last byte to the first.
  TBytes changed = zeros;
  changed.back() = 1;
  fast.EncryptBlock(changed.data(), changed.size());
  EXPECT_NE(changed.front(), encrypted.front());
  TTdbFastEncryption other(0x12345679);
  TBytes wrong = encrypted;
  other.DecryptBlock(wrong.data(), wrong.size());
  EXPECT_NE(wrong, zeros);
}

// The block ciphers meet block boundaries at every length up to 8192; the
// fast cipher works byte by byte, so short lengths and a few long ones do.
TEST(EveryMethod, RoundTripsAndRepeatsItself) {
  std::mt19937 random(21);
  TBytes plain(70000);
  for (auto& byte : plain) byte = static_cast<std::uint8_t>(random());
  std::vector<std::size_t> everyLength, someLengths;
  for (std::size_t length = 1; length <= 8192; ++length) everyLength.push_back(length);
  for (std::size_t length = 1; length <= 300; ++length) someLengths.push_back(length);
  for (std::size_t length : {4096, 8191, 8192, 65535, 65536, 70000}) someLengths.push_back(length);
  struct Case {
    TdwEncryptionMethod method;
    std::u16string key;
    const std::vector<std::size_t>& lengths;
  } cases[] = {
      {emNone, u"", someLengths},           {emProtection, u"pw", someLengths},
      {emClassic1, u"pw;99", someLengths},  {emClassic5, u"pw;x", someLengths},
      {emFast, u"pw", someLengths},         {emBlowfish, u"pw", everyLength},
      {emRijndael, u"pw", everyLength},
  };
  for (const Case& c : cases) {
    TdwCryptor cryptor;
    cryptor.SetEncryptionMethod(c.method);
    cryptor.SetKey(c.key);
    ASSERT_TRUE(cryptor.Initialize()) << int(c.method);
    TTdbEncryption& encryption = *cryptor.Encryption();
    const bool changes = c.method != emNone && c.method != emProtection;
    for (std::size_t length : c.lengths) {
      const auto end = plain.begin() + static_cast<std::ptrdiff_t>(length);
      TBytes data(plain.begin(), end);
      encryption.EncryptBlock(data.data(), data.size());
      TBytes again(plain.begin(), end);
      encryption.EncryptBlock(again.data(), again.size());
      if (again != data || (changes && length >= 4 && std::equal(data.begin(), data.end(), plain.begin()))) {
        ADD_FAILURE() << int(c.method) << ": " << length << " bytes encrypted unchanged or differently twice";
        break;
      }
      encryption.DecryptBlock(data.data(), data.size());
      if (!std::equal(data.begin(), data.end(), plain.begin())) {
        ADD_FAILURE() << int(c.method) << " did not round-trip " << length << " bytes";
        break;
      }
    }
    TBytes empty;
    encryption.EncryptBlock(empty.data(), 0);
    EXPECT_TRUE(empty.empty());
  }
}

}  // namespace
}  // namespace kestrel
