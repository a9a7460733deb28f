#pragma once
// A call that must not hang, run in a child process with a generous outer limit.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace zelk::test {

// Runs body in a child process and returns its exit code; -1 when the child did not
// exit normally, or had not ended when limit passed (it is then killed).
inline int inChildWithin(const std::function<int()>& body, std::chrono::seconds limit = std::chrono::seconds(30)) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zelk::test
