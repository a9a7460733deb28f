#pragma once
// Byte scans sixteen bytes at a time.
#include <bit>
#include <cstdint>
#include <cstring>

namespace zelk::bytes {

typedef unsigned char Block __attribute__((vector_size(16)));

inline Block load(const char* p) {
  Block v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// A mask's bytes are 0xFF (set) or 0.
inline bool allSet(Block mask) {
  std::uint64_t w[2];
  std::memcpy(w, &mask, sizeof w);
  return (w[0] & w[1]) == ~std::uint64_t{0};
}

inline bool allClear(Block mask) {
  std::uint64_t w[2];
  std::memcpy(w, &mask, sizeof w);
  return (w[0] | w[1]) == 0;
}

// The index of a mask's first set byte; 16 when none is.
inline unsigned firstSet(Block mask) {
  std::uint64_t w[2];
  std::memcpy(w, &mask, sizeof w);
  auto first = [](std::uint64_t x) {
    return static_cast<unsigned>(std::endian::native == std::endian::little ? std::countr_zero(x) : std::countl_zero(x)) / 8;
  };
  if (w[0]) return first(w[0]);
  if (w[1]) return 8 + first(w[1]);
  return 16;
}

// The first byte in [p, end) that is a, b or c; end when there is none.
inline const char* findAnyOf(const char* p, const char* end, char a, char b, char c) {
  const auto ua = static_cast<unsigned char>(a), ub = static_cast<unsigned char>(b),
             uc = static_cast<unsigned char>(c);
  for (; end - p >= 16; p += 16) {
    const Block v = load(p);
    const unsigned i = firstSet(reinterpret_cast<Block>((v == ua) | (v == ub) | (v == uc)));
    if (i < 16) return p + i;
  }
  for (; p < end; ++p)
    if (*p == a || *p == b || *p == c) return p;
  return end;
}

}  // namespace zelk::bytes
