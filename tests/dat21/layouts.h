#pragma once
// Record layouts and helpers shared by the 2.1 data-file tests.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/dat21/dat21.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::dat21test {

using namespace zelk::storage;

// The counterparty rows: one OPT NOCASE PRIMARY key on KOD.
struct PrtRec {
  Int16 KOD;
  Text<160> NAME;
};
static_assert(sizeof(PrtRec) == 162);
inline const FieldDesc prtFields[] = {ZELK_FIELD(PrtRec, KOD, ""), ZELK_FIELD(PrtRec, NAME, "")};
inline const KeyComponent prtKey1[] = {{0}};
inline const KeyDecl prtKeys[] = {{"KEY_1", prtKey1, kOpt | kNoCase | kPrimary, "key_1"}};
inline const FileDecl prtReclaim{"PRT", "PRT", DriverKind::Dat21, sizeof(PrtRec), prtFields, prtKeys,
                                 true,  true,  false, "prt.dat"};
inline const FileDecl prtAppend{"PRT", "PRT", DriverKind::Dat21, sizeof(PrtRec), prtFields, prtKeys,
                                true,  false, false, "prt.dat"};
// Files keep a reference to their declaration: hand out lasting ones.
inline const FileDecl& prtDecl(bool reclaim = true) { return reclaim ? prtReclaim : prtAppend; }

// The chart fragment: KOD unique, NOMER with duplicates.
struct PlnRec {
  Int16 KOD;
  Text<20> NOMER;
  Text<100> NAME;
  Int16 FIR;
};
static_assert(sizeof(PlnRec) == 124);
inline const FieldDesc plnFields[] = {ZELK_FIELD(PlnRec, KOD, ""), ZELK_FIELD(PlnRec, NOMER, ""),
                                      ZELK_FIELD(PlnRec, NAME, ""), ZELK_FIELD(PlnRec, FIR, "")};
inline const KeyComponent plnKey1[] = {{0}};
inline const KeyComponent plnKey2[] = {{1}};
inline const KeyDecl plnKeys[] = {{"KEY_1", plnKey1, kOpt | kNoCase | kPrimary, ""},
                                  {"KEY_2", plnKey2, kDup | kOpt | kNoCase, ""}};
inline const FileDecl plnDecl{"PLN", "PLN", DriverKind::Dat21, sizeof(PlnRec), plnFields, plnKeys,
                              true,  true,  false, "pln.dat"};

// A firm list stored in the DOS code page, with a unique NOCASE key on the name.
struct FnmRec {
  Int16 KOD;
  Text<50> NAME;
};
inline const FieldDesc fnmFields[] = {ZELK_FIELD(FnmRec, KOD, ""), ZELK_FIELD(FnmRec, NAME, "")};
inline const KeyComponent fnmKey1[] = {{0}};
inline const KeyComponent fnmKey2[] = {{1}};
inline const KeyDecl fnmKeys[] = {{"KEY_1", fnmKey1, kOpt | kNoCase | kPrimary, ""},
                                  {"NAME", fnmKey2, kNoCase, ""}};
inline const FileDecl fnmDecl{"F_NAME", "FNM", DriverKind::Dat21, sizeof(FnmRec), fnmFields, fnmKeys,
                              true,     true,  true,  "F_NAME"};

// A log with a 32-bit unique code, for long runs.
struct LogRec {
  Int32 ID;
  Text<20> NOTE;
};
inline const FieldDesc logFields[] = {ZELK_FIELD(LogRec, ID, ""), ZELK_FIELD(LogRec, NOTE, "")};
inline const KeyComponent logKey1[] = {{0}};
inline const KeyDecl logKeys[] = {{"ID", logKey1, kPrimary, ""}};
inline const FileDecl logDecl{"LOG", "LOG", DriverKind::Dat21, sizeof(LogRec), logFields, logKeys,
                              true,  true,  false, "log.dat"};

using test::readAll;
using test::writeAll;

inline constexpr std::uint8_t kShared = mode::kReadWrite | mode::kDenyNone;

// A test with a temporary folder and the driver registered.
class Dat21Test : public ::testing::Test {
 public:
  std::string path(const std::string& name) const { return dir / name; }

 protected:
  void SetUp() override { registerDriver(DriverKind::Dat21, dat21::driver()); }
  // A file of decl named name: created, opened shared, filled with the records.
  template <class R>
  void makeFile(const FileDecl& decl, const std::string& name, const std::vector<R>& rows) {
    TypedFile<R> f(decl);
    f.setNameSource([n = path(name)] { return n; });
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(kShared), 0);
    for (const R& r : rows) {
      f.rec = r;
      ASSERT_EQ(f.add(), 0);
    }
  }
  test::TempDir dir;
};

// A typed file named after a path.
template <class R>
struct Opened : TypedFile<R> {
  Opened(const FileDecl& decl, const std::string& path) : TypedFile<R>(decl) {
    this->setNameSource([path] { return path; });
  }
};

inline PrtRec prt(int kod, std::string_view name = "") {
  PrtRec r;
  r.KOD = static_cast<std::int16_t>(kod);
  r.NAME = name;
  return r;
}
inline PlnRec pln(int kod, std::string_view nomer, std::string_view name = "", int fir = 1) {
  PlnRec r;
  r.KOD = static_cast<std::int16_t>(kod);
  r.NOMER = nomer;
  r.NAME = name;
  r.FIR = static_cast<std::int16_t>(fir);
  return r;
}

// Codes read in the order of key (or record order for key -1), forwards or backwards.
template <class R, class F>
std::vector<int> readAll(TypedFile<R>& f, int key, bool forward, F code) {
  std::vector<int> out;
  if (key < 0) f.set();
  else f.set(key);
  while ((forward ? f.next() : f.previous()) == 0) out.push_back(code(f.rec));
  return out;
}
inline std::vector<int> prtCodes(TypedFile<PrtRec>& f, int key = 0, bool forward = true) {
  return readAll(f, key, forward, [](const PrtRec& r) { return static_cast<int>(r.KOD.get()); });
}
inline std::vector<int> plnCodes(TypedFile<PlnRec>& f, int key, bool forward = true) {
  return readAll(f, key, forward, [](const PlnRec& r) { return static_cast<int>(r.KOD.get()); });
}

}  // namespace zelk::dat21test
