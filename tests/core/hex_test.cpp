#include "platform/core/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace zelk {
namespace {

TEST(Hex, TwoLowercaseDigitsAByteAppended) {
  std::string out = "K0:";
  appendHex(out, std::string("\x00\x0f\xa5\xff ", 5));
  EXPECT_EQ(out, "K0:000fa5ff20");
  appendHex(out, "");
  EXPECT_EQ(out, "K0:000fa5ff20");
}

}  // namespace
}  // namespace zelk
