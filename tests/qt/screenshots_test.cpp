// Pictures of the test windows for a person to look at ("demo-*.png"): runs only when
// ZELK_SCREENSHOT_DIR names a folder (scripts/screenshots runs it under Xvfb).
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <thread>

#include "demo_windows.h"
#include "platform/framework/errors.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* d = std::getenv("ZELK_SCREENSHOT_DIR");
    if (!d || !*d) GTEST_SKIP() << "ZELK_SCREENSHOT_DIR is not set";
    dir_ = QString::fromLocal8Bit(d);
  }
  void shot(QWidget* w, const char* name) {
    ASSERT_NE(w, nullptr);
    pump(150);
    EXPECT_TRUE(w->grab().save(dir_ + "/demo-" + name + ".png")) << name;
  }
  void screenShot(const char* name) {
    pump(150);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      EXPECT_TRUE(s->grabWindow(0).save(dir_ + "/demo-" + name + ".png")) << name;
    }
  }
  QString dir_;
};

TEST_F(Screenshots, TestWindows) {
  ui::Window frame(appFrame());
  frame.open();
  shot(screen().widgetOf(frame), "frame");
  {
    auto* top = qobject_cast<QMainWindow*>(screen().widgetOf(frame));
    QAction* import = top->menuBar()->actions().value(1);
    top->menuBar()->setActiveAction(import);
    pump(100);
    if (QMenu* banks = import->menu()->actions().value(0)->menu()) {
      import->menu()->setActiveAction(banks->menuAction());
      pump(100);
    }
    screenShot("frame-menu");
    top->menuBar()->setActiveAction(nullptr);
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMenu*>(t)) m->close();
    pump(50);
  }

  FormVars v;
  v.name = ansi("ООО «Ромашка» — торговый дом");
  v.bank = ansi("АКБ «Локо-Банк» (ЗАО)");
  v.postings = 1284;
  ui::Window form(firmForm(v));
  form.open();
  form.display();
  form.setRows(form::kList, listRows(12));
  form.setSelectedRow(form::kList, 2);
  form.select(form::kName);
  shot(screen().widgetOf(form), "form");
  form.setChoice(form::kSheet, form::kTab2);
  shot(screen().widgetOf(form), "form-tab2");

  // A list of another thread beside the main thread's modal form.
  bool listUp = false, listDone = false;
  std::thread worker([&] {
    ui::Window list(listWindow("Фрагмент плана счетов"));
    list.setRows(1, listRows(200));
    list.setSelectedRow(1, 5);
    list.setText(2, ansi("Записей: 200"));
    list.open();
    listUp = true;
    for (;;) {
      ui::EventRec e = list.wait();
      if (e.event == ui::Event::CloseWindow || e.event == ui::Event::Accepted) break;
    }
    list.close();
    listDone = true;
  });
  pumpUntil([&] { return listUp; });
  screenShot("screen");

  // A question box, drawn while the worker's window waits.
  QTimer::singleShot(300, [&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(t); b && b->isVisible()) {
        b->grab().save(dir_ + "/box.png");
        screenShot("screen-box");
        b->done(0);
      }
  });
  fw::Box box;
  box.caption = ansi("Ошибка перезаписи");
  box.text = ansi("Возникла ошибка при изменений записи.|Желаете попробовать записать еще раз?");
  box.icon = fw::Icon::Question;
  box.buttons = fw::kButtonYes | fw::kButtonNo | fw::kButtonCancel;
  box.defaultButton = fw::kButtonCancel;
  fw::boxService().show(box);

  for (ui::Window* w : ui::allWindows())
    if (w->owner() != std::this_thread::get_id()) w->userClose();
  pumpUntil([&] { return listDone; });
  worker.join();
  form.close();
  frame.close();
}

}  // namespace
}  // namespace zelk::test
