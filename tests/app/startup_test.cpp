// Start-up and shutdown: the order of the main procedure's steps, full-window
// dragging, and the settings file's bookkeeping entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/startup.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/errors.h"
#include "platform/framework/ini.h"
#include "platform/framework/scriptedboxes.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

// Remembers the desktop setting in a file, so that a child process ended by a
// fatal stop leaves it for the test to read.
class FileDragSetting : public app::DragSetting {
 public:
  FileDragSetting(std::string path, int initial) : path_(std::move(path)) { write(initial); }
  int get() override { return read(); }
  void set(int on) override { write(on); }
  int read() const {
    std::ifstream f(path_);
    int v = -1;
    f >> v;
    return v;
  }

 private:
  void write(int v) { std::ofstream(path_) << v; }
  std::string path_;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir_ = fs::current_path();
    fs::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    app::processStart();
    app::threadStart();
    boxes.install();
  }
  void TearDown() override {
    app::setDragSetting(nullptr);
    app::setFrame({});
    boxes.uninstall();
    fs::current_path(oldDir_);
  }
  std::string iniText() const {
    std::ifstream f(dir / "config/zelk/ZELK.INI");
    return std::string((std::istreambuf_iterator<char>(f)), {});
  }

  TempDir dir;
  fw::ScriptedBoxes boxes;
  fs::path oldDir_;
};

TEST_F(StartupTest, TheFrameRunsAfterTheServicesAndTheMainThreadsManagers) {
  bool ran = false;
  app::setFrame([&] {
    ran = true;
    EXPECT_NE(dict::Relate::F_NAME, nullptr);
    EXPECT_NE(dict::Relate::PRT, nullptr);
    EXPECT_EQ(cp::toUtf8(fw::globalErrors().title(26)), "Ошибка доступа к файлу");
    EXPECT_FALSE(fw::globalIni().path().empty());
  });
  app::_main();
  EXPECT_TRUE(ran);
  app::threadEnd();  // removes the main thread's managers
  EXPECT_EQ(dict::Relate::F_NAME, nullptr);
}

TEST_F(StartupTest, DraggingIsOffWhileTheProgramRunsOnlyWhenItWasExactlyOn) {
  struct Case {
    int atStart, whileRunning, afterwards;
  };
  for (Case c : {Case{1, 0, 1}, Case{0, 0, 0}, Case{2, 2, 2}}) {
    FileDragSetting drag(dir / "drag", c.atStart);
    app::setDragSetting(&drag);
    int seen = -1;
    app::setFrame([&] { seen = drag.read(); });
    app::_main();
    EXPECT_EQ(seen, c.whileRunning) << "at start " << c.atStart;
    EXPECT_EQ(drag.read(), c.afterwards) << "at start " << c.atStart;
    app::threadEnd();
    app::threadStart();
  }
}

TEST_F(StartupTest, ANormalEndWritesTheBookkeepingEntry) {
  app::_main();
  app::threadEnd();
  EXPECT_NE(iniText().find("[__Dont_Touch_Me__]"), std::string::npos);
  EXPECT_NE(iniText().find("Sectors=0"), std::string::npos);
}

TEST_F(StartupTest, TheSecondThreadBuildsItsOwnManagersBeforeItsProcedureRuns) {
  app::setFrame([] {
    std::atomic<bool> done{false};
    std::atomic<bool> hadManagers{false};
    std::atomic<int> number{0};
    app::START(
        [&] {
          hadManagers = dict::Relate::PLN != nullptr && dict::Relate::PLN != nullptr;
          number = fw::threadNumber();
          done = true;
        },
        50000);
    while (!done) std::this_thread::yield();
    EXPECT_TRUE(hadManagers);
    EXPECT_GT(number, 1);
  });
  app::_main();
  app::threadEnd();
}

// A thread the system cannot start (here: a stack larger than the address space) is
// reported, not dropped without a word.
TEST_F(StartupTest, AThreadThatCannotStartIsReported) {
  bool ran = false;
  app::START([&] { ran = true; }, std::size_t{1} << 47);
  EXPECT_FALSE(ran);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), app::kThreadNotStartedCaption);
  EXPECT_EQ(cp::toUtf8(boxes.last().text).rfind(app::kThreadNotStartedText, 0), 0u);
}

using StartupDeathTest = StartupTest;

TEST_F(StartupDeathTest, AFatalStopLeavesDraggingOffAndTheSettingsFileUnwritten) {
  FileDragSetting drag(dir / "drag", 1);
  app::setDragSetting(&drag);
  app::setFrame([] { fw::globalErrors().ThrowFile(26, "F_NAME"); });
  EXPECT_EXIT(app::_main(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(drag.read(), 0);
  EXPECT_EQ(iniText().find("__Dont_Touch_Me__"), std::string::npos);
}

}  // namespace
}  // namespace zelk::test
