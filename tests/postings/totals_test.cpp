// The list's figures over real files: each posting's counterparty text and amounts,
// the count and turnovers of a pass over the postings, the balance record; the
// posting form's conversions of picks and codes.
#include <cmath>
#include <limits>

#include "fixture.h"
#include "review/codes.h"
#include "import/loko.h"
#include "platform/framework/viewmanager.h"
#include "review/totals.h"

namespace zelk::test {
namespace {

// The postings file read in record order, each row through the row computation.
class RowView : public fw::ViewManager {
 public:
  std::uint8_t ValidateRecord() override {
    review::computeRow(row);
    return ViewManager::ValidateRecord();
  }
  review::RowFigures row;
};

class TotalsTest : public PostingsTest {
 protected:
  // The postings read in record order, each through the row computation, as the
  // list's rows with their two amounts; their totals.
  review::Totals totals() {
    openAll();
    RowView view;
    view.Init(dict::DBI(), *dict::Relate::DBI);
    fw::ListQueue rows;
    rows.addColumn(false, 0);
    rows.addColumn(false, 0);
    seen.clear();
    if (view.Reset() == fw::kLevelOk) {
      while (view.Next() == fw::kLevelOk) {
        seen.push_back(view.row);
        fw::ListQueue::Row& r = rows.rows.emplace_back();
        r.values.resize(rows.rowSize());
        rows.setNumber(r, 0, view.row.S_DT);
        rows.setNumber(r, 1, view.row.S_KT);
      }
    }
    view.Kill();
    closeAll();
    return review::importTotals(rows, 0, 1);
  }
  std::vector<review::RowFigures> seen;
};

TEST_F(TotalsTest, ThreeReceiptsAndAPaymentOverABalance) {
  fill([&] {
    setBalance(1000, day(2024, 3, 1));
    for (int i = 1; i <= 3; ++i) addRow(static_cast<std::int16_t>(i), "Плательщик " + std::to_string(i));
    addRow(4, "Получатель");
    addPosting({1, "1", 100, "0"});
    addPosting({2, "2", 100, "0"});
    addPosting({4, "3", 40, "1"});
    addPosting({3, "4", 100, "0"});
  });
  const auto t = totals();
  EXPECT_EQ(t.rows, 4);
  EXPECT_EQ(t.debit, 300);
  EXPECT_EQ(t.credit, 40);
  EXPECT_EQ(review::balance(1000, t), 1260);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(utf8(seen[2].N_PART.view()), "Получатель");
  EXPECT_EQ(seen[2].S_KT, 40);
  EXPECT_EQ(seen[2].S_DT, 0);
  EXPECT_EQ(utf8(seen[3].N_PART.view()), "Плательщик 3");
}

// A zero amount first and in the middle of a seven-line statement, as the importer
// writes them: the first has no counterparty row, the middle one shares the row of
// the posting before it; neither adds to a turnover.
TEST_F(TotalsTest, ZeroAmountsOfASevenLineStatement) {
  fill([&] {
    ASSERT_FALSE(import::runLoko(write("vypiska.txt", lokoStatement({
                                                          {"500.00", "1", "01-03-2024", "0", "Ноль", "", ""},
                                                          {"500.00", "2", "01-03-2024", "100.00", "Приход",
                                                           "ООО Альфа", "ООО Мы"},
                                                          {"600.00", "3", "02-03-2024", "0", "Ноль", "", ""},
                                                          {"600.00", "4", "02-03-2024", "-30.00", "Расход", "ООО Мы",
                                                           "ООО Бета"},
                                                      })), accounts,
                                 progress())
                     .failure);
  });
  const auto t = totals();
  EXPECT_EQ(t.rows, 4);
  EXPECT_EQ(t.debit, 100);
  EXPECT_EQ(t.credit, 30);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(utf8(seen[0].N_PART.view()), "");
  EXPECT_EQ(seen[2].N_PART.view(), seen[1].N_PART.view());
  EXPECT_NE(utf8(seen[1].N_PART.view()), "");
  EXPECT_EQ(seen[2].S_DT + seen[2].S_KT, 0);
}

TEST_F(TotalsTest, TheCounterpartyRowOfAPosting) {
  const std::string long80(80, 'x');
  struct Case {
    double nnoper;
    std::string expected;
  } cases[] = {
      {2, "Второй"},
      {7, ""},                                                // no such row
      {0, ""},
      {0.5, ""},
      {3, long80.substr(0, 70)},                              // cut to 70
      {65538, ""},                                            // never wraps onto row 2
      {-65534, ""},
      {std::numeric_limits<double>::quiet_NaN(), ""},
      {32767, "Последний"},
  };
  fill([&] {
    addRow(2, "Второй");
    addRow(3, long80);
    addRow(32767, "Последний");
    for (const Case& c : cases) addPosting({c.nnoper, "1", 5, "0", "Оплата"});
  });
  EXPECT_EQ(totals().debit, 5.0 * std::size(cases));
  ASSERT_EQ(seen.size(), std::size(cases));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(cases[i].nnoper);
    EXPECT_EQ(utf8(seen[i].N_PART.view()), cases[i].expected);
    EXPECT_EQ(seen[i].S_DT, 5);
  }
}

// dbi.dbf keeps NNOPER without decimals; a fraction in the record buffer is dropped.
TEST_F(TotalsTest, AFractionalRowNumberFindsTheRowOfItsWholePart) {
  openAll();
  addRow(3, "Третий");
  addRow(4, "Четвертый");
  review::RowFigures row;
  for (double n : {3.0, 3.7, 3.999}) {
    dict::DBI().rec.NNOPER = n;
    review::computeRow(row);
    EXPECT_EQ(utf8(row.N_PART.view()), "Третий") << n;
    EXPECT_EQ(dict::PRT().rec.KOD.get(), 3);
  }
  dict::DBI().rec.NNOPER = 0.7;
  review::computeRow(row);
  EXPECT_EQ(utf8(row.N_PART.view()), "");
  EXPECT_EQ(dict::PRT().rec.KOD.get(), 0);  // the record cleared
  closeAll();
}

TEST_F(TotalsTest, StatusDecidesTheTurnover) {
  fill([&] {
    addPosting({1, "1", 10, "0"});
    addPosting({1, "2", 20, "1"});
    addPosting({1, "3", 40, ""});
    addPosting({1, "4", 80, "2"});
  });
  const auto t = totals();
  EXPECT_EQ(t.rows, 4);
  EXPECT_EQ(t.debit, 10);
  EXPECT_EQ(t.credit, 20);
}

TEST_F(TotalsTest, AnEmptyPostingsFile) {
  const auto t = totals();
  EXPECT_EQ(t.rows, 0);
  EXPECT_EQ(t.debit, 0);
  EXPECT_EQ(t.credit, 0);
  EXPECT_EQ(review::balance(250.5, t), 250.5);
}

// A firm without a balance record shows zero and no date, never the record another
// firm's files left in the buffer.
TEST_F(TotalsTest, NoBalanceRecordReadsAsZeroAndNoDate) {
  openAll();
  dict::LVO().rec.OST = 777;
  dict::LVO().rec.DATA = day(2020, 1, 1);
  review::readBalance();
  EXPECT_EQ(dict::LVO().rec.OST.get(), 0);
  EXPECT_EQ(dict::LVO().rec.DATA.get(), 0);
  setBalance(1000, day(2024, 3, 1));
  dict::LVO().clearBuffer();
  review::readBalance();
  EXPECT_EQ(dict::LVO().rec.OST.get(), 1000);
  EXPECT_EQ(dict::LVO().rec.DATA.get(), day(2024, 3, 1));
  closeAll();
}

// A damaged counterparty row or balance record met by the list's reads: notice 30,
// the rebuild (which drops the record and says so) and the read again, also while
// the list holds the counterparty file's lock; the other rows read as before.
TEST_F(TotalsTest, ADamagedCounterpartyRowOrBalanceIsRebuiltAndReadAgain) {
  fill([&] {
    addRow(1, "Первый");
    addRow(2, "Второй");
    setBalance(1000, day(2024, 3, 1));
  });
  damageStatus("prt.dat", sizeof(dict::PrtRecord), 1);
  damageStatus("lvo.dat", sizeof(dict::LvoRecord), 1);
  openAll();
  const std::vector<std::string> rebuilt{"Неверный ключ", "Файл восстановлен"};
  ASSERT_EQ(dict::PRT().lock(), 0);
  review::RowFigures row;
  for (const auto& [nnoper, name] : {std::pair<double, const char*>{1, ""}, {2, "Второй"}}) {
    dict::DBI().rec.NNOPER = nnoper;
    review::computeRow(row);
    EXPECT_EQ(utf8(row.N_PART.view()), name) << nnoper;
  }
  EXPECT_EQ(dict::PRT().unlock(), 0);
  EXPECT_EQ(boxCaptions(), rebuilt);
  boxes.clear();
  review::readBalance();
  EXPECT_EQ(dict::LVO().rec.OST.get(), 0);
  EXPECT_EQ(boxCaptions(), rebuilt);
  closeAll();
}

TEST(Codes, APickedPartnerCodeIsItsDigits) {
  EXPECT_EQ(review::pickedCode(42), "42");
  EXPECT_EQ(review::pickedCode(7), "7");
  EXPECT_EQ(review::pickedCode(123456), "123456");
}

TEST(Codes, ACompletedCodeHasSixDigitsOrIsBlank) {
  struct Case {
    const char* typed;
    const char* stored;
  } cases[] = {
      {"7", "000007"}, {"42", "000042"}, {"42    ", "000042"}, {"000042", "000042"}, {"  12", "000012"},
      {"123456", "123456"}, {"0", ""}, {"000000", ""}, {"abc", ""}, {"A7", ""}, {"", ""}, {"      ", ""},
      {"12ab", "000012"},
  };
  for (const Case& c : cases) EXPECT_EQ(review::completedCode(c.typed), c.stored) << '"' << c.typed << '"';
}

TEST_F(TotalsTest, AChartPickIsTheRowsAccountCut) {
  openAll();
  const std::int16_t a = addAccount("60.1");
  const std::int16_t b = addAccount("1234567890123");
  EXPECT_EQ(review::pickedAccount(a), "60.1");
  EXPECT_EQ(review::pickedAccount(b), "1234567890");
  EXPECT_EQ(review::pickedAccount(99), "");
  EXPECT_EQ(review::pickedAccount(65536 + a), "");  // not taken for row a
  closeAll();
}

}  // namespace
}  // namespace zelk::test
