#pragma once
// Sharing modes and locks between processes and threads, with open-file-description
// locks (each open of a file has its own locks, so two threads that open one file
// lock against each other as two processes do; the kernel drops the locks of a
// process that dies).
#include <cstdint>
#include <functional>
#include <string>

#include "platform/storage/file.h"

namespace zelk::storage {

// How long a statement waits for a lock another program holds before it asks.
inline constexpr int kLockWaitSeconds = 10;

class ShareLock {
 public:
  ShareLock() = default;
  ShareLock(const ShareLock&) = delete;
  ShareLock& operator=(const ShareLock&) = delete;

  // Claims the access and sharing of mode on the open descriptor fd: fails with
  // kAccessDenied when another open of the file denies what mode asks, or asks what
  // mode denies, and with kDriverError when the file system refuses the locks. Never
  // waits for another program's lock.
  ErrorState acquire(int fd, std::uint8_t mode);
  void release();

  // The file's write lock: exclusive for writers, shared for readers. Nested calls
  // count; the lock is taken at the first and dropped at the last. A lock held
  // elsewhere is waited for up to waitSeconds; then the busy question (below) decides
  // between waiting as long again and kFileLocked. lockWrite needs a
  // descriptor open for writing (open O_RDWR for any write access).
  ErrorState lockWrite();
  ErrorState lockRead();
  // lockRead without waiting: false when another open holds the write lock.
  bool tryLockRead();
  void unlockOne();
  int depth() const { return depth_; }

  void setWaitSeconds(int s) { waitSeconds_ = s; }

  // Holds of record numbers by this open: another open sees a number held until it
  // is released here or the descriptor closes (the kernel drops the holds of a
  // process that dies). heldElsewhere answers 1 or 0, -1 when the file system does
  // not answer (errno says why).
  ErrorState hold(std::uint64_t recno);
  void release(std::uint64_t recno);
  int heldElsewhere(std::uint64_t recno) const;

 private:
  // The write lock's type taken: waited for (see lockWrite) or tried once.
  ErrorState take(short type, bool wait);
  // lockWrite and lockRead: a call within a lock as strong counts, any other takes it.
  ErrorState nest(short type, bool wait);
  int fd_ = -1;
  int depth_ = 0;
  short held_ = 0;
  int waitSeconds_ = kLockWaitSeconds;
};

// Asked, with the file's name, when a statement has waited its whole wait (of more
// than 0 seconds) for a lock held elsewhere: true waits as long again, false gives up
// (kFileLocked). Without a question set, the statement gives up.
void setLockBusyQuestion(std::function<bool(const std::string& file)> ask);
// Asks the question set for the file (its name as the question shows it): true to wait
// again; false when told to give up or when no question is set.
bool askToWaitAgain(const std::string& file);

// One action of the user (a window's event) on the calling thread: once the busy
// question is answered with give-up, every later statement of the action that finds
// a lock held elsewhere gives up at once (kFileLocked), without waiting or asking. An
// action begun afresh within another (an event of a window called from an event)
// leaves the outer one's answer as it was; one begun within it (the opening of that
// window) shares it.
class BusyAction {
 public:
  enum class Begin : std::uint8_t { Afresh, Within };
  explicit BusyAction(Begin begin = Begin::Afresh);
  ~BusyAction();
  BusyAction(const BusyAction&) = delete;
  BusyAction& operator=(const BusyAction&) = delete;

  bool givenUp() const { return *givenUp_; }

 private:
  friend class ShareLock;
  BusyAction* outer_;
  bool own_ = false;
  bool* givenUp_;  // own_, or the outer action's
};

// errno as an ErrorState: ENOENT 2, EACCES/EPERM/EROFS 5, anything else 90 with the
// system's text.
ErrorState fromErrno(int err, int fallback = kFileSystemError);
// A failed openRegular (io.h) as an ErrorState: a folder, a FIFO or a device gives
// the code notRegular, with what the file is as the file system's error; any other
// errno as fromErrno.
ErrorState fromOpenErrno(int err, int notRegular);

}  // namespace zelk::storage
