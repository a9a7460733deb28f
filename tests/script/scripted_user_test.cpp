// The scripted user on a small test window: a person's actions and the events they
// cause, reading and asserting properties, message boxes, the open-file dialog, a
// window on another thread (the steps waiting for its thread), and failures recorded
// instead of thrown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/core/codepage.h"
#include "platform/framework/scriptedboxes.h"
#include "platform/script/scripted_user.h"
#include "platform/ui/window.h"

namespace zelk::test {
namespace {

using script::ScriptedUser;
using ui::Kind;

ui::ControlDef control(Kind k, std::string name, std::uint32_t attrs = 0) {
  ui::ControlDef c;
  c.kind = k;
  c.name = std::move(name);
  c.attrs = attrs;
  return c;
}

// Controls: 1 ?NAME, 2 ?OK, 3 ?BUTTON4, 4 ?BROWSE:1, 5 ?PASTE, 6 ?SHOW, 7 ?OPEN, 8 ?ASK.
constexpr int kShow = 6;

// A window procedure that logs the events it gets, as its owner thread sees them.
struct TestWindow {
  std::vector<std::string> log;

  void run(const std::string& title) {
    Text<20> name;
    ui::WindowDef def;
    def.title = title;
    def.controls = {control(Kind::Entry, "?NAME"), control(Kind::Button, "?OK", ui::kDefault),
                    control(Kind::Button, "?BUTTON4", ui::kHidden), control(Kind::List, "?BROWSE:1"),
                    control(Kind::Item, "?PASTE"), control(Kind::String, "?SHOW"),
                    control(Kind::Button, "?OPEN"), control(Kind::Button, "?ASK")};
    def.controls[0].use = ui::use(name);
    def.controls[3].format = "20L(2)|M~Kod~@s5@80L(2)~Name~@s20@";
    ui::Window w(def);
    w.open();
    w.setRows(4, {{"1", ansi("Альфа")}, {"2", ansi("Бета")}, {"3", ansi("Гамма")}});
    w.alert(ui::key::kMouseLeft2);
    w.alert(ui::key::kMouseRightUp);
    for (;;) {
      ui::EventRec e = w.wait();
      if (e.event == ui::Event::CloseWindow) break;
      std::string c = e.control ? w.control(e.control).name : "";
      if (e.event == ui::Event::Accepted) {
        log.push_back("accepted " + c);
        if (c == "?OK") w.setText(kShow, name.str());
        if (c == "?OPEN") {
          std::optional<std::string> f = ui::backend().askOpenFile(w, {ansi("Выписка"), {{"Text", "*.txt"}}, true});
          w.setText(kShow, f.value_or("cancelled"));
        }
        if (c == "?ASK") {
          fw::Box b{ansi("Вопрос"), ansi("Продолжить?"), fw::Icon::Question, fw::kButtonYes | fw::kButtonNo,
                    fw::kButtonYes};
          w.setText(kShow, fw::boxService().show(b) == fw::kButtonYes ? "yes" : "no");
        }
      } else if (e.event == ui::Event::NewSelection) {
        log.push_back("selection " + c + " " + std::to_string(e.row));
      } else if (e.event == ui::Event::AlertKey) {
        log.push_back("key " + c + " " + std::to_string(e.key) + " " + std::to_string(e.row));
      } else if (e.event == ui::Event::Selected) {
        log.push_back("selected " + c);
      }
    }
    w.close();
  }
};

class ScriptedUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user.install();
    boxes.install();
    user.useBoxes(boxes);
    user.timeout = std::chrono::milliseconds(2000);
  }
  void TearDown() override {
    boxes.uninstall();
    user.uninstall();
  }

  std::vector<std::string> failures() const {
    std::vector<std::string> r;
    for (const std::string& f : user.failures()) r.push_back(cp::toUtf8(f));
    return r;
  }

  const std::string title = ansi("Тестовое окно");
  ScriptedUser user;
  fw::ScriptedBoxes boxes;
  TestWindow window;
};

TEST_F(ScriptedUserTest, PlaysAPersonsActionsAndReadsWhatTheWindowShows) {
  std::string t = title;
  user.then([t](ScriptedUser& u) { u.wait(t); })
      .then([](ScriptedUser& u) { u.type(u.current(), "?name", ansi("Ромашка")); })
      .then([](ScriptedUser& u) { u.press(u.current(), "?OK"); })
      .then([](ScriptedUser& u) { u.expect(u.current(), "?SHOW", "text", ansi("Ромашка")); })
      .then([](ScriptedUser& u) { u.menu(u.current(), "?PASTE"); })
      .then([](ScriptedUser& u) { u.selectRow(u.current(), "?BROWSE:1", 2); })
      .then([](ScriptedUser& u) { u.doubleClick(u.current(), "?BROWSE:1", 3); })
      .then([](ScriptedUser& u) { u.rightClick(u.current(), "?BROWSE:1", 1); })
      .then([t](ScriptedUser& u) {
        ui::Window& w = u.current();
        u.expect(w, "?BROWSE:1", "selected", "3");
        u.expect(w, "?BROWSE:1", "rows", "3");
        u.expectRow(w, "?BROWSE:1", 3, {"3", ansi("Гамма")});
        u.expectCell(w, "?BROWSE:1", 2, 2, ansi("Бета"));
        u.expect(w, "?BUTTON4", "hidden", "true");
        u.expect(w, "?OK", "default", "true");
        u.expect(w, "?OK", "disabled", "false");
        u.expect(w, "?NAME", "readonly", "false");
        u.expect(w, "", "title", t);
      })
      .then([](ScriptedUser& u) { u.answerFile("/data/vix.txt"); })
      .then([](ScriptedUser& u) { u.press(u.current(), "?OPEN"); })
      .then([](ScriptedUser& u) { u.expect(u.current(), "?SHOW", "text", "/data/vix.txt"); })
      .then([](ScriptedUser& u) { u.answerBox(fw::kButtonNo); })
      .then([](ScriptedUser& u) { u.press(u.current(), "?ASK"); })
      .then([](ScriptedUser& u) {
        u.expectBox(ansi("Вопрос"), ansi("Продолжить?"));
        u.expectNoBox();
        u.expect(u.current(), "?SHOW", "text", "no");
      })
      .then([](ScriptedUser& u) { u.focus(u.current(), "?NAME"); })
      .then([](ScriptedUser& u) { u.expect(u.current(), "", "focus", "?name"); })
      .then([](ScriptedUser& u) { u.close(u.current()); });

  window.run(title);

  EXPECT_EQ(failures(), std::vector<std::string>{});
  EXPECT_TRUE(user.finished());
  EXPECT_TRUE(user.expectFinished());
  EXPECT_EQ(window.log, (std::vector<std::string>{
                            "accepted ?NAME", "accepted ?OK", "accepted ?PASTE", "selection ?BROWSE:1 2",
                            "selection ?BROWSE:1 3", "key ?BROWSE:1 770 3", "key ?BROWSE:1 773 1",
                            "accepted ?OPEN", "accepted ?ASK", "selected ?NAME"}));
  ASSERT_EQ(user.fileDialogs().size(), 1u);
  EXPECT_EQ(cp::toUtf8(user.fileDialogs()[0].title), "Выписка");
}

TEST_F(ScriptedUserTest, AFailedStepIsRecordedAndTheScriptGoesOn) {
  struct Case {
    ScriptedUser::Step step;
    std::string failure;  // part of the one failure recorded
  };
  const Case cases[] = {
      {[](ScriptedUser& u) { u.press(u.current(), "?NONE"); }, "has no control ?NONE"},
      {[](ScriptedUser& u) { u.type(u.current(), "?OK", "x"); }, "?OK is not an entry"},
      {[](ScriptedUser& u) { u.menu(u.current(), "?OK"); }, "?OK is not a menu item"},
      {[](ScriptedUser& u) { u.selectRow(u.current(), "?BROWSE:1", 4); }, "?BROWSE:1 has 3 rows, no row 4"},
      {[](ScriptedUser& u) { u.expect(u.current(), "?NAME", "text", "x"); }, "?NAME text is \"\", expected \"x\""},
      {[](ScriptedUser& u) { u.expect(u.current(), "?BUTTON4", "hidden", "false"); },
       "?BUTTON4 hidden is \"true\", expected \"false\""},
      {[](ScriptedUser& u) { u.expect(u.current(), "?OK", "colour", "red"); }, "no property \"colour\" of ?OK"},
      {[](ScriptedUser& u) { u.expectRow(u.current(), "?BROWSE:1", 1, {"1", "x"}); },
       "?BROWSE:1 row 1 is \"1\" \"Альфа\", expected \"1\" \"x\""},
      {[](ScriptedUser& u) { u.expectCell(u.current(), "?BROWSE:1", 1, 3, "x"); }, "the row has 2 cells"},
      {[](ScriptedUser& u) { u.expectBox("X"); }, "no message box was shown (expected \"X\")"},
      {[](ScriptedUser& u) { u.wait(ansi("Нет такого")); }, "no window titled \"Нет такого\""},
  };
  for (const Case& c : cases) {
    ScriptedUser u;
    u.install();
    u.useBoxes(boxes);
    u.timeout = std::chrono::milliseconds(50);
    u.then(c.step).then([](ScriptedUser& s) { s.close(s.current()); });
    TestWindow tw;
    tw.run(title);
    std::vector<std::string> f;
    for (const std::string& m : u.failures()) f.push_back(cp::toUtf8(m));
    ASSERT_EQ(f.size(), 1u) << c.failure;
    EXPECT_NE(f[0].find(c.failure), std::string::npos) << f[0];
    EXPECT_TRUE(u.finished());
  }
}

TEST_F(ScriptedUserTest, AScriptThatEndsEarlyClosesTheWindowAndUnusedAnswersFail) {
  std::vector<std::string> seen;
  user.onFailure([&](const std::string& m) { seen.push_back(cp::toUtf8(m)); });
  user.then([](ScriptedUser& u) {
    u.answerBox(fw::kButtonYes);
    u.answerFile("/x");
  });
  window.run(title);  // returns: the window is closed for the script
  EXPECT_FALSE(user.expectFinished());
  EXPECT_EQ(seen, (std::vector<std::string>{"the script ended while \"Тестовое окно\" waited for the user",
                                            "1 message box answer(s) were not used",
                                            "1 open-file answer(s) were not used"}));
  EXPECT_EQ(failures(), seen);
}

TEST_F(ScriptedUserTest, DrivesAWindowOfAnotherThread) {
  std::string other = ansi("Второе окно");
  TestWindow tw;
  std::thread owner([&] { tw.run(other); });
  user.then([other](ScriptedUser& u) { u.wait(other); })
      .then([](ScriptedUser& u) { u.type(u.current(), "?NAME", ansi("Бета")); })
      .then([](ScriptedUser& u) { u.press(u.current(), "?OK"); })
      .then([](ScriptedUser& u) { u.expect(u.current(), "?SHOW", "text", ansi("Бета")); })
      .then([](ScriptedUser& u) { u.answerBox(fw::kButtonYes); })
      .then([](ScriptedUser& u) { u.press(u.current(), "?ASK"); })
      .then([](ScriptedUser& u) { u.expectBox(ansi("Вопрос")); })
      .then([](ScriptedUser& u) { u.expect(u.current(), "?SHOW", "text", "yes"); })
      .then([](ScriptedUser& u) { u.close(u.current()); });
  user.play();  // the script's own thread has no window
  owner.join();
  EXPECT_EQ(failures(), std::vector<std::string>{});
  EXPECT_EQ(tw.log, (std::vector<std::string>{"accepted ?NAME", "accepted ?OK", "accepted ?ASK"}));
}

// A window of another thread that takes its time to close once pressed: the next step
// runs only when that thread has settled (in the window it opens next) or ended, and
// never finds the closing window.
TEST_F(ScriptedUserTest, AStepWaitsForTheThreadsItTouchedAndNeverFindsAClosingWindow) {
  const std::string other = ansi("Второе окно");
  for (bool opensAnother : {true, false}) {
    SCOPED_TRACE(opensAnother ? "a window of the same title next" : "the thread ends");
    std::atomic<bool> closed{false}, ended{false};
    TestWindow next;
    ScriptedUser u;
    u.install();
    u.useBoxes(boxes);
    std::thread owner([&] {
      ui::WindowDef def;
      def.title = other;
      def.controls = {control(Kind::Button, "?OK")};
      {
        ui::Window w(def);
        w.open();
        for (ui::Event e = ui::Event::None; e != ui::Event::Accepted && e != ui::Event::CloseWindow;)
          e = w.wait().event;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the next step comes meanwhile
        w.close();
      }
      closed = true;
      if (opensAnother) next.run(other);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ended = true;
    });
    bool closedSeen = false, endedSeen = false;
    u.then([&](ScriptedUser& s) { s.press(s.wait(other), "?OK"); }).then([&](ScriptedUser&) {
      closedSeen = closed;
      if (!opensAnother) endedSeen = ended;
    });
    if (opensAnother)
      u.then([&](ScriptedUser& s) { s.expect(s.wait(other), "?BUTTON4", "hidden", "true"); })
          .then([](ScriptedUser& s) { s.close(s.current()); });
    u.play();
    while (!ended) {  // a failed step leaves a window open
      ui::postToThread(owner.get_id(), ui::Event::CloseWindow);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    owner.join();
    std::vector<std::string> f;
    for (const std::string& m : u.failures()) f.push_back(cp::toUtf8(m));
    EXPECT_EQ(f, std::vector<std::string>{});
    EXPECT_TRUE(closedSeen);
    EXPECT_EQ(endedSeen, !opensAnother);
  }
}

}  // namespace
}  // namespace zelk::test
