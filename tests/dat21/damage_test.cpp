// Damaged, missing and foreign files: the 2.1 driver reports them and never crashes
// or rewrites them behind the caller's back.
#include <filesystem>
#include <functional>

#include "layouts.h"
#include "platform/storage/dat21/format.h"

namespace zelk::dat21test {
namespace {

namespace fs = std::filesystem;
using namespace zelk::storage::dat21;

// Writes a changed header as the next generation, as a writer would.
void editHeader(const std::string& file, const std::function<void(DataHeader&)>& edit) {
  std::string bytes = readAll(file);
  DataHeader h;
  ASSERT_TRUE(pickHeader(reinterpret_cast<const unsigned char*>(bytes.data()), h));
  edit(h);
  h.generation += 1;
  encodeHeader(h, reinterpret_cast<unsigned char*>(bytes.data()) + (h.generation % 2) * kHeaderCopySize);
  writeAll(file, bytes);
}

class Dat21Damage : public Dat21Test {
 protected:
  // A fresh folder with the chart file in it.
  void makePln() {
    fs::remove_all(dir.path());
    fs::create_directories(dir.path());
    makeFile<PlnRec>(plnDecl, "pln.dat", {pln(1, "62"), pln(2, "51"), pln(3, "60"), pln(4, "51")});
  }
};

TEST_F(Dat21Damage, DamagedKeyFilesAskForARebuildThatRestoresTheOrder) {
  struct Case {
    const char* what;
    std::function<void(Dat21Damage&)> damage;
    int open;                  // result of the open after the damage
    std::vector<int> byNomer;  // KEY_2 order once the file opens
  };
  const std::vector<int> base{2, 4, 3, 1};
  const Case cases[] = {
      {"missing key file", [](Dat21Damage& t) { fs::remove(t.path("pln.K02")); }, kKeysMustBeRebuilt, base},
      {"key file of another key",
       [](Dat21Damage& t) { fs::copy_file(t.path("pln.K01"), t.path("pln.K02"), fs::copy_options::overwrite_existing); },
       kKeysMustBeRebuilt, base},
      {"torn key log",
       [](Dat21Damage& t) { fs::resize_file(t.path("pln.K01"), fs::file_size(t.path("pln.K01")) - 3); },
       kKeysMustBeRebuilt, base},
      {"flipped byte in the log",
       [](Dat21Damage& t) {
         std::string k = readAll(t.path("pln.K02"));
         k.back() ^= 0x01;
         writeAll(t.path("pln.K02"), k);
       },
       kKeysMustBeRebuilt, base},
      {"key file older than the data",
       [](Dat21Damage& t) {
         const std::string old = readAll(t.path("pln.K02"));
         Opened<PlnRec> f(plnDecl, t.path("pln.dat"));
         ASSERT_EQ(f.open(), 0);
         f.rec = pln(5, "10");
         ASSERT_EQ(f.add(), 0);
         f.close();
         writeAll(t.path("pln.K02"), old);
       },
       kKeysMustBeRebuilt, {5, 2, 4, 3, 1}},
      {"writer died in the middle of a change",
       [](Dat21Damage& t) { editHeader(t.path("pln.dat"), [](DataHeader& h) { h.pending = 2; }); },
       kKeysMustBeRebuilt, base},
      {"uncommitted tail after the log",
       [](Dat21Damage& t) { writeAll(t.path("pln.K01"), readAll(t.path("pln.K01")) + "garbage"); }, 0, base},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    makePln();
    c.damage(*this);
    Opened<PlnRec> f(plnDecl, path("pln.dat"));
    ASSERT_EQ(f.open(), c.open);
    if (c.open != 0) {
      ASSERT_EQ(f.build(), 0);
      ASSERT_EQ(f.open(), 0);
    }
    EXPECT_EQ(plnCodes(f, 1), c.byNomer);
    EXPECT_EQ(f.records(), c.byNomer.size());
    // The rebuilt keys take further changes and keep them.
    f.rec = pln(7, "00");
    ASSERT_EQ(f.add(), 0);
    f.close();
    ASSERT_EQ(f.open(), 0);
    EXPECT_EQ(plnCodes(f, 1).front(), 7);
    EXPECT_EQ(plnCodes(f, 0).back(), 7);
  }
}

TEST_F(Dat21Test, GarbageAndTruncatedDataFilesAreRefusedAndLeftAsTheyAre) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1, "one"), prt(2, "two")});
  const std::string good = readAll(path("prt.dat"));
  const std::string keys = readAll(path("prt.K01"));
  std::string noise(3000, '\0');
  std::uint32_t seed = 12345;
  for (char& c : noise) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  auto flipped = [&](std::initializer_list<std::size_t> at) {
    std::string b = good;
    for (std::size_t i : at) b[i] ^= 0x40;
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
    int code;
  };
  const Case cases[] = {
      {"empty file", "", kInvalidDataFile},
      {"noise", noise, kInvalidDataFile},
      {"zeros", std::string(4096, '\0'), kInvalidDataFile},
      {"header cut short", good.substr(0, 700), kInvalidDataFile},
      {"last record cut short", good.substr(0, good.size() - 10), kInvalidDataFile},
      {"both header copies damaged", flipped({100, kHeaderCopySize + 100}), kInvalidDataFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeAll(path("prt.dat"), c.bytes);
    writeAll(path("prt.K01"), keys);
    Opened<PrtRec> f(prtDecl(), path("prt.dat"));
    EXPECT_EQ(f.open(), c.code);
    EXPECT_EQ(f.build(), c.code);
    EXPECT_EQ(readAll(path("prt.dat")), c.bytes);
    EXPECT_EQ(readAll(path("prt.K01")), keys);
  }

  // A header of another record length, and a slot with an unknown status.
  writeAll(path("prt.dat"), good);
  editHeader(path("prt.dat"), [](DataHeader& h) { h.recordSize = 100; });
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  EXPECT_EQ(f.open(), kInvalidRecordDeclaration);
  std::string bad = good;
  bad[kHeaderSize] = 'X';
  writeAll(path("prt.dat"), bad);
  ASSERT_EQ(f.open(), 0);
  f.set();
  EXPECT_FALSE(f.eof());  // a slot that cannot be read is not the end of the file
  EXPECT_EQ(f.next(), kInvalidDataFile);
  EXPECT_FALSE(f.eof());
  f.rec.KOD = 1;
  EXPECT_EQ(f.get(0), kInvalidDataFile);
  f.close();
  EXPECT_EQ(f.build(), kInvalidDataFile);
  EXPECT_EQ(readAll(path("prt.dat")), bad);
}

TEST_F(Dat21Test, TornNewestHeaderFallsBackToThePreviousCommit) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1), prt(2), prt(3)});
  std::string bytes = readAll(path("prt.dat"));
  DataHeader a, b;
  ASSERT_TRUE(decodeHeader(reinterpret_cast<const unsigned char*>(bytes.data()), a));
  ASSERT_TRUE(decodeHeader(reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderCopySize, b));
  bytes[(a.generation > b.generation ? 0 : kHeaderCopySize) + 40] ^= 0x01;
  writeAll(path("prt.dat"), bytes);

  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(f.records(), 2u);
  EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 2}));
  f.rec = prt(3);
  ASSERT_EQ(f.add(), 0);
  f.close();
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 2, 3}));
}

TEST_F(Dat21Test, MissingFileAndMissingFolder) {
  Opened<PrtRec> missing(prtDecl(), path("prt.dat"));
  EXPECT_EQ(missing.open(), kFileNotFound);
  EXPECT_EQ(missing.build(), kFileNotFound);

  Opened<PrtRec> f(prtDecl(), path("no/such/folder/prt.dat"));
  EXPECT_EQ(f.create(), kFileNotFound);
  EXPECT_EQ(lastError().fileCode, ENOENT);
  EXPECT_EQ(f.open(), kFileNotFound);
  EXPECT_FALSE(fs::exists(path("no")));
}

}  // namespace
}  // namespace zelk::dat21test
