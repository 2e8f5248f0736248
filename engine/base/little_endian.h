// Little-endian loads and stores of the fixed-width integers and binary64
// floats of the engine's file formats. The callers check the bounds.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kestrel {

template <typename T>
T LoadLE(const uint8_t* bytes) {
  using U = std::make_unsigned_t<std::conditional_t<std::is_floating_point_v<T>,
                                                    std::conditional_t<sizeof(T) == 8, int64_t, int32_t>, T>>;
  U value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
  if constexpr (std::is_floating_point_v<T>)
    return std::bit_cast<T>(value);
  else
    return static_cast<T>(value);
}

template <typename T>
void StoreLE(uint8_t* bytes, T value) {
  using U = std::make_unsigned_t<std::conditional_t<std::is_floating_point_v<T>,
                                                    std::conditional_t<sizeof(T) == 8, int64_t, int32_t>, T>>;
  U bits;
  if constexpr (std::is_floating_point_v<T>)
    bits = std::bit_cast<U>(value);
  else
    bits = static_cast<U>(value);
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace kestrel
