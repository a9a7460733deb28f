// The window pattern on a plain test window: the request and response protocol,
// what triggers a Reset, the scope of bound names, and a second Kill.
#include <utility>

#include "fixture.h"
#include "platform/framework/bind.h"

namespace zelk::test {
namespace {

namespace request = fw::request;
namespace response = fw::response;

// 1 sheet, 2 and 3 its tabs, 4 an entry, 5 a button that calls a window, 6 a button
// that closes when registered, 7 a list, 8 a button of no effect.
constexpr int kEntry = 4, kCall = 5, kList = 7;

ui::WindowDef testWindowDef() {
  static thread_local std::int32_t number = 0;
  ui::WindowDef d;
  d.key = "TEST$window";
  d.label = "WINDOW";
  d.title = "Test";
  d.at = {10, 10, 200, 100};
  d.resizable = true;
  d.controls = {
      control(Kind::Sheet, "?SHEET", {2, 2, 196, 70}),
      control(Kind::Tab, "?TAB1", {}, {}, {}, 0, 1),
      control(Kind::Tab, "?TAB2", {}, {}, {}, 0, 1),
      control(Kind::Entry, "?ENTRY", {10, 10, 40, 10}, "n5", ui::useNumber(number)),
      control(Kind::Button, "?CALL", {10, 80, 40, 14}),
      control(Kind::Button, "?DONE", {60, 80, 40, 14}),
      control(Kind::List, "?LIST", {10, 20, 100, 40}),
      control(Kind::Button, "?BUTTON", {150, 80, 40, 14}),
  };
  return d;
}

class TestWindow : public app::WindowPattern {
 public:
  TestWindow(ui::Window& w, app::WindowSetup s, std::function<void()> call)
      : WindowPattern(w, std::move(s)), call_(std::move(call)) {}
  void Reset(bool force) override {
    ++resets;
    WindowPattern::Reset(force);
  }
  // The button that calls a window, as every procedure calls one.
  std::uint8_t TakeAccepted() override {
    std::uint8_t r = WindowPattern::TakeAccepted();
    if (field() == kCall && call_) {
      Update();
      call_();
      Reset(false);
    }
    return r;
  }
  int resets = 0;

 private:
  std::function<void()> call_;
};

app::WindowSetup plainSetup(std::string name) {
  app::WindowSetup s;
  s.procedureName = std::move(name);
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  s.resizer = app::WindowSetup::Resize{2, true, false};
  return s;
}

struct Hooks {
  std::function<void()> call;                // what ?CALL calls
  std::function<void(TestWindow&)> before;   // the object before it runs
  std::function<void(TestWindow&)> after;    // and after
};

// The test window procedure; its response.
std::uint8_t testWindow(app::WindowSetup s, const Hooks& h = {}) {
  ui::Window window(testWindowDef());
  TestWindow thisWindow(window, std::move(s), h.call);
  if (h.before) h.before(thisWindow);
  app::respond(thisWindow);
  if (h.after) h.after(thisWindow);
  return dict::GLOBALRESPONSE;
}

using WindowTest = WindowsTest;

TEST_F(WindowTest, AWindowTakesItsRequestOverSoThatTheWindowItOpensSeesNone) {
  TestWindow* outer = nullptr;
  TestWindow* inner = nullptr;
  struct Seen {
    std::uint8_t request = 99, globalRequest = 99, globalResponse = 99;
    std::string procedure;
  } atOuter, atInner, back;
  auto see = [](TestWindow* w) {
    return Seen{w ? w->Request : std::uint8_t{0}, dict::GLOBALREQUEST, dict::GLOBALRESPONSE,
                fw::globalErrors().procedureName()};
  };
  Hooks h;
  h.before = [&](TestWindow& w) { outer = &w; };
  h.call = [&] {
    Hooks in;
    in.before = [&](TestWindow& w) { inner = &w; };
    testWindow(plainSetup("inner"), in);
  };
  user.then([&](ScriptedUser& u) {
    atOuter = see(outer);
    u.press(u.window(), "?CALL");
  });
  user.then([&](ScriptedUser& u) {
    atInner = see(inner);
    u.close(u.window());
  });
  user.then([&](ScriptedUser& u) {
    back = see(outer);
    u.close(u.window());
  });
  dict::GLOBALREQUEST = request::kChange;
  dict::GLOBALRESPONSE = 7;
  EXPECT_EQ(testWindow(plainSetup("outer"), h), response::kCancelled);

  EXPECT_EQ(atOuter.request, request::kChange);
  EXPECT_EQ(atOuter.globalRequest, 0);
  EXPECT_EQ(atOuter.globalResponse, 0);
  EXPECT_EQ(atOuter.procedure, "outer");
  EXPECT_EQ(atInner.request, request::kNone);
  EXPECT_EQ(atInner.procedure, "inner");
  EXPECT_EQ(back.globalResponse, response::kCancelled);  // the inner window's answer
  EXPECT_EQ(back.procedure, "outer");
  EXPECT_EQ(fw::globalErrors().procedureName(), "%Procedure");
}

TEST_F(WindowTest, APlainWindowAnswersCancelledAndARegisteredButtonItsResponse) {
  struct Case {
    const char* what;
    std::vector<std::pair<app::ControlName, std::uint8_t>> buttons;
    bool closesItself;  // pressing ?DONE closes the window
    std::uint8_t response;
  } cases[] = {
      {"nothing registered", {}, false, response::kCancelled},
      {"registered completed", {{"?DONE", response::kCompleted}}, true, response::kCompleted},
      {"registered cancelled", {{"?done", response::kCancelled}}, true, response::kCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app::WindowSetup s = plainSetup("plain");
    s.buttons = c.buttons;
    user.then([](ScriptedUser& u) { u.press(u.window(), "?DONE"); });
    if (!c.closesItself) user.then([](ScriptedUser& u) { u.close(u.window()); });
    EXPECT_EQ(testWindow(s), c.response);
    EXPECT_TRUE(user.finished());
  }
}

// Controls are named in a setup and in a definition; a name that is not there stops
// the window being built, never a control silently re-targeted or left out.
TEST_F(WindowTest, ANamedControlTheWindowLacksStopsTheBuild) {
  ui::Window plain(testWindowDef());
  app::WindowSetup s = plainSetup("named");
  s.firstField = "?ENTRY";
  s.buttons = {{"?DONE", response::kCompleted}};
  TestWindow named(plain, s, {});
  EXPECT_EQ(named.setup().firstField.number(), kEntry);
  EXPECT_EQ(named.setup().buttons[0].first.number(), plain.number("?DONE"));
  EXPECT_EQ(named.control("?list"), kList);
  EXPECT_THROW(named.control("?NONE"), std::logic_error);

  app::WindowSetup badButton = plainSetup("bad");
  badButton.buttons = {{"?NONE", response::kCompleted}};
  EXPECT_THROW(TestWindow(plain, badButton, {}), std::logic_error);
  app::WindowSetup badFirst = plainSetup("bad");
  badFirst.firstField = "?NONE";
  EXPECT_THROW(TestWindow(plain, badFirst, {}), std::logic_error);

  ui::WindowDef d = testWindowDef();
  d.controls[1].parentName = "?sheet";
  EXPECT_EQ(ui::Window(d).control(2).parent, 1);
  d.controls[1].parentName = "?NOSHEET";
  EXPECT_THROW(ui::Window{d}, std::logic_error);
}

// Asks the window for a reset after the next event, once.
class Component : public fw::WindowComponent {
 public:
  bool ResetRequired() override { return std::exchange(ask, false); }
  void Reset(bool) override { ++resets; }
  bool ask = false;
  int resets = 0;
};

TEST_F(WindowTest, ResetRunsOnOpenFocusLaterResizesTabChangesComponentsAndAfterACall) {
  Component component;
  struct Row {
    const char* what;
    std::function<void(ScriptedUser&, ui::Window&)> act;
    int resets;
  };
  std::vector<Row> rows = {
      {"entry accepted", [](ScriptedUser& u, ui::Window& w) { u.type(w, "?ENTRY", "5"); }, 0},
      {"a button", [](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON"); }, 0},
      {"focus regained", [](ScriptedUser&, ui::Window& w) { w.userActivate(); }, 1},
      {"second resize", [](ScriptedUser&, ui::Window& w) { w.userResize({10, 10, 400, 200}, false, false); }, 1},
      {"third resize", [](ScriptedUser&, ui::Window& w) { w.userResize({10, 10, 300, 150}, false, false); }, 1},
      {"tab changed", [](ScriptedUser& u, ui::Window& w) { u.choose(w, "?TAB2"); }, 1},
      {"same tab again", [](ScriptedUser& u, ui::Window& w) { u.choose(w, "?TAB2"); }, 0},
      {"a component asks",
       [&](ScriptedUser& u, ui::Window& w) {
         component.ask = true;
         u.type(w, "?ENTRY", "6");
         u.type(w, "?ENTRY", "7");
       },
       1},
      {"a window called", [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CALL"); }, 0},
      {"the called window returned", [](ScriptedUser& u, ui::Window&) { u.close(u.window()); }, 1},
  };
  TestWindow* outer = nullptr;
  std::vector<int> counts;
  ui::Rect list;
  Hooks h;
  h.before = [&](TestWindow& w) { outer = &w; };
  h.call = [] { testWindow(plainSetup("called")); };
  user.then([&](ScriptedUser&) { outer->AddItem(component); });
  for (const Row& r : rows) {
    user.then([&](ScriptedUser& u) {
      counts.push_back(outer->resets);
      r.act(u, u.window());
    });
  }
  user.then([&](ScriptedUser& u) {
    counts.push_back(outer->resets);
    list = u.window().rect(kList);
    u.close(u.window());
  });
  testWindow(plainSetup("resets"), h);

  ASSERT_EQ(counts.size(), rows.size() + 1);
  EXPECT_EQ(counts[0], 1) << "opening";
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(counts[i + 1] - counts[i], rows[i].resets) << rows[i].what;
  EXPECT_EQ(component.resets, counts.back() - 1);  // every reset after it was registered
  // The resizer spread the controls over the last size, 300 by 150.
  EXPECT_EQ(list, (ui::Rect{15, 30, 150, 60}));
}

TEST_F(WindowTest, NamesBoundInAWindowAreGoneWhenItEnds) {
  fw::BoundName outerName;
  outerName.number = [] { return 1.0; };
  fw::bindName("outer:x", outerName);
  bool insideSeen = false;
  user.then([&](ScriptedUser& u) {
    fw::BoundName n;
    n.number = [] { return 2.0; };
    fw::bindName("outer:x", n);
    fw::bindName("inner:y", n);
    insideSeen = fw::findBound("INNER:Y") != nullptr && fw::findBound("outer:x")->number() == 2.0;
    u.close(u.window());
  });
  testWindow(plainSetup("scope"));
  EXPECT_TRUE(insideSeen);
  EXPECT_EQ(fw::findBound("inner:y"), nullptr);
  ASSERT_NE(fw::findBound("outer:x"), nullptr);
  EXPECT_EQ(fw::findBound("outer:x")->number(), 1.0);
}

TEST_F(WindowTest, ASecondKillAnswers5AndClosesNothingAgain) {
  int during = 0, after = 0;
  std::uint8_t second = 0;
  Hooks h;
  h.before = [](TestWindow&) { fw::globalErrors().SetProcedureName("below"); };
  h.after = [&](TestWindow& w) {
    second = w.Kill();
    after = dict::Access::F_NAME->openCount();
  };
  user.then([&](ScriptedUser& u) {
    during = dict::Access::F_NAME->openCount();
    u.close(u.window());
  });
  testWindow(plainSetup("twice"), h);
  EXPECT_EQ(second, fw::kNotify);
  EXPECT_EQ(during, 2);
  EXPECT_EQ(after, 1);  // the fixture's own open
  EXPECT_EQ(fw::globalErrors().procedureName(), "below");
  fw::globalErrors().SetProcedureName();
}

}  // namespace
}  // namespace zelk::test
