#include "platform/qt/screen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStyleFactory>

#include "platform/qt/backend.h"
#include "platform/qt/view.h"

namespace zelk::qtui {

namespace {
Screen* current = nullptr;
int defaultArgc = 1;
char defaultName[] = "zelk";
char* defaultArgv[] = {defaultName, nullptr};
}  // namespace

struct Screen::Impl {
  std::unique_ptr<QApplication> app;
  std::unique_ptr<QtBackend> backend;
};

Screen::Screen() : Screen(defaultArgc, defaultArgv) {}

Screen::Screen(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  if (!QApplication::instance()) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    impl_->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelk"));
  }
  QApplication::setQuitOnLastWindowClosed(false);
  impl_->backend = std::make_unique<QtBackend>();
  ui::setBackend(impl_->backend.get());
  fw::setBoxService(impl_->backend.get());
  current = this;
}

Screen::~Screen() {
  if (&ui::backend() == impl_->backend.get()) ui::setBackend(nullptr);
  if (&fw::boxService() == impl_->backend.get()) fw::setBoxService(nullptr);
  if (current == this) current = nullptr;
  impl_->backend.reset();
  impl_->app.reset();
}

Screen* Screen::instance() { return current; }

std::uint64_t Screen::refreshPasses() const { return impl_->backend->passes(); }

void Screen::processEvents(int ms) {
  QElapsedTimer t;
  t.start();
  // Also lets redraws that are due run, on a busy machine too (bounded).
  constexpr int kPendingLimitMs = 2000;
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (t.elapsed() < ms || (impl_->backend->passesPending() && t.elapsed() < ms + kPendingLimitMs));
}

QWidget* Screen::widgetOf(const ui::Window& w) const { return impl_->backend->viewOf(&w); }

QWidget* Screen::controlWidget(const ui::Window& w, int ctl) const {
  View* v = impl_->backend->viewOf(&w);
  return v ? v->controlWidget(ctl) : nullptr;
}

}  // namespace zelk::qtui
