#pragma once
// A program test driven by the scripted user: the user installed over the test's
// message boxes, its steps written against windows, and the few readings of a
// window the tests compare (UTF-8).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/script/scripted_user.h"
#include "support/program.h"

namespace zelk::test {

using script::ScriptedUser;

class ScriptedProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    user.install();
    user.useBoxes(boxes);
  }
  // A fixture closes its own files first, then calls this.
  void TearDown() override {
    user.uninstall();
    for (const std::string& f : user.failures()) ADD_FAILURE() << cp::toUtf8(f);
    ProgramTest::TearDown();
  }

  // A step of the script, given the innermost window of the test's thread.
  void then(std::function<void(ScriptedUser&, ui::Window&)> step) {
    user.then([step = std::move(step)](ScriptedUser& u) { step(u, u.window()); });
  }
  // Steps on the window with this title (UTF-8), which they wait for.
  void on(std::string title, std::function<void(ScriptedUser&, ui::Window&)> step) {
    user.then([title = ansi(title), step = std::move(step)](ScriptedUser& u) { step(u, u.wait(title)); });
  }
  // On the list window with this title (UTF-8): highlight row (0: leave it) and press button.
  void pressInList(std::string title, int row, const char* button) {
    on(std::move(title), [row, button](ScriptedUser& u, ui::Window& w) {
      if (row != 0) u.selectRow(w, "?BROWSE:1", row);
      u.press(w, button);
    });
  }

  // A control's shown text (UTF-8, without the blanks around it).
  static std::string text(ui::Window& w, std::string_view control) {
    const std::string shown = w.text(w.number(ansi(control)));
    std::string_view t = trimRight(shown);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    return cp::toUtf8(t);
  }
  static std::string title(ui::Window& w) { return cp::toUtf8(w.title()); }

  ScriptedUser user;
};

}  // namespace zelk::test
