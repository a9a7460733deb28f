#include "platform/storage/sharelock.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <utility>
#include <thread>

namespace zelk::storage {
namespace {

// Lock bytes far beyond any data: one byte each for the two kinds of access, the
// two kinds of denial, and the write lock. Only open-file-description locks are
// taken, so a program's flock() on the file never holds an open of ours.
constexpr off_t kBase = off_t{1} << 40;
constexpr off_t kAccessRead = kBase + 1;
constexpr off_t kAccessWrite = kBase + 2;
constexpr off_t kDenyRead = kBase + 3;
constexpr off_t kDenyWrite = kBase + 4;
constexpr off_t kWriteLock = kBase + 5;
// The holds of records: one byte per record number, past the bytes above.
constexpr off_t kHeldRecords = kBase + (off_t{1} << 32);
constexpr std::uint64_t kHighestHeld = 0xFFFFFFFFu;

// Two opens that claim at once may both find the other and step back; they try again
// after a short pause (growing up to a limit), this many times: the whole wait stays
// within about a second.
constexpr int kClaimTries = 50;
constexpr unsigned kLongestPauseMicros = 20000;

// A lock of the given type over the len bytes from at.
struct flock lockOf(short type, off_t at, off_t len = 1) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = len;
  return fl;
}

int ofd(int fd, int cmd, short type, off_t at) {
  struct flock fl = lockOf(type, at);
  return fcntl(fd, cmd, &fl);
}

bool busy(int err) { return err == EAGAIN || err == EACCES; }

// The file system refuses the locks the sharing modes need (a network share without
// them answers EINVAL or ENOLCK): a driver error that says so.
ErrorState lockRefused(int err) {
  ErrorState e = errorOf(kDriverError);
  e.fileCode = err;
  e.fileText = std::string("the file system refuses file locks: ") + std::strerror(err);
  e.text = e.fileText;
  return e;
}

ErrorState sharingViolation() {
  ErrorState e = errorOf(kAccessDenied);
  e.fileCode = EACCES;
  e.fileText = "sharing violation";
  return e;
}

// Whether some other open holds a lock on the byte that conflicts with an exclusive
// one; -1 when the file system does not answer.
int heldElsewhere(int fd, off_t at) {
  struct flock fl = lockOf(F_WRLCK, at);
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return -1;
  return fl.l_type != F_UNLCK ? 1 : 0;
}

struct Claim {
  bool wantRead, wantWrite, denyRead, denyWrite;
};

Claim claimOf(std::uint8_t mode) {
  const int access = mode & mode::kAccessMask;
  const int share = mode & mode::kShareMask;
  Claim c;
  c.wantRead = access == mode::kRead || access == mode::kReadWrite;
  c.wantWrite = access == mode::kWrite || access == mode::kReadWrite;
  // Sharing 0 (compatibility) behaves as deny-write for writers, deny-none for readers.
  c.denyRead = share == mode::kDenyAll || share == mode::kDenyRead;
  c.denyWrite = share == mode::kDenyAll || share == mode::kDenyWrite || (share == 0 && c.wantWrite);
  return c;
}

// Whether another open's claim conflicts with c: 1 yes, 0 no, -1 the file system
// does not answer (errno says why).
int conflicts(int fd, const Claim& c) {
  const std::pair<bool, off_t> checks[] = {
      {c.wantRead, kDenyRead}, {c.wantWrite, kDenyWrite}, {c.denyRead, kAccessRead}, {c.denyWrite, kAccessWrite}};
  for (const auto& [need, at] : checks) {
    if (!need) continue;
    if (int h = heldElsewhere(fd, at); h != 0) return h;
  }
  return 0;
}

// Drops this open's locks over the n bytes from kBase.
void unlockFromBase(int fd, off_t n) {
  struct flock fl = lockOf(F_UNLCK, kBase, n);
  fcntl(fd, F_OFD_SETLK, &fl);
}

void dropClaim(int fd) { unlockFromBase(fd, 5); }

std::function<bool(const std::string&)>& busyQuestion() {
  static std::function<bool(const std::string&)> q;
  return q;
}
std::mutex busyQuestionMutex;

thread_local BusyAction* currentAction = nullptr;

ErrorState lockedElsewhere() {
  ErrorState e;
  e.code = kFileLocked;
  e.text = std::string(errorText(kFileLocked));
  e.fileCode = EAGAIN;
  e.fileText = "the file is locked by another program";
  return e;
}

// The name of the file open on fd, for the question.
std::string nameOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char buf[4096];
  ssize_t n = ::readlink(link, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

BusyAction::BusyAction(Begin begin)
    : outer_(currentAction), givenUp_(begin == Begin::Within && outer_ ? outer_->givenUp_ : &own_) {
  currentAction = this;
}
BusyAction::~BusyAction() { currentAction = outer_; }

void setLockBusyQuestion(std::function<bool(const std::string& file)> ask) {
  std::lock_guard g(busyQuestionMutex);
  busyQuestion() = std::move(ask);
}

bool askToWaitAgain(const std::string& file) {
  std::function<bool(const std::string&)> ask;
  {
    std::lock_guard g(busyQuestionMutex);
    ask = busyQuestion();
  }
  return ask && ask(file);
}

ErrorState fromErrno(int err, int fallback) {
  ErrorState e;
  switch (err) {
    case ENOENT: e.code = kFileNotFound; break;
    case ENOTDIR: e.code = kPathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: e.code = kAccessDenied; break;
    default: e.code = fallback; break;
  }
  e.text = std::string(errorText(e.code));
  e.fileCode = err;
  e.fileText = std::strerror(err);
  if (e.code == kFileSystemError) e.text = e.fileText;
  return e;
}

ErrorState fromOpenErrno(int err, int notRegular) {
  if (err != EISDIR && err != EINVAL) return fromErrno(err);
  ErrorState e = errorOf(notRegular);
  e.fileCode = err;
  e.fileText = err == EISDIR ? std::strerror(err) : "Not a regular file";
  return e;
}

// A claim is taken first and checked after: of two opens that claim at once, each
// sees the other and steps back, and they try again after a pause of their own; an
// open whose claim conflicts with one already in place is refused at once.
ErrorState ShareLock::acquire(int fd, std::uint8_t mode) {
  const Claim c = claimOf(mode);
  unsigned pause = 100 + static_cast<unsigned>(::getpid() % 97) * 7;  // microseconds, differs per process
  for (int attempt = 0;; ++attempt) {
    int before = conflicts(fd, c);
    if (before < 0) return lockRefused(errno);
    if (before > 0) return sharingViolation();
    const std::pair<bool, off_t> claims[] = {
        {c.wantRead, kAccessRead}, {c.wantWrite, kAccessWrite}, {c.denyRead, kDenyRead}, {c.denyWrite, kDenyWrite}};
    for (const auto& [need, at] : claims) {
      if (!need || ofd(fd, F_OFD_SETLK, F_RDLCK, at) == 0) continue;
      const int err = errno;
      dropClaim(fd);
      return busy(err) ? sharingViolation() : lockRefused(err);  // a foreign lock over our bytes
    }
    int after = conflicts(fd, c);
    if (after == 0) {
      fd_ = fd;
      return {};
    }
    const int err = errno;
    dropClaim(fd);
    if (after < 0) return lockRefused(err);
    if (attempt + 1 == kClaimTries) return sharingViolation();
    std::this_thread::sleep_for(std::chrono::microseconds(pause));
    pause = std::min(pause * 3 / 2, kLongestPauseMicros);
  }
}

void ShareLock::release() {
  if (fd_ < 0) return;
  unlockFromBase(fd_, 16);
  fd_ = -1;
  depth_ = 0;
  held_ = 0;
}

ErrorState ShareLock::take(short type, bool wait) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds_);
  for (;;) {
    if (ofd(fd_, F_OFD_SETLK, type, kWriteLock) == 0) {
      held_ = type;
      return {};
    }
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return lockRefused(errno);
    if (!wait || (currentAction && *currentAction->givenUp_)) return lockedElsewhere();
    if (std::chrono::steady_clock::now() >= deadline) {
      if (waitSeconds_ > 0) {
        if (askToWaitAgain(nameOf(fd_))) {
          deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds_);
          continue;
        }
        if (currentAction) *currentAction->givenUp_ = true;
      }
      return lockedElsewhere();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

ErrorState ShareLock::nest(short type, bool wait) {
  if (depth_ > 0 && (type == F_RDLCK || held_ == F_WRLCK)) {
    ++depth_;
    return {};
  }
  ErrorState e = take(type, wait);
  if (e.code == 0) ++depth_;
  return e;
}

ErrorState ShareLock::lockWrite() { return fd_ < 0 ? ErrorState{} : nest(F_WRLCK, true); }

ErrorState ShareLock::lockRead() { return fd_ < 0 ? ErrorState{} : nest(F_RDLCK, true); }

bool ShareLock::tryLockRead() { return fd_ >= 0 && nest(F_RDLCK, false).code == 0; }

ErrorState ShareLock::hold(std::uint64_t recno) {
  if (fd_ < 0 || recno == 0 || recno > kHighestHeld) return errorOf(kRecordNotAvailable);
  if (ofd(fd_, F_OFD_SETLK, F_WRLCK, kHeldRecords + static_cast<off_t>(recno)) == 0) return {};
  const int err = errno;
  if (busy(err)) return errorOf(kFileLocked);
  return lockRefused(err);
}

void ShareLock::release(std::uint64_t recno) {
  if (fd_ < 0 || recno == 0 || recno > kHighestHeld) return;
  ofd(fd_, F_OFD_SETLK, F_UNLCK, kHeldRecords + static_cast<off_t>(recno));
}

int ShareLock::heldElsewhere(std::uint64_t recno) const {
  if (fd_ < 0 || recno == 0 || recno > kHighestHeld) return 0;
  return ::zelk::storage::heldElsewhere(fd_, kHeldRecords + static_cast<off_t>(recno));
}

void ShareLock::unlockOne() {
  if (fd_ < 0 || depth_ == 0) return;
  if (--depth_ == 0) {
    ofd(fd_, F_OFD_SETLK, F_UNLCK, kWriteLock);
    held_ = 0;
  }
}

}  // namespace zelk::storage
