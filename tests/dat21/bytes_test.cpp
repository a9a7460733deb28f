// What the 2.1 driver leaves on disk and answers, bit for bit, for runs of statements
// that take its shortcuts (rows numbered up, emptying passes in record order, refills
// from the free list, keys without text in DOS code-page files) beside runs that
// take its general paths: the checksums were taken from the driver before it had
// the shortcuts.
#include <filesystem>
#include <functional>

#include "layouts.h"
#include "platform/core/codepage.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/sortkey.h"

namespace zelk::dat21test {
namespace {

namespace fs = std::filesystem;

// Every answer of a run folded into one checksum: result codes, records read,
// positions.
struct Trace {
  std::uint32_t crc = 0;
  void add(const void* p, std::size_t n) { crc = dat21::crc32(crc, p, n); }
  void code(int c) { add(&c, sizeof c); }
  void text(const std::string& s) {
    code(static_cast<int>(s.size()));
    add(s.data(), s.size());
  }
};

// A typed file whose every statement's answer goes into a trace.
template <class R>
struct Traced : Opened<R> {
  Traced(const FileDecl& decl, const std::string& path, Trace& t) : Opened<R>(decl, path), t(t) {}
  int read(int c) {
    t.code(c);
    t.add(&this->rec, sizeof this->rec);
    t.text(this->position());
    return c;
  }
  int did(int c) {
    t.code(c);
    return c;
  }
  int add(const R& r) {
    this->rec = r;
    return read(File::add());
  }
  int next() { return read(File::next()); }
  int previous() { return read(File::previous()); }
  int skip() {
    const int c = File::skip();
    t.code(c);
    t.text(this->position());
    return c;
  }
  int get(int key, const R& r) {
    this->rec = r;
    return read(File::get(key));
  }
  int put(const R& r) {
    this->rec = r;
    return read(File::put());
  }
  int erase() { return did(File::erase()); }
  // Reaches every record with skip (or next, or backwards) and deletes it.
  void empty(int key, bool useSkip, bool forward = true) {
    if (key < 0) File::set();
    else File::set(key);
    for (;;) {
      const int c = useSkip ? skip() : forward ? next() : previous();
      if (c != 0) break;
      if (erase() != 0) break;
    }
  }
  Trace& t;
};

// Pseudo-random numbers of a fixed sequence.
struct Lcg {
  std::uint32_t s = 12345;
  int operator()(int n) {
    s = s * 1103515245u + 12345u;
    return static_cast<int>((s >> 8) % static_cast<std::uint32_t>(n));
  }
};

std::string cyr(int i) {
  static const char* const kNames[] = {"Ромашка", "ромашка", "Василёк", "ФИРМА «Лютик»", "Клён", "№ 5"};
  return ansi(kNames[i % 6]) + " " + std::to_string(i);
}

struct Script {
  const char* name;
  const FileDecl* decl;
  std::function<void(Dat21Test&, Trace&)> run;
  std::uint32_t answers, data, key1, key2;
};

// PRT as the statement import uses it: numbered rows under a lock, an emptying pass,
// a refill from the free list.
void importRuns(Dat21Test& t, Trace& tr, int rows, bool lock, bool useSkip) {
  Traced<PrtRec> f(prtDecl(), t.path("prt.dat"), tr);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  for (int run = 0; run < 3; ++run) {
    if (lock) tr.code(f.lock());
    f.empty(-1, useSkip);
    for (int i = 1; i <= rows; ++i) f.add(prt(i, "row " + std::to_string(i * run)));
    f.add(prt(rows / 2));  // a duplicate
    if (lock) tr.code(f.unlock());
  }
  f.File::set(0);
  while (f.next() == 0) {
  }
}

void plnMix(Dat21Test& t, Trace& tr, bool useSkip) {
  Traced<PlnRec> f(plnDecl, t.path("pln.dat"), tr);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(), 0);
  Lcg rnd;
  for (int i = 0; i < 700; ++i) f.add(pln(rnd(900) + 1, std::to_string(rnd(50)), "n" + std::to_string(i)));
  for (int i = 0; i < 200; ++i) {  // key changes, some of them duplicates
    f.File::set();
    const int at = rnd(400);
    for (int j = 0; j <= at && f.next() == 0; ++j) {
    }
    f.put(pln(rnd(900) + 1, std::to_string(rnd(50)), "p" + std::to_string(i)));
  }
  for (int i = 0; i < 150; ++i) {
    if (f.get(0, pln(rnd(900) + 1, "")) == 0) f.erase();
  }
  f.empty(1, false);  // in the order of the second key
  for (int i = 0; i < 300; ++i) f.add(pln(i + 1, std::to_string(i % 7)));
  f.empty(-1, false, false);  // backwards
  for (int i = 0; i < 300; ++i) f.add(pln(300 - i, std::to_string(i)));
  f.empty(-1, useSkip);
  for (int i = 0; i < 100; ++i) f.add(pln(i + 1, std::to_string(i)));
  f.File::set(1);
  while (f.previous() == 0) {
  }
}

void fnmMix(Dat21Test& t, Trace& tr, bool useSkip) {
  Traced<FnmRec> f(fnmDecl, t.path("F_NAME"), tr);
  ASSERT_EQ(f.create(), 0);
  ASSERT_EQ(f.open(kShared), 0);
  auto fnm = [](int kod, const std::string& name) {
    FnmRec r;
    r.KOD = static_cast<std::int16_t>(kod);
    r.NAME = name;
    return r;
  };
  tr.code(f.lock());
  for (int i = 1; i <= 600; ++i) f.add(fnm(i, cyr(i)));
  f.add(fnm(900, cyr(3)));  // the same name
  for (int i = 1; i <= 600; i += 7) f.get(1, fnm(0, cyr(i)));
  for (int i = 1; i <= 600; i += 11) {
    if (f.get(0, fnm(i, "")) == 0) f.put(fnm(i + 1000, cyr(i + 1)));
  }
  tr.code(f.unlock());
  // The record reached is current: its place in a key order, a change to it, one
  // watched while another opener changes it.
  f.File::set();
  for (int i = 0; i < 5; ++i) useSkip ? f.skip() : f.next();
  f.File::set(1);
  tr.text(f.position());
  f.put(fnm(77, cyr(77)));
  f.File::set();
  f.watch();
  useSkip ? f.skip() : f.next();
  {
    Opened<FnmRec> other(fnmDecl, t.path("F_NAME"));
    EXPECT_EQ(other.open(kShared), 0);
    other.File::set();
    EXPECT_EQ(other.next(), 0);
    other.rec.NAME = "changed";
    EXPECT_EQ(other.put(), 0);
  }
  f.put(fnm(78, cyr(78)));
  f.File::set(1);
  useSkip ? f.skip() : f.next();
  tr.code(f.File::reset(f.position()));
  f.next();
  f.empty(-1, useSkip);
  for (int i = 1; i <= 300; ++i) f.add(fnm(i, cyr(i * 3)));
  f.File::set(1);
  while (f.next() == 0) {
  }
}

std::uint32_t fileCrc(const std::string& path) {
  if (!fs::exists(path)) return 0;
  const std::string bytes = readAll(path);
  return dat21::crc32(0, bytes.data(), bytes.size());
}

TEST_F(Dat21Test, ShortcutsLeaveTheBytesAndAnswersOfTheGeneralPaths) {
  const Script scripts[] = {
      {"import locked, skip", &prtReclaim, [](Dat21Test& t, Trace& tr) { importRuns(t, tr, 1500, true, true); },
       0xbea50391, 0x5a15c557, 0x79fb5a1a, 0},
      {"import locked, next", &prtReclaim, [](Dat21Test& t, Trace& tr) { importRuns(t, tr, 1500, true, false); },
       0x0dd33048, 0x5a15c557, 0x79fb5a1a, 0},
      {"import unlocked, skip", &prtReclaim, [](Dat21Test& t, Trace& tr) { importRuns(t, tr, 150, false, true); },
       0xb014a727, 0x56a169ea, 0x0bb3b593, 0},
      {"chart, skip", &plnDecl, [](Dat21Test& t, Trace& tr) { plnMix(t, tr, true); }, 0x2e53bd30, 0x58fc3a50, 0x443fd0c6, 0x045dc11e},
      {"chart, next", &plnDecl, [](Dat21Test& t, Trace& tr) { plnMix(t, tr, false); }, 0x47d4818a, 0x58fc3a50, 0x443fd0c6, 0x045dc11e},
      {"firms in 866, skip", &fnmDecl, [](Dat21Test& t, Trace& tr) { fnmMix(t, tr, true); }, 0x2980e146, 0x57c082c1, 0x5393deaa, 0xa03d7d27},
      {"firms in 866, next", &fnmDecl, [](Dat21Test& t, Trace& tr) { fnmMix(t, tr, false); }, 0xd182ba77, 0x57c082c1, 0x5393deaa, 0xa03d7d27},
  };
  for (const Script& s : scripts) {
    SCOPED_TRACE(s.name);
    for (const auto& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
    Trace tr;
    s.run(*this, tr);
    const std::string data = dat21::dataPath(path(std::string(s.decl->defaultName)));
    const std::uint32_t got[] = {tr.crc, fileCrc(data), fileCrc(dat21::keyPath(data, 0)),
                                 fileCrc(dat21::keyPath(data, 1))};
    EXPECT_EQ(got[0], s.answers);
    EXPECT_EQ(got[1], s.data);
    EXPECT_EQ(got[2], s.key1);
    EXPECT_EQ(got[3], s.key2);
  }
}

// Short sort bytes are compared without memcmp: the same order as string_view's.
TEST(SortBytes, CompareAsStringViewsDo) {
  const std::string hi = "\xff\x80", lo = "\x01\x7f";
  const std::string cases[] = {"", "a", "b", "ab", "abc", "abd", hi, lo, hi + lo, lo + hi, std::string(16, 'x'),
                               std::string(16, 'x') + "\x80", std::string(17, 'x'), std::string(15, 'x') + "\xfe",
                               std::string(40, 'q') + hi, std::string(40, 'q') + lo, std::string("\0\0", 2)};
  const auto sign = [](int c) { return (c > 0) - (c < 0); };
  for (const std::string& a : cases)
    for (const std::string& b : cases)
      EXPECT_EQ(sign(dat21::compareSortBytes(a, b)), sign(std::string_view(a).compare(b))) << a << " / " << b;
}

}  // namespace
}  // namespace zelk::dat21test
