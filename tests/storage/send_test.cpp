// SEND commands as every driver reads them.
#include "platform/storage/send.h"

#include <gtest/gtest.h>

namespace zelk::test {
namespace {

TEST(Send, NameAndValueWithoutTheirBlanksTheNameInAnyCase) {
  struct Case {
    std::string_view command, name, value;
    bool hasValue;
  };
  const Case cases[] = {
      {"QUICKSCAN=on", "QUICKSCAN", "on", true}, {" quickscan = OFF ", "quickscan", "OFF", true},
      {"Recover=10", "Recover", "10", true},     {"recover=", "recover", "", true},
      {" QuickScan ", "QuickScan", "", false},   {"", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const storage::SendCommand s = storage::parseSend(c.command);
    EXPECT_EQ(s.name, c.name);
    EXPECT_EQ(s.value, c.value);
    EXPECT_EQ(s.hasValue, c.hasValue);
  }
  EXPECT_TRUE(storage::parseSend(" QuickScan = On").is("quickscan"));
  EXPECT_TRUE(storage::parseSend(" QuickScan = On").valueIs("on"));
  EXPECT_FALSE(storage::parseSend("quickscan").valueIs(""));
  EXPECT_FALSE(storage::parseSend("quickscans=on").is("quickscan"));
}

}  // namespace
}  // namespace zelk::test
