#include "platform/storage/text/textfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/bytes.h"
#include "platform/core/codepage.h"
#include "platform/storage/io.h"
#include "platform/storage/paths.h"
#include "platform/storage/sharelock.h"

namespace zelk::storage::textfile {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr int kCR = 13, kLF = 10, kTab = 9, kCtrlZ = 26;
constexpr int kEnd = -1, kError = -2;
constexpr std::size_t kTabStop = 8;
// A line up to this long is converted as it is copied; a longer one is copied, then
// converted where it lies, passing runs of plain ASCII quicker.
constexpr std::size_t kShortLine = 64;

ErrorState fail(int code) { return errorOf(code); }

class TextFile final : public Backend {
 public:
  // The buffer has a block of slack after its bytes: a line's last bytes are read as
  // a whole block.
  TextFile(const FileDecl& decl, bool quick) : decl_(decl), quick_(quick), buf_(kBufferSize + 16) {
    field_ = decl.recordSize;
    for (const FieldDesc& f : decl.fields) {
      if ((f.type == FieldType::Text || f.type == FieldType::Memo) && f.offset < decl.recordSize) {
        offset_ = f.offset;
        field_ = std::min(f.size, decl.recordSize - f.offset);
        break;
      }
    }
  }
  ~TextFile() override { close(); }

  ErrorState open(const std::string& name, std::uint8_t mode) {
    const int access = mode & mode::kAccessMask;
    const bool write = access == mode::kWrite || access == mode::kReadWrite;
    std::string path = systemName(name);
    // A statement is a regular file: a FIFO or a device (a link to /dev/zero) is
    // refused without waiting for it.
    fd_ = openRegular(path.c_str(), write ? O_RDWR : O_RDONLY);
    if (fd_ < 0) return fromOpenErrno(errno, kAccessDenied);
    ErrorState e = share_.acquire(fd_, mode);
    if (e.code) {
      ::close(fd_);
      fd_ = -1;
    }
    return e;
  }

  ErrorState close() override {
    if (fd_ >= 0) {
      share_.release();
      ::close(fd_);
      fd_ = -1;
    }
    return {};
  }

  ErrorState setRecordOrder() override {
    off_ = 0;
    line_ = -1;
    bufLen_ = 0;  // read the file afresh
    return {};
  }
  ErrorState setKeyOrder(int, const char*) override { return fail(kNotSupported); }
  ErrorState get(int, char*) override { return fail(kNotSupported); }
  // A line that starts past the buffer goes to next(), which reads the buffer on.
  bool nextPlain(char* rec) override { return quick_ && plainLine(rec + offset_); }
  ErrorState previous(char*) override { return fail(kNotSupported); }
  ErrorState add(char*) override { return fail(kNotSupported); }
  ErrorState put(const char*) override { return fail(kNotSupported); }
  ErrorState erase() override { return fail(kNotSupported); }
  ErrorState flush() override { return {}; }
  ErrorState send(std::string_view, std::string& reply) override {
    reply.clear();
    return {};
  }
  ErrorState lock() override { return fail(kNotSupported); }
  ErrorState unlock() override { return fail(kNotSupported); }
  ErrorState records(std::uint64_t& n) override {
    n = 0;
    return fail(kNotSupported);
  }
  std::string position() override { return line_ >= 0 ? std::to_string(line_) : std::string(); }
  ErrorState reset(std::string_view position) override {
    std::uint64_t at = 0;
    auto r = std::from_chars(position.data(), position.data() + position.size(), at);
    if (r.ec != std::errc() || r.ptr != position.data() + position.size() ||
        at > static_cast<std::uint64_t>(INT64_MAX))
      return fail(kRecordNotAvailable);
    off_ = static_cast<off_t>(at);
    line_ = -1;
    return {};
  }
  // A statement is only read, never changed under the reader: the line that starts at
  // the position; 33 past the end.
  ErrorState reget(std::string_view position, char* rec) override {
    if (ErrorState e = reset(position); e.code) return e;
    return next(rec);
  }
  void watch() override {}
  // A read error is not the end: the NEXT that follows reports it.
  bool eof() const override {
    int c = peek();
    return c == kEnd || c == kCtrlZ;
  }

  ErrorState next(char* rec) override {
    char* dst = rec + offset_;
    int c = peek();
    if (c == kError) return fromErrno(error_);
    if (c == kEnd) return fail(kRecordNotAvailable);  // the record keeps the last line
    if (c == kCtrlZ) {
      std::memset(dst, ' ', field_);
      line_ = -1;
      return fail(kRecordNotAvailable);
    }
    if (quick_ && plainLine(dst)) return {};
    line_ = off_;
    std::size_t col = 0;
    for (;;) {
      if (peek() < 0) break;  // the end, or a failed read (the next read reports it)
      // The bytes up to the next CR, TAB or Ctrl-Z in the buffer go as they are.
      const char* p = buf_.data() + (off_ - bufStart_);
      const char* end = buf_.data() + bufLen_;
      const char* q = bytes::findAnyOf(p, end, kCR, kTab, kCtrlZ);
      const auto n = static_cast<std::size_t>(q - p);
      if (col < field_) {  // past the record: skipped up to the line's end
        const std::size_t k = std::min(n, field_ - col);
        std::memcpy(dst + col, p, k);
        col += k;
      }
      off_ += static_cast<off_t>(n);
      if (q == end) continue;
      const char c = *q;
      if (c == kCtrlZ) break;  // the Ctrl-Z stays: the next read meets it
      ++off_;
      if (c == kCR) {
        if (peek() == kLF) {
          ++off_;
          break;
        }
        if (col < field_) dst[col++] = c;  // a CR alone is a character of the line
      } else if (col < field_) {
        const std::size_t to = std::min((col / kTabStop + 1) * kTabStop, field_);
        std::memset(dst + col, ' ', to - col);
        col = to;
      }
    }
    std::memset(dst + col, ' ', field_ - col);
    // The blanks after the line convert to themselves: whole blocks of sixteen convert
    // quicker than a tail of single bytes.
    if (decl_.oem) cp::oemToAnsi(dst, std::min((col + 15) / 16 * 16, field_));
    return {};
  }

 private:
  // The ordinary line, read in one pass: whole in the buffer and ending in CR LF, with
  // no TAB, CR or Ctrl-Z before that. false, having read nothing, for any other.
  [[gnu::always_inline]] bool plainLine(char* dst) {
    if (off_ < bufStart_ || off_ - bufStart_ >= static_cast<off_t>(bufLen_)) return false;
    const char* p = buf_.data() + (off_ - bufStart_);
    const char* end = buf_.data() + bufLen_;
    const char* q = bytes::findAnyOf(p, end, kCR, kTab, kCtrlZ);
    if (end - q < 2 || q[0] != kCR || q[1] != kLF) return false;
    const auto n = static_cast<std::size_t>(q - p);
    const std::size_t k = std::min(n, field_);
    if (decl_.oem && k <= kShortLine) {
      cp::oemToAnsi(dst, field_, p, k);
    } else {
      std::memcpy(dst, p, k);
      std::memset(dst + k, ' ', field_ - k);
      if (decl_.oem) cp::oemToAnsi(dst, std::min((k + 15) / 16 * 16, field_));
    }
    line_ = off_;
    off_ += static_cast<off_t>(n + 2);
    return true;
  }

  // The byte at off_, kEnd at the end of the file, kError when the read fails.
  int peek() const {
    if (off_ >= bufStart_ && off_ < bufStart_ + static_cast<off_t>(bufLen_))
      return static_cast<unsigned char>(buf_[static_cast<std::size_t>(off_ - bufStart_)]);
    const off_t start = off_ - off_ % static_cast<off_t>(kBufferSize);  // aligned reads
    ssize_t r;
    do r = ::pread(fd_, buf_.data(), kBufferSize, start);
    while (r < 0 && errno == EINTR);
    bufStart_ = start;
    bufLen_ = 0;
    if (r < 0) {
      error_ = errno;
      return kError;
    }
    bufLen_ = static_cast<std::size_t>(r);
    if (off_ >= start + static_cast<off_t>(bufLen_)) return kEnd;
    return static_cast<unsigned char>(buf_[static_cast<std::size_t>(off_ - start)]);
  }

  const FileDecl& decl_;
  bool quick_;  // ordinary lines take plainLine()
  std::size_t offset_ = 0;  // the line's field in the record
  std::size_t field_ = 0;
  int fd_ = -1;
  ShareLock share_;
  off_t off_ = 0;    // next byte to read
  off_t line_ = -1;  // offset of the line last read, -1 when there is none
  mutable std::vector<char> buf_;
  mutable off_t bufStart_ = 0;
  mutable std::size_t bufLen_ = 0;
  mutable int error_ = 0;
};

ErrorState openFile(const FileDecl& decl, const std::string& name, std::uint8_t mode,
                    std::unique_ptr<Backend>& out, bool quick) {
  auto t = std::make_unique<TextFile>(decl, quick);
  ErrorState e = t->open(name, mode);
  if (e.code) return e;
  out = std::move(t);
  return {};
}

ErrorState openText(const FileDecl& decl, const std::string& name, std::uint8_t mode,
                    std::unique_ptr<Backend>& out) {
  return openFile(decl, name, mode, out, true);
}
ErrorState openTextLongWay(const FileDecl& decl, const std::string& name, std::uint8_t mode,
                           std::unique_ptr<Backend>& out) {
  return openFile(decl, name, mode, out, false);
}

}  // namespace

Driver driver() { return Driver{&openText, nullptr, nullptr}; }
Driver longWayDriver() { return Driver{&openTextLongWay, nullptr, nullptr}; }

}  // namespace zelk::storage::textfile
