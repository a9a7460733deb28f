// The accountant's road, played by zelk-script in a child process over a copy of the
// examples: the firm On-soft/Loko-Bank chosen, its statement imported, the postings
// list's figures checked against the statement, the first posting completed in the
// posting form by typed codes; then dbi.dbf read back, also by an outside dBase
// reader. Each stage is a piece of the script of its own, so that later stages (the
// chart and partner look-ups) join in between.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/runscript.h"
#include "support/tempdir.h"
#include "tools/zelk-script/runner.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

// The firm of the example chosen and the import menu reached.
const std::string kChooseFirm = R"zs(run MAIN
  wait "Иморт выписок из систем Клиент-Банк"
  menu ?PASTE
  wait "Выбор фирмы для иморта"
  press ?BUTTON3
  wait "Настройка фирм для иморта"
  row ?BROWSE:1 1
  press ?SELECT:2
  wait "Выбор фирмы для иморта"
  press ?BUTTON4
  wait "Реализация импорта"
)zs";

// The statement imported: the postings list opens on the result.
const std::string kImport = R"zs(  menu ?KL1
  wait "Предварительный импорт Локо-Банк"
  file loko/vypiska.txt
  press ?LOOKUPFILE
  press ?BUTTON4
  wait "Дополнительная обработка по импорту"
)zs";

// The statement: an incoming balance of 350000.00 on 1 March 2024; 125000.00
// received, 48300.50 and 1250.00 paid, one document without an amount.
const std::string kCheckFigures = R"zs(  expect ?BROWSE:1 rows 4
  expect ?N_FIR_A text "ООО Пример (Локо-Банк)"
  expect ?LVO:DATA text "01/03/2024"
  expect ?LVO:OST text "        350,000.00"
  expect ?S_DT_T text "        125,000.00"
  expect ?S_KT_T text "         49,550.50"
  expect ?SAL text "        425,449.50"
  expect ?N_STR text "   4"
  expect ?BROWSE:1 row 1 "01.03.2024" "1" "51" "" "" "" " 125000.00" "Оплата по счёту 12 от 26.02.2024, НДС 20%"
  row ?BROWSE:1 2
  expect ?N_PART text "ИП Иванов Иван Иванович"
)zs";

// The received payment completed: the credit account and its analytics typed.
const std::string kCompletePosting = R"zs(  dblclick ?BROWSE:1 1
  wait "Изменить ???"
  expect ?N_PART text "ООО \"Ромашка\" ИНН 7701234567"
  expect ?DBI:DT_SCHET text "51"
  type ?DBI:KT_SCHET 62.1
  type ?DBI:KT_CODE 42
  press ?OK
  wait "Дополнительная обработка по импорту"
  expect ?BROWSE:1 cell 1 5 "62.1"
  expect ?BROWSE:1 cell 1 6 "000042"
  expect ?SAL text "        425,449.50"
)zs";

// Back through the import window and the menu, and out.
const std::string kLeave = R"zs(  press ?CLOSE
  wait "Предварительный импорт Локо-Банк"
  press ?CANCELBUTTON
  wait "Реализация импорта"
  close
  wait "Иморт выписок из систем Клиент-Банк"
  menu ?EXIT
end
)zs";

const std::string kFile = R"zs(expect-dump DBI
  {"DBI:NNDOC": "1", "DBI:DT_SCHET": "51", "DBI:KT_SCHET": "62.1", "DBI:KT_CODE": "000042", "DBI:NNOPER_D": 0}
  {"DBI:NNDOC": "2", "DBI:KT_SCHET": "51", "DBI:KT_CODE": ""}
  {"DBI:NNDOC": "3", "DBI:STATUS": ""}
  {"DBI:NNDOC": "4", "DBI:KT_SCHET": "51"}
end
)zs";

class PostingsRoad : public ::testing::Test {
 protected:
  // The completed postings as the outside reader decodes dbi.dbf: document, credit
  // account and code, one line each.
  std::string outsideRead(const std::string& dbf) const {
    if (std::system("/usr/bin/python3 -c 'import dbfread' >/dev/null 2>&1") != 0) return "no dbfread";
    std::ofstream(dir / "read.py") << "import sys, dbfread\n"
                                      "for r in dbfread.DBF(sys.argv[1], encoding='cp866'):\n"
                                      "    print(r['NNDOC'].strip(), r['KT_SCHET'].strip(), r['KT_CODE'].strip())\n";
    const std::string cmd = "/usr/bin/python3 " + (dir / "read.py") + " " + dbf + " 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[4096];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
      pclose(p);
    }
    return out;
  }

  TempDir dir;
};

TEST_F(PostingsRoad, AnImportReviewedAndAPostingCompleted) {
  const std::string copy = dir / "firm";
  fs::copy(std::string(ZELK_SOURCE_DIR) + "/examples", copy, fs::copy_options::recursive);
  std::ofstream(dir / "road.zs", std::ios::binary)
      << "cd " + copy + "\n" + kChooseFirm + kImport + kCheckFigures + kCompletePosting + kLeave + kFile;
  const ScriptRun run = runZelkScript(dir, dir / "road.zs");
  ASSERT_EQ(run.status, script::kPassed) << run.err;
  EXPECT_EQ(run.err, "");

  const std::string out = outsideRead(copy + "/loko/dbi.dbf");
  if (out == "no dbfread") GTEST_SKIP() << "python3-dbfread is missing";
  EXPECT_EQ(out, "1 62.1 000042\n2 51 \n3  \n4 51 \n");
}

}  // namespace
}  // namespace zelk::test
