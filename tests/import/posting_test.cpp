// The posting rules the importers share, each on its own: the direction, the constant
// fields, the balance record, the emptying pass, and the failure's message.
#include <fstream>

#include "import/posting.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
using import::Direction;

using PostingRules = ImportTest;

TEST_F(PostingRules, DirectionPutsTheFirstTenCharactersOfTheLedgerAccountOnItsSide) {
  struct Case {
    Direction d;
    const char* status;
    std::string_view debit, credit;
  } cases[] = {
      {Direction::None, "", "", ""},
      {Direction::Received, "0", kBank10, ""},
      {Direction::Paid, "1", "", kBank10},
      {Direction::Both, "1", kBank10, kBank10},
  };
  for (const Case& c : cases) {
    DbiRecord rec;
    rec.STATUS = "x";
    rec.DT_SCHET = "old";
    rec.KT_SCHET = "old";
    import::applyDirection(rec, c.d, Text<20>(kBank).view());
    EXPECT_EQ(rec.STATUS.str(), c.status);
    EXPECT_EQ(rec.DT_SCHET.view(), Text<10>(c.debit).view());
    EXPECT_EQ(rec.KT_SCHET.view(), Text<10>(c.credit).view());
  }
}

TEST_F(PostingRules, ConstantFieldsOfAnImportedPosting) {
  DbiRecord rec;
  rec.SUMMA = 42.5;
  rec.DT_CODE = "123";
  rec.KT_CODE = "456";
  import::setConstantFields(rec, 7, day(2024, 2, 29));
  EXPECT_EQ(rec.USER_DATE.day(), day(2024, 2, 29));
  EXPECT_EQ(rec.NNOPER.get(), 7);
  EXPECT_EQ(rec.TASK.str(), "01");
  EXPECT_EQ(utf8(rec.VALUTA.view()), "РУБ");
  EXPECT_EQ(rec.VCURS.get(), 1);
  EXPECT_EQ(rec.ID_ST.get(), 1);
  EXPECT_EQ(rec.CRC.get(), 123);
  EXPECT_EQ(rec.VSUMMA.get(), 42.5);
  EXPECT_TRUE(rec.DT_CODE.blank());
  EXPECT_TRUE(rec.KT_CODE.blank());
}

TEST_F(PostingRules, BalanceIsAddedThenRewrittenAndAFieldNotFilledIsCleared) {
  openFiles();
  setBalance(1500, day(2005, 12, 31));  // the file held no record: ADD, then PUT
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 1500);
  EXPECT_EQ(balances()[0].DATA.get(), day(2005, 12, 31));
  ASSERT_FALSE(import::writeBalance([](LvoRecord& r) { r.OST = 10.25; }));
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 10.25);
  EXPECT_EQ(balances()[0].DATA.get(), 0);
}

TEST_F(PostingRules, EmptyingMarksEveryPostingDeletedInTheTableAndRemovesEveryRow) {
  openFiles();
  previousRun(3);
  ASSERT_FALSE(import::emptyFile(DBI()));
  ASSERT_FALSE(import::emptyFile(PRT()));
  EXPECT_TRUE(postings().empty());
  EXPECT_TRUE(rows().empty());
  // The table is never packed: the three records stay, flagged "*".
  std::ifstream in(dir / "dbi.dbf", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const auto u16 = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8; };
  const std::size_t headerSize = u16(8), recordSize = u16(10);
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 3);  // the header's record count
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(bytes.at(headerSize + i * recordSize), '*');
}

// After a NEXT that failed at the end there is no current record: PUT and DELETE
// fail and the last record read stays as it was.
TEST_F(PostingRules, APutOrDeleteAfterAFailedNextTouchesNothing) {
  openFiles();
  previousRun(2);
  for (storage::File* f : {static_cast<storage::File*>(&DBI()), static_cast<storage::File*>(&PRT())}) {
    SCOPED_TRACE(f->name());
    f->set();
    while (f->next() == 0) {
    }
    ASSERT_EQ(f->next(), storage::kRecordNotAvailable);
    EXPECT_EQ(f->put(), storage::kRecordNotAvailable);
    EXPECT_EQ(f->erase(), storage::kRecordNotAvailable);
  }
  EXPECT_EQ(postings().size(), 2u);
  ASSERT_EQ(rows().size(), 2u);
  EXPECT_EQ(rows()[1].KOD.get(), 2);
  EXPECT_EQ(postings()[1].NNOPER.get(), 2);
}

TEST_F(PostingRules, AFailureIsRaisedWithItsFileAndError) {
  storage::ErrorState e;
  e.code = storage::kAccessDenied;
  e.text = std::string(storage::errorText(e.code));
  import::raiseFailure({fw::msg::kPutFailed, "/firm/lvo.dat", e});
  ASSERT_EQ(boxCount(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Запись не обновляется");
  const std::string text = cp::toUtf8(boxes.last().text);
  EXPECT_NE(text.find("Access Denied"), std::string::npos) << text;
  EXPECT_NE(text.find("/firm/lvo.dat"), std::string::npos) << text;
}

}  // namespace
}  // namespace zelk::test
