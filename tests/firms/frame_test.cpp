// The frame: its title and menus, the framework's standard items (printer set-up,
// exit), the firm list and the firm choice from its menus, and the program's end
// through the shutdown steps by either way of closing it.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "app/startup.h"
#include "fixture.h"

namespace zelk::test {
namespace {

class FrameTest : public FirmsTest {};

TEST_F(FrameTest, MenusOfTheFrame) {
  std::vector<std::pair<std::string, std::string>> items;  // name, text
  std::string caption;
  bool resizable = false;
  std::string wallpaper;
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) {
    caption = title(w);
    resizable = w.def().resizable;
    wallpaper = w.def().wallpaper;
    for (int n = w.first(); n < 0; ++n) {
      EXPECT_FALSE(w.hidden(n) || w.disabled(n)) << n;
      items.emplace_back(cp::toUtf8(w.control(n).name), cp::toUtf8(w.control(n).text));
    }
    u.menu(w, "?EXIT");
  });
  app::MAIN();
  EXPECT_EQ(caption, "Иморт выписок из систем Клиент-Банк");
  EXPECT_TRUE(resizable);
  EXPECT_FALSE(wallpaper.empty());
  // Control -1 first: the bar, then its menus and their items in declaration order.
  std::vector<std::pair<std::string, std::string>> want = {
      {"?PASTE", "&Выбор фирмы для импорта"},
      {"?EDITMENU", "&Начало работы"},
      {"?EXIT", "Выход"},
      {"?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ", "Настройка фирм и путей к базам ЗЕЛК"},
      {"?PRINTSETUP", "&Выбор принтера"},
      {"?FILEMENU", "&Настройки"},
      {"?MENUBAR", ""},
  };
  EXPECT_EQ(items, want);
}

TEST_F(FrameTest, PrinterSetUpOpensTheDialogAndTheFrameStays) {
  bool open = false;
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.menu(w, "?PRINTSETUP"); });
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) {
    open = w.isOpen();
    u.menu(w, "?EXIT");
  });
  app::MAIN();
  EXPECT_TRUE(open);
  EXPECT_EQ(user.printerSetups(), 1);
  EXPECT_EQ(dict::GLOBALRESPONSE, fw::response::kCancelled);
}

TEST_F(FrameTest, EmptyFirmListFromTheFrameAndTheFirmChoiceWithNoFirm) {
  int rows = -1;
  bool startHidden = false;
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.menu(w, ansi(kSettingsItem)); });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    rows = w.rowCount(1);
    u.press(w, "?CLOSE");
  });
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.menu(w, "?PASTE"); });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    startHidden = hidden(w, "?BUTTON4");
    u.close(w);
  });
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.close(w); });
  app::MAIN();
  EXPECT_TRUE(user.finished());
  EXPECT_EQ(rows, 0);
  EXPECT_TRUE(startHidden);
  EXPECT_TRUE(firmsOnDisk().empty());
  EXPECT_EQ(boxes.count(), 0u);
}

// The whole program in a child process: start-up, the frame, and the shutdown
// steps, which write the settings manager's bookkeeping entry at the end.
class ProgramEndTest : public ::testing::TestWithParam<bool> {
 protected:
  TempDir dir;
};

TEST_P(ProgramEndTest, ExitAndTheCloseBoxEndTheProgramThroughTheShutdownSteps) {
  const bool byMenu = GetParam();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    std::filesystem::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    app::processStart();
    app::threadStart();
    fw::ScriptedBoxes boxes;
    boxes.install();
    ScriptedUser user;
    user.install();
    user.then([byMenu](ScriptedUser& u) {
      ui::Window& w = u.wait(ansi(kFrameTitle));
      if (byMenu) u.menu(w, "?EXIT");
      else u.close(w);
    });
    app::setFrame(app::MAIN);
    app::_main();
    app::threadEnd();
    app::processEnd();
    bool ok = user.failures().empty() && user.finished() && boxes.count() == 0;
    user.uninstall();
    std::fflush(nullptr);
    _exit(ok ? 0 : 1);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "F_NAME.DAT"));
  std::ifstream ini(dir / "config/zelk/ZELK.INI", std::ios::binary);
  std::string settings{std::istreambuf_iterator<char>(ini), std::istreambuf_iterator<char>()};
  EXPECT_NE(settings.find("[__Dont_Touch_Me__]"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Sectors=0"), std::string::npos) << settings;
}

INSTANTIATE_TEST_SUITE_P(Frame, ProgramEndTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Exit" : "CloseBox"; });

}  // namespace
}  // namespace zelk::test
