// Drawing the model: every control kind from its definition and properties, the
// window's place in dialog units, and the window's own events.
#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QImage>

#include "demo_windows.h"
#include "platform/qt/list.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

using ui::Event;

TEST(QtRender, EveryControlKindFollowsTheModel) {
  FormVars v;
  ui::Window w(firmForm(v));
  w.open();
  w.display();
  w.setRows(form::kList, listRows(3));
  pump(30);

  QWidget* top = screen().widgetOf(w);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->windowTitle(), u("Ввод-корректировка фирмы"));

  // Entries show their variables through their pictures; a prompt's "&" marks its buddy.
  auto* name = widget<QLineEdit>(w, form::kName);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), u("Firm"));
  EXPECT_EQ(name->maxLength(), 40);
  EXPECT_EQ(widget<QLineEdit>(w, form::kCode)->text(), u("7"));
  auto* prompt = widget<QLabel>(w, form::kNamePrompt);
  EXPECT_EQ(prompt->text(), u("&Наименование:"));
  EXPECT_EQ(prompt->buddy(), name);
  EXPECT_FALSE(widget<QLineEdit>(w, form::kBank)->isEnabled());

  // The sheet: its tabs, and the controls of the tab not chosen hidden.
  auto* sheet = widget<QTabWidget>(w, form::kSheet);
  ASSERT_NE(sheet, nullptr);
  ASSERT_EQ(sheet->count(), 2);
  EXPECT_EQ(sheet->tabText(1), u("&Система"));
  EXPECT_EQ(sheet->currentIndex(), 0);
  EXPECT_TRUE(widget<QLineEdit>(w, form::kBank)->isVisible());
  auto* rfk = widget<QRadioButton>(w, form::kRfk);
  EXPECT_FALSE(rfk->isVisible());
  EXPECT_TRUE(rfk->isChecked());  // the option's variable holds "2"
  EXPECT_FALSE(widget<QRadioButton>(w, form::kLoko)->isChecked());
  EXPECT_EQ(qobject_cast<QGroupBox*>(screen().controlWidget(w, form::kKind))->title(), u("Клиент-банк"));

  // Group, string, line, list.
  EXPECT_EQ(qobject_cast<QGroupBox*>(screen().controlWidget(w, form::kTotals))->title(), u("Итоги"));
  EXPECT_EQ(widget<QLabel>(w, form::kCount)->text(), u("0"));
  EXPECT_EQ(widget<QFrame>(w, form::kLine)->frameShape(), QFrame::HLine);
  auto* list = widget<qtui::ListBox>(w, form::kList);
  ASSERT_NE(list, nullptr);
  QAbstractItemModel* m = list->view()->model();
  EXPECT_EQ(m->columnCount(), 4);
  EXPECT_EQ(m->rowCount(), 3);
  EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), u("Наименование"));
  EXPECT_EQ(m->data(m->index(1, 1)).toString(), u("ИП Иванов И.И."));
  EXPECT_TRUE(m->data(m->index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
  EXPECT_EQ(list->view()->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
  EXPECT_EQ(list->view()->horizontalHeader()->sectionResizeMode(2), QHeaderView::Fixed);

  // Buttons: the default one, the hidden one.
  auto* ok = widget<QPushButton>(w, form::kOk);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_TRUE(widget<QPushButton>(w, form::kHelp)->isHidden());

  // Dialog units from the window's font: a quarter of the average character width,
  // an eighth of its height.
  qtui::Units du(qtui::mapFont("MS Sans Serif", 8));
  EXPECT_EQ(ok->geometry(), QRect(du.x(146), du.y(232), du.x(50), du.y(14)));
  EXPECT_EQ(du.x(4), du.avgCharWidth());
  EXPECT_EQ(du.y(8), du.charHeight());
  EXPECT_EQ(ok->font().styleHint(), QFont::SansSerif);

  // Changes of the model reach the screen.
  w.setReadOnly(form::kName, true);
  w.setChoice(form::kSheet, form::kTab2);
  w.unhide(form::kHelp);
  w.disable(form::kOk);
  w.setText(form::kClose, ansi("&Выход"));
  v.postings = 12345;
  w.display();
  w.setChoice(form::kKind, form::kLoko);
  pump(40);
  EXPECT_EQ(sheet->currentIndex(), 1);
  EXPECT_FALSE(widget<QLineEdit>(w, form::kBank)->isVisible());
  EXPECT_TRUE(rfk->isVisible());
  EXPECT_TRUE(widget<QRadioButton>(w, form::kLoko)->isChecked());
  EXPECT_FALSE(rfk->isChecked());
  EXPECT_TRUE(widget<QPushButton>(w, form::kHelp)->isVisible());
  EXPECT_FALSE(ok->isEnabled());
  EXPECT_EQ(widget<QPushButton>(w, form::kClose)->text(), u("&Выход"));
  EXPECT_EQ(widget<QLabel>(w, form::kCount)->text(), u("12345"));
  EXPECT_TRUE(name->isReadOnly());
  EXPECT_EQ(name->palette().color(QPalette::Base), name->palette().color(QPalette::Window));  // and looks it

  // Hiding the sheet hides what stands on its tabs.
  w.hide(form::kSheet);
  pump(40);
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_FALSE(rfk->isVisible());
  w.close();
  EXPECT_EQ(screen().widgetOf(w), nullptr);
}

TEST(QtRender, FrameMenusFollowTheModel) {
  ui::Window w(appFrame());
  w.open();
  pump(20);
  auto* top = qobject_cast<QMainWindow*>(screen().widgetOf(w));
  ASSERT_NE(top, nullptr);
  QList<QAction*> bar = top->menuBar()->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(bar[0]->text(), u("&Файл"));
  EXPECT_EQ(bar[1]->text(), u("&Импорт"));
  QMenu* file = bar[0]->menu();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->actions().size(), 3);
  EXPECT_TRUE(file->actions()[1]->isSeparator());
  QMenu* import = bar[1]->menu();
  ASSERT_EQ(import->actions().size(), 2);
  QMenu* banks = import->actions()[0]->menu();
  ASSERT_NE(banks, nullptr);
  EXPECT_EQ(banks->actions()[1]->text(), u("&РФК"));

  // The wallpaper stands behind the client area.
  QImage client = top->centralWidget()->grab().toImage();
  EXPECT_NE(client.pixelColor(client.width() / 2, client.height() - 8), top->palette().color(QPalette::Window));

  w.disable(frame::kRfk);
  w.hide(frame::kReview);
  pump(40);
  EXPECT_FALSE(banks->actions()[1]->isEnabled());
  EXPECT_FALSE(import->actions()[1]->isVisible());

  // Choosing an item is its Accepted event.
  banks->actions()[0]->trigger();
  EXPECT_EQ(nextEvent(w, Event::Accepted).control, frame::kLoko);
  banks->actions()[1]->trigger();  // disabled: nothing
  w.post(Event::Completed);
  EXPECT_EQ(nextEvent(w, Event::Completed).control, 0);
  w.close();
}

TEST(QtRender, PlaceAndWindowEvents) {
  ui::WindowDef def = listWindow("Список");
  ui::Window w(def);
  w.open();
  EXPECT_EQ(nextEvent(w, Event::OpenWindow).event, Event::OpenWindow);
  EXPECT_EQ(nextEvent(w, Event::Sized).event, Event::Sized);
  auto* top = qobject_cast<QMainWindow*>(screen().widgetOf(w));
  ASSERT_NE(top, nullptr);
  qtui::Units du(qtui::mapFont("MS Sans Serif", 8));
  EXPECT_EQ(top->centralWidget()->size(), QSize(du.x(300), du.y(160)));

  // The model's place moves the window (dialog units of its font).
  w.setPlace({40, 24, 320, 170});
  pump(40);
  EXPECT_EQ(top->pos(), QPoint(du.x(40), du.y(24)));
  EXPECT_EQ(top->centralWidget()->size(), QSize(du.x(320), du.y(170)));

  // The person's resizing is reported with the place in dialog units.
  top->resize(du.x(360), du.y(180));
  ui::EventRec sized = nextEvent(w, Event::Sized);
  EXPECT_EQ(sized.event, Event::Sized);
  EXPECT_EQ(w.place().w, 360);
  EXPECT_EQ(w.place().x, 40);
  EXPECT_FALSE(w.maximized());

  // Maximised by the model, and back by the person.
  w.setMaximized(true);
  pump(40);
  EXPECT_TRUE(top->isMaximized());
  top->showNormal();
  nextEvent(w, Event::Sized);
  EXPECT_FALSE(w.maximized());
  EXPECT_EQ(w.place().w, 360);

  // The window becomes active again when a window it opened closes.
  ui::Window inner(listWindow("Форма"));
  inner.open();
  pump(30);
  while (w.hasEvents()) w.wait();
  inner.close();
  EXPECT_EQ(nextEvent(w, Event::GainFocus).event, Event::GainFocus);

  // The close box asks the procedure; the window stays until it closes it.
  top->close();
  EXPECT_EQ(nextEvent(w, Event::CloseWindow).event, Event::CloseWindow);
  EXPECT_TRUE(top->isVisible());
  w.close();
}

}  // namespace
}  // namespace zelk::test
