#pragma once
// Runs a zelk-script file in a child process, as the zelk-script tool does, with the
// program's settings in dir/config and its output in files of dir.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/files.h"
#include "support/tempdir.h"
#include "tools/zelk-script/runner.h"

namespace zelk::test {

struct ScriptRun {
  int status = -1;  // the runner's exit status, -1 when it did not exit
  std::string out, err;
};

// The current folder of the run is dir when inDir is set.
inline ScriptRun runZelkScript(const TempDir& dir, std::string scriptPath, bool inDir = false) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen((dir / "out").c_str(), "w", stdout);
    std::freopen((dir / "err").c_str(), "w", stderr);
    if (inDir) std::filesystem::current_path(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    char* argv[] = {const_cast<char*>("zelk-script"), scriptPath.data(), nullptr};
    int status = script::runnerMain(2, argv);
    std::fflush(nullptr);
    _exit(status);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  ScriptRun r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = readAll(dir / "out");
  r.err = readAll(dir / "err");
  return r;
}

}  // namespace zelk::test
