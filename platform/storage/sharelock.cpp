#include "platform/storage/sharelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace zelk::storage {
namespace {

// Lock bytes far beyond any data: one byte each for the two kinds of access, the
// two kinds of denial, and the write lock. Opens are serialised with flock(), which
// works on descriptors opened read-only too.
constexpr off_t kBase = off_t{1} << 40;
constexpr off_t kAccessRead = kBase + 1;
constexpr off_t kAccessWrite = kBase + 2;
constexpr off_t kDenyRead = kBase + 3;
constexpr off_t kDenyWrite = kBase + 4;
constexpr off_t kWriteLock = kBase + 5;

int ofd(int fd, int cmd, short type, off_t at) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  return fcntl(fd, cmd, &fl);
}

// Whether some other open holds a lock on the byte that conflicts with an exclusive one.
bool heldElsewhere(int fd, off_t at) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

}  // namespace

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

ErrorState ShareLock::acquire(int fd, std::uint8_t mode) {
  fd_ = fd;
  while (flock(fd, LOCK_EX) != 0)
    if (errno != EINTR) return fromErrno(errno);
  const int access = mode & mode::kAccessMask;
  const int share = mode & mode::kShareMask;
  const bool wantRead = access == mode::kRead || access == mode::kReadWrite;
  const bool wantWrite = access == mode::kWrite || access == mode::kReadWrite;
  // Sharing 0 (compatibility) behaves as deny-write for writers, deny-none for readers.
  const bool denyRead = share == mode::kDenyAll || share == mode::kDenyRead;
  const bool denyWrite = share == mode::kDenyAll || share == mode::kDenyWrite || (share == 0 && wantWrite);

  bool conflict = (wantRead && heldElsewhere(fd, kDenyRead)) || (wantWrite && heldElsewhere(fd, kDenyWrite)) ||
                  (denyRead && heldElsewhere(fd, kAccessRead)) || (denyWrite && heldElsewhere(fd, kAccessWrite));
  ErrorState result;
  if (conflict) {
    result.code = kAccessDenied;
    result.text = std::string(errorText(kAccessDenied));
    result.fileCode = EACCES;
    result.fileText = "sharing violation";
  } else {
    if (wantRead) ofd(fd, F_OFD_SETLK, F_RDLCK, kAccessRead);
    if (wantWrite) ofd(fd, F_OFD_SETLK, F_RDLCK, kAccessWrite);
    if (denyRead) ofd(fd, F_OFD_SETLK, F_RDLCK, kDenyRead);
    if (denyWrite) ofd(fd, F_OFD_SETLK, F_RDLCK, kDenyWrite);
  }
  flock(fd, LOCK_UN);
  if (conflict) fd_ = -1;
  return result;
}

void ShareLock::release() {
  if (fd_ < 0) return;
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kBase;
  fl.l_len = 16;
  fcntl(fd_, F_OFD_SETLK, &fl);
  fd_ = -1;
  depth_ = 0;
  held_ = 0;
}

ErrorState ShareLock::take(short type) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds_);
  for (;;) {
    if (ofd(fd_, F_OFD_SETLK, type, kWriteLock) == 0) {
      held_ = type;
      return {};
    }
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return fromErrno(errno);
    if (std::chrono::steady_clock::now() >= deadline) {
      ErrorState e;
      e.code = kFileLocked;
      e.text = std::string(errorText(kFileLocked));
      e.fileCode = EAGAIN;
      e.fileText = "the file is locked by another program";
      return e;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

ErrorState ShareLock::lockWrite() {
  if (fd_ < 0) return {};
  if (depth_ > 0 && held_ == F_WRLCK) {
    ++depth_;
    return {};
  }
  ErrorState e = take(F_WRLCK);
  if (e.code == 0) ++depth_;
  return e;
}

ErrorState ShareLock::lockRead() {
  if (fd_ < 0) return {};
  if (depth_ > 0) {
    ++depth_;
    return {};
  }
  ErrorState e = take(F_RDLCK);
  if (e.code == 0) ++depth_;
  return e;
}

void ShareLock::unlockOne() {
  if (fd_ < 0 || depth_ == 0) return;
  if (--depth_ == 0) {
    ofd(fd_, F_OFD_SETLK, F_UNLCK, kWriteLock);
    held_ = 0;
  }
}

}  // namespace zelk::storage
