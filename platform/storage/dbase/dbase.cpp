#include "platform/storage/dbase/dbase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/core/endian.h"
#include "platform/storage/dbase/dbf_codec.h"
#include "platform/storage/io.h"
#include "platform/storage/paths.h"
#include "platform/storage/readahead.h"
#include "platform/storage/send.h"
#include "platform/storage/sharelock.h"
#include "platform/storage/staging.h"
#include "platform/storage/statementlock.h"

namespace zelk::storage::dbase {
namespace {

ErrorState fail(int code) { return errorOf(code); }

// A write at an offset, its failure as an error.
ErrorState write(int fd, const void* buf, std::size_t n, std::uint64_t off) {
  return writeAt(fd, buf, n, off) ? ErrorState{} : fromErrno(errno);
}

struct Binding {
  const FieldDesc* field;
  const Column* column;
};

// While this process holds the table's write lock across statements (LOCK), nobody
// else writes it: the record count and the read-ahead in memory are the table's,
// and added, changed and deleted records are staged and written back, one write per
// run of consecutive records and then the header's date and count, at UNLOCK, FLUSH
// and CLOSE and whenever the staged bytes pass kWriteBackBytes. Records go before
// the count that takes them in, so another process reading meanwhile sees the table
// as it was at the last write-back.
class Table final : public Backend {
 public:
  explicit Table(const FileDecl& decl) : decl_(decl) {}
  ~Table() override { close(); }

  ErrorState open(const std::string& name, std::uint8_t mode);

  ErrorState close() override {
    ErrorState e;
    if (fd_.valid()) {
      e = writeBack();
      share_.release();
      fd_.reset();
      held_ = 0;
    }
    return e;
  }

  ErrorState setRecordOrder() override {
    at_ = At::Start;
    have_ = false;
    scan_.drop();
    return {};
  }
  ErrorState setKeyOrder(int, const char*) override { return fail(kNotSupported); }
  ErrorState get(int, char*) override { return fail(kNotSupported); }

  ErrorState next(char* rec) override { return read(rec, true); }
  ErrorState skip(char*) override { return read(nullptr, true); }
  ErrorState previous(char* rec) override { return read(rec, false); }
  ErrorState add(char* rec) override;
  ErrorState put(const char* rec) override;
  ErrorState erase() override;

  ErrorState flush() override {
    if (ErrorState e = writeBack(); e.code) return e;
    if (writable_ && ::fdatasync(fd_.get()) != 0) return fromErrno(errno);
    return {};
  }

  ErrorState send(std::string_view command, std::string& reply) override;

  ErrorState lock() override {
    ErrorState e = writable_ ? share_.lockWrite() : share_.lockRead();
    if (e.code) return e;
    if (held_ == 0 && writable_) {
      // Another station may have added records before we took the lock: the count is
      // read while the table is not yet ours alone.
      e = refreshCount();
      if (e.code) {
        share_.unlockOne();
        return e;
      }
      scan_.drop();
      diskCount_ = count_;
    }
    ++held_;
    return e;
  }
  ErrorState unlock() override {
    if (held_ == 0) return {};
    ErrorState e;
    if (held_ == 1) e = writeBack();
    --held_;
    share_.unlockOne();
    return e;
  }

  ErrorState records(std::uint64_t& n) override {
    ErrorState e = refreshCount();
    n = count_;
    return e;
  }

  std::string position() override { return have_ ? std::to_string(cur_ + 1) : std::string(); }

  ErrorState reset(std::string_view position) override {
    std::int64_t i = 0;
    if (!recordIndex(position, i)) return fail(kRecordNotAvailable);
    at_ = At::Before;
    cur_ = i;
    have_ = false;
    scan_.drop();
    return {};
  }
  ErrorState reget(std::string_view position, char* rec) override;

  void watch() override { watchNext_ = true; }

  // A read error is not the end: the NEXT that follows reports it.
  bool eof() const override {
    if (!keepScan()) scan_.drop();
    return findForward(nextFrom()) == kNone;
  }

 private:
  // Where the position stands: before the first record (SET), on record cur_ (read,
  // deleted or added), or just before record cur_ (RESET, or past an end).
  enum class At { Start, Record, Before };

  // The record index a position names (its record number less one).
  static bool recordIndex(std::string_view position, std::int64_t& i) {
    std::uint64_t k = 0;
    auto r = std::from_chars(position.data(), position.data() + position.size(), k);
    if (r.ec != std::errc() || r.ptr != position.data() + position.size() || k == 0 ||
        k > static_cast<std::uint64_t>(INT64_MAX))
      return false;
    i = static_cast<std::int64_t>(k - 1);
    return true;
  }

  std::int64_t nextFrom() const { return at_ == At::Start ? 0 : at_ == At::Before ? cur_ : cur_ + 1; }
  std::int64_t previousFrom() const {
    return at_ == At::Start ? INT64_MAX : at_ == At::Before ? cur_ : cur_ - 1;
  }

  off_t recordOffset(std::int64_t i) const {
    return static_cast<off_t>(layout_.headerLength) + static_cast<off_t>(i) * static_cast<off_t>(layout_.recordLength);
  }

  ErrorState read(char* rec, bool forward);  // rec null: the record is not decoded
  ErrorState refreshCount() const;
  bool fill(std::int64_t first, std::int64_t n) const;
  // The record found, kNone when there is none, kReadError when a read failed
  // (readError_ says how).
  static constexpr std::int64_t kNone = -1, kReadError = -2;
  std::int64_t findForward(std::int64_t from) const;
  std::int64_t findBackward(std::int64_t from) const;
  mutable ErrorState readError_;
  const char* cached(std::int64_t i) const { return scan_.at(static_cast<std::uint64_t>(i)); }
  bool inScan(std::int64_t i) const { return i >= 0 && scan_.holds(static_cast<std::uint64_t>(i)); }
  std::int64_t scanFirst() const { return static_cast<std::int64_t>(scan_.first()); }
  std::int64_t scanEnd() const { return static_cast<std::int64_t>(scan_.end()); }
  // Records read at once: from a small start doubling over a pass (the whole read-ahead
  // at once while it stays valid between statements).
  std::uint64_t mostRecords() const { return std::max<std::size_t>(1, kReadAheadBytes / layout_.recordLength); }
  std::uint64_t chunk(std::int64_t from, bool forward) const {
    const std::uint64_t most = mostRecords();
    return scan_.span(static_cast<std::uint64_t>(from), forward, keepScan() ? most : 1, most);
  }
  // The write lock is held across statements: what is in memory is the table.
  bool trusted() const { return held_ > 0 && writable_; }
  // The read-ahead stays valid between statements.
  bool keepScan() const { return quickScan_ || trusted(); }

  // A writing statement's hold on the write lock; what was read ahead before it is
  // not the table unless the lock is held across statements.
  StatementLock writeStatement() {
    if (!trusted()) scan_.drop();
    return StatementLock(share_, StatementLock::Kind::Write, trusted());
  }
  void stage(std::int64_t i, const char* record);
  ErrorState recordNow(std::int64_t i, std::vector<char>& out) const;
  ErrorState writeBack();
  ErrorState writeBackWhenFull() { return staged_.bytes() >= kWriteBackBytes ? writeBack() : ErrorState{}; }
  ErrorState writeDateAndCount(std::uint32_t count);
  ErrorState touchDate();
  std::int32_t todayNow();
  void encode(const char* rec, char* raw) const {
    for (const Binding& b : bindings_) encodeField(*b.field, rec, *b.column, raw + b.column->offset, decl_.oem);
  }
  // A new record over blanks. Text fields in character columns go as runs of
  // neighbours (textRuns_), the code page converted over each run; the other fields
  // one by one.
  void encodeNew(const char* rec, char* raw) const {
    for (const TextRun& r : textRuns_) {
      std::memcpy(raw + r.column, rec + r.field, r.n);
      if (decl_.oem && !convertAtOnce_) cp::ansiToOem(raw + r.column, r.n);
    }
    // Every other column of a new record is ASCII (numbers, dates, blanks), which the
    // conversion keeps: the code page of the whole record at once.
    if (convertAtOnce_) cp::ansiToOem(raw + 1, layout_.recordLength - 1);
    convertOthers(encoded_, true, rec, raw,
                  [&](const Binding& b, const char*, char* to) { encodeField(*b.field, rec, *b.column, to, decl_.oem); });
  }
  // A record read, the same way round: what encodeNew writes, and what decodeField
  // reads field by field.
  void decode(const char* raw, char* rec) {
    for (const TextRun& r : textRuns_) readText(rec + r.field, r.n + r.pad, raw + r.column, r.n, decl_.oem);
    convertOthers(decoded_, false, raw, rec, [&](const Binding& b, const char* from, char*) {
      decodeField(*b.field, rec, *b.column, from, decl_.oem);
    });
  }

  const FileDecl& decl_;
  Fd fd_;
  ShareLock share_;
  int held_ = 0;  // LOCK nesting
  bool writable_ = false;
  bool quickScan_ = false;
  Layout layout_;
  std::vector<Binding> bindings_;
  // Text fields in character columns whose neighbours follow them in both the record
  // buffer and the record: n bytes at field and at column, then pad blanks to the last
  // field's end in the buffer (its column being narrower).
  struct TextRun {
    std::size_t field, column, n, pad;
  };
  std::vector<TextRun> textRuns_;
  std::vector<Binding> otherFields_;  // every other field
  bool convertAtOnce_ = false;  // DOS code page, and no text field outside a character column
  // An other field's value depends on its own bytes only, and the values of a table
  // repeat (zeros, a constant rate, one date): the last bytes converted and what they
  // gave, per field and way.
  struct Last {
    static constexpr std::size_t kMost = 24;  // longer values are converted every time
    std::size_t n = SIZE_MAX, m = 0;  // nothing kept yet: no length matches
    char in[kMost], out[kMost];
    bool repeats(const char* from, std::size_t len, char* to, std::size_t outLen) const {
      if (len != n || outLen != m || std::memcmp(in, from, len) != 0) return false;
      std::memcpy(to, out, outLen);
      return true;
    }
    void keep(const char* from, std::size_t len, const char* to, std::size_t outLen) {
      if (len > kMost || outLen > kMost) return;
      n = len;
      m = outLen;
      std::memcpy(in, from, len);
      std::memcpy(out, to, outLen);
    }
  };
  mutable std::vector<Last> encoded_;
  std::vector<Last> decoded_;
  // The other fields converted one way (from the buffer into the columns, or back),
  // each by convert(binding, its bytes, where they go), unless its bytes repeat what
  // it converted last.
  template <class Convert>
  void convertOthers(std::vector<Last>& last, bool intoColumns, const char* in, char* out, Convert convert) const {
    for (std::size_t i = 0; i < otherFields_.size(); ++i) {
      const Binding& b = otherFields_[i];
      const std::size_t field = b.field->offset, column = b.column->offset;
      const char* from = in + (intoColumns ? field : column);
      char* to = out + (intoColumns ? column : field);
      const std::size_t fromLen = intoColumns ? b.field->size : b.column->width;
      const std::size_t toLen = intoColumns ? b.column->width : b.field->size;
      if (last[i].repeats(from, fromLen, to, toLen)) continue;
      convert(b, from, to);
      last[i].keep(from, fromLen, to, toLen);
    }
  }

  // Records known to be there, and the header's count when it was last read.
  mutable std::uint64_t count_ = 0;
  mutable std::uint32_t headerCountSeen_ = 0;

  // Records staged while the lock is held (index: the whole record, flag first), and
  // the count the header on disk states.
  Staging staged_{0};
  std::uint64_t diskCount_ = 0;

  At at_ = At::Start;
  std::int64_t cur_ = 0;
  bool have_ = false;  // cur_ is a record read or added, not deleted since
  std::vector<char> raw_;  // its bytes as they stand on disk
  std::vector<char> added_;  // a record being added, its end marker after it
  bool watchNext_ = false;
  bool watched_ = false;

  // Records read in one go: within a statement, or kept between statements with
  // QUICKSCAN on.
  mutable ReadAhead scan_{0};

  std::int32_t dateWritten_ = 0;  // last-update date we last wrote into the header
  std::int32_t today_ = 0;
  std::time_t todayUntil_ = 0;
};

ErrorState Table::open(const std::string& name, std::uint8_t mode) {
  const int access = mode & mode::kAccessMask;
  writable_ = access == mode::kWrite || access == mode::kReadWrite;
  std::string path = systemName(name);
  // A folder, a FIFO or a device is refused at once, like a file we may not open.
  fd_.reset(openRegular(path.c_str(), writable_ ? O_RDWR : O_RDONLY));
  if (!fd_.valid()) return fromOpenErrno(errno, kAccessDenied);
  struct stat st;
  if (::fstat(fd_.get(), &st) != 0) return fromErrno(errno);
  if (ErrorState e = share_.acquire(fd_.get(), mode); e.code) {
    fd_.reset();
    return e;
  }

  char head[kHeaderSize];
  ssize_t got = readAt(fd_.get(), head, sizeof head, 0);
  if (got < 0) return fromErrno(errno);
  std::size_t headerLength =
      static_cast<std::size_t>(got) >= kOffHeaderLength + 2 ? getLittle<std::uint16_t>(head + kOffHeaderLength) : 0;
  std::string bytes(std::max(headerLength, kHeaderSize), '\0');
  got = readAt(fd_.get(), bytes.data(), bytes.size(), 0);
  if (got < 0) return fromErrno(errno);
  bytes.resize(static_cast<std::size_t>(got));
  if (ErrorState e = parseHeader(bytes, layout_); e.code) return e;
  staged_ = Staging(layout_.recordLength);
  scan_ = ReadAhead(layout_.recordLength);

  for (const FieldDesc& f : decl_.fields) {
    if (f.offset + f.size > decl_.recordSize) return fail(kInvalidRecordDeclaration);
    std::string_view want = columnName(f);
    auto it = std::find_if(layout_.columns.begin(), layout_.columns.end(),
                           [&](const Column& c) { return cp::sameAsciiName(c.name, want); });
    if (it == layout_.columns.end()) {
      ErrorState e = fail(kInvalidRecordDeclaration);
      e.fileText = "column " + std::string(want) + " missing";
      return e;
    }
    bindings_.push_back({&f, &*it});
  }
  for (const Binding& b : bindings_) {
    if (!isTextField(*b.field) || b.column->type != 'C') {
      otherFields_.push_back(b);
      continue;
    }
    const std::size_t n = std::min(b.field->size, b.column->width);
    const TextRun r{b.field->offset, b.column->offset, n, b.field->size - n};
    if (!textRuns_.empty()) {
      TextRun& last = textRuns_.back();
      if (last.pad == 0 && last.field + last.n == r.field && last.column + last.n == r.column) {
        last.n += r.n;
        last.pad = r.pad;
        continue;
      }
    }
    textRuns_.push_back(r);
  }
  convertAtOnce_ = decl_.oem && std::none_of(otherFields_.begin(), otherFields_.end(),
                                             [](const Binding& b) { return isTextField(*b.field); });
  encoded_.resize(otherFields_.size());
  decoded_.resize(otherFields_.size());

  std::uint64_t fit = (static_cast<std::uint64_t>(st.st_size) - layout_.headerLength) / layout_.recordLength;
  headerCountSeen_ = layout_.headerCount;
  count_ = std::min<std::uint64_t>(layout_.headerCount, fit);
  raw_.assign(layout_.recordLength, ' ');
  return {};
}

ErrorState Table::refreshCount() const {
  if (trusted()) return {};  // the count in memory is the table's
  unsigned char b[4];
  ssize_t got = readAt(fd_.get(), b, sizeof b, kOffCount);
  if (got < 0) return fromErrno(errno);
  if (got < 4) {
    count_ = 0;
    return {};
  }
  std::uint32_t h = getLittle<std::uint32_t>(b);
  if (h == headerCountSeen_) return {};
  struct stat st;
  if (::fstat(fd_.get(), &st) != 0) return fromErrno(errno);
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t fit = size > layout_.headerLength ? (size - layout_.headerLength) / layout_.recordLength : 0;
  headerCountSeen_ = h;
  count_ = std::min<std::uint64_t>(h, fit);
  return {};
}

bool Table::fill(std::int64_t first, std::int64_t n) const {
  std::int64_t onDisk = n;  // records staged past the disk's count are not read
  if (!staged_.empty()) onDisk = std::clamp<std::int64_t>(static_cast<std::int64_t>(diskCount_) - first, 0, n);
  const std::int64_t m = scan_.fill(fd_.get(), static_cast<std::uint64_t>(recordOffset(first)),
                                    static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(n),
                                    static_cast<std::uint64_t>(onDisk), staged_);
  if (m < 0) {
    readError_ = fromErrno(errno);
    return false;
  }
  if (m < n) count_ = static_cast<std::uint64_t>(first + m);  // the file ends sooner than its count says
  return m > 0;
}

std::int64_t Table::findForward(std::int64_t from) const {
  if (from < 0) from = 0;
  for (;;) {
    if (static_cast<std::uint64_t>(from) >= count_) {
      if (ErrorState e = refreshCount(); e.code) {
        readError_ = std::move(e);
        return kReadError;
      }
      if (static_cast<std::uint64_t>(from) >= count_) return kNone;
    }
    if (!inScan(from)) {
      const std::int64_t n =
          std::min<std::int64_t>(static_cast<std::int64_t>(chunk(from, true)), static_cast<std::int64_t>(count_) - from);
      readError_ = {};
      if (!fill(from, n)) return readError_.code ? kReadError : kNone;
    }
    for (; from < scanEnd(); ++from) {
      char flag = cached(from)[0];
      if (flag == kEndMarker) {  // the records really end here
        count_ = static_cast<std::uint64_t>(from);
        return kNone;
      }
      if (flag != kDeleted) return from;
    }
  }
}

std::int64_t Table::findBackward(std::int64_t from) const {
  if (from < 0) return kNone;
  if (static_cast<std::uint64_t>(from) >= count_) {
    if (ErrorState e = refreshCount(); e.code) {
      readError_ = std::move(e);
      return kReadError;
    }
    from = std::min<std::int64_t>(from, static_cast<std::int64_t>(count_) - 1);
  }
  while (from >= 0) {
    if (!inScan(from)) {
      const std::int64_t first = std::max<std::int64_t>(0, from - static_cast<std::int64_t>(chunk(from, false)) + 1);
      readError_ = {};
      if (!fill(first, from - first + 1)) {  // the file ends before first
        if (readError_.code) return kReadError;
        from = first - 1;
        continue;
      }
      from = std::min(from, scanEnd() - 1);
    }
    for (; from >= scanFirst(); --from) {
      char flag = cached(from)[0];
      if (flag == kEndMarker) {
        count_ = static_cast<std::uint64_t>(from);
        continue;
      }
      if (flag != kDeleted) return from;
    }
  }
  return -1;
}

ErrorState Table::read(char* rec, bool forward) {
  if (!keepScan()) scan_.drop();
  bool watch = std::exchange(watchNext_, false);
  std::int64_t i = forward ? findForward(nextFrom()) : findBackward(previousFrom());
  if (i == kReadError) return readError_;  // the position stays: a read error is not the end
  if (i < 0) {
    at_ = At::Before;
    cur_ = forward ? static_cast<std::int64_t>(count_) : -1;
    have_ = false;
    return fail(kRecordNotAvailable);
  }
  std::memcpy(raw_.data(), cached(i), layout_.recordLength);
  at_ = At::Record;
  cur_ = i;
  have_ = true;
  watched_ = watch;
  if (rec) decode(raw_.data(), rec);
  return {};
}

// The record at the position, read as the table holds it now: a deleted record, or
// one past the table's end, is not there.
ErrorState Table::reget(std::string_view position, char* rec) {
  const bool watch = std::exchange(watchNext_, false);
  std::int64_t i = 0;
  if (!recordIndex(position, i)) return fail(kRecordNotAvailable);
  have_ = false;
  at_ = At::Before;
  cur_ = i;
  if (!keepScan()) scan_.drop();
  if (ErrorState e = refreshCount(); e.code) return e;
  if (static_cast<std::uint64_t>(i) >= count_) return fail(kRecordNotAvailable);
  std::vector<char> now;
  if (ErrorState e = recordNow(i, now); e.code) return e;
  if (now[0] == kDeleted || now[0] == kEndMarker) return fail(kRecordNotAvailable);
  std::memcpy(raw_.data(), now.data(), layout_.recordLength);
  at_ = At::Record;
  have_ = true;
  watched_ = watch;
  decode(raw_.data(), rec);
  return {};
}

std::int32_t Table::todayNow() {
  std::time_t now = std::time(nullptr);
  if (now >= todayUntil_) {
    today_ = date::today();
    todayUntil_ = now + 60;
  }
  return today_;
}

// Record i's new bytes, kept for the write-back and copied into the read-ahead.
void Table::stage(std::int64_t i, const char* record) {
  staged_.put(static_cast<std::uint64_t>(i), record);
  scan_.update(static_cast<std::uint64_t>(i), record);
}

// Under the lock: record i as the table holds it now (staged, read ahead under the
// lock, or on disk; what was read before the lock may have changed since).
ErrorState Table::recordNow(std::int64_t i, std::vector<char>& out) const {
  const std::size_t len = layout_.recordLength;
  out.resize(len);
  if (const char* r = staged_.find(static_cast<std::uint64_t>(i))) {
    std::memcpy(out.data(), r, len);
  } else if (inScan(i)) {
    std::memcpy(out.data(), cached(i), len);
  } else {
    const ssize_t got = readAt(fd_.get(), out.data(), len, recordOffset(i));
    if (got < 0) return fromErrno(errno);
    if (static_cast<std::size_t>(got) < len) return fail(kRecordNotAvailable);
  }
  return {};
}

// The staged records, one write per run of consecutive records (the end marker after
// the last one), then the header's date and count.
ErrorState Table::writeBack() {
  if (staged_.empty()) return {};
  static constexpr char kMarker[] = {kEndMarker};
  ErrorState e;
  if (!staged_.writeTo(fd_.get(), static_cast<std::uint64_t>(recordOffset(static_cast<std::int64_t>(staged_.first()))),
                       layout_.recordLength, std::string_view(kMarker, 1), count_ - 1))
    e = fromErrno(errno);
  if (!e.code) {
    e = writeDateAndCount(static_cast<std::uint32_t>(count_));
    if (!e.code) {
      diskCount_ = count_;
      startWriteback(fd_.get());  // a large block: its FLUSH will wait less
    }
  }
  staged_.clear();
  if (e.code) {  // what is in memory is no longer the table: read it again
    scan_.drop();
    headerCountSeen_ = 0;
    count_ = diskCount_;
    have_ = false;
  }
  return e;
}

// The header's last-update date (today) and record count.
ErrorState Table::writeDateAndCount(std::uint32_t count) {
  unsigned char h[7];
  const std::int32_t today = todayNow();
  putHeaderDate(h, today);
  putLittle(h + 3, count);
  ErrorState e = write(fd_.get(), h, sizeof h, kOffDate);
  if (!e.code) {
    dateWritten_ = today;
    headerCountSeen_ = count;
  }
  return e;
}

ErrorState Table::touchDate() {
  std::int32_t today = todayNow();
  if (today == dateWritten_) return {};
  unsigned char d[3];
  putHeaderDate(d, today);
  ErrorState e = write(fd_.get(), d, sizeof d, kOffDate);
  if (!e.code) dateWritten_ = today;
  return e;
}

ErrorState Table::add(char* rec) {
  if (!writable_) return fail(kAccessDenied);
  std::vector<char>& out = added_;
  out.assign(layout_.recordLength + 1, ' ');
  encodeNew(rec, out.data());
  out.back() = kEndMarker;
  StatementLock s = writeStatement();
  if (s.error.code) return s.error;
  std::uint64_t n = count_;
  if (trusted()) {
    if (n >= UINT32_MAX) return fail(kFileSystemError);
    stage(static_cast<std::int64_t>(n), out.data());
    count_ = n + 1;
    if (ErrorState e = writeBackWhenFull(); e.code) return e;
  } else {
    unsigned char b[4];
    const ssize_t got = readAt(fd_.get(), b, sizeof b, kOffCount);
    if (got < 0) return fromErrno(errno);
    if (got == 4 && getLittle<std::uint32_t>(b) != headerCountSeen_) {
      if (ErrorState e = refreshCount(); e.code) return e;
      n = count_;
    }
    if (n >= UINT32_MAX) return fail(kFileSystemError);
    ErrorState e = write(fd_.get(), out.data(), out.size(), recordOffset(static_cast<std::int64_t>(n)));
    if (!e.code) e = writeDateAndCount(static_cast<std::uint32_t>(n + 1));
    if (e.code) return e;
    count_ = n + 1;
  }
  std::memcpy(raw_.data(), out.data(), layout_.recordLength);
  at_ = At::Record;
  cur_ = static_cast<std::int64_t>(n);
  have_ = true;
  watched_ = false;
  return {};
}

ErrorState Table::put(const char* rec) {
  if (!writable_) return fail(kAccessDenied);
  if (!have_) return fail(kRecordNotAvailable);
  StatementLock s = writeStatement();
  if (s.error.code) return s.error;
  const std::size_t len = layout_.recordLength;
  std::vector<char> out;
  if (trusted()) {
    if (ErrorState e = recordNow(cur_, out); e.code) return e;
    if (watched_ && std::memcmp(out.data(), raw_.data(), len) != 0) return fail(kRecordChanged);
    encode(rec, out.data());
    stage(cur_, out.data());
    if (ErrorState e = writeBackWhenFull(); e.code) return e;
  } else {
    if (watched_) {
      std::vector<char> disk(len);
      const ssize_t got = readAt(fd_.get(), disk.data(), len, recordOffset(cur_));
      if (got < 0 || static_cast<std::size_t>(got) < len || std::memcmp(disk.data(), raw_.data(), len) != 0)
        return fail(got < 0 ? kFileSystemError : kRecordChanged);
    }
    out = raw_;
    encode(rec, out.data());
    ErrorState e = write(fd_.get(), out.data() + 1, len - 1, recordOffset(cur_) + 1);
    if (!e.code) e = touchDate();
    if (e.code) return e;
  }
  raw_ = std::move(out);
  return {};
}

ErrorState Table::erase() {
  if (!writable_) return fail(kAccessDenied);
  if (!have_) return fail(kRecordNotAvailable);
  StatementLock s = writeStatement();
  if (s.error.code) return s.error;
  if (trusted()) {
    std::vector<char> out;
    if (ErrorState e = recordNow(cur_, out); e.code) return e;
    out[0] = kDeleted;
    stage(cur_, out.data());
    if (ErrorState e = writeBackWhenFull(); e.code) return e;
  } else {
    ErrorState e = write(fd_.get(), &kDeleted, 1, recordOffset(cur_));
    if (!e.code) e = touchDate();
    if (e.code) return e;
  }
  raw_[0] = kDeleted;
  have_ = false;
  return {};
}

ErrorState Table::send(std::string_view command, std::string& reply) {
  reply.clear();
  const SendCommand c = parseSend(command);
  if (c.is("quickscan")) {
    if (c.hasValue) {
      if (c.valueIs("on")) quickScan_ = true;
      else if (c.valueIs("off")) quickScan_ = false;
      scan_.drop();
    }
    reply = quickScan_ ? "on" : "off";
  }
  return {};
}

ErrorState openTable(const FileDecl& decl, const std::string& name, std::uint8_t mode,
                     std::unique_ptr<Backend>& out) {
  auto t = std::make_unique<Table>(decl);
  ErrorState e = t->open(name, mode);
  if (e.code) return e;  // the table closes what it opened
  out = std::move(t);
  return {};
}

ErrorState createTable(const FileDecl& decl, const std::string& name) {
  Layout layout;
  layout.version = kVersion;
  layout.language = decl.oem ? kLanguageOem866 : kLanguageAnsi1251;
  std::size_t width = 1;
  for (const FieldDesc& f : decl.fields) {
    Column c;
    if (ErrorState e = columnFor(f, c); e.code) return e;
    for (const Column& o : layout.columns)
      if (cp::sameAsciiName(o.name, c.name)) return fail(kInvalidRecordDeclaration);
    width += c.width;
    layout.columns.push_back(std::move(c));
  }
  if (layout.columns.empty() || width > 0xFFFF ||
      kHeaderSize + kDescriptorSize * layout.columns.size() + 1 > 0xFFFF)
    return fail(kInvalidRecordDeclaration);
  std::string bytes = buildHeader(layout, date::today());
  bytes += kEndMarker;

  std::string path = systemName(name);
  int fd = openRegular(path.c_str(), O_RDWR | O_CREAT);
  if (fd < 0) return fromOpenErrno(errno, kAccessDenied);
  ShareLock share;
  ErrorState e = share.acquire(fd, mode::kReadWrite | mode::kDenyAll);
  if (!e.code) {
    if (::ftruncate(fd, 0) != 0) e = fromErrno(errno);
    else e = write(fd, bytes.data(), bytes.size(), 0);
    share.release();
  }
  ::close(fd);
  return e;
}

ErrorState buildKeys(const FileDecl&, const std::string&) { return {}; }  // no keys to build

}  // namespace

Driver driver() { return Driver{&openTable, &createTable, &buildKeys}; }

}  // namespace zelk::storage::dbase
