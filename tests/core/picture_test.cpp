#include "platform/core/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/core/date.h"

namespace zelk {
namespace {

Picture pic(std::string_view text) {
  std::optional<Picture> p = Picture::parse(text);
  if (!p) ADD_FAILURE() << "picture refused: " << text;
  return p.value_or(Picture{});
}

double day(int y, int m, int d) { return static_cast<double>(date::dayNumber(y, m, d)); }

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

TEST(Picture, Parses) {
  struct Case {
    std::string text;
    Picture::Kind kind;
    int width, decimals;
  };
  const Case cases[] = {
      {"s50", Picture::Kind::Text, 50, 0},   {"S6", Picture::Kind::Text, 6, 0},
      {"n3b", Picture::Kind::Number, 3, 0},  {"n-18.2", Picture::Kind::Number, 18, 2},
      {"n18.2", Picture::Kind::Number, 18, 2}, {"n_10.2", Picture::Kind::Number, 10, 2},
      {"n_4", Picture::Kind::Number, 4, 0},  {"n_4b", Picture::Kind::Number, 4, 0},
      {"N06", Picture::Kind::Number, 6, 0},  {"D6", Picture::Kind::Date, 10, 0},
      {"D6b", Picture::Kind::Date, 10, 0},   {"d17", Picture::Kind::Date, 10, 0},
      {"d6-", Picture::Kind::Date, 10, 0},   {"d6.", Picture::Kind::Date, 10, 0},
      {"@n_10.2@", Picture::Kind::Number, 10, 2}, {"@d17@", Picture::Kind::Date, 10, 0},
  };
  for (const auto& c : cases) {
    std::optional<Picture> p = Picture::parse(c.text);
    ASSERT_TRUE(p) << c.text;
    EXPECT_EQ(p->kind(), c.kind) << c.text;
    EXPECT_EQ(p->width(), c.width) << c.text;
    EXPECT_EQ(p->decimals(), c.decimals) << c.text;
  }
  for (std::string_view bad : {"", "@@", "x5", "s", "s0", "s5x", "n", "n-", "n10.", "n10.2x", "n3.3", "n_",
                               "d", "d5", "d6x", "d17-", "D6bb"}) {
    EXPECT_FALSE(Picture::parse(bad)) << '"' << bad << '"';
  }
}

TEST(Picture, FormatsNumbersAndDates) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::string picture;
    double value;
    std::string shown;
  };
  const Case cases[] = {
      {"n3b", 0, "   "},
      {"n3b", 5, "  5"},
      {"n3b", 123, "123"},
      {"n3b", 1234, "###"},             // does not fit
      {"n3b", -12, "-12"},
      {"n3b", -123, "###"},
      {"n3b", 0.4, "   "},              // rounds to 0, shown as blank
      {"n-18.2", 1234567.891, "      1,234,567.89"},
      {"n-18.2", -250.5, "           -250.50"},
      {"n-18.2", 0, "              0.00"},
      {"n-18.2", 999999999999.99, "999,999,999,999.99"},
      {"n-18.2", -999999999999.99, "##################"},
      {"n-18.2", 1e15, "##################"},
      {"n18.2", 1500, "          1,500.00"},
      {"n18.2", -250.5, "           -250.50"},  // a minus shows without "-" in the picture too
      {"n18.2", 100, "            100.00"},
      {"n18.2", 999.995, "          1,000.00"},
      {"n_10.2", 1234567.891, "1234567.89"},
      {"n_10.2", 12345678.9, "##########"},
      {"n_10.2", 2.675, "      2.68"},   // the decimal text is rounded, half away from zero
      {"n_10.2", -2.675, "     -2.68"},
      {"n_10.2", 1.005, "      1.01"},
      {"n_10.2", 0.125, "      0.13"},
      {"n_10.2", 0.124999, "      0.12"},
      {"n_10.2", 9.995, "     10.00"},
      {"n_10.2", -0.004, "      0.00"},  // no minus on a zero
      {"n_10.2", 1e-300, "      0.00"},
      {"n_10.2", 250.5, "    250.50"},
      {"n_10.2", inf, "##########"},
      {"n_10.2", std::nan(""), "##########"},
      {"n_4", 1234, "1234"},
      {"n_4", 12345, "####"},
      {"n_4", 12.5, "  13"},
      {"n_4", -12.5, " -13"},
      {"n_4", 0, "   0"},
      {"n_4b", 0, "    "},
      {"n_4b", 7, "   7"},
      {"N06", 42, "000042"},
      {"N06", 0, "000000"},
      {"N06", 999999, "999999"},
      {"N06", 1000000, "######"},
      {"N06", 42.7, "000043"},
      {"N06", -42, "-00042"},
      {"D6", day(2005, 12, 31), "31/12/2005"},
      {"D6", 4, "01/01/1801"},
      {"D6", 2994626, "31/12/9999"},
      {"D6", 0, blanks(10)},
      {"D6", -1, blanks(10)},
      {"D6", 2994627, blanks(10)},
      {"D6b", day(2000, 2, 29), "29/02/2000"},
      {"D6b", 0, blanks(10)},
      {"d17", day(2005, 1, 5), "05.01.2005"},
      {"d17", 0, blanks(10)},
      {"d6-", day(2005, 12, 31), "31-12-2005"},
      {"d6.", day(2005, 12, 31), "31.12.2005"},
  };
  for (const auto& c : cases) {
    const std::string shown = pic(c.picture).format(c.value);
    EXPECT_EQ(shown, c.shown) << c.picture << " " << c.value;
    EXPECT_EQ(shown.size(), static_cast<std::size_t>(pic(c.picture).width())) << c.picture << " " << c.value;
  }
}

TEST(Picture, FormatsTexts) {
  const Picture s6 = pic("s6");
  EXPECT_EQ(s6.formatText("abc"), "abc   ");
  EXPECT_EQ(s6.formatText("abcdefgh"), "abcdef");
  EXPECT_EQ(s6.formatText(""), blanks(6));
  EXPECT_EQ(s6.format(1500), "1500  ");
  EXPECT_EQ(s6.format(-2.5), "-2.5  ");
  EXPECT_EQ(pic("s50").formatText("x").size(), 50u);
  // a number picture shows a number's text as the number
  EXPECT_EQ(pic("n-18.2").formatText("1500"), "          1,500.00");
}

TEST(Picture, ReadsEntries) {
  const double refused = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::string picture, text;
    double value;  // NaN: refused
  };
  const Case cases[] = {
      {"n-18.2", "1,234,567.89", 1234567.89},
      {"n-18.2", "  -250.5  ", -250.5},
      {"n-18.2", "1234", 1234},
      {"n-18.2", "12,34", 1234},  // grouping commas are not checked for position
      {"n-18.2", ".5", 0.5},
      {"n-18.2", "7.", 7},
      {"n-18.2", "-0", 0},
      {"n-18.2", "", 0},
      {"n-18.2", "    ", 0},
      {"n-18.2", "2.675", 2.68},  // kept as shown: rounded to the decimals
      {"n-18.2", "12a", refused},
      {"n-18.2", "1.2.3", refused},
      {"n-18.2", "--1", refused},
      {"n-18.2", "+1", refused},
      {"n-18.2", "- 1", refused},
      {"n-18.2", "1 234", refused},
      {"n-18.2", ",5", refused},
      {"n-18.2", "5,", refused},
      {"n-18.2", "1,,2", refused},
      {"n-18.2", "1,.5", refused},
      {"n-18.2", ".", refused},
      {"n-18.2", "-", refused},
      {"n-18.2", "1e3", refused},
      {"n-18.2", "1234,56", 123456},
      {"n-18.2", "1000000000000000", refused},  // does not fit 18 positions
      {"n3b", "123", 123},
      {"n3b", "", 0},
      {"n3b", "-12", -12},
      {"n3b", "1234", refused},
      {"n3b", "-123", refused},
      {"n_4", "12.5", 13},
      {"n_4b", "  7", 7},
      {"N06", "000042", 42},
      {"N06", "42", 42},
      {"N06", "42.7", 43},
      {"N06", "1234567", refused},
      {"D6", "31/12/2005", day(2005, 12, 31)},
      {"D6", " 31/12/2005 ", day(2005, 12, 31)},
      {"D6", "31.12.2005", day(2005, 12, 31)},  // any separator
      {"D6", "31 12 2005", day(2005, 12, 31)},
      {"D6", "1/2/2005", day(2005, 2, 1)},
      {"D6", "31122005", day(2005, 12, 31)},
      {"D6", "31/12/05", day(2005, 12, 31)},
      {"D6", "31/12/99", day(1999, 12, 31)},
      {"D6", "29/02/2000", day(2000, 2, 29)},
      {"D6", "01/01/1801", 4},
      {"D6", "31/12/9999", 2994626},
      {"D6", "", 0},
      {"D6", "   ", 0},
      {"D6", "29/02/2001", refused},
      {"D6", "32/01/2005", refused},
      {"D6", "00/01/2005", refused},
      {"D6", "01/00/2005", refused},
      {"D6", "01/13/2005", refused},
      {"D6", "31/12/1800", refused},
      {"D6", "01/01/205", refused},
      {"D6", "31/12", refused},
      {"D6", "31//12/2005", refused},
      {"D6", "31/12/2005x", refused},
      {"D6", "abc", refused},
      {"D6b", "", 0},
      {"d17", "05.01.2005", day(2005, 1, 5)},
      {"d6-", "31-12-2005", day(2005, 12, 31)},
      {"s10", "42", 42},
  };
  for (const auto& c : cases) {
    const std::optional<double> got = pic(c.picture).read(c.text);
    if (std::isnan(c.value)) {
      EXPECT_FALSE(got) << c.picture << " \"" << c.text << "\" read as " << got.value_or(0);
    } else {
      ASSERT_TRUE(got) << c.picture << " \"" << c.text << '"';
      EXPECT_DOUBLE_EQ(*got, c.value) << c.picture << " \"" << c.text << '"';
    }
  }
}

TEST(Picture, WhatIsShownReadsBack) {
  struct Case {
    std::string picture;
    double value;
  };
  const Case cases[] = {
      {"n-18.2", 1234567.89}, {"n-18.2", -250.5}, {"n-18.2", 0}, {"n18.2", 999999999999.99},
      {"n_10.2", 0.01},       {"n_4", 1234},      {"n3b", 0},    {"n3b", 42},
      {"N06", 42},            {"D6", day(2005, 12, 31)}, {"D6b", 0}, {"d17", 4},
      {"d17", 2994626},       {"d6-", day(2000, 2, 29)},
  };
  for (const auto& c : cases) {
    const Picture p = pic(c.picture);
    const std::optional<double> back = p.read(p.format(c.value));
    ASSERT_TRUE(back) << c.picture << " " << c.value;
    EXPECT_DOUBLE_EQ(*back, c.value) << c.picture;
  }
}

}  // namespace
}  // namespace zelk
