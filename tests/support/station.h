#pragma once
// Another station: a child process that opens a file of the dictionary for reading and
// writing and holds its write lock, as a run of another program does, until the test
// lets it go.
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/storage/file.h"

namespace zelk::test {

class LockingStation {
 public:
  // Returns once the child holds the lock (held() true) or has failed to take it.
  LockingStation(const storage::FileDecl& decl, const std::string& path) {
    int held[2], release[2];
    if (::pipe(held) != 0) return;
    if (::pipe(release) != 0) {
      ::close(held[0]);
      ::close(held[1]);
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      ::close(held[0]);
      ::close(release[1]);
      std::vector<char> buffer(decl.recordSize);
      storage::File f(decl, buffer.data());
      f.setNameSource([path] { return path; });
      if (f.open(storage::mode::kReadWrite | storage::mode::kDenyNone) != 0 || f.lock() != 0) _exit(3);
      char c = 1;
      if (::write(held[1], &c, 1) != 1) _exit(4);
      static_cast<void>(::read(release[0], &c, 1));  // a byte or the test's end
      f.unlock();
      _exit(0);
    }
    ::close(held[1]);
    ::close(release[0]);
    release_ = release[1];
    char c = 0;
    held_ = pid_ > 0 && ::read(held[0], &c, 1) == 1;
    ::close(held[0]);
  }
  LockingStation(const LockingStation&) = delete;
  LockingStation& operator=(const LockingStation&) = delete;
  ~LockingStation() { release(); }

  bool held() const { return held_; }

  // The lock let go and the child ended; its exit status (0 when all went well).
  int release() {
    if (release_ >= 0) ::close(release_);
    release_ = -1;
    if (pid_ > 0) {
      int st = 0;
      waitpid(pid_, &st, 0);
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
  int status_ = -1;
};

}  // namespace zelk::test
