#include "support/files.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "dbase/test_records.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/storage/dbase/dbf_codec.h"
#include "platform/storage/file.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace mode = storage::mode;
using storage::File;
using storage::TypedFile;

constexpr std::uint8_t kShared = mode::kReadWrite | mode::kDenyNone;

std::string left(std::string_view s, std::size_t w) {
  std::string r(s.substr(0, w));
  r.resize(w, ' ');
  return r;
}
std::string right(std::string_view s, std::size_t w) { return std::string(w - s.size(), ' ') + std::string(s); }

std::int32_t day(int y, int m, int d) { return static_cast<std::int32_t>(date::dayNumber(y, m, d)); }

std::uint32_t headerCount(const std::string& bytes) {
  auto u = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
  return u(4) | u(5) << 8 | u(6) << 16 | u(7) << 24;
}

// Runs a command and returns what it printed.
std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

class DbaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { storage::registerDriver(DriverKind::Dbase, storage::dbase::driver()); }

  template <class R>
  std::unique_ptr<TypedFile<R>> file(const FileDecl& decl, const std::string& name) {
    auto f = std::make_unique<TypedFile<R>>(decl);
    std::string path = dir / name;
    f->setNameSource([path] { return path; });
    return f;
  }

  // A new postings table, open for reading and writing with others allowed in.
  std::unique_ptr<TypedFile<Posting>> postings(const std::string& name = "dbi.dbf", bool create = true) {
    auto f = file<Posting>(kPostings, name);
    if (create) {
      EXPECT_EQ(f->create(), 0);
    }
    EXPECT_EQ(f->open(kShared), 0);
    return f;
  }

  static void addPosting(TypedFile<Posting>& f, double nnoper, std::string_view nameoper = "") {
    f.clearBuffer();
    f.rec.NNOPER = nnoper;
    f.rec.NAMEOPER = nameoper;
    ASSERT_EQ(f.add(), 0);
  }

  // The NNOPER values of the live records, in record order.
  static std::vector<int> live(TypedFile<Posting>& f) {
    std::vector<int> r;
    EXPECT_EQ(f.set(), 0);
    while (f.next() == 0) r.push_back(static_cast<int>(f.rec.NNOPER));
    EXPECT_EQ(storage::errorCode(), storage::kRecordNotAvailable);
    return r;
  }

  // The importers' emptying pass: EOF before each read, stop at the first failed delete.
  static int emptyPass(File& f) {
    int deleted = 0;
    f.set();
    while (!f.eof()) {
      f.next();
      if (f.erase() != 0) break;
      ++deleted;
    }
    return deleted;
  }

  TempDir dir;
};

// --- values --------------------------------------------------------------------------

TEST(DbaseCodec, NumbersAreFormattedToTheColumn) {
  struct Case {
    double v;
    std::size_t width;
    unsigned decimals;
    const char* text;
  } cases[] = {
      {42.125, 19, 3, "             42.125"},
      {42.125, 7, 2, "  42.13"},  // half away from zero, on the value's own digits
      {0.145, 6, 2, "  0.15"},
      {-0.004, 7, 2, "   0.00"},  // no "-0.00"
      {-250.5, 10, 1, "    -250.5"},
      {2.5, 3, 0, "  3"},
      {-2.5, 3, 0, " -3"},
      {9.995, 5, 2, "10.00"},
      {123, 19, 3, "            123.000"},
      {1234567, 7, 0, "1234567"},
      {12345678, 7, 0, "*******"},  // too wide for the column
      {-1234567, 7, 0, "*******"},
      {99.995, 5, 2, "*****"},
      {1e20, 19, 3, "*******************"},
      {std::numeric_limits<double>::quiet_NaN(), 4, 0, "****"},
      {std::numeric_limits<double>::infinity(), 4, 0, "****"},
      {0, 4, 0, "   0"},
      {1e-300, 6, 2, "  0.00"},
      {0.1, 5, 2, " 0.10"},
      {-1000.25, 9, 2, " -1000.25"},
      {0.29, 4, 2, "0.29"},
      {1.005, 5, 2, " 1.01"},  // 1.00499999... in binary, 1.005 in its own digits
  };
  for (const Case& c : cases) {
    std::string out(c.width, '?');
    storage::dbase::formatNumber(out.data(), c.width, c.decimals, c.v);
    EXPECT_EQ(out, c.text) << c.v << " in N(" << c.width << "." << c.decimals << ")";
  }
  // Every amount in kopecks reads back as written.
  for (int k = -100000; k <= 100000; ++k) {
    std::string out(10, '?');
    storage::dbase::formatNumber(out.data(), out.size(), 2, k / 100.0);
    const int whole = std::abs(k) / 100, cents = std::abs(k) % 100;
    std::string want = (k < 0 ? "-" : "") + std::to_string(whole) + (cents < 10 ? ".0" : ".") + std::to_string(cents);
    want.insert(0, 10 - want.size(), ' ');
    ASSERT_EQ(out, want) << k;
  }
}

// Values with up to 15 digits in all, every sign, decimals and width: the digits printf
// gives them, or stars when they do not fit.
TEST(DbaseCodec, ShortDecimalsAreFormattedAsPrintfFormatsThem) {
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 200000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const unsigned decimals = static_cast<unsigned>(x % 9);
    const std::uint64_t units = (x >> 8) % 1000000000000000ull / (std::uint64_t{1} << (x >> 58) % 50);
    double v = static_cast<double>(units);
    for (unsigned d = 0; d < decimals; ++d) v /= 10;
    if ((x >> 4) % 2) v = -v;
    const std::size_t width = 1 + (x >> 12) % 24;
    char want[64];
    const int n = std::snprintf(want, sizeof want, "%*.*f", static_cast<int>(width), static_cast<int>(decimals),
                                units ? v : 0.0);  // no "-0"
    const std::string expected = static_cast<std::size_t>(n) > width || decimals >= width ? std::string(width, '*') : want;
    std::string out(width, '?');
    storage::dbase::formatNumber(out.data(), width, decimals, v);
    ASSERT_EQ(out, expected) << v << " in N(" << width << "." << decimals << ")";
  }
}

TEST(DbaseCodec, NumbersAreReadWithoutTheLocale) {
  std::setlocale(LC_ALL, "");  // what a Qt program does; must change nothing
  struct Case {
    std::string_view text;
    double v;
  } cases[] = {
      {"   42.125", 42.125}, {"", 0},         {"      ", 0},     {"*******", 0},  {"  -1.5", -1.5},
      {"42,5", 42.5},       {"+7", 7},        {"abc", 0},        {"1e3", 1000},   {std::string_view("\0\0 3", 4), 3},
      {"1e999", 0},         {"  12 34", 12},  {"-", 0},          {"nan", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(storage::dbase::parseNumber(c.text), c.v) << "'" << c.text << "'";
  std::setlocale(LC_ALL, "C");
}

// Plain decimals of every length read as the full conversion reads them, to the last bit.
TEST(DbaseCodec, PlainDecimalsReadAsTheFullConversion) {
  auto full = [](std::string t) {
    std::replace(t.begin(), t.end(), ',', '.');
    double v = 0;
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
  };
  std::vector<std::string> texts = {"9007199254740992", "9007199254740993", "90071992547409.93", "0.1", "0.3",
                                    "123456789012345.6", "1.0000000000000000000001", "0.00000000000000000000001",
                                    "-0", "-0.000", "00000000000000000000000001.5", "12345678.901234567"};
  std::uint64_t x = 88172645463325252ull;  // xorshift: digits of every length, points anywhere
  for (int i = 0; i < 20000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    std::string t = std::to_string(x % 100000000000000000ull).substr(0, 1 + x % 17);
    if (const std::size_t at = (x >> 20) % (t.size() + 1); at < t.size()) t.insert(at, (x >> 30) % 2 ? "." : ",");
    if ((x >> 40) % 3 == 0) t.insert(0, "-");
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    const double got = storage::dbase::parseNumber(t), want = full(t);
    ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "'" << t << "' " << got << " " << want;
  }
}

TEST(DbaseCodec, DatesAreYearMonthDay) {
  struct Case {
    const char* text;
    std::int32_t day;
  } cases[] = {
      {"20051231", day(2005, 12, 31)}, {"18010101", kFirstDay}, {"99991231", kLastDay},
      {"        ", 0},                 {"00000000", 0},         {"20050230", 0},
      {"18001231", 0},                 {"2005123 ", 0},         {"20051300", 0},
  };
  for (int round = 0; round < 2; ++round)  // each date twice in a row, then after others
    for (const Case& c : cases)
      for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(storage::dbase::parseDate(c.text), c.day) << c.text;
        if (c.day) {
          char out[8];
          storage::dbase::formatDate(out, 8, c.day);
          EXPECT_EQ(std::string(out, 8), c.text);
        }
      }
  char out[8];
  storage::dbase::formatDate(out, 8, 0);
  EXPECT_EQ(std::string(out, 8), "        ");
}

TEST_F(DbaseTest, EveryTypeRoundTripsAndIsStoredAsTheColumnSays) {
  auto f = file<AllTypes>(kAllTypes, "all.dbf");
  ASSERT_EQ(f->create(), 0);
  ASSERT_EQ(f->open(kShared), 0);
  const std::string name = ansi("Счёт 1");
  f->rec.NAME = name;
  f->rec.AMOUNT = 1234.565;
  f->rec.RATE = 0.000125;
  f->rec.PLAIN = -42.1255;
  f->rec.SMALL = -32768;
  f->rec.BIG = 2147483647;
  f->rec.BYTE = 255;
  f->rec.PACKED = -99999999999;
  f->rec.DAY = day(2005, 12, 31);
  f->rec.FLAG = 1;
  f->rec.ASTEXT = 0.1;
  ASSERT_EQ(f->add(), 0);
  f->clearBuffer();
  ASSERT_EQ(f->add(), 0);
  ASSERT_EQ(f->close(), 0);

  const std::string bytes = readAll(dir / "all.dbf");
  const std::size_t header = 32 + 32 * 11 + 1, length = 110;
  ASSERT_EQ(bytes.size(), header + 2 * length + 1);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x26);
  EXPECT_EQ(bytes[header - 1], 0x0D);
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_EQ(headerCount(bytes), 2u);
  std::string first = " " + left(cp::ansiToOem(name), 12) + right("1234.57", 12) + right("0.000125", 15) +
                      right("-42.126", 19) + right("-32768", 6) + right("2147483647", 11) + right("255", 3) +
                      right("-99999999999", 12) + "20051231" + "T" + left("0.1", 10);
  std::string cleared = " " + left("", 12) + right("0.00", 12) + right("0.000000", 15) + right("0.000", 19) +
                        right("0", 6) + right("0", 11) + right("0", 3) + right("0", 12) + left("", 8) + "F" +
                        left("0", 10);
  EXPECT_EQ(bytes.substr(header, length), first);
  EXPECT_EQ(bytes.substr(header + length, length), cleared);

  ASSERT_EQ(f->open(mode::kRead | mode::kDenyNone), 0);
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.NAME, name);
  EXPECT_EQ(static_cast<double>(f->rec.AMOUNT), 1234.57);
  EXPECT_EQ(static_cast<double>(f->rec.RATE), 0.000125);
  EXPECT_EQ(static_cast<double>(f->rec.PLAIN), -42.126);
  EXPECT_EQ(f->rec.SMALL, -32768);
  EXPECT_EQ(f->rec.BIG, 2147483647);
  EXPECT_EQ(f->rec.BYTE, 255);
  EXPECT_EQ(static_cast<std::int64_t>(f->rec.PACKED), -99999999999);
  EXPECT_EQ(f->rec.DAY.day(), day(2005, 12, 31));
  EXPECT_EQ(f->rec.FLAG, 1);
  EXPECT_EQ(static_cast<double>(f->rec.ASTEXT), 0.1);
  ASSERT_EQ(f->next(), 0);
  EXPECT_TRUE(f->rec.NAME.blank());
  EXPECT_EQ(f->rec.DAY.day(), 0);  // blank is no date
  EXPECT_EQ(f->rec.FLAG, 0);
  EXPECT_EQ(f->next(), storage::kRecordNotAvailable);
}

TEST_F(DbaseTest, CyrillicIsStoredInTheDosCodePage) {
  auto f = postings();
  const std::string text = ansi("Оплата по счёту 5, ООО Ромашка");
  addPosting(*f, 1, text);
  ASSERT_EQ(f->close(), 0);

  const std::string bytes = readAll(dir / "dbi.dbf");
  const std::size_t header = 32 + 32 * 24 + 1;
  const std::size_t nameoper = 1 + 7 + 2 + 8 + 6 + 10 + 6 + 10 + 6 + 19;  // the column's place in the record
  EXPECT_EQ(bytes.substr(header + nameoper, 50), left(cp::ansiToOem(text), 50));
  EXPECT_EQ(static_cast<unsigned char>(bytes[header + nameoper]), 0x8E);  // "О" in 866

  ASSERT_EQ(f->open(kShared), 0);
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.NAMEOPER, text);
}

// --- record order, delete, add -------------------------------------------------------

TEST_F(DbaseTest, DeletedRecordsAreSkippedAndAddGoesAfterThem) {
  auto f = postings();
  for (int i = 1; i <= 4; ++i) addPosting(*f, i);
  f->set();
  ASSERT_EQ(f->next(), 0);
  ASSERT_EQ(f->next(), 0);
  ASSERT_EQ(f->erase(), 0);  // 2
  EXPECT_EQ(f->erase(), storage::kRecordNotAvailable);  // no current record any more
  ASSERT_EQ(f->next(), 0);
  ASSERT_EQ(f->next(), 0);
  ASSERT_EQ(f->erase(), 0);  // 4, the last one
  EXPECT_EQ(live(*f), (std::vector<int>{1, 3}));

  addPosting(*f, 5);
  EXPECT_EQ(live(*f), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(f->records(), 5u);  // deleted ones included

  // backwards too
  std::vector<int> back;
  f->set();
  while (f->previous() == 0) back.push_back(static_cast<int>(f->rec.NNOPER));
  EXPECT_EQ(back, (std::vector<int>{5, 3, 1}));

  const std::string bytes = readAll(dir / "dbi.dbf");
  const std::size_t header = 32 + 32 * 24 + 1, length = (bytes.size() - header - 1) / 5;
  std::string flags;
  for (int i = 0; i < 5; ++i) flags += bytes[header + i * length];
  EXPECT_EQ(flags, " * * ");
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(DbaseTest, EmptiedAndRefilledAgainAndAgain) {
  auto f = postings();
  std::uint64_t slots = 0;
  for (int run = 1; run <= 3; ++run) {
    const int n = 2 + run;
    EXPECT_EQ(emptyPass(*f), run == 1 ? 0 : n - 1);
    for (int i = 1; i <= n; ++i) addPosting(*f, run * 100 + i);
    slots += n;
    std::vector<int> want;
    for (int i = 1; i <= n; ++i) want.push_back(run * 100 + i);
    EXPECT_EQ(live(*f), want);
    EXPECT_EQ(f->records(), slots);
  }
  EXPECT_EQ(emptyPass(*f), 5);
  EXPECT_TRUE(live(*f).empty());
  EXPECT_TRUE(f->eof());
  ASSERT_EQ(f->close(), 0);
  const std::string bytes = readAll(dir / "dbi.dbf");
  EXPECT_EQ(headerCount(bytes), slots);  // never packed
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(DbaseTest, ReadAheadGivesTheSameRecords) {
  auto f = postings();
  for (int i = 0; i < 1000; ++i) addPosting(*f, i);
  f->set();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(f->next(), 0);
    if (i % 3 == 0 || (i > 400 && i < 800)) {
      ASSERT_EQ(f->erase(), 0);
    }
  }
  std::vector<int> want;
  for (int i = 0; i < 1000; ++i)
    if (!(i % 3 == 0 || (i > 400 && i < 800))) want.push_back(i);

  std::string reply;
  EXPECT_EQ(f->send("QUICKSCAN=on", &reply), 0);
  EXPECT_EQ(reply, "on");
  EXPECT_EQ(live(*f), want);
  std::vector<int> back;
  f->set();
  while (f->previous() == 0) back.push_back(static_cast<int>(f->rec.NNOPER));
  EXPECT_EQ(back, std::vector<int>(want.rbegin(), want.rend()));
  EXPECT_EQ(f->send("quickscan = OFF", &reply), 0);
  EXPECT_EQ(reply, "off");
  EXPECT_EQ(f->send("RECOVER=10", &reply), 0);
  EXPECT_EQ(live(*f), want);
}

TEST_F(DbaseTest, PositionResetAndPut) {
  auto f = postings();
  for (int i = 1; i <= 3; ++i) addPosting(*f, i);
  f->set();
  f->next();
  f->next();
  const std::string at = f->position();
  EXPECT_EQ(at, "2");
  f->rec.SUMMA = 99.5;
  ASSERT_EQ(f->put(), 0);
  f->next();
  ASSERT_EQ(f->reset(at), 0);
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.NNOPER, 2.0);
  EXPECT_EQ(f->rec.SUMMA, 99.5);
  EXPECT_EQ(f->reset("x"), storage::kRecordNotAvailable);
}

// REGET gives the very record at a position or 33, never the next live one: another
// station's delete (also under its lock, written back), a position past the end.
TEST_F(DbaseTest, RegetGivesTheRecordAtThePositionOrFails) {
  auto a = postings();
  auto b = postings("dbi.dbf", false);
  for (int i = 1; i <= 4; ++i) addPosting(*a, i);
  a->set();
  std::vector<std::string> at;
  while (a->next() == 0) at.push_back(a->position());
  ASSERT_EQ(at.size(), 4u);
  b->set();
  ASSERT_EQ(b->next(), 0);
  ASSERT_EQ(b->next(), 0);
  ASSERT_EQ(b->erase(), 0);  // 2, by another station
  ASSERT_EQ(b->lock(), 0);
  ASSERT_EQ(b->next(), 0);
  ASSERT_EQ(b->erase(), 0);  // 3, written back at UNLOCK
  ASSERT_EQ(b->unlock(), 0);

  a->rec.NNOPER = 99;
  a->watch();
  ASSERT_EQ(a->reget(at[0]), 0);  // live
  EXPECT_EQ(a->rec.NNOPER, 1.0);
  ASSERT_EQ(a->next(), 0);  // and on from it
  EXPECT_EQ(a->rec.NNOPER, 4.0);
  for (const std::string& gone : {at[1], at[2], std::string("5"), std::string("x")}) {
    a->rec.NNOPER = 99;
    EXPECT_EQ(a->reget(gone), storage::kRecordNotAvailable) << gone;
    EXPECT_EQ(a->rec.NNOPER, 99.0) << gone;  // no neighbour read in its place
    EXPECT_EQ(a->put(), storage::kRecordNotAvailable) << gone;
  }
  ASSERT_EQ(a->reget(at[3]), 0);
  a->rec.SUMMA = 7;
  ASSERT_EQ(a->put(), 0);
  EXPECT_EQ(live(*b), (std::vector<int>{1, 4}));
  EXPECT_EQ(b->rec.SUMMA, 7.0);
}

// --- columns -------------------------------------------------------------------------

struct Short {
  Text<20> NAMEOPER;
  Real SUMMA;
  DateField DATAOPER;
};
const FieldDesc kShortFields[] = {
    ZELK_FIELD(Short, NAMEOPER, ""),
    ZELK_FIELD(Short, SUMMA, "SUMMA=N(19.3)"),
    ZELK_FIELD(Short, DATAOPER, ""),
};
const FileDecl kShort{"S", "S", DriverKind::Dbase, sizeof(Short), kShortFields, {}, false, false, true, ""};

// The same columns in another order and letter case, with one more the other lacks.
struct Wide {
  DateField dataoper;
  Text<5> EXTRA;
  Real summa;
  Text<30> nameoper;
};
const FieldDesc kWideFields[] = {
    ZELK_FIELD(Wide, dataoper, "dataoper=D"),
    ZELK_FIELD(Wide, EXTRA, ""),
    ZELK_FIELD(Wide, summa, "summa=N(10.2)"),
    ZELK_FIELD(Wide, nameoper, "nameoper=C(30)"),
};
const FileDecl kWide{"W", "W", DriverKind::Dbase, sizeof(Wide), kWideFields, {}, false, false, true, ""};

TEST_F(DbaseTest, ColumnsAreMatchedByNameInAnyOrder) {
  auto w = file<Wide>(kWide, "wide.dbf");
  ASSERT_EQ(w->create(), 0);
  ASSERT_EQ(w->open(kShared), 0);
  w->rec.dataoper = day(2024, 2, 29);
  w->rec.EXTRA = "keep!";
  w->rec.summa = 1500.25;
  w->rec.nameoper = ansi("Длинное назначение платежа тут");
  ASSERT_EQ(w->add(), 0);
  ASSERT_EQ(w->close(), 0);

  auto s = file<Short>(kShort, "WIDE.DBF");  // the name in another case too
  ASSERT_EQ(s->open(kShared), 0);
  ASSERT_EQ(s->next(), 0);
  EXPECT_EQ(s->rec.NAMEOPER, ansi("Длинное назначение п"));  // cut to the field
  EXPECT_EQ(s->rec.SUMMA, 1500.25);
  EXPECT_EQ(s->rec.DATAOPER.day(), day(2024, 2, 29));
  s->rec.SUMMA = -3.5;
  s->rec.NAMEOPER = "short";
  ASSERT_EQ(s->put(), 0);
  s->clearBuffer();
  s->rec.NAMEOPER = "added";
  ASSERT_EQ(s->add(), 0);
  ASSERT_EQ(s->close(), 0);

  ASSERT_EQ(w->open(kShared), 0);
  ASSERT_EQ(w->next(), 0);
  EXPECT_EQ(w->rec.EXTRA, "keep!");  // PUT keeps the columns it does not know
  EXPECT_EQ(w->rec.summa, -3.5);
  EXPECT_EQ(w->rec.nameoper, "short");
  ASSERT_EQ(w->next(), 0);
  EXPECT_TRUE(w->rec.EXTRA.blank());
  EXPECT_EQ(w->rec.nameoper, "added");
  EXPECT_EQ(w->rec.dataoper.day(), 0);
}

TEST_F(DbaseTest, ADeclaredColumnTheTableLacksFailsTheOpen) {
  auto s = file<Short>(kShort, "short.dbf");
  ASSERT_EQ(s->create(), 0);
  auto p = file<Posting>(kPostings, "short.dbf");
  EXPECT_EQ(p->open(kShared), storage::kInvalidRecordDeclaration);
  EXPECT_FALSE(p->isOpen());
}

TEST_F(DbaseTest, CreateRefusesColumnsItCannotWrite) {
  struct Bad {
    Real A;
  };
  const char* columnTypes[] = {"A=N", "A=N(x.2)", "A=Q(5)", "A=N(5.4)", "A=C(300)", "VERYLONGNAME", "A=N(7.0"};
  for (const char* columnType : columnTypes) {
    const FieldDesc fields[] = {{"A", storage::FieldType::Real, 0, 8, columnType}};
    const FileDecl decl{"B", "B", DriverKind::Dbase, sizeof(Bad), fields, {}, false, false, true, ""};
    File f(decl, nullptr);
    std::string path = dir / "bad.dbf";
    f.setNameSource([path] { return path; });
    EXPECT_EQ(f.create(), storage::kInvalidRecordDeclaration) << columnType;
  }
}

// --- broken files --------------------------------------------------------------------

TEST_F(DbaseTest, BrokenFilesFailOrGiveTheRecordsThatAreThere) {
  constexpr int kAnyError = -1;
  {
    auto s = file<Short>(kShort, "good.dbf");
    ASSERT_EQ(s->create(), 0);
    ASSERT_EQ(s->open(kShared), 0);
    for (int i = 1; i <= 3; ++i) {
      s->rec.SUMMA = i;
      ASSERT_EQ(s->add(), 0);
    }
  }
  const std::string good = readAll(dir / "good.dbf");
  const std::size_t header = 32 + 3 * 32 + 1, length = 1 + 20 + 19 + 8;
  ASSERT_EQ(good.size(), header + 3 * length + 1);
  auto with = [&](std::size_t at, std::string_view bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  std::mt19937 rng(42);
  std::string garbage(2000, '\0');
  for (char& c : garbage) c = static_cast<char>(rng());
  std::string garbageWithVersion = garbage;
  garbageWithVersion[0] = 0x03;

  struct Case {
    const char* what;
    std::string bytes;
    int code;     // kAnyError: some error, whichever the bytes give
    int records;  // read in record order when the open succeeds
  } cases[] = {
      {"empty file", "", storage::kInvalidDataFile, 0},
      {"shorter than a header", good.substr(0, 20), storage::kInvalidDataFile, 0},
      {"cut inside the descriptors", good.substr(0, 80), storage::kInvalidDataFile, 0},
      {"unknown version", with(0, std::string("\x00", 1)), storage::kInvalidDataFile, 0},
      {"header length too small", with(8, std::string("\x10\x00", 2)), storage::kInvalidDataFile, 0},
      {"header length beyond the file", with(8, "\xFF\x7F"), storage::kInvalidDataFile, 0},
      {"record length zero", with(10, std::string("\x00\x00", 2)), storage::kInvalidDataFile, 0},
      {"columns wider than the record", with(10, std::string("\x10\x00", 2)), storage::kInvalidDataFile, 0},
      {"garbage", garbage, kAnyError, 0},
      {"garbage behind a version byte", garbageWithVersion, kAnyError, 0},
      {"count beyond the file", with(4, "\xE8\x03"), 0, 3},
      {"last record cut short", good.substr(0, header + 2 * length + 10), 0, 2},
      {"only the header", good.substr(0, header), 0, 0},
      {"count smaller than the records", with(4, "\x01"), 0, 1},
      {"end marker inside the count", with(header + length, "\x1A"), 0, 1},
      {"no terminator", with(header - 1, " "), 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeAll(dir / "broken.dbf", c.bytes);
    auto s = file<Short>(kShort, "broken.dbf");
    int code = s->open(kShared);
    if (c.code == kAnyError) {
      EXPECT_NE(code, 0);
    } else {
      ASSERT_EQ(code, c.code);
    }
    if (code) {
      EXPECT_FALSE(s->isOpen());
      continue;
    }
    int n = 0;
    while (s->next() == 0) ++n;
    EXPECT_EQ(n, c.records);
    // a broken count is put right by the next add, which goes after the records there
    s->clearBuffer();
    s->rec.SUMMA = 77;
    ASSERT_EQ(s->add(), 0);
    s->set();
    n = 0;
    double lastValue = 0;
    while (s->next() == 0) {
      ++n;
      lastValue = s->rec.SUMMA;
    }
    EXPECT_EQ(n, c.records + 1);
    EXPECT_EQ(lastValue, 77.0);
  }
}

// --- several stations ----------------------------------------------------------------

TEST_F(DbaseTest, AnotherStationsAddsAreSeen) {
  auto a = postings();
  auto b = postings("dbi.dbf", false);
  addPosting(*a, 1);
  EXPECT_EQ(live(*b), (std::vector<int>{1}));
  EXPECT_TRUE(b->eof());
  addPosting(*a, 2);
  EXPECT_FALSE(b->eof());  // seen from where b stands
  ASSERT_EQ(b->next(), 0);
  EXPECT_EQ(b->rec.NNOPER, 2.0);
  EXPECT_EQ(b->records(), 2u);

  // adds from both stations interleave without losing one
  addPosting(*b, 3);
  addPosting(*a, 4);
  addPosting(*b, 5);
  EXPECT_EQ(live(*a), (std::vector<int>{1, 2, 3, 4, 5}));
  auto c = postings("dbi.dbf", false);
  EXPECT_EQ(c->records(), 5u);
  EXPECT_EQ(headerCount(readAll(dir / "dbi.dbf")), 5u);
}

TEST_F(DbaseTest, AWatchedRecordChangedElsewhereIsNotOverwritten) {
  auto a = postings();
  auto b = postings("dbi.dbf", false);
  addPosting(*a, 1);
  a->set();
  a->watch();
  ASSERT_EQ(a->next(), 0);
  b->set();
  ASSERT_EQ(b->next(), 0);
  b->rec.SUMMA = 10;
  ASSERT_EQ(b->put(), 0);
  a->rec.SUMMA = 20;
  EXPECT_EQ(a->put(), storage::kRecordChanged);

  a->set();
  a->watch();
  ASSERT_EQ(a->next(), 0);
  EXPECT_EQ(a->rec.SUMMA, 10.0);
  a->rec.SUMMA = 20;
  EXPECT_EQ(a->put(), 0);
  EXPECT_EQ(a->put(), 0);  // our own write is no change by another station

  // unwatched: the last writer wins
  b->rec.SUMMA = 30;
  EXPECT_EQ(b->put(), 0);
}

// Under LOCK the changes are kept and written back at UNLOCK; a record read before
// the lock is taken as the file holds it when it is changed.
TEST_F(DbaseTest, UnderTheLockChangesReachTheFileAtUnlockOverWhatOthersDidBefore) {
  auto a = postings();
  auto b = postings("dbi.dbf", false);
  addPosting(*a, 1);
  addPosting(*a, 2);
  a->set();
  ASSERT_EQ(a->next(), 0);  // record 1, unwatched
  b->set();
  ASSERT_EQ(b->next(), 0);
  ASSERT_EQ(b->erase(), 0);  // deleted by the other station meanwhile
  ASSERT_EQ(b->next(), 0);
  b->rec.SUMMA = 10;
  ASSERT_EQ(b->put(), 0);
  addPosting(*b, 9);  // and added one

  ASSERT_EQ(a->lock(), 0);
  a->rec.SUMMA = 5;
  EXPECT_EQ(a->put(), 0);  // record 1 stays deleted
  addPosting(*a, 3);
  a->set();
  a->watch();
  ASSERT_EQ(a->next(), 0);
  EXPECT_EQ(a->rec.NNOPER, 2.0);
  EXPECT_EQ(headerCount(readAll(dir / "dbi.dbf")), 3u);  // nothing written back yet
  EXPECT_EQ(a->records(), 4u);
  ASSERT_EQ(a->unlock(), 0);
  EXPECT_EQ(headerCount(readAll(dir / "dbi.dbf")), 4u);
  EXPECT_EQ(live(*b), (std::vector<int>{2, 9, 3}));
  b->set();
  ASSERT_EQ(b->next(), 0);
  EXPECT_EQ(b->rec.SUMMA, 10.0);

  // a watched record the other station changed before the lock is not overwritten
  b->rec.SUMMA = 11;
  ASSERT_EQ(b->put(), 0);
  ASSERT_EQ(a->lock(), 0);
  a->rec.SUMMA = 20;
  EXPECT_EQ(a->put(), storage::kRecordChanged);
  ASSERT_EQ(a->unlock(), 0);
  b->set();
  ASSERT_EQ(b->next(), 0);
  EXPECT_EQ(b->rec.SUMMA, 11.0);
}

// --- errors --------------------------------------------------------------------------

TEST_F(DbaseTest, StatementErrors) {
  auto missing = file<Posting>(kPostings, "nowhere.dbf");
  EXPECT_EQ(missing->open(kShared), storage::kFileNotFound);
  auto folder = file<Posting>(kPostings, ".");
  EXPECT_EQ(folder->open(mode::kRead), storage::kAccessDenied);

  auto f = postings();
  EXPECT_EQ(f->put(), storage::kRecordNotAvailable);
  EXPECT_EQ(f->erase(), storage::kRecordNotAvailable);
  EXPECT_EQ(f->set(1), storage::kNotSupported);
  EXPECT_EQ(f->get(1), storage::kNotSupported);
  EXPECT_EQ(f->next(), storage::kRecordNotAvailable);
  EXPECT_EQ(f->flush(), 0);

  // others denied: a second open is refused
  ASSERT_EQ(f->close(), 0);
  ASSERT_EQ(f->open(mode::kReadWrite | mode::kDenyAll), 0);
  auto g = file<Posting>(kPostings, "dbi.dbf");
  EXPECT_EQ(g->open(mode::kRead | mode::kDenyNone), storage::kAccessDenied);
  ASSERT_EQ(f->close(), 0);

  // opened for reading: no writes
  ASSERT_EQ(g->open(mode::kRead | mode::kDenyNone), 0);
  EXPECT_EQ(g->add(), storage::kAccessDenied);
  ASSERT_EQ(f->open(kShared), 0);
  addPosting(*f, 1);
  ASSERT_EQ(g->next(), 0);
  EXPECT_EQ(g->put(), storage::kAccessDenied);
  EXPECT_EQ(g->erase(), storage::kAccessDenied);
}

TEST_F(DbaseTest, ATableWeMayNotOpenIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open any file";
  postings().reset();
  const std::string path = dir / "dbi.dbf";
  ::chmod(path.c_str(), 0444);
  auto f = file<Posting>(kPostings, "dbi.dbf");
  EXPECT_EQ(f->open(kShared), storage::kAccessDenied);
  EXPECT_EQ(f->open(mode::kRead | mode::kDenyNone), 0);
  ASSERT_EQ(f->close(), 0);
  ::chmod(path.c_str(), 0);
  EXPECT_EQ(f->open(mode::kRead | mode::kDenyNone), storage::kAccessDenied);
}

// --- other readers -------------------------------------------------------------------

TEST_F(DbaseTest, OtherDbaseReadersReadOurFiles) {
  if (run("/usr/bin/python3 -c 'import dbfread' 2>&1 && echo ok").find("ok") == std::string::npos)
    GTEST_SKIP() << "python3-dbfread is not installed";
  auto f = postings();
  auto post = [&](double nnoper, double summa, std::int32_t d, const char* text, const char* status) {
    f->clearBuffer();
    f->rec.NNOPER = nnoper;
    f->rec.TASK = "01";
    f->rec.DATAOPER = d;
    f->rec.SUMMA = summa;
    f->rec.VSUMMA = summa;
    f->rec.VCURS = 1;
    f->rec.NAMEOPER = ansi(text);
    f->rec.VALUTA = ansi("РУБ");
    f->rec.STATUS = status;
    f->rec.CRC = 123;
    f->rec.ID_ST = 1;
    ASSERT_EQ(f->add(), 0);
  };
  post(1, 1500, day(2005, 12, 31), "Оплата по счёту 5", "0");
  post(2, 250.5, 0, "Возврат", "1");
  post(3, 42.125, day(2024, 2, 29), "Удалённая", "");
  ASSERT_EQ(f->erase(), 0);
  ASSERT_EQ(f->close(), 0);

  const std::string script = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict')
print('encoding', dbfread.DBF(sys.argv[1]).encoding, len(t.field_names))
def show(kind, r):
    print(kind, r['NNOPER'], r['TASK'], r['DATAOPER'], repr(r['SUMMA']), r['NAMEOPER'].rstrip(), r['VALUTA'],
          repr(r['VCURS']), r['STATUS'] or '-', r['CRC'], r['ID_ST'], r['USER_DATE'])
for r in t: show('live', r)
for r in t.deleted: show('deleted', r)
)";
  writeAll(dir / "show.py", script);
  std::string out = run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + (dir / "show.py") + " " + (dir / "dbi.dbf") + " 2>&1");
  EXPECT_EQ(out,
            "encoding cp866 24\n"
            "live 1 01 2005-12-31 1500.0 Оплата по счёту 5 РУБ 1.0 0 123 1 None\n"
            "live 2 01 None 250.5 Возврат РУБ 1.0 1 123 1 None\n"
            "deleted 3 01 2024-02-29 42.125 Удалённая РУБ 1.0 - 123 1 None\n");

  std::string info = run("dbview -i -e " + (dir / "dbi.dbf") + " 2>&1");
  if (info.find("File version") != std::string::npos) {
    EXPECT_NE(info.find("Number of recs: 3"), std::string::npos) << info;
    EXPECT_NE(info.find("Record length : 217"), std::string::npos) << info;
    EXPECT_NE(info.find("N\t   19\t    3"), std::string::npos) << info;  // SUMMA
  }
}

// Text fields of every shape in a DOS code page table: neighbours, a column wider and
// one narrower than its field, text in a number column. What the table writes and
// reads is what the field-by-field codec gives, with letters, other high bytes and
// NUL bytes in the record.
struct Shapes {
  Text<6> A;
  Text<4> B;     // C(8)
  Text<10> C;    // C(5)
  Real N;        // N(8.2)
  Text<3> D;
  Text<5> E;
  Text<8> DIGITS;  // N(8.0)
};
const FieldDesc kShapesFields[] = {
    ZELK_FIELD(Shapes, A, ""),         ZELK_FIELD(Shapes, B, "B=C(8)"), ZELK_FIELD(Shapes, C, "C=C(5)"),
    ZELK_FIELD(Shapes, N, "N=N(8.2)"), ZELK_FIELD(Shapes, D, ""),       ZELK_FIELD(Shapes, E, ""),
    ZELK_FIELD(Shapes, DIGITS, "DIGITS=N(8.0)"),
};
const FileDecl kShapes{"SHP", "SHP", DriverKind::Dbase, sizeof(Shapes), kShapesFields, {}, false, false, true, "s.dbf"};
// Without the text in a number column: every column but the text ones is ASCII.
const FileDecl kShapesOfText{"SHP", "SHP", DriverKind::Dbase, sizeof(Shapes),
                             std::span(kShapesFields).first(std::size(kShapesFields) - 1), {}, false, false, true, "s.dbf"};

class DbaseShapesTest : public DbaseTest, public ::testing::WithParamInterface<const FileDecl*> {};

TEST_P(DbaseShapesTest, RecordsAreWrittenAndReadAsTheFieldCodecDoes) {
  const FileDecl& decl = *GetParam();
  auto f = file<Shapes>(decl, "s.dbf");
  ASSERT_EQ(f->create(), 0);
  storage::dbase::Layout layout;
  ASSERT_EQ(storage::dbase::parseHeader(readAll(dir / "s.dbf"), layout).code, 0);
  auto columnOf = [&](const FieldDesc& fd) {
    for (const auto& c : layout.columns)
      if (c.name == storage::columnName(fd)) return c;
    ADD_FAILURE() << fd.name;
    return layout.columns.front();
  };
  std::uint64_t x = 0x853C49E6748FEA9Bull;
  auto noise = [&](char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      const unsigned r = static_cast<unsigned>(x >> 40) % 8;
      p[i] = r < 3 ? static_cast<char>('a' + x % 26) : r < 6 ? static_cast<char>(0xC0 + x % 64) : r == 6 ? ' ' : static_cast<char>(x % 256);
    }
  };
  constexpr int kRecords = 200;
  std::vector<Shapes> written(kRecords);
  ASSERT_EQ(f->open(kShared), 0);
  for (int i = 0; i < kRecords; ++i) {
    const Shapes before = f->rec;
    f->clearBuffer();
    noise(reinterpret_cast<char*>(&f->rec), sizeof(Shapes));
    f->rec.N = static_cast<double>(x % 100000) / 100;
    if (i % 3 == 1) f->rec.N = before.N;  // values repeating from one record to the next
    if (i % 3 == 2) f->rec.DIGITS = before.DIGITS;
    written[i] = f->rec;
    ASSERT_EQ(f->add(), 0);
  }
  ASSERT_EQ(f->close(), 0);

  std::string bytes = readAll(dir / "s.dbf");
  for (int i = 0; i < kRecords; ++i) {
    std::string want(layout.recordLength, ' ');
    for (const FieldDesc& fd : decl.fields) {
      const auto c = columnOf(fd);
      storage::dbase::encodeField(fd, reinterpret_cast<const char*>(&written[i]), c, want.data() + c.offset, true);
    }
    ASSERT_EQ(bytes.substr(layout.headerLength + i * layout.recordLength, layout.recordLength), want) << i;
  }

  // Records as another program may leave them, read back.
  for (int i = 0; i < kRecords; ++i) {
    char* r = bytes.data() + layout.headerLength + i * layout.recordLength;
    if (i % 3) std::memcpy(r, r - layout.recordLength, layout.recordLength);
    noise(r + 1, i % 3 ? 6 : layout.recordLength - 1);  // the first column changed, or the whole record
  }
  writeAll(dir / "s.dbf", bytes);
  ASSERT_EQ(f->open(kShared), 0);
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_EQ(f->next(), 0);
    Shapes want{};
    for (const FieldDesc& fd : decl.fields) {
      const auto c = columnOf(fd);
      storage::dbase::decodeField(fd, reinterpret_cast<char*>(&want), c,
                                  bytes.data() + layout.headerLength + i * layout.recordLength + c.offset, true);
    }
    if (decl.fields.size() < std::size(kShapesFields)) want.DIGITS = f->rec.DIGITS;  // no column
    ASSERT_EQ(std::memcmp(&want, &f->rec, sizeof want), 0) << i;
  }
}
INSTANTIATE_TEST_SUITE_P(Declarations, DbaseShapesTest, ::testing::Values(&kShapes, &kShapesOfText));

TEST_F(DbaseTest, PaymentsTableReadsBack) {
  auto f = file<Payment>(kPayments, "subs_clt.dbf");
  ASSERT_EQ(f->create(), 0);
  ASSERT_EQ(f->open(kShared), 0);
  f->rec.DAT1 = day(2023, 3, 1);
  f->rec.IN_R = 2500.5;
  f->rec.NOM_DOC = "12345678";
  f->rec.SUM1 = 100;
  f->rec.SUM2 = -100;
  f->rec.BUY = std::string(160, ansi("Я")[0]);
  f->rec.NAME = ansi("Назначение");
  f->rec.CONFIRM = 12;  // too wide for N(1.0)
  ASSERT_EQ(f->add(), 0);
  ASSERT_EQ(f->close(), 0);

  ASSERT_EQ(f->open(mode::kRead | mode::kDenyWrite), 0);
  f->clearBuffer();
  ASSERT_EQ(f->next(), 0);
  EXPECT_EQ(f->rec.DAT1.day(), day(2023, 3, 1));
  EXPECT_EQ(f->rec.DAT2.day(), 0);
  EXPECT_EQ(f->rec.IN_R, 2500.5);
  EXPECT_EQ(f->rec.SUM1 + f->rec.SUM2, 0.0);
  EXPECT_EQ(f->rec.NOM_DOC, "12345678");
  EXPECT_EQ(f->rec.BUY, std::string(160, ansi("Я")[0]));
  EXPECT_EQ(f->rec.NAME, ansi("Назначение"));
  EXPECT_EQ(f->rec.CONFIRM, 0.0);  // stored as '*', read as 0
}

}  // namespace
}  // namespace zelk::test
