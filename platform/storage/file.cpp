#include "platform/storage/file.h"

#include <array>
#include <cstring>
#include <mutex>

#include "platform/core/codepage.h"
#include "platform/core/text.h"

namespace zelk::storage {
namespace {

thread_local ErrorState tlsError;
thread_local bool tlsClear = true;  // tlsError holds no error: a success after it leaves it alone

std::mutex driversMutex;
std::array<Driver, 4> drivers{};
std::array<bool, 4> haveDriver{};

ErrorState make(int code) { return errorOf(code); }

}  // namespace

ErrorState errorOf(int code) {
  ErrorState e;
  e.code = code;
  e.text = std::string(errorText(code));
  return e;
}

std::string_view errorText(int code) {
  switch (code) {
    case kNoError: return "";
    case kFileNotFound: return "File Not Found";
    case kPathNotFound: return "Path Not Found";
    case kAccessDenied: return "Access Denied";
    case kFileLocked: return "File Is Already Locked";
    case kRecordNotAvailable: return "Record Not Available";
    case kRecordNotFound: return "Record Not Found";
    case kInvalidDataFile: return "Invalid Data File";
    case kFileNotOpen: return "File Not Open";
    case kInvalidKeyFile: return "Invalid Key File";
    case kDuplicateKey: return "Creates Duplicate Key";
    case kKeysMustBeRebuilt: return "Keys Must Be Rebuilt";
    case kInvalidRecordDeclaration: return "Invalid Record Declaration";
    case kAlreadyOpen: return "File Already Open";
    case kNotSupported: return "Function Not Supported";
    case kRecordChanged: return "Record Changed By Another Station";
    case kFileSystemError: return "File System Error";
    case kDriverError: return "Driver Error";
    default: return "Unknown Error";
  }
}

const ErrorState& lastError() { return tlsError; }
namespace {
void keepError(ErrorState&& e) {
  const bool clear = !e.code && !e.fileCode && e.text.empty() && e.fileText.empty();
  if (clear && tlsClear) return;  // success after success: nothing to move
  tlsError = std::move(e);
  tlsClear = clear;
}
}  // namespace

void setLastError(ErrorState e) { keepError(std::move(e)); }

std::string_view columnName(const FieldDesc& f) {
  if (f.external.empty()) return f.name;
  std::size_t eq = f.external.find('=');
  return eq == std::string_view::npos ? f.external : f.external.substr(0, eq);
}

void registerDriver(DriverKind kind, Driver d) {
  std::lock_guard g(driversMutex);
  drivers[static_cast<int>(kind)] = d;
  haveDriver[static_cast<int>(kind)] = true;
}

const Driver* findDriver(DriverKind kind) {
  std::lock_guard g(driversMutex);
  return haveDriver[static_cast<int>(kind)] ? &drivers[static_cast<int>(kind)] : nullptr;
}

void clearRecord(const FileDecl& decl, char* rec) {
  std::memset(rec, 0, decl.recordSize);
  for (const FieldDesc& f : decl.fields)
    if (f.type == FieldType::Text || f.type == FieldType::Memo) std::memset(rec + f.offset, ' ', f.size);
}

void convertTextFields(const FileDecl& decl, char* rec, bool toOem) {
  for (const FieldDesc& f : decl.fields) {
    if (f.type != FieldType::Text && f.type != FieldType::Memo) continue;
    if (toOem) cp::ansiToOem(rec + f.offset, f.size);
    else cp::oemToAnsi(rec + f.offset, f.size);
  }
}

File::File(const FileDecl& decl, char* buffer) : decl_(decl), buf_(buffer) {}

File::~File() {
  if (backend_) backend_->close();
}

// The cleared record is made once per file and copied from then on.
void File::clearBuffer() {
  if (!blank_) {
    blank_ = std::make_unique<char[]>(decl_.recordSize);
    clearRecord(decl_, blank_.get());
  }
  std::memcpy(buf_, blank_.get(), decl_.recordSize);
}

std::string File::name() const {
  if (nameSource_) {
    std::string n = nameSource_();
    return std::string(trimRight(n));
  }
  return std::string(decl_.defaultName);
}

// A read that fails leaves no current record: a PUT or DELETE after it fails too,
// never touching the record read before.
int File::reading(ErrorState&& e) {
  current_ = e.code == 0;
  return finish(std::move(e));
}

// A read that needed no report: its record is current and no error is left.
int File::readPlainly() {
  current_ = true;
  if (!tlsClear) keepError(ErrorState{});
  return kNoError;
}

// A record found by its key or added is current again.
int File::found(ErrorState&& e) {
  if (e.code == 0) current_ = true;
  return finish(std::move(e));
}

int File::finish(ErrorState&& e) {
  const int code = e.code;
  keepError(std::move(e));
  return code;
}

int File::open(std::uint8_t m) {
  if (backend_) return finish(make(kAlreadyOpen));
  const Driver* d = findDriver(decl_.driver);
  if (!d) return finish(make(kNotSupported));
  std::unique_ptr<Backend> b;
  ErrorState e = d->open(decl_, name(), m, b);
  if (e.code == 0) {
    backend_ = std::move(b);
    mode_ = m;
  }
  return finish(std::move(e));
}

int File::close() {
  if (!backend_) return finish(make(kFileNotOpen));
  ErrorState e = backend_->close();
  backend_.reset();
  locked_ = false;
  return finish(std::move(e));
}

int File::create() {
  const Driver* d = findDriver(decl_.driver);
  if (!d || !d->create) return finish(make(kNotSupported));
  return finish(d->create(decl_, name()));
}

int File::createMissing() {
  const Driver* d = findDriver(decl_.driver);
  if (!d || !d->create) return finish(make(kNotSupported));
  return finish(d->createMissing ? d->createMissing(decl_, name()) : d->create(decl_, name()));
}

// The build takes the file's write lock on a descriptor of its own: the lock this
// instance holds across statements is let go for the build and taken again after it
// (a lock that cannot be taken again is the build's failure).
int File::build() {
  const Driver* d = findDriver(decl_.driver);
  if (!d || !d->build) return finish(make(kNotSupported));
  const bool held = backend_ && locked_;
  if (held) {
    locked_ = false;
    if (ErrorState e = backend_->unlock(); e.code) return finish(std::move(e));
  }
  ErrorState e = d->build(decl_, name());
  if (held) {
    ErrorState relocked = backend_->lock();
    locked_ = relocked.code == 0;
    if (!locked_ && e.code == 0) e = std::move(relocked);
  }
  return finish(std::move(e));
}

#define ZELK_NEED_OPEN() \
  if (!backend_) return finish(make(kFileNotOpen))

int File::set() { ZELK_NEED_OPEN(); return finish(backend_->setRecordOrder()); }
int File::set(int key) { ZELK_NEED_OPEN(); return finish(backend_->setKeyOrder(key, nullptr)); }
int File::setAt(int key) { ZELK_NEED_OPEN(); return finish(backend_->setKeyOrder(key, buf_)); }
int File::next() {
  ZELK_NEED_OPEN();
  if (backend_->nextPlain(buf_)) return readPlainly();
  return reading(backend_->next(buf_));
}
int File::skip() {
  ZELK_NEED_OPEN();
  if (!scratch_) scratch_ = std::make_unique<char[]>(decl_.recordSize);
  return reading(backend_->skip(scratch_.get()));
}
int File::previous() { ZELK_NEED_OPEN(); return reading(backend_->previous(buf_)); }
int File::get(int key) { ZELK_NEED_OPEN(); return found(backend_->get(key, buf_)); }
int File::add() { ZELK_NEED_OPEN(); return found(backend_->add(buf_)); }
int File::put() {
  ZELK_NEED_OPEN();
  if (!current_) return finish(make(kRecordNotAvailable));
  return finish(backend_->put(buf_));
}
int File::erase() {
  ZELK_NEED_OPEN();
  if (!current_) return finish(make(kRecordNotAvailable));
  return finish(backend_->erase());
}
int File::flush() { ZELK_NEED_OPEN(); return finish(backend_->flush()); }
int File::lock() {
  ZELK_NEED_OPEN();
  const int r = finish(backend_->lock());
  locked_ = locked_ || r == 0;
  return r;
}
int File::unlock() {
  ZELK_NEED_OPEN();
  locked_ = false;
  return finish(backend_->unlock());
}
int File::reset(std::string_view p) { ZELK_NEED_OPEN(); return finish(backend_->reset(p)); }
int File::reget(std::string_view p) { ZELK_NEED_OPEN(); return reading(backend_->reget(p, buf_)); }
int File::hold(std::string_view p) { ZELK_NEED_OPEN(); return finish(backend_->hold(p)); }
int File::release(std::string_view p) { ZELK_NEED_OPEN(); return finish(backend_->release(p)); }
int File::heldElsewhere(std::string_view p, bool& held) {
  held = false;
  ZELK_NEED_OPEN();
  return finish(backend_->heldElsewhere(p, held));
}

#undef ZELK_NEED_OPEN

int File::send(std::string_view command, std::string* reply) {
  if (!backend_) return finish(make(kFileNotOpen));
  std::string r;
  ErrorState e = backend_->send(command, r);
  if (reply) *reply = std::move(r);
  return finish(std::move(e));
}

std::uint64_t File::records() {
  if (!backend_) {
    finish(make(kFileNotOpen));
    return 0;
  }
  std::uint64_t n = 0;
  finish(backend_->records(n));
  return n;
}

std::string File::position() { return backend_ ? backend_->position() : std::string(); }
void File::watch() {
  if (backend_) backend_->watch();
}
bool File::eof() const { return backend_ ? backend_->eof() : true; }

}  // namespace zelk::storage
