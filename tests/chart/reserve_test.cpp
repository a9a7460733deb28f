// The number a chart add reserves with a row of its own: a station killed with the
// form open leaves that row, which the next open for writing removes, and only it;
// a full disk at the reservation is reported with the system's own text.
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

constexpr const char* kInsertTitle = "Добавить ???";

class ReserveTest : public ChartTest {
 protected:
  void TearDown() override {
    if (other.isOpen()) other.close();
    ChartTest::TearDown();
    if (mounted_) umount2(mnt_.path().c_str(), MNT_DETACH);
  }

  // pln.dat on a small file system of its own; false when none can be mounted here.
  bool onSmallFileSystem(std::string& why) {
    if (geteuid() != 0) {
      why = "mounting a file system needs root";
      return false;
    }
    if (mount("tmpfs", mnt_.path().c_str(), "tmpfs", 0, "size=256k") != 0) {
      why = std::string("tmpfs cannot be mounted here: ") + std::strerror(errno);
      return false;
    }
    mounted_ = true;
    dict::P_PLN = mnt_ / "pln.dat";
    other.setNameSource([this] { return mnt_ / "pln.dat"; });
    return true;
  }
  // Fills the file system with a file of its own until it has no room left.
  void fill() {
    std::FILE* f = std::fopen((mnt_ / "filler").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    static const char block[4096] = {};
    while (std::fwrite(block, 1, sizeof block, f) == sizeof block) {
    }
    std::fclose(f);
  }

  TempDir mnt_;
  bool mounted_ = false;
};

TEST_F(ReserveTest, TheRowOfAStationKilledWithTheFormOpenGoesAtTheNextOpenAndOnlyIt) {
  const std::vector<Account> rows{{1, "50", "Касса", 1}, {2, "", "Без номера", 1}, {3, "51", "Банк", 2}};
  for (const Account& a : rows) addAccount(a);
  other.close();

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::fflush(nullptr);
  const pid_t station = fork();
  if (station == 0) {
    // The second station: "&Добавить", and the form stays open until the kill.
    close(ready[0]);
    pressInList(kListTitle, 0, "?INSERT:4");
    on(kInsertTitle, [&](ScriptedUser&, ui::Window&) {
      if (::write(ready[1], "r", 1) != 1) _exit(2);
      for (;;) pause();
    });
    review::PLN_TAB();
    _exit(1);
  }
  close(ready[1]);
  pollfd p{ready[0], POLLIN, 0};
  char c = 0;
  const bool formOpen = poll(&p, 1, 120000) == 1 && read(ready[0], &c, 1) == 1;
  close(ready[0]);
  if (!formOpen) kill(station, SIGKILL);
  ASSERT_TRUE(formOpen);

  // While the station lives, its row stays, whoever opens the file for writing.
  ASSERT_EQ(dict::Relate::PLN->Open(), 0);
  dict::Relate::PLN->Close();
  std::vector<Account> withReserved = rows;
  withReserved.push_back({4, "", "", 0});
  EXPECT_EQ(accountsOnDisk(), withReserved);
  other.close();

  kill(station, SIGKILL);
  int status = 0;
  waitpid(station, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));

  ASSERT_EQ(dict::Relate::PLN->Open(), 0);
  EXPECT_EQ(accountsOnDisk(), rows);
  dict::Relate::PLN->Close();
  EXPECT_EQ(boxCount(), 0u);
}

TEST_F(ReserveTest, AFullDiskAtTheReservationIsReportedWithTheSystemsText) {
  std::string why;
  if (!onSmallFileSystem(why)) GTEST_SKIP() << why;
  addAccount({1, "50", "Касса", 1});
  fill();
  // Rows go in while the last pages of the files have room.
  for (int kod = 2; kod < 1000; ++kod) {
    other.clearBuffer();
    other.rec.KOD = static_cast<std::int16_t>(kod);
    other.rec.NOMER = std::to_string(kod);
    other.rec.FIR = 1;
    if (other.add() != 0) break;
  }
  ASSERT_EQ(storage::lastError().fileCode, ENOSPC);
  const std::vector<Account> before = accountsOnDisk();
  other.close();

  boxes.answer(fw::kButtonNo);  // try again? no
  pressInList(kListTitle, 0, "?INSERT:4");
  pressInList(kListTitle, 0, "?CLOSE");
  run(review::PLN_TAB);
  ASSERT_EQ(boxCaptions(), std::vector<std::string>{"Ошибка автоматического увеличения"});
  EXPECT_EQ(cp::toUtf8(boxes.last().text), std::string("Попытка автоматического нумерования этой записи привела к "
                                                       "ошибке: ") +
                                               std::strerror(ENOSPC) + " (" + std::strerror(ENOSPC) +
                                               "). Попробовать еще раз?");
  EXPECT_EQ(accountsOnDisk(), before);
}

}  // namespace
}  // namespace zelk::test
