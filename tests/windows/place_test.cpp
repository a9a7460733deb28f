// A window's place in the settings file: stored when it closes, restored when it
// opens, the keys in their order and removed when not recorded.
#include <fstream>
#include <iterator>

#include "fixture.h"
#include "platform/framework/ini.h"

namespace zelk::test {
namespace {

constexpr int kMissing = ui::kDefaultPosition;

ui::WindowDef placedDef(bool resizable) {
  ui::WindowDef d;
  d.title = "Placed";
  d.at = {5, 5, 150, 80};
  d.resizable = resizable;
  d.controls = {control(Kind::Button, "?OK", {10, 10, 40, 14})};
  return d;
}

class PlaceTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    ini.Init((dir.path() / "ZELK.INI").string(), 0, 0);
  }
  // The lines of the section, in the file's order.
  std::vector<std::string> section(const std::string& name) const {
    std::ifstream in(dir.path() / "ZELK.INI", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    bool inside = false;
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find("\r\n", start);
      if (end == std::string::npos) end = all.size();
      std::string line = all.substr(start, end - start);
      start = end + 2;
      if (!line.empty() && line.front() == '[') inside = line == "[" + name + "]";
      else if (inside && !line.empty()) lines.push_back(line);
    }
    return lines;
  }

  fw::INIClass ini;
};

TEST_F(PlaceTest, StoredAndRestored) {
  struct Case {
    const char* what;
    bool resizable, maximized, minimized;
    std::vector<std::string> lines;
    ui::Rect restored;
    bool restoredMaximized;
  } cases[] = {
      {"resizable", true, false, false,
       {"Maximize=No", "Minimize=No", "XPos=10", "YPos=-20", "Width=300", "Height=200"}, {10, -20, 300, 200}, false},
      {"not resizable", false, false, false, {"Maximize=No", "Minimize=No", "XPos=10", "YPos=-20"}, {10, -20, 150, 80},
       false},
      {"maximised", true, true, false, {"Maximize=Yes", "Minimize=No"}, {kMissing, kMissing, 150, 80}, true},
      {"minimised", true, false, true, {"Maximize=No", "Minimize=Yes"}, {kMissing, kMissing, 150, 80}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* k : {"Maximize", "Minimize", "XPos", "YPos", "Width", "Height"}) ini.update("w", k, "1");
    {
      ui::Window w(placedDef(c.resizable));
      w.setPlace({10, -20, 300, 200});
      w.setMaximized(c.maximized);
      w.setMinimized(c.minimized);
      ini.Update("w", w);
    }
    EXPECT_EQ(section("w"), c.lines);
    ui::Window again(placedDef(c.resizable));
    ini.Fetch("w", again);
    EXPECT_EQ(again.place(), c.restored);
    EXPECT_EQ(again.maximized(), c.restoredMaximized);
    EXPECT_FALSE(again.minimized());
  }
}

TEST_F(PlaceTest, RestoringWhatTheFileHolds) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> keys;
    bool maximizedBefore;
    ui::Rect place;
    bool maximized;
  } cases[] = {
      {"no section", {}, false, {5, 5, 150, 80}, false},
      {"Maximize neither Yes nor No", {{"Maximize", "yes"}, {"XPos", "1"}}, false, {5, 5, 150, 80}, false},
      {"edges missing", {{"Maximize", "No"}, {"Width", "99"}}, false, {kMissing, kMissing, 99, 80}, false},
      {"stored restored, open maximised", {{"Maximize", "No"}, {"XPos", "7"}, {"YPos", "8"}}, true,
       {7, 8, 150, 80}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string name = c.what;
    for (const auto& [k, v] : c.keys) ini.update(name, k, std::string(v));
    ui::Window w(placedDef(true));
    w.setMaximized(c.maximizedBefore);
    ini.Fetch(name, w);
    EXPECT_EQ(w.place(), c.place);
    EXPECT_EQ(w.maximized(), c.maximized);
  }
}

TEST_F(PlaceTest, AWindowThatKeepsItsPlaceStoresItWhenItClosesAndFindsItWhenItOpens) {
  fw::globalIni().Init((dir.path() / "ZELK.INI").string(), 0, 0);
  app::WindowSetup s;
  s.procedureName = "placed";
  s.iniSection = "placed";
  auto run = [&] {
    ui::Window window(placedDef(true));
    app::WindowPattern thisWindow(window, s);
    app::respond(thisWindow);
  };
  user.then([](ScriptedUser& u) {
    u.window().userResize({30, 40, 250, 130}, false, false);
    u.close(u.window());
  });
  run();
  EXPECT_EQ(section("placed"),
            (std::vector<std::string>{"Maximize=No", "Minimize=No", "XPos=30", "YPos=40", "Width=250", "Height=130"}));
  ui::Rect opened;
  user.then([&](ScriptedUser& u) {
    opened = u.window().place();
    u.close(u.window());
  });
  run();
  EXPECT_EQ(opened, (ui::Rect{30, 40, 250, 130}));
}

}  // namespace
}  // namespace zelk::test
