#include "platform/framework/filemanager.h"

#include <cstring>
#include <limits>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/framework/bind.h"
#include "platform/storage/record.h"

namespace zelk::fw {
namespace {

using storage::FieldDesc;
using storage::FieldType;

// The highest number a field of this type holds.
std::int64_t highest(const FieldDesc& f) {
  switch (f.type) {
    case FieldType::Int16: return std::numeric_limits<std::int16_t>::max();
    case FieldType::Int32: return std::numeric_limits<std::int32_t>::max();
    case FieldType::UInt8: return 255;
    default: return std::int64_t{1} << 53;
  }
}

constexpr int kTriesPerQuestion = 3;

}  // namespace

FileManager::~FileManager() = default;

void FileManager::Init() {
  Opened = 0;
  Killed = false;
}

void FileManager::Init(storage::File* file, ErrorClass* errors) {
  Errors = errors;
  File = file;
  if (!OpenModeOverridden) OpenMode = storage::mode::kReadWrite | storage::mode::kDenyNone;
  Create = true;
  LockRecover = 10;
  if (file && !FileName) FileNameValue = std::string(file->decl().defaultName);
  Keys.clear();
  HasAutoInc = false;
  Initialized = true;
}

void FileManager::Kill() {
  if (Initialized && !Killed) {
    while (Opened > 0) Close();
    saved_.clear();
    Keys.clear();
  }
  Killed = true;
  Initialized = false;
}

void FileManager::AddKey(int key, std::string_view description, bool autoInc) {
  Keys.push_back({key, std::string(description), autoInc});
  if (autoInc) HasAutoInc = true;
}

const KeyEntry* FileManager::keyEntry(int key) const {
  for (const KeyEntry& k : Keys)
    if (k.key == key) return &k;
  return nullptr;
}

std::string FileManager::GetName() const {
  if (FileName) {
    std::string n = FileName();
    return std::string(trimRight(n));
  }
  return FileNameValue;
}

void FileManager::BindFields() {
  if (!File) return;
  const storage::FileDecl& d = File->decl();
  for (const FieldDesc& f : d.fields) {
    BoundName b;
    b.field = &f;
    b.buffer = File->buffer();
    bindName(std::string(d.prefix) + ":" + std::string(f.name), b);
  }
}

std::uint8_t FileManager::Open() {
  BindFields();
  ++Opened;
  return kLevelOk;
}

std::uint8_t FileManager::UseFile(std::uint8_t useType) {
  if (useType == 4 || useType == kUseSetup) return kLevelOk;
  if (Opened < 1) return fatal(msg::kUseClosed);
  if (!Used) {
    int id = SaveBuffer();
    std::uint8_t r = OpenFile();
    RestoreBuffer(id);
    return r;
  }
  return kLevelOk;
}

std::uint8_t FileManager::Close() {
  if (Opened <= 0) return kLevelOk;
  if (--Opened == 0 && Used) {
    if (File) File->close();
    Used = false;
  }
  return kLevelOk;
}

int FileManager::fileOpen(std::uint8_t mode) {
  int r = File->open(mode);
  return r == storage::kAlreadyOpen ? 0 : r;
}

std::uint8_t FileManager::fatal(std::uint16_t id) {
  if (Errors) Errors->ThrowFile(id, GetName());
  endProcess();  // a fatal level never returns; this only guards a missing manager
}

std::uint8_t FileManager::OpenFile() {
  if (UseFile(kUseSetup) != kLevelOk || !File) return fatal(msg::kOpenFailed);
  for (int attempt = 1;; ++attempt) {
    int r = fileOpen(OpenMode);
    if (r == storage::kAccessDenied) {
      File->send("Recover=" + std::to_string(LockRecover));
      r = fileOpen(OpenMode);
    }
    if (r == 0) {
      Used = true;
      AutoIncDone = false;
      removeUnfinishedAdds();
      return kLevelOk;
    }
    // Busy, not missing: the user chose not to wait for the other station, and the
    // window that wanted the file goes back to its caller.
    if (r == storage::kFileLocked) return Throw(msg::kRecordAccess);
    if (attempt == 2) return fatal(msg::kOpenFailed);
    switch (r) {
      case storage::kAccessDenied:
        if ((OpenMode & 0x03) == 0) return fatal(msg::kOpenFailed);
        OpenMode &= storage::mode::kShareMask;  // read only from now on, on this thread
        Errors->ThrowFile(msg::kAccessDenied, GetName());
        break;
      case storage::kFileNotFound: {
        if (!Create) return fatal(msg::kOpenFailed);
        if (File->createMissing() == 0) break;
        // Another program may have made it meanwhile: then it opens now.
        const storage::ErrorState failed = storage::lastError();
        if (fileOpen(OpenMode) == 0) break;
        storage::setLastError(failed);
        return fatal(msg::kCreateFailed);
      }
      case storage::kKeysMustBeRebuilt:
        rebuild();
        break;
      default:
        return fatal(msg::kOpenFailed);
    }
  }
}

// A file found damaged: notice 30, the rebuild (fatal 29 when it fails), and a notice
// of what the rebuild could not keep.
void FileManager::rebuild() {
  Errors->ThrowFile(msg::kRebuildKey, GetName());
  if (File->build() != 0) fatal(msg::kRebuildFailed);
  if (const std::string note = storage::lastError().fileText; !note.empty()) notifyRepaired(GetName(), note);
}

// A read that finds the file damaged (46) rebuilds it as an open would, then reads
// again (the file's position and its lock stay).
int FileManager::readRebuilding(const std::function<int()>& read) {
  int r = read();
  if (r != storage::kKeysMustBeRebuilt) return r;
  rebuild();
  return read();
}

int FileManager::readOpen(const std::function<int()>& read) {
  if (UseFile(kUseOpen) != kLevelOk) return storage::kFileNotOpen;
  return readRebuilding(read);
}

std::uint8_t FileManager::stepped(int code) {
  if (code == 0) return kLevelOk;
  if (code == storage::kRecordNotAvailable) return kNotify;
  return Throw(msg::kRecordAccess);
}

std::uint8_t FileManager::Throw(std::uint16_t id) { return Errors ? Errors->ThrowFile(id, GetName()) : std::uint8_t{kNotify}; }

std::uint8_t FileManager::ThrowMessage(std::uint16_t id, std::string_view message) {
  if (!Errors) return kNotify;
  Errors->SetFile(GetName());
  globalErrorStatus().takeFileError();
  return Errors->ThrowMessage(id, message);
}

int FileManager::SaveBuffer() {
  saved_.emplace_back(Buffer, Buffer + File->decl().recordSize);
  return static_cast<int>(saved_.size());
}

void FileManager::RestoreBuffer(int id, bool restore) {
  if (id < 1 || id > static_cast<int>(saved_.size())) return;
  if (restore) std::memcpy(Buffer, saved_[id - 1].data(), saved_[id - 1].size());
  saved_.resize(id - 1);  // the copy and every newer one are released
}

bool FileManager::EqualBuffer(int id) const {
  if (id < 1 || id > static_cast<int>(saved_.size())) return false;
  return std::memcmp(Buffer, saved_[id - 1].data(), saved_[id - 1].size()) == 0;
}

std::uint8_t FileManager::PrimeRecord(bool keepBuffer) {
  if (UseFile(kUseOpen) != kLevelOk) return kNotify;
  if (!keepBuffer) File->clearBuffer();
  PrimeFields();
  AutoIncDone = false;
  return PrimeAutoInc();
}

// Reads the highest value of the key and adds the record with that value plus 1,
// both under the file's write lock, so that no other thread or station can hand out
// the same number in between. Returns the storage code; on success the record is
// added and current.
int FileManager::reserveNumber(const KeyEntry& k) {
  const storage::FileDecl& d = File->decl();
  const FieldDesc& f = d.fields[d.keys[k.key].components[0].field];
  if (int r = File->lock(); r != 0) return r;
  int id = SaveBuffer();
  std::int64_t next = 1;
  File->set(k.key);
  int r = File->previous();
  if (r == 0) {
    next = static_cast<std::int64_t>(storage::fieldNumber(f, Buffer)) + 1;
  } else if (r != storage::kRecordNotAvailable) {
    RestoreBuffer(id);
    File->unlock();
    return -r;  // a read error, not an add failure
  }
  RestoreBuffer(id);
  if (next > highest(f)) {
    File->unlock();
    storage::setLastError({storage::kDriverError, std::string(storage::errorText(storage::kDriverError)), 0,
                           "the key has reached its highest number " + std::to_string(highest(f))});
    return storage::kDriverError;
  }
  storage::setFieldNumber(f, Buffer, static_cast<double>(next));
  r = File->add();
  const std::string at = r == 0 ? File->position() : std::string();
  if (r == 0) {
    // Held while the form has it: an open for writing removes only the reserving
    // records that nobody holds (their program ended with the form open).
    if (int h = File->hold(at); h != 0 && h != storage::kNotSupported) {
      const storage::ErrorState failed = storage::lastError();
      File->erase();
      storage::setLastError(failed);
      r = h;
    }
  }
  storage::ErrorState e = storage::lastError();
  // The add reaches the file when the lock is given back: a write-back that fails
  // leaves no record, and its error is the add's.
  if (int u = File->unlock(); u != 0 && r == 0) {
    e = storage::lastError();
    File->release(at);
    r = u;
  }
  storage::setLastError(e);
  return r;
}

// A record that reserved a number for a form whose program ended while the form was
// open (killed, a power cut, a fatal stop): blank but for its auto-numbered keys,
// and held by no open. An open for writing removes such records. It waits for no
// other station: while another one writes the file, they are left for a later open.
// They are looked for in the order of a key of texts that is not auto-numbered,
// where the blank ones come first, else in record order.
void FileManager::removeUnfinishedAdds() {
  if (!RemoveUnfinishedAdds || !HasAutoInc || (OpenMode & storage::mode::kAccessMask) == storage::mode::kRead) return;
  const storage::FileDecl& d = File->decl();
  std::vector<bool> numbered(d.fields.size(), false), ordered(d.fields.size(), false);
  // A key of ascending texts only that leaves out no record: the blank value sorts
  // first in it.
  auto blankFirst = [&d](int key) {
    if (d.keys[key].attrs & storage::kOpt) return false;
    for (const storage::KeyComponent& c : d.keys[key].components)
      if (c.descending || !storage::isTextField(d.fields[c.field])) return false;
    return true;
  };
  int order = -1;
  for (const KeyEntry& k : Keys) {
    for (const storage::KeyComponent& c : d.keys[k.key].components)
      if (k.autoInc) numbered[c.field] = true;
    if (!k.autoInc && order < 0 && blankFirst(k.key)) order = k.key;
  }
  if (order >= 0)
    for (const storage::KeyComponent& c : d.keys[order].components) ordered[c.field] = true;
  std::vector<char> blank(d.recordSize);
  storage::clearRecord(d, blank.data());
  // Whether the buffer's fields that `among` names (every field when none) are blank,
  // the numbered ones aside.
  auto blankIn = [&](const std::vector<bool>* among) {
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
      if (numbered[i] || (among && !(*among)[i])) continue;
      const FieldDesc& f = d.fields[i];
      if (std::memcmp(Buffer + f.offset, blank.data() + f.offset, f.size) != 0) return false;
    }
    return true;
  };
  auto abandonedHere = [&](const std::string& at) {
    bool held = true;
    return blankIn(nullptr) && File->heldElsewhere(at, held) == 0 && !held;
  };

  const int id = SaveBuffer();
  File->send("Recover=0");
  std::vector<std::string> found;
  int r = order < 0 ? File->set() : File->set(order);
  while (r == 0 && File->next() == 0) {
    if (order >= 0 && !blankIn(&ordered)) break;
    if (std::string at = File->position(); abandonedHere(at)) found.push_back(std::move(at));
  }
  if (!found.empty() && File->lock() == 0) {
    // The removal is written back when the lock is given back; any failure of it is
    // reported with the file's own error.
    bool failed = false;
    storage::ErrorState failure;
    for (const std::string& at : found) {
      // Read again under the lock: the same record, still abandoned, or none.
      if (File->reget(at) != 0 || !abandonedHere(at)) continue;
      if (File->erase() != 0) {
        failure = storage::lastError();
        failed = true;
        break;
      }
    }
    if (File->unlock() != 0 && !failed) {
      failure = storage::lastError();
      failed = true;
    }
    if (failed) {
      storage::setLastError(failure);
      Throw(msg::kDeleteFailed);
    }
  }
  File->send("Recover=" + std::to_string(LockRecover));
  RestoreBuffer(id);
}

std::uint8_t FileManager::PrimeAutoInc() {
  if (!HasAutoInc) return kLevelOk;
  for (const KeyEntry& k : Keys) {
    if (!k.autoInc) continue;
    for (int failures = 0;;) {
      int r = reserveNumber(k);
      if (r == 0) break;
      if (r < 0) {
        Throw(msg::kRecordAccess);
        return kNotify;
      }
      if (++failures % kTriesPerQuestion != 0) continue;
      if (Throw(msg::kAutoIncFailed) != kLevelOk) return kNotify;
    }
    reservedPosition_ = File->position();
    AutoIncDone = true;
  }
  return kLevelOk;
}

std::uint8_t FileManager::CancelAutoInc() {
  if (!AutoIncDone) return kLevelOk;
  int id = SaveBuffer();
  int r = File->reget(reservedPosition_);
  if (r == 0) r = File->erase();
  RestoreBuffer(id);
  if (r != 0) return Throw(msg::kDeleteFailed);
  File->release(reservedPosition_);
  AutoIncDone = false;
  return kLevelOk;
}

int FileManager::TryInsert() {
  if (UseFile(kUseOpen) != kLevelOk) return storage::kFileNotOpen;
  if (!AutoIncDone) return File->add();
  // The record that reserved the number is rewritten with the form's values.
  int id = SaveBuffer();
  int r = File->reget(reservedPosition_);
  RestoreBuffer(id);
  if (r == 0) r = File->put();
  if (r == 0) {
    File->release(reservedPosition_);
    AutoIncDone = false;
  }
  return r;
}

std::uint8_t FileManager::Insert() {
  int r = TryInsert();
  if (r == 0) return kLevelOk;
  if (r == storage::kDuplicateKey) {
    std::string desc;
    for (const KeyEntry& k : Keys)
      if (File->decl().keys[k.key].unique()) {
        desc = k.description;
        break;
      }
    return ThrowMessage(msg::kDuplicateKey, desc);
  }
  return Throw(msg::kAddFailed);
}

int FileManager::TryUpdate() {
  if (UseFile(kUseOpen) != kLevelOk) return storage::kFileNotOpen;
  return File->put();
}

std::uint8_t FileManager::Update() {
  int r = TryUpdate();
  if (r == 0) return kLevelOk;
  if (r == storage::kRecordChanged) return Throw(msg::kConcurrency);
  return Throw(msg::kPutFailed);
}

std::uint8_t FileManager::DeleteRecord() {
  if (UseFile(kUseOpen) != kLevelOk) return kNotify;
  if (File->erase() == 0) return kLevelOk;
  return Throw(msg::kDeleteFailed);
}

int FileManager::TryFetch(int key) {
  return readOpen([&] { return File->get(key); });
}

std::uint8_t FileManager::Fetch(int key) { return TryFetch(key) == 0 ? kLevelOk : std::uint8_t{kNotify}; }

int FileManager::TryNext() {
  return readOpen([&] { return File->next(); });
}

std::uint8_t FileManager::Next() { return stepped(TryNext()); }

int FileManager::TryPrevious() {
  return readOpen([&] { return File->previous(); });
}

std::uint8_t FileManager::Previous() { return stepped(TryPrevious()); }

int FileManager::TryReget(std::string_view position) {
  return readOpen([&] { return File->reget(position); });
}

std::uint8_t FileManager::Reget(std::string_view position) {
  int r = TryReget(position);
  return r == 0 ? kLevelOk : RegetFailed(r);
}

std::uint8_t FileManager::RegetFailed(int code) {
  if (code == storage::kFileNotOpen) return kNotify;  // UseFile has shown why
  Throw(code == storage::kRecordNotAvailable ? msg::kConcurrency : msg::kRecordAccess);
  return kNotify;
}

void RelationManager::Init(FileManager* me) { Me = me; }

void RelationManager::Kill() { Me = nullptr; }

std::uint8_t RelationManager::Open() {
  if (!Me) return kNotify;
  std::uint8_t r = Me->Open();
  if (r != kLevelOk) return r;
  return Me->UseFile(kUseOpen);
}

std::uint8_t RelationManager::Close() { return Me ? Me->Close() : kLevelOk; }

std::uint8_t RelationManager::CancelAutoInc() { return Me ? Me->CancelAutoInc() : kLevelOk; }

std::uint8_t RelationManager::Update() { return Me ? Me->Update() : std::uint8_t{kNotify}; }

std::uint8_t RelationManager::Delete() { return Me ? Me->DeleteRecord() : std::uint8_t{kNotify}; }

void RelationManager::SetQuickScan(bool on) {
  if (Me && Me->File && Me->File->isOpen()) Me->File->send(on ? "QUICKSCAN=on" : "QUICKSCAN=off");
}

}  // namespace zelk::fw
