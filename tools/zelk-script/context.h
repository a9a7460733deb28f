#pragma once
// A script's run: its lines, the line playing, the scripted user that plays them and
// the message boxes it answers; the way a run ends the process.
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/script/scripted_user.h"
#include "tools/zelk-script/runnerboxes.h"

namespace zelk::script {

struct Context {
  Context(std::string p, std::vector<std::string> l) : path(std::move(p)), lines(std::move(l)), boxes(*this) {}
  std::string path;
  std::vector<std::string> lines;
  std::atomic<int> line{0};
  ScriptedUser user;
  RunnerBoxes boxes;

  void fail(const std::string& utf8) { user.fail(cp::fromUtf8(utf8)); }
};

// Ends the process at once: nothing more of the program or the script runs.
[[noreturn]] void stop(Context& c, int status, const std::string& utf8);

}  // namespace zelk::script
