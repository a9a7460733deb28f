#pragma once
// Whole reads and writes at an offset of an open descriptor, retried when
// interrupted, and the one owning descriptor type the drivers keep their files in.
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace zelk::storage {

// Opens path (flags and perms as for open(2), O_CLOEXEC added) only when it is a
// regular file, without ever blocking (a FIFO or a device is refused at once): the
// descriptor, or -1 with errno set (EISDIR for a folder, EINVAL for any other kind of
// file). Every file the program reads or writes is opened so.
int openRegular(const char* path, int flags, mode_t perms = 0666);

// The whole content of a regular file opened by openRegular, into out: false on any
// failure (a read error, a file that is no regular file, one larger than maxBytes).
bool readRegularFile(const char* path, std::string& out,
                     std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// The count read: short at the end of the file; -1 on an error (errno says which).
ssize_t readAt(int fd, void* buf, std::size_t n, std::uint64_t off);
// False on an error (errno says which; ENOSPC when nothing more could be written).
bool writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off);
// The count buffers of v written one after another from off, whole, as few calls as
// the system allows (v is used up on the way); false as writeAt.
bool writeAllAt(int fd, iovec* v, std::size_t count, std::uint64_t off);

// An open descriptor, closed when the owner goes (errno is kept across the close).
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~Fd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held (if any) and takes fd.
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Asks the kernel to start writing the file's dirty pages to disk now, without
// waiting: a later fdatasync then has less left to wait for. Best effort.
void startWriteback(int fd);

// The size of the open file, 0 when it cannot be had.
std::uint64_t fileSize(int fd);

}  // namespace zelk::storage
