#pragma once
// A key file: the log of entries behind a key's index, read into the index and
// written as a snapshot.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/storage/dat21/fileio.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/keyindex.h"
#include "platform/storage/dat21/sortkey.h"
#include "platform/storage/io.h"

namespace zelk::storage::dat21 {

inline void appendEntry(std::string& out, unsigned char op, std::uint32_t rec, std::string_view sk) {
  char entry[64];
  const bool whole = 5 + sk.size() <= sizeof entry;  // one append for a short key
  entry[0] = static_cast<char>(op);
  put32(reinterpret_cast<unsigned char*>(entry + 1), rec);
  if (whole) std::memcpy(entry + 5, sk.data(), sk.size());
  out.append(entry, whole ? 5 + sk.size() : 5);
  if (!whole) out.append(sk);
}

// The header of key file `index` (0-based) of a key.
std::string keyHeaderBytes(const SortKey& codec, std::size_t index);

// Writes a key file holding the entries (in order) as inserts to path + "~" and
// renames it over path. Hands the open new file to fdOut (or closes it when fdOut is
// null), and what the header must commit of it.
template <class Entries>
ErrorState writeKeySnapshot(const std::string& path, const SortKey& codec, std::size_t index,
                            const Entries& entries, KeyCommit& commit, Fd* fdOut, bool writable) {
  const std::string tmp = path + "~";
  Fd fd(openRegular(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC));
  if (!fd.valid()) return openErrno();
  std::string buf = keyHeaderBytes(codec, index);
  std::uint64_t at = 0, length = 0;
  std::uint32_t crc = 0;
  std::size_t skip = kKeyHeaderSize;  // the first buffer starts with the header
  auto write = [&] {
    crc = crc32(crc, buf.data() + skip, buf.size() - skip);
    length += buf.size() - skip;
    bool ok = writeAt(fd.get(), buf.data(), buf.size(), at);
    at += buf.size();
    buf.clear();
    skip = 0;
    return ok;
  };
  bool ok = true;
  for (const Entry& e : entries) {
    appendEntry(buf, kEntryInsert, e.rec, e.sk);
    if (buf.size() >= kWriteBackBytes && !(ok = write())) break;
  }
  ok = ok && write() && ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ErrorState e = lastErrno();
    ::unlink(tmp.c_str());
    return e;
  }
  commit.length = length;
  commit.crc = crc;
  if (fdOut) {
    if (writable) {
      *fdOut = std::move(fd);
    } else {
      Fd ro(openRegular(path.c_str(), O_RDONLY));
      if (!ro.valid()) return openErrno();
      *fdOut = std::move(ro);
    }
  }
  return {};
}

// One key of an open file.
struct Key {
  explicit Key(SortKey c)
      : codec(std::move(c)),
        oldSk(codec.length(), '\0'),
        newSk(codec.length(), '\0'),
        pool(std::make_unique<NodePool>()),
        index(EntryLess{}, PoolAllocator<Entry>(pool.get())) {}
  SortKey codec;
  std::string oldSk, newSk;  // a statement's sort bytes of the record before and after
  std::string path;
  Fd fd;
  std::unique_ptr<NodePool> pool;  // before index: it outlives it
  Index index;
  std::uint64_t loaded = 0;  // committed log bytes applied to index
  std::uint32_t crc = 0;     // their CRC
  std::uint32_t epoch = 0;
  bool fresh = false;  // index matches (epoch, loaded, crc)
  std::string staged;  // entries applied to index, not yet written

  // Brings index up to what the header commits of key file `number` (0-based): the
  // entries added to the log since, or the whole log again.
  ErrorState catchUp(std::size_t number, const KeyCommit& c, std::uint64_t slots, bool writable);
  // Loads the index from the start of the log, from a fresh open of the file.
  ErrorState load(std::size_t number, const KeyCommit& c, std::uint64_t slots, bool writable);
  // Applies n bytes of log entries; false on an entry that does not fit the index.
  bool apply(const unsigned char* p, std::size_t n, std::uint64_t slots);
};

}  // namespace zelk::storage::dat21
