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
//
// States (State below), between statements:
//   Closed          no descriptor.
//   Stale, Cached   no write lock across statements; the next statement reads the
//                   header and the keys again (Stale) or compares the header with
//                   what it read last (Cached).
//   LockedStale,    LOCK holds the write lock, but the header could not be read
//   Locked          under it: every statement reads it again and reports.
//   ExclusiveStale, LOCK holds the write lock and the header was read under it: the
//   Exclusive       file in memory is the file (I7). In ExclusiveStale a statement
//                   found a key out of line with a slot: the next one writes back and
//                   reads the header and keys again.
// Only Exclusive and ExclusiveStale keep changes staged between statements (I6),
// and no state keeps a write-back half done (I1). Between statements the lock holds
// only what LOCK took: a statement's own hold (StatementLock) ends with it. Outside
// the Stale states memory is what the header last read or committed says: every key
// loaded (I4, I5), no pending change (I3), the header's bytes (I2) and the
// read-ahead (ReadAhead, I8) in line with it.
// Steps, from the state a statement finds to the states it may leave:
//   OPEN     Closed -> Cached, Stale; Closed when it fails.
//   LOCK     Stale, Cached -> Exclusive, Locked, LockedStale; as it was when the lock
//            is refused or held already.
//   UNLOCK   Locked, LockedStale, Exclusive, ExclusiveStale -> Cached, Stale; else as
//            it was.
//   CLOSE    any -> Closed.
//   others   Stale, Cached -> Stale, Cached; Locked, LockedStale -> Locked,
//            LockedStale; Exclusive, ExclusiveStale -> Exclusive, ExclusiveStale,
//            or LockedStale when a write-back fails.
// The debug build asserts the state, the step and the invariants that memory shows
// at each statement's entry and exit (Checked), and the whole of I6 and I8 at each
// write-back.
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
//
// The parts: keyindex.h a key's set in memory, keylog.h the key files, position.h
// positions and their text, create.h new files, rebuild.h the build, format.h the
// bytes on disk, sortkey.h the sort bytes of a key value; this file the driver.
#include "platform/storage/dat21/dat21.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "platform/storage/dat21/create.h"
#include "platform/storage/dat21/fileio.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/keyindex.h"
#include "platform/storage/dat21/keylog.h"
#include "platform/storage/dat21/position.h"
#include "platform/storage/dat21/rebuild.h"
#include "platform/storage/dat21/sortkey.h"
#include "platform/storage/io.h"
#include "platform/storage/paths.h"
#include "platform/storage/readahead.h"
#include "platform/storage/send.h"
#include "platform/storage/sharelock.h"
#include "platform/storage/staging.h"
#include "platform/storage/statementlock.h"

namespace zelk::storage::dat21 {
namespace {

// A log that has grown beyond twice its live entries plus this many is rewritten.
constexpr std::uint64_t kCompactSlack = 1024;
constexpr std::uint64_t kMaxRecno = 0xFFFFFFFFu;

// The states and steps at the top of the file.
enum class State : std::uint8_t { kClosed, kStale, kCached, kLockedStale, kLocked, kExclusiveStale, kExclusive };
enum class Step : std::uint8_t { kOpen, kLock, kUnlock, kClose, kOther };

constexpr unsigned bit(State s) { return 1u << static_cast<unsigned>(s); }
constexpr unsigned kUnlocked = bit(State::kStale) | bit(State::kCached);
constexpr unsigned kLockedStates = bit(State::kLockedStale) | bit(State::kLocked);
constexpr unsigned kExclusiveStates = bit(State::kExclusiveStale) | bit(State::kExclusive);

// Whether a statement of kind step may leave the file in state to when it found it
// in state from.
[[maybe_unused]] bool allowed(Step step, State from, State to) {
  const unsigned f = bit(from), t = bit(to);
  switch (step) {
    case Step::kOpen:
      return from == State::kClosed && (t & (kUnlocked | bit(State::kClosed)));
    case Step::kLock:
      return from == to || ((f & kUnlocked) && (t & (kLockedStates | bit(State::kExclusive))));
    case Step::kUnlock:
      return from == to || ((f & (kLockedStates | kExclusiveStates)) && (t & kUnlocked));
    case Step::kClose:
      return to == State::kClosed;
    case Step::kOther:
      if (f & kUnlocked) return t & kUnlocked;
      if (f & kLockedStates) return t & kLockedStates;
      if (f & kExclusiveStates) return t & (kExclusiveStates | bit(State::kLockedStale));
      return from == to;
  }
  return false;
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
  void watch() override {
    const Checked check(*this, Step::kOther);
    watchNext_ = true;
  }
  ErrorState hold(std::string_view position) override;
  ErrorState release(std::string_view position) override;
  ErrorState heldElsewhere(std::string_view position, bool& held) override;
  // Live: no record follows the position (for NEXT), as the file stands now; false
  // when that cannot be read.
  bool eof() const override { return const_cast<Dat21File*>(this)->atEnd(); }

 private:
  // A change to one key, written as one log entry (sk: the key's oldSk or newSk).
  struct Change {
    std::size_t key;
    unsigned char op;
    std::string_view sk;
  };
  // A statement's hold on the file's lock, with the header and keys brought up to
  // date. A writing statement ends with done(), which writes its changes back unless
  // the lock is held across statements.
  class Statement {
   public:
    // Under LOCK the write lock is held already.
    Statement(Dat21File& f, bool write)
        : f_(f), lock_(f.share_, write ? StatementLock::Kind::Write : StatementLock::Kind::Read, f.locked_) {
      e = lock_.error;
      if (!e.code && (!f.trusted_ || f.stale_)) e = f.refresh();
    }
    ErrorState done() {
      if (!f_.trusted_ || f_.staged_.bytes() + f_.keyBytes_ >= kWriteBackBytes) return f_.writeBack();
      return {};
    }
    ErrorState e;

   private:
    Dat21File& f_;
    StatementLock lock_;
  };

  // Asserts the state and what memory shows of the invariants at a statement's entry
  // and exit, and that the step between them is one the top of the file lists (debug
  // build only; nothing in the release build).
  class Checked {
   public:
#ifdef NDEBUG
    Checked(const Dat21File&, Step) {}
#else
    Checked(const Dat21File& f, Step step) : f_(f), step_(step), from_(f.state()) { f.checkBetween(); }
    ~Checked() {
      assert(allowed(step_, from_, f_.state()));
      f_.checkBetween();
    }

   private:
    const Dat21File& f_;
    const Step step_;
    const State from_;
#endif
  };

#ifndef NDEBUG
  State state() const;
  void checkMemory() const;
  void checkBetween() const;
#endif
  ErrorState refresh();

  const char* images(const char* rec, const char*& stored);
  const char* keySource(const char* stored, std::string& image) const;
  const char* cachedSlot(std::uint64_t recno) const;
  ErrorState readSlot(std::uint64_t recno, unsigned char& status, const char*& bytes, std::uint64_t ahead = 0);
  ErrorState keyedSlot(std::uint64_t recno, const char*& bytes, std::uint64_t ahead);
  ErrorState deliver(std::uint64_t recno, const char* stored, char* out, int verifyKey, std::string_view expectSk);
  void setCurrent(std::uint64_t recno, const char* stored);

  bool parsePosition(std::string_view p, int& order, Cursor& c) const;
  ErrorState step(char* rec, bool forward);
  bool atEnd();
  ErrorState findActive(std::uint64_t from, bool forward, std::uint64_t& found);
  ErrorState loadChunk(std::uint64_t recno, bool forward, std::uint64_t start);
  std::uint64_t chunkSlots() const { return std::max<std::uint64_t>(1, kReadAheadBytes / ssize_); }

  ErrorState currentWritable() const;
  bool hasOther(std::size_t key, std::string_view sk, std::uint64_t except) const;
  void stage(std::uint64_t recno, unsigned char status, const char* bytes, const std::vector<Change>& ch);
  ErrorState writeBack();
  ErrorState writeSlots();
  ErrorState commit(DataHeader nh);
  void discardStaged();
  void compact();
  void checkInvariants() const;


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
  ReadAhead chunk_{ssize_};
};

ErrorState Dat21File::open(const std::string& name, std::uint8_t mode) {
  const Checked check(*this, Step::kOpen);
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
  const Checked check(*this, Step::kClose);
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
  chunk_.drop();  // I8: another writer's commit
  if (h.recordSize != rsize_) return make(kInvalidRecordDeclaration);
  if (fileSize(fd_.get()) < kHeaderSize + h.slotCount * ssize_) return make(kKeysMustBeRebuilt);
  if (h.keyCount != keys_.size() || h.pending != 0) return make(kKeysMustBeRebuilt);
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    ErrorState e = keys_[i].catchUp(i, h.keys[i], h.slotCount, writable_);
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
  return chunk_.find(recno);
}

// The slot's status and record bytes; the bytes stay valid until the next slot is
// read, staged or read ahead. With ahead, a slot not in memory is read with the slots
// around it, at least ahead of them (more in a pass over the file).
ErrorState Dat21File::readSlot(std::uint64_t recno, unsigned char& status, const char*& bytes, std::uint64_t ahead) {
  if (recno == 0 || recno > hdr_.slotCount) return make(kKeysMustBeRebuilt);
  const char* slot = cachedSlot(recno);
  if (!slot && ahead > 0) {
    if (ErrorState e = loadChunk(recno, recno >= chunk_.end(), ahead); e.code) return e;
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

// The bytes of the active record a key names (readSlot); a slot not active means the
// keys are stale.
ErrorState Dat21File::keyedSlot(std::uint64_t recno, const char*& bytes, std::uint64_t ahead) {
  unsigned char status = 0;
  if (ErrorState e = readSlot(recno, status, bytes, ahead); e.code) return e;
  if (status == kSlotActive) return {};
  stale_ = true;
  return make(kKeysMustBeRebuilt);
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
  const Checked check(*this, Step::kOther);
  order_ = -1;
  cursor_ = Cursor{};
  return {};
}

ErrorState Dat21File::setKeyOrder(int key, const char* at) {
  const Checked check(*this, Step::kOther);
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
  const Checked check(*this, Step::kOther);
  Statement s(*this, false);
  if (s.e.code) return s.e;
  if (order_ < 0) {
    std::uint64_t from = forward ? (cursor_.set ? cursor_.lowRec : 1) : (cursor_.set ? cursor_.highRec : hdr_.slotCount);
    std::uint64_t found = 0;
    ErrorState e = findActive(from, forward, found);
    if (e.code) return e;
    if (found == 0) return make(kRecordNotAvailable);
    const char* bytes = chunk_.at(found) + 1;
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
  const char* bytes = nullptr;
  if (ErrorState e = keyedSlot(it->rec, bytes, 0); e.code) return e;
  if (ErrorState d = deliver(it->rec, bytes, rec, order_, it->sk); d.code) return d;
  cursorOn(cursor_, it->sk, it->rec);
  return {};
}

// A read error is not the end: the NEXT that follows reports it.
bool Dat21File::atEnd() {
  const Checked check(*this, Step::kOther);
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
    if (!chunk_.holds(r)) {
      ErrorState e = loadChunk(r, forward, chunkSlots());
      if (e.code) return e;
    }
    const auto status = static_cast<unsigned char>(chunk_.at(r)[0]);
    if (status == kSlotActive) {
      found = r;
      return {};
    }
    if (status != kSlotDeleted) return make(kKeysMustBeRebuilt);  // the build drops it
  }
  return {};
}

// Reads ahead the slots around recno (start of them, more in a pass over the file, at
// most a read-ahead's worth): those on disk, then the staged ones over them.
ErrorState Dat21File::loadChunk(std::uint64_t recno, bool forward, std::uint64_t start) {
  std::uint64_t count = chunk_.span(recno, forward, start, chunkSlots());
  const std::uint64_t first = forward ? recno : (recno > count ? recno - count + 1 : 1);
  count = std::min(count, hdr_.slotCount - first + 1);
  const std::uint64_t onDisk = first <= disk_.slotCount ? std::min(count, disk_.slotCount - first + 1) : 0;
  const std::int64_t n = chunk_.fill(fd_.get(), slotOffset(first, rsize_), first, count, onDisk, staged_);
  if (n < 0) return lastErrno();
  if (static_cast<std::uint64_t>(n) == count) return {};
  chunk_.drop();  // the file ends before the slots its header counts
  return make(kInvalidDataFile);
}

ErrorState Dat21File::get(int key, char* rec) {
  const Checked check(*this, Step::kOther);
  if (key < 0 || static_cast<std::size_t>(key) >= keys_.size()) return make(kInvalidKeyFile);
  Statement s(*this, false);
  if (s.e.code) return s.e;
  Key& k = keys_[static_cast<std::size_t>(key)];
  std::string& sk = k.oldSk;
  const char* stored = nullptr;
  k.codec.make(images(rec, stored), sk.data());
  auto it = k.index.lower_bound(Probe{sk, 0});
  if (it == k.index.end() || it->sk != sk) return make(kRecordNotFound);
  // Under LOCK the records looked up are read ahead (I7, I8): a filling that looks up
  // one a row, in the order of the file, reads them in blocks.
  const char* bytes = nullptr;
  if (ErrorState e = keyedSlot(it->rec, bytes, trusted_ ? 1 : 0); e.code) return e;
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
  slot_[0] = static_cast<char>(status);
  std::memcpy(slot_.data() + 1, bytes, rsize_);
  staged_.put(recno, slot_.data());
  unwritten_ = true;
  chunk_.update(recno, slot_.data());  // I8
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
  chunk_.drop();
  stale_ = true;
  trusted_ = false;
}

#ifndef NDEBUG
State Dat21File::state() const {
  if (!fd_.valid()) return State::kClosed;
  if (!locked_) return stale_ ? State::kStale : State::kCached;
  if (!trusted_) return stale_ ? State::kLockedStale : State::kLocked;
  return stale_ ? State::kExclusiveStale : State::kExclusive;
}

// What memory shows of the invariants, cheap enough for every statement (debug build
// only): the counts in memory against the header last read or committed, the keys
// against them, the header's bytes.
void Dat21File::checkMemory() const {
  // I6: the staged appends run from the disk's slot count up to ours.
  assert(hdr_.slotCount >= disk_.slotCount);
  assert(hdr_.slotCount == disk_.slotCount || (staged_.find(disk_.slotCount + 1) && staged_.find(hdr_.slotCount)));
  // I5: the keys in memory against the active count.
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const bool opt = decl_.keys[i].attrs & kOpt;
    assert(keys_[i].index.size() <= hdr_.active && (opt || keys_[i].index.size() == hdr_.active));
  }
  // I4: what this opener applied of each key log is what the header on disk commits.
  for (std::size_t i = 0; i < keys_.size(); ++i)
    assert(keys_[i].loaded == disk_.keys[i].length && keys_[i].crc == disk_.keys[i].crc);
  // I8: the read-ahead covers slots of the file.
  assert(!chunk_.valid() || (chunk_.first() >= 1 && chunk_.end() <= hdr_.slotCount + 1));
  // The free list's head is a slot of the file.
  assert(hdr_.freeHead <= hdr_.slotCount);
  // I2: the copy of this generation on disk is the one in raw_.
  DataHeader h;
  assert(decodeHeader(raw_ + (disk_.generation % 2) * kHeaderCopySize, h) && h.generation == disk_.generation);
}

// The state between statements (debug build only), as the top of the file lists.
void Dat21File::checkBetween() const {
  if (!fd_.valid()) return;  // Closed
  assert(locked_ || !trusted_);
  assert(share_.depth() == (locked_ ? 1 : 0));  // no statement's hold outlives it
  assert(unwritten_ == !staged_.empty());  // I1: a write-back ends at a commit or discards
  // I6: staged only while this process holds the write lock and read the header.
  assert(staged_.empty() || (bit(state()) & kExclusiveStates));
  if (staged_.empty()) {
    assert(keyBytes_ == 0);
    for (const Key& k : keys_) assert(k.staged.empty());
  }
  if (stale_) return;  // read again by the next statement
  assert(disk_.pending == 0);  // I3
  for (const Key& k : keys_) assert(k.fresh);  // I4
  checkMemory();
}
#endif

// The invariants that can be checked from memory, with the walks over the staged
// slots (debug build only): at each write-back.
void Dat21File::checkInvariants() const {
#ifndef NDEBUG
  checkMemory();
  // I6: staged appends are consecutive from the disk's slot count up to ours.
  std::uint64_t expect = disk_.slotCount + 1;
  staged_.each(expect, kMaxRecno + 1, [&](std::uint64_t recno, const char*) {
    assert(recno == expect);
    ++expect;
  });
  assert(expect == hdr_.slotCount + 1 || (staged_.empty() && hdr_.slotCount == disk_.slotCount));
  // I8: the read-ahead holds the staged slots it covers.
  if (chunk_.valid())
    staged_.each(chunk_.first(), chunk_.end(), [&](std::uint64_t recno, const char* slot) {
      assert(std::memcmp(chunk_.at(recno), slot, ssize_) == 0);
    });
#endif
}

ErrorState Dat21File::add(char* rec) {
  const Checked check(*this, Step::kOther);
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
    if (ErrorState e = readSlot(recno, status, old, trusted_ ? chunkSlots() : 0); e.code) return e;
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

// PUT and DELETE: a current record in a file open for writing.
ErrorState Dat21File::currentWritable() const {
  if (!writable_) return make(kAccessDenied);
  if (curRec_ == 0) return make(kRecordNotAvailable);
  return {};
}

ErrorState Dat21File::put(const char* rec) {
  const Checked check(*this, Step::kOther);
  if (ErrorState e = currentWritable(); e.code) return e;
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
  const Checked check(*this, Step::kOther);
  if (ErrorState e = currentWritable(); e.code) return e;
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
  const Checked check(*this, Step::kOther);
  if (!fd_.valid()) return {};
  if (ErrorState e = writeBack(); e.code) return e;  // I6: staged only under our lock
  if (::fdatasync(fd_.get()) != 0) return lastErrno();
  for (Key& k : keys_)
    if (k.fd.valid() && ::fdatasync(k.fd.get()) != 0) return lastErrno();
  return {};
}

ErrorState Dat21File::send(std::string_view command, std::string& reply) {
  const Checked check(*this, Step::kOther);
  reply.clear();
  if (const SendCommand c = parseSend(command); c.is("recover") && c.hasValue) {
    int seconds = 0;
    auto r = std::from_chars(c.value.data(), c.value.data() + c.value.size(), seconds);
    if (r.ec == std::errc() && seconds >= 0) share_.setWaitSeconds(seconds);
  }
  return {};
}

// Takes the write lock across statements and reads the header under it; from then on
// the file in memory is the file (I7) until UNLOCK.
ErrorState Dat21File::lock() {
  const Checked check(*this, Step::kLock);
  if (!writable_) return make(kAccessDenied);
  if (locked_) return {};
  ErrorState e = share_.lockWrite();
  if (e.code) return e;
  locked_ = true;
  trusted_ = refresh().code == 0;  // else each statement reads the header and reports
  return {};
}

ErrorState Dat21File::unlock() {
  const Checked check(*this, Step::kUnlock);
  if (!locked_) return {};
  ErrorState e = writeBack();
  trusted_ = locked_ = false;
  share_.unlockOne();
  return e;
}

// Holds are locks of the data file's descriptor (ShareLock), taken without a
// statement: they guard no bytes of the file.
ErrorState Dat21File::hold(std::string_view p) {
  const Checked check(*this, Step::kOther);
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  return share_.hold(rec);
}

ErrorState Dat21File::release(std::string_view p) {
  const Checked check(*this, Step::kOther);
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  share_.release(rec);
  return {};
}

ErrorState Dat21File::heldElsewhere(std::string_view p, bool& held) {
  const Checked check(*this, Step::kOther);
  held = false;
  const std::uint64_t rec = recordAt(p);
  if (rec == 0) return make(kRecordNotAvailable);
  const int h = share_.heldElsewhere(rec);
  if (h < 0) return lastErrno();
  held = h > 0;
  return {};
}

ErrorState Dat21File::records(std::uint64_t& n) {
  const Checked check(*this, Step::kOther);
  n = 0;
  Statement s(*this, false);
  if (s.e.code) return s.e;
  n = hdr_.active;
  return {};
}

// "R<record>" in record order, "K<key>:<record>:<sort bytes in hex>" in a key order.
std::string Dat21File::position() {
  const Checked check(*this, Step::kOther);
  if (curRec_ == 0) return {};
  if (order_ < 0) return encodePosition(-1, curRec_, {});
  std::string sk, image;
  keys_[static_cast<std::size_t>(order_)].codec.make(keySource(curStored_.data(), image), sk);
  return encodePosition(order_, curRec_, sk);
}

// The order and the place a position names: NEXT and PREVIOUS read its record first.
bool Dat21File::parsePosition(std::string_view p, int& order, Cursor& c) const {
  bool keyed = false;
  std::uint64_t key = 0;
  if (!decodePosition(p, keyed, key, c)) return false;
  if (!keyed) {
    order = -1;
    return true;
  }
  if (key >= keys_.size() || c.lowSk.size() != keys_[key].codec.length()) return false;
  order = static_cast<int>(key);
  return true;
}

ErrorState Dat21File::reset(std::string_view p) {
  const Checked check(*this, Step::kOther);
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
  const Checked check(*this, Step::kOther);
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