#pragma once
// The real screen in a test: a person's steps played on the windows as they appear,
// and a look at each window (every text fits, nothing leaves the window).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "support/tempdir.h"

namespace zelk::test {

// The screen of a test suite: offscreen unless told otherwise, in a runtime folder
// of its own.
class TestScreen {
 public:
  static void start() {
    runtime() = std::make_unique<TempDir>();
    std::filesystem::create_directories(runtime()->path() / "runtime");
    std::filesystem::permissions(runtime()->path() / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", (*runtime() / "runtime").c_str(), 0);
    screen() = std::make_unique<qtui::Screen>();
  }
  static void stop() {
    screen().reset();
    runtime().reset();
  }
  static qtui::Screen& get() { return *screen(); }
  // Where pictures of the windows go: $ZELK_SCREENSHOT_DIR, or empty for none.
  static QString shots() {
    const char* d = std::getenv("ZELK_SCREENSHOT_DIR");
    return d && *d ? QString::fromLocal8Bit(d) : QString();
  }

 private:
  static std::unique_ptr<TempDir>& runtime() {
    static std::unique_ptr<TempDir> r;
    return r;
  }
  static std::unique_ptr<qtui::Screen>& screen() {
    static std::unique_ptr<qtui::Screen> s;
    return s;
  }
};

// A step of the person: when the window titled title (UTF-8) is the innermost one of
// its thread and has been drawn and has settled (and, where given, is ready), act
// runs. An empty title waits for the screen's open-file dialog instead (the window is
// then null).
struct ScreenStep {
  std::string title;
  std::function<void(ui::Window*, QWidget*)> act;
  std::function<bool(ui::Window*, QWidget*)> ready = {};
};

// Runs procedure while the steps are played; a window that does not come within 20
// seconds fails the test and closes what is open.
inline void playSteps(std::vector<ScreenStep> steps, const std::function<void()>& procedure) {
  std::size_t next = 0;
  QElapsedTimer steady, total;
  total.start();
  bool failed = false;
  QTimer timer;
  timer.setInterval(40);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (next >= steps.size()) return;
    if (total.elapsed() > 20000) {
      if (!failed) ADD_FAILURE() << "no window \"" << steps[next].title << "\"";
      failed = true;
      for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QFileDialog*>(t)) d->reject();
      for (ui::Window* w : ui::allWindows()) w->userClose();
      return;
    }
    ui::Window* found = nullptr;
    QWidget* view = nullptr;
    if (steps[next].title.empty()) {
      for (QWidget* t : QApplication::topLevelWidgets())
        if (qobject_cast<QFileDialog*>(t) && t->isVisible()) view = t;
    } else {
      for (ui::Window* w : ui::allWindows())
        if (w->innermost() && w->title() == ansi(steps[next].title)) found = w;
      view = found ? TestScreen::get().widgetOf(*found) : nullptr;
    }
    if (!view || !view->isVisible() || (steps[next].ready && !steps[next].ready(found, view))) {
      steady.invalidate();
      return;
    }
    if (!steady.isValid()) steady.start();
    if (steady.elapsed() < 300) return;  // drawn and settled
    steady.invalidate();
    total.restart();
    steps[next++].act(found, view);
  });
  timer.start();
  procedure();
  timer.stop();
  EXPECT_EQ(next, steps.size());
}

// Every text shown fits its control and the controls stay inside the window; the
// window is saved as a picture when pictures are asked for.
inline void lookAt(QWidget* view, const char* name) {
  for (QLabel* l : view->findChildren<QLabel*>()) {
    if (!l->isVisible() || l->text().isEmpty()) continue;
    EXPECT_LE(l->sizeHint().width(), l->width())
        << name << ": " << l->objectName().toStdString() << " \"" << l->text().toStdString() << "\"";
    EXPECT_LE(l->fontMetrics().height(), l->height()) << name << ": " << l->objectName().toStdString();
  }
  for (QAbstractButton* b : view->findChildren<QAbstractButton*>()) {
    if (!b->isVisible() || b->text().isEmpty()) continue;
    if (!qobject_cast<QPushButton*>(b) && !qobject_cast<QRadioButton*>(b)) continue;
    // A push button's hint carries a minimum width of its own; its text needs less.
    int text = b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&')));
    if (!b->icon().isNull()) text += b->iconSize().width() + 4;  // the icon beside the text
    EXPECT_LE(qobject_cast<QRadioButton*>(b) ? b->sizeHint().width() : text + 8, b->width())
        << name << ": " << b->objectName().toStdString() << " \"" << b->text().toStdString() << "\"";
    EXPECT_LE(b->fontMetrics().height(), b->height()) << name << ": " << b->objectName().toStdString();
  }
  for (QGroupBox* g : view->findChildren<QGroupBox*>()) {
    if (!g->isVisible()) continue;
    EXPECT_LE(g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width()) << name;
  }
  QWidget* client = view->findChild<QWidget*>(QStringLiteral("client"));
  for (QWidget* c : view->findChildren<QWidget*>()) {
    if (!c->isVisible() || !client || c->parentWidget() != client) continue;
    EXPECT_TRUE(client->rect().contains(c->geometry())) << name << ": " << c->objectName().toStdString()
                                                        << " leaves the window";
  }
  const QString shots = TestScreen::shots();
  if (!shots.isEmpty()) {
    QApplication::processEvents();
    // On a real display the window manager's frame and title bar are taken too.
    QScreen* s = view->screen();
    QPixmap shot = s && QGuiApplication::platformName() == QLatin1String("xcb")
                       ? s->grabWindow(0, view->frameGeometry().x(), view->frameGeometry().y(),
                                       view->frameGeometry().width(), view->frameGeometry().height())
                       : view->grab();
    EXPECT_TRUE(shot.save(shots + "/" + name + ".png")) << name;
  }
}

// The whole screen, when pictures are asked for: an open menu, or a window over the
// window that opened it.
inline void lookAtScreen(const char* name) {
  const QString shots = TestScreen::shots();
  if (shots.isEmpty()) return;
  QApplication::processEvents();
  QScreen* s = QGuiApplication::primaryScreen();
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->grabWindow(0).save(shots + "/" + name + ".png")) << name;
}

}  // namespace zelk::test
