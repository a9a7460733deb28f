// The frame, the firm list, the firm form and the firm choice drawn by the screen:
// the real procedures run on the GUI thread while a timer plays the person. Every
// text of every window must fit its control. With ZELK_SCREENSHOT_DIR set (as
// scripts/screenshots sets it under Xvfb) each window is also saved as a PNG.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/frame.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/qt/printsetup.h"
#include "platform/qt/screen.h"
#include "support/screen_steps.h"
#include "platform/ui/window.h"
#include "support/program.h"

namespace zelk::test {
namespace {

class FirmWindows : public ProgramTest {
 protected:
  static void SetUpTestSuite() { TestScreen::start(); }
  static void TearDownTestSuite() { TestScreen::stop(); }
  void SetUp() override {
    ProgramTest::SetUp();
    addFirms();
  }

  void addFirms() {
    storage::TypedFile<dict::FnmRecord> f{dict::F_NAME_DECL};
    dict::Relate::F_NAME->Open();  // creates the file
    ASSERT_EQ(f.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    struct Firm {
      int code;
      const char *name, *path, *schB;
    } firms[] = {
        {1, "ООО \"Ромашка\"", "C:\\ZELK\\ROMASHKA", "51"},
        {2, "ЗАО \"Северный торговый дом\"", "\\\\SERVER\\ZELK\\SEVER", "51.1"},
        {3, "ИП Иванов Иван Иванович", "D:\\BASES\\IVANOV", "51.2"},
        {12, "ООО \"Техноснаб-Поволжье\"", "E:\\ZELK\\TEHNOSNAB\\2005", "51"},
    };
    for (const Firm& x : firms) {
      f.clearBuffer();
      f.rec.KOD = static_cast<std::int16_t>(x.code);
      f.rec.NAME = ansi(x.name);
      f.rec.PATH = ansi(x.path);
      f.rec.PATH_PLN = ansi("C:\\ZELK\\PLAN");
      f.rec.SCH_B = ansi(x.schB);
      f.rec.RFKPATH = ansi("C:\\RFK\\PAY");
      f.rec.N_SC_P = ansi("40702810900000001234");
      f.rec.N_KL = static_cast<std::uint8_t>(x.code % 3 + 1);
      ASSERT_EQ(f.add(), 0);
    }
    f.close();
    dict::Relate::F_NAME->Close();
  }

  const QString shots_ = TestScreen::shots();
};

TEST_F(FirmWindows, FrameListFormAndChoiceShowEveryTextWhole) {
  auto item = [](ui::Window& w, const char* name) { return w.number(ansi(name)); };
  playSteps({
      {"Иморт выписок из систем Клиент-Банк",
       [&](ui::Window* wp, QWidget* v) {
         ui::Window& w = *wp;
         lookAt(v, "frame");
         if (!shots_.isEmpty()) {
           // The settings menu, open.
           if (auto* bar = v->findChild<QMenuBar*>()) {
             QMenu* menu = bar->actions().at(0)->menu();
             menu->popup(v->mapToGlobal(bar->geometry().bottomLeft()));
             QElapsedTimer t;
             t.start();
             while (t.elapsed() < 300) QApplication::processEvents();
             lookAtScreen("frame-menu");
             menu->hide();
           }
         }
         // The printer set-up, looked at and cancelled.
         QTimer::singleShot(400, [] {
           for (QWidget* t : QApplication::topLevelWidgets())
             if (auto* d = qobject_cast<qtui::PrinterSetupDialog*>(t); d && d->isVisible()) {
               lookAt(d, "printer-setup");
               d->reject();
             }
         });
         w.userAccept(item(w, "?PRINTSETUP"));
       }},
      {"Иморт выписок из систем Клиент-Банк",
       [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ")); }},
      {"Настройка фирм для иморта",
       [&](ui::Window* wp, QWidget* v) {
         ui::Window& w = *wp;
         EXPECT_EQ(w.rowCount(1), 4);
         w.userSelectRow(1, 2);
         lookAt(v, "firm-list");
         lookAtScreen("desktop-firm-list");  // over the frame that opened it
         w.userAccept(item(w, "?CHANGE:4"));
       }},
      {"Изменить ???",
       [&](ui::Window* wp, QWidget* v) {
         ui::Window& w = *wp;
         lookAt(v, "firm-form");
         w.userAccept(item(w, "?CANCEL"));
       }},
      {"Настройка фирм для иморта", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?CLOSE")); }},
      {"Иморт выписок из систем Клиент-Банк", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?PASTE")); }},
      {"Выбор фирмы для иморта",
       [&](ui::Window* wp, QWidget* v) {
         ui::Window& w = *wp;
         lookAt(v, "firm-choice-open");
         w.userAccept(item(w, "?BUTTON3"));
       }},
      {"Настройка фирм для иморта",
       [&](ui::Window* wp, QWidget*) {
         ui::Window& w = *wp;
         w.userSelectRow(1, 2);
         w.userAccept(item(w, "?SELECT:2"));
       }},
      {"Выбор фирмы для иморта",
       [&](ui::Window* wp, QWidget* v) {
         ui::Window& w = *wp;
         EXPECT_FALSE(w.hidden(item(w, "?BUTTON4")));
         lookAt(v, "firm-choice");
         w.userClose();
       }},
      {"Иморт выписок из систем Клиент-Банк", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?EXIT")); }},
  }, app::MAIN);
  EXPECT_EQ(dict::FIR, 2);
  EXPECT_EQ(cp::toUtf8(dict::N_FIR_A.str()), "ЗАО \"Северный торговый дом\"");
}

}  // namespace
}  // namespace zelk::test
