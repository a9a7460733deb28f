#pragma once
// Little-endian numbers in bytes: the order of every file layout of the program (a
// plain load or store on a little-endian machine).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zelk {

namespace detail {
template <std::size_t N>
struct UnsignedOfSize;
template <> struct UnsignedOfSize<1> { using type = std::uint8_t; };
template <> struct UnsignedOfSize<2> { using type = std::uint16_t; };
template <> struct UnsignedOfSize<4> { using type = std::uint32_t; };
template <> struct UnsignedOfSize<8> { using type = std::uint64_t; };
}  // namespace detail

// Writes v into the sizeof(T) bytes at p, lowest byte first.
template <class T>
  requires std::is_arithmetic_v<T>
inline void putLittle(void* p, T v) {
  using U = typename detail::UnsignedOfSize<sizeof(T)>::type;
  const U u = std::bit_cast<U>(v);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &u, sizeof u);
  } else {
    auto* b = static_cast<unsigned char*>(p);
    for (std::size_t i = 0; i < sizeof u; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
  }
}

// Reads the sizeof(T) bytes at p, lowest byte first.
template <class T>
  requires std::is_arithmetic_v<T>
inline T getLittle(const void* p) {
  using U = typename detail::UnsignedOfSize<sizeof(T)>::type;
  U u = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&u, p, sizeof u);
  } else {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = sizeof u; i-- > 0;) u = static_cast<U>((u << 8) | b[i]);
  }
  return std::bit_cast<T>(u);
}

}  // namespace zelk
