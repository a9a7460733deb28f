#include "platform/script/scripted_user.h"

#include <algorithm>

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/framework/scriptedboxes.h"

namespace zelk::script {
namespace {

std::string quoted(std::string_view s) { return "\"" + std::string(trimRight(s)) + "\""; }

std::string cellsText(const ui::Window::Row& r) {
  std::string s;
  for (const std::string& c : r) s += (s.empty() ? "" : " ") + quoted(c);
  return s.empty() ? "(no cells)" : s;
}

const char* yesNo(bool b) { return b ? "true" : "false"; }

bool inRegistry(const ui::Window* w) {
  std::vector<ui::Window*> all = ui::allWindows();
  return std::find(all.begin(), all.end(), w) != all.end();
}

}  // namespace

ScriptedUser::~ScriptedUser() { uninstall(); }

void ScriptedUser::install() {
  scriptThread_ = std::this_thread::get_id();
  installed_ = true;
  ui::setBackend(this);
}

void ScriptedUser::uninstall() {
  if (!installed_) return;
  installed_ = false;
  if (&ui::backend() == this) ui::setBackend(nullptr);
}

ScriptedUser& ScriptedUser::then(Step s) {
  std::lock_guard g(m_);
  steps_.push_back(std::move(s));
  return *this;
}

void ScriptedUser::play() {
  for (;;) {
    settleThreads();
    Step s;
    {
      std::lock_guard g(m_);
      if (steps_.empty()) return;
      s = std::move(steps_.front());
      steps_.pop_front();
    }
    s(*this);
  }
}

void ScriptedUser::fail(std::string message) {
  std::function<void(const std::string&)> cb;
  {
    std::lock_guard g(m_);
    failures_.push_back(message);
    cb = onFailure_;
  }
  if (cb) cb(message);
}

std::vector<std::string> ScriptedUser::failures() const {
  std::lock_guard g(m_);
  return failures_;
}

bool ScriptedUser::finished() const {
  std::lock_guard g(m_);
  return steps_.empty();
}

void ScriptedUser::onFailure(std::function<void(const std::string&)> f) {
  std::lock_guard g(m_);
  onFailure_ = std::move(f);
}

// Finding windows.

ui::Window& ScriptedUser::window(std::string_view title) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::vector<ui::Window*> all = ui::allWindows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
      {
        // A window counted open under the lock is alive: closed() takes the lock first.
        std::lock_guard g(m_);
        if (!isOpen(**it) || (*it)->title() != title) continue;
      }
      // One of another thread counts once its thread has taken what it was sent: a
      // window that was closing is gone by then.
      if (settle(**it, deadline) != Settled::Closed) return **it;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  fail("no window titled \"" + std::string(title) + "\"");
  return window();
}

ui::Window& ScriptedUser::window() {
  std::vector<ui::Window*> mine = ui::threadWindows();
  if (!mine.empty()) return *mine.back();
  std::vector<ui::Window*> all = ui::allWindows();
  if (!all.empty()) return *all.back();
  static thread_local std::unique_ptr<ui::Window> none;
  static const ui::WindowDef empty{};
  if (!none) none = std::make_unique<ui::Window>(empty);
  fail("no window is open");
  return *none;
}

ui::Window& ScriptedUser::wait(std::string_view title) {
  std::size_t before = failures().size();
  ui::Window& w = window(title);
  if (failures().size() != before) return w;
  std::lock_guard g(m_);
  if (isOpen(w)) current_ = &w;
  return w;
}

ui::Window& ScriptedUser::current() {
  {
    std::lock_guard g(m_);
    if (current_) return *current_;
  }
  return window();
}

bool ScriptedUser::isOpen(ui::Window& w) const { return open_.count(&w) || inRegistry(&w); }

bool ScriptedUser::settle(ui::Window& w) {
  return settle(w, std::chrono::steady_clock::now() + timeout) == Settled::Yes;
}

ScriptedUser::Settled ScriptedUser::settle(ui::Window& w, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    std::thread::id owner;
    {
      std::lock_guard g(m_);
      if (!isOpen(w)) return Settled::Closed;
      owner = w.owner();
      if (owner == std::this_thread::get_id()) return Settled::Yes;
      if (open_.count(&w)) {
        // Its thread is watched from its first window on (opened()), so it leaves the
        // touched ones when it ends.
        std::lock_guard t(threads_->m);
        threads_->touched[owner] = w.title();
      }
      auto it = waiting_.find(owner);
      if (it != waiting_.end() && !it->second->hasEvents()) return Settled::Yes;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      busy(owner);
      return Settled::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool ScriptedUser::settleThreads() {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::optional<std::thread::id> unsettled;
    {
      std::lock_guard g(m_);
      std::lock_guard t(threads_->m);
      for (const auto& [thread, title] : threads_->touched) {
        if (thread == std::this_thread::get_id()) continue;
        auto it = waiting_.find(thread);
        if (it == waiting_.end() || it->second->hasEvents()) {
          unsettled = thread;
          break;
        }
      }
    }
    if (!unsettled) return true;
    if (std::chrono::steady_clock::now() >= deadline) {
      busy(*unsettled);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void ScriptedUser::busy(std::thread::id thread) {
  std::string title;
  {
    std::lock_guard t(threads_->m);
    auto it = threads_->touched.find(thread);
    if (it != threads_->touched.end()) title = it->second;
  }
  fail("the thread of window \"" + title + "\" is still busy after " +
       numberText(static_cast<int>(timeout.count())) + " ms");
}

bool ScriptedUser::ready(ui::Window& w) {
  Settled r = settle(w, std::chrono::steady_clock::now() + timeout);
  if (r == Settled::Closed) fail("the window is closed");
  return r == Settled::Yes;
}

bool ScriptedUser::takesInput(ui::Window& w) {
  if (!ready(w)) return false;
  if (w.innermost()) return true;
  std::string above;
  for (ui::Window* o : ui::allWindows())
    if (o != &w && o->owner() == w.owner()) above = o->title();
  fail("window \"" + w.title() + "\" takes no input: \"" + above + "\" is open above it");
  return false;
}

int ScriptedUser::control(ui::Window& w, std::string_view name) {
  int n = w.number(name);
  if (n == 0) fail("window \"" + w.title() + "\" has no control " + std::string(name));
  return n;
}

int ScriptedUser::actOn(ui::Window& w, std::string_view name) {
  if (!takesInput(w)) return 0;
  return control(w, name);
}

// Acting.

void ScriptedUser::press(ui::Window& w, std::string_view name) {
  if (int n = actOn(w, name)) {
    // Leaving an entry that has the focus accepts it first, as a click elsewhere does.
    int f = w.focus();
    if (f != 0 && f != n && w.control(f).kind == ui::Kind::Entry) w.userAccept(f);
    w.userAccept(n);
  }
}

void ScriptedUser::type(ui::Window& w, std::string_view name, std::string_view text) {
  if (int n = actOn(w, name)) {
    if (w.control(n).kind != ui::Kind::Entry) {
      fail("window \"" + w.title() + "\": " + std::string(name) + " is not an entry");
      return;
    }
    w.userType(n, std::string(text));
    w.userAccept(n);
  }
}

void ScriptedUser::selectRow(ui::Window& w, std::string_view name, int row) {
  if (int n = actOn(w, name)) {
    int count = w.rowCount(n);
    if (w.control(n).kind != ui::Kind::List || row < 1 || row > count) {
      fail("window \"" + w.title() + "\": " + std::string(name) + " has " + numberText(count) + " rows, no row " +
           numberText(row));
      return;
    }
    w.userSelectRow(n, row);
  }
}

void ScriptedUser::doubleClick(ui::Window& w, std::string_view name, int row) {
  if (int n = actOn(w, name)) {
    if (row != w.selectedRow(n)) w.userSelectRow(n, row);
    w.userKey(n, ui::key::kMouseLeft2, row);
  }
}

void ScriptedUser::rightClick(ui::Window& w, std::string_view name, int row) {
  if (int n = actOn(w, name)) w.userKey(n, ui::key::kMouseRightUp, row);
}

void ScriptedUser::key(ui::Window& w, std::string_view name, int keyCode) {
  if (name.empty()) {
    if (takesInput(w)) w.userKey(0, keyCode);
    return;
  }
  if (int n = actOn(w, name)) w.userKey(n, keyCode);
}

void ScriptedUser::choose(ui::Window& w, std::string_view name) {
  if (int n = actOn(w, name)) {
    const ui::ControlDef& d = w.control(n);
    if (d.kind == ui::Kind::Tab) w.userChoose(d.parent, n);
    else w.userChoose(n, n);
  }
}

void ScriptedUser::close(ui::Window& w) {
  if (takesInput(w)) w.userClose();
}

void ScriptedUser::accept(ui::Window& w, std::string_view name) {
  if (int n = actOn(w, name)) w.userAccept(n);
}

void ScriptedUser::focus(ui::Window& w, std::string_view name) {
  if (int n = actOn(w, name)) w.userFocus(n);
}

void ScriptedUser::menu(ui::Window& w, std::string_view name) {
  if (int n = actOn(w, name)) {
    if (w.control(n).kind != ui::Kind::Item) {
      fail("window \"" + w.title() + "\": " + std::string(name) + " is not a menu item");
      return;
    }
    w.userAccept(n);
  }
}

void ScriptedUser::answerFile(std::optional<std::string> path) {
  std::lock_guard g(m_);
  files_.push_back(std::move(path));
}

// Message boxes.

void ScriptedUser::useBoxes(fw::ScriptedBoxes& boxes) {
  std::lock_guard g(m_);
  boxes_ = &boxes;
  boxesSeen_ = boxes.count();
}

void ScriptedUser::answerBox(unsigned button) {
  fw::ScriptedBoxes* b;
  {
    std::lock_guard g(m_);
    b = boxes_;
  }
  if (!b) return fail("no scripted message boxes to answer");
  b->answer(button);
}

bool ScriptedUser::expectBox(std::string_view caption, std::optional<std::string_view> text) {
  fw::ScriptedBoxes* b;
  std::size_t seen;
  {
    std::lock_guard g(m_);
    b = boxes_;
    seen = boxesSeen_;
  }
  if (!b) {
    fail("no scripted message boxes to look at");
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (b->count() <= seen) {
    if (std::chrono::steady_clock::now() >= deadline) {
      fail("no message box was shown (expected " + quoted(caption) + ")");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  fw::Box box = b->boxes()[seen];
  {
    std::lock_guard g(m_);
    boxesSeen_ = seen + 1;
  }
  bool ok = trimRight(box.caption) == trimRight(caption) && (!text || trimRight(box.text) == trimRight(*text));
  if (!ok) {
    std::string wanted = quoted(caption) + (text ? ": " + quoted(*text) : "");
    fail("message box " + quoted(box.caption) + ": " + quoted(box.text) + ", expected " + wanted);
  }
  return ok;
}

bool ScriptedUser::expectNoBox() {
  fw::ScriptedBoxes* b;
  std::size_t seen;
  {
    std::lock_guard g(m_);
    b = boxes_;
    seen = boxesSeen_;
  }
  if (!b || b->count() <= seen) return true;
  std::vector<fw::Box> all = b->boxes();
  {
    std::lock_guard g(m_);
    boxesSeen_ = all.size();
  }
  fail("message box " + quoted(all[seen].caption) + " was shown: " + quoted(all[seen].text));
  return false;
}

// Reading.

std::optional<std::string> ScriptedUser::property(ui::Window& w, std::string_view name, std::string_view prop) {
  if (!ready(w)) return std::nullopt;
  auto is = [&](std::string_view p) { return cp::sameName(prop, p); };
  auto nameOf = [&](int ctl) { return ctl == 0 ? std::string() : w.control(ctl).name; };
  if (name.empty()) {
    if (is("title")) return w.title();
    if (is("focus")) return nameOf(w.focus());
  } else if (int n = control(w, name)) {
    if (is("text")) return w.text(n);
    if (is("hidden")) return yesNo(w.hidden(n));
    if (is("disabled")) return yesNo(w.disabled(n));
    if (is("readonly")) return yesNo(w.readOnly(n));
    if (is("default")) return yesNo(w.isDefault(n));
    if (is("rows")) return numberText(w.rowCount(n));
    if (is("selected")) return numberText(w.selectedRow(n));
    if (is("choice")) return nameOf(w.choice(n));
  } else {
    return std::nullopt;
  }
  fail("no property \"" + std::string(prop) + "\" of " + (name.empty() ? "a window" : std::string(name)));
  return std::nullopt;
}

std::optional<ui::Window::Row> ScriptedUser::row(ui::Window& w, std::string_view name, int r) {
  if (!ready(w)) return std::nullopt;
  int n = control(w, name);
  if (n == 0) return std::nullopt;
  std::vector<ui::Window::Row> rows = w.rows(n);
  if (r < 1 || r > static_cast<int>(rows.size())) {
    fail("window \"" + w.title() + "\": " + std::string(name) + " has " + numberText(static_cast<int>(rows.size())) +
         " rows, no row " + numberText(r));
    return std::nullopt;
  }
  return rows[r - 1];
}

bool ScriptedUser::expect(ui::Window& w, std::string_view name, std::string_view prop, std::string_view value) {
  std::optional<std::string> v = property(w, name, prop);
  if (!v) return false;
  bool names = cp::sameName(prop, "focus") || cp::sameName(prop, "choice");
  bool ok = names ? cp::sameName(*v, value) : trimRight(*v) == trimRight(value);
  if (!ok) {
    std::string what = name.empty() ? std::string(prop) : std::string(name) + " " + std::string(prop);
    fail("window \"" + w.title() + "\": " + what + " is " + quoted(*v) + ", expected " + quoted(value));
  }
  return ok;
}

bool ScriptedUser::expectRow(ui::Window& w, std::string_view name, int r, const ui::Window::Row& cells) {
  std::optional<ui::Window::Row> got = row(w, name, r);
  if (!got) return false;
  bool ok = got->size() == cells.size();
  for (std::size_t i = 0; ok && i < cells.size(); ++i) ok = trimRight((*got)[i]) == trimRight(cells[i]);
  if (!ok)
    fail("window \"" + w.title() + "\": " + std::string(name) + " row " + numberText(r) + " is " + cellsText(*got) +
         ", expected " + cellsText(cells));
  return ok;
}

bool ScriptedUser::expectCell(ui::Window& w, std::string_view name, int r, int column, std::string_view text) {
  std::optional<ui::Window::Row> got = row(w, name, r);
  if (!got) return false;
  std::string where = std::string(name) + " row " + numberText(r) + " column " + numberText(column);
  if (column < 1 || column > static_cast<int>(got->size())) {
    fail("window \"" + w.title() + "\": " + where + ": the row has " + numberText(static_cast<int>(got->size())) +
         " cells");
    return false;
  }
  const std::string& c = (*got)[column - 1];
  if (trimRight(c) == trimRight(text)) return true;
  fail("window \"" + w.title() + "\": " + where + " is " + quoted(c) + ", expected " + quoted(text));
  return false;
}

bool ScriptedUser::expectFinished() {
  std::size_t steps, files;
  fw::ScriptedBoxes* b;
  {
    std::lock_guard g(m_);
    steps = steps_.size();
    files = files_.size();
    b = boxes_;
  }
  std::size_t answers = b ? b->pendingAnswers() : 0;
  if (steps) fail(numberText(static_cast<int>(steps)) + " step(s) of the script did not run");
  if (answers) fail(numberText(static_cast<int>(answers)) + " message box answer(s) were not used");
  if (files) fail(numberText(static_cast<int>(files)) + " open-file answer(s) were not used");
  return !steps && !answers && !files;
}

// What the backend saw.

int ScriptedUser::beeps() const {
  std::lock_guard g(m_);
  return beeps_;
}

std::vector<ui::Backend::FileDialog> ScriptedUser::fileDialogs() const {
  std::lock_guard g(m_);
  return dialogs_;
}

int ScriptedUser::printerSetups() const {
  std::lock_guard g(m_);
  return printerSetups_;
}

// Backend.

void ScriptedUser::opened(ui::Window& w) {
  if (std::this_thread::get_id() != scriptThread_) watchThisThread();
  std::lock_guard g(m_);
  open_.insert(&w);
}

void ScriptedUser::watchThisThread() {
  // Destroyed when the thread ends, after its procedure and its thread-end steps.
  struct Watch {
    std::vector<std::weak_ptr<Threads>> users;
    ~Watch() {
      const std::thread::id me = std::this_thread::get_id();
      for (const std::weak_ptr<Threads>& u : users)
        if (std::shared_ptr<Threads> t = u.lock()) {
          std::lock_guard g(t->m);
          t->touched.erase(me);
        }
    }
  };
  thread_local Watch watch;
  std::erase_if(watch.users, [](const std::weak_ptr<Threads>& u) { return u.expired(); });
  for (const std::weak_ptr<Threads>& u : watch.users)
    if (u.lock() == threads_) return;
  watch.users.push_back(threads_);
}

void ScriptedUser::closed(ui::Window& w) {
  std::lock_guard g(m_);
  open_.erase(&w);
  if (current_ == &w) current_ = nullptr;
}

void ScriptedUser::changed(ui::Window&, int) {}
void ScriptedUser::eventQueued(ui::Window&) {}
void ScriptedUser::setCursor(ui::Cursor c) { cursor_.store(c); }

void ScriptedUser::beep() {
  std::lock_guard g(m_);
  ++beeps_;
}

void ScriptedUser::waitForEvent(ui::Window& w) {
  if (std::this_thread::get_id() != scriptThread_) {
    {
      std::lock_guard g(m_);
      waiting_[std::this_thread::get_id()] = &w;
    }
    w.waitQueued();
    std::lock_guard g(m_);
    waiting_.erase(std::this_thread::get_id());
    return;
  }
  while (!w.hasEvents()) {
    settleThreads();
    if (w.hasEvents()) break;
    Step s;
    {
      std::lock_guard g(m_);
      if (!steps_.empty()) {
        s = std::move(steps_.front());
        steps_.pop_front();
      }
    }
    if (!s) {
      fail("the script ended while \"" + w.title() + "\" waited for the user");
      w.post(ui::Event::CloseWindow);
      return;
    }
    s(*this);
  }
}

std::optional<std::string> ScriptedUser::askOpenFile(ui::Window&, const FileDialog& d) {
  std::lock_guard g(m_);
  dialogs_.push_back(d);
  if (files_.empty()) return std::nullopt;
  std::optional<std::string> r = std::move(files_.front());
  files_.pop_front();
  return r;
}

void ScriptedUser::printerSetup(ui::Window&) {
  std::lock_guard g(m_);
  ++printerSetups_;
}

}  // namespace zelk::script
