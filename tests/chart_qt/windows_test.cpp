// The chart lists and the chart form drawn by the screen: the real procedures on the
// GUI thread while a timer plays the person. Every text must fit its control. With
// ZELK_SCREENSHOT_DIR set each window is also saved as a PNG. A credit look-up left
// open on its thread closes at the program's end, the screen pumping meanwhile.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <string>

#include "app/startup.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "review/chart.h"
#include "support/program.h"
#include "support/screen_steps.h"

namespace zelk::test {
namespace {

constexpr const char* kListTitle = "Фрагмент плана счетов для корреспонденции с расчетным счетом";

class ChartWindows : public ProgramTest {
 protected:
  static void SetUpTestSuite() { TestScreen::start(); }
  static void TearDownTestSuite() { TestScreen::stop(); }
  void SetUp() override {
    ProgramTest::SetUp();
    dict::P_PLN = dir / "pln.dat";
    dict::FIR = 12;
    dict::N_FIR_A = ansi("ООО \"Техноснаб-Поволжье\"");
    dict::NAME_P.clear();
    addAccounts();
  }
  void addAccounts() {
    storage::TypedFile<dict::PlnRecord> f{dict::PLN_DECL};
    f.setNameSource([this] { return dir / "pln.dat"; });
    dict::Relate::PLN->Open();  // creates the file
    ASSERT_EQ(f.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    struct Row {
      const char *nomer, *name;
    } rows[] = {
        {"50", "Касса"},
        {"51", "Расчетный счет в АО \"Локо-Банк\""},
        {"52", "Валютный счет"},
        {"60.1", "Расчеты с поставщиками и подрядчиками"},
        {"62.1", "Расчеты с покупателями и заказчиками"},
        {"68.02", "Налог на добавленную стоимость"},
        {"70", "Расчеты с персоналом по оплате труда"},
        {"71.1", "Расчеты с подотчетными лицами (хозяйственные расходы)"},
        {"76.5", "Расчеты с разными дебиторами и кредиторами"},
        {"91.2", "Прочие расходы: услуги банка (комиссия за ведение счета)"},
    };
    std::int16_t kod = 0;
    for (const Row& r : rows) {
      f.clearBuffer();
      f.rec.KOD = ++kod;
      f.rec.NOMER = ansi(r.nomer);
      f.rec.NAME = ansi(r.name);
      f.rec.FIR = 12;
      ASSERT_EQ(f.add(), 0);
    }
    f.close();
    dict::Relate::PLN->Close();
  }
  static int item(ui::Window& w, const char* name) { return w.number(ansi(name)); }
};

TEST_F(ChartWindows, TheListsAndTheFormShowEveryTextWhole) {
  playSteps({
      {kListTitle, [&](ui::Window* w, QWidget*) { w->userSelectRow(item(*w, "?BROWSE:1"), 4); }},
      {kListTitle,
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "chart-list");
         w->userType(item(*w, "?NAME_P"), ansi("асчеты с"));
         w->userAccept(item(*w, "?NAME_P"));
         w->userAccept(item(*w, "?BUTTON8"));
       }},
      {kListTitle,
       [&](ui::Window* w, QWidget* v) {
         EXPECT_EQ(w->rowCount(item(*w, "?BROWSE:1")), 5);
         lookAt(v, "chart-list-search");
         w->userAccept(item(*w, "?INSERT:4"));
       }},
      {"Добавить ???",
       [&](ui::Window* w, QWidget*) {
         w->userType(item(*w, "?PLN:NOMER"), "76.9");
         w->userAccept(item(*w, "?PLN:NOMER"));
       }},
      {"Добавить ???",
       [&](ui::Window* w, QWidget*) {
         w->userType(item(*w, "?PLN:NAME"), ansi("Расчеты с прочими дебиторами"));
         w->userAccept(item(*w, "?PLN:NAME"));
       }},
      {"Добавить ???",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "chart-form");
         w->userAccept(item(*w, "?CANCEL"));
       }},
      {kListTitle, [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?VIEW:3")); }},
      {"Счет по плану  счетов",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "chart-form-view");
         w->userAccept(item(*w, "?CANCEL"));
       }},
      {kListTitle, [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CLOSE")); }},
  }, review::PLN_TAB);
  // The credit look-up opens with the fragment kept.
  playSteps({
      {kListTitle,
       [&](ui::Window* w, QWidget* v) {
         EXPECT_EQ(w->rowCount(item(*w, "?BROWSE:1")), 5);
         lookAt(v, "chart-list-credit");
         w->userAccept(item(*w, "?CLOSE"));
       }},
  }, review::PLN_TAB1);
}

TEST_F(ChartWindows, ALookupLeftOpenOnItsThreadClosesAtTheProgramsEnd) {
  app::START(review::PLN_TAB1, review::kChartLookupStack);
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 10000 && ui::allWindows().empty()) TestScreen::get().processEvents(10);
  ASSERT_EQ(ui::allWindows().size(), 1u);
  TestScreen::get().processEvents(300);  // drawn
  ASSERT_EQ(app::startedThreads(), 1);
  EXPECT_TRUE(app::endStartedThreads([] { TestScreen::get().processEvents(10); }, std::chrono::seconds(10)));
  EXPECT_TRUE(ui::allWindows().empty());
}

}  // namespace
}  // namespace zelk::test
