#include "platform/qt/screen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdio>

#include "platform/qt/backend.h"
#include "platform/qt/icons.h"
#include "platform/qt/view.h"

namespace zelk::qtui {

namespace {
Screen* current = nullptr;
int defaultArgc = 1;
char defaultName[] = "zelk";
char* defaultArgv[] = {defaultName, nullptr};

// The program speaks Russian: so do Qt's own dialogs (the open-file dialog, the
// printer set-up), with Qt's translations (Debian package qt6-translations-l10n).
std::unique_ptr<QTranslator> russianQt() {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  auto t = std::make_unique<QTranslator>();
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!t->load(QStringLiteral("qtbase_ru"), dir)) {
    std::fprintf(stderr, "zelk: Qt's Russian translations are missing in %s (package qt6-translations-l10n): "
                 "Qt's dialogs show in English\n", dir.toLocal8Bit().constData());
    return nullptr;
  }
  QCoreApplication::installTranslator(t.get());
  return t;
}

}  // namespace

struct Screen::Impl {
  std::unique_ptr<QApplication> app;
  std::unique_ptr<QTranslator> translations;
  std::unique_ptr<QtBackend> backend;
};

Screen::Screen() : Screen(defaultArgc, defaultArgv) {}

Screen::Screen(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  if (!QApplication::instance()) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    impl_->app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelk"));
    QApplication::setWindowIcon(programIcon());
    impl_->translations = russianQt();
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
  if (impl_->translations) QCoreApplication::removeTranslator(impl_->translations.get());
  impl_->translations.reset();
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
