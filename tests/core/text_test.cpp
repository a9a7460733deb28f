#include "platform/core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zelk {
namespace {

TEST(Text, AssignmentCutsAndPads) {
  struct Case {
    std::string value, held;
  };
  const Case cases[] = {
      {"", "     "},
      {"ab", "ab   "},
      {"abcde", "abcde"},
      {"abcdefgh", "abcde"},
      {"  a", "  a  "},   // leading blanks are kept
      {"a\tb", "a\tb  "},
  };
  for (const auto& c : cases) {
    Text<5> t(c.value);
    EXPECT_EQ(t.view(), c.held) << '"' << c.value << '"';
    EXPECT_EQ(t.view().size(), 5u);
  }
  Text<5> t("abc");
  t = "xy";
  EXPECT_EQ(t.view(), "xy   ");
  t = std::string("0123456");
  EXPECT_EQ(t.view(), "01234");
  t.clear();
  EXPECT_TRUE(t.blank());
}

TEST(Text, AssignmentBetweenLengths) {
  Text<8> longer = "abcdefgh";
  Text<3> shorter = longer;
  EXPECT_EQ(shorter.view(), "abc");
  longer = shorter;
  EXPECT_EQ(longer.view(), "abc     ");
}

TEST(Text, TrimmedAndBlank) {
  Text<6> t = " ab";
  EXPECT_EQ(t.trimmed(), " ab");
  EXPECT_EQ(t.str(), " ab");
  EXPECT_FALSE(t.blank());
  EXPECT_TRUE(Text<6>("      ").blank());
  EXPECT_EQ(trimRight("a b  "), "a b");
  EXPECT_EQ(trimRight("   "), "");
  EXPECT_EQ(trimRight("a\t"), "a\t");  // only blanks are trailing blanks
}

TEST(Text, TrimsEitherSide) {
  struct Case {
    std::string_view in, left, right, both;
  };
  for (const Case& c : {Case{"  a b  ", "a b  ", "  a b", "a b"}, Case{"   ", "", "", ""}, Case{"", "", "", ""},
                        Case{"\ta ", "\ta ", "\ta", "\ta"}}) {
    EXPECT_EQ(trimLeft(c.in), c.left) << c.in;
    EXPECT_EQ(trimRight(c.in), c.right) << c.in;
    EXPECT_EQ(trim(c.in), c.both) << c.in;
  }
  EXPECT_EQ(trim(" \ta b\t \r", " \t\r"), "a b");
  EXPECT_EQ(trimLeft("\t \t", " \t"), "");
  EXPECT_EQ(trimRight("x\t\r", "\r"), "x\t");
}

TEST(Text, ComparesAsIfPadded) {
  struct Case {
    std::string a, b;
    int order;  // sign of a <=> b
  };
  const Case cases[] = {
      {"abc", "abc   ", 0},
      {"", "   ", 0},
      {"abc", "abd", -1},
      {"ab", "abc", -1},
      {" a", "a", -1},            // leading blanks count
      {"abc", "abc\x01", 1},      // the shorter is padded with blanks, not cut
      {"a", "\xC0", -1},          // bytes compare unsigned: Cyrillic after Latin
      {"\xFF", "\xC0", 1},
  };
  for (const auto& c : cases) {
    const auto r = compareText(c.a, c.b);
    const int got = r < 0 ? -1 : r > 0 ? 1 : 0;
    EXPECT_EQ(got, c.order) << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(textEqual(c.a, c.b), c.order == 0);
  }
}

TEST(Text, OperatorsOnFixedTexts) {
  Text<4> a = "ab";
  Text<10> b = "ab";
  Text<10> c = "abc";
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == "ab");
  EXPECT_TRUE(a == "ab      ");
  EXPECT_TRUE("ab" == a);
  EXPECT_FALSE(a == c);
  EXPECT_TRUE(a != c);
  EXPECT_TRUE(a < c);
  EXPECT_TRUE(c > a);
  EXPECT_TRUE(a < "b");
  EXPECT_TRUE(a >= "ab  ");
}

TEST(SharedText, ReadsAndWritesFromThreads) {
  SharedText<8> s;
  EXPECT_TRUE(s.get().blank());
  s = "firm";
  EXPECT_EQ(s.str(), "firm");
  EXPECT_EQ(s.get().view(), "firm    ");
  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k) {
    threads.emplace_back([&s, k] {
      const std::string mine(8, static_cast<char>('a' + k));
      for (int i = 0; i < 2000; ++i) {
        s.set(mine);
        const std::string got(s.get().view());
        // every value read is one whole value written, never a mix
        ASSERT_EQ(got.find_first_not_of(got[0]), std::string::npos);
      }
    });
  }
  for (auto& t : threads) t.join();
  s.clear();
  EXPECT_TRUE(s.get().blank());
}

}  // namespace
}  // namespace zelk
