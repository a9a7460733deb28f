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

#include "support/tempdir.h"
#include "tools/zelk-script/runner.h"

namespace zelk::test {
namespace {

struct Result {
  int status = -1;
  std::string err;
};

Result runScript(const TempDir& dir, const std::string& script) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen((dir / "err").c_str(), "w", stderr);
    std::filesystem::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    std::string path = script;
    char* argv[] = {const_cast<char*>("zelk-script"), path.data(), nullptr};
    int status = script::runnerMain(2, argv);
    std::fflush(nullptr);
    _exit(status);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  Result r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::ifstream in(dir / "err", std::ios::binary);
  r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return r;
}

TEST(FirmsScript, FirstStartTwoFirmsOneChangedOneChosen) {
  TempDir dir;
  Result r = runScript(dir, std::string(ZELK_SOURCE_DIR) + "/tests/firms/scripts/first_start.zs");
  EXPECT_EQ(r.status, 0) << r.err;
  // The one box shown is the refused code, answered with its default button.
  EXPECT_NE(r.err.find("Ошибка дублирования в ключе"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(".zs:"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "F_NAME.DAT"));
}

}  // namespace
}  // namespace zelk::test
