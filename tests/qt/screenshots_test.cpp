// Pictures of the test windows for a person to look at ("demo-*.png"): runs only when
// ZELK_SCREENSHOT_DIR names a folder (scripts/screenshots runs it under Xvfb).
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <optional>
#include <thread>

#include "demo_windows.h"
#include "platform/framework/errors.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

// What an X tool prints (xprop, xdotool); empty when it cannot run.
std::string xtool(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// An X window's id as xprop prints it.
std::string xid(const QWidget* w) { return QStringLiteral("0x%1").arg(w->winId(), 0, 16).toStdString(); }

// The window manager is told that w is transient for its owner.
void expectTransientFor(const QWidget* w, const QWidget* owner) {
  ASSERT_TRUE(w && owner);
  const std::string said = xtool("xprop -id " + xid(w) + " WM_TRANSIENT_FOR");
  EXPECT_NE(said.find("window id # " + xid(owner)), std::string::npos) << said;
}

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
  for (ui::Window* w : ui::allWindows())
    if (ui::Window* owner = w->opener()) expectTransientFor(screen().widgetOf(*w), screen().widgetOf(*owner));

  // A question box, drawn while the worker's window waits.
  QTimer::singleShot(300, [&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(t); b && b->isVisible()) {
        expectTransientFor(b, screen().widgetOf(form));
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

// A click on the owner of a modal window (its title bar, or a corner the modal window
// leaves free) under the window manager: the modal window stays in front.
TEST_F(Screenshots, AClickOnTheOwnerLeavesTheModalWindowInFront) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
  ASSERT_NE(xtool("command -v xdotool"), "") << "xdotool is missing: run scripts/deps.sh";
  ui::Window frame(appFrame());
  frame.open();
  FormVars v;
  ui::Window form(firmForm(v));
  form.open();
  form.display();
  QWidget* owner = screen().widgetOf(form.opener() ? *form.opener() : frame);
  QWidget* modal = screen().widgetOf(form);
  ASSERT_EQ(owner, screen().widgetOf(frame));
  pump(500);  // placed by the window manager
  expectTransientFor(modal, owner);

  // On the title between the window manager's icon and buttons, else a lower corner.
  const QRect o = owner->frameGeometry();
  std::optional<QPoint> free;
  for (int x = o.left() + 30; x < o.right() - 70 && !free; x += 10)
    if (!modal->frameGeometry().contains(x, o.top() + 8)) free = QPoint(x, o.top() + 8);
  for (QPoint p : {o.bottomLeft() + QPoint(20, -20), o.bottomRight() + QPoint(-20, -20)})
    if (!free && !modal->frameGeometry().contains(p)) free = p;
  ASSERT_TRUE(free.has_value()) << "the modal window covers its owner";
  xtool("xdotool mousemove " + std::to_string(free->x()) + " " + std::to_string(free->y()) + " click 1");
  screenShot("owner-clicked");
  // Bottom to top: the modal window above its owner.
  const std::string stacking = xtool("xprop -root _NET_CLIENT_LIST_STACKING");
  const std::size_t at = stacking.find(xid(owner)), modalAt = stacking.find(xid(modal));
  ASSERT_NE(at, std::string::npos) << stacking;
  EXPECT_GT(modalAt, at) << stacking;
  EXPECT_NE(modalAt, std::string::npos) << stacking;
  form.close();
  frame.close();
}

}  // namespace
}  // namespace zelk::test
