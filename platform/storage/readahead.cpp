#include "platform/storage/readahead.h"

#include <algorithm>
#include <cstring>

#include "platform/storage/io.h"
#include "platform/storage/staging.h"

namespace zelk::storage {

void ReadAhead::update(std::uint64_t i, const char* bytes) {
  if (holds(i)) std::memcpy(buf_.data() + (i - first_) * size_, bytes, size_);
}

std::int64_t ReadAhead::fill(int fd, std::uint64_t offset, std::uint64_t first, std::uint64_t n,
                             std::uint64_t onDisk, const Staging& staged) {
  count_ = 0;
  lastSpan_ = n;
  buf_.resize(static_cast<std::size_t>(n) * size_);
  onDisk = std::min(onDisk, n);
  const ssize_t got = onDisk > 0 ? readAt(fd, buf_.data(), static_cast<std::size_t>(onDisk) * size_, offset) : 0;
  if (got < 0) return -1;
  std::uint64_t m = static_cast<std::uint64_t>(got) / size_;
  staged.each(first, first + n, [&](std::uint64_t i, const char* r) {
    std::memcpy(buf_.data() + (i - first) * size_, r, size_);
    if (i == first + m) ++m;
  });
  first_ = first;
  count_ = m;
  return static_cast<std::int64_t>(m);
}

std::uint64_t ReadAhead::span(std::uint64_t i, bool forward, std::uint64_t start, std::uint64_t most) const {
  const bool goesOn = valid() && (forward ? i == end() : i + 1 == first_);
  return std::max<std::uint64_t>(1, std::min(goesOn ? std::max(start, lastSpan_ * 2) : start, most));
}

}  // namespace zelk::storage
