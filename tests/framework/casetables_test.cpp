#include "platform/framework/casetables.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/codepage.h"
#include "support/child.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::fw {
namespace {

using test::readAll;
using test::writeAll;

std::string shippedFile() { return readAll(std::string(ZELK_SOURCE_DIR) + "/app/qvt.env"); }

std::string low(const CaseTables& t, std::string_view utf8) { return cp::toUtf8(t.lower(ansi(utf8))); }

TEST(CaseTables, WithoutAFileOnlyLatinFolds) {
  CaseTables t;
  EXPECT_EQ(low(t, "BANK Касса КАССА 60.1"), "bank Касса КАССА 60.1");
  EXPECT_EQ(t.pairs(), 0);
}

TEST(CaseTables, TheShippedFileFoldsEveryCyrillicLetter) {
  const CaseTables t = CaseTables::parse(shippedFile());
  EXPECT_TRUE(t.problems().empty());
  EXPECT_EQ(t.pairs(), 33 + 14);
  EXPECT_EQ(low(t, "КАССА Ёлка BANK ЯЩИК Їжак"), "касса ёлка bank ящик їжак");
  EXPECT_EQ(cp::toUtf8(std::string(1, t.upper(ansi("ё")[0]))), "Ё");
  // Every letter the code page folds, the shipped file folds the same way.
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    if (cp::lower(c) != c) {
      EXPECT_EQ(t.lower(c), cp::lower(c)) << i;
    }
  }
}

TEST(CaseTables, LinesThatBreakTheFormatAreSkippedAndNamed) {
  const std::string content =
      "\xEF\xBB\xBF# comment\r\n"
      "\r\n"
      "Аа Бб\r\n"
      "Вв Г\n"     // a letter without its pair
      "Ωω\n"       // not in the code page
      "   \n"
      "  # a comment too\n"
      "Дд";
  const CaseTables t = CaseTables::parse(content);
  EXPECT_EQ(low(t, "АБВГДQ"), "абВГдq");
  EXPECT_EQ(t.pairs(), 3);
  ASSERT_EQ(t.problems().size(), 2u);
  EXPECT_EQ(t.problems()[0], "line 4: a letter without its pair");
  EXPECT_EQ(t.problems()[1], "line 5: a character the code page lacks");
}

// The search lists' row test, with the shipped tables and with A-Z only.
TEST(CaseTables, AFragmentIsFoundAsTypedInTheNameInSmallLetters) {
  const CaseTables cyrillic = CaseTables::parse(shippedFile()), latin;
  struct Case {
    const char* name;
    const char* fragment;
    bool withFile, withoutFile;
  } cases[] = {
      {"Касса организации", "касса", true, false},
      {"КАССА", "касса", true, false},
      {"расчеты с кассой", "касс", true, true},
      {"Касса", "Касса", false, true},  // a capital the tables fold never matches
      {"BANK of Moscow", "bank", true, true},
      {"Расчеты 60", " 60", true, true},  // leading blanks count
      {"60 Расчеты", " 60", false, false},
      {"Счет 51.1 (руб.)", "51.1 (", true, true},
      {"Касса", "касса организации", false, false},  // longer than the name
      {"Касса", "", true, true},
      {"Касса", "     ", true, true},
      {"Касса     ", "са   ", true, true},  // trailing blanks of both go
      {"", "а", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nameHasFragment(ansi(c.name), ansi(c.fragment), cyrillic), c.withFile) << c.name << " / " << c.fragment;
    EXPECT_EQ(nameHasFragment(ansi(c.name), ansi(c.fragment), latin), c.withoutFile) << c.name << " / " << c.fragment;
  }
}

// The tables are loaded once per process: each case runs in a child of its own, in
// a folder of its own.
bool missingThenLoadedOnce(const test::TempDir& dir) {
  std::filesystem::current_path(dir.path());
  if (loadCaseTables() || !caseTablesPath().empty()) return false;
  if (lowerCase(ansi("КАССА BANK")) != ansi("КАССА bank")) return false;
  writeAll(dir / "QVT.ENV", shippedFile());  // any letter case of the name
  if (!loadCaseTables() || caseTablesPath() != dir / "QVT.ENV") return false;
  if (lowerCase(ansi("КАССА BANK")) != ansi("касса bank")) return false;
  // Loaded once: a changed or removed file changes nothing.
  writeAll(dir / "QVT.ENV", "Кк\n");
  std::filesystem::remove(dir / "QVT.ENV");
  return loadCaseTables() && lowerCase(ansi("КАССА")) == ansi("касса");
}

// Readers on other threads see the tables before or after the load, never a mix.
bool readersSeeTheTablesWhole(const test::TempDir& dir) {
  writeAll(dir / "qvt.env", shippedFile());
  std::filesystem::current_path(dir.path());
  const std::string name = ansi("Расчеты с КАССОЙ"), after = ansi("расчеты с кассой");
  std::atomic<bool> loaded{false}, bad{false};
  std::vector<std::thread> readers;
  for (int k = 0; k < 4; ++k)
    readers.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        const bool wasLoaded = loaded.load();
        const std::string r = lowerCase(name);
        if (r != after && (wasLoaded || r != name)) bad = true;
      }
    });
  loaded = loadCaseTables();
  for (auto& t : readers) t.join();
  return loaded && !bad;
}

class CaseTablesLoad : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  test::TempDir dir;
};

TEST_F(CaseTablesLoad, AMissingFileChangesNothingAndALaterOneIsTakenOnce) {
  EXPECT_EXIT(std::_Exit(missingThenLoadedOnce(dir) ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(CaseTablesLoad, ReadersOnOtherThreadsSeeTheTablesWhole) {
  EXPECT_EXIT(std::_Exit(readersSeeTheTablesWhole(dir) ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

// A "qvt.env" that cannot be read whole reads as no file: no exception, no wait, no
// allocation of its size; a readable file put in its place later is taken.
TEST_F(CaseTablesLoad, AFileThatCannotBeReadReadsAsNoFile) {
  namespace fs = std::filesystem;
  const fs::path file = dir / "qvt.env";
  struct Case {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"a folder", [&] { fs::create_directory(file); }},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", file); }},
      {"a file larger than any table", [&] { writeAll(file, std::string(2 << 20, '#')); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.make();
    const int status = test::inChildWithin([&] {
      fs::current_path(dir.path());
      if (loadCaseTables() || !caseTablesPath().empty()) return 1;
      if (lowerCase(ansi("КАССА BANK")) != ansi("КАССА bank")) return 2;
      std::error_code ec;
      fs::remove(file, ec);
      writeAll(file, shippedFile());
      return loadCaseTables() && lowerCase(ansi("КАССА")) == ansi("касса") ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    fs::remove_all(file);
  }
}

}  // namespace
}  // namespace zelk::fw
