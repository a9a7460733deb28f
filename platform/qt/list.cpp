#include "platform/qt/list.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "platform/core/text.h"

namespace zelk::qtui {

namespace {

constexpr int kThumbMax = 100;

}  // namespace

Qt::Alignment alignmentOf(char align) {
  switch (align) {
    case 'R':
    case 'D':
      return Qt::AlignRight;
    case 'C':
      return Qt::AlignHCenter;
    default:
      return Qt::AlignLeft;
  }
}

// The rows.

RowsModel::RowsModel(const std::vector<ui::ListColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(columns) {}

int RowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size()) + extraColumns_;
}

const ui::ListColumn* RowsModel::column(int c) const {
  return c >= 0 && c < static_cast<int>(columns_.size()) ? &columns_[c] : nullptr;
}

QVariant RowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role == Qt::DisplayRole) {
    const ui::Window::Row& r = rows_[index.row()];
    if (index.column() >= static_cast<int>(r.size())) return QString();
    return qs(trim(r[index.column()]));
  }
  if (role == Qt::TextAlignmentRole) {
    const ui::ListColumn* c = column(index.column());
    return QVariant::fromValue(Qt::Alignment(alignmentOf(c ? c->align : 'L') | Qt::AlignVCenter));
  }
  return {};
}

QVariant RowsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o != Qt::Horizontal) return {};
  const ui::ListColumn* c = column(section);
  if (role == Qt::DisplayRole) return c ? qs(c->header) : QString();
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::Alignment(alignmentOf(c ? c->headerAlign : 'L') | Qt::AlignVCenter));
  return {};
}

bool RowsModel::setRows(std::vector<ui::Window::Row>&& rows) {
  if (rows == rows_) return false;
  int extra = 0;
  if (columns_.empty())
    for (const auto& r : rows) extra = std::max(extra, static_cast<int>(r.size()));
  beginResetModel();
  rows_ = std::move(rows);
  extraColumns_ = extra;
  endResetModel();
  return true;
}

// Painting.

CellDelegate::CellDelegate(const RowsModel& model, const Units& units, QObject* parent)
    : QStyledItemDelegate(parent), model_(model), units_(units) {}

void CellDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt(option);
  initStyleOption(&opt, index);
  const QString text = opt.text;
  opt.text.clear();
  opt.state &= ~QStyle::State_HasFocus;
  const QWidget* w = opt.widget;
  QStyle* style = w ? w->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);

  const ui::ListColumn* c = model_.column(index.column());
  Qt::Alignment a = alignmentOf(c ? c->align : 'L');
  int indent = c ? units_.x(c->indent) : 0;
  QRect r = opt.rect.adjusted(3, 0, -3, 0);
  if (a & Qt::AlignLeft) r.setLeft(r.left() + indent);
  if (a & Qt::AlignRight) r.setRight(r.right() - indent);
  QPalette::ColorGroup cg = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                            : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                 : QPalette::Inactive;
  p->save();
  p->setFont(opt.font);
  p->setPen(opt.palette.color(cg, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
  p->drawText(r, a | Qt::AlignVCenter | Qt::TextSingleLine, text);
  if (c && c->rightBorder) {
    p->setPen(opt.palette.color(QPalette::Mid));
    p->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
  }
  p->restore();
}

ListHeader::ListHeader(const RowsModel& model, const Units& units, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), model_(model), units_(units) {}

void ListHeader::paintSection(QPainter* p, const QRect& rect, int logical) const {
  if (!rect.isValid()) return;
  QStyleOptionHeader opt;
  initStyleOption(&opt);
  opt.rect = rect;
  opt.section = logical;
  opt.text.clear();
  if (isEnabled()) opt.state |= QStyle::State_Enabled;
  int visual = visualIndex(logical);
  if (count() == 1) opt.position = QStyleOptionHeader::OnlyOneSection;
  else if (visual == 0) opt.position = QStyleOptionHeader::Beginning;
  else if (visual == count() - 1) opt.position = QStyleOptionHeader::End;
  else opt.position = QStyleOptionHeader::Middle;
  p->save();
  style()->drawControl(QStyle::CE_HeaderSection, &opt, p, this);
  const ui::ListColumn* c = model_.column(logical);
  if (c && !c->header.empty()) {
    Qt::Alignment a = alignmentOf(c->headerAlign);
    int indent = units_.x(c->headerIndent);
    QRect r = rect.adjusted(4, 0, -4, 0);
    if (a & Qt::AlignLeft) r.setLeft(r.left() + indent);
    if (a & Qt::AlignRight) r.setRight(r.right() - indent);
    p->setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::ButtonText));
    p->drawText(r, a | Qt::AlignVCenter | Qt::TextSingleLine, qs(c->header));
  }
  p->restore();
}

// The table.

ListView::ListView(ListBox& box) : QTableView(&box), box_(box) {}

void ListView::keyPressEvent(QKeyEvent* e) {
  if (box_.pagedKey(e)) return;
  Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const QString t = e->text();
  if (!mods && !t.isEmpty() && t.at(0).isPrint()) {
    box_.typed(t);
    return;
  }
  QTableView::keyPressEvent(e);
}

void ListView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    // The framework highlights the row itself; a right press alone changes nothing.
    setFocus(Qt::MouseFocusReason);
    e->accept();
    return;
  }
  QTableView::mousePressEvent(e);
}

void ListView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    e->accept();
    box_.mouseKey(ui::key::kMouseRightUp, rowAt(e->position().toPoint().y()) + 1);
    return;
  }
  QTableView::mouseReleaseEvent(e);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    e->accept();
    return;
  }
  QTableView::mouseDoubleClickEvent(e);
  box_.mouseKey(ui::key::kMouseLeft2, rowAt(e->position().toPoint().y()) + 1);
}

void ListView::wheelEvent(QWheelEvent* e) {
  if (!box_.paged()) {
    QTableView::wheelEvent(e);
    return;
  }
  e->accept();
  wheelRest_ += e->angleDelta().y();
  int steps = wheelRest_ / 120;
  wheelRest_ -= steps * 120;
  if (steps) box_.wheel(steps);
}

void ListView::contextMenuEvent(QContextMenuEvent* e) { e->accept(); }

QModelIndex ListView::moveCursor(CursorAction action, Qt::KeyboardModifiers mods) {
  switch (action) {
    case MoveHome:
    case MoveEnd:
      return QTableView::moveCursor(action, mods | Qt::ControlModifier);
    case MoveLeft:
    case MoveRight: {
      QScrollBar* h = horizontalScrollBar();
      h->triggerAction(action == MoveLeft ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
      return currentIndex();
    }
    default:
      return QTableView::moveCursor(action, mods);
  }
}

// The box around it.

ListBox::ListBox(ListHost& host, int ctl, const std::vector<ui::ListColumn>& columns, const Units& units,
                 std::uint32_t attrs, QWidget* parent)
    : QFrame(parent), host_(host), ctl_(ctl), vscroll_(attrs & ui::kVScroll) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);

  model_ = new RowsModel(columns, this);
  view_ = new ListView(*this);
  view_->setFrameStyle(QFrame::NoFrame);
  view_->setHorizontalHeader(new ListHeader(*model_, units, view_));
  view_->setModel(model_);
  view_->setItemDelegate(new CellDelegate(*model_, units, view_));
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setShowGrid(false);
  view_->setWordWrap(false);
  view_->setCornerButtonEnabled(false);
  view_->setTabKeyNavigation(false);
  view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view_->setVerticalScrollBarPolicy(vscroll_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  view_->setHorizontalScrollBarPolicy((attrs & ui::kHScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);

  QHeaderView* vh = view_->verticalHeader();
  vh->hide();
  vh->setSectionResizeMode(QHeaderView::Fixed);
  vh->setMinimumSectionSize(1);
  fontLine_ = QFontMetrics(font()).height() + 3;
  vh->setDefaultSectionSize(fontLine_);

  QHeaderView* hh = view_->horizontalHeader();
  hh->setSectionsClickable(false);
  hh->setHighlightSections(false);
  hh->setStretchLastSection(true);
  hh->setMinimumSectionSize(4);
  bool anyHeader = false;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ui::ListColumn& c = columns[i];
    hh->resizeSection(static_cast<int>(i), std::max(4, units.x(c.width)));
    hh->setSectionResizeMode(static_cast<int>(i), c.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
    if (!c.header.empty()) anyHeader = true;
  }
  if (!anyHeader) hh->hide();
  lay->addWidget(view_);

  pager_ = new QScrollBar(Qt::Vertical, this);
  pager_->setRange(0, kThumbMax);
  pager_->setSingleStep(1);
  pager_->setPageStep(10);
  pager_->setFocusPolicy(Qt::NoFocus);
  pager_->hide();
  lay->addWidget(pager_);
  connect(pager_, &QScrollBar::actionTriggered, this, &ListBox::pagerAction);
  connect(pager_, &QScrollBar::sliderReleased, this, [this] {
    if (!syncing_) host_.listScroll(ctl_, ui::Event::ScrollDrag, pager_->sliderPosition());
  });

  setFocusProxy(view_);
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& cur, const QModelIndex&) {
            if (!syncing_ && cur.isValid()) host_.listRowChosen(ctl_, cur.row() + 1);
          });
}

void ListBox::setRows(std::vector<ui::Window::Row>&& rows) {
  int keep = selectedRow();
  syncing_ = true;
  bool changed = model_->setRows(std::move(rows));
  syncing_ = false;
  if (changed && keep > 0) setSelectedRow(keep);
}

int ListBox::selectedRow() const {
  QModelIndex cur = view_->selectionModel()->currentIndex();
  return cur.isValid() && view_->selectionModel()->isRowSelected(cur.row(), {}) ? cur.row() + 1 : 0;
}

void ListBox::setSelectedRow(int row) {
  syncing_ = true;
  QItemSelectionModel* sm = view_->selectionModel();
  if (row < 1 || row > model_->rowCount()) {
    if (sm->hasSelection() || sm->currentIndex().isValid()) sm->clear();
  } else if (selectedRow() != row) {
    QModelIndex idx = model_->index(row - 1, 0);
    sm->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(idx, QAbstractItemView::EnsureVisible);
  }
  syncing_ = false;
}

void ListBox::setPaged(bool paged) {
  if (paged == paged_) return;
  paged_ = paged;
  view_->setVerticalScrollBarPolicy(paged_ || !vscroll_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  pager_->setVisible(paged_ && vscroll_);
}

void ListBox::setThumb(int percent) {
  syncing_ = true;
  pager_->setValue(std::clamp(percent, 0, kThumbMax));
  syncing_ = false;
}

void ListBox::setLineHeight(int px) {
  int h = px > 0 ? px : fontLine_;
  if (view_->verticalHeader()->defaultSectionSize() == h) return;
  view_->verticalHeader()->setDefaultSectionSize(h);
  reportVisibleRows();
}

int ListBox::visibleRows() const {
  int h = height() - 2 * frameWidth();
  if (!view_->horizontalHeader()->isHidden()) h -= view_->horizontalHeader()->sizeHint().height();
  if (view_->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
    h -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  int rh = std::max(1, view_->verticalHeader()->defaultSectionSize());
  return std::max(1, h / rh);
}

void ListBox::reportVisibleRows() {
  int n = visibleRows();
  if (n == reportedRows_) return;
  reportedRows_ = n;
  host_.listVisibleRows(ctl_, n);
}

void ListBox::resizeEvent(QResizeEvent* e) {
  QFrame::resizeEvent(e);
  reportVisibleRows();
}

bool ListBox::pagedKey(QKeyEvent* e) {
  if (!paged_) return false;
  Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (mods) return false;
  int cur = view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
  int last = model_->rowCount() - 1;
  ui::Event ev = ui::Event::None;
  switch (e->key()) {
    case Qt::Key_Up:
      if (cur <= 0) ev = ui::Event::ScrollUp;
      break;
    case Qt::Key_Down:
      if (cur >= last) ev = ui::Event::ScrollDown;
      break;
    case Qt::Key_PageUp:
      ev = ui::Event::PageUp;
      break;
    case Qt::Key_PageDown:
      ev = ui::Event::PageDown;
      break;
    case Qt::Key_Home:
      ev = ui::Event::ScrollTop;
      break;
    case Qt::Key_End:
      ev = ui::Event::ScrollBottom;
      break;
    default:
      break;
  }
  if (ev == ui::Event::None) return false;
  host_.listScroll(ctl_, ev, 0);
  return true;
}

void ListBox::typed(const QString& text) {
  for (char c : ansiOf(text))
    if (c != 0) host_.listKey(ctl_, static_cast<unsigned char>(c), selectedRow());
}

void ListBox::mouseKey(int code, int row) { host_.listKey(ctl_, code, row); }

void ListBox::wheel(int steps) {
  int lines = std::max(1, QApplication::wheelScrollLines());
  ui::Event ev = steps > 0 ? ui::Event::ScrollUp : ui::Event::ScrollDown;
  for (int i = 0; i < std::abs(steps) * lines; ++i) host_.listScroll(ctl_, ev, 0);
}

void ListBox::pagerAction(int action) {
  if (syncing_) return;
  ui::Event ev = ui::Event::None;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      ev = ui::Event::ScrollDown;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      ev = ui::Event::ScrollUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      ev = ui::Event::PageDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      ev = ui::Event::PageUp;
      break;
    case QAbstractSlider::SliderToMinimum:
      ev = ui::Event::ScrollTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      ev = ui::Event::ScrollBottom;
      break;
    default:
      return;  // a drag reports where it ends
  }
  // The thumb shows what the model says, not the step the bar would take.
  pager_->setSliderPosition(pager_->value());
  host_.listScroll(ctl_, ev, 0);
}

}  // namespace zelk::qtui
