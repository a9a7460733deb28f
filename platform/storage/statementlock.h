#pragma once
// A statement's hold on its file's lock (ShareLock's write or read lock): taken when
// the statement begins, unless the lock is held across statements already (LOCK),
// and released when the statement ends, on every way out. What a statement writes
// back before it ends it reports itself; error says why the lock was not taken.
#include "platform/storage/sharelock.h"

namespace zelk::storage {

class StatementLock {
 public:
  enum class Kind : std::uint8_t { Read, Write };
  StatementLock(ShareLock& share, Kind kind, bool heldAlready = false) : share_(share) {
    if (heldAlready) return;
    error = kind == Kind::Write ? share.lockWrite() : share.lockRead();
    held_ = error.code == 0;
  }
  ~StatementLock() {
    if (held_) share_.unlockOne();
  }
  StatementLock(const StatementLock&) = delete;
  StatementLock& operator=(const StatementLock&) = delete;

  ErrorState error;

 private:
  ShareLock& share_;
  bool held_ = false;
};

}  // namespace zelk::storage
