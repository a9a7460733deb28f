#include "qt_support.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "support/tempdir.h"

namespace zelk::test {

namespace {

qtui::Screen* theScreen = nullptr;

class ScreenEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::make_unique<TempDir>();
    std::filesystem::create_directories(dir_->path() / "runtime");
    std::filesystem::permissions(dir_->path() / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", (*dir_ / "runtime").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (*dir_ / "config").c_str(), 1);
    theScreen = new qtui::Screen();
  }
  void TearDown() override {
    delete theScreen;
    theScreen = nullptr;
    dir_.reset();
  }

 private:
  std::unique_ptr<TempDir> dir_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ScreenEnvironment);

// Marks the event that ends a wait that took too long.
constexpr int kTimeoutMark = -424242;

}  // namespace

qtui::Screen& screen() { return *theScreen; }

void pump(int ms) { screen().processEvents(ms); }

bool pumpUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void clickAsSystem(QWidget* w) {
  QWidget* top = w->window();
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, w->rect().center()));
}

void typeText(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    int key = ch.isLetterOrNumber() && ch.unicode() < 128 ? ch.toUpper().unicode() : 0;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &release);
  }
}

ui::EventRec nextEvent(ui::Window& w, ui::Event e, int ms) {
  bool late = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    late = true;
    w.post(ui::EventRec{ui::Event::Completed, kTimeoutMark});
  });
  guard.start(ms);
  for (;;) {
    ui::EventRec r = w.wait();
    if (late && r.control == kTimeoutMark) return {};
    if (r.event == e) return r;
  }
}

}  // namespace zelk::test
