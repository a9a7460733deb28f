#pragma once
// Window procedures run by the scripted user over the program's layers: a small
// firm form over the real F_NAME, a plain test window, and a fixture that holds
// F_NAME open as the frame does and plays a second station on the same file.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/patterns/form.h"
#include "app/patterns/window.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/script/scripted_user.h"
#include "support/program.h"

namespace zelk::test {

using script::ScriptedUser;
using ui::Kind;

// The scripted user, also noting the cursors the program asks for.
class User : public ScriptedUser {
 public:
  void setCursor(ui::Cursor c) override {
    std::lock_guard g(m_);
    cursors_.push_back(c);
  }
  std::vector<ui::Cursor> cursors() const {
    std::lock_guard g(m_);
    return cursors_;
  }

 private:
  mutable std::mutex m_;
  std::vector<ui::Cursor> cursors_;
};

// Shows boxes through the fixture's scripted boxes, first telling the test.
class WatchedBoxes : public fw::BoxService {
 public:
  explicit WatchedBoxes(fw::ScriptedBoxes& to) : to_(to) {}
  std::function<void(const fw::Box&)> onShow;
  unsigned show(const fw::Box& box) override {
    if (onShow) onShow(box);
    return to_.show(box);
  }

 private:
  fw::ScriptedBoxes& to_;
};

inline ui::ControlDef control(Kind kind, std::string name, ui::Rect at = {}, std::string picture = {},
                              ui::Use use = {}, std::uint32_t attrs = 0, int parent = 0, std::string text = {}) {
  ui::ControlDef c;
  c.kind = kind;
  c.name = std::move(name);
  c.at = at;
  c.picture = std::move(picture);
  c.use = std::move(use);
  c.attrs = attrs;
  c.parent = parent;
  c.text = std::move(text);
  return c;
}

// The firm form: 1 sheet, 2 tab, 3 code, 4 name, 5 folder, 6 OK, 7 close.
namespace form {
inline constexpr int kCode = 3, kName = 4, kPath = 5, kOk = 6, kCancel = 7;
}

inline ui::WindowDef firmFormDef() {
  dict::FnmRecord& r = dict::F_NAME().rec;
  ui::WindowDef d;
  d.key = "TEST$form";
  d.label = "QUICKWINDOW";
  d.title = ansi("Фирма");
  d.at = {10, 10, 200, 120};
  d.resizable = true;
  d.controls = {
      control(Kind::Sheet, "?SHEET", {2, 2, 196, 90}),
      control(Kind::Tab, "?TAB1", {}, {}, {}, 0, 1),
      control(Kind::Entry, "?KOD", {60, 10, 30, 10}, "n3b", ui::use(r.KOD), ui::kRequired, 2),
      control(Kind::Entry, "?NAME", {60, 24, 120, 10}, "s50", ui::use(r.NAME), ui::kRequired, 2),
      control(Kind::Entry, "?PATH", {60, 38, 120, 10}, "s60", ui::use(r.PATH), 0, 2),
      control(Kind::Button, "?OK", {100, 100, 40, 14}, {}, {}, 0, 0, ansi("&OK")),
      control(Kind::Button, "?CANCEL", {150, 100, 40, 14}, {}, {}, 0, 0, ansi("&Закрыть")),
  };
  return d;
}

inline app::HistoryCopy& firmHistory() {
  thread_local app::HistoryCopy h;
  return h;
}

inline app::WindowSetup firmFormSetup() {
  app::WindowSetup s;
  s.procedureName = "TestForm";
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  s.firstField = "?KOD";
  s.resizer = app::WindowSetup::Resize{2, true, false};
  s.buttons = {{"?CANCEL", fw::response::kCancelled}};
  return s;
}

inline app::FormSetup firmFormFields() {
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::F_NAME; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::F_NAME; };
  f.history = firmHistory;
  f.historyFields = {{"?KOD", "KOD"}, {"?NAME", "NAME"}, {"?PATH", "PATH"}};
  f.okControl = "?OK";
  f.viewTitle = ansi("Просмотр записи");
  return f;
}

// Counts its resets, apart from those in the accept-all state. Accepting the
// name entry resets the window, as some forms do.
class FirmForm : public app::FormPattern {
 public:
  FirmForm(ui::Window& w) : FormPattern(w, firmFormSetup(), firmFormFields()) {}
  void Reset(bool force) override {
    if (AcceptingAll()) ++quietResets;
    else ++resets;
    FormPattern::Reset(force);  // which does nothing while accepting every control
  }
  std::uint8_t TakeAccepted() override {
    std::uint8_t r = FormPattern::TakeAccepted();
    if (field() == form::kName) Reset(false);
    return r;
  }
  int resets = 0, quietResets = 0;
  static thread_local FirmForm* running;
};
inline thread_local FirmForm* FirmForm::running = nullptr;

// The form procedure, called with a request as a list calls it; the response. done
// sees the form's object after it ran.
inline std::uint8_t firmForm(std::uint8_t request, const std::function<void(FirmForm&)>& done = {}) {
  dict::GLOBALREQUEST = request;
  ui::Window window(firmFormDef());
  FirmForm thisWindow(window);
  FirmForm::running = &thisWindow;
  app::respond(thisWindow);
  FirmForm::running = nullptr;
  if (done) done(thisWindow);
  return dict::GLOBALRESPONSE;
}

class WindowsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    user.install();
    fw::setBoxService(&watched);
    dict::Relate::F_NAME->Open();  // the frame holds the firm file open
    firmHistory() = {};            // the form has not run on this thread yet
  }
  void TearDown() override {
    if (other.isOpen()) other.close();
    dict::Relate::F_NAME->Close();
    user.uninstall();
    fw::setBoxService(&boxes);
    for (const std::string& f : user.failures()) ADD_FAILURE() << f;
    ProgramTest::TearDown();
  }

  void addFirm(int code, std::string_view name) {
    dict::F_NAME().clearBuffer();
    dict::F_NAME().rec.KOD = static_cast<std::int16_t>(code);
    dict::F_NAME().rec.NAME = ansi(name);
    dict::F_NAME().rec.PATH = "c:\\base";
    ASSERT_EQ(dict::F_NAME().add(), 0);
  }
  // Makes firm code the current record of the thread's F_NAME, as a list leaves it.
  void current(int code) {
    dict::F_NAME().rec.KOD = static_cast<std::int16_t>(code);
    ASSERT_EQ(dict::F_NAME().get(dict::fnm::KEY_1), 0);
  }
  // Firm code's name as another station reads it; "" when there is none.
  std::string nameOnDisk(int code) {
    openOther();
    other.rec.KOD = static_cast<std::int16_t>(code);
    if (other.get(dict::fnm::KEY_1) != 0) return {};
    return cp::toUtf8(other.rec.NAME.str());
  }
  // Another station changes firm code's name.
  void otherRenames(int code, std::string_view name) {
    openOther();
    other.rec.KOD = static_cast<std::int16_t>(code);
    ASSERT_EQ(other.get(dict::fnm::KEY_1), 0);
    other.rec.NAME = ansi(name);
    ASSERT_EQ(other.put(), 0);
  }
  // Another station holds the file's write lock; this thread's statements give up
  // waiting for it at once.
  void otherLocks() {
    openOther();
    ASSERT_EQ(other.lock(), 0);
    dict::F_NAME().send("Recover=0");
  }
  void openOther() {
    if (!other.isOpen()) {
      ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    }
  }
  std::uint64_t firms() { return dict::F_NAME().records(); }

  // The texts (UTF-8) of the boxes shown.
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> r;
    for (const fw::Box& b : boxes.boxes()) r.push_back(cp::toUtf8(b.text));
    return r;
  }
  static std::string text(ui::Window& w, int ctl) { return cp::toUtf8(std::string(trimRight(w.text(ctl)))); }

  User user;
  WatchedBoxes watched{boxes};
  storage::TypedFile<dict::FnmRecord> other{dict::F_NAME_DECL};
};

}  // namespace zelk::test
