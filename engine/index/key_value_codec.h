// Little-endian number reading and writing for index keys and index file
// pages. Only the encodings keys compare by and page fields use; the column
// codecs proper live with the column types. Reads copy byte-wise, so any
// alignment is fine.
#pragma once

#include <cstdint>
#include <cstring>

namespace kestrel {

inline uint16_t ReadLeU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t ReadLeI16(const uint8_t* p) { return static_cast<int16_t>(ReadLeU16(p)); }
inline uint32_t ReadLeU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t ReadLeI32(const uint8_t* p) { return static_cast<int32_t>(ReadLeU32(p)); }
inline uint64_t ReadLeU64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadLeU32(p)) | (static_cast<uint64_t>(ReadLeU32(p + 4)) << 32);
}
inline int64_t ReadLeI64(const uint8_t* p) { return static_cast<int64_t>(ReadLeU64(p)); }
inline double ReadLeDouble(const uint8_t* p) {
  const uint64_t bits = ReadLeU64(p);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void WriteLeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLeU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void WriteLeI32(uint8_t* p, int32_t v) { WriteLeU32(p, static_cast<uint32_t>(v)); }

}  // namespace kestrel
