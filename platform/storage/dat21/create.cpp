#include "platform/storage/dat21/create.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/storage/dat21/dat21.h"
#include "platform/storage/dat21/fileio.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/keylog.h"
#include "platform/storage/dat21/sortkey.h"
#include "platform/storage/io.h"
#include "platform/storage/sharelock.h"

namespace zelk::storage::dat21 {
namespace {

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
  const ReleaseOnExit release{guard};
  if (ErrorState e = guard.lockWrite(); e.code) return e;
  const std::string bytes = emptyDataBytes(decl);
  if (!writeAt(fd.get(), bytes.data(), bytes.size(), 0)) return lastErrno();
  if (::link(tmp.c_str(), path.c_str()) != 0) return errno == EEXIST ? ErrorState{} : lastErrno();
  ErrorState e = writeEmptyKeys(decl, path);
  guard.unlockOne();
  return e;
}

}  // namespace

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

}  // namespace zelk::storage::dat21
