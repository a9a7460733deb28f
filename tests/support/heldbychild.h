#pragma once
// Another station: a child process that takes something (a lock) and holds it until
// the test lets it go.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace zelk::test {

class HeldByChild {
 public:
  // The child runs body, which takes what it holds, calls holdUntilReleased() and
  // answers its exit status; a body that returns without holding fails the hold.
  // Returns once the child holds (held() true) or has failed.
  using Body = std::function<int(const std::function<void()>& holdUntilReleased)>;
  explicit HeldByChild(const Body& body) {
    int held[2], release[2];
    if (::pipe(held) != 0) return;
    if (::pipe(release) != 0) {
      ::close(held[0]);
      ::close(held[1]);
      return;
    }
    std::fflush(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(held[0]);
      ::close(release[1]);
      _exit(body([&] {
        char c = 'h';
        if (::write(held[1], &c, 1) != 1) _exit(4);
        static_cast<void>(::read(release[0], &c, 1));  // a byte or the test's end
      }));
    }
    ::close(held[1]);
    ::close(release[0]);
    release_ = release[1];
    char c = 0;
    held_ = pid_ > 0 && ::read(held[0], &c, 1) == 1 && c == 'h';
    ::close(held[0]);
  }
  HeldByChild(const HeldByChild&) = delete;
  HeldByChild& operator=(const HeldByChild&) = delete;
  ~HeldByChild() { release(); }

  bool held() const { return held_; }

  // The child lets go and ends; its exit status (0 when all went well).
  int release() {
    if (release_ >= 0) ::close(release_);
    release_ = -1;
    if (pid_ > 0) {
      int st = 0;
      ::waitpid(pid_, &st, 0);
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    pid_ = -1;
    held_ = false;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
  int status_ = -1;
};

}  // namespace zelk::test
