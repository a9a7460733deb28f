// The kinds of control on the screen: for each, what is built for it and what a
// refresh pass draws of it.
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "platform/core/text.h"
#include "platform/qt/backend.h"
#include "platform/qt/icons.h"
#include "platform/qt/view.h"

namespace zelk::qtui {

using ui::Kind;

const View::Drawing& View::drawing(Kind k) {
  // The menu an item or a submenu is added to; none: the menu bar.
  static constexpr auto parentMenu = [](View& v, const Ctl& c) -> QMenu* {
    return v.has(c.def->parent) ? v.at(c.def->parent).menu : nullptr;
  };
  // A menu's or an item's text, visibility and state.
  static constexpr auto passAction = [](View& v, Ctl& c) {
    if (!c.action) return;
    const int n = c.n;
    if (!c.action->isSeparator()) {
      QString t = qs(v.w_->text(n));
      if (c.action->text() != t) c.action->setText(t);
    }
    c.action->setVisible(!v.w_->hidden(n));
    c.action->setEnabled(!v.w_->disabled(n));
  };
  // An option box or a group: a frame with its title, or nothing to see without one.
  static constexpr auto buildFrame = [](View& v, Ctl& c) {
    const ui::ControlDef& d = *c.def;
    const QString text = qs(d.text);
    if (text.isEmpty()) {
      c.widget = new QWidget(v.client_);
      c.widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
      c.widget = new QGroupBox(text, v.client_);
    }
    if (d.kind == Kind::Option) {
      c.group = new QButtonGroup(&v);
      c.group->setExclusive(true);
    }
  };
  static constexpr auto passFrame = [](View& v, Ctl& c) {
    if (auto* g = qobject_cast<QGroupBox*>(c.widget)) {
      QString t = qs(v.w_->text(c.n));
      if (g->title() != t) g->setTitle(t);
    }
  };
  static constexpr auto buildLabel = [](View& v, Ctl& c) {
    c.label = new QLabel(v.client_);
    c.label->setTextFormat(Qt::PlainText);
    c.widget = c.label;
  };
  static constexpr auto passLabel = [](View& v, Ctl& c) {
    const ui::ControlDef& d = *c.def;
    const std::string text = v.w_->text(c.n);
    QString t;
    Qt::Alignment a = Qt::AlignLeft;
    if (d.kind == Kind::String && d.use) {
      t = qs(trim(text));
      if (c.numeric) a = Qt::AlignRight;
    } else {
      t = c.mnemonic ? qs(text) : withoutMnemonic(qs(text));
    }
    if (c.label->text() != t) c.label->setText(t);
    ui::Rect r = v.w_->rect(c.n);
    a |= (r.h > 0 && v.units_.y(r.h) >= 2 * v.units_.charHeight()) ? Qt::AlignTop : Qt::AlignVCenter;
    if (c.label->alignment() != a) c.label->setAlignment(a);
  };

  struct Entry {
    Kind kind;
    Drawing drawing;
  };
  static const Entry kinds[] = {
      {Kind::MenuBar,
       {Where::Menu, [](View& v, Ctl& c) { c.widget = v.menuBar(); },
        [](View& v, Ctl& c) {
          if (!c.widget) return;
          c.widget->setHidden(v.w_->hidden(c.n));
          c.widget->setEnabled(!v.w_->disabled(c.n));
        }}},
      {Kind::Menu,
       {Where::Menu,
        [](View& v, Ctl& c) {
          const QString text = qs(c.def->text);
          QMenu* in = parentMenu(v, c);
          c.menu = in ? in->addMenu(text) : v.menuBar()->addMenu(text);
          c.menu->setObjectName(qs(c.def->name));
          c.action = c.menu->menuAction();
        },
        passAction}},
      {Kind::Item,
       {Where::Menu,
        [](View& v, Ctl& c) {
          const QString text = qs(c.def->text);
          QMenu* in = parentMenu(v, c);
          if (text.isEmpty() || text == QLatin1String("-")) {
            c.action = in ? in->addSeparator() : v.menuBar()->addSeparator();
            return;
          }
          c.action = in ? in->addAction(text) : v.menuBar()->addAction(text);
          const int n = c.n;
          connect(c.action, &QAction::triggered, &v, [&v, n] { v.act([&] { v.w_->userAccept(n); }); });
        },
        passAction}},
      {Kind::List,
       {Where::Client,
        [](View& v, Ctl& c) {
          c.list = new ListBox(v, c.n, v.w_->columns(c.n), v.units_, c.def->attrs, v.client_);
          c.widget = c.list;
          c.focus = c.list->view();
        },
        [](View& v, Ctl& c) {
          const int n = c.n;
          c.list->setPaged(v.w_->paged(n));
          if (v.peer_.takeList(n)) c.list->setRows(v.w_->rows(n));
          int lh = v.w_->lineHeight(n);
          c.list->setLineHeight(lh > 0 ? v.units_.y(lh) : 0);
          c.list->setThumb(v.w_->thumb(n));
          c.list->setSelectedRow(v.w_->selectedRow(n));
        }}},
      {Kind::Entry,
       {Where::Client,
        [](View& v, Ctl& c) {
          const ui::ControlDef& d = *c.def;
          c.entry = new QLineEdit(v.client_);
          if (c.pictureWidth > 0) c.entry->setMaxLength(c.pictureWidth);
          else if (d.use.type == ui::Use::Type::Text && d.use.width > 0) c.entry->setMaxLength(static_cast<int>(d.use.width));
          if (c.numeric) c.entry->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
          const int n = c.n;
          connect(c.entry, &QLineEdit::textEdited, &v,
                  [&v, n](const QString& t) { v.act([&] { v.w_->userType(n, ansiOf(t)); }); });
          c.widget = c.focus = c.entry;
        },
        [](View& v, Ctl& c) {
          const int n = c.n;
          const std::string text = v.w_->text(n);
          std::string_view want = trim(text);
          if (std::string(trim(ansiOf(c.entry->text()))) != want) c.entry->setText(qs(want));
          const bool ro = v.w_->readOnly(n);
          if (c.entry->isReadOnly() != ro) {
            c.entry->setReadOnly(ro);
            // A read-only entry looks it: the window's background instead of the entry's.
            QPalette pal = c.entry->parentWidget()->palette();
            if (ro) pal.setColor(QPalette::Base, pal.color(QPalette::Window));
            c.entry->setPalette(pal);
          }
        }}},
      {Kind::Button,
       {Where::Client,
        [](View& v, Ctl& c) {
          const ui::ControlDef& d = *c.def;
          auto* b = new QPushButton(qs(d.text), v.client_);
          b->setAutoDefault(false);
          if (!d.icon.empty()) {
            c.icon = namedIcon(d.icon);
            // Inside the button's frame, at most the usual small-icon size.
            constexpr int kSmallIcon = 16, kFrame = 8, kLeast = 10;
            int side = d.at.h > 0 ? std::clamp(v.units_.y(d.at.h) - kFrame, kLeast, kSmallIcon) : kSmallIcon;
            b->setIconSize({side, side});
          }
          const int n = c.n;
          connect(b, &QPushButton::clicked, &v, [&v, n] { v.act([&] { v.w_->userAccept(n); }); });
          c.widget = c.focus = b;
        },
        [](View& v, Ctl& c) {
          const int n = c.n;
          auto* b = static_cast<QPushButton*>(c.widget);
          QString t = qs(v.w_->text(n));
          if (b->text() != t) b->setText(t);
          b->setDefault(v.w_->isDefault(n));
          if (!c.icon.isNull()) {
            // The text comes first: the icon shows where both fit.
            constexpr int kSpacing = 4, kMargins = 8;
            const int need = b->fontMetrics().horizontalAdvance(withoutMnemonic(t)) + b->iconSize().width() +
                             kSpacing + kMargins;
            const bool fits = need <= v.pixels(c, v.w_->rect(n)).width();
            if (fits == b->icon().isNull()) b->setIcon(fits ? c.icon : QIcon());
          }
        }}},
      {Kind::Sheet,
       {Where::Client,
        [](View& v, Ctl& c) {
          c.tabs = new QTabWidget(v.client_);
          c.tabs->setUsesScrollButtons(true);
          const int n = c.n;
          connect(c.tabs, &QTabWidget::currentChanged, &v, [&v, n](int index) {
            for (int m = n + 1; m <= v.last_; ++m)
              if (m != 0 && v.at(m).def->kind == Kind::Tab && v.at(m).def->parent == n && v.at(m).tabIndex == index) {
                v.act([&] { v.w_->userChoose(n, m); });
                return;
              }
          });
          c.tabs->lower();  // beneath every control, also those declared before it
          c.widget = c.tabs;
          c.focus = c.tabs->tabBar();
        },
        nullptr}},
      {Kind::Tab,
       {Where::Sheet,
        [](View& v, Ctl& c) {
          const ui::ControlDef& d = *c.def;
          if (!v.has(d.parent) || !v.at(d.parent).tabs) return;
          auto* page = new QWidget;
          page->setObjectName(qs(d.name));
          c.tabIndex = v.at(d.parent).tabs->addTab(page, qs(d.text));
        },
        [](View& v, Ctl& c) {
          if (c.tabIndex < 0) return;
          const int n = c.n;
          QTabWidget* tw = v.at(c.def->parent).tabs;
          QString t = qs(v.w_->text(n));
          if (tw->tabText(c.tabIndex) != t) tw->setTabText(c.tabIndex, t);
          bool visible = !v.w_->hidden(n);
          if (tw->isTabVisible(c.tabIndex) != visible) tw->setTabVisible(c.tabIndex, visible);
          bool en = !v.w_->disabled(n);
          if (tw->isTabEnabled(c.tabIndex) != en) tw->setTabEnabled(c.tabIndex, en);
        }}},
      {Kind::Option, {Where::Client, buildFrame, passFrame}},
      {Kind::Group, {Where::Client, buildFrame, passFrame}},
      {Kind::Radio,
       {Where::Client,
        [](View& v, Ctl& c) {
          const ui::ControlDef& d = *c.def;
          auto* r = new QRadioButton(qs(d.text), v.client_);
          r->setAutoExclusive(false);
          if (v.has(d.parent) && v.at(d.parent).group) v.at(d.parent).group->addButton(r);
          const int n = c.n;
          connect(r, &QRadioButton::clicked, &v, [&v, n](bool checked) {
            if (checked) v.act([&] { v.w_->userChoose(n, n); });
          });
          c.widget = c.focus = r;
        },
        [](View& v, Ctl& c) {
          const ui::ControlDef& d = *c.def;
          const int n = c.n;
          auto* r = static_cast<QRadioButton*>(c.widget);
          QString t = qs(v.w_->text(n));
          if (r->text() != t) r->setText(t);
          bool want = v.has(d.parent) && v.w_->choice(d.parent) == n;
          if (r->isChecked() != want) {
            QButtonGroup* g = v.has(d.parent) ? v.at(d.parent).group : nullptr;
            if (!want && g) {
              g->setExclusive(false);
              r->setChecked(false);
              g->setExclusive(true);
            } else {
              r->setChecked(want);
            }
          }
        }}},
      {Kind::Prompt, {Where::Client, buildLabel, passLabel}},
      {Kind::String, {Where::Client, buildLabel, passLabel}},
      {Kind::Line,
       {Where::Client,
        [](View& v, Ctl& c) {
          auto* f = new QFrame(v.client_);
          f->setFrameShadow(QFrame::Sunken);
          f->setFrameShape(c.def->at.w >= c.def->at.h ? QFrame::HLine : QFrame::VLine);
          c.widget = f;
        },
        nullptr}},
  };
  for (const Entry& e : kinds)
    if (e.kind == k) return e.drawing;
  static const Drawing none;  // nothing is built or drawn
  return none;
}

}  // namespace zelk::qtui
