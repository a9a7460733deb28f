// The resizer's strategies and size limits, and the open-file dialog object.
#include <gtest/gtest.h>

#include "fixture.h"
#include "platform/framework/resize.h"
#include "platform/framework/selectfile.h"

namespace zelk::test {
namespace {

using fw::WindowResizeClass;

// 200 by 100: 1 a list, 2 a button, 3 a group with 4 an entry on it.
ui::WindowDef resizedDef() {
  ui::WindowDef d;
  d.at = {0, 0, 200, 100};
  d.resizable = true;
  d.controls = {
      control(Kind::List, "?LIST", {10, 20, 100, 50}),
      control(Kind::Button, "?OK", {150, 80, 40, 14}),
      control(Kind::Group, "?GROUP", {120, 10, 70, 40}),
      control(Kind::Entry, "?ENTRY", {130, 20, 50, 10}, {}, {}, 0, 3),
  };
  return d;
}

TEST(ResizeTest, StrategiesAndLimits) {
  struct Case {
    const char* what;
    int strategy;
    bool minimum, maximum;
    ui::Rect to;      // the place the user gives the window
    ui::Rect kept;    // the window's place afterwards
    ui::Rect list, button, entry;
  } cases[] = {
      {"spread, larger", 2, true, false, {0, 0, 400, 200}, {0, 0, 400, 200},
       {20, 40, 200, 100}, {300, 160, 40, 14}, {260, 40, 100, 10}},
      {"spread, smaller without a minimum", 2, false, false, {5, 5, 100, 50}, {5, 5, 100, 50},
       {5, 10, 50, 25}, {75, 40, 40, 14}, {65, 10, 25, 10}},
      {"the minimum size holds", 2, true, false, {5, 5, 100, 50}, {5, 5, 200, 100},
       {10, 20, 100, 50}, {150, 80, 40, 14}, {130, 20, 50, 10}},
      {"the maximum size holds", 2, false, true, {0, 0, 400, 200}, {0, 0, 200, 100},
       {10, 20, 100, 50}, {150, 80, 40, 14}, {130, 20, 50, 10}},
      {"keep", 1, true, false, {0, 0, 400, 200}, {0, 0, 400, 200},
       {10, 20, 100, 50}, {150, 80, 40, 14}, {130, 20, 50, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui::Window w(resizedDef());
    WindowResizeClass r;
    r.Init(c.strategy, c.minimum, c.maximum);
    r.SetParentDefaults();
    r.attach(w);
    w.setPlace(c.to);
    r.Resize();
    EXPECT_EQ(w.place(), c.kept);
    EXPECT_EQ(w.rect(1), c.list);
    EXPECT_EQ(w.rect(2), c.button);
    EXPECT_EQ(w.rect(4), c.entry);
  }
}

TEST(ResizeTest, AMinimisedWindowIsLeftAlone) {
  ui::Window w(resizedDef());
  WindowResizeClass r;
  r.Init(2, true, false);
  r.attach(w);
  w.setPlace({0, 0, 10, 10});
  w.setMinimized(true);
  r.Resize();
  EXPECT_EQ(w.place(), (ui::Rect{0, 0, 10, 10}));
  EXPECT_EQ(w.rect(1), (ui::Rect{10, 20, 100, 50}));
}

// Maximised, the controls spread over the area the window is shown in, its place kept
// for the restore; restored, they come back.
TEST(ResizeTest, MaximiseAndRestoreSpreadTheControlsOverTheAreaShown) {
  User user;
  user.install();
  ui::Window w(resizedDef());
  w.open();
  WindowResizeClass r;
  r.Init(2, true, false);
  r.SetParentDefaults();
  r.attach(w);
  const ui::Rect normal{0, 0, 200, 100};
  w.userResize(normal, true, false, {0, 0, 400, 200});
  r.Resize();
  EXPECT_EQ(w.place(), normal);
  EXPECT_EQ(w.area(), (ui::Rect{0, 0, 400, 200}));
  EXPECT_EQ(w.rect(1), (ui::Rect{20, 40, 200, 100}));
  EXPECT_EQ(w.rect(4), (ui::Rect{260, 40, 100, 10}));
  // On a screen smaller than the definition the controls keep its size.
  w.userResize(normal, true, false, {0, 0, 150, 200});
  r.Resize();
  EXPECT_EQ(w.rect(1), (ui::Rect{10, 40, 100, 100}));
  w.userResize(normal, false, false);
  r.Resize();
  EXPECT_EQ(w.area(), normal);
  EXPECT_EQ(w.rect(1), (ui::Rect{10, 20, 100, 50}));
  EXPECT_EQ(w.rect(4), (ui::Rect{130, 20, 50, 10}));
  w.close();
  user.uninstall();
}

TEST(SelectFileTest, TitleMaskFlagsAndTheAnswer) {
  User user;
  user.install();
  ui::Window w(resizedDef());
  fw::SelectFileClass f;
  f.Init();
  f.Flags |= fw::SelectFileClass::kClearOnCancel | fw::SelectFileClass::kLongName;
  f.SetMask("All Files", "*.txt");
  user.answerFile("/data/statement.txt");
  user.answerFile(std::nullopt);
  EXPECT_EQ(f.Ask(w), "/data/statement.txt");
  EXPECT_EQ(f.Ask(w), "");  // cancelled
  f.Flags &= ~fw::SelectFileClass::kClearOnCancel;
  user.answerFile("/data/other.txt");
  user.answerFile(std::nullopt);
  EXPECT_EQ(f.Ask(w), "/data/other.txt");
  EXPECT_EQ(f.Ask(w), "/data/other.txt");  // cancelled: the previous choice stays

  std::vector<ui::Backend::FileDialog> shown = user.fileDialogs();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(cp::toUtf8(shown[0].title), "Выбор файла");
  EXPECT_EQ(shown[0].filters, (std::vector<std::pair<std::string, std::string>>{{"All Files", "*.txt"}}));
  EXPECT_TRUE(shown[0].mustExist);
}

}  // namespace
}  // namespace zelk::test
