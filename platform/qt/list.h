#pragma once
// A list control: a table over the model's formatted rows (no widget per row), the
// columns of its list format, and for a paged list a scroll bar of its own whose
// moves are reported instead of scrolling.
#include <QAbstractTableModel>
#include <QFrame>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <vector>

#include "platform/qt/units.h"
#include "platform/ui/window.h"

class QScrollBar;

namespace zelk::qtui {

// What the list reports; the window's view implements it.
class ListHost {
 public:
  virtual ~ListHost() = default;
  virtual void listRowChosen(int ctl, int row) = 0;  // 1-based
  virtual void listScroll(int ctl, ui::Event scroll, int thumb) = 0;
  virtual void listKey(int ctl, int code, int row) = 0;  // a mouse key or a typed 1251 byte
  virtual void listVisibleRows(int ctl, int rows) = 0;
};

class RowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  RowsModel(const std::vector<ui::ListColumn>& columns, QObject* parent);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // Takes the rows; false (and nothing done) when they are the rows it holds.
  bool setRows(std::vector<ui::Window::Row>&& rows);
  const ui::ListColumn* column(int c) const;

 private:
  std::vector<ui::ListColumn> columns_;
  std::vector<ui::Window::Row> rows_;
  int extraColumns_ = 0;  // a list without a format shows its cells as they come
};

Qt::Alignment alignmentOf(char align);

class CellDelegate : public QStyledItemDelegate {
 public:
  CellDelegate(const RowsModel& model, const Units& units, QObject* parent);
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const RowsModel& model_;
  Units units_;
};

class ListHeader : public QHeaderView {
 public:
  ListHeader(const RowsModel& model, const Units& units, QWidget* parent);

 protected:
  void paintSection(QPainter* p, const QRect& rect, int logical) const override;

 private:
  const RowsModel& model_;
  Units units_;
};

class ListBox;

class ListView : public QTableView {
 public:
  explicit ListView(ListBox& box);
  void keyboardSearch(const QString&) override {}  // typed characters go to the locator

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  // A list moves by rows: Home and End go to the first and last row, Left and Right
  // scroll the columns.
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers mods) override;

 private:
  ListBox& box_;
  int wheelRest_ = 0;
};

class ListBox : public QFrame {
  Q_OBJECT
 public:
  ListBox(ListHost& host, int ctl, const std::vector<ui::ListColumn>& columns, const Units& units,
          std::uint32_t attrs, QWidget* parent);

  ListView* view() const { return view_; }
  QScrollBar* pager() const { return pager_; }
  RowsModel* model() const { return model_; }
  int ctl() const { return ctl_; }

  // From the model (no reports).
  void setRows(std::vector<ui::Window::Row>&& rows);
  void setSelectedRow(int row);  // 1-based; 0 none
  void setPaged(bool paged);
  bool paged() const { return paged_; }
  void setThumb(int percent);
  void setLineHeight(int px);  // 0: the font's
  int selectedRow() const;     // what the list shows highlighted, 1-based
  int visibleRows() const;     // rows that fit
  void reportVisibleRows();

  // From the view.
  bool pagedKey(QKeyEvent* e);  // true when handled
  void typed(const QString& text);
  void mouseKey(int code, int row);
  void wheel(int steps);

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void pagerAction(int action);

  ListHost& host_;
  int ctl_;
  RowsModel* model_;
  ListView* view_;
  QScrollBar* pager_;
  bool vscroll_;
  bool paged_ = false;
  bool syncing_ = false;
  int fontLine_ = 0;
  int reportedRows_ = -1;
};

}  // namespace zelk::qtui
