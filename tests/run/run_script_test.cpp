// The start command's choice of folder: the user's own data folder, filled with the
// examples on the first start, or the folder named; and the partner register it sets
// up for an ordinary user, with the example partners in a new one. Run with --where,
// which prepares the folder and the data source and prints the folder without
// building or starting anything.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

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
  // temporary folder, with an ODBC configuration there; dataHome, when not empty, is
  // XDG_DATA_HOME.
  Result run(const std::string& args, const std::string& dataHome = {}) {
    const std::string out = dir / "out";
    std::string cmd = "env -i PATH=\"" + std::string(std::getenv("PATH")) + "\" HOME=\"" + home().string() + "\"" +
                      " ODBCSYSINI=\"" + home().string() + "\" ODBCINI=\"" + (home() / "odbc.ini").string() + "\"";
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
  ASSERT_EQ(run("").status, 0);
  fs::remove(folder / "F_NAME.DAT");
  const std::string registerFile = readAll(folder / "zlk.db");
  ASSERT_FALSE(registerFile.empty());
  ASSERT_EQ(run("").status, 0);
  EXPECT_EQ(readAll(folder / "zlk.db"), registerFile);
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
  EXPECT_FALSE(fs::exists(home() / ".local/share/zelk/F_NAME.DAT"));

  EXPECT_EQ(run("\"" + (dir.path() / "missing").string() + "\"").status, 1);
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}


// A user of its own for a test, made by root: not root, its home (in its passwd entry,
// where unixODBC looks for ~/.odbc.ini) in the test's folder. Removed with the test.
class OrdinaryUser {
 public:
  explicit OrdinaryUser(const fs::path& home) : home_(home) {
    name_ = "zelkt" + std::to_string(::getpid());
    // Another test making or removing a user may hold the passwd lock a moment.
    for (int attempt = 0; attempt < 100 && !made_; ++attempt) {
      int st = shell("useradd -M -N -g users -s /bin/sh -d '" + home.string() + "' " + name_);
      made_ = st == 0;
      if (st != kPasswdBusy) break;
      ::usleep(100'000);
    }
    if (!made_) return;
    const passwd* pw = ::getpwnam(name_.c_str());
    made_ = pw && fs::create_directories(home_) && ::chown(home_.c_str(), pw->pw_uid, pw->pw_gid) == 0;
  }
  ~OrdinaryUser() {
    if (!made_) return;
    for (int attempt = 0; attempt < 100 && shell("userdel " + name_) == kPasswdBusy; ++attempt) ::usleep(100'000);
  }
  OrdinaryUser(const OrdinaryUser&) = delete;
  OrdinaryUser& operator=(const OrdinaryUser&) = delete;

  bool made() const { return made_; }
  const fs::path& home() const { return home_; }

  struct Result {
    int status = -1;
    std::string out, err;
  };
  // A shell command run as the user in a bare environment, as after a login.
  Result run(const std::string& command) const {
    const fs::path out = home_.parent_path() / "out", err = home_.parent_path() / "err";
    Result r;
    r.status = shell("runuser -u " + name_ + " -- env -i PATH=/usr/local/bin:/usr/bin:/bin HOME='" + home_.string() +
                     "' sh -c '" + command + "' >'" + out.string() + "' 2>'" + err.string() + "'");
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
  }
  // The codes of the partners in the user's data source "zlk".
  std::vector<std::string> partners() const {
    Result r = run("echo \"SELECT \\\"code\\\" FROM \\\"PARTNER\\\" ORDER BY 1;\" | isql -b -d, zlk");
    std::vector<std::string> codes;
    std::size_t at = 0;
    for (std::size_t nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1) {
      std::string line = r.out.substr(at, nl - at);
      if (line.size() == 6 && line.find_first_not_of("0123456789") == std::string::npos) codes.push_back(line);
    }
    return codes;
  }

 private:
  static constexpr int kPasswdBusy = 10;  // useradd and userdel: the passwd file is locked
  static int shell(const std::string& command) {
    int st = std::system(command.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  fs::path home_;
  std::string name_;
  bool made_ = false;
};

class OrdinaryUserStart : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a user of its own for the test";
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    user = std::make_unique<OrdinaryUser>(dir.path() / "home");
    ASSERT_TRUE(user->made()) << "useradd failed";
    if (user->run("test -r " ZELK_SOURCE_DIR "/scripts/run.sh").status != 0)
      GTEST_SKIP() << "the source tree cannot be read by another user";
    systemIni = readAll("/etc/odbc.ini");
  }
  void TearDown() override {
    if (user) {
      EXPECT_EQ(readAll("/etc/odbc.ini"), systemIni);
    }
  }
  OrdinaryUser::Result start() const { return user->run("bash " ZELK_SOURCE_DIR "/scripts/run.sh --where"); }
  fs::path folder() const { return user->home() / ".local/share/zelk"; }

  TempDir dir;
  std::unique_ptr<OrdinaryUser> user;
  std::string systemIni;
};

TEST_F(OrdinaryUserStart, TheFirstStartSetsUpTheUsersOwnRegisterWithTheExamplePartners) {
  const OrdinaryUser::Result first = start();
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, folder().string() + "\n");
  EXPECT_EQ(readAll(folder() / "F_NAME.DAT"), readAll(fs::path(ZELK_SOURCE_DIR) / "examples/F_NAME.DAT"));
  const std::string ini = readAll(user->home() / ".odbc.ini");
  EXPECT_NE(ini.find("[zlk]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Database=" + (folder() / "zlk.db").string()), std::string::npos) << ini;
  const std::vector<std::string> examples = {"000042", "000101", "000102", "000103", "000104", "000105",
                                             "000106", "000107", "000108", "000109", "000110", "001200"};
  EXPECT_EQ(user->partners(), examples);

  // A later start says nothing and loads nothing again, also into a register emptied
  // by the user.
  const OrdinaryUser::Result again = start();
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(user->partners(), examples);
  ASSERT_EQ(user->run("echo \"DELETE FROM \\\"PARTNER\\\";\" | isql -b zlk").status, 0);
  EXPECT_EQ(start().err, "");
  EXPECT_EQ(user->partners(), std::vector<std::string>{});
}

TEST_F(OrdinaryUserStart, ASetUpThatFailsSaysWhyAndStartsNothing) {
  struct Case {
    const char* name;
    fs::path blocked;     // made a folder where a file belongs
    const char* because;  // the set-up's own line
  } cases[] = {
      {"no ODBC configuration", user->home() / ".odbc.ini", "odbc-setup: the data source \"zlk\" cannot be registered"},
      {"no register file", folder() / "zlk.db", "odbc-setup: the tables of data source \"zlk\" could not be checked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder());
    fs::remove_all(user->home() / ".odbc.ini");
    ASSERT_EQ(user->run("mkdir -p \"" + c.blocked.string() + "\"").status, 0);
    const OrdinaryUser::Result r = start();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.because), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("run: the partner register (data source \"zlk\") could not be set up; the program is not started"),
              std::string::npos)
        << r.err;
  }
}

}  // namespace
}  // namespace zelk::test
