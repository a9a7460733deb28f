// Records, keys and positions of the 2.1 data-file driver.
#include <cstring>
#include <filesystem>

#include "layouts.h"
#include "platform/core/codepage.h"

namespace zelk::dat21test {
namespace {

namespace fs = std::filesystem;

TEST_F(Dat21Test, CreateNamesTheDataAndKeyFilesAsDeclared) {
  struct Case {
    const FileDecl* decl;
    std::string name;
    std::vector<std::string> files;
  };
  const FileDecl& prtd = prtDecl();
  const Case cases[] = {
      {&prtd, "prt.dat", {"prt.dat", "prt.K01"}},
      {&plnDecl, "pln.dat", {"pln.dat", "pln.K01", "pln.K02"}},
      {&fnmDecl, "F_NAME", {"F_NAME.DAT", "F_NAME.K01", "F_NAME.K02"}},
  };
  for (const Case& c : cases) {
    File f(*c.decl, nullptr);
    f.setNameSource([&] { return path(c.name); });
    ASSERT_EQ(f.create(), 0) << c.name;
    for (const std::string& file : c.files) EXPECT_TRUE(fs::exists(path(file))) << file;
    std::vector<char> buf(c.decl->recordSize);
    File g(*c.decl, buf.data());
    g.setNameSource([&] { return path(c.name); });
    EXPECT_EQ(g.open(), 0) << c.name;
  }
  // Names are found whatever their letter case on disk.
  fs::rename(path("prt.dat"), path("PRT.DAT"));
  fs::rename(path("prt.K01"), path("Prt.k01"));
  Opened<PrtRec> f(prtd, path("prt.dat"));
  EXPECT_EQ(f.open(), 0);
  f.rec = prt(1);
  EXPECT_EQ(f.add(), 0);
  EXPECT_FALSE(fs::exists(path("prt.K01")));
}

TEST_F(Dat21Test, RecordsRoundTripThroughAddGetPutAndDelete) {
  makeFile<PlnRec>(plnDecl, "pln.dat", {pln(1, "51", "Bank"), pln(2, "60", "Suppliers"), pln(3, "62", "Buyers")});
  Opened<PlnRec> f(plnDecl, path("pln.dat"));
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 3u);
  EXPECT_EQ(plnCodes(f, -1), (std::vector<int>{1, 2, 3}));

  f.clearBuffer();
  f.rec.NOMER = "60";
  ASSERT_EQ(f.get(1), 0);
  EXPECT_EQ(f.rec.KOD.get(), 2);
  EXPECT_EQ(f.rec.NAME, "Suppliers");
  EXPECT_EQ(f.rec.FIR.get(), 1);

  f.rec.NOMER = "10";
  f.rec.NAME = "Assets";
  ASSERT_EQ(f.put(), 0);
  f.clearBuffer();
  f.rec.KOD = 1;
  ASSERT_EQ(f.get(0), 0);
  ASSERT_EQ(f.erase(), 0);
  EXPECT_EQ(f.records(), 2u);
  EXPECT_EQ(f.close(), 0);

  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(plnCodes(f, 1), (std::vector<int>{2, 3}));
  f.clearBuffer();
  f.rec.KOD = 2;
  ASSERT_EQ(f.get(0), 0);
  EXPECT_EQ(f.rec.NOMER, "10");
  EXPECT_EQ(f.rec.NAME, "Assets");
  f.rec.KOD = 1;
  EXPECT_EQ(f.get(0), kRecordNotFound);
}

// The incoming balance: no keys, so no key files, read in record order.
struct LvoRec {
  Real OST;
  Int32 DATA;
};
const FieldDesc lvoFields[] = {ZELK_FIELD(LvoRec, OST, ""), ZELK_FIELD(LvoRec, DATA, "")};
const FileDecl lvoDecl{"LVO", "LVO", DriverKind::Dat21, sizeof(LvoRec), lvoFields, {}, true, false, false, "lvo.dat"};

TEST_F(Dat21Test, FileWithoutKeysKeepsItsRecordInRecordOrder) {
  Opened<LvoRec> f(lvoDecl, path("lvo.dat"));
  ASSERT_EQ(f.create(), 0);
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir.path()), {}),
            std::vector<fs::path>{path("lvo.dat")});
  ASSERT_EQ(f.open(), 0);
  f.rec.OST = 1234.5;
  f.rec.DATA = 75000;
  ASSERT_EQ(f.add(), 0);
  f.set();
  ASSERT_EQ(f.next(), 0);
  f.rec.OST = -0.25;
  ASSERT_EQ(f.put(), 0);
  EXPECT_EQ(f.set(0), kInvalidKeyFile);
  f.close();
  ASSERT_EQ(f.open(), 0);
  f.set();
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.OST.get(), -0.25);
  EXPECT_EQ(f.rec.DATA.get(), 75000);
  EXPECT_EQ(f.records(), 1u);
}

TEST_F(Dat21Test, OemFileStoresTheDosCodePageAndKeysTheProgramText) {
  const std::string firm = ansi("Фирма «Ромашка»");
  FnmRec r;
  r.KOD = 1;
  r.NAME = firm;
  makeFile<FnmRec>(fnmDecl, "F_NAME", {r});

  const std::string disk = readAll(path("F_NAME.DAT"));
  EXPECT_NE(disk.find(cp::ansiToOem(ansi("Фирма"))), std::string::npos);
  EXPECT_EQ(disk.find(ansi("Фирма")), std::string::npos);

  Opened<FnmRec> f(fnmDecl, path("F_NAME"));
  ASSERT_EQ(f.open(), 0);
  f.clearBuffer();
  f.rec.NAME = ansi("ФИРМА «РОМАШКА»");
  ASSERT_EQ(f.get(1), 0);
  // What 866 cannot hold reads back as its look-alike; the rest unchanged.
  EXPECT_EQ(f.rec.NAME.str(), cp::oemToAnsi(cp::ansiToOem(firm)));
  EXPECT_EQ(f.rec.NAME.str().substr(0, 6), ansi("Фирма "));
  // Records are found by what they read back as.
  f.rec.NAME = firm;
  EXPECT_EQ(f.get(1), 0);
}

TEST_F(Dat21Test, KeyOrderFoldsCaseLeavesOutBlanksAndBreaksTiesByRecordNumber) {
  makeFile<PlnRec>(plnDecl, "pln.dat",
                   {pln(1, "b"), pln(2, "A"), pln(3, ""), pln(4, "B"), pln(5, "a"), pln(6, "c"), pln(0, "z"),
                    pln(0, "y")});
  Opened<PlnRec> f(plnDecl, path("pln.dat"));
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 8u);
  // KEY_1 leaves out KOD 0 (two of them, so no duplicate either).
  EXPECT_EQ(plnCodes(f, 0), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(plnCodes(f, 0, false), (std::vector<int>{6, 5, 4, 3, 2, 1}));
  // KEY_2: "A" and "a" are one value, in record order; the blank NOMER is left out.
  EXPECT_EQ(plnCodes(f, 1), (std::vector<int>{2, 5, 1, 4, 6, 0, 0}));
  f.clearBuffer();
  f.rec.NOMER = "B";
  ASSERT_EQ(f.get(1), 0);
  EXPECT_EQ(f.rec.KOD.get(), 1);  // the first of the equal values
  f.rec.NOMER = "";
  EXPECT_EQ(f.get(1), kRecordNotFound);
}

// Every component type and direction sorts by value.
struct MixRec {
  Int16 ID;
  Int32 I;
  Real R;
  Packed6 P;
  Text<3> T;
  Int16 S;
  DateField D;
};
const FieldDesc mixFields[] = {ZELK_FIELD(MixRec, ID, ""), ZELK_FIELD(MixRec, I, ""), ZELK_FIELD(MixRec, R, ""),
                               ZELK_FIELD(MixRec, P, ""),  ZELK_FIELD(MixRec, T, ""), ZELK_FIELD(MixRec, S, ""),
                               ZELK_FIELD(MixRec, D, "")};
const KeyComponent mixUp[] = {{1}}, mixDown[] = {{1, true}}, mixReal[] = {{2}}, mixPacked[] = {{3}},
                   mixTextS[] = {{4}, {5, true}}, mixDate[] = {{6, true}};
const KeyDecl mixKeys[] = {{"UP", mixUp, kDup, ""},      {"DOWN", mixDown, kDup, ""},
                           {"REAL", mixReal, kDup, ""},  {"PACKED", mixPacked, kDup, ""},
                           {"TS", mixTextS, kDup, ""},   {"DATE", mixDate, kDup, ""}};
const FileDecl mixDecl{"MIX", "MIX", DriverKind::Dat21, sizeof(MixRec), mixFields, mixKeys, true, true, false, "mix"};

TEST_F(Dat21Test, ComponentTypesAndDirectionsSortByValue) {
  struct Row {
    int id;
    std::int32_t i;
    double r;
    std::int64_t p;
    const char* t;
    int s;
    std::int32_t d;
  };
  const Row rows[] = {
      {1, 5, -1e300, -3, "b", 1, 40000},
      {2, -7, 1e10, 10, "a", 1, 4},
      {3, 0, -0.0, 0, "b", 2, 2994626},
      {4, 100000, -1.5, -99999999999, "a", 5, 0},
      {5, -2147483647 - 1, 2.25, 99999999999, "", 0, 70000},
  };
  std::vector<MixRec> recs;
  for (const Row& w : rows) {
    MixRec m;
    m.ID = static_cast<std::int16_t>(w.id);
    m.I = w.i;
    m.R = w.r;
    m.P = w.p;
    m.T = w.t;
    m.S = static_cast<std::int16_t>(w.s);
    m.D = w.d;
    recs.push_back(m);
  }
  makeFile<MixRec>(mixDecl, "mix", recs);
  Opened<MixRec> f(mixDecl, path("mix"));
  ASSERT_EQ(f.open(), 0);
  const std::vector<int> expected[] = {
      {5, 2, 3, 1, 4},  // +I
      {4, 1, 3, 2, 5},  // -I
      {1, 4, 3, 5, 2},  // +R
      {4, 1, 3, 2, 5},  // +P
      {5, 4, 2, 3, 1},  // +T -S
      {3, 5, 1, 2, 4},  // -D
  };
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(readAll(f, k, true, [](const MixRec& m) { return static_cast<int>(m.ID.get()); }), expected[k])
        << mixKeys[k].name;
  f.clearBuffer();
  f.rec.R = 0.0;  // -0 is the same value as 0
  ASSERT_EQ(f.get(2), 0);
  EXPECT_EQ(f.rec.ID.get(), 3);
}

TEST_F(Dat21Test, DuplicateOfAUniqueKeyIsRefusedAndWritesNothing) {
  FnmRec a, b;
  a.KOD = 1;
  a.NAME = "Alpha";
  b.KOD = 2;
  b.NAME = "Beta";
  makeFile<FnmRec>(fnmDecl, "F_NAME", {a, b});
  Opened<FnmRec> f(fnmDecl, path("F_NAME"));
  ASSERT_EQ(f.open(), 0);
  auto snapshot = [&] {
    return readAll(path("F_NAME.DAT")) + readAll(path("F_NAME.K01")) + readAll(path("F_NAME.K02"));
  };
  const std::string before = snapshot();

  f.rec.KOD = 1;  // same code
  f.rec.NAME = "Gamma";
  EXPECT_EQ(f.add(), kDuplicateKey);
  f.rec.KOD = 3;  // same name but for the letter case
  f.rec.NAME = "ALPHA";
  EXPECT_EQ(f.add(), kDuplicateKey);

  f.clearBuffer();
  f.rec.KOD = 2;
  ASSERT_EQ(f.get(0), 0);
  f.rec.NAME = "alpha";
  EXPECT_EQ(f.put(), kDuplicateKey);
  f.rec.NAME = "Beta";
  f.rec.KOD = 1;
  EXPECT_EQ(f.put(), kDuplicateKey);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(f.records(), 2u);

  f.rec.KOD = 2;
  f.rec.NAME = "beta";  // its own value in another case is no duplicate
  EXPECT_EQ(f.put(), 0);
}

TEST_F(Dat21Test, ReclaimReusesDeletedSlotsElseAddAppends) {
  for (bool reclaim : {true, false}) {
    test::TempDir d;
    const FileDecl& decl = prtDecl(reclaim);
    const std::string name = d / "prt.dat";
    {
      Opened<PrtRec> f(decl, name);
      ASSERT_EQ(f.create(), 0);
      ASSERT_EQ(f.open(), 0);
      for (int k : {1, 2, 3}) {
        f.rec = prt(k);
        ASSERT_EQ(f.add(), 0);
      }
      f.rec = prt(2);
      ASSERT_EQ(f.get(0), 0);
      ASSERT_EQ(f.erase(), 0);
    }
    const auto size = fs::file_size(name);
    Opened<PrtRec> f(decl, name);
    ASSERT_EQ(f.open(), 0);
    f.rec = prt(9);
    ASSERT_EQ(f.add(), 0);
    if (reclaim) {
      EXPECT_EQ(fs::file_size(name), size);
      EXPECT_EQ(prtCodes(f, -1), (std::vector<int>{1, 9, 3}));
    } else {
      EXPECT_GT(fs::file_size(name), size);
      EXPECT_EQ(prtCodes(f, -1), (std::vector<int>{1, 3, 9}));
    }
    EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 3, 9}));
  }
}

TEST_F(Dat21Test, SequenceEndsPositionsAndReset) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(30, "c"), prt(10, "a"), prt(50, "e"), prt(20, "b"), prt(40, "d")});
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.put(), kRecordNotAvailable);  // nothing read yet
  EXPECT_EQ(f.erase(), kRecordNotAvailable);

  struct Case {
    int at;        // key value for SET(key, key); 0 for SET(key)
    bool forward;
    int expected;  // KOD read, or 0 for none
  };
  const Case cases[] = {
      {0, true, 10}, {0, false, 50}, {30, true, 30}, {30, false, 30}, {35, true, 40},
      {35, false, 30}, {60, true, 0}, {60, false, 50}, {5, false, 0},
  };
  for (const Case& c : cases) {
    if (c.at) {
      f.rec.KOD = static_cast<std::int16_t>(c.at);
      f.setAt(0);
    } else {
      f.set(0);
    }
    f.rec = prt(99, "untouched");
    int r = c.forward ? f.next() : f.previous();
    if (c.expected) {
      EXPECT_EQ(r, 0) << c.at;
      EXPECT_EQ(f.rec.KOD.get(), c.expected) << c.at;
    } else {
      EXPECT_EQ(r, kRecordNotAvailable) << c.at;
      EXPECT_EQ(f.rec.KOD.get(), 99) << c.at;
      EXPECT_EQ(f.rec.NAME, "untouched");
    }
  }

  // EOF after the last record; past the end 33 with the buffer left alone.
  f.rec.KOD = 40;
  f.setAt(0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_FALSE(f.eof());
  ASSERT_EQ(f.next(), 0);
  EXPECT_TRUE(f.eof());
  EXPECT_EQ(f.next(), kRecordNotAvailable);
  EXPECT_EQ(f.rec.KOD.get(), 50);

  // A position taken in key order brings NEXT back to that record, in that order.
  f.set(0);
  f.next();
  f.next();
  const std::string pos = f.position();
  EXPECT_FALSE(pos.empty());
  f.set();
  f.next();
  ASSERT_EQ(f.reset(pos), 0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.KOD.get(), 20);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.KOD.get(), 30);
  // And in record order.
  f.set();
  f.next();
  f.next();
  const std::string rpos = f.position();
  f.next();
  ASSERT_EQ(f.reset(rpos), 0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.KOD.get(), 10);
  EXPECT_EQ(f.reset("nonsense"), kRecordNotAvailable);

  // GET and ADD make a record current without moving the sequence.
  f.set(0);
  f.next();  // 10
  f.rec.KOD = 40;
  ASSERT_EQ(f.get(0), 0);
  f.rec.NAME = "changed";
  ASSERT_EQ(f.put(), 0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.KOD.get(), 20);
  f.rec = prt(99, "untouched");
  EXPECT_EQ(f.get(0), kRecordNotFound);
  EXPECT_EQ(f.rec.NAME, "untouched");
  ASSERT_EQ(f.add(), 0);
  EXPECT_EQ(f.erase(), 0);  // the added record
  EXPECT_EQ(prtCodes(f), (std::vector<int>{10, 20, 30, 40, 50}));

  // An empty sequence is at its end as soon as it is set.
  Opened<PrtRec> empty(prtDecl(), path("empty.dat"));
  ASSERT_EQ(empty.create(), 0);
  ASSERT_EQ(empty.open(), 0);
  for (int key : {-1, 0}) {
    if (key < 0) empty.set();
    else empty.set(key);
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.next(), kRecordNotAvailable);
  }
}

// REGET gives the record at a position or 33, never the next entry: a record another
// opener deleted, one whose key value it changed (in that key's order), a live one.
TEST_F(Dat21Test, RegetGivesTheRecordAtThePositionOrFails) {
  makeFile<PlnRec>(plnDecl, "pln.dat",
                   {pln(1, "60", "a", 1), pln(2, "60", "b", 2), pln(3, "62", "c", 1), pln(4, "70", "d", 1)});
  Opened<PlnRec> a(plnDecl, path("pln.dat")), b(plnDecl, path("pln.dat"));
  ASSERT_EQ(a.open(kShared), 0);
  ASSERT_EQ(b.open(kShared), 0);
  std::vector<std::string> byNomer, byRecord;
  a.set(1);
  while (a.next() == 0) byNomer.push_back(a.position());
  a.set();
  while (a.next() == 0) byRecord.push_back(a.position());
  ASSERT_EQ(byNomer.size(), 4u);
  ASSERT_EQ(byRecord.size(), 4u);
  b.clearBuffer();
  b.rec.KOD = 1;
  ASSERT_EQ(b.get(0), 0);
  ASSERT_EQ(b.erase(), 0);
  b.rec.KOD = 3;
  ASSERT_EQ(b.get(0), 0);
  b.rec.NOMER = "61";
  ASSERT_EQ(b.put(), 0);

  struct Case {
    std::string at;
    int code, kod, after;  // the code; the record read and the next one in the position's order (0 none)
  } cases[] = {
      {byNomer[0], kRecordNotAvailable, 0, 0},  // deleted
      {byRecord[0], kRecordNotAvailable, 0, 0},
      {byNomer[2], kRecordNotAvailable, 0, 0},  // its key value changed
      {byRecord[2], 0, 3, 4},                   // in record order it is the same record
      {byNomer[1], 0, 2, 3},                    // live: then the next by number, 61
      {byRecord[1], 0, 2, 3},
      {"R9", kRecordNotAvailable, 0, 0},
      {"nonsense", kRecordNotAvailable, 0, 0},
  };
  for (const Case& c : cases) {
    a.clearBuffer();
    a.rec.KOD = 99;
    a.watch();
    EXPECT_EQ(a.reget(c.at), c.code) << c.at;
    if (c.code != 0) {
      EXPECT_EQ(a.rec.KOD.get(), 99) << c.at;  // nothing read in its place
      EXPECT_EQ(a.put(), kRecordNotAvailable) << c.at;
      continue;
    }
    EXPECT_EQ(a.rec.KOD.get(), c.kod) << c.at;
    EXPECT_EQ(a.position(), c.at);
    ASSERT_EQ(a.next(), 0) << c.at;
    EXPECT_EQ(a.rec.KOD.get(), c.after) << c.at;
  }
  // A watched re-read: another opener's change since is not overwritten.
  a.watch();
  ASSERT_EQ(a.reget(byNomer[3]), 0);
  b.rec.KOD = 4;
  ASSERT_EQ(b.get(0), 0);
  b.rec.NAME = "e";
  ASSERT_EQ(b.put(), 0);
  a.rec.NAME = "f";
  EXPECT_EQ(a.put(), kRecordChanged);
}

TEST_F(Dat21Test, SendTakesRecoverAndIgnoresTheRest) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {});
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(kShared), 0);
  std::string reply = "x";
  EXPECT_EQ(f.send("Recover=1", &reply), 0);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(f.send("Something=else", &reply), 0);

  // The wait is now a second: a file held locked elsewhere gives 32 after it.
  Opened<PrtRec> g(prtDecl(), path("prt.dat"));
  ASSERT_EQ(g.open(kShared), 0);
  ASSERT_EQ(g.lock(), 0);
  f.rec = prt(1);
  EXPECT_EQ(f.add(), kFileLocked);
  ASSERT_EQ(g.unlock(), 0);
  EXPECT_EQ(f.add(), 0);
}

}  // namespace
}  // namespace zelk::dat21test
