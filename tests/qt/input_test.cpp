// The person's typing, leaving, Enter and alerted keys, as the procedure sees them.
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "demo_windows.h"
#include "platform/qt/list.h"
#include "platform/qt/keys.h"
#include "platform/qt/view.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

using ui::Event;

class QtInput : public ::testing::Test {
 protected:
  void SetUp() override {
    win_ = std::make_unique<ui::Window>(firmForm(v));
    w().open();
    w().display();
    w().setRows(form::kList, listRows(4));
    QWidget* top = screen().widgetOf(w());
    top->activateWindow();
    ASSERT_TRUE(pumpUntil([top] { return top->isActiveWindow(); }));
  }
  void TearDown() override { w().close(); }
  ui::Window& w() { return *win_; }

  FormVars v;
  std::unique_ptr<ui::Window> win_;
};

TEST_F(QtInput, TypedEntryLeftWithTabIsAcceptedIntoItsVariable) {
  auto* name = widget<QLineEdit>(w(), form::kName);
  name->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(nextEvent(w(), Event::Selected).control, form::kName);
  name->selectAll();
  typeText(name, u("Северсталь"));
  EXPECT_EQ(w().text(form::kName), ansi("Северсталь"));
  EXPECT_EQ(v.name, ansi("Firm"));  // not before the entry is accepted
  QTest::keyClick(name, Qt::Key_Tab);
  EXPECT_FALSE(name->hasFocus());
  ui::EventRec e = nextEvent(w(), Event::Accepted);
  EXPECT_EQ(e.control, form::kName);
  EXPECT_EQ(v.name, ansi("Северсталь"));
}

TEST_F(QtInput, EnterAcceptsTheEntryThenPressesTheDefaultButton) {
  auto* code = widget<QLineEdit>(w(), form::kCode);
  code->setFocus(Qt::MouseFocusReason);
  code->selectAll();
  QTest::keyClicks(code, QStringLiteral("42"));
  QTest::keyClick(code, Qt::Key_Return);
  EXPECT_EQ(nextEvent(w(), Event::Accepted).control, form::kCode);
  EXPECT_EQ(v.code, 42);
  EXPECT_EQ(nextEvent(w(), Event::Accepted).control, form::kOk);

  // A text the picture refuses is not reported; the entry shows the variable again.
  code->selectAll();
  QTest::keyClicks(code, QStringLiteral("4x2"));
  QTest::keyClick(code, Qt::Key_Return);
  EXPECT_EQ(nextEvent(w(), Event::Accepted).control, form::kOk);
  EXPECT_EQ(v.code, 42);
  pump(40);
  EXPECT_EQ(code->text(), QStringLiteral("42"));
}

TEST_F(QtInput, AlertedKeysAreReportedWithTheirControlAndRow) {
  w().alert(ui::key::kCtrlH);
  w().alert(ui::key::kInsert);
  w().alert(ui::key::kCtrlEnter);
  w().setSelectedRow(form::kList, 2);
  pump(40);
  auto* name = widget<QLineEdit>(w(), form::kName);
  QTest::keyClick(name, Qt::Key_H, Qt::ControlModifier);
  ui::EventRec e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, ui::key::kCtrlH);
  EXPECT_EQ(e.control, form::kName);

  QTableView* list = widget<qtui::ListBox>(w(), form::kList)->view();
  QTest::keyClick(list, Qt::Key_Delete);  // not alerted: nothing
  QTest::keyClick(list, Qt::Key_Insert);
  e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, ui::key::kInsert);
  EXPECT_EQ(e.control, form::kList);
  EXPECT_EQ(e.row, 2);
  QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
  e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, ui::key::kCtrlEnter);
  EXPECT_EQ(e.row, 2);
  EXPECT_FALSE(w().hasEvents());
}

TEST(QtKeys, KeyCodesAreWindowsVirtualKeysWithModifierBits) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
    int code;
  } cases[] = {
      {Qt::Key_Return, Qt::NoModifier, "\r", ui::key::kEnter},
      {Qt::Key_Enter, Qt::KeypadModifier, "\r", ui::key::kEnter},
      {Qt::Key_Return, Qt::ControlModifier, "", ui::key::kCtrlEnter},
      {Qt::Key_Return, Qt::ShiftModifier, "\r", ui::key::kShiftEnter},
      {Qt::Key_Insert, Qt::NoModifier, "", ui::key::kInsert},
      {Qt::Key_Delete, Qt::NoModifier, "", ui::key::kDelete},
      {Qt::Key_Escape, Qt::NoModifier, "", ui::key::kEsc},
      {Qt::Key_H, Qt::ControlModifier, "", ui::key::kCtrlH},
      {Qt::Key_F2, Qt::NoModifier, "", 0x171},
      {Qt::Key_Down, Qt::NoModifier, "", 0x128},
      {Qt::Key_H, Qt::NoModifier, "h", 0},     // typed
      {Qt::Key_H, Qt::ShiftModifier, "H", 0},  // typed
      {Qt::Key_Space, Qt::NoModifier, " ", 0},
  };
  for (const Case& c : cases) {
    QKeyEvent e(QEvent::KeyPress, c.key, c.mods, c.text);
    EXPECT_EQ(qtui::keyCodeOf(&e), c.code) << "key " << std::hex << c.key;
  }
}

}  // namespace
}  // namespace zelk::test
