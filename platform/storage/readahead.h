#pragma once
// Fixed-length records of a file read in one go and kept in memory, by index: a
// window of consecutive records, the drivers' read-ahead. What the window holds is
// the file's records on disk with the staged ones (staging.h) over them; a driver
// copies its own changes in (update) and drops the window when another writer may
// have changed the file.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelk::storage {

class Staging;

// Bytes a driver reads at once when it reads ahead.
inline constexpr std::size_t kReadAheadBytes = 64 * 1024;

class ReadAhead {
 public:
  explicit ReadAhead(std::size_t recordBytes) : size_(recordBytes) {}

  bool valid() const { return count_ > 0; }
  bool holds(std::uint64_t i) const { return i >= first_ && i - first_ < count_; }
  std::uint64_t first() const { return first_; }
  std::uint64_t end() const { return first_ + count_; }  // past the last record held
  // Record i's bytes (holds(i)).
  const char* at(std::uint64_t i) const { return buf_.data() + (i - first_) * size_; }
  const char* find(std::uint64_t i) const { return holds(i) ? at(i) : nullptr; }
  void drop() { count_ = 0; }
  // Copies record i's new bytes in when the window holds it.
  void update(std::uint64_t i, const char* bytes);

  // Fills the window with records first .. first + n - 1: the first onDisk of them
  // read with one call from fd at offset (the offset of record first), then every
  // staged one among them over what was read. The window holds the records read
  // whole and the staged ones that follow them without a gap: their count, or -1 on
  // a read error (errno says which; the window is empty).
  std::int64_t fill(int fd, std::uint64_t offset, std::uint64_t first, std::uint64_t n, std::uint64_t onDisk,
                    const Staging& staged);

  // How many records a fill at i should take: twice the last fill's when i goes on
  // where the window ends (forward) or begins (backward), as a pass over the file
  // does; else start; never more than most.
  std::uint64_t span(std::uint64_t i, bool forward, std::uint64_t start, std::uint64_t most) const;

 private:
  std::size_t size_;
  std::vector<char> buf_;
  std::uint64_t first_ = 0, count_ = 0;
  std::uint64_t lastSpan_ = 0;  // what the last fill asked for
};

}  // namespace zelk::storage
