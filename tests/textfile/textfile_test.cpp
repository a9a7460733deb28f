#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"
#include "platform/storage/text/textfile.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace mode = storage::mode;
using storage::DriverKind;
using storage::FieldDesc;
using storage::FileDecl;
using storage::TypedFile;

constexpr std::uint8_t kImportMode = mode::kReadWrite | mode::kDenyWrite;  // as the importers open it

struct Line255 {
  Text<255> BIX;
};
struct Line1875 {
  Text<1875> BIX;
};
const FieldDesc k255Fields[] = {ZELK_FIELD(Line255, BIX, "")};
const FieldDesc k1875Fields[] = {ZELK_FIELD(Line1875, BIX, "")};
const FileDecl k255{"VIX", "VIX", DriverKind::Text, sizeof(Line255), k255Fields, {}, false, false, true, ""};
const FileDecl k1875{"VIX", "VIX", DriverKind::Text, sizeof(Line1875), k1875Fields, {}, false, false, true, ""};
const FileDecl k255Ansi{"VIX", "VIX", DriverKind::Text, sizeof(Line255), k255Fields, {}, false, false, false, ""};

class TextFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { storage::registerDriver(DriverKind::Text, storage::textfile::driver()); }

  template <class R>
  std::unique_ptr<TypedFile<R>> statement(const FileDecl& decl, const std::string& bytes,
                                          const std::string& name = "vipiska.txt") {
    writeAll(dir / name, bytes);
    auto f = std::make_unique<TypedFile<R>>(decl);
    std::string path = dir / name;
    f->setNameSource([path] { return path; });
    EXPECT_EQ(f->open(kImportMode), 0);
    return f;
  }

  TempDir dir;
};

// What one read gives: its error code and the record after it (without trailing blanks).
struct Read {
  int code;
  std::string record;
};

struct Case {
  const char* what;
  std::string bytes;
  std::vector<Read> reads;
};

constexpr int kEnd = storage::kRecordNotAvailable;
const std::string kBefore = "previous contents";  // the record before the first read

std::string chars(std::size_t n, char from = 'a') {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (from - 'a' + i) % 26);
  return s;
}

TEST_F(TextFileTest, ReadingRules) {
  const std::string longLf = chars(100) + "\n" + chars(100) + "\n" + chars(100) + "\n";
  const Case cases[] = {
      {"lines end at CR LF", "abc\r\ndef\r\n", {{0, "abc"}, {0, "def"}, {kEnd, "def"}, {kEnd, "def"}}},
      {"the last line needs no CR LF", "abc\r\ndef", {{0, "abc"}, {0, "def"}, {kEnd, "def"}}},
      {"a blank line is a line", "a\r\n\r\nb\r\n", {{0, "a"}, {0, ""}, {0, "b"}, {kEnd, "b"}}},
      {"a lone LF is a character", "a\nb\nc", {{0, "a\nb\nc"}, {kEnd, "a\nb\nc"}}},
      {"a lone CR is a character", "a\rb\r\r\nc", {{0, "a\rb\r"}, {0, "c"}, {kEnd, "c"}}},
      {"LF line ends make one long line, cut", longLf, {{0, longLf.substr(0, 255)}, {kEnd, longLf.substr(0, 255)}}},
      {"an empty file", "", {{kEnd, kBefore}, {kEnd, kBefore}}},
      {"Ctrl-Z at the start", "\x1a" "abc\r\n", {{kEnd, ""}, {kEnd, ""}}},
      {"Ctrl-Z inside a line", "ab\x1a" "cd\r\nef\r\n", {{0, "ab"}, {kEnd, ""}, {kEnd, ""}}},
      {"Ctrl-Z after CR LF", "ab\r\n\x1a", {{0, "ab"}, {kEnd, ""}, {kEnd, ""}}},
      {"Ctrl-Z inside the cut rest", chars(300) + "\x1a" "x\r\nyz", {{0, chars(255)}, {kEnd, ""}}},
      {"a TAB goes to the next multiple of 8", "\tx\r\nab\tc\r\n12345678\tx",
       {{0, "        x"}, {0, "ab      c"}, {0, "12345678        x"}}},
      {"a TAB at column 250 of 255", chars(250) + "\tzz\r\nnext", {{0, chars(250)}, {0, "next"}}},
      {"a TAB in the cut rest", chars(255) + "\tzz\r\nnext", {{0, chars(255)}, {0, "next"}}},
      {"exactly 255 characters", chars(255) + "\r\nx", {{0, chars(255)}, {0, "x"}}},
      {"256 characters", chars(256) + "\r\nx", {{0, chars(255)}, {0, "x"}}},
      {"the rest is skipped up to its CR LF", chars(260) + "\r\r\nx", {{0, chars(255)}, {0, "x"}}},
      {"866 letters", cp::ansiToOem(ansi("Приход: Ёлка, ёж")), {{0, ansi("Приход: Ёлка, ёж")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto f = statement<Line255>(k255, c.bytes);
    f->rec.BIX = kBefore;
    ASSERT_EQ(f->set(), 0);
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      SCOPED_TRACE("read " + std::to_string(i + 1));
      EXPECT_EQ(f->next(), c.reads[i].code);
      EXPECT_EQ(f->rec.BIX.str(), c.reads[i].record);
    }
  }
}

TEST_F(TextFileTest, TheLongerRecordOfTheSecondImporter) {
  auto f = statement<Line1875>(k1875, chars(2000) + "\r\n\t" + chars(1874) + "\r\nlast");
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), chars(1875));
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), "        " + chars(1867));  // the TAB's blanks count
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), "last");
  EXPECT_EQ(f->next(), kEnd);
}

TEST_F(TextFileTest, WithoutTheDosCodePageBytesStayAsTheyAre) {
  const std::string oem = cp::ansiToOem(ansi("Платёж"));
  auto f = statement<Line255>(k255Ansi, oem);
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), oem);
}

TEST_F(TextFileTest, ABigFileIsStreamedAcrossItsBuffer) {
  // Lines whose CR LF falls on every side of the read buffer's edges.
  std::string bytes;
  std::vector<std::string> lines;
  for (int i = 0; bytes.size() < 300 * 1024; ++i) {
    std::string line = chars(static_cast<std::size_t>(i * 37 % 300), static_cast<char>('a' + i % 7));
    lines.push_back(line.substr(0, 255));
    bytes += line + "\r\n";
  }
  std::string edge = chars(65535 - bytes.size() % 65536);  // ends right before a 64 KB edge
  bytes += edge + "\r\n" + "after";
  lines.push_back(edge.substr(0, 255));
  lines.push_back("after");
  auto f = statement<Line255>(k255, bytes);
  for (int pass = 0; pass < 2; ++pass) {  // SET goes back to the first line
    ASSERT_EQ(f->set(), 0);
    std::size_t n = 0;
    while (f->next() == 0) {
      ASSERT_LT(n, lines.size());
      ASSERT_EQ(f->rec.BIX.str(), lines[n]) << "line " << n;
      ++n;
    }
    EXPECT_EQ(n, lines.size());
    EXPECT_TRUE(f->eof());
  }
}

// Every read of a file through the driver: code, error left, eof, position and the
// whole record.
std::vector<std::string> readThrough(const storage::Driver& d, const FileDecl& decl, const std::string& name) {
  std::vector<std::string> out;
  storage::registerDriver(DriverKind::Text, d);
  std::string rec(decl.recordSize, 'x');
  storage::File f(decl, rec.data());
  f.setNameSource([name] { return name; });
  EXPECT_EQ(f.open(kImportMode), 0);
  for (int failed = 0; f.isOpen() && failed < 2;) {
    EXPECT_NE(f.put(), 0);  // a failed statement: the read after it leaves its own error
    const int code = f.next();
    failed = code ? failed + 1 : 0;
    out.push_back(std::to_string(code) + " left " + std::to_string(storage::lastError().code) + " " +
                  storage::lastError().text + " eof " + std::to_string(f.eof()) + " at " + f.position() + " [" +
                  rec + "]");
  }
  storage::registerDriver(DriverKind::Text, storage::textfile::driver());
  return out;
}

TEST_F(TextFileTest, OrdinaryLinesReadAsTheGeneralRulesReadThem) {
  constexpr std::size_t kEdge = 64 * 1024;  // the read buffer's size
  const std::string cyr = cp::ansiToOem(ansi("Ёлка ёж Платёж №5 ")) + "\xf0\xf1\xb0\xdb\xff";
  std::string mixed;
  for (int i = 0; i < 4; ++i) mixed += cyr;
  struct Kind {
    const char* what;
    std::string line;
  };
  const Kind kinds[] = {
      {"an empty line", "\r\n"},
      {"a short line", "abc\r\n"},
      {"sixteen characters", chars(16) + "\r\n"},
      {"866 letters", cyr + "\r\n"},
      {"a long 866 line", mixed + mixed + mixed + "\r\n"},
      {"250 characters", chars(250) + "\r\n"},
      {"254 866 characters", (mixed + mixed + mixed + mixed).substr(0, 254) + "\r\n"},
      {"255 characters", chars(255) + "\r\n"},
      {"256 characters", chars(256) + "\r\n"},
      {"2000 characters", chars(2000) + "\r\n"},
      {"a TAB", "ab\tc\r\n"},
      {"a lone CR", "ab\rc\r\n"},
      {"CR CR LF", "ab\r\r\n"},
      {"a lone LF", "ab\ncd\r\n"},
      {"Ctrl-Z inside", "ab\x1a" "cd\r\n"},
      {"Ctrl-Z after the line", "ab\r\n\x1a"},
      {"no line end", "abc"},
      {"a CR at the end", "abc\r"},
  };
  const FileDecl* decls[] = {&k255, &k255Ansi, &k1875};
  const std::size_t shifts[] = {0, 1, 2, 3, 4, 5, 15, 16, 17, 30, 260};
  for (const Kind& k : kinds) {
    for (std::size_t shift : shifts) {
      // Ordinary lines up to kEdge - shift, then the line, then two more.
      std::string bytes;
      for (int i = 0; bytes.size() + 40 < kEdge - shift; ++i) bytes += chars(static_cast<std::size_t>(i % 37)) + "\r\n";
      bytes += chars(kEdge - shift - bytes.size() - 2) + "\r\n";
      bytes += k.line + cyr + "\r\nlast";
      writeAll(dir / "edge.txt", bytes);
      for (const FileDecl* decl : decls) {
        SCOPED_TRACE(std::string(k.what) + ", " + std::to_string(shift) + " before the edge, field " +
                     std::to_string(decl->recordSize) + (decl->oem ? " 866" : ""));
        const auto quick = readThrough(storage::textfile::driver(), *decl, dir / "edge.txt");
        const auto general = readThrough(storage::textfile::longWayDriver(), *decl, dir / "edge.txt");
        ASSERT_EQ(quick.size(), general.size());
        for (std::size_t i = 0; i < quick.size(); ++i) ASSERT_EQ(quick[i], general[i]) << "read " << i + 1;
      }
    }
  }
}

TEST_F(TextFileTest, EofPositionAndReset) {
  auto f = statement<Line255>(k255, "one\r\ntwo\r\nthree\x1a");
  EXPECT_FALSE(f->eof());
  ASSERT_EQ(f->next(), 0);
  ASSERT_EQ(f->next(), 0);
  const std::string at = f->position();
  EXPECT_EQ(at, "5");
  EXPECT_FALSE(f->eof());
  ASSERT_EQ(f->next(), 0);
  EXPECT_TRUE(f->eof());  // only the Ctrl-Z is left
  ASSERT_EQ(f->reset(at), 0);
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), "two");
  // REGET: the line at the position, then on from it; past the end and a position
  // that is no number 33.
  ASSERT_EQ(f->reget("0"), 0);
  EXPECT_EQ(f->rec.BIX.str(), "one");
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.BIX.str(), "two");
  EXPECT_EQ(f->reget("99"), storage::kRecordNotAvailable);
  EXPECT_EQ(f->reget("x"), storage::kRecordNotAvailable);
}

TEST_F(TextFileTest, StatementErrors) {
  auto f = statement<Line255>(k255, "line\r\n");
  EXPECT_EQ(f->add(), storage::kNotSupported);
  EXPECT_EQ(f->put(), storage::kNotSupported);
  EXPECT_EQ(f->erase(), storage::kNotSupported);
  EXPECT_EQ(f->previous(), storage::kNotSupported);
  EXPECT_EQ(f->get(1), storage::kNotSupported);

  // the importers deny others writing: a second open for writing is refused
  TypedFile<Line255> other(k255);
  std::string path = dir / "vipiska.txt";
  other.setNameSource([path] { return path; });
  EXPECT_EQ(other.open(mode::kReadWrite | mode::kDenyNone), storage::kAccessDenied);
  EXPECT_EQ(other.open(mode::kRead | mode::kDenyNone), 0);
  EXPECT_EQ(other.close(), 0);

  TypedFile<Line255> missing(k255);
  std::string nowhere = dir / "nowhere.txt";
  missing.setNameSource([nowhere] { return nowhere; });
  EXPECT_EQ(missing.open(kImportMode), storage::kFileNotFound);

  TypedFile<Line255> folder(k255);
  std::string d = dir.path().string();
  folder.setNameSource([d] { return d; });
  EXPECT_EQ(folder.open(mode::kRead), storage::kAccessDenied);
}

TEST_F(TextFileTest, AReadOnlyFileDoesNotOpenForReadingAndWriting) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  writeAll(dir / "ro.txt", "line\r\n");
  ::chmod((dir / "ro.txt").c_str(), 0444);
  TypedFile<Line255> f(k255);
  std::string path = dir / "ro.txt";
  f.setNameSource([path] { return path; });
  EXPECT_EQ(f.open(kImportMode), storage::kAccessDenied);
  EXPECT_EQ(f.open(mode::kRead | mode::kDenyWrite), 0);
  ::chmod(path.c_str(), 0);
  TypedFile<Line255> g(k255);
  g.setNameSource([path] { return path; });
  EXPECT_EQ(g.open(mode::kRead | mode::kDenyNone), storage::kAccessDenied);
}

TEST_F(TextFileTest, TheNameIsFoundWithBackslashesAndInAnyCase) {
  ::mkdir((dir / "Bank").c_str(), 0755);
  writeAll(dir / "Bank/Vipiska.TXT", "found\r\n");
  TypedFile<Line255> f(k255);
  std::string name = dir.path().string() + "\\bank\\VIPISKA.txt";
  f.setNameSource([name] { return name; });
  ASSERT_EQ(f.open(kImportMode), 0);
  ASSERT_EQ(f.next(), 0);
  EXPECT_EQ(f.rec.BIX.str(), "found");
}

}  // namespace
}  // namespace zelk::test
