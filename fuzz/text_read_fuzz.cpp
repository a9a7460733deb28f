// Fuzz entry: the bytes as a statement text file, every line read at the two record
// lengths the importers use, with and without the DOS code page.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/storage/file.h"
#include "platform/storage/text/textfile.h"

namespace {

using namespace zelk::storage;

void readLines(const std::string& name, std::size_t length, bool oem) {
  const FieldDesc fields[] = {{"BIX", FieldType::Text, 0, length, {}}};
  const FileDecl decl{"VIX", "VIX", DriverKind::Text, length, fields, {}, false, false, oem, ""};
  std::unique_ptr<Backend> b;
  if (textfile::driver().open(decl, name, mode::kRead | mode::kDenyWrite, b).code) return;
  std::vector<char> rec(length, 'x');
  for (int pass = 0; pass < 2; ++pass) {
    b->setRecordOrder();
    std::string at;
    while (!b->eof()) {
      if (!b->nextPlain(rec.data()) && b->next(rec.data()).code) break;  // as File::next reads
      if (at.empty()) at = b->position();
    }
    b->next(rec.data());  // the reads after the end
    if (!at.empty()) b->reset(at);
  }
  b->close();
}

}  // namespace

int zelk_fuzz_text_read(const std::uint8_t* data, std::size_t size) {
  int fd = ::memfd_create("fuzz.txt", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  readLines(name, 255, true);
  readLines(name, 1875, false);
  ::close(fd);
  return 0;
}
