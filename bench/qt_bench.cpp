// The screen: a file-loaded list of 32,767 rows filled on the screen beside filling
// the model's rows alone, and 32,767 refreshes of a window's counter (an import
// refreshes after every posting) from the GUI thread and from another thread,
// counting the refresh passes and the counter's repaints.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTableView>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/qt/list.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "tests/support/paintcounter.h"
#include "tests/support/tempdir.h"

namespace {

using zelk::fixedText;
using zelk::numberText;
using zelk::test::PaintCounter;
using zelk::ui::Window;

constexpr int kRows = 32767;  // the most postings one import numbers
constexpr int kRepeats = 3;   // best of
constexpr int kList = 1, kCounter = 2;

std::string pad(std::string s, std::size_t w) {
  if (s.size() < w) s.insert(0, w - s.size(), ' ');
  return s;
}

double ms(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

zelk::ui::WindowDef listDef() {
  zelk::ui::WindowDef w;
  w.title = zelk::ansi("Дополнительная обработка по импорту");
  w.at = {zelk::ui::kDefaultPosition, zelk::ui::kDefaultPosition, 400, 200};
  zelk::ui::ControlDef list;
  list.kind = zelk::ui::Kind::List;
  list.name = "?LIST";
  list.at = {4, 4, 392, 170};
  list.attrs = zelk::ui::kVScroll;
  list.format = zelk::ansi("44L(2)|M~Дата~@d6@40L(2)|M~Документ~@s10@40L(2)|M~Дебет~@s10@40L(2)|M~Кредит~@s10@"
                           "70R(2)|M~Сумма~@n-14.2@150L(2)|M~Содержание~@s100@");
  w.controls.push_back(list);
  zelk::ui::ControlDef counter;
  counter.kind = zelk::ui::Kind::String;
  counter.name = "?COUNTER";
  counter.at = {4, 180, 200, 10};
  w.controls.push_back(counter);
  return w;
}

std::vector<Window::Row> rows() {
  const std::string text = zelk::ansi("Оплата по счёту 17 от 31.12.2005, НДС не облагается");
  std::vector<Window::Row> r;
  r.reserve(kRows);
  for (int i = 1; i <= kRows; ++i)
    r.push_back({"01/12/2005", numberText(i), "51", "60.1", fixedText(1000.25 + i, 2), text});
  return r;
}

void pumpUntil(const std::function<bool()>& done) {
  while (!done()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void pumpFor(int millis) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < millis) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct CounterRun {
  double ms = 0;
  std::uint64_t passes = 0;
  int paints = 0;
};

}  // namespace

void benchQt() {
  zelk::test::TempDir dir;
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::filesystem::create_directories(dir.path() / "runtime");
  std::filesystem::permissions(dir.path() / "runtime", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 0);
  zelk::qtui::Screen screen;

  // The model's rows alone: formatted and handed to the list.
  double model = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    Window w(listDef());
    auto t0 = std::chrono::steady_clock::now();
    w.setRows(kList, rows());
    model = std::min(model, ms(t0));
  }
  // The same on the screen: then the pass that takes them and one paint.
  double shown = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    Window w(listDef());
    w.open();
    pumpFor(20);
    auto* box = qobject_cast<zelk::qtui::ListBox*>(screen.controlWidget(w, kList));
    auto t0 = std::chrono::steady_clock::now();
    w.setRows(kList, rows());
    w.setSelectedRow(kList, kRows);
    pumpUntil([&] { return box->view()->model()->rowCount() == kRows; });
    box->view()->viewport()->repaint();
    shown = std::min(shown, ms(t0));
    w.close();
  }

  // The counter.
  auto counted = [&](bool otherThread) {
    CounterRun run;
    std::atomic<Window*> theirs{nullptr};
    std::atomic<bool> start{false}, finished{false}, closed{false};
    auto loop = [](Window& w) {
      for (int i = 1; i <= kRows; ++i) w.setText(kCounter, zelk::ansi("Проводок: ") + numberText(i));
    };
    PaintCounter paints;
    std::uint64_t before = 0;
    auto t0 = std::chrono::steady_clock::now();
    if (!otherThread) {
      Window w(listDef());
      w.open();
      pumpFor(20);
      screen.controlWidget(w, kCounter)->installEventFilter(&paints);
      before = screen.refreshPasses();
      t0 = std::chrono::steady_clock::now();
      loop(w);
      pumpFor(50);
      run.ms = ms(t0) - 50;
      run.passes = screen.refreshPasses() - before;
      w.close();
    } else {
      std::thread worker([&] {
        Window w(listDef());
        w.open();
        theirs = &w;
        while (!start) std::this_thread::yield();
        loop(w);
        finished = true;
        while (w.wait().event != zelk::ui::Event::CloseWindow) {
        }
        w.close();
        closed = true;
      });
      pumpUntil([&] { return theirs.load() != nullptr; });
      pumpFor(20);
      screen.controlWidget(*theirs, kCounter)->installEventFilter(&paints);
      before = screen.refreshPasses();
      t0 = std::chrono::steady_clock::now();
      start = true;
      pumpUntil([&] { return finished.load(); });
      pumpFor(50);
      run.ms = ms(t0) - 50;
      run.passes = screen.refreshPasses() - before;
      theirs.load()->userClose();
      pumpUntil([&] { return closed.load(); });
      worker.join();
    }
    run.paints = paints.paints;
    return run;
  };
  CounterRun gui = counted(false), other = counted(true);

  std::printf("Screen (Qt, %s): file-loaded list of %d rows (best of %d)\n",
              QApplication::platformName().toStdString().c_str(), kRows, kRepeats);
  std::printf("  %-38s %s ms\n", "the model's rows alone", pad(fixedText(model, 2), 9).c_str());
  std::printf("  %-38s %s ms  %sx the model's\n", "on the screen (and pass, one paint)",
              pad(fixedText(shown, 2), 9).c_str(), fixedText(shown / model, 1).c_str());
  std::printf("  %d refreshes of a counter           %9s %9s %9s\n", kRows, "ms", "passes", "repaints");
  std::printf("  %-38s %s %s %s\n", "the GUI thread's busy loop", pad(fixedText(gui.ms, 1), 6).c_str(),
              pad(numberText(static_cast<long long>(gui.passes)), 9).c_str(), pad(numberText(gui.paints), 9).c_str());
  std::printf("  %-38s %s %s %s\n", "another thread's loop", pad(fixedText(other.ms, 1), 6).c_str(),
              pad(numberText(static_cast<long long>(other.passes)), 9).c_str(),
              pad(numberText(other.paints), 9).c_str());
}
