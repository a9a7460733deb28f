// The RFK payments-table import on a real subs_clt.dbf and a firm's real files.
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "import/rfk.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
using import::Outcome;

TEST(RfkRules, TolerantEquality) {
  struct Case {
    double a, b;
    bool equal;
  } cases[] = {
      {0, 0, true},
      {100 + -100, 0, true},
      {std::ldexp(1.0, -51), 0, true},   // below 2^-50 counts as 0
      {std::ldexp(1.0, -49), 0, false},
      {0.0001, 0.0001, true},
      {0.0001 + std::ldexp(1.0, -66), 0.0001, true},
      {0.0001 + std::ldexp(1.0, -60), 0.0001, false},
      {0.00011, 0.0001, false},
      {2500.5, 0, false},
      {1e300, 1e300 * (1 + 1e-16), true},
      {0.1 + 0.2, 0.3, true},
      {std::ldexp(1.0, -1070), 0, true},  // a subnormal difference
  };
  for (const Case& c : cases) EXPECT_EQ(import::tolerantEqual(c.a, c.b), c.equal) << c.a << " " << c.b;
}

// A payment as the table's record holds it, without a file.
TEST(RfkPayments, APaymentGivesItsDocument) {
  struct Case {
    double sum1, sum2;
    double amount;
    import::Direction direction;
  } cases[] = {
      {100, 0, 100, import::Direction::Received},   {100, -3, 100, import::Direction::Received},
      {0, 250.5, 250.5, import::Direction::Paid},   {-7, 250.5, 250.5, import::Direction::Paid},
      {100, 40, 40, import::Direction::Both},       {-5, 0, 0, import::Direction::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sum1 << " " << c.sum2);
    SubRecord rec;
    fillPayment(rec, {day(2023, 1, 1), day(2024, 3, 6), 0, c.sum1, c.sum2, "ABCDEFGH", "ООО Контрагент", "Оплата"});
    const import::Document d = import::rfk::document(rec);
    EXPECT_EQ(d.amount, c.amount);
    EXPECT_EQ(d.direction, c.direction);
    EXPECT_EQ(d.day, day(2024, 3, 6));  // DAT2 decides
    EXPECT_EQ(d.number, "ABCDEFGH");     // whole: DBI:NNDOC cuts it
    EXPECT_EQ(utf8(d.purpose), "Оплата");
    ASSERT_TRUE(d.counterparty);  // every payment has its row
    EXPECT_EQ(utf8(*d.counterparty), "ООО Контрагент");
  }
}

TEST(RfkPayments, APaymentIsTakenWithAnAmountAndADateWithinTheInterval) {
  const std::int32_t d1 = day(2024, 3, 1), d2 = day(2024, 3, 31);
  struct Case {
    const char* what;
    std::int32_t dat1, dat2;
    double sum1, sum2;
    std::int32_t from, to;
    std::int32_t date;  // 0: not taken
  } cases[] = {
      {"on D1", 0, d1, 1, 0, d1, d2, d1},
      {"on D2", 0, d2, 0, 1, d1, d2, d2},
      {"before D1", 0, d1 - 1, 1, 0, d1, d2, 0},
      {"after D2", 0, d2 + 1, 1, 0, d1, d2, 0},
      {"D1 empty", 0, day(1990, 1, 1), 1, 0, 0, d2, day(1990, 1, 1)},
      {"D2 empty", 0, d1, 1, 0, 0, 0, 0},
      {"DAT1 when DAT2 is empty", day(2024, 3, 5), 0, 1, 0, d1, d2, day(2024, 3, 5)},
      {"no date", 0, 0, 1, 0, 0, d2, 0},
      {"sums that cancel", 0, d1, 100, -100, d1, d2, 0},
      {"sums whose difference is below the tolerance", 0, d1, 0.1 + 0.2, -0.3, d1, d2, 0},
      {"no sum", 0, d1, 0, 0, d1, d2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SubRecord rec;
    fillPayment(rec, {c.dat1, c.dat2, 0, c.sum1, c.sum2, "1", "", ""});
    EXPECT_EQ(import::rfk::taken(rec, c.from, c.to), c.date != 0);
    if (c.date) {
      EXPECT_EQ(import::rfk::paymentDate(rec), c.date);
    }
  }
}

class RfkImport : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    openFiles();
  }
  import::ImportResult run(const std::vector<Payment>& payments, std::int32_t from, std::int32_t to) {
    if (SUBS_CLT().isOpen()) Relate::SUBS_CLT->Close();
    std::filesystem::remove(dir / "subs_clt.dbf");
    EXPECT_EQ(writePayments(dir / "subs_clt.dbf", payments), 0);
    EXPECT_EQ(Relate::SUBS_CLT->Open(), 0);
    reports.clear();
    return import::runRfk(from, to, accounts, progress());
  }
  static Payment pay(std::int32_t date, double sum1, double sum2 = 0, double inR = 0) {
    return {0, date, inR, sum1, sum2, "12345678", "ООО Контрагент", "Оплата"};
  }
};

TEST_F(RfkImport, AmountAndDirection) {
  struct Case {
    double sum1, sum2;
    bool taken;
    double summa;
    const char* status;
    bool debit, credit;
  } cases[] = {
      {100, 0, true, 100, "0", true, false},
      {100, -3, true, 100, "0", true, false},
      {0, 250.5, true, 250.5, "1", false, true},
      {-7, 250.5, true, 250.5, "1", false, true},
      {100, 40, true, 40, "1", true, true},
      {-5, 0, true, 0, "", false, false},
      {100, -100, false, 0, "", false, false},
      {0, 0, false, 0, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sum1 << " " << c.sum2);
    const auto r = run({pay(day(2024, 3, 1), c.sum1, c.sum2)}, 0, day(2024, 12, 31));
    ASSERT_EQ(r.outcome, Outcome::Done);
    const auto p = postings();
    ASSERT_EQ(p.size(), c.taken ? 1u : 0u);
    if (!c.taken) continue;
    EXPECT_EQ(p[0].SUMMA.get(), c.summa);
    EXPECT_EQ(p[0].VSUMMA.get(), c.summa);
    EXPECT_EQ(p[0].STATUS.str(), c.status);
    EXPECT_EQ(p[0].DT_SCHET.str(), c.debit ? kBank10 : "");
    EXPECT_EQ(p[0].KT_SCHET.str(), c.credit ? kBank10 : "");
    EXPECT_EQ(rows().size(), 1u);  // every payment taken has its row
  }
}

TEST_F(RfkImport, IntervalAndDate) {
  const std::int32_t d1 = day(2024, 3, 1), d2 = day(2024, 3, 31);
  struct Case {
    const char* what;
    Payment p;
    std::int32_t from, to;
    std::int32_t taken;  // DBI:DATAOPER, 0 for not taken
  } cases[] = {
      {"on D1", pay(d1, 1), d1, d2, d1},
      {"on D2", pay(d2, 1), d1, d2, d2},
      {"before D1", pay(d1 - 1, 1), d1, d2, 0},
      {"after D2", pay(d2 + 1, 1), d1, d2, 0},
      {"D1 empty", pay(day(1990, 1, 1), 1), 0, d2, day(1990, 1, 1)},
      {"D2 empty", pay(d1, 1), 0, 0, 0},
      {"D1 after D2", pay(d1, 1), d2, d1, 0},
      {"DAT1 when DAT2 is empty", {day(2024, 3, 5), 0, 0, 1, 0, "1", "", ""}, d1, d2, day(2024, 3, 5)},
      {"DAT2 decides", {day(2023, 1, 1), day(2024, 3, 6), 0, 1, 0, "1", "", ""}, d1, d2, day(2024, 3, 6)},
      {"no date", {0, 0, 0, 1, 0, "1", "", ""}, 0, d2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(run({c.p}, c.from, c.to).outcome, Outcome::Done);
    const auto p = postings();
    ASSERT_EQ(p.size(), c.taken ? 1u : 0u);
    if (c.taken) {
      EXPECT_EQ(p[0].DATAOPER.day(), c.taken);
    }
  }
}

TEST_F(RfkImport, TheFirstIncomingBalanceTakenStaysElseTheMark) {
  struct Case {
    const char* what;
    std::vector<Payment> payments;
    double ost;
    std::int32_t data;
  } cases[] = {
      {"the second has one", {pay(day(2024, 3, 1), 1), pay(day(2024, 3, 2), 1, 0, 2500.5), pay(day(2024, 3, 3), 1, 0, 99)},
       2500.5, day(2024, 3, 2)},
      {"one outside the interval is not taken", {pay(day(2025, 1, 1), 1, 0, 99), pay(day(2024, 3, 9), 1, 0, 10)}, 10,
       day(2024, 3, 9)},
      {"none has one", {pay(day(2024, 3, 1), 1)}, 0.0001, 0},
      {"none taken", {}, 0.0001, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(run(c.payments, 0, day(2024, 12, 31)).outcome, Outcome::Done);
    const auto b = balances();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].OST.get(), c.ost);
    EXPECT_EQ(b[0].DATA.get(), c.data);
  }
}

TEST_F(RfkImport, TextsAreCutToTheirFieldsAndDeletedPaymentsSkipped) {
  Payment p = pay(day(2024, 3, 1), 10);
  p.nomDoc = "ABCDEFGH";
  p.name = std::string(224, 'n').replace(0, 6, "Оплата");
  p.buy = std::string(150, 'b') + "0123456789";
  Payment gone = pay(day(2024, 3, 1), 20);
  gone.deleted = true;
  const auto r = run({gone, p}, 0, day(2024, 12, 31));
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(reports, std::vector<std::int16_t>{1});
  const auto ps = postings();
  ASSERT_EQ(ps.size(), 1u);
  EXPECT_EQ(ps[0].NNDOC.str(), "ABCDEF");
  EXPECT_EQ(utf8(ps[0].NAMEOPER.view()), "Оплата" + std::string(44, 'n'));
  EXPECT_EQ(ps[0].NNOPER.get(), 1);
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(rows()[0].NAME.str(), p.buy);
}

TEST_F(RfkImport, ARowsFileNotOpenForWritingEndsTheRunBeforeItStarts) {
  ASSERT_EQ(PRT().close(), 0);
  ASSERT_EQ(PRT().open(storage::mode::kRead | storage::mode::kDenyNone), 0);
  const auto r = run({pay(day(2024, 3, 1), 10)}, 0, day(2024, 12, 31));
  EXPECT_EQ(r.outcome, Outcome::Failed);
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(r.failure->message, fw::msg::kDeleteFailed);
  EXPECT_EQ(r.failure->file, dir / "prt.dat");
  EXPECT_FALSE(r.count);
  EXPECT_TRUE(postings().empty());
}

// The payments table belongs to another system and is only read: a read-only
// subs_clt.dbf opens without the read-only notice.
TEST_F(RfkImport, AReadOnlyPaymentsTableImportsWithoutANotice) {
  ASSERT_EQ(writePayments(dir / "subs_clt.dbf", {pay(day(2024, 3, 1), 10)}), 0);
  ASSERT_EQ(::chmod((dir / "subs_clt.dbf").c_str(), 0444), 0);
  ASSERT_EQ(Relate::SUBS_CLT->Open(), 0);
  EXPECT_EQ(boxCount(), 0u);
  EXPECT_EQ(SUBS_CLT().openMode() & storage::mode::kAccessMask, storage::mode::kRead);
  const auto r = import::runRfk(0, day(2024, 12, 31), accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 1);
}

TEST_F(RfkImport, TheExampleTable) {
  std::filesystem::copy_file(std::string(ZELK_SOURCE_DIR) + "/examples/rfk/subs_clt.dbf", dir / "subs_clt.dbf");
  ASSERT_EQ(Relate::SUBS_CLT->Open(), 0);
  const auto r = import::runRfk(day(2024, 3, 1), day(2024, 3, 31), accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(outsideRead("NNOPER,NNDOC,DATAOPER,STATUS,DT_SCHET,KT_SCHET,SUMMA,NAMEOPER"),
            "1|15|2024-03-01|0|5101234567||125000.0|Оплата по счёту 12 от 26.02.2024, НДС 20%\n"
            "2|16|2024-03-04|1||5101234567|48300.5|Аренда офиса за март 2024 г.\n"
            "3|19|2024-03-06|1||5101234567|1250.0|Комиссия банка за ведение счёта\n");
  EXPECT_EQ(utf8(rows().at(2).NAME.view()), "АО \"РФК-Банк\"");
  EXPECT_EQ(balances().at(0).OST.get(), 350000);
  EXPECT_EQ(balances().at(0).DATA.get(), day(2024, 3, 1));
}

}  // namespace
}  // namespace zelk::test
