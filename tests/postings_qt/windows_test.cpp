// The postings list and the posting form drawn by the screen: the real procedures on
// the GUI thread while a timer plays the person. Every text must fit its control.
// With ZELK_SCREENSHOT_DIR set each window is also saved as a PNG.
#include <gtest/gtest.h>

#include <QRect>
#include <QWidget>
#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "review/postings.h"
#include "support/screen_steps.h"
#include "import/loko.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

class PostingsWindows : public ImportTest {
 protected:
  static void SetUpTestSuite() { TestScreen::start(); }
  static void TearDownTestSuite() { TestScreen::stop(); }
  static int item(ui::Window& w, const char* name) { return w.number(ansi(name)); }

  // The example statement imported into the firm's files, left closed.
  void importExample() {
    dict::P_PLN = dir / "pln.dat";
    dict::N_FIR_A = ansi("ООО Пример (Локо-Банк)");
    openFiles();
    ASSERT_FALSE(import::runLoko(
                     write("vypiska.txt",
                           lokoStatement({
                               {"350000.00", "1", "01-03-2024", "125000.00", "Оплата по счёту 12 от 26.02.2024, НДС 20%",
                                "ООО \"Ромашка\" ИНН 7701234567 р/с 40702810000000000001 в АО \"Локо-Банк\"",
                                "ООО Пример"},
                               {"475000.00", "2", "04-03-2024", "-48300.50", "Аренда офиса за март 2024 года",
                                "ООО Пример", "ИП Иванов Иван Иванович"},
                               {"426699.50", "3", "05-03-2024", "0", "Без суммы", "", ""},
                           })), accounts,
                     [](std::int16_t) {})
                     .failure);
    dict::Relate::PRT->Close();
    dict::Relate::LVO->Close();
    dict::Relate::DBI->Close();
  }
};

TEST_F(PostingsWindows, TheListAndTheFormShowEveryTextWhole) {
  importExample();
  playSteps({
      {"Дополнительная обработка по импорту",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "postings-list");
         w->userAccept(item(*w, "?CHANGE:4"));
       }},
      {"Изменить ???",
       [&](ui::Window* w, QWidget*) {
         w->userType(item(*w, "?DBI:KT_SCHET"), "62.1");
         w->userAccept(item(*w, "?DBI:KT_SCHET"));
         w->userType(item(*w, "?DBI:KT_CODE"), "42");
         w->userAccept(item(*w, "?DBI:KT_CODE"));
       }},
      {"Изменить ???",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "posting-form");
         w->userAccept(item(*w, "?CANCEL"));
       }},
      {"Дополнительная обработка по импорту", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CLOSE")); }},
  }, review::DBI_TAB);
}

// Maximised, the list and the controls spread over the window; restored, they come
// back to their places.
TEST_F(PostingsWindows, MaximisedTheListGrowsAndRestoredItComesBack) {
  importExample();
  QRect normal;
  auto list = [](ui::Window* w) {
    QWidget* l = TestScreen::get().controlWidget(*w, item(*w, "?BROWSE:1"));
    return l ? l->geometry() : QRect();
  };
  constexpr const char* kTitle = "Дополнительная обработка по импорту";
  playSteps({
      {kTitle,
       [&](ui::Window* w, QWidget* v) {
         normal = list(w);
         v->showMaximized();  // as the title bar's button does
       }},
      {kTitle,
       [&](ui::Window* w, QWidget* v) {
         EXPECT_TRUE(w->maximized());
         lookAtScreen("postings-list-maximised");
         v->showNormal();
       },
       [&](ui::Window* w, QWidget*) {
         QRect r = list(w);
         return r.width() * r.height() > normal.width() * normal.height();
       }},
      {kTitle, [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CLOSE")); },
       [&](ui::Window* w, QWidget*) {
         // Back to its place, but for the rounding of the restored place to dialog units.
         const QRect r = list(w);
         return !w->maximized() && std::abs(r.width() - normal.width()) <= 4 &&
                std::abs(r.height() - normal.height()) <= 4;
       }},
  }, review::DBI_TAB);
  EXPECT_TRUE(normal.isValid());
}

// The credit look-up runs on a thread of its own, drawn by the GUI thread: when its
// form closes, the look-up closes with it while the GUI thread keeps serving it.
TEST_F(PostingsWindows, TheCreditLookUpClosesWithItsForm) {
  importExample();
  bool lookUpLeft = true;
  playSteps({
      {"Дополнительная обработка по импорту", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CHANGE:4")); }},
      {"Изменить ???", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?BUTTON5")); }},
      {"Фрагмент плана счетов для корреспонденции с расчетным счетом", [&](ui::Window*, QWidget*) {}},
      {"Изменить ???", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CANCEL")); }},
      {"Дополнительная обработка по импорту",
       [&](ui::Window* w, QWidget*) {
         lookUpLeft = app::startedThreads() != 0 || ui::allWindows().size() != 1;
         w->userAccept(item(*w, "?CLOSE"));
       }},
  }, review::DBI_TAB);
  EXPECT_FALSE(lookUpLeft);
}

}  // namespace
}  // namespace zelk::test
