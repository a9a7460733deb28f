// Two programs add chart rows to one pln.dat at the same time, each through its
// chart list and form: every row keeps a number of its own, none is lost, and both
// keys read every row in their order afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "platform/storage/file.h"
#include "support/files.h"
#include "support/runscript.h"
#include "support/tempdir.h"
#include "tools/zelk-script/runner.h"

namespace zelk::test {
namespace {

constexpr int kRowsEach = 25;
constexpr int kRecordOrder = -1;  // readRows: the file's record order

// A script that adds kRowsEach rows "<tag>01".. through the chart form.
std::string addingScript(const TempDir& dir, char tag) {
  std::string s = "set P_PLN " + (dir / "pln.dat") + "\nset FIR 1\nrun PLN_TAB\n";
  for (int i = 1; i <= kRowsEach; ++i) {
    const std::string n = std::string(1, tag) + (i < 10 ? "0" : "") + std::to_string(i);
    s += "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
         "  press ?INSERT:4\n"
         "  wait \"Добавить ???\"\n"
         "  type ?PLN:NOMER " + n + "\n"
         "  type ?PLN:NAME \"Счет " + n + "\"\n"
         "  press ?OK\n";
  }
  return s +
         "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
         "  press ?CLOSE\n"
         "end\n";
}

// Starts the script in a child process (its output in dir/out-<tag>, dir/err-<tag>).
pid_t startScript(const TempDir& dir, char tag) {
  std::string path = dir / (std::string("add-") + tag + ".zs");
  writeAll(path, addingScript(dir, tag));
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen((dir / (std::string("out-") + tag)).c_str(), "w", stdout);
    std::freopen((dir / (std::string("err-") + tag)).c_str(), "w", stderr);
    std::filesystem::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / (std::string("config-") + tag)).c_str(), 1);
    char* argv[] = {const_cast<char*>("zelk-script"), path.data(), nullptr};
    int status = script::runnerMain(2, argv);
    std::fflush(nullptr);
    _exit(status);
  }
  return pid;
}

int exitStatus(pid_t pid) {
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct Row {
  int kod;
  std::string nomer, name;
};

// Every row in the order of key (or in record order).
std::vector<Row> readRows(const TempDir& dir, int key) {
  storage::TypedFile<dict::PlnRecord> f{dict::PLN_DECL};
  f.setNameSource([&] { return dir / "pln.dat"; });
  std::vector<Row> out;
  if (f.open(storage::mode::kRead | storage::mode::kDenyNone) != 0) return out;
  if ((key == kRecordOrder ? f.set() : f.set(key)) == 0)
    while (f.next() == 0) out.push_back({f.rec.KOD.get(), f.rec.NOMER.str(), f.rec.NAME.str()});
  f.close();
  return out;
}

TEST(ChartSharing, TwoProgramsAddingRowsAtOnceLoseNothing) {
  dict::registerDrivers();
  TempDir dir;
  const pid_t a = startScript(dir, 'A'), b = startScript(dir, 'B');
  EXPECT_EQ(exitStatus(a), 0) << readAll(dir / "err-A");
  EXPECT_EQ(exitStatus(b), 0) << readAll(dir / "err-B");

  const std::vector<Row> byKod = readRows(dir, dict::pln::KEY_1), byNomer = readRows(dir, dict::pln::KEY_2),
                         inFile = readRows(dir, kRecordOrder);
  ASSERT_EQ(inFile.size(), 2u * kRowsEach);
  ASSERT_EQ(byKod.size(), inFile.size());
  ASSERT_EQ(byNomer.size(), inFile.size());
  std::set<int> kods;
  std::set<std::string> nomers;
  for (const Row& r : inFile) {
    kods.insert(r.kod);
    nomers.insert(r.nomer);
    EXPECT_EQ(cp::toUtf8(r.name), "Счет " + r.nomer);  // each row whole, as its form wrote it
  }
  EXPECT_EQ(kods.size(), inFile.size());
  EXPECT_EQ(*kods.begin(), 1);
  EXPECT_EQ(*kods.rbegin(), 2 * kRowsEach);
  EXPECT_EQ(nomers.size(), inFile.size());
  for (std::size_t i = 0; i < byKod.size(); ++i) EXPECT_EQ(byKod[i].kod, static_cast<int>(i) + 1);
  for (std::size_t i = 0; i < byNomer.size(); ++i)
    EXPECT_EQ(byNomer[i].nomer, *std::next(nomers.begin(), static_cast<std::ptrdiff_t>(i)));
}

}  // namespace
}  // namespace zelk::test
