#include "platform/core/numtext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace zelk {
namespace {

TEST(NumberText, WholeNumbersAndShortestDoubles) {
  EXPECT_EQ(numberText(0), "0");
  EXPECT_EQ(numberText(-27), "-27");
  EXPECT_EQ(numberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(numberText(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
  EXPECT_EQ(numberText(2.5), "2.5");
  EXPECT_EQ(numberText(1000.25), "1000.25");
  EXPECT_EQ(numberText(-0.1), "-0.1");
  EXPECT_EQ(numberText(1e20), "1e+20");
  EXPECT_EQ(numberText(-std::numeric_limits<double>::denorm_min()), "-5e-324");
  EXPECT_EQ(numberText(-2.2250738585072014e-308), "-2.2250738585072014e-308");
}

TEST(NumberText, FixedDecimals) {
  EXPECT_EQ(fixedText(3.14159, 2), "3.14");
  EXPECT_EQ(fixedText(2.5, 0), "2");
  EXPECT_EQ(fixedText(-0.5, 3), "-0.500");
  EXPECT_EQ(fixedText(1e300, 1).size(), 303u);  // 301 digits and ".0"
  EXPECT_EQ(fixedText(-std::numeric_limits<double>::max(), 2).size(), 313u);
}

}  // namespace
}  // namespace zelk
