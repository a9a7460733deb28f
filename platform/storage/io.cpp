#include "platform/storage/io.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zelk::storage {

int openRegular(const char* path, int flags, mode_t perms) {
  int fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, perms);
  if (fd < 0) return -1;
  struct stat st;
  int err = 0;
  if (::fstat(fd, &st) != 0) err = errno;
  else if (S_ISDIR(st.st_mode)) err = EISDIR;
  else if (!S_ISREG(st.st_mode)) err = EINVAL;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) err = errno;
  if (err) {
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

bool readRegularFile(const char* path, std::string& out, std::size_t maxBytes) {
  out.clear();
  Fd fd(openRegular(path, O_RDONLY));
  if (!fd.valid()) return false;
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return true;
    if (n < 0 || static_cast<std::size_t>(n) > maxBytes - out.size()) {
      out.clear();
      return false;
    }
    out.append(buf, static_cast<std::size_t>(n));
  }
}

ssize_t readAt(int fd, void* buf, std::size_t n, std::uint64_t off) {
  std::size_t done = 0;
  auto* p = static_cast<char*>(buf);
  while (done < n) {
    ssize_t r = ::pread(fd, p + done, n - done, static_cast<off_t>(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

bool writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) {
  iovec v{const_cast<void*>(buf), n};
  return writeAllAt(fd, &v, 1, off);
}

bool writeAllAt(int fd, iovec* v, std::size_t count, std::uint64_t off) {
  std::size_t i = 0;
  while (i < count && v[i].iov_len == 0) ++i;
  while (i < count) {
    const int n = static_cast<int>(std::min<std::size_t>(count - i, IOV_MAX));
    const ssize_t r = n == 1 ? ::pwrite(fd, v[i].iov_base, v[i].iov_len, static_cast<off_t>(off))
                             : ::pwritev(fd, v + i, n, static_cast<off_t>(off));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = ENOSPC;
      return false;
    }
    off += static_cast<std::uint64_t>(r);
    for (auto done = static_cast<std::size_t>(r); done > 0 && i < count;) {
      if (done >= v[i].iov_len) {
        done -= v[i].iov_len;
        ++i;
      } else {
        v[i].iov_base = static_cast<char*>(v[i].iov_base) + done;
        v[i].iov_len -= done;
        done = 0;
      }
    }
    while (i < count && v[i].iov_len == 0) ++i;
  }
  return true;
}

void Fd::reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
  fd_ = fd;
}

void startWriteback(int fd) {
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
#endif
}

std::uint64_t fileSize(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace zelk::storage
