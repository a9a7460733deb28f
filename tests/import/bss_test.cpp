// The BSS import on real statement files and a firm's real files.
#include "import/bss.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
using import::Outcome;

TEST(BssRules, DecimalCommaAmount) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"1234,56", 1234.56}, {"1234,5", 1234.5},   {"1234,", 1234},   {"1234,567", 1234.56},
      {"-1234,56", -1234.56}, {"1234,56-", 1234.56}, {"1234.56", 1234.56}, {"12345", 12345},
      {"1 234,56", 1},      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(import::decimalCommaAmount(c.text), c.value) << c.text;
}

BssDoc received(std::string amount = "1500,00") {
  return {"01.03.2024", "15", "40702810100000005678", "ООО Плательщик", "ООО Получатель", amount, "Оплата"};
}

// A line as the reader sees it: in the program's code page.
std::string asRead(const std::string& dosLine) { return cp::oemToAnsi(dosLine); }

TEST(BssColumns, TheHeaderLineGivesTheBalanceAndItsDate) {
  struct Case {
    std::string line;
    double amount;
    std::int32_t day;
  } cases[] = {
      {bssHeader("01.03.2024", "10500,75"), 10500.75, day(2024, 3, 1)},
      {bssHeader("01.03.2024", "  350000,00", kBssLine), 350000, day(2024, 3, 1)},
      {bssHeader("31.02.2005", "1 500,00"), 1, day(2005, 3, 3)},
      {bssHeader("15.00.2005", "-20,5"), -20.5, -1},
      {bssHeader("", ""), 0, 0},
      {dos("ВЫПИСКА"), 0, 0},  // shorter than its columns
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const import::Balance b = import::bss::header(asRead(c.line));
    EXPECT_EQ(b.amount, c.amount);
    EXPECT_EQ(b.day, c.day);
  }
}

TEST(BssColumns, ADocumentLineGivesItsDocument) {
  BssDoc all{"31.12.2005", "12345", "40702810100000005678", "ООО \"Ромашка\"", "ООО Мы", "  125000,75  ",
             std::string(60, 'p').replace(0, 6, "Оплата")};
  BssDoc own = received("-500,00");
  own.payerAccount = kOwnAccount;
  BssDoc blankBefore = received();
  blankBefore.payerAccount = " " + std::string(kOwnAccount.substr(0, 19));
  struct Case {
    const char* what;
    std::string line;
    double amount;
    import::Direction direction;
    const char* counterparty;
    const char* number;
    std::int32_t day;
    std::string purpose;
  } cases[] = {
      {"every column", bssDocument(all, kBssLine), 125000.75, import::Direction::Received, "ООО \"Ромашка\"", "12345",
       day(2005, 12, 31), "Оплата" + std::string(54, 'p')},
      {"paid from its own account", bssDocument(own), -500, import::Direction::Paid, "ООО Получатель", "15",
       day(2024, 3, 1), "Оплата"},
      {"a leading blank in the payer account", bssDocument(blankBefore), 1500, import::Direction::Received,
       "ООО Плательщик", "15", day(2024, 3, 1), "Оплата"},
      {"a third decimal", bssDocument(received("1234,567")), 1234.56, import::Direction::Received, "ООО Плательщик",
       "15", day(2024, 3, 1), "Оплата"},
      {"a blank in the amount", bssDocument(received("1 234,56")), 1, import::Direction::Received, "ООО Плательщик",
       "15", day(2024, 3, 1), "Оплата"},
      {"a short line", "0" + std::string(40, ' '), 0, import::Direction::Received, "", "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = asRead(c.line);
    ASSERT_TRUE(import::bss::isDocument(line));
    const import::Document d = import::bss::document(line, Text<20>(kOwnAccount).view());
    EXPECT_EQ(d.amount, c.amount);
    EXPECT_EQ(d.direction, c.direction);
    ASSERT_TRUE(d.counterparty);
    EXPECT_EQ(utf8(*d.counterparty), c.counterparty);
    EXPECT_EQ(utf8(d.number), c.number);
    EXPECT_EQ(d.day, c.day);
    EXPECT_EQ(utf8(d.purpose), c.purpose);
  }
  for (const char* line : {"", " 0", "1", "\t0"}) EXPECT_FALSE(import::bss::isDocument(line)) << line;
}

class BssImport : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    openFiles();
  }
  import::ImportResult run(const std::vector<std::string>& lines) { return runBytes(crlfLines(lines)); }
  import::ImportResult runBytes(const std::string& bytes) {
    reports.clear();
    return import::runBss(write("vypiska.txt", bytes), accounts, progress());
  }
  const std::string title = dos("Выписка");
};

TEST_F(BssImport, EveryColumnGoesToItsField) {
  BssDoc d{"31.12.2005", "12345", "40702810100000005678", "ООО \"Ромашка\"", "ООО Мы", "  125000,75  ",
           std::string(60, 'p').replace(0, 6, "Оплата")};
  const auto r = run({title, bssHeader("01.03.2024", "10500,75"), bssDocument(d, 1875)});
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(utf8(r.message), "Задание выполнено");
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(reports, std::vector<std::int16_t>{1});
  const auto p = postings();
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].NNDOC.view(), "12345 ");
  EXPECT_EQ(p[0].DATAOPER.day(), day(2005, 12, 31));
  EXPECT_EQ(p[0].SUMMA.get(), 125000.75);
  EXPECT_EQ(p[0].VSUMMA.get(), 125000.75);
  EXPECT_EQ(p[0].STATUS.str(), "0");
  EXPECT_EQ(p[0].DT_SCHET.str(), kBank10);
  EXPECT_EQ(utf8(p[0].NAMEOPER.view()), "Оплата" + std::string(44, 'p'));
  EXPECT_EQ(p[0].NNOPER.get(), 1);
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(utf8(rows()[0].NAME.view()), "ООО \"Ромашка\"");
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 10500.75);
  EXPECT_EQ(balances()[0].DATA.get(), day(2024, 3, 1));
}

TEST_F(BssImport, TheFirmPaysWhenThePayerAccountIsItsOwn) {
  struct Case {
    const char* what;
    std::string own, payerAccount;
    bool paid;
  } cases[] = {
      {"its own account", std::string(kOwnAccount), std::string(kOwnAccount), true},
      {"another account", std::string(kOwnAccount), "40702810100000005678", false},
      {"a leading blank", "4070281090000000123", " 4070281090000000123", false},
      {"trailing blanks", "4070281090", "4070281090          ", true},
      {"no own account, no payer account", "", "", true},
      {"no own account", "", "40702810100000005678", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    accounts.own = c.own;
    BssDoc d = received("-500,00");
    d.payerAccount = c.payerAccount;
    ASSERT_EQ(run({title, bssHeader("01.03.2024", "1"), bssDocument(d)}).count, 1);
    const auto p = postings();
    EXPECT_EQ(p.at(0).STATUS.str(), c.paid ? "1" : "0");
    EXPECT_EQ(p.at(0).KT_SCHET.str(), c.paid ? kBank10 : "");
    EXPECT_EQ(p.at(0).DT_SCHET.str(), c.paid ? "" : kBank10);
    EXPECT_EQ(p.at(0).SUMMA.get(), -500);  // the sign as read, whatever the direction
    EXPECT_EQ(utf8(rows().at(0).NAME.view()), c.paid ? "ООО Получатель" : "ООО Плательщик");
  }
}

TEST_F(BssImport, TheHeaderGivesTheBalanceRecord) {
  struct Case {
    const char* date;
    const char* balance;
    double ost;
    std::int32_t data;
  } cases[] = {
      {"01.03.2024", "10500,75", 10500.75, day(2024, 3, 1)},
      {"31.02.2005", "1 500,00", 1, day(2005, 3, 3)},
      {"15.00.2005", "-20,5", -20.5, -1},
      {"", "", 0, 0},
  };
  for (bool existing : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.date << (existing ? " rewritten" : " added"));
      if (!existing) {
        ASSERT_FALSE(import::emptyFile(LVO()));
      }
      ASSERT_EQ(run({title, bssHeader(c.date, c.balance)}).count, 0);
      const auto b = balances();
      ASSERT_EQ(b.size(), 1u);
      EXPECT_EQ(b[0].OST.get(), c.ost);
      EXPECT_EQ(b[0].DATA.get(), c.data);
    }
  }
}

TEST_F(BssImport, DocumentLinesAreThoseStartingWithZero) {
  BssDoc tabbed = received("77,00");
  std::string tabLine = bssDocument(tabbed);
  tabLine.insert(1, "\t");  // "0" then a TAB: every later column moves by 7
  const auto r = run({bssDocument(received("1,00")), bssDocument(received("2,00")), " " + bssDocument(received("3")),
                      "0" + std::string(40, ' '), tabLine});
  EXPECT_EQ(r.count, 4);
  const auto p = postings();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].SUMMA.get(), 1);  // line 1 and line 2 are documents too
  EXPECT_EQ(p[1].SUMMA.get(), 2);
  EXPECT_EQ(p[2].SUMMA.get(), 0);  // a short line: the missing columns read as blanks
  EXPECT_TRUE(p[2].NAMEOPER.blank());
  EXPECT_TRUE(p[2].NNDOC.blank());
  EXPECT_TRUE(p[3].NNDOC.blank());  // the number moved out of its columns
  EXPECT_EQ(p[3].DATAOPER.day(), 0);  // so did the date
  EXPECT_EQ(utf8(rows().at(3).NAME.view()), "       ООО Плательщик");
  // Line 2, a document, is also the header: its columns 55-74 hold "2024" of the
  // document's date and the document number.
  EXPECT_EQ(balances().at(0).OST.get(), 2024);
}

TEST_F(BssImport, AStatementOfOneLineLeavesTheBalanceAndImportsItsDocument) {
  setBalance(777, 7);
  for (const std::string& bytes : {bssDocument(received("5,00")), bssDocument(received("5,00")) + "\r\n\x1a"}) {
    const auto r = runBytes(bytes);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(postings().at(0).SUMMA.get(), 5);
    ASSERT_EQ(balances().size(), 1u);
    EXPECT_EQ(balances()[0].OST.get(), 777);
    EXPECT_EQ(balances()[0].DATA.get(), 7);
  }
}

TEST_F(BssImport, AnEmptyStatementPostsNothingAndLeavesTheBalance) {
  previousRun(2);
  for (const std::string& bytes : {std::string(), std::string("\x1a"), std::string("\x1a") + bssDocument(received())}) {
    const auto r = runBytes(bytes);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(postings().empty());
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(balances().at(0).OST.get(), 777);
  }
}

TEST_F(BssImport, AStatementThatDoesNotOpenTouchesNothing) {
  previousRun(2);
  const auto r = import::runBss(dir / "missing.txt", accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::NoInput);
  EXPECT_EQ(utf8(r.message), "Не найден входной файл");
  EXPECT_FALSE(r.count);
  EXPECT_EQ(postings().size(), 2u);
  EXPECT_EQ(rows().size(), 2u);
  EXPECT_EQ(balances().at(0).OST.get(), 777);
}

TEST_F(BssImport, TwoImportsInARowLeaveOnlyTheSecond) {
  ASSERT_EQ(run({title, bssHeader("01.03.2024", "1"), bssDocument(received()), bssDocument(received())}).count, 2);
  ASSERT_EQ(run({title, bssHeader("02.03.2024", "2"), bssDocument(received("9,99"))}).count, 1);
  ASSERT_EQ(postings().size(), 1u);
  EXPECT_EQ(postings()[0].SUMMA.get(), 9.99);
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(rows()[0].KOD.get(), 1);
}

// PRT:KOD and the counter are 16-bit: the run stops before the 32,768th document and
// keeps the ones before it.
TEST_F(BssImport, TheRunStopsBeforeThe32768thDocument) {
  std::string bytes = title + "\r\n" + bssHeader("01.03.2024", "1") + "\r\n";
  for (int i = 0; i < 32768; ++i) bytes += "0\r\n";
  const auto r = runBytes(bytes);
  EXPECT_EQ(r.outcome, Outcome::TooMany);
  EXPECT_EQ(utf8(r.message), "Более 32767 документов");
  EXPECT_EQ(r.count, 32767);
  EXPECT_FALSE(r.failure);
  EXPECT_EQ(reports.size(), 32767u);
  EXPECT_EQ(postings().size(), 32767u);
  const auto rw = rows();
  ASSERT_EQ(rw.size(), 32767u);
  EXPECT_EQ(rw.back().KOD.get(), 32767);
}

TEST_F(BssImport, TheExampleStatement) {
  const auto r = import::runBss(std::string(ZELK_SOURCE_DIR) + "/examples/bss/vypiska.txt", accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(outsideRead("NNOPER,NNDOC,DATAOPER,STATUS,DT_SCHET,KT_SCHET,SUMMA,NAMEOPER"),
            "1|15|2024-03-01|0|5101234567||125000.0|Оплата по счёту 12 от 26.02.2024, НДС 20%\n"
            "2|16|2024-03-04|1||5101234567|48300.5|Аренда офиса за март 2024 г.\n"
            "3|17|2024-03-06|1||5101234567|1250.0|Комиссия банка за ведение счёта\n");
  EXPECT_EQ(utf8(rows().at(0).NAME.view()), "ООО \"Ромашка\" ИНН 7701234567");
  EXPECT_EQ(utf8(rows().at(1).NAME.view()), "ИП Иванов Иван Иванович");
  EXPECT_EQ(balances().at(0).OST.get(), 350000);
  EXPECT_EQ(balances().at(0).DATA.get(), day(2024, 3, 1));
}

}  // namespace
}  // namespace zelk::test
