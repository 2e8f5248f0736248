// The fast cipher and HashKey.
#include "engine/crypto/fast_encryption.h"

#include <bit>

namespace kestrel {

namespace {

// The constants of one pass and the direction it walks the block.
struct TPass {
  std::uint16_t K1, K2, X1, X2;
  bool Forward;
};

constexpr TPass kPass1{0x99AB, 0xBE0F, 0x3496, 0xE538, true};
constexpr TPass kPass2{0x2347, 0xCD15, 0x27BE, 0x83AD, false};
constexpr TPass kPass3{0x1D21, 0x46F8, 0x733F, 0x87B7, true};

void RunPass(std::uint8_t* data, std::size_t size, std::uint32_t key, const TPass& pass, bool encrypt) {
  std::uint16_t a = static_cast<std::uint16_t>(key & 0xFFFF);
  std::uint16_t b = static_cast<std::uint16_t>(key >> 16);
  for (std::size_t n = 0; n < size; ++n) {
    std::uint8_t& byte = data[pass.Forward ? n : size - 1 - n];
    // Advance the registers.
    const std::uint32_t sum = static_cast<std::uint32_t>(b) + pass.K1;
    const std::uint16_t carry = static_cast<std::uint16_t>(sum >> 16);
    b = static_cast<std::uint16_t>(sum);
    a = static_cast<std::uint16_t>(a + pass.K2 + carry);
    const std::uint16_t high = static_cast<std::uint16_t>(a >> 15);
    a = static_cast<std::uint16_t>(a << 1);
    const std::uint16_t low = b & 1;
    b = static_cast<std::uint16_t>((high << 15) | (b >> 1));
    a = static_cast<std::uint16_t>(a | low);
    if (std::popcount(static_cast<unsigned>(a & 0xFF)) % 2 == 0) {
      a ^= pass.X1;
      b ^= pass.X2;
      const std::uint16_t lowB = b & 0xFF;
      const std::uint16_t highA = a >> 8;
      b = static_cast<std::uint16_t>((b & 0xFF00) | highA);
      a = static_cast<std::uint16_t>((a & 0x00FF) | (lowB << 8));
      b = static_cast<std::uint16_t>((b >> 1) | (b << 15));
    }
    // Combine the byte with the registers.
    std::uint8_t hiB = static_cast<std::uint8_t>(b >> 8);
    std::uint8_t loA = static_cast<std::uint8_t>(a);
    if (encrypt) {
      byte = static_cast<std::uint8_t>(byte + hiB);
      loA ^= byte;
    } else {
      loA ^= byte;
      byte = static_cast<std::uint8_t>(byte - hiB);
    }
    hiB ^= loA;
    a = static_cast<std::uint16_t>((a & 0xFF00) | loA);
    b = static_cast<std::uint16_t>((hiB << 8) | (b & 0x00FF));
  }
}

}  // namespace

std::uint32_t HashKey(std::u16string_view key) {
  std::uint32_t h = kHashKeyStart;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const std::uint32_t code = key[i];
    h += (i % 2 == 0) ? code << 16 : code;  // 1-based position i + 1 is odd when i is even
    h = std::rotr(h, 8);
  }
  return h;
}

TTdbFastEncryption::~TTdbFastEncryption() {
  volatile std::uint32_t* key = &FKey;
  *key = 0;
}

void TTdbFastEncryption::EncryptBlock(std::uint8_t* data, std::size_t size) {
  RunPass(data, size, FKey, kPass1, true);
  RunPass(data, size, FKey, kPass2, true);
  RunPass(data, size, FKey, kPass3, true);
}

void TTdbFastEncryption::DecryptBlock(std::uint8_t* data, std::size_t size) {
  RunPass(data, size, FKey, kPass3, false);
  RunPass(data, size, FKey, kPass2, false);
  RunPass(data, size, FKey, kPass1, false);
}

}  // namespace kestrel
