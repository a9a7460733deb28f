// The firm settings and the firm choice played from a zelk-script, through the
// runner's main in a child process, as the tool runs it: a first start in an empty
// folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/runscript.h"

namespace zelk::test {
namespace {

TEST(FirmsScript, FirstStartTwoFirmsOneChangedOneChosen) {
  TempDir dir;
  ScriptRun r = runZelkScript(dir, std::string(ZELK_SOURCE_DIR) + "/tests/firms/scripts/first_start.zs", true);
  EXPECT_EQ(r.status, 0) << r.err;
  // The one box shown is the refused code, answered with its default button.
  EXPECT_NE(r.err.find("Ошибка дублирования в ключе"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(".zs:"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "F_NAME.DAT"));
}

}  // namespace
}  // namespace zelk::test
