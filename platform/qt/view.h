#pragma once
// The drawing of one open window: a top-level widget built from the window's
// definition, redrawn from the model's properties in refresh passes, reporting the
// person's actions through the model's user...() operations.
#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/qt/backend.h"
#include "platform/qt/client.h"
#include "platform/qt/list.h"
#include "platform/qt/units.h"
#include "platform/ui/window.h"

class QAction;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;

namespace zelk::qtui {

class View : public QMainWindow, public ListHost {
  Q_OBJECT
 public:
  View(QtBackend& backend, ui::Window& w, Peer& peer, QWidget* parent);
  ~View() override;

  ui::Window* window() const { return w_; }
  // Forgets the window: no later call reads or reports anything.
  void detach();
  // Places and shows the window the first time; modal: its owner waits for it.
  void showFirst(int cascade, bool modal);

  // A refresh pass: everything drawn again from the model's properties (a list's rows
  // only when they were marked changed).
  void pass();
  std::chrono::steady_clock::time_point lastPass() const { return lastPass_; }
  QTimer& delay() { return delay_; }

  QWidget* controlWidget(int ctl) const;
  QAction* controlAction(int ctl) const;
  QWidget* client() const { return client_; }
  const Units& units() const { return units_; }

  // ListHost.
  void listRowChosen(int ctl, int row) override;
  void listScroll(int ctl, ui::Event scroll, int thumb) override;
  void listKey(int ctl, int code, int row) override;
  void listVisibleRows(int ctl, int rows) override;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct Ctl {
    int n = 0;
    const ui::ControlDef* def = nullptr;
    QWidget* widget = nullptr;  // what stands at the control's place
    QWidget* focus = nullptr;   // what takes the focus for it
    QAction* action = nullptr;  // menus and items
    QMenu* menu = nullptr;
    ListBox* list = nullptr;
    QTabWidget* tabs = nullptr;
    QButtonGroup* group = nullptr;
    QLabel* label = nullptr;
    QLineEdit* entry = nullptr;
    int tabIndex = -1;  // a tab's index on its sheet
    int pictureWidth = 0;  // the characters of its picture, 0 none
    bool numeric = false;
    bool mnemonic = false;  // a label whose "&" marks its buddy's key
    bool rectApplied = false;
    QRect rect;
    QIcon icon;  // a button's picture, shown where its text leaves room
  };

  // Where a kind of control stands.
  enum class Where : std::uint8_t {
    Menu,    // in the menu bar, built before the other controls
    Sheet,   // a page of its sheet
    Client,  // a widget at its own place in the client area
  };
  // What a kind of control is on the screen: what is built for it, and what a pass
  // draws of it; a Client control's place, visibility and state follow, the same for
  // every kind. controlkinds.cpp holds one a kind.
  struct Drawing {
    Where where = Where::Client;
    void (*build)(View& v, Ctl& c) = nullptr;
    void (*pass)(View& v, Ctl& c) = nullptr;
  };
  static const Drawing& drawing(ui::Kind k);
  static bool inMenu(ui::Kind k) { return drawing(k).where == Where::Menu; }

  Ctl& at(int n) { return ctls_[n - first_]; }
  const Ctl& at(int n) const { return ctls_[n - first_]; }
  bool has(int n) const { return n >= first_ && n <= last_ && n != 0; }
  void build();
  void buildControl(Ctl& c);
  void watch(QWidget* widget, int n);
  void passControl(Ctl& c);
  void passPlace();
  bool shown(int n);    // drawn, given hidden controls, their containers and chosen tabs
  bool enabled(int n);  // not disabled, nor its containers
  int chosenTab(int sheet);
  QRect pixels(const Ctl& c, const ui::Rect& r) const;
  QSize clientSize() const;
  int menuHeight() const;
  void resizeClient(QSize s);
  ui::Rect actualPlace() const;
  void placeChanged();
  void reportPlace();
  bool handleKey(int n, QKeyEvent* e);
  bool pressDefault();
  template <class F>
  void act(F&& f);

  QtBackend& backend_;
  ui::Window* w_;
  Peer& peer_;
  Units units_;
  QFont font_;
  Client* client_ = nullptr;
  int first_ = 0, last_ = 0;
  std::vector<Ctl> ctls_;
  bool applying_ = false;
  bool hasMenu_ = false;
  bool shown_ = false;
  bool settled_ = false;
  int modelFocus_ = 0;
  QString title_;
  ui::Rect appliedPlace_;
  bool appliedMax_ = false, appliedMin_ = false;
  ui::Rect lastActual_;
  ui::Rect lastMaxArea_;  // reported while maximised
  QTimer placeTimer_;
  QTimer delay_;
  std::chrono::steady_clock::time_point lastPass_{};
  // Cached per pass.
  std::vector<signed char> shownMemo_, enabledMemo_;
};

template <class F>
void View::act(F&& f) {
  if (w_ && !applying_) backend_.act(std::forward<F>(f));
}

}  // namespace zelk::qtui
