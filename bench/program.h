#pragma once
// A benchmark's run of the program's layers in a temporary current folder: the
// process and thread started, the messages and the dictionary set up. end() (or
// leaving the scope) takes them down again and returns to the folder it began in.
#include <filesystem>

#include "app/messages.h"
#include "app/startup.h"
#include "dictionary/managers.h"
#include "platform/framework/errors.h"
#include "tests/support/tempdir.h"

namespace zelk::bench {

class ProgramRun {
 public:
  ProgramRun() : oldDir_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir.path());
    app::processStart();
    app::threadStart();
    fw::globalErrors().Init(app::defaultErrors());
    dict::DCTINIT();
  }
  ~ProgramRun() { end(); }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  void end() {
    if (ended_) return;
    ended_ = true;
    dict::DCTKILL();
    app::threadEnd();
    std::filesystem::current_path(oldDir_);
  }

  test::TempDir dir;

 private:
  std::filesystem::path oldDir_;
  bool ended_ = false;
};

}  // namespace zelk::bench
