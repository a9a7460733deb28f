#pragma once
// A test that runs the program's own layers: the process and main-thread start, the
// error manager with its message table, the main thread's file managers, a scripted
// user answering the message boxes, and a temporary folder as the current folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/program.h"
#include "app/startup.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/errors.h"
#include "platform/framework/scriptedboxes.h"
#include "support/tempdir.h"

namespace zelk::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    app::registerProgramProcedures();
    app::processStart();
    app::threadStart();
    fw::globalErrors().Init(app::defaultErrors());
    dict::DCTINIT();
    boxes.install();
  }
  void TearDown() override {
    dict::DCTKILL();
    app::threadEnd();
    boxes.uninstall();
    std::filesystem::current_path(oldDir_);
  }

  // Messages shown so far, by their captions (1251 text).
  std::size_t boxCount() const { return boxes.count(); }
  // Their captions in UTF-8.
  std::vector<std::string> boxCaptions() const {
    std::vector<std::string> r;
    for (const fw::Box& b : boxes.boxes()) r.push_back(cp::toUtf8(b.caption));
    return r;
  }

  TempDir dir;
  fw::ScriptedBoxes boxes;

 private:
  std::filesystem::path oldDir_;
};

}  // namespace zelk::test
