#include "platform/storage/dat21/keylog.h"

#include <algorithm>
#include <vector>

namespace zelk::storage::dat21 {

std::string keyHeaderBytes(const SortKey& codec, std::size_t index) {
  KeyFileHeader kh;
  kh.keyNumber = static_cast<std::uint32_t>(index + 1);
  kh.keyLength = static_cast<std::uint32_t>(codec.length());
  kh.layout = codec.layout();
  std::string out(kKeyHeaderSize, '\0');
  encodeKeyHeader(kh, reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

ErrorState Key::catchUp(std::size_t i, const KeyCommit& c, std::uint64_t slots, bool writable) {
  if (!fresh || c.epoch != epoch || c.length < loaded) return load(i, c, slots, writable);
  if (c.length == loaded) return c.crc == crc ? ErrorState{} : load(i, c, slots, writable);
  const std::size_t es = entrySize(codec.length());
  std::uint64_t add = c.length - loaded;
  if (add % es != 0 || fileSize(fd.get()) < kKeyHeaderSize + c.length) return load(i, c, slots, writable);
  std::vector<unsigned char> buf(static_cast<std::size_t>(add));
  if (readAt(fd.get(), buf.data(), buf.size(), kKeyHeaderSize + loaded) != static_cast<ssize_t>(buf.size()))
    return load(i, c, slots, writable);
  const std::uint32_t sum = crc32(crc, buf.data(), buf.size());
  if (sum != c.crc || !apply(buf.data(), buf.size(), slots)) return load(i, c, slots, writable);
  loaded = c.length;
  crc = sum;
  return {};
}

ErrorState Key::load(std::size_t i, const KeyCommit& c, std::uint64_t slots, bool writable) {
  fresh = false;
  index.clear();
  fd.reset(openRegular(path.c_str(), writable ? O_RDWR : O_RDONLY));
  if (!fd.valid()) return errno == ENOENT ? make(kKeysMustBeRebuilt) : fromOpenErrno(errno, kKeysMustBeRebuilt);
  const std::size_t es = entrySize(codec.length());
  unsigned char head[kKeyHeaderSize];
  KeyFileHeader kh;
  if (readAt(fd.get(), head, sizeof head, 0) != static_cast<ssize_t>(sizeof head) || !decodeKeyHeader(head, kh) ||
      kh.keyNumber != i + 1 || kh.keyLength != codec.length() || kh.layout != codec.layout() ||
      c.length % es != 0 || fileSize(fd.get()) < kKeyHeaderSize + c.length)
    return make(kKeysMustBeRebuilt);
  const std::size_t step = std::max<std::size_t>(1, kWriteBackBytes / es) * es;
  std::vector<unsigned char> buf(static_cast<std::size_t>(std::min<std::uint64_t>(step, c.length)));
  std::uint32_t sum = 0;
  for (std::uint64_t at = 0; at < c.length;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(step, c.length - at));
    if (readAt(fd.get(), buf.data(), n, kKeyHeaderSize + at) != static_cast<ssize_t>(n) ||
        !apply(buf.data(), n, slots)) {
      index.clear();
      return make(kKeysMustBeRebuilt);
    }
    sum = crc32(sum, buf.data(), n);
    at += n;
  }
  if (sum != c.crc) {
    index.clear();
    return make(kKeysMustBeRebuilt);
  }
  loaded = c.length;
  crc = sum;
  epoch = c.epoch;
  fresh = true;
  return {};
}

bool Key::apply(const unsigned char* p, std::size_t n, std::uint64_t slots) {
  const std::size_t len = codec.length(), es = entrySize(len);
  for (std::size_t at = 0; at + es <= n; at += es) {
    const unsigned char* e = p + at;
    std::uint32_t rec = get32(e + 1);
    if (rec == 0 || rec > slots) return false;
    const std::string_view sk(reinterpret_cast<const char*>(e + 5), len);
    if (e[0] == kEntryInsert) {
      if (!index.emplace(sk, rec).second) return false;
    } else if (e[0] == kEntryRemove) {
      auto it = findEntry(index, sk, rec);
      if (it == index.end()) return false;
      index.erase(it);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace zelk::storage::dat21
