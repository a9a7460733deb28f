// Every driver opens only regular files: a folder, a FIFO or a device where a file of
// the dictionary is expected is a clear error at once, read-only opens included.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/declarations.h"
#include "platform/storage/file.h"
#include "support/child.h"
#include "support/program.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;
using storage::FileDecl;

class SpecialFiles : public ProgramTest {};

// A FIFO would hold the open until a writer came; a device would read for ever. Each
// open runs in a child that must be done within the outer limit.
TEST_F(SpecialFiles, AFolderAFifoOrADeviceIsRefusedAtOnceByEveryDriver) {
  const std::uint8_t readOnly = storage::mode::kRead | storage::mode::kDenyNone;
  const std::uint8_t readWrite = storage::mode::kReadWrite | storage::mode::kDenyNone;
  struct Driver {
    const char* what;
    const FileDecl& decl;
    const char* name;
    std::uint8_t mode;
    int code;
  } drivers[] = {
      {"2.1 read-only", dict::PRT_DECL, "prt.dat", readOnly, storage::kInvalidDataFile},
      {"2.1", dict::LVO_DECL, "lvo.dat", readWrite, storage::kInvalidDataFile},
      {"dBase read-only", dict::SUBS_CLT_DECL, "subs_clt.dbf", readOnly, storage::kAccessDenied},
      {"dBase", dict::DBI_DECL, "dbi.dbf", readWrite, storage::kAccessDenied},
      {"text", dict::LOKO_VIX_DECL, "vypiska.txt", readOnly, storage::kAccessDenied},
  };
  struct Kind {
    const char* what;
    std::function<void(const fs::path&)> make;
  } kinds[] = {
      {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"a link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
  };
  for (const Driver& d : drivers) {
    for (const Kind& k : kinds) {
      SCOPED_TRACE(std::string(d.what) + ", " + k.what);
      const fs::path path = dir / d.name;
      k.make(path);
      const int code = inChildWithin([&] {
        std::vector<char> buffer(d.decl.recordSize);
        storage::File file(d.decl, buffer.data());
        file.setNameSource([&] { return path.string(); });
        const int r = file.open(d.mode);
        const storage::ErrorState& e = storage::lastError();
        return e.text == storage::errorText(r) && !e.fileText.empty() ? r : 255;
      });
      EXPECT_EQ(code, d.code);
      fs::remove_all(path);
    }
  }
}

}  // namespace
}  // namespace zelk::test
