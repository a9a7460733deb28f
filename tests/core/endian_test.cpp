#include "platform/core/endian.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace zelk {
namespace {

// Each value written one byte into a buffer (unaligned), then read back.
template <class T>
std::vector<unsigned char> written(T v) {
  std::array<unsigned char, 1 + sizeof(T)> b{};
  putLittle(b.data() + 1, v);
  EXPECT_EQ(getLittle<T>(b.data() + 1), v);
  return {b.begin() + 1, b.end()};
}

TEST(Endian, LowestByteFirstForEveryWidth) {
  using Bytes = std::vector<unsigned char>;
  EXPECT_EQ(written<std::uint8_t>(0xAB), (Bytes{0xAB}));
  EXPECT_EQ(written<std::uint16_t>(0x0102), (Bytes{2, 1}));
  EXPECT_EQ(written<std::int16_t>(-2), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(written<std::uint32_t>(0x01020304), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(written<std::int32_t>(-1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(written<std::uint64_t>(0x0102030405060708), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(written<double>(250.5), (Bytes{0, 0, 0, 0, 0, 0x50, 0x6F, 0x40}));
}

}  // namespace
}  // namespace zelk
