// The On-soft/Loko-Bank import on real statement files and a firm's real files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "import/loko.h"
#include "support/station.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
using import::Outcome;

LokoDoc doc(std::string amount, std::string number = "17", std::string date = "31-12-2005") {
  return {"10000.00", number, date, amount, "Оплата по счёту 17 от 01.12.2005", "ООО Плательщик", "ООО Получатель"};
}

// A group's lines as the reader sees them (the program's code page), each given as it
// comes and padded to the record's width: the same document either way.
TEST(LokoLines, EachLineOfAGroupGivesItsPartOfTheDocument) {
  struct Case {
    const char* what;
    LokoDoc doc;
    double amount;
    import::Direction direction;
    const char* counterparty;  // nullptr: no row
    std::int32_t day;
    const char* number;
  } cases[] = {
      {"received", doc("1500.00"), 1500, import::Direction::Received, "ООО Плательщик", day(2005, 12, 31), "17"},
      {"paid", doc("-250.5"), 250.5, import::Direction::Paid, "ООО Получатель", day(2005, 12, 31), "17"},
      {"decimal comma", doc("1234,56"), 1234, import::Direction::Received, "ООО Плательщик", day(2005, 12, 31), "17"},
      {"blank in the digits", doc("1 234.56"), 1, import::Direction::Received, "ООО Плательщик", day(2005, 12, 31), "17"},
      {"exponent", doc("-1.5e3"), 1500, import::Direction::Paid, "ООО Получатель", day(2005, 12, 31), "17"},
      {"zero", doc("0.00"), 0, import::Direction::None, nullptr, day(2005, 12, 31), "17"},
      {"no number", doc("нет"), 0, import::Direction::None, nullptr, day(2005, 12, 31), "17"},
      {"date past the month's end", doc("1", "17", "31-02-2005"), 1, import::Direction::Received, "ООО Плательщик",
       day(2005, 3, 3), "17"},
      {"no digit in the date", doc("1", "17", "нет"), 1, import::Direction::Received, "ООО Плательщик", 0, "17"},
      {"month 0", doc("1", "17", "15-00-2005"), 1, import::Direction::Received, "ООО Плательщик", -1, "17"},
      {"number cut to 6", doc("1", "1234567"), 1, import::Direction::Received, "ООО Плательщик", day(2005, 12, 31),
       "123456"},
      {"leading blanks count", doc("1", "   12345"), 1, import::Direction::Received, "ООО Плательщик",
       day(2005, 12, 31), "   123"},
  };
  for (const Case& c : cases) {
    for (bool padded : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.what << (padded ? ", padded" : ""));
      import::loko::Group g;
      int i = 0;
      for (const std::string* line : {&c.doc.balance, &c.doc.number, &c.doc.date, &c.doc.amount, &c.doc.purpose,
                                      &c.doc.payer, &c.doc.payee}) {
        const std::string ansiLine = cp::fromUtf8(*line);
        g.take(i++, padded ? Text<kLokoLine>(ansiLine).view() : std::string_view(ansiLine), true);
      }
      EXPECT_EQ(g.balance(), 10000);
      EXPECT_EQ(g.day(), c.day);
      const import::Document d = g.document();
      EXPECT_EQ(d.amount, c.amount);
      EXPECT_EQ(d.direction, c.direction);
      EXPECT_EQ(d.day, c.day);
      EXPECT_EQ(d.number, Text<6>(c.number).view());
      EXPECT_EQ(utf8(d.purpose), "Оплата по счёту 17 от 01.12.2005");
      EXPECT_EQ(d.purpose.size(), 50u);  // the field's width
      ASSERT_EQ(d.counterparty.has_value(), c.counterparty != nullptr);
      if (c.counterparty) {
        EXPECT_EQ(utf8(*d.counterparty), c.counterparty);
      }
    }
  }
}

// The balance line counts in the first group only; the texts are cut to their fields.
TEST(LokoLines, ALaterGroupsBalanceIsNotReadAndTextsAreCutToTheirFields) {
  import::loko::Group g;
  const std::string purpose = std::string(49, 'p') + "XY", payer = std::string(159, 'n') + "XY";
  const std::string lines[] = {"10000.50", "1", "01-03-2024", "5", purpose, payer, "payee"};
  for (int i = 0; i < import::loko::kLines; ++i) g.take(i, lines[i], false);
  EXPECT_EQ(g.balance(), 0);
  const import::Document d = g.document();
  EXPECT_EQ(d.purpose, std::string(49, 'p') + "X");
  EXPECT_EQ(*d.counterparty, std::string(159, 'n') + "X");
}

class LokoImport : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    openFiles();
  }
  import::ImportResult run(const std::string& bytes) { return import::runLoko(write("vypiska.txt", bytes), accounts, progress()); }
};

TEST_F(LokoImport, TwoGroupsBecomeTwoPostingsWithTheirRowsAndTheFirstBalance) {
  LokoDoc first{"10000.50", "101", "31-12-2005", "1500.00", "Оплата по договору 5", "ООО Ромашка", "ООО Мы"};
  LokoDoc second{"8500.00", "102", "02-01-2006", "-250.5", "Возврат займа", "ООО Мы", "ЗАО Василёк"};
  const auto r = run(lokoStatement({first, second}));

  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(utf8(r.message), "Задание выполнено");
  EXPECT_EQ(r.count, 2);
  EXPECT_FALSE(r.failure);
  EXPECT_EQ(reports, (std::vector<std::int16_t>{1, 2}));

  const auto p = postings();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].STATUS.str(), "0");
  EXPECT_EQ(p[0].DT_SCHET.str(), kBank10);
  EXPECT_TRUE(p[0].KT_SCHET.blank());
  EXPECT_EQ(p[0].SUMMA.get(), 1500);
  EXPECT_EQ(p[0].VSUMMA.get(), 1500);
  EXPECT_EQ(p[0].NNOPER.get(), 1);
  EXPECT_EQ(p[0].NNDOC.str(), "101");
  EXPECT_EQ(p[0].DATAOPER.day(), day(2005, 12, 31));
  EXPECT_EQ(utf8(p[0].NAMEOPER.view()), "Оплата по договору 5");
  EXPECT_EQ(p[0].USER_DATE.day(), date::today());
  EXPECT_EQ(p[0].CRC.get(), 123);
  EXPECT_EQ(p[1].STATUS.str(), "1");
  EXPECT_TRUE(p[1].DT_SCHET.blank());
  EXPECT_EQ(p[1].KT_SCHET.str(), kBank10);
  EXPECT_EQ(p[1].SUMMA.get(), 250.5);
  EXPECT_EQ(p[1].NNOPER.get(), 2);

  const auto rw = rows();
  ASSERT_EQ(rw.size(), 2u);
  EXPECT_EQ(rw[0].KOD.get(), 1);
  EXPECT_EQ(utf8(rw[0].NAME.view()), "ООО Ромашка");  // the payer: money received
  EXPECT_EQ(rw[1].KOD.get(), 2);
  EXPECT_EQ(utf8(rw[1].NAME.view()), "ЗАО Василёк");  // the payee: money paid

  const auto b = balances();
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].OST.get(), 10000.5);
  EXPECT_EQ(b[0].DATA.get(), day(2005, 12, 31));

  EXPECT_EQ(outsideRead("NNOPER,NNDOC,DATAOPER,STATUS,DT_SCHET,KT_SCHET,SUMMA,NAMEOPER,VALUTA,VCURS,CRC,ID_ST"),
            "1|101|2005-12-31|0|5101234567||1500.0|Оплата по договору 5|РУБ|1.0|123|1\n"
            "2|102|2006-01-02|1||5101234567|250.5|Возврат займа|РУБ|1.0|123|1\n");
}

// One group, its lines changed one at a time.
TEST_F(LokoImport, EachLineOfAGroupIsConvertedByItsRule) {
  struct Case {
    const char* what;
    LokoDoc doc;
    double summa;
    const char* status;
    std::int32_t dataoper, lvoData;
    const char* nndoc;
  } cases[] = {
      {"decimal comma", doc("1234,56"), 1234, "0", day(2005, 12, 31), day(2005, 12, 31), "17"},
      {"blank in the digits", doc("1 234.56"), 1, "0", day(2005, 12, 31), day(2005, 12, 31), "17"},
      {"exponent", doc("-1.5e3"), 1500, "1", day(2005, 12, 31), day(2005, 12, 31), "17"},
      {"no number", doc("нет"), 0, "", day(2005, 12, 31), day(2005, 12, 31), "17"},
      {"zero", doc("0.00"), 0, "", day(2005, 12, 31), day(2005, 12, 31), "17"},
      {"date past the month's end", doc("1", "17", "31-02-2005"), 1, "0", day(2005, 3, 3), day(2005, 3, 3), "17"},
      {"no digit in the date", doc("1", "17", "нет"), 1, "0", 0, 0, "17"},
      {"month 0", doc("1", "17", "15-00-2005"), 1, "0", 0, -1, "17"},
      {"number cut to 6", doc("1", "1234567"), 1, "0", day(2005, 12, 31), day(2005, 12, 31), "123456"},
      {"number after a TAB", doc("1", "\t17"), 1, "0", day(2005, 12, 31), day(2005, 12, 31), ""},
      {"leading blanks count", doc("1", "   12345"), 1, "0", day(2005, 12, 31), day(2005, 12, 31), "   123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(run(lokoStatement({c.doc})).outcome, Outcome::Done);
    const auto p = postings();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].SUMMA.get(), c.summa);
    EXPECT_EQ(p[0].STATUS.str(), c.status);
    EXPECT_EQ(p[0].DATAOPER.day(), c.dataoper);
    EXPECT_EQ(p[0].NNDOC.view(), Text<6>(c.nndoc).view());
    EXPECT_EQ(balances().at(0).DATA.get(), c.lvoData);
  }
}

TEST_F(LokoImport, AGroupWithoutDirectionHasNoRowAndCarriesTheNumberOfTheRowBefore) {
  struct Case {
    std::vector<LokoDoc> docs;
    std::vector<double> nnoper;
    std::size_t rows;
  } cases[] = {
      {{doc("100"), doc("0"), doc("-5")}, {1, 1, 2}, 2},
      {{doc("0"), doc("100")}, {0, 1}, 1},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(run(lokoStatement(c.docs)).count, static_cast<std::int16_t>(c.docs.size()));
    std::vector<double> nnoper;
    for (const auto& p : postings()) nnoper.push_back(p.NNOPER.get());
    EXPECT_EQ(nnoper, c.nnoper);
    EXPECT_EQ(rows().size(), c.rows);
    EXPECT_TRUE(postings()[c.docs.size() == 3 ? 1 : 0].DT_SCHET.blank());
  }
}

// What the end of the file leaves of the last group.
TEST_F(LokoImport, OnlyCompleteGroupsArePosted) {
  const std::string two = lokoStatement({doc("100"), doc("-200")});
  struct Case {
    const char* what;
    std::string bytes;
    std::int16_t count;
  } cases[] = {
      {"Ctrl-Z after the last CR LF", two + "\x1a", 2},
      {"no CR LF after the last line", two.substr(0, two.size() - 2), 2},
      {"the blank line an editor leaves", two + "\r\n", 2},
      {"a group of six lines", two + "5\r\n18\r\n01-01-2006\r\n300\r\nPurpose\r\nPayer\r\n", 2},
      {"Ctrl-Z inside the last group", two + "5\r\n17\r\n\x1a" "01-01-2006\r\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = run(c.bytes);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.count, c.count);
    EXPECT_EQ(postings().size(), static_cast<std::size_t>(c.count));
    EXPECT_EQ(rows().size(), 2u);
  }
}

TEST_F(LokoImport, AFirstGroupCutShortWritesNothingAndLeavesTheBalance) {
  previousRun(2);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"LF line ends: one long line", "10000.00\n17\n31-12-2005\n100\nPurpose\nPayer\nPayee\n"},
      {"three lines", "10000.00\r\n17\r\n31-12-2005\r\n"},
      {"empty", ""},
      {"Ctrl-Z first", "\x1a" + lokoGroup(doc("100"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = run(c.bytes);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(utf8(r.message), "Задание выполнено");
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(postings().empty());
    EXPECT_TRUE(rows().empty());
    ASSERT_EQ(balances().size(), 1u);
    EXPECT_EQ(balances()[0].OST.get(), 777);
    EXPECT_EQ(balances()[0].DATA.get(), 7);
  }
}

TEST_F(LokoImport, ASecondStatementReplacesTheFirstAndNumbersItsRowsFromOne) {
  ASSERT_EQ(run(lokoStatement({doc("1"), doc("2"), doc("3")})).count, 3);
  LokoDoc next = doc("-40");
  next.balance = "55.5";
  next.date = "01-02-2006";
  ASSERT_EQ(run(lokoStatement({next})).count, 1);
  const auto p = postings();
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].SUMMA.get(), 40);
  EXPECT_EQ(p[0].NNOPER.get(), 1);
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(rows()[0].KOD.get(), 1);
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 55.5);
  EXPECT_EQ(balances()[0].DATA.get(), day(2006, 2, 1));
}

// The statement is opened before anything is written: when it does not open, the
// previous run's postings, rows and balance stay.
TEST_F(LokoImport, AStatementThatDoesNotOpenTouchesNothing) {
  previousRun(2);
  const std::string held = write("held.txt", lokoStatement({doc("1")}));
  storage::TypedFile<VixRecord<kLokoLine>> other(LOKO_VIX_DECL);
  other.setNameSource([&] { return held; });
  ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);  // another program writes it
  std::filesystem::create_directory(dir / "folder.txt");
  // Only a regular file is a statement: a FIFO would block the open, a device would
  // read for ever.
  ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir / "zero.txt");
  for (const std::string& path :
       {std::string(), dir / "missing.txt", dir / "folder.txt", held, dir / "fifo.txt", dir / "zero.txt"}) {
    SCOPED_TRACE(path);
    const auto r = import::runLoko(path, accounts, progress());
    EXPECT_EQ(r.outcome, Outcome::NoInput);
    EXPECT_EQ(utf8(r.message), "Не найден входной файл");
    EXPECT_FALSE(r.count);  // the counter keeps the previous run's value
    EXPECT_EQ(postings().size(), 2u);
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(balances().at(0).OST.get(), 777);
  }
  EXPECT_TRUE(reports.empty());
}

TEST_F(LokoImport, AReadOnlyStatementAndALongNameAreImported) {
  // The whole name is opened, never a file named by its first 60 characters.
  const std::string folder = dir / std::string(70, 'd');
  std::filesystem::create_directory(folder);
  const std::string longName = folder + "/vypiska.txt";
  ASSERT_GT(longName.size(), 60u);
  std::ofstream(longName, std::ios::binary) << lokoStatement({doc("1"), doc("2")});
  std::ofstream(longName.substr(0, 60), std::ios::binary) << lokoStatement({doc("1")});
  ASSERT_EQ(::chmod(longName.c_str(), 0444), 0);
  const auto r = import::runLoko(longName, accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 2);
}

// A run that cannot finish does not start: a file it writes that is not open for
// writing ends the run with that file's message before anything is deleted.
TEST_F(LokoImport, AFileNotOpenForWritingEndsTheRunBeforeItEmptiesAnything) {
  struct Case {
    storage::File& readOnly;
    std::uint16_t message;
    std::string file;
  } cases[] = {
      {DBI(), fw::msg::kDeleteFailed, dir / "dbi.dbf"},
      {PRT(), fw::msg::kDeleteFailed, dir / "prt.dat"},
      {LVO(), fw::msg::kPutFailed, dir / "lvo.dat"},
  };
  const std::string statement = lokoStatement({doc("100"), doc("200")});
  previousRun(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(c.readOnly.close(), 0);
    ASSERT_EQ(c.readOnly.open(storage::mode::kRead | storage::mode::kDenyNone), 0);
    reports.clear();
    const auto r = run(statement);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_TRUE(r.message.empty());
    ASSERT_TRUE(r.failure);
    EXPECT_EQ(r.failure->message, c.message);
    EXPECT_EQ(r.failure->file, c.file);
    EXPECT_EQ(r.failure->error.code, storage::kAccessDenied);
    EXPECT_FALSE(r.count);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(postings().size(), 1u);
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(balances().at(0).OST.get(), 777);
    ASSERT_EQ(c.readOnly.close(), 0);
    ASSERT_EQ(c.readOnly.open(), 0);
  }
}

// A damaged row of PRT or a damaged balance record met by the run's reading: notice
// 30, the rebuild (which drops the record and says so) and the read again; the run
// then goes to its end, and the next run meets no damage.
TEST_F(LokoImport, ADamagedRecordMetByTheRunIsRebuiltAndTheRunGoesOn) {
  struct Case {
    std::string name;
    std::size_t recordSize;
    fw::RelationManager* relate;
  } cases[] = {{"prt.dat", sizeof(PrtRecord), Relate::PRT}, {"lvo.dat", sizeof(LvoRecord), Relate::LVO}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(run(lokoStatement({})).outcome, Outcome::Done);
    ASSERT_FALSE(import::emptyFile(LVO()));
    previousRun(2);
    c.relate->Close();  // opened again on the damaged file
    damageStatus(c.name, c.recordSize, 1);
    ASSERT_EQ(c.relate->Open(), 0);
    boxes.clear();
    for (const auto& [amount, summa] : {std::pair<const char*, double>{"100", 100}, {"-250", 250}}) {
      SCOPED_TRACE(amount);
      const auto r = run(lokoStatement({doc(amount)}));
      EXPECT_EQ(r.outcome, Outcome::Done);
      EXPECT_FALSE(r.failure);
      EXPECT_EQ(r.count, 1);
      ASSERT_EQ(postings().size(), 1u);
      EXPECT_EQ(postings()[0].SUMMA.get(), summa);
      EXPECT_EQ(rows().size(), 1u);
      ASSERT_EQ(balances().size(), 1u);
      EXPECT_EQ(balances()[0].OST.get(), 10000);
      // Only the first run met the damage.
      EXPECT_EQ(boxCaptions(), (std::vector<std::string>{"Неверный ключ", "Файл восстановлен"}));
    }
  }
}

// Another program's flock() on the files (a backup tool, an indexer) holds nothing up.
TEST_F(LokoImport, AnotherProgramsFlockOnTheFilesHoldsNothingUp) {
  const std::string statement = write("vypiska.txt", lokoStatement({doc("1")}));
  std::vector<int> held;
  for (const std::string& f : {statement, dir / "dbi.dbf", dir / "prt.dat", dir / "lvo.dat"}) {
    held.push_back(::open(f.c_str(), O_RDONLY));
    ASSERT_EQ(::flock(held.back(), LOCK_EX), 0) << f;
  }
  for (storage::File* f : {static_cast<storage::File*>(&DBI()), static_cast<storage::File*>(&PRT())}) {
    ASSERT_EQ(f->close(), 0);
    ASSERT_EQ(f->open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
  }
  const auto r = import::runLoko(statement, accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 1);
  for (int fd : held) ::close(fd);
}

TEST_F(LokoImport, AnotherStationWaitsForTheWholeRun) {
  storage::TypedFile<PrtRecord> other(PRT_DECL);
  other.setNameSource([this] { return dir / "prt.dat"; });
  ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
  ASSERT_EQ(other.send("RECOVER=0"), 0);  // no waiting for the lock
  std::vector<int> during;
  const auto r = import::runLoko(write("vypiska.txt", lokoStatement({doc("1"), doc("2")})), accounts, [&](std::int16_t) {
    other.clearBuffer();
    other.rec.KOD = 1000;
    during.push_back(other.add());
  });
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(during, (std::vector<int>{storage::kFileLocked, storage::kFileLocked}));
  other.clearBuffer();
  other.rec.KOD = 1000;
  EXPECT_EQ(other.add(), 0);  // after the run
}

// A run that cannot hold DBI and PRT for its whole length does not start: another
// station holds one of them, the question whether to wait again is answered Cancel,
// and the run ends with message 6 before anything is read or deleted.
TEST_F(LokoImport, ARunWhoseFileAnotherStationHoldsDoesNotStart) {
  struct Case {
    std::string name;
    const storage::FileDecl& decl;
    storage::File& file;
  } cases[] = {{"dbi.dbf", DBI_DECL, DBI()}, {"prt.dat", PRT_DECL, PRT()}};
  previousRun(1);
  const std::string statement = lokoStatement({doc("100"), doc("200")});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LockingStation other(c.decl, dir / c.name);
    ASSERT_TRUE(other.held());
    c.file.send("Recover=1");  // a short wait where the driver keeps one
    boxes.clear();
    reports.clear();
    const auto r = run(statement);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_TRUE(r.message.empty());
    EXPECT_FALSE(r.count);
    EXPECT_TRUE(reports.empty());
    ASSERT_TRUE(r.failure);
    EXPECT_EQ(r.failure->message, fw::msg::kFileAccess);
    EXPECT_EQ(r.failure->file, dir / c.name);
    EXPECT_EQ(r.failure->error.code, storage::kFileLocked);
    EXPECT_EQ(boxCaptions(), std::vector<std::string>{"Файл занят"});
    import::raiseFailure(*r.failure);
    EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Ошибка доступа к файлу");
    EXPECT_EQ(cp::toUtf8(boxes.last().text),
              "Ошибка: (File Is Already Locked (32)) возникла при доступе к файлу " + dir / c.name + ".");
    EXPECT_EQ(other.release(), 0);
    c.file.send("Recover=10");
    EXPECT_EQ(postings().size(), 1u);
    EXPECT_EQ(utf8(postings().at(0).NAMEOPER.view()), "old");
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(balances().at(0).OST.get(), 777);
  }
}

TEST_F(LokoImport, TheExampleStatement) {
  const std::string example = std::string(ZELK_SOURCE_DIR) + "/examples/loko/vypiska.txt";
  const auto r = import::runLoko(example, accounts, progress());
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(r.count, 4);
  EXPECT_EQ(outsideRead("NNOPER,NNDOC,DATAOPER,STATUS,DT_SCHET,KT_SCHET,SUMMA,NAMEOPER"),
            "1|1|2024-03-01|0|5101234567||125000.0|Оплата по счёту 12 от 26.02.2024, НДС 20%\n"
            "2|2|2024-03-04|1||5101234567|48300.5|Аренда офиса за март 2024 г.\n"
            "2|3|2024-03-05||||0.0|Уточнение реквизитов\n"
            "3|4|2024-03-06|1||5101234567|1250.0|Комиссия банка за ведение счёта\n");
  EXPECT_EQ(utf8(rows().at(0).NAME.view()), "ООО \"Ромашка\" ИНН 7701234567");
  EXPECT_EQ(balances().at(0).OST.get(), 350000);
  EXPECT_EQ(balances().at(0).DATA.get(), day(2024, 3, 1));
}

}  // namespace
}  // namespace zelk::test
