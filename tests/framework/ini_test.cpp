#include "platform/framework/ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "platform/framework/fuzzy.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::fw {
namespace {

namespace fs = std::filesystem;

using test::readAll;

void spit(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  test::writeAll(p, s);
}

// The configuration folder is a temporary one for each test.
class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    file = dir.path() / "zelk" / "ZELK.INI";
  }
  void TearDown() override {
    if (saved_) setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }

  test::TempDir dir;
  fs::path file;

 private:
  std::optional<std::string> saved_;
};

TEST_F(IniTest, KeptInTheConfigurationFolderUnlessAFolderIsGiven) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  EXPECT_EQ(ini.path(), file);
  INIClass other;
  other.Init(dir / "own.ini", 0, 0);
  EXPECT_EQ(other.path(), fs::path(dir / "own.ini"));
}

TEST_F(IniTest, HomeConfigWhenXdgIsUnset) {
  unsetenv("XDG_CONFIG_HOME");
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", dir.path().c_str(), 1);
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  EXPECT_EQ(ini.path(), dir.path() / ".config" / "zelk" / "ZELK.INI");
  setenv("HOME", home.c_str(), 1);
}

TEST_F(IniTest, MissingFileFindsNothingAndStaysMissing) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  EXPECT_TRUE(ini.sectors().empty());
  EXPECT_EQ(ini.fetch("s_me", "Maximize", "none"), "none");
  EXPECT_EQ(ini.fetch("s_me", "Maximize"), "");
  ini.update("s_me", "XPos", std::nullopt);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(IniTest, EveryWriteReachesTheFileAtOnce) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  ini.update("s_me", "Maximize", "No");
  EXPECT_EQ(readAll(file), "[s_me]\r\nMaximize=No\r\n");
  ini.update("s_me", "Minimize", "No");
  ini.update("pr_ttt", "Maximize", "Yes");
  ini.update("s_me", "XPos", "12");  // into its own section, before the next one
  EXPECT_EQ(readAll(file), "[s_me]\r\nMaximize=No\r\nMinimize=No\r\nXPos=12\r\n[pr_ttt]\r\nMaximize=Yes\r\n");

  INIClass second;  // another reader sees it, and the first sees the other's writes
  second.Init("ZELK.INI", 0, 0);
  EXPECT_EQ(second.fetch("s_me", "XPos"), "12");
  second.update("s_me", "XPos", "-30");
  EXPECT_EQ(ini.fetch("s_me", "XPos"), "-30");
}

TEST_F(IniTest, NamesAreCaseInsensitive) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  ini.update("s_me", "Maximize", "Yes");
  ini.update("S_ME", "MAXIMIZE", "No");
  EXPECT_EQ(readAll(file), "[s_me]\r\nMaximize=No\r\n");
  EXPECT_EQ(ini.fetch("S_Me", "maximize"), "No");
  // Cyrillic names fold too.
  ini.update("\xD1\xE5\xEA\xF6\xE8\xFF", "\xCA\xEB\xFE\xF7", "1");  // "Секция", "Ключ" in 1251
  EXPECT_EQ(ini.fetch("\xF1\xE5\xEA\xF6\xE8\xFF", "\xEA\xEB\xFE\xF7"), "1");
}

TEST_F(IniTest, WritingNoValueRemovesTheKey) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  for (const char* k : {"Maximize", "Minimize", "XPos", "YPos"}) ini.update("s_me", k, "1");
  ini.update("s_me", "xpos", std::nullopt);
  ini.update("s_me", "Width", std::nullopt);  // not there: nothing changes
  EXPECT_EQ(readAll(file), "[s_me]\r\nMaximize=1\r\nMinimize=1\r\nYPos=1\r\n");
  EXPECT_EQ(ini.fetch("s_me", "XPos", "gone"), "gone");
}

TEST_F(IniTest, ReadsAHandWrittenFile) {
  spit(file,
       "; settings\n"
       "[ s_me ]\n"
       "  XPos = 10 \n"
       "Title=\"  quoted  \"\n"
       "Empty=\n"
       "no equals sign\n"
       "[other]\n"
       "XPos=99\n");
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  EXPECT_EQ(ini.fetch("s_me", "XPos"), "10");
  EXPECT_EQ(ini.fetch("s_me", "Title"), "  quoted  ");
  EXPECT_EQ(ini.fetch("s_me", "Empty", "dflt"), "");
  EXPECT_EQ(ini.fetch("other", "XPos"), "99");
  EXPECT_EQ(ini.fetch("s_me", "no equals sign", "dflt"), "dflt");
}

TEST_F(IniTest, ValuesKeepTheirBytes) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  const std::string value = "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8";  // 1251 text
  ini.update("s", "k", value);
  EXPECT_EQ(ini.fetch("s", "k"), value);
  EXPECT_NE(readAll(file).find(value), std::string::npos);
}

TEST_F(IniTest, FailedWritesAreNotReported) {
  spit(dir.path() / "plain", "a file, not a folder");
  INIClass ini;
  ini.Init((dir.path() / "plain" / "ZELK.INI").string(), 0, 0);
  EXPECT_NO_THROW(ini.update("s", "k", "v"));
  EXPECT_EQ(ini.fetch("s", "k", "none"), "none");
  EXPECT_NO_THROW(ini.Kill());
}

// A settings file that cannot be read (here a folder of that name) reads as empty:
// defaults everywhere, and nothing thrown at start or at the end.
TEST_F(IniTest, UnreadableFileReadsAsEmpty) {
  fs::create_directories(file);
  INIClass ini;
  ASSERT_NO_THROW(ini.Init("ZELK.INI", 0, 0));
  EXPECT_EQ(ini.fetch("s_me", "XPos", "none"), "none");
  EXPECT_TRUE(ini.sectors().empty());
  ASSERT_NO_THROW(ini.update("s_me", "XPos", "10"));
  ASSERT_NO_THROW(ini.Kill());
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(IniTest, NormalEndWritesAnEmptyBookkeepingEntry) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  ini.Update();
  EXPECT_FALSE(fs::exists(file));
  ini.Kill();
  EXPECT_EQ(readAll(file), "[__Dont_Touch_Me__]\r\nSectors=0\r\n");
}

TEST_F(IniTest, BookkeepingEntryReadAtStartIsWrittenBackUnchanged) {
  const std::string original =
      "[s_me]\r\nMaximize=No\r\nMinimize=No\r\n"
      "[__Dont_Touch_Me__]\r\nSectors=2\r\nSectors_1=Win,s_me,1\r\nSectors_2=a,b,c,d\r\n";
  spit(file, original);
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  const std::vector<INIClass::Sector> expected = {{"Win", "s_me", "1"}, {"a", "b", "c,d"}};
  EXPECT_EQ(ini.sectors(), expected);
  ini.Kill();
  EXPECT_TRUE(ini.sectors().empty());
  EXPECT_EQ(readAll(file), original);
}

TEST_F(IniTest, MissingEntriesReadEmptyAndLongValuesAreCut) {
  spit(file, "[__DONT_TOUCH_ME__]\nsectors=2\nSectors_1=" + std::string(150, 'x') + ",,\n");
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  const std::vector<INIClass::Sector> expected = {{std::string(100, 'x'), "", ""}, {"", "", ""}};
  EXPECT_EQ(ini.sectors(), expected);
}

TEST_F(IniTest, TwoThreadsWritingLoseNothing) {
  INIClass ini;
  ini.Init("ZELK.INI", 0, 0);
  auto run = [&](std::string section) {
    for (int i = 0; i < 100; ++i) ini.update(section, "XPos", std::to_string(i));
  };
  std::thread a(run, "s_me"), b(run, "pr_ttt");
  a.join();
  b.join();
  EXPECT_EQ(ini.fetch("s_me", "XPos"), "99");
  EXPECT_EQ(ini.fetch("pr_ttt", "XPos"), "99");
}

TEST(Fuzzy, KeepsItsOptionsBetweenInitAndKill) {
  FuzzyClass& f = globalFuzzy();
  f.Init();
  f.SetOption(1, 1);
  f.SetOption(2, 0);
  EXPECT_TRUE(f.ready());
  EXPECT_EQ(f.option(1), 1);
  EXPECT_EQ(f.option(2), 0);
  f.Kill();
  EXPECT_FALSE(f.ready());
  EXPECT_EQ(f.option(1), 0);
}

}  // namespace
}  // namespace zelk::fw
