#include "platform/storage/staging.h"

#include <limits.h>
#include <sys/uio.h>

#include <algorithm>
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

const std::size_t* Staging::offsetOf(std::uint64_t index) const {
  if (!map_.empty()) {
    auto it = map_.find(index);
    return it == map_.end() ? nullptr : &it->second;
  }
  // Beyond either end: not staged (the usual case of records staged in order).
  if (!up_.empty() ? index > up_.back().first : (down_.empty() || index > down_.front().first)) return nullptr;
  if (!down_.empty() ? index < down_.back().first : index < up_.front().first) return nullptr;
  auto up = std::lower_bound(up_.begin(), up_.end(), index, [](const At& a, std::uint64_t i) { return a.first < i; });
  if (up != up_.end() && up->first == index) return &up->second;
  auto down =
      std::lower_bound(down_.begin(), down_.end(), index, [](const At& a, std::uint64_t i) { return a.first > i; });
  if (down != down_.end() && down->first == index) return &down->second;
  return nullptr;
}

void Staging::put(std::uint64_t index, const char* bytes) {
  if (const std::size_t* off = offsetOf(index)) {
    std::memcpy(buf_.data() + *off, bytes, size_);
    return;
  }
  const std::size_t off = buf_.size();
  buf_.insert(buf_.end(), bytes, bytes + size_);
  if (!map_.empty()) {
    map_.emplace(index, off);
  } else if (empty() || index > (up_.empty() ? down_.front().first : up_.back().first)) {
    up_.emplace_back(index, off);
  } else if (index < (down_.empty() ? up_.front().first : down_.back().first)) {
    down_.emplace_back(index, off);
  } else {  // between: from now on a map
    forEach([&](std::uint64_t i, std::size_t o) { return map_.emplace(i, o).second; });
    map_.emplace(index, off);
    up_.clear();
    down_.clear();
  }
}

const char* Staging::find(std::uint64_t index) const {
  const std::size_t* off = offsetOf(index);
  return off ? buf_.data() + *off : nullptr;
}

std::uint64_t Staging::first() const {
  if (!map_.empty()) return map_.begin()->first;
  return down_.empty() ? up_.front().first : down_.back().first;
}

bool Staging::writeTo(int fd, std::uint64_t offsetOfFirst, std::uint64_t stride, std::string_view trailer,
                      std::uint64_t trailerAfter) const {
  if (empty()) return true;
  const std::uint64_t base = first();
  std::vector<iovec> run;
  std::uint64_t runFirst = 0, next = 0;
  auto flush = [&] {
    bool ok = run.empty() || writeVec(fd, run, offsetOfFirst + (runFirst - base) * stride);
    run.clear();
    return ok;
  };
  bool ok = true;
  forEach([&](std::uint64_t index, std::size_t off) {
    if (!run.empty() && index != next && !(ok = flush())) return false;
    if (run.empty()) runFirst = index;
    char* p = const_cast<char*>(buf_.data()) + off;
    if (!run.empty() && static_cast<char*>(run.back().iov_base) + run.back().iov_len == p) run.back().iov_len += size_;
    else run.push_back({p, size_});
    next = index + 1;
    if (index == trailerAfter && !trailer.empty()) {
      run.push_back({const_cast<char*>(trailer.data()), trailer.size()});
      if (!(ok = flush())) return false;
    }
    return true;
  });
  if (!ok) return false;
  return flush();
}

void Staging::clear() {
  buf_.clear();
  up_.clear();
  down_.clear();
  map_.clear();
}

}  // namespace zelk::storage
