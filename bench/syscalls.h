#pragma once
// What the kernel counts of this process: its system calls (the raw_syscalls
// tracepoint, through perf_event_open; where the kernel refuses, the read and write
// calls of /proc/self/io stand in) and the bytes it passed to write calls.
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace zelk::bench {

// A field of /proc/self/io ("syscr", "wchar" ...), -1 when missing.
inline long long procIo(std::string_view name) {
  std::ifstream in("/proc/self/io");
  std::string line;
  while (std::getline(in, line))
    if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 && line[name.size()] == ':') {
      long long v = -1;
      const std::size_t at = line.find_first_of("0123456789");
      if (at != std::string::npos) std::from_chars(line.data() + at, line.data() + line.size(), v);
      return v;
    }
  return -1;
}

// Counts the calling thread's system calls between start() and stop().
class SyscallCounter {
 public:
  SyscallCounter() {
    std::ifstream id("/sys/kernel/tracing/events/raw_syscalls/sys_enter/id");
    long long config = -1;
    if (!(id >> config)) {
      std::ifstream old("/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id");
      if (!(old >> config)) config = -1;
    }
    if (config < 0) return;
    perf_event_attr a;
    std::memset(&a, 0, sizeof a);
    a.size = sizeof a;
    a.type = PERF_TYPE_TRACEPOINT;
    a.config = static_cast<std::uint64_t>(config);
    a.disabled = 1;
    fd_ = static_cast<int>(::syscall(SYS_perf_event_open, &a, 0, -1, -1, 0));
  }
  SyscallCounter(const SyscallCounter&) = delete;
  SyscallCounter& operator=(const SyscallCounter&) = delete;
  ~SyscallCounter() {
    if (fd_ >= 0) ::close(fd_);
  }
  // "system calls" when every call is counted, "read/write calls" otherwise.
  const char* what() const { return fd_ >= 0 ? "system calls" : "read/write calls"; }

  void start() {
    io0_ = procIo("syscr") + procIo("syscw");
    written0_ = procIo("wchar");
    if (fd_ >= 0) {
      ::ioctl(fd_, PERF_EVENT_IOC_RESET, 0);
      ::ioctl(fd_, PERF_EVENT_IOC_ENABLE, 0);
    }
  }
  void stop() {
    if (fd_ >= 0) {
      ::ioctl(fd_, PERF_EVENT_IOC_DISABLE, 0);
      std::uint64_t n = 0;
      calls_ = ::read(fd_, &n, sizeof n) == static_cast<ssize_t>(sizeof n) ? static_cast<long long>(n) : -1;
    } else {
      calls_ = procIo("syscr") + procIo("syscw") - io0_;
    }
    written_ = procIo("wchar") - written0_;
  }
  long long calls() const { return calls_; }
  long long written() const { return written_; }  // bytes passed to write calls

 private:
  int fd_ = -1;
  long long io0_ = 0, written0_ = 0, calls_ = 0, written_ = 0;
};

}  // namespace zelk::bench
