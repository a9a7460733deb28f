// The accountant's road, played by zelk-script in a child process over a copy of the
// examples: the firm On-soft/Loko-Bank chosen, its statement imported, the postings
// list's figures checked against the statement after a chart fragment kept from the
// import menu, the first posting's credit account and the second's debit account
// picked from the chart look-ups (the credit one on its own thread), a code typed,
// the second posting's analytics picked from the partner look-ups (a partner added
// there, registered in ANALIT); then dbi.dbf and pln.dat read back, dbi.dbf also by
// an outside dBase reader. Each stage is a piece of the script of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "support/datasources.h"
#include "support/dbfread.h"
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

// The chart fragment kept from the import menu: three accounts added, the list left
// narrowed by a fragment.
const std::string kChart = R"zs(  menu ?QQQT
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  press ?INSERT:4
  wait "Добавить ???"
  expect ?PLN:FIR text "  1"
  type ?PLN:NOMER 60.1
  type ?PLN:NAME "Расчеты с поставщиками"
  press ?OK
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  press ?INSERT:4
  wait "Добавить ???"
  type ?PLN:NOMER 62.1
  type ?PLN:NAME "Расчеты с покупателями"
  press ?OK
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  press ?INSERT:4
  wait "Добавить ???"
  type ?PLN:NOMER 51
  type ?PLN:NAME "Расчетный счет"
  press ?OK
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  type ?NAME_P "асчеты с"
  press ?BUTTON8
  expect ?BROWSE:1 rows 2
  press ?CLOSE
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
  expect ?N_STR text "         4"
  expect ?BROWSE:1 row 1 "01.03.2024" "1" "51" "" "" "" " 125000.00" "Оплата по счёту 12 от 26.02.2024, НДС 20%"
  row ?BROWSE:1 2
  expect ?N_PART text "ИП Иванов Иван Иванович"
)zs";

// The received payment completed: the credit account picked from the credit look-up
// on its own thread (opened with the fragment kept), its analytics typed; the paid one's
// debit account picked from the debit look-up (opened blank).
const std::string kCompletePosting = R"zs(  dblclick ?BROWSE:1 1
  wait "Изменить ???"
  expect ?N_PART text "ООО \"Ромашка\" ИНН 7701234567"
  expect ?DBI:DT_SCHET text "51"
  press ?BUTTON5
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  expect ?NAME_P text "асчеты с"
  expect ?BROWSE:1 rows 2
  row ?BROWSE:1 2
  press ?SELECT:2
  wait "Изменить ???"
  activate
  expect ?DBI:KT_SCHET text "62.1"
  type ?DBI:KT_CODE 42
  press ?OK
  wait "Дополнительная обработка по импорту"
  expect ?BROWSE:1 cell 1 5 "62.1"
  expect ?BROWSE:1 cell 1 6 "000042"
  expect ?SAL text "        425,449.50"
  dblclick ?BROWSE:1 2
  wait "Изменить ???"
  expect ?DBI:KT_SCHET text "51"
  press ?BUTTON4
  wait "Фрагмент плана счетов для корреспонденции с расчетным счетом"
  expect ?NAME_P text ""
  expect ?BROWSE:1 rows 3
  row ?BROWSE:1 2
  press ?SELECT:2
  wait "Изменить ???"
  expect ?DBI:DT_SCHET text "60.1"
  press ?OK
  wait "Дополнительная обработка по импорту"
  expect ?BROWSE:1 cell 2 3 "60.1"
)zs";

// The second posting (a payment) completed from the partner look-ups: on the debit
// side the list searched, then a partner added there and taken; on the credit side a
// partner found and taken. The list's figures stay.
const std::string kPartnerLookUps = R"zs(  dblclick ?BROWSE:1 2
  wait "Изменить ???"
  expect ?DBI:DT_SCHET text "60.1"
  press ?BUTTON6
  wait "Список партнеров"
  type ?NAME_D "иванов"
  press ?BUTTON8
  expect ?BROWSE:1 rows 1
  expect ?BROWSE:1 row 1 "000101" "Индивидуальный предприниматель Иванов Иван Иванович"
  press ?BUTTON9
  press ?INSERT:4
  wait "Добавить ???"
  type ?PAR:FLD_CODE 000201
  type ?PAR:SHORTNAME "Арендодатель"
  type ?PAR:ORGNAME "ООО \"Арендодатель\""
  press ?OK
  wait "Список партнеров"
  press ?SELECT:2
  wait "Изменить ???"
  expect ?DBI:DT_CODE text "201"
  press ?BUTTON7
  wait "Список партнеров"
  type ?NAME_D "локо"
  press ?BUTTON8
  expect ?BROWSE:1 rows 1
  press ?SELECT:2
  wait "Изменить ???"
  expect ?DBI:KT_CODE text "102"
  press ?OK
  wait "Дополнительная обработка по импорту"
  expect ?BROWSE:1 cell 2 3 "60.1"
  expect ?BROWSE:1 cell 2 4 "000201"
  expect ?BROWSE:1 cell 2 6 "000102"
  expect ?S_DT_T text "        125,000.00"
  expect ?S_KT_T text "         49,550.50"
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
  {"DBI:NNDOC": "2", "DBI:DT_SCHET": "60.1", "DBI:DT_CODE": "000201", "DBI:KT_SCHET": "51", "DBI:KT_CODE": "000102"}
  {"DBI:NNDOC": "3", "DBI:STATUS": ""}
  {"DBI:NNDOC": "4", "DBI:KT_SCHET": "51"}
end
expect-dump ANALIT
  {"ANA:SCHET": "60.1", "ANA:FLD_CODE": "000201", "ANA:NAME": "Арендодатель", "ANA:CRC": 555, "ANA:ID_ST": 1, "ANA:KEY": "", "ANA:NNOPER": 0}
end
)zs";

const std::string kChartFile = R"zs(expect-dump PLN key 2
  {"PLN:KOD": 3, "PLN:NOMER": "51", "PLN:FIR": 1}
  {"PLN:KOD": 1, "PLN:NOMER": "60.1", "PLN:NAME": "Расчеты с поставщиками", "PLN:FIR": 1}
  {"PLN:KOD": 2, "PLN:NOMER": "62.1", "PLN:NAME": "Расчеты с покупателями", "PLN:FIR": 1}
end
)zs";

class PostingsRoad : public ::testing::Test {
 protected:
  // The completed postings as the outside reader decodes dbi.dbf: document, credit
  // account and code, one line each.
  std::string outsideRead(const std::string& dbf) const {
    return readWithDbfread(dir,
                           "for r in dbfread.DBF(sys.argv[1], encoding='cp866'):\n"
                           "    print(r['NNDOC'].strip(), r['KT_SCHET'].strip(), r['KT_CODE'].strip())\n",
                           dbf);
  }

  TempDir dir;
};

TEST_F(PostingsRoad, AnImportReviewedAndAPostingCompleted) {
  const std::string copy = dir / "firm";
  fs::copy(std::string(ZELK_SOURCE_DIR) + "/examples", copy, fs::copy_options::recursive);
  // The road keeps a chart fragment of its own: the example's is set aside. The
  // program's case tables beside the firm, the example partners in the SQLite data
  // source "zlk".
  for (const char* f : {"pln.dat", "pln.K01", "pln.K02"}) fs::remove(copy + "/loko/" + f);
  fs::copy_file(std::string(ZELK_SOURCE_DIR) + "/app/qvt.env", copy + "/qvt.env");
  std::string problem;
  const std::string cs = emptySource(kBackends[0], problem);
  ASSERT_FALSE(cs.empty()) << problem;
  storage::ErrorState loaded = storage::odbc::runScript(cs, readAll(copy + "/partners.sql"));
  ASSERT_EQ(loaded.code, 0) << loaded.fileText;

  std::ofstream(dir / "road.zs", std::ios::binary)
      << "cd " + copy + "\n" + kChooseFirm + kChart + kImport + kCheckFigures + kCompletePosting + kPartnerLookUps +
             kLeave + kFile + kChartFile;
  const ScriptRun run = runZelkScript(dir, dir / "road.zs");
  ASSERT_EQ(run.status, script::kPassed) << run.err;
  EXPECT_EQ(run.err, "");

  // The partner added from the debit side's list stands in the register.
  storage::TypedFile<dict::ParRecord> partners(dict::PARTNER_DECL);
  ASSERT_EQ(partners.open(storage::mode::kRead | storage::mode::kDenyNone), 0);
  EXPECT_EQ(partners.records(), 13u);
  partners.rec.FLD_CODE = "000201";
  ASSERT_EQ(partners.get(dict::par::FULLCODE), 0);
  EXPECT_EQ(partners.rec.ORGNAME.str(), ansi("ООО \"Арендодатель\""));

  const std::string out = outsideRead(copy + "/loko/dbi.dbf");
  if (out == "no dbfread") GTEST_SKIP() << "python3-dbfread is missing";
  EXPECT_EQ(out, "1 62.1 000042\n2 51 000102\n3  \n4 51 \n");
}

}  // namespace
}  // namespace zelk::test
