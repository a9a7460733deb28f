#include "platform/qt/view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>
#include <optional>

#include "platform/core/picture.h"
#include "platform/qt/backend.h"
#include "platform/qt/icons.h"
#include "platform/qt/keys.h"

namespace zelk::qtui {

using ui::Kind;

namespace {

constexpr char kCtlProperty[] = "zelkCtl";
constexpr int kPlaceDelayMs = 80;  // a drag reports where it stops
constexpr int kSettleMs = 300;     // the window manager places a new window meanwhile

bool byPerson(Qt::FocusReason r) {
  return r == Qt::MouseFocusReason || r == Qt::TabFocusReason || r == Qt::BacktabFocusReason ||
         r == Qt::ShortcutFocusReason;
}

bool hasWindowManager() {
  const QString p = QGuiApplication::platformName();
  return p != QLatin1String("offscreen") && p != QLatin1String("minimal");
}

}  // namespace

// The window.

View::View(QtBackend& backend, ui::Window& w, Peer& peer, QWidget* parent)
    : QMainWindow(parent),
      backend_(backend),
      w_(&w),
      peer_(peer),
      units_(mapFont(w.def().font, w.def().fontSize)),
      font_(mapFont(w.def().font, w.def().fontSize)) {
  first_ = w.first();
  last_ = w.last();
  appliedPlace_ = w.place();
  appliedMax_ = w.maximized();
  appliedMin_ = w.minimized();
  // A window with an owner is of the type the window system keeps above its owner
  // (transient for it: WM_TRANSIENT_FOR under X), with the buttons of a window.
  Qt::WindowFlags flags = (parent ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
  if (w.def().maximizeBox || w.def().kind == ui::WindowKind::AppFrame) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  placeTimer_.setSingleShot(true);
  placeTimer_.setInterval(kPlaceDelayMs);
  connect(&placeTimer_, &QTimer::timeout, this, &View::reportPlace);
  delay_.setSingleShot(true);
  build();
}

View::~View() = default;

void View::detach() {
  w_ = nullptr;
  placeTimer_.stop();
  delay_.stop();
}

void View::watch(QWidget* widget, int n) {
  widget->setProperty(kCtlProperty, n);
  widget->installEventFilter(this);
}

void View::build() {
  applying_ = true;
  const ui::WindowDef& def = w_->def();
  client_ = new Client(!def.wallpaper.empty(), this);
  client_->setObjectName(QStringLiteral("client"));
  client_->setFont(font_);
  setCentralWidget(client_);
  ctls_.resize(static_cast<std::size_t>(last_ - first_ + 1));
  for (int n = first_; n <= last_; ++n) {
    if (n == 0) continue;
    Ctl& c = at(n);
    c.n = n;
    c.def = &w_->control(n);
    if (inMenu(c.def->kind)) hasMenu_ = true;
  }
  // In declaration order: a frame's menus (-1, -2 ...), then the others.
  for (int n = -1; n >= first_; --n)
    if (inMenu(at(n).def->kind)) buildControl(at(n));
  for (int n = 1; n <= last_; ++n) buildControl(at(n));
  // A prompt's mnemonic takes the focus to the next control that can have it.
  for (int n = first_; n <= last_; ++n) {
    if (n == 0 || at(n).def->kind != Kind::Prompt) continue;
    for (int m = n + 1; m <= last_; ++m) {
      if (m == 0) continue;
      if (QWidget* f = at(m).focus) {
        at(n).label->setBuddy(f);
        at(n).mnemonic = true;
        break;
      }
    }
  }
  QIcon icon = namedIcon(def.icon);
  setWindowIcon(icon.isNull() ? programIcon() : icon);
  applying_ = false;
}

void View::buildControl(Ctl& c) {
  const ui::ControlDef& d = *c.def;
  const Drawing& k = drawing(d.kind);
  if (k.where == Where::Menu) {
    if (k.build) k.build(*this, c);
    if (c.action) c.action->setObjectName(qs(d.name));
    return;
  }
  std::optional<Picture> pic = d.picture.empty() ? std::nullopt : Picture::parse(d.picture);
  c.pictureWidth = pic ? pic->width() : 0;
  c.numeric = pic && pic->kind() == Picture::Kind::Number;
  if (k.build) k.build(*this, c);
  if (!c.widget) return;
  const ui::WindowDef& def = w_->def();
  c.widget->setObjectName(qs(d.name));
  if (!d.font.empty() || d.fontSize > 0 || d.bold) {
    QFont f = mapFont(d.font.empty() ? def.font : d.font, d.fontSize > 0 ? d.fontSize : def.fontSize);
    f.setBold(d.bold);
    c.widget->setFont(f);
  }
  if (!d.tip.empty()) c.widget->setToolTip(qs(d.tip));
  if (c.focus) {
    watch(c.focus, c.n);
    if (d.attrs & ui::kSkip) c.focus->setFocusPolicy(Qt::ClickFocus);
  }
}

QWidget* View::controlWidget(int ctl) const { return has(ctl) ? at(ctl).widget : nullptr; }
QAction* View::controlAction(int ctl) const { return has(ctl) ? at(ctl).action : nullptr; }

// Visibility and state through the containers.

int View::chosenTab(int sheet) {
  int c = w_->choice(sheet);
  if (has(c) && at(c).def->kind == Kind::Tab && at(c).def->parent == sheet && !w_->hidden(c)) return c;
  for (int m = sheet + 1; m <= last_; ++m)
    if (m != 0 && at(m).def->kind == Kind::Tab && at(m).def->parent == sheet && !w_->hidden(m)) return m;
  return 0;
}

bool View::shown(int n) {
  if (!has(n)) return true;
  signed char& memo = shownMemo_[static_cast<std::size_t>(n - first_)];
  if (memo >= 0) return memo;
  memo = 0;  // a definition whose containers loop shows nothing
  bool v = !w_->hidden(n);
  int p = at(n).def->parent;
  if (v && has(p) && p != n) {
    if (at(p).def->kind == Kind::Tab) v = chosenTab(at(p).def->parent) == p && shown(p);
    else v = shown(p);
  }
  memo = v ? 1 : 0;
  return v;
}

bool View::enabled(int n) {
  if (!has(n)) return true;
  signed char& memo = enabledMemo_[static_cast<std::size_t>(n - first_)];
  if (memo >= 0) return memo;
  memo = 0;
  bool v = !w_->disabled(n);
  int p = at(n).def->parent;
  if (v && has(p) && p != n) v = enabled(p);
  memo = v ? 1 : 0;
  return v;
}

// Passes.

QRect View::pixels(const Ctl& c, const ui::Rect& r) const {
  int x = units_.x(r.x), y = units_.y(r.y);
  QSize hint = (r.w <= 0 || r.h <= 0) ? c.widget->sizeHint() : QSize();
  int w = r.w > 0 ? units_.x(r.w) : hint.width();
  int h = r.h > 0 ? units_.y(r.h) : hint.height();
  if (c.def->kind == Kind::Line) {
    if (r.h <= 0) h = 2;
    if (r.w <= 0) w = 2;
  }
  return {x, y, std::max(1, w), std::max(1, h)};
}

void View::pass() {
  if (!w_) return;
  backend_.countPass();
  lastPass_ = std::chrono::steady_clock::now();
  applying_ = true;
  shownMemo_.assign(ctls_.size(), -1);
  enabledMemo_.assign(ctls_.size(), -1);

  QString t = qs(w_->title());
  if (t != title_) {
    title_ = t;
    setWindowTitle(t);
  }
  for (int n = first_; n <= last_; ++n)
    if (n != 0) passControl(at(n));
  // Sheets show their chosen tab once the tabs are up to date.
  for (int n = first_; n <= last_; ++n) {
    if (n == 0 || !at(n).tabs) continue;
    int tab = chosenTab(n);
    if (has(tab) && at(tab).tabIndex >= 0 && at(n).tabs->currentIndex() != at(tab).tabIndex)
      at(n).tabs->setCurrentIndex(at(tab).tabIndex);
  }
  int f = w_->focus();
  if (f != modelFocus_) {
    modelFocus_ = f;
    if (has(f) && at(f).focus && shown(f) && enabled(f)) at(f).focus->setFocus(Qt::OtherFocusReason);
  }
  if (shown_) passPlace();
  applying_ = false;
}

void View::passControl(Ctl& c) {
  const Drawing& k = drawing(c.def->kind);
  if (k.where != Where::Client) {
    if (k.pass) k.pass(*this, c);
    return;
  }
  if (!c.widget) return;
  if (k.pass) k.pass(*this, c);
  const int n = c.n;
  QRect r = pixels(c, w_->rect(n));
  if (!c.rectApplied || r != c.rect) {
    c.widget->setGeometry(r);
    c.rect = r;
    c.rectApplied = true;
    if (c.list) c.list->reportVisibleRows();
  }
  bool visible = shown(n);
  if (c.widget->isHidden() == visible) c.widget->setVisible(visible);
  c.widget->setEnabled(enabled(n));
}

// The window's place.

int View::menuHeight() const { return hasMenu_ ? menuBar()->sizeHint().height() : 0; }

QSize View::clientSize() const {
  const ui::WindowDef& def = w_->def();
  ui::Rect p = w_->place();
  int cw = def.resizable && p.w > 0 ? units_.x(p.w) : def.at.w > 0 ? units_.x(def.at.w) : 0;
  int ch = def.resizable && p.h > 0 ? units_.y(p.h) : def.at.h > 0 ? units_.y(def.at.h) : 0;
  if (cw <= 0 || ch <= 0) {
    QRect all;
    for (const Ctl& c : ctls_)
      if (c.widget && c.rectApplied && c.def && !inMenu(c.def->kind)) all |= c.rect;
    if (cw <= 0) cw = all.isEmpty() ? 480 : all.right() + 1 + units_.x(4);
    if (ch <= 0) ch = all.isEmpty() ? 320 : all.bottom() + 1 + units_.y(4);
  }
  return {std::max(cw, 80), std::max(ch, 24)};
}

void View::resizeClient(QSize s) { resize(s.width(), s.height() + menuHeight()); }

ui::Rect View::actualPlace() const {
  return {units_.duX(pos().x()), units_.duY(pos().y()), units_.duX(client_->width()), units_.duY(client_->height())};
}

void View::showFirst(int cascade, bool modal) {
  applying_ = true;
  const QSize cs = clientSize();
  if (!w_->def().resizable) {
    client_->setFixedSize(cs);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
  }
  resizeClient(cs);
  adjustSize();
  if (w_->def().resizable) resizeClient(cs);

  const ui::Rect p = w_->place();
  QScreen* scr = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  QRect area = scr ? scr->availableGeometry() : QRect(0, 0, 1024, 768);
  QSize outer = size();
  QRect around = parentWidget() ? parentWidget()->frameGeometry() : area;
  QPoint pos = around.center() - QPoint(outer.width() / 2, outer.height() / 2);
  if (!parentWidget()) pos += QPoint(24, 24) * (cascade % 8);
  pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - outer.width())));
  pos.setY(std::clamp(pos.y(), area.top(), std::max(area.top(), area.bottom() - outer.height())));
  if (p.x != ui::kDefaultPosition) pos.setX(units_.x(p.x));
  if (p.y != ui::kDefaultPosition) pos.setY(units_.y(p.y));
  move(pos);

  if (parentWidget() && modal) setWindowModality(Qt::WindowModal);
  appliedPlace_ = p;
  appliedMax_ = w_->maximized();
  appliedMin_ = w_->minimized();
  if (appliedMin_) showMinimized();
  else if (appliedMax_) showMaximized();
  else show();
  shown_ = true;
  lastActual_ = actualPlace();
  settled_ = !hasWindowManager();
  if (!settled_)
    QTimer::singleShot(kSettleMs, this, [this] {
      settled_ = true;
      lastActual_ = actualPlace();
    });
  applying_ = false;
}

void View::passPlace() {
  const ui::Rect p = w_->place();
  const bool mx = w_->maximized(), mn = w_->minimized();
  if (p != appliedPlace_) {
    appliedPlace_ = p;
    if (!mx && !mn && !isMaximized() && !isMinimized()) {
      QPoint at = pos();
      if (p.x != ui::kDefaultPosition) at.setX(units_.x(p.x));
      if (p.y != ui::kDefaultPosition) at.setY(units_.y(p.y));
      move(at);
      if (w_->def().resizable && p.w > 0 && p.h > 0) resizeClient({units_.x(p.w), units_.y(p.h)});
    }
  }
  if (mx != appliedMax_ || mn != appliedMin_) {
    appliedMax_ = mx;
    appliedMin_ = mn;
    if (mn) showMinimized();
    else if (mx) showMaximized();
    else showNormal();
  }
  if (!isMaximized() && !isMinimized()) lastActual_ = actualPlace();
}

void View::placeChanged() {
  if (w_ && shown_ && settled_ && !applying_) placeTimer_.start();
}

void View::reportPlace() {
  if (!w_) return;
  const bool mx = isMaximized(), mn = isMinimized();
  const ui::Rect actual = actualPlace();
  // Maximised, a new size is reported too (the window manager may give it late).
  if (mx == appliedMax_ && mn == appliedMin_ && (mn || actual == (mx ? lastMaxArea_ : lastActual_))) return;
  if (mx) lastMaxArea_ = actual;
  ui::Rect p = appliedPlace_;
  if (!mx && !mn) {
    p = actual;
    lastActual_ = actual;
  }
  appliedPlace_ = p;
  appliedMax_ = mx;
  appliedMin_ = mn;
  act([&] { w_->userResize(p, mx, mn, mx ? actual : ui::Rect{}); });
}

void View::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange) placeChanged();
}

void View::moveEvent(QMoveEvent* e) {
  QMainWindow::moveEvent(e);
  placeChanged();
}

void View::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  placeChanged();
}

// The person's actions.

bool View::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate && shown_) act([&] { w_->userActivate(); });
  return QMainWindow::event(e);
}

void View::closeEvent(QCloseEvent* e) {
  // The procedure decides; the close box only asks.
  e->ignore();
  act([&] { w_->userClose(); });
}

bool View::pressDefault() {
  shownMemo_.assign(ctls_.size(), -1);
  enabledMemo_.assign(ctls_.size(), -1);
  for (int n = first_; n <= last_; ++n) {
    if (n == 0 || at(n).def->kind != Kind::Button || !w_->isDefault(n)) continue;
    if (!shown(n) || !enabled(n)) continue;
    act([&] { w_->userAccept(n); });
    return true;
  }
  return false;
}

bool View::handleKey(int n, QKeyEvent* e) {
  const int code = keyCodeOf(e);
  const Kind k = at(n).def->kind;
  if (code != 0 && w_->alerted(code)) {
    int row = at(n).list ? at(n).list->selectedRow() : 0;
    act([&] { w_->userKey(n, code, row); });
    return true;
  }
  if (code == ui::key::kEsc) {
    act([&] { w_->userClose(); });
    return true;
  }
  if (code == ui::key::kEnter) {
    if (k == Kind::Entry) {
      act([&] { w_->userAccept(n); });
      pressDefault();
      return true;
    }
    if (k == Kind::Button) {
      act([&] { w_->userAccept(n); });
      return true;
    }
    return pressDefault();
  }
  return false;
}

bool View::eventFilter(QObject* o, QEvent* e) {
  if (!w_) return false;
  const QVariant v = o->property(kCtlProperty);
  if (!v.isValid()) return false;
  const int n = v.toInt();
  if (!has(n)) return false;
  switch (e->type()) {
    case QEvent::ShortcutOverride: {
      // An alerted key reaches the control instead of a shortcut.
      int code = keyCodeOf(static_cast<QKeyEvent*>(e));
      if (code != 0 && w_->alerted(code)) e->accept();
      return false;
    }
    case QEvent::KeyPress:
      return handleKey(n, static_cast<QKeyEvent*>(e));
    case QEvent::FocusIn:
      if (!applying_ && byPerson(static_cast<QFocusEvent*>(e)->reason())) {
        modelFocus_ = n;
        act([&] { w_->userFocus(n); });
      }
      return false;
    case QEvent::FocusOut:
      if (!applying_ && at(n).def->kind == Kind::Entry && byPerson(static_cast<QFocusEvent*>(e)->reason()))
        act([&] { w_->userAccept(n); });
      return false;
    default:
      return false;
  }
}

void View::listRowChosen(int ctl, int row) {
  act([&] { w_->userSelectRow(ctl, row); });
}

void View::listScroll(int ctl, ui::Event scroll, int thumb) {
  act([&] { w_->userScroll(ctl, scroll, thumb); });
  if (w_) backend_.requestPass(peer_);  // the thumb goes back to what the model says
}

void View::listKey(int ctl, int code, int row) {
  act([&] { w_->userKey(ctl, code, row); });
}

void View::listVisibleRows(int ctl, int rows) {
  if (w_) w_->setVisibleRows(ctl, rows);
}

}  // namespace zelk::qtui
