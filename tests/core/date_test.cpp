#include "platform/core/date.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

TEST(DayNumber, FixedPoints) {
  struct Case {
    int year, month, day;
    std::int64_t number;
  };
  const Case cases[] = {
      {1800, 12, 28, 0},
      {1800, 12, 31, 3},
      {1801, 1, 1, 4},
      {1801, 1, 2, 5},
      {1802, 1, 1, 4 + 365},
      {9999, 12, 31, 2994626},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(date::dayNumber(c.year, c.month, c.day), c.number) << c.year << '-' << c.month << '-' << c.day;
  }
  EXPECT_EQ(kFirstDay, 4);
  EXPECT_EQ(kLastDay, 2994626);
}

TEST(DayNumber, LeapDays) {
  EXPECT_EQ(date::dayNumber(2000, 3, 1) - date::dayNumber(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(date::dayNumber(1900, 3, 1) - date::dayNumber(1900, 2, 28), 1);  // 1900 is not
  EXPECT_EQ(date::daysInMonth(2000, 2), 29);
  EXPECT_EQ(date::daysInMonth(1900, 2), 28);
  EXPECT_EQ(date::daysInMonth(2004, 2), 29);
  EXPECT_EQ(date::daysInMonth(2005, 2), 28);
  EXPECT_EQ(date::daysInMonth(2005, 12), 31);
  EXPECT_EQ(date::daysInMonth(2005, 4), 30);
  const date::Ymd leap = date::fromDay(static_cast<std::int32_t>(date::dayNumber(2000, 2, 29)));
  EXPECT_EQ(leap.year, 2000);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
}

TEST(DayNumber, MonthAndDayRollOver) {
  EXPECT_EQ(date::dayNumber(2005, 1, 32), date::dayNumber(2005, 2, 1));
  EXPECT_EQ(date::dayNumber(2005, 3, 0), date::dayNumber(2005, 2, 28));
  EXPECT_EQ(date::dayNumber(2005, 13, 1), date::dayNumber(2006, 1, 1));
  EXPECT_EQ(date::dayNumber(2005, 0, 1), date::dayNumber(2004, 12, 1));
  EXPECT_EQ(date::dayNumber(2005, 25, 1), date::dayNumber(2007, 1, 1));
}

TEST(DayNumber, RoundTripsOverTheWholeRange) {
  int lastYear = 1800, lastMonth = 12, lastDay = 31;
  for (std::int32_t n = kFirstDay; n <= kLastDay; ++n) {
    const date::Ymd d = date::fromDay(n);
    ASSERT_EQ(date::dayNumber(d.year, d.month, d.day), n);
    // consecutive days follow the calendar
    if (d.day != lastDay + 1) {
      ASSERT_EQ(d.day, 1) << n;
      ASSERT_EQ(lastDay, date::daysInMonth(lastYear, lastMonth)) << n;
    }
    lastYear = d.year, lastMonth = d.month, lastDay = d.day;
  }
  EXPECT_EQ(lastYear, 9999);
}

TEST(DayNumber, InvalidDayNumbersHaveNoDate) {
  for (std::int32_t n : {-1, 0, 3, kLastDay + 1}) {
    EXPECT_FALSE(date::valid(n)) << n;
    const date::Ymd d = date::fromDay(n);
    EXPECT_EQ(d.year, 0) << n;
    EXPECT_EQ(d.month, 0) << n;
    EXPECT_EQ(d.day, 0) << n;
  }
  EXPECT_TRUE(date::valid(kFirstDay));
  EXPECT_TRUE(date::valid(kLastDay));
}

TEST(DayNumber, TodayIsAValidDay) {
  EXPECT_TRUE(date::valid(date::today()));
  EXPECT_GT(date::today(), date::dayNumber(2020, 1, 1));
}

}  // namespace
}  // namespace zelk
