// Fuzz entry: the bytes as a .dbf file, opened with a declaration that binds every
// column the header names (so every column type is decoded), read in both record
// orders with and without read-ahead, then written: PUT, DELETE and ADD.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/storage/dbase/dbase.h"
#include "platform/storage/dbase/dbf_codec.h"
#include "platform/storage/file.h"

namespace {

using namespace zelk::storage;

struct Declared {
  std::vector<std::string> names;
  std::vector<FieldDesc> fields;
  FileDecl decl{};
};

// One field per column, of the type the column suggests.
void declare(std::string_view bytes, Declared& d) {
  dbase::Layout layout;
  if (dbase::parseHeader(bytes, layout).code) return;
  std::size_t offset = 0;
  d.names.reserve(layout.columns.size());
  for (const dbase::Column& c : layout.columns) {
    if (c.name.empty()) continue;
    d.names.push_back(c.name);
    FieldType type = FieldType::Text;
    std::size_t size = c.width ? c.width : 1;
    switch (c.type) {
      case 'N': type = (c.decimals ? FieldType::Real : FieldType::Int32); size = c.decimals ? 8 : 4; break;
      case 'F': type = FieldType::Real; size = 8; break;
      case 'D': type = FieldType::Date; size = 4; break;
      case 'L': type = FieldType::Int16; size = 2; break;
      default: break;
    }
    d.fields.push_back(FieldDesc{d.names.back(), type, offset, size, {}});
    offset += size;
  }
  d.decl = FileDecl{"F", "F", DriverKind::Dbase, offset, d.fields, {}, false, false, true, ""};
}

void readAll(Backend& b, char* rec) {
  b.setRecordOrder();
  for (int guard = 0; guard < 100000 && !b.eof(); ++guard)
    if (b.next(rec).code) break;
  b.setRecordOrder();
  for (int guard = 0; guard < 100000; ++guard)
    if (b.previous(rec).code) break;
  std::uint64_t n = 0;
  b.records(n);
}

}  // namespace

int zelk_fuzz_dbase_open(const std::uint8_t* data, std::size_t size) {
  int fd = ::memfd_create("fuzz.dbf", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  Declared d;
  declare(std::string_view(reinterpret_cast<const char*>(data), size), d);
  const Driver drv = dbase::driver();
  std::unique_ptr<Backend> b;
  if (drv.open(d.decl, name, mode::kReadWrite | mode::kDenyNone, b).code == 0) {
    std::vector<char> rec(d.decl.recordSize + 1, ' ');
    readAll(*b, rec.data());
    std::string reply;
    b->send("QUICKSCAN=on", reply);
    readAll(*b, rec.data());
    b->setRecordOrder();
    if (b->next(rec.data()).code == 0) {
      b->watch();
      b->put(rec.data());
      b->erase();
    }
    b->add(rec.data());
    readAll(*b, rec.data());
    b->close();
  }
  ::close(fd);
  return 0;
}
