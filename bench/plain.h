#pragma once
// The least plain I/O that moves given bytes: each file read from its start in large
// blocks, the bytes written into one new file in large blocks, one fdatasync. The
// storage and import figures are set beside it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/syscalls.h"
#include "platform/core/numtext.h"

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

namespace zelk::bench {

// A pass of a storage benchmark: its best time over the repeats, with the system calls
// of that run.
struct Figure {
  double ms = 1e300;
  long long calls = 0;
  void take(double t, long long c) {
    if (t < ms) {
      ms = t;
      calls = c;
    }
  }
};

// Runs f once, timed and counted, into fig.
template <class F>
void timed(Figure& fig, F&& f) {
  SyscallCounter counter;
  counter.start();
  const auto t0 = std::chrono::steady_clock::now();
  f();
  const double ms = millisSince(t0);
  counter.stop();
  fig.take(ms, counter.calls());
}

// One line of a storage table: the pass beside the plain I/O of its bytes.
inline void printPass(const char* what, const Figure& f, const PlainIo& p) {
  std::printf("  %-36s %9s %9s %7sx %9s %9s\n", what, fixedText(f.ms, 2).c_str(), fixedText(p.ms, 2).c_str(),
              fixedText(f.ms / p.ms, 1).c_str(), numberText(f.calls).c_str(), numberText(p.calls).c_str());
}
inline void printPassHeader() {
  std::printf("  %-36s %9s %9s %8s %9s %9s\n", "pass", "ms", "plain ms", "ratio", "calls", "plain");
}

// The best of repeats plain runs.
inline PlainIo bestPlain(int repeats, const std::vector<PlainRead>& reads, std::uint64_t writeBytes,
                         const std::string& scratch) {
  PlainIo best = plainIo(reads, writeBytes, scratch);
  for (int i = 1; i < repeats; ++i) {
    PlainIo p = plainIo(reads, writeBytes, scratch);
    if (p.ms < best.ms) best = p;
  }
  return best;
}

}  // namespace zelk::bench
