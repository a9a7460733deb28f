#include "platform/ui/window.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/core/picture.h"
#include "platform/core/text.h"

namespace zelk::ui {

struct Window::Control {
  const ControlDef* def = nullptr;
  std::string text;
  std::string shown;  // the variable's value as last displayed
  bool everShown = false;
  bool hidden = false, disabled = false, readOnly = false, isDefault = false;
  int lineHeight = -1;
  Rect rect;
  std::vector<Row> rows;
  int selected = 0;
  bool paged = false;
  int thumb = 0;
  int visibleRows = 10;
  int choice = 0;
  std::vector<ListColumn> columns;
};

namespace {

// The open windows of every thread, innermost last.
std::mutex registryMutex;
std::map<std::thread::id, std::vector<Window*>>& registry() {
  static std::map<std::thread::id, std::vector<Window*>> r;
  return r;
}
std::vector<Window*>& openOrder() {
  static std::vector<Window*> v;
  return v;
}
std::atomic<std::uint64_t> lastSerial{0};
thread_local std::uint64_t startedFrom = 0;

// No screen: the owner sleeps until another thread queues an event.
class Headless : public Backend {
 public:
  void opened(Window&) override {}
  void closed(Window&) override {}
  void changed(Window&, int) override {}
  void waitForEvent(Window& w) override { w.waitQueued(); }
  void beep() override {}
  void setCursor(Cursor) override {}
  std::optional<std::string> askOpenFile(Window&, const FileDialog&) override { return std::nullopt; }
  void printerSetup(Window&) override {}
};

Headless headless;
std::atomic<Backend*> current{&headless};

// The variable's value as its control shows it.
std::string formatUse(const ControlDef& d, const Use& u) {
  std::optional<Picture> pic = d.picture.empty() ? std::nullopt : Picture::parse(d.picture);
  if (u.type == Use::Type::Text) {
    std::string v = u.getText();
    return std::string(trimRight(pic ? pic->formatText(v) : v));
  }
  double v = u.getNumber();
  if (pic) return pic->format(v);
  return numberText(v);
}

}  // namespace

void Backend::pause(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

void setBackend(Backend* b) { current = b ? b : &headless; }
Backend& backend() { return *current.load(); }

Window::Window(const WindowDef& def) : def_(def), owner_(std::this_thread::get_id()), serial_(++lastSerial) {
  title_ = def_.title;
  place_ = def_.at;
  controls_.resize(def_.controls.size());
  if (def_.kind == WindowKind::AppFrame)
    for (const ControlDef& c : def_.controls)
      if (c.kind == Kind::MenuBar || c.kind == Kind::Menu || c.kind == Kind::Item) ++menus_;
  // Frame menus first (-1, -2 ...), then the others (1, 2 ...), each in declaration order.
  int menuNo = 0, otherNo = 0;
  std::vector<int> slot(def_.controls.size());
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    bool menu = menus_ > 0 && (c.kind == Kind::MenuBar || c.kind == Kind::Menu || c.kind == Kind::Item);
    slot[i] = menu ? menuNo++ : menus_ + otherNo++;
  }
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    Control& c = controls_[slot[i]];
    c.def = &def_.controls[i];
    c.text = c.def->text;
    c.hidden = c.def->attrs & kHidden;
    c.disabled = c.def->attrs & kDisabled;
    c.readOnly = c.def->attrs & kReadOnly;
    c.isDefault = c.def->attrs & kDefault;
    c.rect = c.def->at;
    if (c.def->kind == Kind::List) c.columns = parseListFormat(c.def->format);
  }
  // Parents named in the definition: a name it does not hold is a fault of the
  // definition, never a control silently placed on nothing.
  for (ControlDef& c : def_.controls) {
    if (c.parentName.empty()) continue;
    c.parent = number(c.parentName);
    if (c.parent == 0) throw std::logic_error("window " + def_.key + ": control " + c.name + " has no parent " + c.parentName);
  }
}

Window::~Window() {
  if (isOpen()) close();
}

int Window::first() const { return menus_ ? -menus_ : 1; }
int Window::last() const { return static_cast<int>(controls_.size()) - menus_; }

bool Window::exists(int ctl) const {
  if (ctl == 0) return false;
  if (ctl < 0) return -ctl <= menus_;
  return ctl <= last();
}

Window::Control& Window::at(int ctl) {
  thread_local Control none;
  if (!exists(ctl)) return none = Control{};
  return controls_[ctl < 0 ? -ctl - 1 : menus_ + ctl - 1];
}

const Window::Control& Window::at(int ctl) const { return const_cast<Window*>(this)->at(ctl); }

const ControlDef& Window::control(int ctl) const {
  static const ControlDef none{};
  const Control& c = at(ctl);
  return c.def ? *c.def : none;
}

int Window::number(std::string_view name) const {
  for (int n = first(); n <= last(); ++n)
    if (n != 0 && cp::sameName(control(n).name, name)) return n;
  return 0;
}

void Window::notify(int ctl) { backend().changed(*this, ctl); }

void Window::open() {
  {
    std::lock_guard g(registryMutex);
    std::vector<Window*>& mine = registry()[owner_];
    opener_ = mine.empty() ? nullptr : mine.back();
    if (!opener_ && startedFrom != 0)
      for (Window* o : openOrder())
        if (o->serial_ == startedFrom) opener_ = o;
    mine.push_back(this);
    openOrder().push_back(this);
  }
  {
    std::lock_guard g(m_);
    open_ = true;
    queue({Event::OpenWindow});
    queue({Event::Sized});
  }
  backend().opened(*this);
}

void Window::close() {
  {
    std::lock_guard g(m_);
    if (!open_) return;
    open_ = false;
  }
  {
    std::lock_guard g(registryMutex);
    auto& v = registry()[owner_];
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    if (v.empty()) registry().erase(owner_);
    auto& o = openOrder();
    o.erase(std::remove(o.begin(), o.end(), this), o.end());
    for (Window* other : o)
      if (other->opener_ == this) other->opener_ = nullptr;
    opener_ = nullptr;
  }
  backend().closed(*this);
}

bool Window::isOpen() const {
  std::lock_guard g(m_);
  return open_;
}

bool Window::innermost() const {
  std::lock_guard g(registryMutex);
  auto it = registry().find(owner_);
  return it != registry().end() && !it->second.empty() && it->second.back() == this;
}

Window* Window::opener() const {
  std::lock_guard g(registryMutex);
  return opener_;
}

std::uint64_t threadStarter() {
  std::lock_guard g(registryMutex);
  auto it = registry().find(std::this_thread::get_id());
  return it == registry().end() || it->second.empty() ? 0 : it->second.back()->serial();
}

void setThreadStarter(std::uint64_t starter) { startedFrom = starter; }

std::vector<Window*> threadWindows() {
  std::lock_guard g(registryMutex);
  auto it = registry().find(std::this_thread::get_id());
  return it == registry().end() ? std::vector<Window*>{} : it->second;
}

std::vector<Window*> allWindows() {
  std::lock_guard g(registryMutex);
  return openOrder();
}

int postToThread(std::thread::id t, Event e) {
  std::lock_guard g(registryMutex);  // a window leaves the registry before it goes
  auto it = registry().find(t);
  if (it == registry().end()) return 0;
  for (Window* w : it->second) w->post(e);
  return static_cast<int>(it->second.size());
}

// Properties.

namespace {

// What m guards, read under it.
template <class T>
T read(std::mutex& m, const T& member) {
  std::lock_guard g(m);
  return member;
}

}  // namespace

template <class T, class V>
void Window::change(int ctl, T& member, V&& value) {
  {
    std::lock_guard g(m_);
    if (member == value) return;
    member = std::forward<V>(value);
  }
  notify(ctl);
}

void Window::setTitle(std::string t) { change(0, title_, std::move(t)); }
std::string Window::title() const { return read(m_, title_); }
void Window::setText(int ctl, std::string t) { change(ctl, at(ctl).text, std::move(t)); }
std::string Window::text(int ctl) const { return read(m_, at(ctl).text); }
void Window::hide(int ctl, bool h) { change(ctl, at(ctl).hidden, h); }
bool Window::hidden(int ctl) const { return read(m_, at(ctl).hidden); }
void Window::disable(int ctl, bool d) { change(ctl, at(ctl).disabled, d); }
bool Window::disabled(int ctl) const { return read(m_, at(ctl).disabled); }
void Window::setReadOnly(int ctl, bool on) { change(ctl, at(ctl).readOnly, on); }
bool Window::readOnly(int ctl) const { return read(m_, at(ctl).readOnly); }
void Window::setDefault(int ctl, bool on) { change(ctl, at(ctl).isDefault, on); }
bool Window::isDefault(int ctl) const { return read(m_, at(ctl).isDefault); }
void Window::setLineHeight(int ctl, int h) { change(ctl, at(ctl).lineHeight, h); }
int Window::lineHeight(int ctl) const { return read(m_, at(ctl).lineHeight); }
void Window::setRect(int ctl, Rect r) { change(ctl, at(ctl).rect, r); }
Rect Window::rect(int ctl) const { return read(m_, at(ctl).rect); }
void Window::setSelectedRow(int ctl, int row) { change(ctl, at(ctl).selected, row); }
int Window::selectedRow(int ctl) const { return read(m_, at(ctl).selected); }
void Window::setPaged(int ctl, bool p) { change(ctl, at(ctl).paged, p); }
bool Window::paged(int ctl) const { return read(m_, at(ctl).paged); }
void Window::setThumb(int ctl, int t) { change(ctl, at(ctl).thumb, t); }
int Window::thumb(int ctl) const { return read(m_, at(ctl).thumb); }
int Window::visibleRows(int ctl) const { return read(m_, at(ctl).visibleRows); }
void Window::setChoice(int ctl, int c) { change(ctl, at(ctl).choice, c); }
int Window::choice(int ctl) const { return read(m_, at(ctl).choice); }

const std::vector<ListColumn>& Window::columns(int ctl) const {
  std::lock_guard g(m_);
  return at(ctl).columns;  // fixed at construction
}

void Window::setRows(int ctl, std::vector<Row> rows) { change(ctl, at(ctl).rows, std::move(rows)); }

void Window::setRows(int ctl, std::size_t count, std::vector<std::pair<std::size_t, Row>> changed) {
  {
    std::lock_guard g(m_);
    std::vector<Row>& rows = at(ctl).rows;
    bool differ = rows.size() != count;
    rows.resize(count);
    for (auto& [i, row] : changed) {
      if (i >= count || rows[i] == row) continue;
      rows[i] = std::move(row);
      differ = true;
    }
    if (!differ) return;
  }
  notify(ctl);
}

std::vector<Window::Row> Window::rows(int ctl) const { return read(m_, at(ctl).rows); }
int Window::rowCount(int ctl) const {
  std::lock_guard g(m_);
  return static_cast<int>(at(ctl).rows.size());
}

void Window::select(int ctl) {
  {
    std::lock_guard g(m_);
    // A control that cannot take the focus (a text, a prompt, a line, a box, a tab)
    // passes it on to the next one in declaration order that can.
    auto takesFocus = [](const Control& c) {
      Kind k = c.def->kind;
      bool input = k == Kind::List || k == Kind::Entry || k == Kind::Button || k == Kind::Radio || k == Kind::Sheet;
      return input && !c.hidden && !c.disabled;
    };
    if (ctl > 0 && exists(ctl) && !takesFocus(at(ctl))) {
      for (int n = ctl + 1; n <= last(); ++n)
        if (takesFocus(at(n))) {
          ctl = n;
          break;
        }
    }
    if (focus_ == ctl) return;
    focus_ = ctl;
  }
  notify(0);
}

int Window::focus() const { return read(m_, focus_); }

void Window::setCursor(Cursor c) { backend().setCursor(c); }

// The wait cursor.

namespace {
std::mutex cursorMutex;
int threadsWaiting = 0;       // under cursorMutex
thread_local int waitDepth = 0;  // the thread's wait cursors in force

void threadWaits(bool on) {
  std::lock_guard g(cursorMutex);
  if (on ? threadsWaiting++ == 0 : --threadsWaiting == 0) backend().setCursor(on ? Cursor::Wait : Cursor::Arrow);
}
}  // namespace

WaitCursor::WaitCursor(const Window* w) : on_(w != nullptr) {
  if (on_ && waitDepth++ == 0) threadWaits(true);
}

WaitCursor::~WaitCursor() {
  if (on_ && --waitDepth == 0) threadWaits(false);
}

ArrowMeanwhile::ArrowMeanwhile() : depth_(waitDepth) {
  if (depth_ == 0) return;
  waitDepth = 0;
  threadWaits(false);
}

ArrowMeanwhile::~ArrowMeanwhile() {
  if (depth_ == 0) return;
  waitDepth = depth_;
  threadWaits(true);
}

Rect Window::place() const { return read(m_, place_); }
void Window::setPlace(Rect r) { change(0, place_, r); }
bool Window::maximized() const { return read(m_, maximized_); }
bool Window::minimized() const { return read(m_, minimized_); }
void Window::setMaximized(bool on) { change(0, maximized_, on); }
Rect Window::area() const {
  std::lock_guard g(m_);
  return maximized_ && maximizedArea_.w > 0 && maximizedArea_.h > 0 ? maximizedArea_ : place_;
}
void Window::setMinimized(bool on) { change(0, minimized_, on); }

// USE variables.

void Window::display(int ctl) {
  std::vector<int> touched;
  {
    std::lock_guard g(m_);
    for (int n = first(); n <= last(); ++n) {
      if (n == 0 || (ctl != 0 && n != ctl)) continue;
      Control& c = at(n);
      const ControlDef& d = *c.def;
      if (!d.use) continue;
      if (d.kind == Kind::Option) {
        std::string v = d.use.type == Use::Type::Text ? std::string(trimRight(d.use.getText()))
                                                      : numberText(d.use.getNumber());
        if (ctl == 0 && c.everShown && v == c.shown) continue;
        c.shown = v;
        c.everShown = true;
        int chosen = 0;
        for (int r = first(); r <= last(); ++r)
          if (r != 0 && at(r).def->kind == Kind::Radio && at(r).def->parent == n && at(r).def->value == v) chosen = r;
        c.choice = chosen;
        touched.push_back(n);
        continue;
      }
      if (d.kind == Kind::List) continue;  // a list shows its rows
      std::string v = formatUse(d, d.use);
      if (ctl == 0 && c.everShown && v == c.shown) continue;
      c.shown = v;
      c.everShown = true;
      if (c.text != v) {
        c.text = v;
        touched.push_back(n);
      }
    }
  }
  for (int n : touched) notify(n);
}

bool Window::update(int ctl) {
  bool ok = true;
  std::vector<int> touched;
  {
  std::lock_guard g(m_);
  for (int n = first(); n <= last(); ++n) {
    if (n == 0 || (ctl != 0 && n != ctl)) continue;
    Control& c = at(n);
    const ControlDef& d = *c.def;
    if (!d.use) continue;
    if (d.kind == Kind::Option) {
      if (c.choice == 0) continue;
      const std::string& v = at(c.choice).def->value;
      if (d.use.type == Use::Type::Text) d.use.setText(v);
      else {
        double x = 0;
        std::from_chars(v.data(), v.data() + v.size(), x);
        d.use.setNumber(x);
      }
      c.shown = v;
      continue;
    }
    if (d.kind != Kind::Entry) continue;
    std::optional<Picture> pic = d.picture.empty() ? std::nullopt : Picture::parse(d.picture);
    if (d.use.type == Use::Type::Text) {
      d.use.setText(c.text);
    } else {
      std::optional<double> v;
      if (pic) v = pic->read(c.text);
      else {
        double x = 0;
        std::string_view t = trim(c.text);
        auto r = std::from_chars(t.data(), t.data() + t.size(), x);
        if (t.empty()) v = 0;
        else if (r.ec == std::errc() && r.ptr == t.data() + t.size()) v = x;
      }
      if (!v) {
        ok = false;
        continue;
      }
      d.use.setNumber(*v);
    }
    // The entry shows the value as its picture formats it.
    c.shown = formatUse(d, d.use);
    c.everShown = true;
    if (c.text != c.shown) {
      c.text = c.shown;
      touched.push_back(n);
    }
  }
  }
  for (int n : touched) notify(n);
  return ok;
}

// Events.

void Window::queue(EventRec e) {
  events_.push_back(e);
  cv_.notify_all();
}

void Window::post(EventRec e) {
  {
    std::lock_guard g(m_);
    queue(e);
  }
  backend().eventQueued(*this);
}

bool Window::hasEvents() const {
  std::lock_guard g(m_);
  return !events_.empty();
}

void Window::waitQueued() {
  std::unique_lock g(m_);
  cv_.wait(g, [this] { return !events_.empty(); });
}

EventRec Window::wait() {
  for (;;) {
    display();
    if (!hasEvents()) backend().waitForEvent(*this);
    EventRec e;
    {
      std::lock_guard g(m_);
      if (events_.empty()) continue;
      e = events_.front();
      events_.pop_front();
    }
    if (e.event == Event::Accepted && exists(e.control)) {
      Kind k = control(e.control).kind;
      if (k == Kind::Entry && !update(e.control)) {
        backend().beep();
        display(e.control);
        select(e.control);
        continue;
      }
      if (k == Kind::Option) update(e.control);
    }
    return e;
  }
}

void Window::alert(int keyCode) {
  std::lock_guard g(m_);
  if (std::find(alerts_.begin(), alerts_.end(), keyCode) == alerts_.end()) alerts_.push_back(keyCode);
}
void Window::unalert(int keyCode) {
  std::lock_guard g(m_);
  alerts_.erase(std::remove(alerts_.begin(), alerts_.end(), keyCode), alerts_.end());
}
bool Window::alerted(int keyCode) const {
  std::lock_guard g(m_);
  return std::find(alerts_.begin(), alerts_.end(), keyCode) != alerts_.end();
}

// What the user does.

bool Window::userMayAct() const { return isOpen() && innermost(); }

void Window::userType(int ctl, std::string text) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    Control& c = at(ctl);
    if (!c.def || c.def->kind != Kind::Entry || c.readOnly || c.disabled || c.hidden) return;
    c.text = std::move(text);
  }
  notify(ctl);
}

void Window::userAccept(int ctl) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    Control& c = at(ctl);
    if (!c.def || c.disabled || c.hidden) return;
    queue({Event::Accepted, ctl});
  }
  backend().eventQueued(*this);
}

void Window::userFocus(int ctl) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    if (!at(ctl).def) return;
    focus_ = ctl;
    queue({Event::Selected, ctl});
  }
  backend().eventQueued(*this);
}

void Window::userSelectRow(int ctl, int row) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    Control& c = at(ctl);
    if (!c.def || c.def->kind != Kind::List || row < 1 || row > static_cast<int>(c.rows.size())) return;
    c.selected = row;
    queue({Event::NewSelection, ctl, 0, row});
  }
  backend().eventQueued(*this);
  notify(ctl);
}

void Window::userScroll(int ctl, Event scroll, int thumbPos) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    if (!at(ctl).def) return;
    queue({scroll, ctl, 0, 0, thumbPos});
  }
  backend().eventQueued(*this);
}

void Window::userKey(int ctl, int keyCode, int row) {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    bool typedOnList = keyCode > 0 && keyCode < 256 && at(ctl).def && at(ctl).def->kind == Kind::List;
    bool isAlerted = std::find(alerts_.begin(), alerts_.end(), keyCode) != alerts_.end();
    if (!typedOnList && !isAlerted) return;
    queue({Event::AlertKey, ctl, keyCode, row});
  }
  backend().eventQueued(*this);
}

void Window::userChoose(int ctl, int choice) {
  if (!userMayAct()) return;
  int notifyCtl = 0;
  {
    std::lock_guard g(m_);
    Control& c = at(ctl);
    if (!c.def) return;
    if (c.def->kind == Kind::Sheet) {
      if (c.choice == choice) return;
      c.choice = choice;
      queue({Event::NewSelection, ctl});
      notifyCtl = ctl;
    } else if (c.def->kind == Kind::Radio || c.def->kind == Kind::Option) {
      int option = c.def->kind == Kind::Radio ? c.def->parent : ctl;
      int radio = c.def->kind == Kind::Radio ? ctl : choice;
      Control& o = at(option);
      if (!o.def || o.disabled || o.hidden) return;
      o.choice = radio;
      queue({Event::Accepted, option});
      notifyCtl = option;
    } else {
      return;
    }
  }
  backend().eventQueued(*this);
  notify(notifyCtl);
}

void Window::userActivate() {
  if (!isOpen()) return;
  {
    std::lock_guard g(m_);
    queue({Event::GainFocus});
  }
  backend().eventQueued(*this);
}

void Window::userResize(Rect p, bool max, bool min, Rect area) {
  if (!isOpen()) return;
  {
    std::lock_guard g(m_);
    place_ = p;
    maximized_ = max;
    minimized_ = min;
    maximizedArea_ = max ? area : Rect{};
    queue({Event::Sized});
  }
  backend().eventQueued(*this);
}

void Window::userClose() {
  if (!userMayAct()) return;
  {
    std::lock_guard g(m_);
    queue({Event::CloseWindow});
  }
  backend().eventQueued(*this);
}

void Window::setVisibleRows(int ctl, int n) {
  std::lock_guard g(m_);
  if (at(ctl).def) at(ctl).visibleRows = std::max(1, n);
}

}  // namespace zelk::ui
