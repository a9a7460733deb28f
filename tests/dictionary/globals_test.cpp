// The process start blanks every program-wide text and sets every number to 0, also
// over what an earlier start in the same process left in them.
#include <gtest/gtest.h>

#include "dictionary/globals.h"

namespace zelk::test {
namespace {

TEST(ProcessVariables, TheProcessStartBlanksEveryTextAndZeroesEveryNumber) {
  std::atomic<std::int32_t>* numbers[] = {&dict::D1,     &dict::D2,     &dict::PLN_AD,           &dict::PLN_AK,
                                          &dict::PAR_AD, &dict::PAR_AK, &dict::LCURRENTFDSETTING, &dict::LADJFDSETTING};
  for (auto* v : numbers) *v = 7;
  dict::N_KL_A = 3;
  dict::FIR = 2;
  dict::P_PLN = "pln2.dat";
  dict::N_FIR_A = "Alpha";
  dict::blankProcessVariables();
  for (auto* v : numbers) EXPECT_EQ(v->load(), 0);
  EXPECT_EQ(dict::N_KL_A.load(), 0);
  EXPECT_EQ(dict::FIR.load(), 0);
  EXPECT_EQ(dict::P_PLN.str(), "");
  EXPECT_EQ(dict::N_FIR_A.str(), "");
}

}  // namespace
}  // namespace zelk::test
