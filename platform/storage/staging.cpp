#include "platform/storage/staging.h"

#include <limits.h>
#include <sys/uio.h>

#include <cerrno>
#include <cstring>

namespace zelk::storage {
namespace {

// Writes the iovecs at off, whole, retried when short or interrupted.
bool writeVec(int fd, std::vector<iovec>& v, std::uint64_t off) {
  std::size_t i = 0;
  while (i < v.size()) {
    const int n = static_cast<int>(std::min<std::size_t>(v.size() - i, IOV_MAX));
    ssize_t r = ::pwritev(fd, v.data() + i, n, static_cast<off_t>(off));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = ENOSPC;
      return false;
    }
    off += static_cast<std::uint64_t>(r);
    for (auto done = static_cast<std::size_t>(r); done > 0 && i < v.size();) {
      if (done >= v[i].iov_len) {
        done -= v[i].iov_len;
        ++i;
      } else {
        v[i].iov_base = static_cast<char*>(v[i].iov_base) + done;
        v[i].iov_len -= done;
        done = 0;
      }
    }
  }
  return true;
}

}  // namespace

void Staging::put(std::uint64_t index, const char* bytes) {
  auto [it, added] = at_.try_emplace(index, buf_.size());
  if (added) buf_.resize(buf_.size() + size_);
  std::memcpy(buf_.data() + it->second, bytes, size_);
}

const char* Staging::find(std::uint64_t index) const {
  auto it = at_.find(index);
  return it == at_.end() ? nullptr : buf_.data() + it->second;
}

bool Staging::writeTo(int fd, std::uint64_t offsetOfFirst, std::uint64_t stride, std::string_view trailer,
                      std::uint64_t trailerAfter) const {
  if (at_.empty()) return true;
  const std::uint64_t base = at_.begin()->first;
  std::vector<iovec> run;
  std::uint64_t runFirst = 0, next = 0;
  auto flush = [&] {
    bool ok = run.empty() || writeVec(fd, run, offsetOfFirst + (runFirst - base) * stride);
    run.clear();
    return ok;
  };
  for (const auto& [index, off] : at_) {
    if (!run.empty() && index != next && !flush()) return false;
    if (run.empty()) runFirst = index;
    char* p = const_cast<char*>(buf_.data()) + off;
    if (!run.empty() && static_cast<char*>(run.back().iov_base) + run.back().iov_len == p) run.back().iov_len += size_;
    else run.push_back({p, size_});
    next = index + 1;
    if (index == trailerAfter && !trailer.empty()) {
      run.push_back({const_cast<char*>(trailer.data()), trailer.size()});
      if (!flush()) return false;
    }
  }
  return flush();
}

void Staging::clear() {
  buf_.clear();
  at_.clear();
}

}  // namespace zelk::storage
