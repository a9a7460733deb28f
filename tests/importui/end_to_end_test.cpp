// The road a person takes, played by zelk-script in a child process over a copy of
// the examples: the frame, the firm chosen from the firm list, "Запуск системы", the
// import item, the statement chosen (or the interval typed), "Запуск импорта" and the
// postings list it opens; then the firm's dbi.dbf, prt.dat and lvo.dat read back,
// dbi.dbf also by an outside dBase reader.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/core/date.h"
#include "support/dbfread.h"
#include "support/runscript.h"
#include "support/tempdir.h"
#include "tools/zelk-script/runner.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

struct Road {
  const char* name;
  int row;             // the firm's row in the firm list
  const char* item;    // its import item
  const char* title;   // the import window's title
  std::string input;   // the steps that give the input
  std::string folder;  // the firm's database folder
  std::string counter;   // the import window's count (5 positions)
  std::string listed;    // the postings list's row count (10 positions)
  std::string postings;  // expected DBI records, one JSON object a line
  std::string rows;      // expected PRT records
  std::string payee;     // the third counterparty (the bank)
  std::string nndoc1;    // the first posting's document number
};

std::string script(const Road& r, const std::string& folder) {
  const std::string march1 = std::to_string(date::dayNumber(2024, 3, 1));
  return "cd " + folder + "\n"
         "run MAIN\n"
         "  wait \"Иморт выписок из систем Клиент-Банк\"\n"
         "  menu ?PASTE\n"
         "  wait \"Выбор фирмы для иморта\"\n"
         "  press ?BUTTON3\n"
         "  wait \"Настройка фирм для иморта\"\n"
         "  row ?BROWSE:1 " + std::to_string(r.row) + "\n"
         "  press ?SELECT:2\n"
         "  wait \"Выбор фирмы для иморта\"\n"
         "  press ?BUTTON4\n"
         "  wait \"Реализация импорта\"\n"
         "  expect " + r.item + " disabled false\n"
         "  menu " + r.item + "\n"
         "  wait \"" + r.title + "\"\n" +
         r.input +
         "  focus ?BUTTON4\n"
         "  expect ?MESSAGE text \"Идет выполнение!!!\"\n"
         "  press ?BUTTON4\n"
         "  wait \"Дополнительная обработка по импорту\"\n"
         "  expect ?N_STR text \"" + r.listed + "\"\n"
         "  close\n"
         "  wait \"" + r.title + "\"\n"
         "  expect ?NS text \"" + r.counter + "\"\n"
         "  expect ?MESSAGE text \"Задание выполнено\"\n"
         "  press ?CANCELBUTTON\n"
         "  wait \"Реализация импорта\"\n"
         "  close\n"
         "  wait \"Иморт выписок из систем Клиент-Банк\"\n"
         "  menu ?EXIT\n"
         "end\n"
         "expect-dump DBI\n" + r.postings + "end\n"
         "expect-dump PRT key 1\n" + r.rows +
         "  {\"PRT:KOD\": 3, \"PRT:NAME\": \"" + r.payee + "\"}\n"
         "end\n"
         "expect-dump LVO\n"
         "  {\"LVO:OST\": 350000, \"LVO:DATA\": " + march1 + "}\n"
         "end\n";
}

// The first two postings and rows are the same in the three examples.
const std::string kFirstTwoRows =
    "  {\"PRT:KOD\": 1, \"PRT:NAME\": \"ООО \\\"Ромашка\\\" ИНН 7701234567\"}\n"
    "  {\"PRT:KOD\": 2, \"PRT:NAME\": \"ИП Иванов Иван Иванович\"}\n";
std::string posting(int nnoper, const char* nndoc, const char* summa, const char* status, const char* dt,
                    const char* kt) {
  return std::string("  {\"DBI:NNOPER\": ") + std::to_string(nnoper) + ", \"DBI:NNDOC\": \"" + nndoc +
         "\", \"DBI:SUMMA\": " + summa + ", \"DBI:VSUMMA\": " + summa + ", \"DBI:STATUS\": \"" + status +
         "\", \"DBI:DT_SCHET\": \"" + dt + "\", \"DBI:KT_SCHET\": \"" + kt + "\", \"DBI:CRC\": 123}\n";
}

const Road kRoads[] = {
    {"LOKO", 1, "?KL1", "Предварительный импорт Локо-Банк",
     "  expect ?BUTTON4 hidden true\n"
     "  file loko/vypiska.txt\n"
     "  press ?LOOKUPFILE\n",
     "loko", "    4", "         4",
     posting(1, "1", "125000", "0", "51", "") + posting(2, "2", "48300.5", "1", "", "51") +
         posting(2, "3", "0", "", "", "") + posting(3, "4", "1250", "1", "", "51"),
     kFirstTwoRows, "АО \\\"Локо-Банк\\\"", "1"},
    {"KLIENTRFK", 2, "?KL2", "Предварительный импорт-Клиент-Банк РФК",
     "  expect ?BUTTON4 hidden false\n"
     "  type ?D1 01/03/2024\n"
     "  type ?D2 31/03/2024\n",
     "rfk", "    3", "         3",
     posting(1, "15", "125000", "0", "51", "") + posting(2, "16", "48300.5", "1", "", "51") +
         posting(3, "19", "1250", "1", "", "51"),
     kFirstTwoRows, "АО \\\"РФК-Банк\\\"", "15"},
    {"KLBSS", 3, "?KL3", "Предварительный импорт Клиент-Банка BSS",
     "  expect ?BUTTON4 hidden true\n"
     "  file bss/vypiska.txt\n"
     "  press ?LOOKUPFILE\n",
     "bss", "    3", "         3",
     posting(1, "15", "125000", "0", "51", "") + posting(2, "16", "48300.5", "1", "", "51") +
         posting(3, "17", "1250", "1", "", "51"),
     kFirstTwoRows, "АО \\\"БСС-Банк\\\"", "15"},
};

class ImportRoad : public ::testing::Test {
 protected:
  std::string read(const std::string& name) const {
    std::ifstream f(dir / name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  // Runs the script in a child process, as zelk-script would; its exit status.
  int run(const std::string& text) {
    std::ofstream(dir / "road.zs", std::ios::binary) << text;
    return runZelkScript(dir, dir / "road.zs").status;
  }

  // The live postings of a dbi.dbf as the outside reader decodes them (cp866): the
  // document number, the amount and the purpose, one line each.
  std::string outsideRead(const std::string& dbf) const {
    return readWithDbfread(dir,
                           "t = dbfread.DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict')\n"
                           "for r in t: print(r['NNDOC'].strip(), r['SUMMA'], r['NAMEOPER'].rstrip())\n",
                           dbf);
  }

  TempDir dir;
};

TEST_F(ImportRoad, EachExampleFirmImportsItsStatementAlongTheWholeRoad) {
  for (const Road& r : kRoads) {
    SCOPED_TRACE(r.name);
    const std::string copy = dir / r.name;
    fs::copy(std::string(ZELK_SOURCE_DIR) + "/examples", copy, fs::copy_options::recursive);
    ASSERT_EQ(run(script(r, copy)), script::kPassed) << read("err");
    EXPECT_EQ(read("err"), "");

    const std::string out = outsideRead(copy + "/" + r.folder + "/dbi.dbf");
    if (out == "no dbfread") continue;
    std::istringstream lines(out);
    std::vector<std::string> got;
    for (std::string l; std::getline(lines, l);) got.push_back(l);
    ASSERT_EQ(got.size(), r.name == std::string("LOKO") ? 4u : 3u) << out;
    EXPECT_EQ(got.front(), r.nndoc1 + " 125000.0 Оплата по счёту 12 от 26.02.2024, НДС 20%") << out;
    EXPECT_EQ(got.back().substr(got.back().find(' ')), " 1250.0 Комиссия банка за ведение счёта") << out;
  }
}

}  // namespace
}  // namespace zelk::test
