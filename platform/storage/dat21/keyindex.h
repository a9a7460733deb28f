#pragma once
// A key's index in memory: the ordered set of (sort bytes, record number) of one key,
// its nodes taken from a pool of its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/dat21/sortkey.h"

namespace zelk::storage::dat21 {

// One key entry in memory.
struct Entry {
  Entry(std::string_view s, std::uint32_t r) : sk(s), rec(r) {}
  std::string sk;
  std::uint32_t rec;
};
// A place between entries: (sort bytes, record number) with a wider record number.
struct Probe {
  std::string_view sk;
  std::uint64_t rec;
};
struct EntryLess {
  using is_transparent = void;
  static int cmp(std::string_view a, std::uint64_t ra, std::string_view b, std::uint64_t rb) {
    if (int c = compareSortBytes(a, b); c != 0) return c;
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
  }
  bool operator()(const Entry& a, const Entry& b) const { return cmp(a.sk, a.rec, b.sk, b.rec) < 0; }
  bool operator()(const Entry& a, const Probe& b) const { return cmp(a.sk, a.rec, b.sk, b.rec) < 0; }
  bool operator()(const Probe& a, const Entry& b) const { return cmp(a.sk, a.rec, b.sk, b.rec) < 0; }
};

// Memory for the nodes of one key's set: a freed node is kept for the next one, and
// the blocks go when the pool goes. Each block holds twice the nodes of the one
// before: a large set takes few of them.
class NodePool {
 public:
  void* take(std::size_t bytes) {
    if (size_ == 0) size_ = kPooled ? (std::max(bytes, sizeof(void*)) + kAlign - 1) / kAlign * kAlign : 0;
    if (bytes > size_) return ::operator new(bytes);
    if (free_) {
      void* p = free_;
      free_ = *static_cast<void**>(p);
      return p;
    }
    if (left_ == 0) {
      left_ = blocks_.empty() ? kFirstBlock : std::min(2 * perBlock_, kLargestBlock);
      perBlock_ = left_;
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(size_ * left_));
      at_ = blocks_.back().get();
    }
    void* p = at_;
    at_ += size_;
    --left_;
    return p;
  }
  void give(void* p, std::size_t bytes) {
    if (bytes > size_) return ::operator delete(p);
    *static_cast<void**>(p) = free_;
    free_ = p;
  }

 private:
  static constexpr std::size_t kAlign = alignof(std::max_align_t), kFirstBlock = 256, kLargestBlock = 1 << 16;
#if defined(__SANITIZE_ADDRESS__)
  static constexpr bool kPooled = false;  // every node its own allocation, for the address checks
#else
  static constexpr bool kPooled = true;
#endif
  std::size_t size_ = 0;
  void* free_ = nullptr;
  char* at_ = nullptr;
  std::size_t left_ = 0, perBlock_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
};

template <class T>
struct PoolAllocator {
  using value_type = T;
  explicit PoolAllocator(NodePool* p) : pool(p) {}
  template <class U>
  PoolAllocator(const PoolAllocator<U>& o) : pool(o.pool) {}
  T* allocate(std::size_t n) { return static_cast<T*>(pool->take(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) { pool->give(p, n * sizeof(T)); }
  bool operator==(const PoolAllocator& o) const { return pool == o.pool; }
  NodePool* pool;
};

using Index = std::set<Entry, EntryLess, PoolAllocator<Entry>>;

// The entry (sk, rec), else end(). Records deleted in the order of a pass over the
// file are mostly the first or the last entry: those are looked at before a search.
inline Index::iterator findEntry(Index& idx, std::string_view sk, std::uint64_t rec) {
  if (idx.empty()) return idx.end();
  const auto is = [&](const Entry& e) { return e.rec == rec && e.sk == sk; };
  if (auto first = idx.begin(); is(*first)) return first;
  if (auto last = std::prev(idx.end()); is(*last)) return last;
  return idx.find(Probe{sk, rec});
}

}  // namespace zelk::storage::dat21
