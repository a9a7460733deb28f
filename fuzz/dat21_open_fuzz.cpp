// Fuzz entry point: arbitrary bytes opened as a 2.1 data file and its key file, every
// record read in every order, a rebuild when the keys ask for one, and a few writes.
// Nothing may crash, hang or leak.
//
// Input: a flags byte, a 2-byte length of the data file part, the data file bytes,
// then the key file bytes. Flags: bit 0 the two-key chart layout (else the one-key
// counterparty layout); bit 1 recompute the checksums and the key commit so that the
// input gets past them to the structure behind.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/dat21/dat21.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"

namespace {

using namespace zelk;
using namespace zelk::storage;
namespace fmt = zelk::storage::dat21;

struct PrtRec {
  Int16 KOD;
  Text<160> NAME;
};
const FieldDesc prtFields[] = {ZELK_FIELD(PrtRec, KOD, ""), ZELK_FIELD(PrtRec, NAME, "")};
const KeyComponent prtKey1[] = {{0}};
const KeyDecl prtKeys[] = {{"KEY_1", prtKey1, kOpt | kNoCase | kPrimary, ""}};
const FileDecl prtDecl{"PRT", "PRT", DriverKind::Dat21, sizeof(PrtRec), prtFields, prtKeys, true, true, false, "prt"};

struct PlnRec {
  Int16 KOD;
  Text<20> NOMER;
  Text<100> NAME;
  Int16 FIR;
};
const FieldDesc plnFields[] = {ZELK_FIELD(PlnRec, KOD, ""), ZELK_FIELD(PlnRec, NOMER, ""),
                               ZELK_FIELD(PlnRec, NAME, ""), ZELK_FIELD(PlnRec, FIR, "")};
const KeyComponent plnKey1[] = {{0}};
const KeyComponent plnKey2[] = {{1}};
const KeyDecl plnKeys[] = {{"KEY_1", plnKey1, kOpt | kNoCase | kPrimary, ""},
                           {"KEY_2", plnKey2, kDup | kOpt | kNoCase, ""}};
const FileDecl plnDecl{"PLN", "PLN", DriverKind::Dat21, sizeof(PlnRec), plnFields, plnKeys, true, true, false, "pln"};

// One folder per process, removed when the process ends.
struct Folder {
  Folder() {
    char tmpl[] = "/tmp/zelk-fuzz-XXXXXX";
    if (const char* p = mkdtemp(tmpl)) path = p;
  }
  ~Folder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  std::string path;
};
const std::string& folder() {
  static const Folder dir;
  return dir.path;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Makes the checksums right and commits the whole key log in the data header.
void fixUp(std::string& data, std::string& key, std::size_t keyLength) {
  auto* k = reinterpret_cast<unsigned char*>(key.data());
  if (key.size() >= fmt::kKeyHeaderSize) fmt::put32(k + fmt::kKeyHeaderSize - 4, fmt::crc32(0, k, fmt::kKeyHeaderSize - 4));
  const std::size_t es = fmt::entrySize(keyLength);
  const std::size_t log = key.size() >= fmt::kKeyHeaderSize ? (key.size() - fmt::kKeyHeaderSize) / es * es : 0;
  const std::uint32_t logCrc = log ? fmt::crc32(0, k + fmt::kKeyHeaderSize, log) : 0;
  for (std::size_t c = 0; c < 2 && data.size() >= (c + 1) * fmt::kHeaderCopySize; ++c) {
    auto* copy = reinterpret_cast<unsigned char*>(data.data()) + c * fmt::kHeaderCopySize;
    fmt::put32(copy + fmt::kHeaderCopySize - 4, fmt::crc32(0, copy, fmt::kHeaderCopySize - 4));
    fmt::DataHeader h;
    if (!fmt::decodeHeader(copy, h)) continue;
    h.keys[0].length = log;
    h.keys[0].crc = logCrc;
    fmt::encodeHeader(h, copy);
  }
}

template <class R>
void exercise(const FileDecl& decl, const std::string& name) {
  TypedFile<R> f(decl);
  f.setNameSource([name] { return name; });
  int r = f.open(mode::kReadWrite | mode::kDenyNone);
  if (r == kKeysMustBeRebuilt && f.build() == 0) r = f.open(mode::kReadWrite | mode::kDenyNone);
  if (r != 0) return;
  constexpr int kMaxReads = 4096;
  for (int order = -1; order < static_cast<int>(decl.keys.size()); ++order) {
    for (bool forward : {true, false}) {
      if (order < 0) f.set();
      else f.set(order);
      for (int i = 0; i < kMaxReads; ++i) {
        if ((forward ? f.next() : f.previous()) != 0) break;
        std::string pos = f.position();
        R seen = f.rec;
        for (std::size_t k = 0; k < decl.keys.size(); ++k) f.get(static_cast<int>(k));
        // RESET brings the same record back: read it again and go on from it.
        f.rec = seen;
        if (f.reset(pos) != 0 || (forward ? f.next() : f.previous()) != 0) break;
      }
    }
  }
  std::uint64_t n = f.records();
  (void)n;
  f.set();
  if (f.next() == 0) {
    f.watch();
    f.put();
    f.erase();
  }
  f.clearBuffer();
  f.add();
  f.close();
  f.open(mode::kRead | mode::kDenyNone);
}

}  // namespace

extern "C" int zelk_fuzz_dat21_open(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    registerDriver(DriverKind::Dat21, dat21::driver());
    return true;
  }();
  (void)registered;
  if (size < 3 || folder().empty()) return 0;
  const std::uint8_t flags = data[0];
  std::size_t dataLen = static_cast<std::size_t>(data[1]) | (static_cast<std::size_t>(data[2]) << 8);
  data += 3;
  size -= 3;
  if (dataLen > size) dataLen = size;
  std::string dataBytes(reinterpret_cast<const char*>(data), dataLen);
  std::string keyBytes(reinterpret_cast<const char*>(data) + dataLen, size - dataLen);

  const bool chart = flags & 1;
  const FileDecl& decl = chart ? plnDecl : prtDecl;
  if (flags & 2) fixUp(dataBytes, keyBytes, 2);  // the first key is an Int16 in both layouts
  const std::string base = folder() + (chart ? "/pln" : "/prt");
  writeFile(base + ".DAT", dataBytes);
  writeFile(base + ".K01", keyBytes);
  if (chart) writeFile(base + ".K02", keyBytes);
  if (chart) exercise<PlnRec>(decl, base);
  else exercise<PrtRec>(decl, base);
  return 0;
}

#ifdef ZELK_LIBFUZZER_MAIN
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return zelk_fuzz_dat21_open(data, size);
}
#endif
