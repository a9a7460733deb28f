// Filter expressions over bound record fields and variables.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/text.h"
#include "platform/framework/bind.h"
#include "platform/framework/filter.h"

namespace zelk::test {
namespace {

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::pushBindScope();
    for (const auto& f : dict::PLN_DECL.fields) {
      fw::BoundName b;
      b.field = &f;
      b.buffer = reinterpret_cast<const char*>(&rec);
      fw::bindName("PLN:" + std::string(f.name), b);
    }
    fw::bindName("fir", {nullptr, nullptr, {}, [this] { return static_cast<double>(fir.load()); }});
    fw::bindName("name_p", {nullptr, nullptr, [this] { return name; }, {}});
    rec.KOD = 7;
    rec.NOMER = "60.1";
    rec.NAME = "bank";
    rec.FIR = 2;
  }
  void TearDown() override { fw::popBindScope(); }

  dict::PlnRecord rec;
  std::atomic<int> fir{2};
  std::string name = "bank";
};

TEST_F(FilterTest, EvaluatesOverTheNamesCurrentValues) {
  struct Case {
    const char* expr;
    bool expected;
  };
  const Case cases[] = {
      {"(pln:fir=fir)", true},
      {"PLN:FIR = FIR", true},             // names are case-insensitive
      {"pln:fir <> fir", false},
      {"pln:fir ~= 3", true},
      {"pln:kod > 6 AND pln:kod < 8", true},
      {"pln:kod >= 8 or pln:kod <= 6", false},
      {"not (pln:kod = 7)", false},
      {"~(pln:kod = 8)", true},
      {"pln:nomer = '60.1'", true},        // texts compare padded with blanks
      {"pln:nomer = '60.1   '", true},
      {"pln:nomer < '61'", true},
      {"pln:nomer > \"60\"", true},
      {"pln:name = name_p", true},
      {"pln:name = 'Bank'", false},        // case counts
      {"pln:nomer = 60.1", true},          // a text against a number: read as a number
      {"-pln:kod = -7", true},
      {"pln:kod = 7 and (pln:fir = 1 or pln:fir = 2)", true},
      {"'it''s' = \"it's\"", true},
      {"pln:name", true},                  // a text that is not blank
      {"0", false},
  };
  for (const Case& c : cases) {
    fw::Filter::Error err;
    auto f = fw::Filter::compile(c.expr, &err);
    ASSERT_TRUE(f) << c.expr << ": " << err.text;
    EXPECT_EQ(f->test(), c.expected) << c.expr;
  }
}

TEST_F(FilterTest, FollowsTheValuesAsTheyChange) {
  auto f = fw::Filter::compile("(pln:fir=fir) and pln:name = name_p");
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->test());
  fir = 3;
  EXPECT_FALSE(f->test());
  rec.FIR = 3;
  EXPECT_TRUE(f->test());
  name = "cash";
  EXPECT_FALSE(f->test());
}

TEST_F(FilterTest, RefusesBadExpressionsAndUnknownNames) {
  struct Case {
    const char* expr;
    int code;
  };
  const Case cases[] = {
      {"(pln:fir=fir", fw::kBadExpression},  {"pln:fir =", fw::kBadExpression},
      {"pln:fir = fir fir", fw::kBadExpression}, {"'open", fw::kBadExpression},
      {"pln:fir # 2", fw::kBadExpression},   {"", fw::kBadExpression},
      {"pln:nosuch = 1", fw::kUnknownName},  {"fir = nosuch", fw::kUnknownName},
  };
  for (const Case& c : cases) {
    fw::Filter::Error err;
    EXPECT_FALSE(fw::Filter::compile(c.expr, &err)) << c.expr;
    EXPECT_EQ(err.code, c.code) << c.expr;
  }
}

}  // namespace
}  // namespace zelk::test
