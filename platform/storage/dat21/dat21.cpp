// The 2.1 data-file container.
//
// Data file (name.DAT):
//   two header copies of 512 bytes (format.h): magic, version, record length, key
//   count, flags, generation, slot count, free-list head, active records, the record
//   number of an in-place change under way ("pending"), and per key file what of it
//   is committed: the length of its entry log, the log's running CRC-32 and an epoch.
//   Then fixed-length slots: a status byte ('A' active, 'D' deleted) and the record
//   bytes as the record buffer lays them out (text in code page 866 for OEM files).
//   Record number n is slot n (1-based). A deleted slot holds the record number of
//   the next free slot in its first 4 bytes; ADD takes the free-list head when the
//   file reclaims, else it appends.
//
// Key file (name.K01 ...): a 64-byte header (magic, key number, sort-key length, a
//   hash of the record length and the key's declaration) and an append-only log of
//   fixed-length entries: '+' or '-', the record number, the sort bytes of the key
//   value (sortkey.h). Every opener keeps the key in memory as an ordered set of
//   (sort bytes, record number), loaded from the log at open; when the header's
//   generation has moved, it reads only the log bytes that were added since. When a
//   log holds more than twice the live entries (plus slack) the writer rewrites it
//   as a snapshot beside it, renames it over the old one and raises the epoch, which
//   makes the other openers reload it.
//
// Changes are staged in memory (slots, key entries, the header's counts) and written
// back together: at the end of each statement, or, while the process holds the
// file's write lock across statements (LOCK), once at UNLOCK, FLUSH and CLOSE and
// whenever the staged bytes pass kWriteBackBytes. A write-back goes:
//   1. when it rewrites slots that the header on disk counts: a header naming the
//      first of them as pending;
//   2. the staged slots, one write per run of consecutive record numbers;
//   3. the staged key entries, one write per key file, past the committed log;
//   4. the header with the new counts, the key logs' lengths and CRCs, pending
//      cleared: the commit point;
//   5. key logs grown beyond their live entries are rewritten (snapshot, rename,
//      then a header committing it).
//
// Invariants (the numbers are referred to by the assertions below; the assertions
// run in the sanitizer build):
//   I1. A header on disk counts nothing that is not on disk before it: the slots up
//       to its slot count and the key-log bytes up to each committed length were
//       written before it. Bytes past them count for nothing; the next writer
//       overwrites them.
//   I2. A header of generation g goes into copy g % 2, so a torn header write leaves
//       the copy of generation g - 1; readers take the sound copy with the higher
//       generation. Every commit raises the generation by one.
//   I3. A slot the header on disk counts is rewritten only while the header on disk
//       names a pending change. A pending header found by a statement means a writer
//       died between steps 1 and 4: result 46, and build brings keys, free list and
//       counts in line with the slots.
//   I4. A key log counts only the first `length` bytes the header commits, and their
//       CRC must match: a torn or stale key file, one from another file or layout, or
//       a missing one is found at once (result 46, then build).
//   I5. A key's set in memory holds exactly the committed entries plus the staged
//       ones; a key without OPT holds one entry per active record, an OPT key at
//       most that many.
//   I6. Staged slots past the slot count on disk are the appended ones, consecutive
//       up to the slot count in memory. Nothing is staged while no statement holds
//       the write lock.
//   I7. While this process holds the write lock across statements and has read the
//       header under it, nobody else changes the file: the header, keys and
//       read-ahead in memory are the file, and statements read no header.
//   I8. The read-ahead holds what the slots hold, on disk or staged: own changes are
//       copied into it, another writer's commit throws it away.
// Key-file rewrites (compaction, build) go to a new file renamed over the old; the
// header that commits it follows. Nothing here calls fsync (a killed process loses
// nothing that reached the page cache); FLUSH does, after the write-back.
//
// Locking: ShareLock on the data file's descriptor gives the sharing modes and the
// write lock; every statement holds it shared (reads) or exclusive (writes), reads
// the header (unless I7) and brings the keys up to date before it works. Key files
// are only touched under the data file's lock.
//
// Positions: the position in a key order is the (sort key, record number) of the
// record last read, in record order its record number, so NEXT and PREVIOUS go on
// correctly whatever other writers did in between. SET(key, value) then NEXT reads
// the first record whose key value is >= value, PREVIOUS the last one <= value. GET
// and ADD make a record current (for PUT, DELETE, POSITION) without moving the
// sequence. EOF looks at the file as it stands: no record follows the position.
#include "platform/storage/dat21/dat21.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/sortkey.h"
#include "platform/storage/paths.h"
#include "platform/storage/io.h"
#include "platform/storage/sharelock.h"
#include "platform/storage/staging.h"

namespace zelk::storage::dat21 {
namespace {

// A log that has grown beyond twice its live entries plus this many is rewritten.
constexpr std::uint64_t kCompactSlack = 1024;
// Bytes read at once when scanning slots or loading a key log.
constexpr std::size_t kChunkBytes = 1 << 16;
// Staged bytes that make a write-back before the lock is released.
constexpr std::size_t kWriteBackBytes = 1 << 20;
constexpr std::uint64_t kMaxRecno = 0xFFFFFFFFu;

ErrorState make(int code) { return errorOf(code); }

ErrorState lastErrno() { return fromErrno(errno); }
// A failed openRegular, a folder, a FIFO or a device being no data file.
ErrorState openErrno() { return fromOpenErrno(errno, kInvalidDataFile); }
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
Index::iterator findEntry(Index& idx, std::string_view sk, std::uint64_t rec) {
  if (idx.empty()) return idx.end();
  const auto is = [&](const Entry& e) { return e.rec == rec && e.sk == sk; };
  if (auto first = idx.begin(); is(*first)) return first;
  if (auto last = std::prev(idx.end()); is(*last)) return last;
  return idx.find(Probe{sk, rec});
}

void appendEntry(std::string& out, unsigned char op, std::uint32_t rec, std::string_view sk) {
  char entry[64];
  const bool whole = 5 + sk.size() <= sizeof entry;  // one append for a short key
  entry[0] = static_cast<char>(op);
  put32(reinterpret_cast<unsigned char*>(entry + 1), rec);
  if (whole) std::memcpy(entry + 5, sk.data(), sk.size());
  out.append(entry, whole ? 5 + sk.size() : 5);
  if (!whole) out.append(sk);
}

std::string keyHeaderBytes(const SortKey& codec, std::size_t index) {
  KeyFileHeader kh;
  kh.keyNumber = static_cast<std::uint32_t>(index + 1);
  kh.keyLength = static_cast<std::uint32_t>(codec.length());
  kh.layout = codec.layout();
  std::string out(kKeyHeaderSize, '\0');
  encodeKeyHeader(kh, reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

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

// Writes bytes as the whole new content of path (through path + "~" and a rename).
ErrorState writeWholeFile(const std::string& path, const std::string& bytes) {
  std::string tmp = path + "~";
  Fd fd(openRegular(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC));
  if (!fd.valid()) return openErrno();
  if (!writeAt(fd.get(), bytes.data(), bytes.size(), 0) || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ErrorState e = lastErrno();
    ::unlink(tmp.c_str());
    return e;
  }
  return {};
}

std::uint32_t declFlags(const FileDecl& d) {
  return (d.reclaim ? kFlagReclaim : 0) | (d.oem ? kFlagOem : 0);
}

ErrorState writeHeader(int fd, const DataHeader& h) {
  unsigned char buf[kHeaderCopySize];
  encodeHeader(h, buf);
  if (!writeAt(fd, buf, sizeof buf, (h.generation % 2) * kHeaderCopySize)) return lastErrno();
  return {};
}

// Reads and checks the data header and the file's length against it.
ErrorState readHeader(int fd, const FileDecl& decl, DataHeader& h) {
  unsigned char buf[kHeaderSize];
  ssize_t n = readAt(fd, buf, sizeof buf, 0);
  if (n < 0) return lastErrno();
  if (static_cast<std::size_t>(n) != sizeof buf || !pickHeader(buf, h)) return make(kInvalidDataFile);
  if (h.recordSize != decl.recordSize) return make(kInvalidRecordDeclaration);
  if (fileSize(fd) < kHeaderSize + h.slotCount * slotSize(h.recordSize)) return make(kKeysMustBeRebuilt);
  return {};
}

void toHex(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
}

bool fromHex(std::string_view hex, std::string& out) {
  if (hex.size() % 2) return false;
  out.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    auto r = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + i + 2) return false;
    out.push_back(static_cast<char>(v));
  }
  return true;
}

void appendNumber(std::string& out, std::uint64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// Reads a decimal number at the front of s and drops it and the separator after it.
bool takeNumber(std::string_view& s, std::uint64_t& v, char sep) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr == s.data()) return false;
  s.remove_prefix(static_cast<std::size_t>(r.ptr - s.data()));
  if (sep) {
    if (s.empty() || s.front() != sep) return false;
    s.remove_prefix(1);
  }
  return true;
}

// The record number a position names, 0 when it names none.
std::uint64_t recordAt(std::string_view p) {
  if (p.empty()) return 0;
  const char kind = p.front();
  p.remove_prefix(1);
  std::uint64_t rec = 0, key = 0;
  if (kind == 'R') return takeNumber(p, rec, 0) && p.empty() ? rec : 0;
  if (kind == 'K') return takeNumber(p, key, ':') && takeNumber(p, rec, ':') ? rec : 0;
  return 0;
}

class Dat21File final : public Backend {
 public:
  explicit Dat21File(const FileDecl& decl)
      : decl_(decl),
        rsize_(decl.recordSize),
        ssize_(slotSize(rsize_)),
        staged_(ssize_),
        slot_(ssize_, '\0'),
        read_(ssize_, '\0'),
        freed_(rsize_, '\0'),
        curStored_(rsize_, '\0') {}
  ~Dat21File() override { close(); }

  ErrorState open(const std::string& name, std::uint8_t mode);

  ErrorState close() override;
  ErrorState setRecordOrder() override;
  ErrorState setKeyOrder(int key, const char* at) override;
  ErrorState next(char* rec) override { return step(rec, true); }
  ErrorState skip(char*) override { return step(nullptr, true); }
  ErrorState previous(char* rec) override { return step(rec, false); }
  ErrorState get(int key, char* rec) override;
  ErrorState add(char* rec) override;
  ErrorState put(const char* rec) override;
  ErrorState erase() override;
  ErrorState flush() override;
  ErrorState send(std::string_view command, std::string& reply) override;
  ErrorState lock() override;
  ErrorState unlock() override;
  ErrorState records(std::uint64_t& n) override;
  std::string position() override;
  ErrorState reset(std::string_view position) override;
  ErrorState reget(std::string_view position, char* rec) override;
  void watch() override { watchNext_ = true; }
  ErrorState hold(std::string_view position) override;
  ErrorState release(std::string_view position) override;
  ErrorState heldElsewhere(std::string_view position, bool& held) override;
  // Live: no record follows the position (for NEXT), as the file stands now; false
  // when that cannot be read.
  bool eof() const override { return const_cast<Dat21File*>(this)->atEnd(); }

 private:
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
  };
  // A change to one key, written as one log entry (sk: the key's oldSk or newSk).
  struct Change {
    std::size_t key;
    unsigned char op;
    std::string_view sk;
  };
  // Where NEXT and PREVIOUS go on: NEXT reads the first entry >= (lowSk, lowRec),
  // PREVIOUS the last entry <= (highSk, highRec); unset: the first and the last.
  struct Cursor {
    bool set = false;
    std::string lowSk, highSk;
    std::uint64_t lowRec = 0, highRec = 0;
  };
  // A statement's hold on the file's lock, with the header and keys brought up to
  // date. A writing statement ends with done(), which writes its changes back unless
  // the lock is held across statements.
  class Statement {
   public:
    Statement(Dat21File& f, bool write) : f_(f) {
      if (!f.locked_) {  // under LOCK the write lock is held already
        e = write ? f.share_.lockWrite() : f.share_.lockRead();
        if (e.code) return;
        held_ = true;
      }
      if (!f.trusted_ || f.stale_) e = f.refresh();
    }
    ~Statement() {
      if (held_) f_.share_.unlockOne();
    }
    ErrorState done() {
      if (!f_.trusted_ || f_.staged_.bytes() + f_.keyBytes_ >= kWriteBackBytes) return f_.writeBack();
      return {};
    }
    ErrorState e;

   private:
    Dat21File& f_;
    bool held_ = false;
  };

  ErrorState refresh();
  ErrorState catchUp(std::size_t i, const KeyCommit& c, std::uint64_t slots);
  ErrorState loadKey(std::size_t i, const KeyCommit& c, std::uint64_t slots);
  bool applyLog(Key& k, const unsigned char* p, std::size_t n, std::uint64_t slots);

  const char* images(const char* rec, const char*& stored);
  const char* keySource(const char* stored, std::string& image) const;
  const char* cachedSlot(std::uint64_t recno) const;
  ErrorState readSlot(std::uint64_t recno, unsigned char& status, const char*& bytes, bool readAhead = false);
  ErrorState deliver(std::uint64_t recno, const char* stored, char* out, int verifyKey, std::string_view expectSk);
  void setCurrent(std::uint64_t recno, const char* stored);

  bool parsePosition(std::string_view p, int& order, Cursor& c) const;
  ErrorState step(char* rec, bool forward);
  bool atEnd();
  ErrorState findActive(std::uint64_t from, bool forward, std::uint64_t& found);
  ErrorState loadChunk(std::uint64_t recno, bool forward);

  bool hasOther(std::size_t key, std::string_view sk, std::uint64_t except) const;
  void stage(std::uint64_t recno, unsigned char status, const char* bytes, const std::vector<Change>& ch);
  ErrorState writeBack();
  ErrorState writeSlots();
  ErrorState commit(DataHeader nh);
  void discardStaged();
  void compact();
  void checkInvariants() const;

  static void cursorOn(Cursor& c, std::string_view sk, std::uint64_t rec) {
    c.set = true;
    if (sk.empty()) {  // record order
      c.lowSk.clear();
      c.highSk.clear();
    } else {
      c.lowSk = sk;
      c.highSk = sk;
    }
    c.lowRec = rec + 1;
    c.highRec = rec - 1;
  }

  const FileDecl& decl_;
  const std::size_t rsize_, ssize_;
  std::string dataPath_;
  Fd fd_;
  bool writable_ = false;
  ShareLock share_;
  bool locked_ = false;   // LOCK holds the write lock across statements
  bool trusted_ = false;  // and the header was read under it (I7)
  DataHeader hdr_;        // the file as this opener sees it, staged changes included
  DataHeader disk_;       // the header last committed or read
  unsigned char raw_[kHeaderSize] = {};  // the header bytes on disk
  bool stale_ = true;  // hdr_ and the keys must be read again
  std::vector<Key> keys_;

  // Slots changed and not yet written, by record number (status byte first), and the
  // bytes of the key entries staged with them.
  Staging staged_;
  std::size_t keyBytes_ = 0;
  bool unwritten_ = false;  // staged bytes not yet written (I1)
  std::string slot_;  // a slot being staged
  // Buffers of the statements, kept to spare an allocation per record.
  std::string stored_, image_, oldImage_, read_, freed_;
  std::vector<Change> changes_;
  bool textKeys_ = false;  // a key takes a text field

  int order_ = -1;  // -1 record order, else a key
  Cursor cursor_;

  std::uint64_t curRec_ = 0;  // the current record, 0 none
  std::string curStored_;     // its bytes as read or written
  bool watchNext_ = false, watched_ = false;

  // Slots read ahead in record order (I8).
  std::vector<unsigned char> chunk_;
  std::uint64_t chunkFirst_ = 0, chunkCount_ = 0;
  bool chunkValid_ = false;
};

ErrorState Dat21File::open(const std::string& name, std::uint8_t mode) {
  if (int c = checkDecl(decl_)) return make(c);
  dataPath_ = dataPath(name);
  writable_ = (mode & mode::kAccessMask) != mode::kRead;
  fd_.reset(openRegular(dataPath_.c_str(), writable_ ? O_RDWR : O_RDONLY));
  if (!fd_.valid()) return openErrno();
  ErrorState e = share_.acquire(fd_.get(), mode);
  if (e.code) {
    close();
    return e;
  }
  keys_.reserve(decl_.keys.size());
  for (std::size_t i = 0; i < decl_.keys.size(); ++i) {
    keys_.emplace_back(SortKey(decl_, i));
    keys_.back().path = keyPath(dataPath_, i);
    textKeys_ = textKeys_ || keys_.back().codec.readsText();
  }
  // Opening never waits for another station's write lock: while one is held, only
  // the header is checked, and the first statement reads the rest under the lock.
  if (share_.tryLockRead()) {
    e = refresh();
    share_.unlockOne();
  } else {
    DataHeader h;
    e = readHeader(fd_.get(), decl_, h);
    stale_ = true;
  }
  if (e.code) close();
  return e;
}

ErrorState Dat21File::close() {
  if (!fd_.valid()) return {};
  ErrorState e = writeBack();
  share_.release();
  locked_ = trusted_ = false;
  keys_.clear();
  fd_.reset();
  curRec_ = 0;
  return e;
}

// Reads the header; when its generation moved, checks it and brings every key up to
// what the header commits.
ErrorState Dat21File::refresh() {
  assert(!trusted_ || stale_);  // I7: no header is read while the file in memory is the file
  if (ErrorState e = writeBack(); e.code) return e;  // a header is read with nothing staged
  unsigned char buf[kHeaderSize];
  ssize_t n = readAt(fd_.get(), buf, sizeof buf, 0);
  if (n < 0) return lastErrno();
  if (!stale_ && static_cast<std::size_t>(n) == sizeof buf && std::memcmp(buf, raw_, sizeof buf) == 0) return {};
  DataHeader h;
  bool bothSound = false;
  if (static_cast<std::size_t>(n) != sizeof buf || !pickHeader(buf, h, &bothSound)) return make(kInvalidDataFile);
  // A damaged copy may have been the newer one: the build keeps what lies beyond.
  if (!bothSound) return make(kKeysMustBeRebuilt);
  std::memcpy(raw_, buf, sizeof buf);
  if (!stale_ && h.generation == disk_.generation) return {};
  stale_ = true;
  chunkValid_ = false;  // I8: another writer's commit
  if (h.recordSize != rsize_) return make(kInvalidRecordDeclaration);
  if (fileSize(fd_.get()) < kHeaderSize + h.slotCount * ssize_) return make(kKeysMustBeRebuilt);
  if (h.keyCount != keys_.size() || h.pending != 0) return make(kKeysMustBeRebuilt);
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    ErrorState e = catchUp(i, h.keys[i], h.slotCount);
    if (e.code) return e;
    const Key& k = keys_[i];
    bool opt = decl_.keys[i].attrs & kOpt;
    if (k.index.size() > h.active || (!opt && k.index.size() != h.active)) {
      keys_[i].fresh = false;
      return make(kKeysMustBeRebuilt);
    }
  }
  hdr_ = disk_ = h;
  stale_ = false;
  return {};
}

ErrorState Dat21File::catchUp(std::size_t i, const KeyCommit& c, std::uint64_t slots) {
  Key& k = keys_[i];
  if (!k.fresh || c.epoch != k.epoch || c.length < k.loaded) return loadKey(i, c, slots);
  if (c.length == k.loaded) return c.crc == k.crc ? ErrorState{} : loadKey(i, c, slots);
  const std::size_t es = entrySize(k.codec.length());
  std::uint64_t add = c.length - k.loaded;
  if (add % es != 0 || fileSize(k.fd.get()) < kKeyHeaderSize + c.length) return loadKey(i, c, slots);
  std::vector<unsigned char> buf(static_cast<std::size_t>(add));
  if (readAt(k.fd.get(), buf.data(), buf.size(), kKeyHeaderSize + k.loaded) != static_cast<ssize_t>(buf.size()))
    return loadKey(i, c, slots);
  std::uint32_t crc = crc32(k.crc, buf.data(), buf.size());
  if (crc != c.crc || !applyLog(k, buf.data(), buf.size(), slots)) return loadKey(i, c, slots);
  k.loaded = c.length;
  k.crc = crc;
  return {};
}

// Loads key i from the start of its log, from a fresh open of its file.
ErrorState Dat21File::loadKey(std::size_t i, const KeyCommit& c, std::uint64_t slots) {
  Key& k = keys_[i];
  k.fresh = false;
  k.index.clear();
  k.fd.reset(openRegular(k.path.c_str(), writable_ ? O_RDWR : O_RDONLY));
  if (!k.fd.valid()) return errno == ENOENT ? make(kKeysMustBeRebuilt) : fromOpenErrno(errno, kKeysMustBeRebuilt);
  const std::size_t es = entrySize(k.codec.length());
  unsigned char head[kKeyHeaderSize];
  KeyFileHeader kh;
  if (readAt(k.fd.get(), head, sizeof head, 0) != static_cast<ssize_t>(sizeof head) || !decodeKeyHeader(head, kh) ||
      kh.keyNumber != i + 1 || kh.keyLength != k.codec.length() || kh.layout != k.codec.layout() ||
      c.length % es != 0 || fileSize(k.fd.get()) < kKeyHeaderSize + c.length)
    return make(kKeysMustBeRebuilt);
  const std::size_t step = std::max<std::size_t>(1, kWriteBackBytes / es) * es;
  std::vector<unsigned char> buf(static_cast<std::size_t>(std::min<std::uint64_t>(step, c.length)));
  std::uint32_t crc = 0;
  for (std::uint64_t at = 0; at < c.length;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(step, c.length - at));
    if (readAt(k.fd.get(), buf.data(), n, kKeyHeaderSize + at) != static_cast<ssize_t>(n) ||
        !applyLog(k, buf.data(), n, slots)) {
      k.index.clear();
      return make(kKeysMustBeRebuilt);
    }
    crc = crc32(crc, buf.data(), n);
    at += n;
  }
  if (crc != c.crc) {
    k.index.clear();
    return make(kKeysMustBeRebuilt);
  }
  k.loaded = c.length;
  k.crc = crc;
  k.epoch = c.epoch;
  k.fresh = true;
  return {};
}

bool Dat21File::applyLog(Key& k, const unsigned char* p, std::size_t n, std::uint64_t slots) {
  const std::size_t len = k.codec.length(), es = entrySize(len);
  for (std::size_t at = 0; at + es <= n; at += es) {
    const unsigned char* e = p + at;
    std::uint32_t rec = get32(e + 1);
    if (rec == 0 || rec > slots) return false;
    const std::string_view sk(reinterpret_cast<const char*>(e + 5), len);
    if (e[0] == kEntryInsert) {
      if (!k.index.emplace(sk, rec).second) return false;
    } else if (e[0] == kEntryRemove) {
      auto it = findEntry(k.index, sk, rec);
      if (it == k.index.end()) return false;
      k.index.erase(it);
    } else {
      return false;
    }
  }
  return true;
}

// The stored form of a program-side record (rec itself unless texts are stored in
// 866), and the record its keys are taken from: the program-side record that reads
// back from the stored form (they differ in characters 866 lacks), so that a record
// is found by what it reads back as. Keys without text read alike from rec itself.
const char* Dat21File::images(const char* rec, const char*& stored) {
  stored = rec;
  if (!decl_.oem) return rec;
  stored_.assign(rec, rsize_);
  convertTextFields(decl_, stored_.data(), true);
  stored = stored_.data();
  return textKeys_ ? keySource(stored, image_) : rec;
}

// The record the keys of a stored record are taken from: what it reads back as, or
// the stored bytes themselves where that makes no difference to a key.
const char* Dat21File::keySource(const char* stored, std::string& image) const {
  if (!decl_.oem || !textKeys_) return stored;
  image.assign(stored, rsize_);
  convertTextFields(decl_, image.data(), false);
  return image.data();
}

// The slot's bytes when they are staged or read ahead, else null.
const char* Dat21File::cachedSlot(std::uint64_t recno) const {
  if (const char* slot = staged_.find(recno)) return slot;
  if (chunkValid_ && recno >= chunkFirst_ && recno < chunkFirst_ + chunkCount_)
    return reinterpret_cast<const char*>(chunk_.data()) + (recno - chunkFirst_) * ssize_;
  return nullptr;
}

// The slot's status and record bytes; the bytes stay valid until the next slot is
// read, staged or read ahead. With readAhead, a slot not in memory is read with the
// slots around it.
ErrorState Dat21File::readSlot(std::uint64_t recno, unsigned char& status, const char*& bytes, bool readAhead) {
  if (recno == 0 || recno > hdr_.slotCount) return make(kKeysMustBeRebuilt);
  const char* slot = cachedSlot(recno);
  if (!slot && readAhead) {
    if (ErrorState e = loadChunk(recno, recno >= chunkFirst_ + chunkCount_); e.code) return e;
    slot = cachedSlot(recno);
  }
  if (!slot) {
    ssize_t n = readAt(fd_.get(), read_.data(), ssize_, slotOffset(recno, rsize_));
    if (n < 0) return lastErrno();
    if (static_cast<std::size_t>(n) != ssize_) return make(kInvalidDataFile);
    slot = read_.data();
  }
  status = static_cast<unsigned char>(slot[0]);
  if (status != kSlotActive && status != kSlotDeleted) return make(kKeysMustBeRebuilt);  // the build drops it
  bytes = slot + 1;
  return {};
}

// Hands a record read to the caller (into out, unless null) and makes it current;
// with verifyKey, the key value it reads back as must be the one the key holds for it.
ErrorState Dat21File::deliver(std::uint64_t recno, const char* stored, char* out, int verifyKey,
                              std::string_view expectSk) {
  if (verifyKey >= 0) {
    Key& k = keys_[static_cast<std::size_t>(verifyKey)];
    if (!k.codec.make(keySource(stored, image_), k.newSk.data()) || k.newSk != expectSk) {
      stale_ = true;
      return make(kKeysMustBeRebuilt);
    }
  }
  if (out) {
    std::memcpy(out, stored, rsize_);
    if (decl_.oem) convertTextFields(decl_, out, false);
  }
  setCurrent(recno, stored);
  watched_ = watchNext_;
  watchNext_ = false;
  return {};
}

void Dat21File::setCurrent(std::uint64_t recno, const char* stored) {
  curRec_ = recno;
  std::memcpy(curStored_.data(), stored, rsize_);
  watched_ = false;
}

ErrorState Dat21File::setRecordOrder() {
  order_ = -1;
  cursor_ = Cursor{};
  return {};
}

ErrorState Dat21File::setKeyOrder(int key, const char* at) {
  if (key < 0 || static_cast<std::size_t>(key) >= keys_.size()) return make(kInvalidKeyFile);
  order_ = key;
  cursor_ = Cursor{};
  if (at) {
    std::string sk;
    const char* stored = nullptr;
    keys_[static_cast<std::size_t>(key)].codec.make(images(at, stored), sk);
    cursor_.set = true;
    cursor_.lowSk = cursor_.highSk = sk;
    cursor_.lowRec = 0;
    cursor_.highRec = std::numeric_limits<std::uint64_t>::max();
  }
  return {};
}

ErrorState Dat21File::step(char* rec, bool forward) {
  Statement s(*this, false);
  if (s.e.code) return s.e;
  if (order_ < 0) {
    std::uint64_t from = forward ? (cursor_.set ? cursor_.lowRec : 1) : (cursor_.set ? cursor_.highRec : hdr_.slotCount);
    std::uint64_t found = 0;
    ErrorState e = findActive(from, forward, found);
    if (e.code) return e;
    if (found == 0) return make(kRecordNotAvailable);
    const char* bytes = reinterpret_cast<const char*>(chunk_.data()) + (found - chunkFirst_) * ssize_ + 1;
    if (ErrorState d = deliver(found, bytes, rec, -1, {}); d.code) return d;
    cursorOn(cursor_, {}, found);
    return {};
  }
  Key& k = keys_[static_cast<std::size_t>(order_)];
  Index::iterator it;
  if (forward) {
    it = cursor_.set ? k.index.lower_bound(Probe{cursor_.lowSk, cursor_.lowRec}) : k.index.begin();
    if (it == k.index.end()) return make(kRecordNotAvailable);
  } else {
    it = cursor_.set ? k.index.upper_bound(Probe{cursor_.highSk, cursor_.highRec}) : k.index.end();
    if (it == k.index.begin()) return make(kRecordNotAvailable);
    --it;
  }
  unsigned char status = 0;
  const char* bytes = nullptr;
  ErrorState e = readSlot(it->rec, status, bytes);
  if (e.code) return e;
  if (status != kSlotActive) {
    stale_ = true;
    return make(kKeysMustBeRebuilt);
  }
  if (ErrorState d = deliver(it->rec, bytes, rec, order_, it->sk); d.code) return d;
  cursorOn(cursor_, it->sk, it->rec);
  return {};
}

// A read error is not the end: the NEXT that follows reports it.
bool Dat21File::atEnd() {
  Statement s(*this, false);
  if (s.e.code) return false;
  if (order_ < 0) {
    std::uint64_t found = 0;
    return findActive(cursor_.set ? cursor_.lowRec : 1, true, found).code == 0 && found == 0;
  }
  const Index& idx = keys_[static_cast<std::size_t>(order_)].index;
  return (cursor_.set ? idx.lower_bound(Probe{cursor_.lowSk, cursor_.lowRec}) : idx.begin()) == idx.end();
}

// The first active slot from `from` on (forward) or back (backward), 0 for none.
ErrorState Dat21File::findActive(std::uint64_t from, bool forward, std::uint64_t& found) {
  found = 0;
  if (!forward) from = std::min(from, hdr_.slotCount);
  for (std::uint64_t r = from; r >= 1 && r <= hdr_.slotCount; forward ? ++r : --r) {
    if (!chunkValid_ || r < chunkFirst_ || r >= chunkFirst_ + chunkCount_) {
      ErrorState e = loadChunk(r, forward);
      if (e.code) return e;
    }
    unsigned char status = chunk_[(r - chunkFirst_) * ssize_];
    if (status == kSlotActive) {
      found = r;
      return {};
    }
    if (status != kSlotDeleted) return make(kKeysMustBeRebuilt);  // the build drops it
  }
  return {};
}

// Reads ahead the slots around recno: those on disk, then the staged ones over them.
ErrorState Dat21File::loadChunk(std::uint64_t recno, bool forward) {
  std::uint64_t count = std::max<std::uint64_t>(1, kChunkBytes / ssize_);
  std::uint64_t first = forward ? recno : (recno > count ? recno - count + 1 : 1);
  count = std::min(count, hdr_.slotCount - first + 1);
  chunk_.resize(static_cast<std::size_t>(count * ssize_));
  chunkValid_ = false;
  if (first <= disk_.slotCount) {
    const std::size_t want = static_cast<std::size_t>(std::min(count, disk_.slotCount - first + 1) * ssize_);
    ssize_t n = readAt(fd_.get(), chunk_.data(), want, slotOffset(first, rsize_));
    if (n < 0) return lastErrno();
    if (static_cast<std::size_t>(n) != want) return make(kInvalidDataFile);
  }
  std::uint64_t covered = first + (first <= disk_.slotCount ? std::min(count, disk_.slotCount - first + 1) : 0);
  staged_.each(first, first + count, [&](std::uint64_t recno, const char* slot) {
    std::memcpy(chunk_.data() + (recno - first) * ssize_, slot, ssize_);
    if (recno == covered) ++covered;
  });
  assert(covered >= first + count);  // I6: every slot past the disk's is staged
  chunkFirst_ = first;
  chunkCount_ = count;
  chunkValid_ = true;
  return {};
}

ErrorState Dat21File::get(int key, char* rec) {
  if (key < 0 || static_cast<std::size_t>(key) >= keys_.size()) return make(kInvalidKeyFile);
  Statement s(*this, false);
  if (s.e.code) return s.e;
  Key& k = keys_[static_cast<std::size_t>(key)];
  std::string& sk = k.oldSk;
  const char* stored = nullptr;
  k.codec.make(images(rec, stored), sk.data());
  auto it = k.index.lower_bound(Probe{sk, 0});
  if (it == k.index.end() || it->sk != sk) return make(kRecordNotFound);
  unsigned char status = 0;
  const char* bytes = nullptr;
  ErrorState e = readSlot(it->rec, status, bytes);
  if (e.code) return e;
  if (status != kSlotActive) {
    stale_ = true;
    return make(kKeysMustBeRebuilt);
  }
  return deliver(it->rec, bytes, rec, key, it->sk);
}

bool Dat21File::hasOther(std::size_t key, std::string_view sk, std::uint64_t except) const {
  const Index& idx = keys_[key].index;
  if (idx.empty() || compareSortBytes(idx.rbegin()->sk, sk) < 0) return false;  // after every other (rows numbered up)
  for (auto it = idx.lower_bound(Probe{sk, 0}); it != idx.end() && it->sk == sk; ++it)
    if (it->rec != except) return true;
  return false;
}

// A slot's new bytes and the key changes of the record in it, applied in memory and
// kept for the write-back.
void Dat21File::stage(std::uint64_t recno, unsigned char status, const char* bytes, const std::vector<Change>& ch) {
  assert(recno <= disk_.slotCount + 1 || staged_.find(recno - 1));  // I6
  if (staged_.empty()) staged_.reserve(kWriteBackBytes + ssize_);
  slot_[0] = static_cast<char>(status);
  std::memcpy(slot_.data() + 1, bytes, rsize_);
  staged_.put(recno, slot_.data());
  unwritten_ = true;
  if (chunkValid_ && recno >= chunkFirst_ && recno < chunkFirst_ + chunkCount_)
    std::memcpy(chunk_.data() + (recno - chunkFirst_) * ssize_, slot_.data(), ssize_);  // I8
  for (const Change& c : ch) {
    Key& k = keys_[c.key];
    appendEntry(k.staged, c.op, static_cast<std::uint32_t>(recno), c.sk);
    keyBytes_ += entrySize(c.sk.size());
    if (c.op == kEntryInsert) {
      k.index.emplace_hint(k.index.end(), c.sk, static_cast<std::uint32_t>(recno));  // rows numbered up go last
    } else if (auto it = findEntry(k.index, c.sk, recno); it != k.index.end()) {
      k.index.erase(it);
    }
  }
}

// Writes the staged changes in the order of the top of the file, then compacts.
ErrorState Dat21File::writeBack() {
  if (staged_.empty()) return {};  // every change stages its slot
  checkInvariants();
  if (staged_.first() <= disk_.slotCount) {  // I3
    DataHeader pending = disk_;
    pending.pending = staged_.first();
    if (ErrorState e = commit(pending); e.code) return e;
  }
  if (ErrorState e = writeSlots(); e.code) return e;
  DataHeader nh = hdr_;
  nh.keys = disk_.keys;
  nh.pending = 0;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    Key& k = keys_[i];
    if (k.staged.empty()) continue;
    if (!writeAt(k.fd.get(), k.staged.data(), k.staged.size(), kKeyHeaderSize + k.loaded)) {
      ErrorState e = lastErrno();
      discardStaged();
      return e;
    }
    nh.keys[i].length = k.loaded + k.staged.size();
    nh.keys[i].crc = crc32(k.crc, k.staged.data(), k.staged.size());
  }
  unwritten_ = false;
  if (ErrorState e = commit(nh); e.code) return e;  // I1: the commit point
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (trusted_ && !keys_[i].staged.empty()) startWriteback(keys_[i].fd.get());
    keys_[i].loaded = nh.keys[i].length;
    keys_[i].crc = nh.keys[i].crc;
    keys_[i].staged.clear();
  }
  if (trusted_) startWriteback(fd_.get());  // a large block: its FLUSH will wait less
  staged_.clear();
  keyBytes_ = 0;
  compact();
  return {};
}

// The staged slots, one write for each run of consecutive record numbers.
ErrorState Dat21File::writeSlots() {
  assert(staged_.first() > disk_.slotCount || disk_.pending != 0);  // I3
  if (!staged_.writeTo(fd_.get(), slotOffset(staged_.first(), rsize_), ssize_)) {
    ErrorState e = lastErrno();
    discardStaged();
    return e;
  }
  return {};
}

// Writes nh as the next generation's header copy.
ErrorState Dat21File::commit(DataHeader nh) {
  assert(!unwritten_ || nh.pending != 0);  // I1: only a pending header precedes the slots
  nh.generation = disk_.generation + 1;  // I2
  unsigned char* copy = raw_ + (nh.generation % 2) * kHeaderCopySize;
  encodeHeader(nh, copy);
  if (!writeAt(fd_.get(), copy, kHeaderCopySize, (nh.generation % 2) * kHeaderCopySize)) {
    ErrorState e = lastErrno();
    discardStaged();
    return e;
  }
  disk_ = nh;
  hdr_.generation = nh.generation;
  hdr_.keys = nh.keys;
  return {};
}

// After a failed write: what is in memory is no longer what the file will hold; the
// next statement reads the file again.
void Dat21File::discardStaged() {
  unwritten_ = false;
  staged_.clear();
  keyBytes_ = 0;
  for (Key& k : keys_) {
    k.staged.clear();
    k.fresh = false;
  }
  hdr_ = disk_;
  chunkValid_ = false;
  stale_ = true;
  trusted_ = false;
}

// The invariants that can be checked from memory (sanitizer build only).
void Dat21File::checkInvariants() const {
#ifndef NDEBUG
  // I6: staged appends are consecutive from the disk's slot count up to ours.
  std::uint64_t expect = disk_.slotCount + 1;
  staged_.each(expect, kMaxRecno + 1, [&](std::uint64_t recno, const char*) {
    assert(recno == expect);
    ++expect;
  });
  assert(expect == hdr_.slotCount + 1 || (staged_.empty() && hdr_.slotCount == disk_.slotCount));
  // I5: the keys in memory against the active count.
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const bool opt = decl_.keys[i].attrs & kOpt;
    assert(keys_[i].index.size() <= hdr_.active && (opt || keys_[i].index.size() == hdr_.active));
  }
  // I4: what this opener applied of each key log is what the header on disk commits.
  for (std::size_t i = 0; i < keys_.size(); ++i)
    assert(keys_[i].loaded == disk_.keys[i].length && keys_[i].crc == disk_.keys[i].crc);
  // I8: the read-ahead holds the staged slots it covers.
  if (chunkValid_)
    staged_.each(chunkFirst_, chunkFirst_ + chunkCount_, [&](std::uint64_t recno, const char* slot) {
      assert(std::memcmp(chunk_.data() + (recno - chunkFirst_) * ssize_, slot, ssize_) == 0);
    });
  // The free list's head is a slot of the file.
  assert(hdr_.freeHead <= hdr_.slotCount);
  // I2: the copy of this generation on disk is the one in raw_.
  DataHeader h;
  assert(decodeHeader(raw_ + (disk_.generation % 2) * kHeaderCopySize, h) && h.generation == disk_.generation);
#endif
}

ErrorState Dat21File::add(char* rec) {
  if (!writable_) return make(kAccessDenied);
  Statement s(*this, true);
  if (s.e.code) return s.e;
  const char* stored = nullptr;
  const char* image = images(rec, stored);
  std::vector<Change>& ch = changes_;
  ch.clear();
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    Key& k = keys_[i];
    if (!k.codec.make(image, k.newSk.data())) continue;
    if (k.codec.unique() && hasOther(i, k.newSk, 0)) return make(kDuplicateKey);
    ch.push_back({i, kEntryInsert, k.newSk});
  }
  std::uint64_t recno;
  if (decl_.reclaim && hdr_.freeHead != 0 && rsize_ >= kFreeLinkSize) {
    recno = hdr_.freeHead;
    // Under the lock the free slots are read ahead: an emptied file is refilled from
    // its last slot down.
    unsigned char status = 0;
    const char* old = nullptr;
    if (ErrorState e = readSlot(recno, status, old, trusted_); e.code) return e;
    std::uint64_t link = get32(reinterpret_cast<const unsigned char*>(old));
    if (status != kSlotDeleted || link > hdr_.slotCount || link == recno) return make(kKeysMustBeRebuilt);
    hdr_.freeHead = link;
  } else {
    if (hdr_.slotCount >= kMaxRecno) return make(kFileSystemError);
    recno = ++hdr_.slotCount;
  }
  stage(recno, kSlotActive, stored, ch);
  hdr_.active += 1;
  if (ErrorState e = s.done(); e.code) return e;
  setCurrent(recno, stored);
  return {};
}

ErrorState Dat21File::put(const char* rec) {
  if (!writable_) return make(kAccessDenied);
  if (curRec_ == 0) return make(kRecordNotAvailable);
  Statement s(*this, true);
  if (s.e.code) return s.e;
  const std::uint64_t recno = curRec_;
  unsigned char status = 0;
  if (recno > hdr_.slotCount) return make(watched_ ? kRecordChanged : kRecordNotAvailable);
  const char* old = nullptr;
  ErrorState e = readSlot(recno, status, old);
  if (e.code) return e;
  if (status != kSlotActive || (watched_ && std::string_view(old, rsize_) != curStored_))
    return make(watched_ ? kRecordChanged : kRecordNotAvailable);
  const char* stored = nullptr;
  const char* image = images(rec, stored);
  const char* oldImage = keySource(old, oldImage_);
  std::vector<Change>& ch = changes_;
  ch.clear();
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    Key& k = keys_[i];
    bool was = k.codec.make(oldImage, k.oldSk.data());
    bool is = k.codec.make(image, k.newSk.data());
    if (was && is && k.oldSk == k.newSk) continue;
    if (is && k.codec.unique() && hasOther(i, k.newSk, recno)) return make(kDuplicateKey);
    if (was) ch.push_back({i, kEntryRemove, k.oldSk});
    if (is) ch.push_back({i, kEntryInsert, k.newSk});
  }
  if (std::memcmp(stored, old, rsize_) != 0) {
    stage(recno, kSlotActive, stored, ch);
    if (ErrorState d = s.done(); d.code) return d;
  }
  setCurrent(recno, stored);
  return {};
}

ErrorState Dat21File::erase() {
  if (!writable_) return make(kAccessDenied);
  if (curRec_ == 0) return make(kRecordNotAvailable);
  Statement s(*this, true);
  if (s.e.code) return s.e;
  const std::uint64_t recno = curRec_;
  if (recno > hdr_.slotCount) return make(kRecordNotAvailable);
  unsigned char status = 0;
  const char* old = nullptr;
  ErrorState e = readSlot(recno, status, old);
  if (e.code) return e;
  if (status != kSlotActive) return make(kRecordNotAvailable);
  if (hdr_.active == 0) return make(kKeysMustBeRebuilt);
  const char* oldImage = keySource(old, oldImage_);
  std::vector<Change>& ch = changes_;
  ch.clear();
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    Key& k = keys_[i];
    if (k.codec.make(oldImage, k.oldSk.data())) ch.push_back({i, kEntryRemove, k.oldSk});
  }
  // A free slot: zeros, and the link to the next free one.
  const bool chain = rsize_ >= kFreeLinkSize;
  if (chain) put32(reinterpret_cast<unsigned char*>(freed_.data()), static_cast<std::uint32_t>(hdr_.freeHead));
  stage(recno, kSlotDeleted, freed_.data(), ch);
  hdr_.active -= 1;
  if (chain) hdr_.freeHead = recno;
  if (ErrorState d = s.done(); d.code) return d;
  curRec_ = 0;
  watched_ = false;
  return {};
}

// Rewrites the key logs that have grown well beyond their live entries. Called under
// the write lock after a write-back; a failure before the rename leaves the old log.
void Dat21File::compact() {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    Key& k = keys_[i];
    assert(k.staged.empty());
    const std::uint64_t entries = k.loaded / entrySize(k.codec.length());
    if (entries <= 2 * k.index.size() + kCompactSlack) continue;
    KeyCommit c;
    Fd fd;
    if (writeKeySnapshot(k.path, k.codec, i, k.index, c, &fd, writable_).code) continue;
    k.fd = std::move(fd);
    c.epoch = disk_.keys[i].epoch + 1;
    DataHeader nh = disk_;
    nh.keys[i] = c;
    if (commit(nh).code) return;  // the key file is ahead of the header: 46 on the next statement
    k.loaded = c.length;
    k.crc = c.crc;
    k.epoch = c.epoch;
  }
}

ErrorState Dat21File::flush() {
  if (!fd_.valid()) return {};
  if (ErrorState e = writeBack(); e.code) return e;  // I6: staged only under our lock
  if (::fdatasync(fd_.get()) != 0) return lastErrno();
  for (Key& k : keys_)
    if (k.fd.valid() && ::fdatasync(k.fd.get()) != 0) return lastErrno();
  return {};
}

ErrorState Dat21File::send(std::string_view command, std::string& reply) {
  reply.clear();
  constexpr std::string_view kRecover = "recover=";
  if (command.size() > kRecover.size()) {
    bool match = true;
    for (std::size_t i = 0; i < kRecover.size() && match; ++i)
      match = (command[i] | 0x20) == kRecover[i] || command[i] == kRecover[i];
    if (match) {
      std::string_view v = command.substr(kRecover.size());
      int seconds = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), seconds);
      if (r.ec == std::errc() && seconds >= 0) share_.setWaitSeconds(seconds);
    }
  }
  return {};
}

// Takes the write lock across statements and reads the header under it; from then on
// the file in memory is the file (I7) until UNLOCK.
ErrorState Dat21File::lock() {
  if (!writable_) return make(kAccessDenied);
  if (locked_) return {};
  ErrorState e = share_.lockWrite();
  if (e.code) return e;
  locked_ = true;
  trusted_ = refresh().code == 0;  // else each statement reads the header and reports
  return {};
}

ErrorState Dat21File::unlock() {
  if (!locked_) return {};
  ErrorState e = writeBack();
  trusted_ = locked_ = false;
  share_.unlockOne();
  return e;
}

// Holds are locks of the data file's descriptor (ShareLock), taken without a
// statement: they guard no bytes of the file.
ErrorState Dat21File::hold(std::string_view p) {
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  return share_.hold(rec);
}

ErrorState Dat21File::release(std::string_view p) {
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  share_.release(rec);
  return {};
}

ErrorState Dat21File::heldElsewhere(std::string_view p, bool& held) {
  held = false;
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  const int h = share_.heldElsewhere(rec);
  if (h < 0) return lastErrno();
  held = h > 0;
  return {};
}

ErrorState Dat21File::records(std::uint64_t& n) {
  n = 0;
  Statement s(*this, false);
  if (s.e.code) return s.e;
  n = hdr_.active;
  return {};
}

// "R<record>" in record order, "K<key>:<record>:<sort bytes in hex>" in a key order.
std::string Dat21File::position() {
  if (curRec_ == 0) return {};
  std::string out;
  if (order_ < 0) {
    out = "R";
    appendNumber(out, curRec_);
    return out;
  }
  std::string sk, image;
  keys_[static_cast<std::size_t>(order_)].codec.make(keySource(curStored_.data(), image), sk);
  out = "K";
  appendNumber(out, static_cast<std::uint64_t>(order_));
  out.push_back(':');
  appendNumber(out, curRec_);
  out.push_back(':');
  toHex(out, sk);
  return out;
}

// The order and the place a position names: NEXT and PREVIOUS read its record first.
bool Dat21File::parsePosition(std::string_view p, int& order, Cursor& c) const {
  if (p.empty()) return false;
  const char kind = p.front();
  p.remove_prefix(1);
  std::uint64_t rec = 0, key = 0;
  c = Cursor{};
  c.set = true;
  if (kind == 'R') {
    if (!takeNumber(p, rec, 0) || !p.empty() || rec == 0) return false;
    order = -1;
  } else if (kind == 'K') {
    if (!takeNumber(p, key, ':') || key >= keys_.size() || !takeNumber(p, rec, ':') ||
        !fromHex(p, c.lowSk) || c.lowSk.size() != keys_[key].codec.length())
      return false;
    c.highSk = c.lowSk;
    order = static_cast<int>(key);
  } else {
    return false;
  }
  c.lowRec = c.highRec = rec;
  return true;
}

ErrorState Dat21File::reset(std::string_view p) {
  int order = -1;
  Cursor c;
  if (!parsePosition(p, order, c)) return make(kRecordNotAvailable);
  order_ = order;
  cursor_ = std::move(c);
  return {};
}

// The record of the position's slot while it is active and, in a key order, still
// holds the key value the position names.
ErrorState Dat21File::reget(std::string_view p, char* rec) {
  const bool watch = std::exchange(watchNext_, false);  // a failed re-read watches nothing
  int order = -1;
  Cursor c;
  if (!parsePosition(p, order, c)) return make(kRecordNotAvailable);
  Statement s(*this, false);
  if (s.e.code) return s.e;
  curRec_ = 0;
  watched_ = false;
  const std::uint64_t recno = c.lowRec;
  if (recno > hdr_.slotCount) return make(kRecordNotAvailable);
  unsigned char status = 0;
  const char* bytes = nullptr;
  if (ErrorState e = readSlot(recno, status, bytes); e.code) return e;
  if (status != kSlotActive) return make(kRecordNotAvailable);
  if (order >= 0) {
    Index& idx = keys_[static_cast<std::size_t>(order)].index;
    if (findEntry(idx, c.lowSk, recno) == idx.end()) return make(kRecordNotAvailable);
  }
  watchNext_ = watch;
  if (ErrorState d = deliver(recno, bytes, rec, order, c.lowSk); d.code) return d;
  order_ = order;
  cursorOn(cursor_, c.lowSk, recno);
  return {};
}

ErrorState openFile(const FileDecl& decl, const std::string& name, std::uint8_t mode, std::unique_ptr<Backend>& out) {
  auto f = std::make_unique<Dat21File>(decl);
  ErrorState e = f->open(name, mode);
  if (e.code == 0) out = std::move(f);
  return e;
}

// A link is never replaced: one whose target is missing (a share not mounted) is a
// missing file (kFileNotFound); anything else gives no error.
ErrorState noLinkTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::stat(path.c_str(), &st) == 0) return {};
  ErrorState e = lastErrno();
  e.fileText = "the link's target is missing";
  return e;
}

// The data file of an empty file: its header, both copies.
std::string emptyDataBytes(const FileDecl& decl) {
  DataHeader h;
  h.recordSize = static_cast<std::uint32_t>(decl.recordSize);
  h.keyCount = static_cast<std::uint32_t>(decl.keys.size());
  h.flags = declFlags(decl);
  std::string bytes(kHeaderSize, '\0');
  for (std::uint64_t g = 0; g < 2; ++g) {
    h.generation = g;
    encodeHeader(h, reinterpret_cast<unsigned char*>(bytes.data()) + g * kHeaderCopySize);
  }
  return bytes;
}

ErrorState writeEmptyKeys(const FileDecl& decl, const std::string& path) {
  for (std::size_t i = 0; i < decl.keys.size(); ++i)
    if (ErrorState e = writeWholeFile(keyPath(path, i), keyHeaderBytes(SortKey(decl, i), i)); e.code) return e;
  return {};
}

// A missing file: the data file is made whole under a name of its own and linked into
// place only while the name is still free, holding the write lock until its key
// files are written. Of several programs creating it at once one creates it; the
// others find it made (and their opens wait for the lock until it is complete).
ErrorState createMissing(const FileDecl& decl, const std::string& path) {
  static std::atomic<unsigned> serial{0};
  const std::string tmp = path + "~" + std::to_string(::getpid()) + "." + std::to_string(serial++);
  Fd fd(openRegular(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL));
  if (!fd.valid()) return openErrno();
  struct Unlink {
    const std::string& name;
    ~Unlink() { ::unlink(name.c_str()); }
  } unlinkTmp{tmp};
  ShareLock guard;
  if (ErrorState e = guard.acquire(fd.get(), mode::kReadWrite | mode::kDenyNone); e.code) return e;
  struct Release {
    ShareLock& s;
    ~Release() { s.release(); }
  } release{guard};
  if (ErrorState e = guard.lockWrite(); e.code) return e;
  const std::string bytes = emptyDataBytes(decl);
  if (!writeAt(fd.get(), bytes.data(), bytes.size(), 0)) return lastErrno();
  if (::link(tmp.c_str(), path.c_str()) != 0) return errno == EEXIST ? ErrorState{} : lastErrno();
  ErrorState e = writeEmptyKeys(decl, path);
  guard.unlockOne();
  return e;
}

// A file found missing: made exclusively, or left as another station made it
// meanwhile (never replaced, even when nobody has it open yet).
ErrorState createMissingFile(const FileDecl& decl, const std::string& name) {
  if (int c = checkDecl(decl)) return make(c);
  const std::string path = dataPath(name);
  if (ErrorState e = noLinkTarget(path); e.code) return e;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return {};
  if (errno != ENOENT) return lastErrno();
  return createMissing(decl, path);
}

ErrorState createFile(const FileDecl& decl, const std::string& name) {
  if (int c = checkDecl(decl)) return make(c);
  const std::string path = dataPath(name);
  if (ErrorState e = noLinkTarget(path); e.code) return e;
  // An existing file is replaced only when nobody has it open.
  Fd old(openRegular(path.c_str(), O_RDWR));
  if (!old.valid()) return errno == ENOENT ? createMissing(decl, path) : openErrno();
  ShareLock guard;
  if (ErrorState e = guard.acquire(old.get(), mode::kReadWrite | mode::kDenyAll); e.code) return e;
  ErrorState e = writeEmptyKeys(decl, path);
  if (e.code == 0) e = writeWholeFile(path, emptyDataBytes(decl));
  guard.release();
  return e;
}

// What a build could not keep, for the user ("" when it kept everything).
std::string salvageNote(std::uint64_t dropped, bool headerDamaged, std::uint64_t recovered) {
  std::string note;
  if (dropped) note = std::to_string(dropped) + " record(s) could not be read and were dropped";
  if (headerDamaged && recovered == 0) {
    if (!note.empty()) note += "; ";
    note += "a header copy was damaged: the last change may be lost";
  }
  return note;
}

// Rebuilds every key file from the slots, and the free list with them, keeping every
// record that can be read: a record whose status byte is damaged, and one cut short
// at the end of the file, are dropped (their slots become free). When a header copy
// is damaged, the intact slots past the sound copy's count (records the damaged,
// newer copy counted) are kept. Both header copies are written anew. On success the
// error's fileText says what was dropped, or is empty.
ErrorState buildFile(const FileDecl& decl, const std::string& name) {
  if (int c = checkDecl(decl)) return make(c);
  const std::string path = dataPath(name);
  Fd fd(openRegular(path.c_str(), O_RDWR));
  if (!fd.valid()) return openErrno();
  ShareLock share;
  if (ErrorState e = share.acquire(fd.get(), mode::kReadWrite | mode::kDenyNone); e.code) return e;
  struct Release {
    ShareLock& s;
    ~Release() { s.release(); }
  } release{share};
  if (ErrorState e = share.lockWrite(); e.code) return e;
  unsigned char raw[kHeaderSize];
  ssize_t got = readAt(fd.get(), raw, sizeof raw, 0);
  if (got < 0) return lastErrno();
  DataHeader h;
  bool bothSound = false;
  if (static_cast<std::size_t>(got) != sizeof raw || !pickHeader(raw, h, &bothSound)) return make(kInvalidDataFile);
  if (h.recordSize != decl.recordSize) return make(kInvalidRecordDeclaration);

  const std::size_t rsize = decl.recordSize, ssize = slotSize(rsize);
  const std::uint64_t whole = (fileSize(fd.get()) - kHeaderSize) / ssize;  // slots wholly in the file
  std::uint64_t slots = std::min(h.slotCount, whole);
  std::uint64_t dropped = h.slotCount - slots;  // cut short at the end
  std::uint64_t recovered = 0;
  const auto intact = [&](std::uint64_t recno, bool& ok) {
    unsigned char status = 0;
    ok = readAt(fd.get(), &status, 1, slotOffset(recno, rsize)) == 1;
    return ok && (status == kSlotActive || status == kSlotDeleted);
  };
  if (!bothSound) {
    bool ok = true;
    while (slots < whole && intact(slots + 1, ok)) {
      ++slots;
      ++recovered;
    }
    if (!ok) return lastErrno();
  }

  std::vector<SortKey> codecs;
  std::vector<std::vector<Entry>> entries(decl.keys.size());
  for (std::size_t i = 0; i < decl.keys.size(); ++i) codecs.emplace_back(decl, i);
  struct FreeSlot {
    std::uint64_t recno;
    std::uint32_t link;  // what it holds now
    bool damaged;        // its status byte must be written too
  };
  std::vector<FreeSlot> freeSlots;
  std::uint64_t active = 0;
  const std::uint64_t per = std::max<std::uint64_t>(1, kChunkBytes / ssize);
  std::vector<char> chunk;
  std::string image, sk;
  for (std::uint64_t first = 1; first <= slots; first += per) {
    const std::uint64_t count = std::min(per, slots - first + 1);
    chunk.resize(static_cast<std::size_t>(count * ssize));
    ssize_t n = readAt(fd.get(), chunk.data(), chunk.size(), slotOffset(first, rsize));
    if (n < 0) return lastErrno();
    if (static_cast<std::size_t>(n) != chunk.size()) return make(kInvalidDataFile);
    for (std::uint64_t j = 0; j < count; ++j) {
      const char* slot = chunk.data() + j * ssize;
      const std::uint64_t recno = first + j;
      const auto status = static_cast<unsigned char>(slot[0]);
      if (status == kSlotActive) {
        ++active;
        image.assign(slot + 1, rsize);
        if (decl.oem) convertTextFields(decl, image.data(), false);
        for (std::size_t i = 0; i < codecs.size(); ++i)
          if (codecs[i].make(image.data(), sk)) entries[i].push_back({sk, static_cast<std::uint32_t>(recno)});
      } else {
        const bool damaged = status != kSlotDeleted;
        if (damaged) ++dropped;
        const std::uint32_t link =
            !damaged && rsize >= kFreeLinkSize ? get32(reinterpret_cast<const unsigned char*>(slot + 1)) : 0;
        freeSlots.push_back({recno, link, damaged});
      }
    }
  }
  // The free list in slot order, lowest first; a damaged slot becomes a free one.
  const bool chain = rsize >= kFreeLinkSize;
  for (std::size_t j = 0; j < freeSlots.size(); ++j) {
    const FreeSlot& f = freeSlots[j];
    std::uint32_t link = chain && j + 1 < freeSlots.size() ? static_cast<std::uint32_t>(freeSlots[j + 1].recno) : 0;
    if (!f.damaged && (!chain || f.link == link)) continue;
    // The status byte and the link after it; the status only where it was damaged.
    unsigned char b[1 + kFreeLinkSize] = {kSlotDeleted};
    put32(b + 1, link);
    const std::size_t from = f.damaged ? 0 : 1, to = chain ? sizeof b : 1;
    if (!writeAt(fd.get(), b + from, to - from, slotOffset(f.recno, rsize) + from)) return lastErrno();
  }
  DataHeader nh = h;
  for (std::size_t i = 0; i < codecs.size(); ++i) {
    std::sort(entries[i].begin(), entries[i].end(), EntryLess{});
    KeyCommit c;
    if (ErrorState e = writeKeySnapshot(keyPath(path, i), codecs[i], i, entries[i], c, nullptr, true); e.code)
      return e;
    c.epoch = h.keys[i].epoch + 1;
    nh.keys[i] = c;
  }
  for (std::size_t i = codecs.size(); i < kMaxKeys; ++i) nh.keys[i] = KeyCommit{};
  nh.keyCount = static_cast<std::uint32_t>(codecs.size());
  nh.flags = declFlags(decl);
  nh.slotCount = slots;
  nh.freeHead = chain && !freeSlots.empty() ? freeSlots.front().recno : 0;
  nh.active = active;
  nh.pending = 0;
  // Both copies, so that a damaged one is replaced; the second is the newer.
  for (int copy = 1; copy <= 2; ++copy) {
    nh.generation = h.generation + static_cast<std::uint64_t>(copy);
    if (ErrorState e = writeHeader(fd.get(), nh); e.code) return e;
  }
  ErrorState done;
  done.fileText = salvageNote(dropped, !bothSound, recovered);
  return done;
}

}  // namespace

std::string dataPath(const std::string& name) { return systemName(defaultExtension(name, ".DAT")); }

std::string keyPath(const std::string& data, std::size_t index) {
  char ext[] = ".K00";
  ext[2] = static_cast<char>('0' + (index + 1) / 10 % 10);
  ext[3] = static_cast<char>('0' + (index + 1) % 10);
  return resolvePath(replaceExtension(data, ext));
}

Driver driver() { return Driver{&openFile, &createFile, &buildFile, &createMissingFile}; }

}  // namespace zelk::storage::dat21
