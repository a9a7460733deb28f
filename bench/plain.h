#pragma once
// The least plain I/O that moves given bytes: each file read from its start in large
// blocks, the bytes written into one new file in large blocks, one fdatasync. The
// storage and import figures are set beside it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/syscalls.h"

namespace zelk::bench {

struct PlainIo {
  double ms = 0;
  long long calls = 0;
};

struct PlainRead {
  std::string path;
  std::uint64_t bytes;  // read from the start
};

inline PlainIo plainIo(const std::vector<PlainRead>& reads, std::uint64_t writeBytes, const std::string& scratch) {
  constexpr std::size_t kBlock = 1 << 20;
  std::vector<char> block(kBlock, 'x');
  SyscallCounter counter;
  counter.start();
  const auto t0 = std::chrono::steady_clock::now();
  for (const PlainRead& r : reads) {
    const int fd = ::open(r.path.c_str(), O_RDONLY | O_CLOEXEC);
    for (std::uint64_t at = 0; fd >= 0 && at < r.bytes;) {
      const ssize_t n = ::read(fd, block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, r.bytes - at)));
      if (n <= 0) break;
      at += static_cast<std::uint64_t>(n);
    }
    if (fd >= 0) ::close(fd);
  }
  const int out = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  for (std::uint64_t at = 0; out >= 0 && at < writeBytes;) {
    const ssize_t n = ::write(out, block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, writeBytes - at)));
    if (n <= 0) break;
    at += static_cast<std::uint64_t>(n);
  }
  if (out >= 0) {
    ::fdatasync(out);
    ::close(out);
  }
  PlainIo p;
  p.ms = millisSince(t0);
  counter.stop();
  p.calls = counter.calls();
  ::unlink(scratch.c_str());
  return p;
}

}  // namespace zelk::bench
