#include "platform/storage/staging.h"

#include <sys/uio.h>

#include <algorithm>
#include <cstring>

#include "platform/storage/io.h"

namespace zelk::storage {

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
  if (buf_.empty()) buf_.reserve(kWriteBackBytes + size_);
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
    bool ok = run.empty() || writeAllAt(fd, run.data(), run.size(), offsetOfFirst + (runFirst - base) * stride);
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
