#pragma once
// Byte scans sixteen bytes at a time.
#include <algorithm>
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

inline bool anySet(Block mask) { return !allClear(mask); }

// The first byte in [p, end) that is a, b or c; end when there is none. The first
// blocks of sixteen are searched one by one (a line of text often ends in them); then
// sixty-four bytes at a time pass when none is as low as the highest of the three (a
// text holds few control characters).
[[gnu::always_inline]] inline const char* findAnyOf(const char* p, const char* end, char a, char b, char c) {
  const auto ua = static_cast<unsigned char>(a), ub = static_cast<unsigned char>(b),
             uc = static_cast<unsigned char>(c);
  const unsigned char low = std::max({ua, ub, uc});
  auto firstIn = [&](const char* q) {
    const Block v = load(q);
    return firstSet(reinterpret_cast<Block>((v == ua) | (v == ub) | (v == uc)));
  };
  for (int k = 0; k < 4 && end - p >= 16; ++k, p += 16)
    if (const unsigned i = firstIn(p); i < 16) return p + i;
  for (; end - p >= 64; p += 64) {
    const Block v0 = load(p), v1 = load(p + 16), v2 = load(p + 32), v3 = load(p + 48);
    if (!anySet(reinterpret_cast<Block>((v0 <= low) | (v1 <= low) | (v2 <= low) | (v3 <= low)))) continue;
    for (int k = 0; k < 64; k += 16)
      if (const unsigned i = firstIn(p + k); i < 16) return p + k + i;
  }
  for (; end - p >= 16; p += 16)
    if (const unsigned i = firstIn(p); i < 16) return p + i;
  for (; p < end; ++p)
    if (*p == a || *p == b || *p == c) return p;
  return end;
}

}  // namespace zelk::bytes
