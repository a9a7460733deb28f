// The start command's choice of folder: the user's own data folder, filled with the
// examples on the first start, or the folder named; run with --where, which prepares
// the folder and prints it without building or starting anything.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

class RunScript : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string out;  // the first line printed
  };
  // scripts/run.sh with these arguments in a bare environment whose home is the
  // temporary folder; dataHome, when not empty, is XDG_DATA_HOME.
  Result run(const std::string& args, const std::string& dataHome = {}) {
    const std::string out = dir / "out";
    std::string cmd = "env -i PATH=\"" + std::string(std::getenv("PATH")) + "\" HOME=\"" + home().string() + "\"";
    if (!dataHome.empty()) cmd += " XDG_DATA_HOME=\"" + dataHome + "\"";
    cmd += " bash " ZELK_SOURCE_DIR "/scripts/run.sh --where " + args + " >\"" + out + "\" 2>/dev/null";
    Result r;
    int st = std::system(cmd.c_str());
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = readAll(out);
    if (auto nl = r.out.find('\n'); nl != std::string::npos) r.out.resize(nl);
    return r;
  }
  fs::path home() const { return dir.path() / "home"; }
  static fs::path examples() { return fs::path(ZELK_SOURCE_DIR) / "examples"; }

  void SetUp() override { fs::create_directories(home()); }
  TempDir dir;
};

TEST_F(RunScript, TheFirstStartFillsTheUsersFolderWithTheExamples) {
  struct Case {
    const char* name;
    std::string dataHome, folder;
  } cases[] = {
      {"no XDG_DATA_HOME", "", (home() / ".local/share/zelk").string()},
      {"XDG_DATA_HOME", (dir.path() / "data").string(), (dir.path() / "data/zelk").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = run("", c.dataHome);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.folder);
    for (const char* f : {"F_NAME.DAT", "F_NAME.K01", "loko/vypiska.txt", "bss/vypiska.txt", "rfk/subs_clt.dbf"})
      EXPECT_EQ(readAll(fs::path(c.folder) / f), readAll(examples() / f)) << f;
  }
}

TEST_F(RunScript, ALaterStartKeepsTheUsersFiles) {
  const fs::path folder = home() / ".local/share/zelk";
  // A folder the data source was set up in already, without a firm list: filled.
  fs::create_directories(folder);
  std::ofstream(folder / "zlk.db") << "register";
  ASSERT_EQ(run("").status, 0);
  EXPECT_EQ(readAll(folder / "zlk.db"), "register");
  EXPECT_EQ(readAll(folder / "F_NAME.DAT"), readAll(examples() / "F_NAME.DAT"));
  // The user's own firm list and statements stay as they are.
  std::ofstream(folder / "F_NAME.DAT", std::ios::trunc) << "mine";
  fs::remove(folder / "loko/vypiska.txt");
  ASSERT_EQ(run("").status, 0);
  EXPECT_EQ(readAll(folder / "F_NAME.DAT"), "mine");
  EXPECT_FALSE(fs::exists(folder / "loko/vypiska.txt"));
}

TEST_F(RunScript, AFolderNamedIsUsedAsItIs) {
  const fs::path firms = dir.path() / "firms";
  fs::create_directories(firms);
  Result r = run("\"" + firms.string() + "\"");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, firms.string());
  EXPECT_TRUE(fs::is_empty(firms));
  EXPECT_FALSE(fs::exists(home() / ".local"));

  EXPECT_EQ(run("\"" + (dir.path() / "missing").string() + "\"").status, 1);
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace zelk::test
