// Lists: the mouse and typed characters, a paged list reporting its scrolling, and a
// file-loaded list of the largest size.
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "demo_windows.h"
#include "platform/qt/list.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

using ui::Event;
constexpr int kList = 1;

class QtList : public ::testing::Test {
 protected:
  void open(int rows) {
    win_ = std::make_unique<ui::Window>(listWindow("Список"));
    w().setRows(kList, listRows(rows));
    w().setSelectedRow(kList, 1);
    w().open();
    pump(20);
    box_ = widget<qtui::ListBox>(w(), kList);
    ASSERT_NE(box_, nullptr);
    view()->setFocus();
  }
  void TearDown() override {
    if (win_) w().close();
  }
  ui::Window& w() { return *win_; }
  QTableView* view() { return box_->view(); }
  QPoint rowPoint(int row) { return view()->visualRect(view()->model()->index(row - 1, 1)).center(); }

  std::unique_ptr<ui::Window> win_;
  qtui::ListBox* box_ = nullptr;
};

TEST_F(QtList, MouseAndTypedCharacters) {
  open(6);
  w().alert(ui::key::kMouseRightUp);
  w().alert(ui::key::kMouseLeft2);

  // A right click reports its row and leaves the highlight where it was.
  QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, rowPoint(3));
  ui::EventRec e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, ui::key::kMouseRightUp);
  EXPECT_EQ(e.row, 3);
  EXPECT_EQ(w().selectedRow(kList), 1);
  EXPECT_EQ(box_->selectedRow(), 1);

  // A left click highlights its row; a double click also reports the mouse key.
  QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowPoint(2));
  e = nextEvent(w(), Event::NewSelection);
  EXPECT_EQ(e.row, 2);
  EXPECT_EQ(w().selectedRow(kList), 2);
  QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, rowPoint(4));
  EXPECT_EQ(nextEvent(w(), Event::NewSelection).row, 4);
  e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, ui::key::kMouseLeft2);
  EXPECT_EQ(e.row, 4);

  // Typed characters go to the locator as their 1251 bytes.
  typeText(view(), u("Ф7"));
  e = nextEvent(w(), Event::AlertKey);
  EXPECT_EQ(e.key, static_cast<unsigned char>(ansi("Ф")[0]));
  EXPECT_EQ(nextEvent(w(), Event::AlertKey).key, '7');

  // The model's highlight reaches the screen.
  w().setSelectedRow(kList, 6);
  pump(40);
  EXPECT_EQ(box_->selectedRow(), 6);
}

TEST_F(QtList, PagedListReportsScrollingPastItsRows) {
  open(5);
  w().setPaged(kList, true);
  w().setThumb(kList, 40);
  pump(40);
  EXPECT_EQ(w().visibleRows(kList), box_->visibleRows());
  EXPECT_GT(w().visibleRows(kList), 5);
  ASSERT_TRUE(box_->pager()->isVisibleTo(box_));
  EXPECT_EQ(box_->pager()->value(), 40);

  struct Case {
    int from;  // highlighted row
    Qt::Key key;
    Event event;
    int row;  // NewSelection's row
  } cases[] = {
      {5, Qt::Key_Down, Event::ScrollDown, 0}, {1, Qt::Key_Up, Event::ScrollUp, 0},
      {3, Qt::Key_PageDown, Event::PageDown, 0}, {3, Qt::Key_PageUp, Event::PageUp, 0},
      {3, Qt::Key_Home, Event::ScrollTop, 0},  {3, Qt::Key_End, Event::ScrollBottom, 0},
      {2, Qt::Key_Down, Event::NewSelection, 3},  // inside the page: an ordinary move
  };
  for (const Case& c : cases) {
    w().setSelectedRow(kList, c.from);
    pump(30);
    QTest::keyClick(view(), c.key);
    ui::EventRec e = nextEvent(w(), c.event);
    EXPECT_EQ(e.event, c.event) << "key " << std::hex << c.key << " from row " << c.from;
    EXPECT_EQ(e.row, c.row);
    EXPECT_FALSE(w().hasEvents());
  }

  // The thumb: a step reports it and the bar keeps showing the model's thumb; a drag
  // reports where it ends.
  box_->pager()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(nextEvent(w(), Event::ScrollDown).event, Event::ScrollDown);
  pump(30);
  EXPECT_EQ(box_->pager()->value(), 40);
  box_->pager()->setSliderDown(true);
  box_->pager()->setSliderPosition(70);
  box_->pager()->setSliderDown(false);
  ui::EventRec drag = nextEvent(w(), Event::ScrollDrag);
  EXPECT_EQ(drag.thumb, 70);
  EXPECT_EQ(drag.control, kList);
}

TEST_F(QtList, RowsPassedOnByTheirPlacesReachTheScreen) {
  struct Case {
    const char* name;
    std::size_t count;
    std::vector<std::pair<std::size_t, const char*>> changed;  // a row's place, its first cell
    std::vector<std::string> shown;                            // the first column on the screen
  };
  const Case cases[] = {
      {"none changed", 4, {}, {"1", "2", "3", "4"}},
      {"one changed", 4, {{1, "20"}}, {"1", "20", "3", "4"}},
      {"one added", 5, {{4, "5"}}, {"1", "2", "3", "4", "5"}},
      {"cut, one changed", 2, {{0, "10"}}, {"10", "2"}},
  };
  open(4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w().setRows(kList, listRows(4));
    ASSERT_TRUE(pumpUntil([&] { return view()->model()->rowCount() == 4; }));
    std::vector<std::pair<std::size_t, ui::Window::Row>> changed;
    for (auto [at, first] : c.changed) {
      ui::Window::Row row = listRows(1, static_cast<int>(at) + 1)[0];
      row[0] = first;
      changed.emplace_back(at, std::move(row));
    }
    w().setRows(kList, c.count, std::move(changed));
    pump(30);
    std::vector<std::string> shown;
    for (const ui::Window::Row& r : w().rows(kList)) shown.push_back(r[0]);
    EXPECT_EQ(shown, c.shown);
    std::vector<std::string> screen;
    for (int r = 0; r < view()->model()->rowCount(); ++r)
      screen.push_back(view()->model()->index(r, 0).data().toString().toStdString());
    EXPECT_EQ(screen, c.shown);
  }
}

TEST_F(QtList, FileLoadedListOfTheLargestSizeScrollsNatively) {
  open(1);
  constexpr int kRows = 32767;
  w().setRows(kList, listRows(kRows));
  w().setSelectedRow(kList, kRows);
  ASSERT_TRUE(pumpUntil([&] { return view()->model()->rowCount() == kRows; }));
  pump(30);
  // One model over the rows: no widget per row.
  EXPECT_LT(view()->viewport()->findChildren<QWidget*>().size(), 4);
  EXPECT_EQ(box_->selectedRow(), kRows);
  QModelIndex bottom = view()->indexAt(QPoint(4, view()->viewport()->height() - 4));
  EXPECT_GT(bottom.row(), kRows - w().visibleRows(kList) - 2);
  QTest::keyClick(view(), Qt::Key_Home);
  EXPECT_EQ(nextEvent(w(), Event::NewSelection).row, 1);
  EXPECT_EQ(view()->indexAt(QPoint(4, 4)).row(), 0);
}

}  // namespace
}  // namespace zelk::test
