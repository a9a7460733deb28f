// The chart list played by zelk-script in a child process, each with a case-table
// state of its own: the fragment search with and without "qvt.env" in the current
// folder, and the road from the import menu's "Ввод-корректировка".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "platform/storage/file.h"
#include "support/files.h"
#include "support/runscript.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

class ChartScriptTest : public ::testing::Test {
 protected:
  // A script run in the folder, with pln.dat there and the firm 1 current.
  ScriptRun play(const std::string& steps) {
    const std::string path = dir / "test.zs";
    writeAll(path, "set P_PLN " + (dir / "pln.dat") + "\nset FIR 1\nset N_FIR_A \"ООО Ромашка\"\n" + steps);
    return runZelkScript(dir, path, true);
  }
  static void expectPassed(const ScriptRun& r) { EXPECT_EQ(r.status, 0) << r.err; }
  TempDir dir;
};

// The rows, written by a script through the chart form.
std::string insertRows(const std::vector<std::pair<std::string, std::string>>& rows) {
  std::string s = "run PLN_TAB\n";
  for (const auto& [nomer, name] : rows)
    s += "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
         "  press ?INSERT:4\n"
         "  wait \"Добавить ???\"\n"
         "  type ?PLN:NOMER \"" + nomer + "\"\n"
         "  type ?PLN:NAME \"" + name + "\"\n"
         "  press ?OK\n";
  return s +
         "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
         "  press ?CLOSE\n"
         "end\n";
}

TEST_F(ChartScriptTest, CyrillicCapitalsFoldOnlyWithTheCaseTablesFile) {
  struct Case {
    const char* fragment;
    int withFile, withoutFile;
  } cases[] = {
      {"касса", 3, 1},  {"bank", 1, 1}, {"Касса", 0, 1}, {" 60", 1, 1},
      {"касса валютная и прочее", 0, 0}, {"", 6, 6},
  };
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"50", "Касса"}, {"50.1", "КАССА валютная"}, {"50.2", "мелкая касса"},
      {"51", "BANK"},  {"60", "Расчеты 60"},       {"61", "60 Расчеты"},
  };
  for (bool withFile : {false, true}) {
    SCOPED_TRACE(withFile ? "with qvt.env" : "without qvt.env");
    fs::remove(dir / "pln.dat");
    if (withFile)
      fs::copy_file(std::string(ZELK_SOURCE_DIR) + "/app/qvt.env", dir / "qvt.env", fs::copy_options::overwrite_existing);
    std::string s = insertRows(rows) + "run PLN_TAB\n";
    for (const Case& c : cases)
      s += "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
           "  type ?NAME_P \"" + std::string(c.fragment) + "\"\n"
           "  press ?BUTTON8\n"
           "  expect ?BROWSE:1 rows " + std::to_string(withFile ? c.withFile : c.withoutFile) + "\n";
    s += "  press ?CLOSE\nend\n";
    const ScriptRun r = play(s);
    expectPassed(r);
    EXPECT_EQ(r.err, "");  // no message of any kind
  }
}

TEST_F(ChartScriptTest, TheImportMenuRunsTheListAndItsFragmentIsKept) {
  const ScriptRun r = play(
      "run S_ME\n"
      "  wait \"Реализация импорта\"\n"
      "  menu ?QQQT\n"
      "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
      "  press ?INSERT:4\n"
      "  wait \"Добавить ???\"\n"
      "  type ?PLN:NOMER 60.1\n"
      "  type ?PLN:NAME \"Расчеты с поставщиками\"\n"
      "  press ?OK\n"
      "  wait \"Фрагмент плана счетов для корреспонденции с расчетным счетом\"\n"
      "  expect ?FIR text \"  1\"\n"
      "  expect ?N_FIR_A text \"ООО Ромашка\"\n"
      "  type ?NAME_P поставщ\n"
      "  press ?BUTTON8\n"
      "  expect ?BROWSE:1 row 1 \"60.1\" \"Расчеты с поставщиками\"\n"
      "  press ?CLOSE\n"
      "  wait \"Реализация импорта\"\n"
      "  close\n"
      "end\n"
      "expect-var NAME_P поставщ\n"
      "expect-var PLN_AD 0\n"
      "expect-dump PLN key 2\n"
      "  {\"PLN:KOD\": 1, \"PLN:NOMER\": \"60.1\", \"PLN:NAME\": \"Расчеты с поставщиками\", \"PLN:FIR\": 1}\n"
      "end\n");
  expectPassed(r);
}

}  // namespace
}  // namespace zelk::test
