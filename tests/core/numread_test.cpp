#include "platform/core/numread.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/core/date.h"

namespace zelk {
namespace {

struct NumberCase {
  std::string text;
  double value;
};

TEST(ReadDecimalNumber, Cases) {
  const NumberCase cases[] = {
      {"", 0},
      {"      ", 0},
      {"42", 42},
      {"  42", 42},
      {"\t\r\n\v\f 42", 42},
      {"42   ", 42},
      {"00123", 123},
      {"000042", 42},
      {"-17", -17},
      {"-0", 0},
      {"+5", 0},  // a plus sign in front gives 0
      {"-+5", 0},
      {"12.5", 12.5},
      {"12,5", 12.5},
      {"12.5.7", 12.5},
      {"12,5,7", 12.5},
      {".5", 0.5},
      {"-.5", -0.5},
      {"7.", 7},
      {".", 0},
      {"-", 0},
      {"1e3", 1000},
      {"1E3", 1000},
      {"2.5e-1", 0.25},
      {"2,5e+2", 250},
      {"1e", 1},
      {"1e+", 1},
      {"1ex", 1},
      {"1e400", 0},   // power of ten beyond the converter's range
      {"1e-400", 0},
      {"-1e99999999999999999999", 0},
      {"abc", 0},
      {"A12345", 0},
      {"12A456", 12},
      {" 77", 77},
      {"1 2", 1},
      {"42\r", 42},
      {std::string(400, '9'), 0},  // no double holds it
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(readDecimalNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReadDecimalNumber, MinusZeroIsPlainZero) {
  EXPECT_FALSE(std::signbit(readDecimalNumber("-0.0")));
}

TEST(ReadFloatNumber, Cases) {
  const NumberCase cases[] = {
      {"1500.00", 1500},
      {"-250.5", -250.5},
      {"+250.5", 250.5},
      {"1234,56", 1234},    // a comma is no decimal point
      {"1 234.56", 1},      // a blank ends the number
      {"", 0},
      {"     ", 0},
      {" \t\r\n 12.5", 12.5},
      {"12.5   ", 12.5},
      {"1.5e3", 1500},
      {"1.5E-1", 0.15},
      {"2e", 2},
      {"2e-", 2},
      {".25", 0.25},
      {"3.", 3},
      {"1.2.3", 1.2},
      {"no number", 0},
      {"-", 0},
      {"+", 0},
      {"inf", 0},
      {"nan", 0},
      {"0x10", 0},
      {"1e400", 0},  // overflow
      {"12-", 12},
      {std::string(38, '0') + "12", 1},     // only the first 39 characters are read
      {std::string(39, ' ') + "5", 0},
      {std::string(30, ' ') + "123456789012", 123456789},
      {"1" + std::string(37, ' ') + "5x", 1},  // blanks inside the 39 characters end the number
      {"-" + std::string(250, ' '), 0},         // as they do trailing
      {"7e" + std::string(250, ' '), 7},
      {"." + std::string(250, ' '), 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(readFloatNumber(c.text), c.value) << '"' << c.text << '"';
}

// The numbers that are read without the general converter come out bit for bit as it
// reads them: up to 15 digits, fractions of every length, values that are not exact in
// binary; the longer ones go to the converter.
TEST(ReadFloatNumber, ShortNumbersAsTheConverterReadsThem) {
  const char* texts[] = {"0.1", "0.3", "2.675", "1.005", "1000.25", "-500.50", "350000.00", "999999999999999",
                         "99999999.9999999", "0.000000000000001", ".123456789012345", "-0.000",
                         "000000000000001.5", "9007199254740993", "0.1000000000000001", "123456.7890123456"};
  for (const char* t : texts) {
    double expected = 0;
    const std::string_view s(t);
    const std::string whole = s[0] == '.' ? "0" + std::string(s) : std::string(s);
    std::from_chars(whole.data(), whole.data() + whole.size(), expected);
    expected += 0.0;
    const double got = readFloatNumber(t);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << t << ": " << got << " against " << expected;
  }
}

struct DateCase {
  std::string text;
  int year, month, day;  // year 0: the expected result is `result`
  std::int32_t result;
};

TEST(ReadStatementDate, Cases) {
  const DateCase cases[] = {
      {"31-12-2005", 2005, 12, 31, 0},
      {"31.12.2005", 2005, 12, 31, 0},
      {"31122005", 2005, 12, 31, 0},
      {"  01-01-1801", 1801, 1, 1, 0},
      {"31-12-9999", 9999, 12, 31, 0},
      {"1-2-2005", 2005, 2, 1, 0},
      {"date: 5/3/2004 end", 2004, 3, 5, 0},
      {"29-02-2000", 2000, 2, 29, 0},
      {"29-02-2001", 2001, 3, 1, 0},  // runs on into March
      {"32-01-2005", 2005, 2, 1, 0},  // runs on into February
      {"99-01-2005", 2005, 4, 9, 0},
      {"00-03-2005", 2005, 2, 28, 0},  // day 0: last day of the month before
      {"00-01-2005", 2004, 12, 31, 0},
      {"15-13-2005", 2006, 1, 15, 0},  // month 13: January of the next year
      {"15-99-2005", 2013, 3, 15, 0},
      {"31-12-05", 2005, 12, 31, 0},   // two-digit years: 00-49 are 20yy
      {"31-12-49", 2049, 12, 31, 0},
      {"31-12-50", 1950, 12, 31, 0},   // 50-99 are 19yy
      {"31-12-99", 1999, 12, 31, 0},
      {"01-01-7", 2007, 1, 1, 0},
      {"31-12-200512", 2005, 12, 31, 0},  // the year group holds four digits
      {"", 0, 0, 0, 0},
      {"  -  -    ", 0, 0, 0, 0},
      {"no date", 0, 0, 0, 0},
      {"15-00-2005", 0, 0, 0, -1},  // month 0
      {"01-01-1800", 0, 0, 0, -1},  // year before 1801
      {"01-01-205", 0, 0, 0, -1},   // a three-digit year is taken as written
      {"00-01-1801", 0, 0, 0, -1},  // 31 Dec 1800: before the first day
      {"32-12-9999", 0, 0, 0, -1},  // after the last day
      {"01-13-9999", 0, 0, 0, -1},
      {"15", 0, 0, 0, -1},          // no month
      {"15-12", 0, 0, 0, -1},       // no year
  };
  for (const auto& c : cases) {
    const std::int32_t want =
        c.year ? static_cast<std::int32_t>(date::dayNumber(c.year, c.month, c.day)) : c.result;
    EXPECT_EQ(readStatementDate(c.text), want) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace zelk
