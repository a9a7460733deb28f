#pragma once
// The file statements (OPEN, CLOSE, SET, NEXT, PREVIOUS, GET, ADD, PUT, DELETE,
// FLUSH, ...) over the storage drivers. A File is one thread's instance of a declared
// file: it owns the record buffer, the open state and the current position. Every
// statement sets the thread's error code and text (lastError()).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace zelk::storage {

// Error codes, in the framework's numbering.
enum ErrorCode : int {
  kNoError = 0,
  kFileNotFound = 2,
  kPathNotFound = 3,
  kAccessDenied = 5,
  kFileLocked = 32,
  kRecordNotAvailable = 33,  // no record at the position (end of file, empty file)
  kRecordNotFound = 35,      // GET found no record with the key value
  kInvalidDataFile = 36,
  kFileNotOpen = 37,
  kInvalidKeyFile = 38,
  kDuplicateKey = 40,
  kKeysMustBeRebuilt = 46,
  kInvalidRecordDeclaration = 47,
  kAlreadyOpen = 52,
  kNotSupported = 80,
  kRecordChanged = 89,  // the watched record was changed by another station
  kFileSystemError = 90,
  kDriverError = 100,
};

// The framework's text of an error code ("File Not Found", "Access Denied" ...).
std::string_view errorText(int code);

// The last error of a file statement on the calling thread.
struct ErrorState {
  int code = 0;
  std::string text;      // errorText(code), or a driver's own text
  int fileCode = 0;      // the file system's own error (errno, SQL native error)
  std::string fileText;  // its text
};
// The error code with the framework's text.
ErrorState errorOf(int code);
const ErrorState& lastError();
void setLastError(ErrorState e);
inline int errorCode() { return lastError().code; }

// Open modes: access in the low nibble, sharing in the high one.
namespace mode {
inline constexpr std::uint8_t kRead = 0x00, kWrite = 0x01, kReadWrite = 0x02;
inline constexpr std::uint8_t kDenyAll = 0x10, kDenyWrite = 0x20, kDenyRead = 0x30, kDenyNone = 0x40;
inline constexpr std::uint8_t kAccessMask = 0x0F, kShareMask = 0xF0;
}  // namespace mode

enum class FieldType : std::uint8_t { Text, Int16, Int32, UInt8, Real, Date, Packed6, Memo };

struct FieldDesc {
  std::string_view name;      // field name without the prefix ("KOD")
  FieldType type;
  std::size_t offset;         // in the record buffer
  std::size_t size;           // bytes in the record buffer
  std::string_view external;  // external name: "NNOPER=N(7.0)", "`key`", or empty
};

// A text field (Text or Memo): blanks when cleared, converted between code pages.
inline bool isTextField(const FieldDesc& f) { return f.type == FieldType::Text || f.type == FieldType::Memo; }

// The column name of a field: its external name up to any "=" (back-quotes kept),
// else its name.
std::string_view columnName(const FieldDesc& f);

enum KeyAttr : unsigned { kDup = 1, kOpt = 2, kNoCase = 4, kPrimary = 8 };

struct KeyComponent {
  int field;  // index into FileDecl::fields
  bool descending = false;
};

struct KeyDecl {
  std::string_view name;  // key name without the prefix ("KEY_1")
  std::span<const KeyComponent> components;
  unsigned attrs = 0;
  std::string_view external;  // external name, or empty
  bool unique() const { return !(attrs & kDup); }
};

enum class DriverKind { Dat21, Dbase, Text, Odbc };

struct FileDecl {
  std::string_view label;   // "PRT"
  std::string_view prefix;  // "PRT"
  DriverKind driver;
  std::size_t recordSize;
  std::span<const FieldDesc> fields;
  std::span<const KeyDecl> keys;
  bool create = false;   // the declaration allows creation
  bool reclaim = false;  // deleted records' space is used again (2.1 format)
  bool oem = false;      // text fields are stored in the DOS code page
  std::string_view defaultName;  // name used when the file has no name source
};

// An open file of one driver. Positions and the current record are the driver's.
class Backend {
 public:
  virtual ~Backend() = default;
  // Every operation returns an ErrorState; code 0 is success.
  virtual ErrorState close() = 0;
  virtual ErrorState setRecordOrder() = 0;                     // SET(file)
  virtual ErrorState setKeyOrder(int key, const char* at) = 0;  // SET(key) / SET(key,key) when at
  virtual ErrorState next(char* rec) = 0;
  // next() without filling a record buffer: the record reached becomes current (PUT
  // and DELETE work on it), the errors are next()'s. A driver without a cheaper way
  // reads into scratch (a buffer of the record's size).
  virtual ErrorState skip(char* scratch) { return next(scratch); }
  // next() when it needs no report: true when the next record was read, false (having
  // read nothing) when next() has to read it and say how that went.
  virtual bool nextPlain(char*) { return false; }
  virtual ErrorState previous(char* rec) = 0;
  virtual ErrorState get(int key, char* rec) = 0;  // exact key value taken from rec
  virtual ErrorState add(char* rec) = 0;  // the added record becomes the current record
  virtual ErrorState put(const char* rec) = 0;  // rewrites the current record
  virtual ErrorState erase() = 0;               // deletes the current record
  virtual ErrorState flush() = 0;
  virtual ErrorState send(std::string_view command, std::string& reply) = 0;
  virtual ErrorState lock() = 0;    // LOCK: holds the file's write lock across statements
  virtual ErrorState unlock() = 0;  // UNLOCK
  virtual ErrorState records(std::uint64_t& n) = 0;
  virtual std::string position() = 0;  // opaque; "" when there is no current record
  // RESET: the following next() reads the record position() was taken on (and goes
  // on from there in the order that was set when it was taken).
  virtual ErrorState reset(std::string_view position) = 0;
  // REGET: reads exactly the record position() was taken on into rec and makes it
  // current; the following next() goes on from it in the order the position was taken
  // in. A record no longer there (deleted, its key value changed, a position that
  // names none) is 33 and no current record, never another record in its place.
  virtual ErrorState reget(std::string_view position, char* rec) = 0;
  virtual void watch() = 0;  // the next read is watched: a later put() fails with 89
                             // when another station changed the record since
  virtual bool eof() const = 0;  // the last next() read the last record of the sequence;
                                 // false when that cannot be read: a read error is not
                                 // the end, the next() after it reports it
  // Holds of records by this open (the record that reserves a number for a form):
  // another open sees a record held until its holder releases it, closes the file or
  // ends, however it ends. A driver without them answers kNotSupported.
  virtual ErrorState hold(std::string_view position) {
    (void)position;
    return errorOf(kNotSupported);
  }
  virtual ErrorState release(std::string_view position) {
    (void)position;
    return errorOf(kNotSupported);
  }
  virtual ErrorState heldElsewhere(std::string_view position, bool& held) {
    (void)position;
    held = false;
    return errorOf(kNotSupported);
  }
};

// What a driver offers: open, create and rebuild of a file of its format.
struct Driver {
  ErrorState (*open)(const FileDecl&, const std::string& name, std::uint8_t mode,
                     std::unique_ptr<Backend>& out);
  ErrorState (*create)(const FileDecl&, const std::string& name);
  ErrorState (*build)(const FileDecl&, const std::string& name);  // rebuild the keys
  // Creation of a file found missing, exclusive between stations: a file that another
  // station made meanwhile is left as it is (success). Null: create.
  ErrorState (*createMissing)(const FileDecl&, const std::string& name) = nullptr;
};
// Drivers are registered explicitly at start-up (and by tests), never by static
// initialisation.
void registerDriver(DriverKind kind, Driver d);
const Driver* findDriver(DriverKind kind);

// One thread's instance of a declared file.
class File {
 public:
  // The file keeps decl, which must outlive it: a temporary declaration does not bind.
  File(const FileDecl& decl, char* buffer);
  File(const FileDecl&& decl, char* buffer) = delete;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  const FileDecl& decl() const { return decl_; }
  char* buffer() { return buf_; }
  const char* buffer() const { return buf_; }
  void clearBuffer();  // blank texts, zero numbers and dates

  // The name on disk: the name source's value at the moment of a physical open,
  // else the declaration's default name.
  void setNameSource(std::function<std::string()> src) { nameSource_ = std::move(src); }
  std::string name() const;

  bool isOpen() const { return backend_ != nullptr; }
  std::uint8_t openMode() const { return mode_; }

  // The statements; each returns the error code it left in lastError().
  int open(std::uint8_t mode = mode::kReadWrite | mode::kDenyWrite);
  int close();
  int create();  // CREATE: an empty file with its key files
  int createMissing();  // CREATE of a file found missing (Driver::createMissing)
  int build();   // BUILD: rebuild the keys (also while open, and while locked)
  int set();
  int set(int key);          // key order, from the start (next) or the end (previous)
  int setAt(int key);        // key order, at the key value in the buffer
  int next();
  // NEXT that leaves the record buffer as it is: for passes that only need to reach
  // every record (to check that it reads, or to delete it).
  int skip();
  int previous();
  int get(int key);
  int add();
  int put();
  int erase();  // DELETE
  int flush();
  int send(std::string_view command, std::string* reply = nullptr);
  int lock();
  int unlock();
  std::uint64_t records();
  std::string position();
  int reset(std::string_view position);
  int reget(std::string_view position);  // into the record buffer
  void watch();
  bool eof() const;
  // Holds of records at positions (Backend::hold).
  int hold(std::string_view position);
  int release(std::string_view position);
  int heldElsewhere(std::string_view position, bool& held);

 private:
  int finish(ErrorState&& e);
  int reading(ErrorState&& e);
  int readPlainly();
  int found(ErrorState&& e);

  const FileDecl& decl_;
  char* buf_;
  std::function<std::string()> nameSource_;
  std::unique_ptr<Backend> backend_;
  std::unique_ptr<char[]> scratch_;  // skip()'s record, for drivers that read one
  std::unique_ptr<char[]> blank_;    // the cleared record, once clearBuffer() made it
  std::uint8_t mode_ = 0;
  bool current_ = true;  // false after a failed read: no record to PUT or DELETE
  bool locked_ = false;  // LOCK held (until UNLOCK or CLOSE)
};

// A File with its record buffer typed as the record struct R.
template <class R>
class TypedFile : public File {
 public:
  explicit TypedFile(const FileDecl& decl) : File(decl, reinterpret_cast<char*>(&rec)) {
    static_assert(alignof(R) == 1, "record structs are byte arrays");
    clearBuffer();
  }
  explicit TypedFile(const FileDecl&& decl) = delete;
  R rec;
};

// Record-buffer helpers shared by the drivers.
void clearRecord(const FileDecl& decl, char* rec);
void convertTextFields(const FileDecl& decl, char* rec, bool toOem);

}  // namespace zelk::storage
