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

  // A header of another record length.
  writeAll(path("prt.dat"), good);
  editHeader(path("prt.dat"), [](DataHeader& h) { h.recordSize = 100; });
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  EXPECT_EQ(f.open(), kInvalidRecordDeclaration);
}

// A rebuild keeps every record it can read and says what it dropped: a record cut
// short at the end, one whose status byte is damaged. Reading such a file asks for
// the rebuild (46).
TEST_F(Dat21Test, ARebuildSalvagesEveryRecordItCanRead) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1, "one"), prt(2, "two"), prt(3, "three")});
  const std::string good = readAll(path("prt.dat"));
  const std::string keys = readAll(path("prt.K01"));
  std::string badStatus = good;
  badStatus[slotOffset(2, sizeof(PrtRec))] = 'X';
  struct Case {
    const char* what;
    std::string bytes;
    int open, read;  // what open and then reading through answer
    std::vector<int> kept;
  } cases[] = {
      {"last record cut short", good.substr(0, good.size() - 10), kKeysMustBeRebuilt, 0, {1, 2}},
      {"a damaged status byte", badStatus, 0, kKeysMustBeRebuilt, {1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeAll(path("prt.dat"), c.bytes);
    writeAll(path("prt.K01"), keys);
    Opened<PrtRec> f(prtDecl(), path("prt.dat"));
    ASSERT_EQ(f.open(), c.open);
    if (c.open == 0) {
      // In record and in key order, reading records or only reaching them.
      for (int key : {-1, 0})
        for (bool skip : {false, true}) {
          if (key < 0) f.set();
          else f.set(key);
          while ((skip ? f.skip() : f.next()) == 0) {
          }
          EXPECT_EQ(lastError().code, c.read) << key << skip;
          EXPECT_FALSE(f.eof());  // a slot that cannot be read is not the end of the file
        }
      f.close();
    }
    ASSERT_EQ(f.build(), 0);
    EXPECT_EQ(lastError().fileText, "1 record(s) could not be read and were dropped");
    ASSERT_EQ(f.open(), 0);
    EXPECT_EQ(prtCodes(f), c.kept);
    f.rec = prt(4, "four");  // the file takes new records where the dropped one was
    ASSERT_EQ(f.add(), 0);
    f.close();
    ASSERT_EQ(f.open(), 0);
    std::vector<int> after = c.kept;
    after.push_back(4);
    EXPECT_EQ(prtCodes(f), after);
  }
}

// One damaged byte in the newer header copy: the records the older copy does not
// count are kept when they are intact, else the rebuild says the last change may be
// lost.
TEST_F(Dat21Test, ADamagedNewerHeaderCopyLosesNoIntactRecord) {
  auto damageNewer = [&] {
    std::string bytes = readAll(path("prt.dat"));
    DataHeader a, b;
    ASSERT_TRUE(decodeHeader(reinterpret_cast<const unsigned char*>(bytes.data()), a));
    ASSERT_TRUE(decodeHeader(reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderCopySize, b));
    bytes[(a.generation > b.generation ? 0 : kHeaderCopySize) + 40] ^= 0x01;
    writeAll(path("prt.dat"), bytes);
  };
  // The last change an add: the record is kept.
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1), prt(2), prt(3)});
  damageNewer();
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(), kKeysMustBeRebuilt);
  ASSERT_EQ(f.build(), 0);
  EXPECT_EQ(lastError().fileText, "");
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 2, 3}));
  f.rec = prt(4);
  ASSERT_EQ(f.add(), 0);
  f.close();
  ASSERT_EQ(f.open(), 0);
  EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 2, 3, 4}));

  // The last change a delete: the user is told.
  f.rec = prt(4);
  ASSERT_EQ(f.get(0), 0);
  ASSERT_EQ(f.erase(), 0);
  f.close();
  damageNewer();
  ASSERT_EQ(f.open(), kKeysMustBeRebuilt);
  ASSERT_EQ(f.build(), 0);
  EXPECT_EQ(lastError().fileText, "a header copy was damaged: the last change may be lost");
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
