// Windows and boxes of another thread: drawn on the GUI thread and usable while the
// main thread waits in a window of its own; boxes of either thread.
#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "demo_windows.h"
#include "platform/framework/errors.h"
#include "platform/qt/boxes.h"
#include "qt_support.h"
#include <QTest>

namespace zelk::test {
namespace {

using ui::Event;
constexpr int kClose = 3;

// The visible message box, nullptr when none.
QMessageBox* openBox() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(t); b && b->isVisible()) return b;
  return nullptr;
}

QStringList captions(QMessageBox* b) {
  QStringList out;
  for (QAbstractButton* x : b->buttons()) out << x->text();
  out.sort();
  return out;
}

TEST(QtThreads, AWindowOfAnotherThreadIsUsableWhileTheMainThreadWaits) {
  // The main thread's window, then a modal one over it, in whose loop it waits.
  ui::Window frame(listWindow("Главное окно"));
  frame.open();
  ui::Window modal(listWindow("Форма"));
  modal.open();

  std::atomic<ui::Window*> theirs{nullptr};
  std::atomic<bool> pressed{false}, done{false};
  std::thread worker([&] {
    ui::Window w(listWindow("Поиск счета"));
    w.setRows(1, listRows(3));
    w.setText(2, ansi("Записей: 3"));
    w.open();
    EXPECT_NE(w.owner(), frame.owner());
    theirs = &w;
    for (;;) {
      ui::EventRec e = w.wait();
      if (e.event == Event::Accepted && e.control == kClose) break;
    }
    pressed = true;
    w.close();
    theirs = nullptr;
    done = true;
  });

  // Inside the modal window's loop: the worker's window is drawn and takes a press,
  // then the modal window's own button ends the wait.
  QString counter;
  int outerPresses = 0;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(pumpUntil([&] { return theirs.load() != nullptr; }));
    ui::Window* w = theirs;
    auto* label = widget<QLabel>(*w, 2);
    ASSERT_NE(label, nullptr);
    counter = label->text();
    auto* button = widget<QPushButton>(*w, kClose);
    ASSERT_NE(button, nullptr);
    clickAsSystem(button);
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    // The main thread's outer window takes no input while its modal one is open.
    auto* outer = widget<QPushButton>(frame, kClose);
    QObject::connect(outer, &QPushButton::pressed, [&] { ++outerPresses; });
    clickAsSystem(outer);
    clickAsSystem(widget<QPushButton>(modal, kClose));
  });
  ui::EventRec e = nextEvent(modal, Event::Accepted);
  worker.join();
  EXPECT_EQ(e.control, kClose);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(counter, u("Записей: 3"));
  EXPECT_EQ(outerPresses, 0);
  while (frame.hasEvents()) EXPECT_NE(frame.wait().event, Event::Accepted);
  modal.close();
  frame.close();
}

TEST(QtThreads, AMessageBoxOfAnotherThread) {
  ui::Window mine(listWindow("Главное окно"));
  mine.open();
  fw::Box box;
  box.caption = ansi("Ошибка перезаписи");
  box.text = ansi("Первая строка|Вторая строка");
  box.icon = fw::Icon::Question;
  box.buttons = fw::kButtonYes | fw::kButtonNo;
  box.defaultButton = fw::kButtonYes;
  std::atomic<unsigned> answer{0};
  std::thread worker([&] { answer = fw::boxService().show(box); });

  ASSERT_TRUE(pumpUntil([] { return openBox() != nullptr; }));
  QMessageBox* b = openBox();
  EXPECT_EQ(b->windowTitle(), u("Ошибка перезаписи"));
  EXPECT_EQ(b->text(), u("Первая строка\nВторая строка"));
  EXPECT_EQ(b->icon(), QMessageBox::Question);
  EXPECT_EQ(captions(b), QStringList({"&No", "&Yes"}));
  EXPECT_EQ(b->defaultButton()->text(), QStringLiteral("&Yes"));

  // The main thread's window goes on meanwhile.
  widget<QPushButton>(mine, kClose)->click();
  EXPECT_EQ(nextEvent(mine, Event::Accepted).control, kClose);

  for (QAbstractButton* x : b->buttons())
    if (x->text() == QStringLiteral("&No")) x->click();
  ASSERT_TRUE(pumpUntil([&] { return answer.load() != 0; }));
  worker.join();
  EXPECT_EQ(answer, unsigned(fw::kButtonNo));
  mine.close();
}

TEST(QtThreads, BoxesOfTheGuiThread) {
  struct Case {
    fw::Icon icon;
    unsigned buttons, defaultButton;
    QMessageBox::Icon shown;
    QStringList captions;
    unsigned escape;  // what Esc answers
  } cases[] = {
      {fw::Icon::Exclamation, fw::kButtonOk, fw::kButtonOk, QMessageBox::Warning, {"OK"}, fw::kButtonOk},
      {fw::Icon::Question, fw::kButtonYes | fw::kButtonNo | fw::kButtonCancel, fw::kButtonCancel,
       QMessageBox::Question, {"&No", "&Yes", "Cancel"}, fw::kButtonCancel},
      {fw::Icon::None, fw::kButtonYes | fw::kButtonNo, fw::kButtonYes, QMessageBox::NoIcon, {"&No", "&Yes"},
       fw::kButtonNo},
  };
  for (const Case& c : cases) {
    fw::Box box;
    box.caption = "Halt";
    box.text = ansi("Текст");
    box.icon = c.icon;
    box.buttons = c.buttons;
    box.defaultButton = c.defaultButton;
    QMessageBox::Icon icon{};
    QStringList seen;
    QString def;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(pumpUntil([] { return openBox() != nullptr; }));
      QMessageBox* b = openBox();
      icon = b->icon();
      seen = captions(b);
      def = b->defaultButton() ? b->defaultButton()->text() : QString();
      QTest::keyClick(b, Qt::Key_Escape);
    });
    unsigned answer = fw::boxService().show(box);
    EXPECT_EQ(icon, c.shown);
    EXPECT_EQ(seen, c.captions);
    EXPECT_EQ(def, qtui::BoxDialog::caption(c.defaultButton));
    EXPECT_EQ(answer, c.escape);
  }
}

}  // namespace
}  // namespace zelk::test
