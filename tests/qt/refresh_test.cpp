// Coalescing: a window's counter changed 32,767 times is drawn far fewer times,
// whether its owner is the GUI thread (a busy loop that never waits) or another one.
#include <QLabel>
#include <atomic>
#include <thread>

#include "demo_windows.h"
#include "platform/core/numtext.h"
#include "qt_support.h"
#include "tests/support/paintcounter.h"

namespace zelk::test {
namespace {

constexpr int kCounter = 2;
constexpr int kChanges = 32767;

TEST(QtRefresh, ABusyLoopOfTheGuiThreadIsDrawnAtAFewFramesASecond) {
  ui::Window w(listWindow("Импорт"));
  w.open();
  pump(30);
  auto* label = widget<QLabel>(w, kCounter);
  ASSERT_NE(label, nullptr);
  PaintCounter paints;
  label->installEventFilter(&paints);
  std::uint64_t before = screen().refreshPasses();
  for (int i = 1; i <= kChanges; ++i) w.setText(kCounter, ansi("Проводок: ") + numberText(i));
  std::uint64_t during = screen().refreshPasses() - before;
  pump(50);
  EXPECT_EQ(label->text(), u("Проводок: 32767"));
  std::uint64_t passes = screen().refreshPasses() - before;
  EXPECT_LT(passes, static_cast<std::uint64_t>(kChanges / 100)) << passes << " passes";
  EXPECT_LE(during + 1, passes);
  EXPECT_LT(paints.paints, kChanges / 100);
  w.close();
}

TEST(QtRefresh, ChangesOfAnotherThreadAreCoalesced) {
  std::atomic<ui::Window*> theirs{nullptr};
  std::atomic<bool> counted{false}, done{false};
  std::thread worker([&] {
    ui::Window w(listWindow("Импорт"));
    w.open();
    theirs = &w;
    for (int i = 1; i <= kChanges; ++i) w.setText(kCounter, numberText(i));
    counted = true;
    while (w.wait().event != ui::Event::CloseWindow) {
    }
    w.close();
    done = true;
  });
  std::uint64_t before = screen().refreshPasses();
  ASSERT_TRUE(pumpUntil([&] { return counted.load(); }, 20000));
  pump(60);
  std::uint64_t passes = screen().refreshPasses() - before;
  auto* label = widget<QLabel>(*theirs.load(), kCounter);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("32767"));
  EXPECT_LT(passes, static_cast<std::uint64_t>(kChanges / 100)) << passes << " passes";
  theirs.load()->userClose();
  ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
  worker.join();
}

}  // namespace
}  // namespace zelk::test
