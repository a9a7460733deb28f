#pragma once
// Fixed-length records changed in memory and not yet written, by record index, for
// the drivers' write-back: their bytes lie in one buffer in the order they were
// first staged, and a write-back writes each run of consecutive indexes with one
// call (pwritev over the buffer, no copying).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace zelk::storage {

class Staging {
 public:
  explicit Staging(std::size_t recordBytes) : size_(recordBytes) {}

  // Stages record index's new bytes (recordBytes of them).
  void put(std::uint64_t index, const char* bytes);
  // The staged bytes of record index, else null.
  const char* find(std::uint64_t index) const;
  bool empty() const { return at_.empty(); }
  std::size_t bytes() const { return buf_.size(); }
  std::uint64_t first() const { return at_.begin()->first; }
  std::uint64_t last() const { return at_.rbegin()->first; }
  // Calls f(index, bytes) for the staged records with from <= index < to, in order.
  template <class F>
  void each(std::uint64_t from, std::uint64_t to, F&& f) const {
    for (auto it = at_.lower_bound(from); it != at_.end() && it->first < to; ++it) f(it->first, buf_.data() + it->second);
  }

  // Writes every staged record i at offsetOfFirst + (i - firstIndex()) * stride, one
  // call per run of consecutive indexes; trailer follows the record with index
  // trailerAfter. False on an error (errno says which); nothing is cleared.
  bool writeTo(int fd, std::uint64_t offsetOfFirst, std::uint64_t stride, std::string_view trailer = {},
               std::uint64_t trailerAfter = 0) const;
  void clear();  // keeps the buffer's memory for the next records
  void reserve(std::size_t bytes) { buf_.reserve(bytes); }

 private:
  std::size_t size_;
  std::vector<char> buf_;
  std::map<std::uint64_t, std::size_t> at_;  // index -> offset in buf_
};

}  // namespace zelk::storage
