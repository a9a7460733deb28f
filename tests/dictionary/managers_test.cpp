// The file and relation managers on the dictionary's real files: open counting,
// creation, rebuild, the read-only fall-back, the fatal stops, auto-numbering.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/startup.h"
#include "platform/core/codepage.h"
#include "platform/storage/dbase/dbase.h"
#include "support/program.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
namespace fs = std::filesystem;

class ManagersTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    P_PRT = dir / "prt.dat";
    P_PLN = dir / "pln.dat";
    P_LVO = dir / "lvo.dat";
    P_DBI = dir / "dbi.dbf";
  }

  // The captions of the boxes shown, in UTF-8.
  std::vector<std::string> captions() const {
    std::vector<std::string> r;
    for (const fw::Box& b : boxes.boxes()) r.push_back(cp::toUtf8(b.caption));
    return r;
  }

  // Adds a firm with the given code straight through the file.
  void addFirm(int code, std::string_view name) {
    F_NAME().clearBuffer();
    F_NAME().rec.KOD = static_cast<std::int16_t>(code);
    F_NAME().rec.NAME = ansi(name);
    ASSERT_EQ(F_NAME().add(), 0);
  }
};

TEST_F(ManagersTest, MissingDataFileIsCreatedWithItsKeyFilesWithoutAMessage) {
  ASSERT_EQ(Relate::PRT->Open(), 0);
  EXPECT_TRUE(PRT().isOpen());
  EXPECT_TRUE(fs::exists(dir / "prt.dat"));
  EXPECT_TRUE(fs::exists(dir / "prt.K01"));
  ASSERT_EQ(Relate::PLN->Open(), 0);
  EXPECT_TRUE(fs::exists(dir / "pln.K01"));
  EXPECT_TRUE(fs::exists(dir / "pln.K02"));
  ASSERT_EQ(Relate::F_NAME->Open(), 0);
  EXPECT_TRUE(fs::exists(dir / "F_NAME.DAT"));
  EXPECT_TRUE(fs::exists(dir / "F_NAME.K01"));
  EXPECT_EQ(boxes.count(), 0u);
  // The keys are registered at first use, with their descriptions.
  ASSERT_EQ(Access::PLN->keys().size(), 2u);
  EXPECT_EQ(Access::PLN->keys()[0].description, "PLN:key_1");
  EXPECT_TRUE(Access::PLN->keys()[0].autoInc);
  EXPECT_EQ(Access::PLN->keys()[1].description, "PLN:key_2");
  EXPECT_FALSE(Access::PLN->keys()[1].autoInc);
  EXPECT_EQ(Access::F_NAME->keys()[0].description, "FNm:key_1");
}

// A firm list found damaged, at its open (the last record cut short) or while it is
// read (a firm's code changed behind its key): notice 30, the rebuild, and a notice
// of what it could not keep; the intact firms stay.
TEST_F(ManagersTest, ADamagedFirmListIsRebuiltAtOpenAndWhileReading) {
  const std::size_t slot = 1 + sizeof(FnmRecord);
  auto makeList = [&] {
    ASSERT_EQ(Relate::F_NAME->Open(), 0);
    addFirm(1, "Первая");
    addFirm(2, "Вторая");
    addFirm(3, "Третья");
    Relate::F_NAME->Close();
    boxes.clear();
  };
  auto codes = [&] {
    std::vector<int> r;
    F_NAME().set(fnm::KEY_1);
    while (Access::F_NAME->TryNext() == 0) r.push_back(F_NAME().rec.KOD.get());
    return r;
  };
  makeList();
  fs::resize_file(dir / "F_NAME.DAT", fs::file_size(dir / "F_NAME.DAT") - 1);
  ASSERT_EQ(Relate::F_NAME->Open(), 0);
  EXPECT_EQ(captions(), (std::vector<std::string>{"Неверный ключ", "Файл восстановлен"}));
  EXPECT_EQ(codes(), (std::vector<int>{1, 2}));
  Relate::F_NAME->Close();

  fs::remove(dir / "F_NAME.DAT");
  makeList();
  {
    std::fstream f(dir / "F_NAME.DAT", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(1024 + slot + 1));  // the second firm's code
    f.put(9);
  }
  ASSERT_EQ(Relate::F_NAME->Open(), 0);
  EXPECT_EQ(boxes.count(), 0u);
  EXPECT_EQ(codes(), (std::vector<int>{1, 3, 9}));
  EXPECT_EQ(captions(), (std::vector<std::string>{"Неверный ключ"}));
  Relate::F_NAME->Close();
}

TEST_F(ManagersTest, OpensAreCountedPerThreadAndTheLastCloseCloses) {
  Relate::PRT->Open();  // the postings list
  Relate::PRT->Open();  // the posting form under it: counts only
  EXPECT_EQ(Access::PRT->openCount(), 2);
  Relate::PRT->Close();
  EXPECT_TRUE(PRT().isOpen());
  Relate::PRT->Close();
  EXPECT_FALSE(PRT().isOpen());
  Relate::PRT->Close();  // more closes than opens do nothing
  EXPECT_EQ(Access::PRT->openCount(), 0);
}

TEST_F(ManagersTest, AFirmChosenWhileTheFileIsOpenTakesEffectAtTheNextOpen) {
  fs::create_directory(dir.path() / "other");
  Relate::PRT->Open();
  P_PRT = dir / "other/prt.dat";
  PRT().clearBuffer();
  PRT().rec.KOD = 7;
  ASSERT_EQ(PRT().add(), 0);
  EXPECT_FALSE(fs::exists(dir / "other/prt.dat"));
  Relate::PRT->Close();
  Relate::PRT->Open();
  EXPECT_TRUE(fs::exists(dir / "other/prt.dat"));
  EXPECT_EQ(PRT().records(), 0u);
  Relate::PRT->Close();
}

TEST_F(ManagersTest, AMissingKeyFileIsRebuiltAfterNotice30) {
  Relate::PLN->Open();
  PLN().clearBuffer();
  PLN().rec.KOD = 1;
  PLN().rec.NOMER = "51";
  PLN().add();
  Relate::PLN->Close();
  fs::remove(dir / "pln.K02");

  Relate::PLN->Open();
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Неверный ключ");
  EXPECT_EQ(cp::toUtf8(boxes.last().text), "Файл " + (dir / "pln.dat") + " - ключ испорчен. Ключ необходимо перестроить.");
  EXPECT_TRUE(PLN().isOpen());
  EXPECT_TRUE(fs::exists(dir / "pln.K02"));
  PLN().rec.NOMER = "51";
  EXPECT_EQ(PLN().get(pln::KEY_2), 0);
  Relate::PLN->Close();
}

TEST_F(ManagersTest, AFileOthersDenyWritingIsOpenedReadOnlyAfterNotice2AndStaysSo) {
  // Another program holds dbi.dbf open and denies writing.
  ASSERT_EQ(storage::dbase::driver().create(DBI_DECL, dir / "dbi.dbf").code, 0);
  storage::TypedFile<DbiRecord> other(DBI_DECL);
  other.setNameSource([&] { return dir / "dbi.dbf"; });
  ASSERT_EQ(other.open(storage::mode::kRead | storage::mode::kDenyWrite), 0);

  Relate::DBI->Open();
  EXPECT_TRUE(DBI().isOpen());
  EXPECT_EQ(DBI().openMode(), storage::mode::kDenyNone);
  ASSERT_EQ(captions(), std::vector<std::string>{"Доступ запрещен"});
  EXPECT_EQ(cp::toUtf8(boxes.last().text),
            "Невозможно производить запись в файл " + (dir / "dbi.dbf") + " поэтому осуществляется только чтение.");
  Relate::DBI->Close();
  other.close();

  // The reduced mode stays with the thread's manager: no second notice.
  Relate::DBI->Open();
  EXPECT_EQ(DBI().openMode(), storage::mode::kDenyNone);
  EXPECT_EQ(boxes.count(), 1u);
  Relate::DBI->Close();
}

TEST_F(ManagersTest, FirstFirmGetsCodeOneAndTheNextNumberIsTheHighestPlusOne) {
  Relate::F_NAME->Open();
  ASSERT_EQ(Access::F_NAME->PrimeRecord(), 0);
  EXPECT_EQ(F_NAME().rec.KOD, 1);
  Access::F_NAME->CancelAutoInc();
  EXPECT_EQ(F_NAME().records(), 0u);

  addFirm(1, "Альфа");
  addFirm(2, "Бета");
  addFirm(5, "Гамма");
  ASSERT_EQ(Access::F_NAME->PrimeRecord(), 0);
  EXPECT_EQ(F_NAME().rec.KOD, 6);
  EXPECT_TRUE(Access::F_NAME->autoIncDone());
  EXPECT_EQ(F_NAME().records(), 4u);  // the number is reserved by a record

  // An abandoned insert leaves nothing behind, and its number is given out again.
  ASSERT_EQ(Relate::F_NAME->CancelAutoInc(), 0);
  EXPECT_EQ(F_NAME().records(), 3u);
  ASSERT_EQ(Access::F_NAME->PrimeRecord(), 0);
  EXPECT_EQ(F_NAME().rec.KOD, 6);

  // The form's insert rewrites the reserving record with its values.
  F_NAME().rec.NAME = ansi("Дельта");
  ASSERT_EQ(Access::F_NAME->Insert(), 0);
  EXPECT_EQ(F_NAME().records(), 4u);
  F_NAME().clearBuffer();
  F_NAME().rec.KOD = 6;
  ASSERT_EQ(F_NAME().get(fnm::KEY_1), 0);
  EXPECT_EQ(cp::toUtf8(F_NAME().rec.NAME.str()), "Дельта");
  Relate::F_NAME->Close();
}

TEST_F(ManagersTest, ADuplicateKeyShowsMessage15WithTheKeyDescription) {
  Relate::F_NAME->Open();
  addFirm(3, "Альфа");
  F_NAME().clearBuffer();
  F_NAME().rec.KOD = 3;
  EXPECT_EQ(Access::F_NAME->Insert(), fw::kNotify);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Ошибка дублирования в ключе");
  EXPECT_EQ(cp::toUtf8(boxes.last().text), "Добавление этой записи создает дублирование для ключа: FNm:key_1");
  Relate::F_NAME->Close();
}

TEST_F(ManagersTest, NumberingStopsAt32767WithQuestion35InsteadOfWrapping) {
  Relate::PRT->Open();
  PRT().clearBuffer();
  PRT().rec.KOD = 32767;
  ASSERT_EQ(PRT().add(), 0);
  boxes.answer(fw::kButtonNo);
  EXPECT_EQ(Access::PRT->PrimeRecord(), fw::kNotify);
  ASSERT_EQ(captions(), std::vector<std::string>{"Ошибка автоматического увеличения"});
  EXPECT_EQ(PRT().records(), 1u);
  // Yes gives three more tries before asking again.
  boxes.clear();
  boxes.answer({fw::kButtonYes, fw::kButtonNo});
  EXPECT_EQ(Access::PRT->PrimeRecord(), fw::kNotify);
  EXPECT_EQ(boxes.count(), 2u);
  Relate::PRT->Close();
}

TEST_F(ManagersTest, TwoThreadsNeverHandOutOneNumberTwice) {
  Relate::PLN->Open();
  std::vector<int> mine, theirs;
  std::thread other([&] {
    app::threadStart();
    DCTINIT();
    Relate::PLN->Open();
    for (int i = 0; i < 200; ++i)
      if (Access::PLN->PrimeRecord() == 0) theirs.push_back(PLN().rec.KOD);
    Relate::PLN->Close();
    app::threadEnd();
  });
  for (int i = 0; i < 200; ++i)
    if (Access::PLN->PrimeRecord() == 0) mine.push_back(PLN().rec.KOD);
  other.join();
  ASSERT_EQ(mine.size(), 200u);
  ASSERT_EQ(theirs.size(), 200u);
  std::vector<int> all = mine;
  all.insert(all.end(), theirs.begin(), theirs.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(all.back(), 400);
  EXPECT_EQ(PLN().records(), 400u);
  Relate::PLN->Close();
}

TEST_F(ManagersTest, AThreadEndingWithAFileOpenClosesIt) {
  std::thread t([&] {
    app::threadStart();
    DCTINIT();
    Relate::LVO->Open();
    EXPECT_TRUE(LVO().isOpen());
    EXPECT_NE(Relate::LVO, nullptr);
    app::threadEnd();  // the dictionary's removal closes what is still open
    EXPECT_EQ(Relate::LVO, nullptr);
    EXPECT_FALSE(haveFileInstances());
  });
  t.join();
  // The main thread's managers were not disturbed.
  EXPECT_NE(Relate::LVO, nullptr);
  EXPECT_EQ(Access::LVO->openCount(), 0);
}

// A file without a name variable is named in messages by its declaration once its
// first use has set it up.
TEST_F(ManagersTest, AFileWithAFixedNameIsNamedAsDeclared) {
  const std::pair<fw::FileManager*, const char*> cases[] = {
      {Access::F_NAME, "F_NAME"}, {Access::PARTNER, "PARTNER"}, {Access::ANALIT, "ANALIT"}};
  for (const auto& [manager, name] : cases) {
    ASSERT_EQ(manager->UseFile(fw::kUseSetup), fw::kLevelOk) << name;
    EXPECT_EQ(manager->GetName(), name);
  }
}

// The fatal stops end the program with exit code 0 after their two boxes.
using ManagersDeathTest = ManagersTest;

TEST_F(ManagersDeathTest, AMissingDbaseTableEndsTheProgramWithMessage26) {
  boxes.setEcho(true);
  EXPECT_EXIT(Relate::DBI->Open(), ::testing::ExitedWithCode(0),
              "Ошибка доступа к файлу\nФайл .*/dbi.dbf не может быть открыт.  Ошибка: File Not Found \\(2\\).  Press OK "
              "to end this application\n\\*\\*\\* Halt\nОшибка доступа к файлу");
}

TEST_F(ManagersDeathTest, AFileThatCannotBeCreatedEndsTheProgramWithMessage12) {
  boxes.setEcho(true);
  P_PRT = dir / "no-such-folder/prt.dat";
  EXPECT_EXIT(Relate::PRT->Open(), ::testing::ExitedWithCode(0),
              "Ошибка создания файла\nОшибка: \\(.*\\) создания .*no-such-folder/prt.dat\\.  Press OK");
}

// A link whose target is missing (the server's share not mounted) is never replaced
// by a new empty file: the file is missing, and the program says so.
TEST_F(ManagersDeathTest, ALinkToAMissingFileIsReportedAndLeftAsItWas) {
  boxes.setEcho(true);
  fs::create_symlink(dir / "share/F_NAME.DAT", dir / "F_NAME.DAT");
  EXPECT_EXIT(Relate::F_NAME->Open(), ::testing::ExitedWithCode(0),
              "Ошибка создания файла\nОшибка: \\(File Not Found \\(2\\)\\) создания F_NAME");
  EXPECT_TRUE(fs::is_symlink(dir / "F_NAME.DAT"));
  EXPECT_FALSE(fs::exists(dir / "share"));
}

TEST_F(ManagersDeathTest, UsingAFileNotOpenedOnTheThreadEndsTheProgramWithMessage42) {
  boxes.setEcho(true);
  EXPECT_EXIT(Access::PRT->Insert(), ::testing::ExitedWithCode(0),
              "Ошибка использования файла\nПопытка работы с файлом \\(.*prt.dat\\) до его открытия");
}

TEST_F(ManagersDeathTest, AGarbageDataFileEndsTheProgramWithMessage26AndIsLeftAsItWas) {
  boxes.setEcho(true);
  {
    std::ofstream f(dir / "lvo.dat", std::ios::binary);
    f << "this is not a data file at all";
  }
  EXPECT_EXIT(Relate::LVO->Open(), ::testing::ExitedWithCode(0), "Файл .*lvo.dat не может быть открыт");
  std::ifstream f(dir / "lvo.dat", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(f)), {});
  EXPECT_EQ(content, "this is not a data file at all");
}

}  // namespace
}  // namespace zelk::test

namespace zelk::test {
namespace {

// Files copied from Windows keep their letter case; the names the firm choice
// builds have backslashes and small letters.
TEST_F(ManagersTest, FilesCopiedFromWindowsOpenUnderTheNamesTheProgramBuilds) {
  fs::create_directories(dir.path() / "FIRM1");
  ASSERT_EQ(storage::dbase::driver().create(DBI_DECL, dir / "FIRM1/DBI.DBF").code, 0);
  P_PLN = dir / "FIRM1/PLN.DAT";
  Relate::PLN->Open();
  PLN().clearBuffer();
  PLN().rec.KOD = 1;
  PLN().rec.NOMER = "51";
  ASSERT_EQ(PLN().add(), 0);
  Relate::PLN->Close();
  fs::rename(dir.path() / "FIRM1/PLN.K01", dir.path() / "FIRM1/pln.k01");

  P_DBI = dir.path().string() + "\\firm1\\dbi.dbf";
  P_PLN = dir.path().string() + "\\firm1\\pln.dat";
  Relate::DBI->Open();
  Relate::PLN->Open();
  EXPECT_TRUE(DBI().isOpen());
  EXPECT_EQ(PLN().records(), 1u);
  PLN().rec.KOD = 1;
  EXPECT_EQ(PLN().get(pln::KEY_1), 0);
  EXPECT_EQ(boxes.count(), 0u);  // no key rebuilt, nothing created
  EXPECT_FALSE(fs::exists(dir.path() / "FIRM1/pln.dat"));
  Relate::PLN->Close();
  Relate::DBI->Close();
}

}  // namespace
}  // namespace zelk::test

namespace zelk::test {
namespace {

TEST_F(ManagersDeathTest, AFileDeniedAlsoForReadingEndsTheProgramWithMessage26AfterNotice2) {
  boxes.setEcho(true);
  ASSERT_EQ(storage::dbase::driver().create(DBI_DECL, dir / "dbi.dbf").code, 0);
  storage::TypedFile<DbiRecord> other(DBI_DECL);
  other.setNameSource([&] { return dir / "dbi.dbf"; });
  ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyAll), 0);
  EXPECT_EXIT(Relate::DBI->Open(), ::testing::ExitedWithCode(0),
              "Доступ запрещен\n.*\n\\*\\*\\* Ошибка доступа к файлу\nФайл .*dbi.dbf не может быть открыт.  Ошибка: "
              "Access Denied \\(5\\)");
}

TEST_F(ManagersDeathTest, AKeyThatCannotBeRebuiltEndsTheProgramWithMessage29) {
  boxes.setEcho(true);
  Relate::PLN->Open();
  Relate::PLN->Close();
  fs::remove(dir / "pln.K02");
  fs::create_directories(dir.path() / "pln.K02/in-the-way");
  EXPECT_EXIT(Relate::PLN->Open(), ::testing::ExitedWithCode(0),
              "Неверный ключ\n.*\n\\*\\*\\* Ключ не построен\nОшибка: \\(.*\\) восстановления ключа для .*pln.dat\\.");
}

}  // namespace
}  // namespace zelk::test
