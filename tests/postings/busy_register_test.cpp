// The posting form's partner look-up while another station holds the partner register
// locked, on SQLite and PostgreSQL: the list's open waits a bounded time and asks
// "Файл занят"; Cancel goes back to the form as it was, with a message; Retry waits
// again and the list opens once the lock is free.
#include <chrono>

#include "fixture.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/storage/sharelock.h"
#include "support/datasources.h"
#include "support/registerlock.h"

namespace zelk::test {
namespace {

using script::ScriptedUser;

class BusyRegister : public PostingsTest, public ::testing::WithParamInterface<BackendCase> {
 protected:
  void SetUp() override {
    PostingsTest::SetUp();
    if (GetParam().postgres && sources->pgServer.empty()) GTEST_SKIP() << "ZELK_TEST_PG_DSN is not set";
    std::string problem;
    cs = emptySource(GetParam(), problem);
    ASSERT_FALSE(cs.empty()) << problem;
    ASSERT_EQ(storage::odbc::runScript(
                  cs, "INSERT INTO \"PARTNER\" (\"code\", \"SHORTNAME\", \"ORGNAME\") VALUES ('000042', 'Romashka', 'OOO Romashka');")
                  .code,
              0);
    storage::odbc::setBusyWait(std::chrono::milliseconds(200));
    fill([&] {
      addRow(1, "ООО Альфа");
      addPosting({1, "11", 100, "0", "Оплата 1", day(2024, 3, 1), "51", ""});
    });
  }
  void TearDown() override {
    storage::odbc::setBusyWait(std::chrono::seconds(storage::kLockWaitSeconds));
    PostingsTest::TearDown();
  }

  std::string cs;
};

INSTANTIATE_TEST_SUITE_P(Backends, BusyRegister, ::testing::ValuesIn(kBackends), backendName);

TEST_P(BusyRegister, CancelKeepsTheFormAndRetryOpensTheListOnceTheLockIsFree) {
  RegisterLock other(cs, GetParam().postgres);
  ASSERT_TRUE(other.held());
  std::vector<std::string> shown, captions;
  std::vector<std::string> codes;
  on(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?DBI:KT_SCHET", "70");
    u.type(w, "?DBI:DT_CODE", "5");
    u.press(w, "?BUTTON6");  // the question's default answer: Cancel
  });
  on(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    shown = {text(w, "?DBI:KT_SCHET"), text(w, "?DBI:DT_CODE")};
    captions = boxCaptions();
    // Asked again, the user waits on; the other station lets go meanwhile.
    storage::setLockBusyQuestion([&](const std::string& file) {
      other.release();
      return fw::askToWaitForBusyFile(file);
    });
    boxes.answer(fw::kButtonRetry);
    u.press(w, "?BUTTON6");
  });
  on("Список партнеров", [&](ScriptedUser& u, ui::Window& w) {
    for (const ui::Window::Row& r : w.rows(w.number("?BROWSE:1"))) codes.push_back(std::string(trimRight(r.at(0))));
    u.press(w, "?SELECT:2");
  });
  on(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    shown.push_back(text(w, "?DBI:DT_CODE"));
    shown.push_back(text(w, "?DBI:KT_SCHET"));
    u.press(w, "?OK");
  });
  openAll();
  dict::DBI().set();
  ASSERT_EQ(dict::DBI().next(), 0);
  dict::GLOBALREQUEST = fw::request::kChange;
  review::UPDATEDBI();
  closeAll();
  storage::setLockBusyQuestion(&fw::askToWaitForBusyFile);

  EXPECT_EQ(dict::GLOBALRESPONSE, fw::response::kCompleted);
  EXPECT_EQ(shown, (std::vector<std::string>{"70", "5", "42", "70"}));
  EXPECT_EQ(captions, (std::vector<std::string>{"Файл занят", "Ошибка доступа к записи"}));
  EXPECT_EQ(boxCaptions(), (std::vector<std::string>{"Файл занят", "Ошибка доступа к записи", "Файл занят"}));
  EXPECT_EQ(codes, std::vector<std::string>{"000042"});
  const auto p = postingsOnDisk();
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].KT_SCHET, "70");
  EXPECT_EQ(p[0].DT_CODE, "000042");
}

}  // namespace
}  // namespace zelk::test
