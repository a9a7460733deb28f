#include "platform/core/fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zelk {
namespace {

template <class T>
std::array<unsigned char, sizeof(T)> bytesOf(const T& v) {
  std::array<unsigned char, sizeof(T)> b;
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

struct Record {
  Int16 code;
  Real amount;
  UInt8 flag;
  Packed6 packed;
  DateField date;
  Int32 count;
};

TEST(Fields, RecordHasTheLayoutsOffsetsWithoutPadding) {
  static_assert(sizeof(Record) == 2 + 8 + 1 + 6 + 4 + 4);
  EXPECT_EQ(offsetof(Record, amount), 2u);
  EXPECT_EQ(offsetof(Record, flag), 10u);
  EXPECT_EQ(offsetof(Record, packed), 11u);
  EXPECT_EQ(offsetof(Record, date), 17u);
  EXPECT_EQ(offsetof(Record, count), 21u);
}

TEST(Fields, NumbersAreLittleEndianAndStartAtZero) {
  Record r;
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.amount, 0.0);
  EXPECT_EQ(r.packed, 0);
  EXPECT_EQ(r.date, 0);
  r.code = -2;
  EXPECT_EQ(bytesOf(r.code), (std::array<unsigned char, 2>{0xFE, 0xFF}));
  r.count = 0x01020304;
  EXPECT_EQ(bytesOf(r.count), (std::array<unsigned char, 4>{4, 3, 2, 1}));
  r.amount = 250.5;
  EXPECT_EQ(r.amount, 250.5);
  r.flag = 200;
  EXPECT_EQ(r.flag, 200);
  Int16 big = static_cast<std::int16_t>(32767);
  EXPECT_EQ(big.get(), 32767);
}

TEST(DateField, HoldsValidDayNumbersOnly) {
  struct Case {
    std::int32_t in, held;
  };
  const Case cases[] = {{0, 0}, {-1, 0}, {3, 0}, {4, 4}, {kLastDay, kLastDay}, {kLastDay + 1, 0}, {75000, 75000}};
  for (const auto& c : cases) {
    DateField d = c.in;
    EXPECT_EQ(d.day(), c.held) << c.in;
  }
}

TEST(Packed6, RoundTrips) {
  const std::int64_t values[] = {0, 1, -1, 42, -42, 123456, 99999999999, -99999999999, 10000000000};
  for (std::int64_t v : values) {
    Packed6 p = v;
    EXPECT_EQ(static_cast<std::int64_t>(p), v) << v;
    Packed6 copy;
    std::memcpy(&copy, &p, sizeof p);  // as read back from a file
    EXPECT_EQ(copy.get(), v) << v;
  }
}

TEST(Packed6, ByteLayout) {
  struct Case {
    std::int64_t value;
    std::array<unsigned char, 6> bytes;
  };
  const Case cases[] = {
      {0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {123, {0x00, 0x00, 0x00, 0x00, 0x01, 0x23}},
      {-123, {0xD0, 0x00, 0x00, 0x00, 0x01, 0x23}},
      {99999999999, {0x09, 0x99, 0x99, 0x99, 0x99, 0x99}},
      {-12345678901, {0xD1, 0x23, 0x45, 0x67, 0x89, 0x01}},
  };
  for (const auto& c : cases) EXPECT_EQ(bytesOf(Packed6(c.value)), c.bytes) << c.value;
}

TEST(Packed6, KeepsTheLowestElevenDigits) {
  EXPECT_EQ(Packed6(123456789012345).get(), 56789012345);
  EXPECT_EQ(Packed6(-100000000001).get(), -1);
  EXPECT_EQ(Packed6(INT64_MIN).get(), -36854775808);
}

}  // namespace
}  // namespace zelk
