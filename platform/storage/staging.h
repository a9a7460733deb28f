#pragma once
// Fixed-length records changed in memory and not yet written, by record index, for
// the drivers' write-back: their bytes lie in one buffer in the order they were
// first staged, and a write-back writes each run of consecutive indexes with one
// call (pwritev over the buffer, no copying). Records staged in rising or in falling
// order (appends, a pass over the file, a free list taken from its end) are kept
// without an allocation per record; any other order falls back to a map.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace zelk::storage {

// Staged bytes that make a write-back before the lock is released.
inline constexpr std::size_t kWriteBackBytes = 1 << 20;

class Staging {
 public:
  explicit Staging(std::size_t recordBytes) : size_(recordBytes) {}

  // Stages record index's new bytes (recordBytes of them); the first record staged
  // makes room for kWriteBackBytes.
  void put(std::uint64_t index, const char* bytes);
  // The staged bytes of record index, else null.
  const char* find(std::uint64_t index) const;
  bool empty() const { return up_.empty() && down_.empty() && map_.empty(); }
  std::size_t bytes() const { return buf_.size(); }
  std::uint64_t first() const;  // the lowest index staged (not empty)
  // Calls f(index, bytes) for the staged records with from <= index < to, in order.
  template <class F>
  void each(std::uint64_t from, std::uint64_t to, F&& f) const {
    forEach([&](std::uint64_t i, std::size_t off) {
      if (i >= from && i < to) f(i, buf_.data() + off);
      return i < to;
    });
  }

  // Writes every staged record i at offsetOfFirst + (i - first()) * stride, one call
  // per run of consecutive indexes; trailer follows the record with index
  // trailerAfter. False on an error (errno says which); nothing is cleared.
  bool writeTo(int fd, std::uint64_t offsetOfFirst, std::uint64_t stride, std::string_view trailer = {},
               std::uint64_t trailerAfter = 0) const;
  void clear();  // keeps the buffer's memory for the next records

 private:
  using At = std::pair<std::uint64_t, std::size_t>;  // index, offset in buf_
  // Every (index, offset) in rising order of index while f returns true.
  template <class F>
  void forEach(F&& f) const {
    if (!map_.empty()) {
      for (const auto& [i, off] : map_)
        if (!f(i, off)) return;
      return;
    }
    for (auto it = down_.rbegin(); it != down_.rend(); ++it)
      if (!f(it->first, it->second)) return;
    for (const At& a : up_)
      if (!f(a.first, a.second)) return;
  }
  const std::size_t* offsetOf(std::uint64_t index) const;

  std::size_t size_;
  std::vector<char> buf_;
  // Without the map: down_ holds indexes each staged below all before it (falling),
  // up_ those staged above (rising); every index in down_ is below every one in up_.
  std::vector<At> up_, down_;
  std::map<std::uint64_t, std::size_t> map_;
};

}  // namespace zelk::storage
