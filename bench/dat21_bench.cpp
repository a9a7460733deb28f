// The 2.1 data file under the counterparty rows' pattern: 32,767 rows of 162 bytes
// added with their key, then each read back by key in a shuffled order; each pass
// timed beside a plain file doing one pwrite / pread per record in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/dat21/dat21.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"
#include "tests/support/tempdir.h"

namespace {

using namespace zelk;
using namespace zelk::storage;

struct Row {
  Int16 KOD;
  Text<160> NAME;
};
static_assert(sizeof(Row) == 162);
const FieldDesc rowFields[] = {ZELK_FIELD(Row, KOD, ""), ZELK_FIELD(Row, NAME, "")};
const KeyComponent rowKey[] = {{0}};
const KeyDecl rowKeys[] = {{"KEY_1", rowKey, kOpt | kNoCase | kPrimary, "key_1"}};
const FileDecl rowDecl{"PRT", "PRT", DriverKind::Dat21, sizeof(Row), rowFields, rowKeys, true, true, false, "prt.dat"};

constexpr int kRows = 32767;  // the most rows one import numbers
constexpr int kRepeats = 3;   // best of

using Clock = std::chrono::steady_clock;
using zelk::bench::millisSince;

struct Passes {
  double add = 1e300, open = 1e300, get = 1e300, scan = 1e300;
  int failures = 0;
};

Passes measure(const test::TempDir& dir, int rows) {
  Passes p;
  const std::string name = dir / ("prt" + std::to_string(rows) + ".dat");
  std::vector<int> order(static_cast<std::size_t>(rows));
  std::iota(order.begin(), order.end(), 1);
  std::shuffle(order.begin(), order.end(), std::mt19937(20051231));
  for (int r = 0; r < kRepeats; ++r) {
    TypedFile<Row> f(rowDecl);
    f.setNameSource([name] { return name; });
    f.create();
    f.open(mode::kReadWrite | mode::kDenyNone);
    auto t0 = Clock::now();
    for (int i = 1; i <= rows; ++i) {
      f.rec.KOD = static_cast<std::int16_t>(i);
      f.rec.NAME = "counterparty row of the statement";
      if (f.add() != 0) ++p.failures;
    }
    p.add = std::min(p.add, millisSince(t0));
    f.close();

    t0 = Clock::now();
    if (f.open(mode::kReadWrite | mode::kDenyNone) != 0) ++p.failures;
    p.open = std::min(p.open, millisSince(t0));

    t0 = Clock::now();
    for (int k : order) {
      f.rec.KOD = static_cast<std::int16_t>(k);
      if (f.get(0) != 0 || f.rec.KOD.get() != k) ++p.failures;
    }
    p.get = std::min(p.get, millisSince(t0));

    t0 = Clock::now();
    int n = 0;
    for (f.set(0); f.next() == 0;) ++n;
    p.scan = std::min(p.scan, millisSince(t0));
    if (n != rows) ++p.failures;
  }
  return p;
}

struct Plain {
  double write = 1e300, read = 1e300;
};

// The same bytes as a plain file: one pwrite, then one pread, per record.
Plain plain(const test::TempDir& dir, int rows, std::size_t length) {
  Plain p;
  const std::string path = dir / "plain.bin";
  std::vector<char> rec(length, 'x');
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  for (int r = 0; r < kRepeats; ++r) {
    auto t0 = Clock::now();
    for (int i = 0; i < rows; ++i)
      if (::pwrite(fd, rec.data(), length, static_cast<off_t>(i) * static_cast<off_t>(length)) < 0) break;
    p.write = std::min(p.write, millisSince(t0));
    t0 = Clock::now();
    for (int i = 0; i < rows; ++i)
      if (::pread(fd, rec.data(), length, static_cast<off_t>(i) * static_cast<off_t>(length)) < 0) break;
    p.read = std::min(p.read, millisSince(t0));
  }
  ::close(fd);
  return p;
}

// Numbers are formatted without the C locale.
std::string fixed(double v, int decimals, std::size_t width) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}
std::string padRight(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}
void line(const std::string& s) { std::fputs((s + "\n").c_str(), stdout); }

}  // namespace

void benchDat21() {
  registerDriver(DriverKind::Dat21, dat21::driver());
  test::TempDir dir;
  const Passes big = measure(dir, kRows);
  const Plain base = plain(dir, kRows, sizeof(Row));
  const Passes small = measure(dir, kRows / 4);

  line("2.1 data file: " + std::to_string(kRows) + " rows of " + std::to_string(sizeof(Row)) +
       " bytes with one key (best of " + std::to_string(kRepeats) + ")");
  line("  " + padRight("pass", 30) + "        ms  plain ms    us/row   ratio  us/row at 1/4");
  auto row = [&](const char* what, double ms, double plainMs, double smallMs) {
    std::string s = "  " + padRight(what, 30) + fixed(ms, 2, 10) + (plainMs > 0 ? fixed(plainMs, 2, 10) : fixed(0, 0, 10)) +
                    fixed(ms * 1000.0 / kRows, 3, 10);
    s += plainMs > 0 ? fixed(ms / plainMs, 1, 7) + "x" : std::string(8, ' ');
    s += fixed(smallMs * 1000.0 / (kRows / 4), 3, 15);
    line(s);
  };
  row("add with the key", big.add, base.write, small.add);
  row("get by key, shuffled", big.get, base.read, small.get);
  row("next in key order", big.scan, base.read, small.scan);
  row("open (load the key)", big.open, 0, small.open);
  line("  (plain: one pwrite / one pread per record of the same length; us/row at 1/4 of the");
  line("   rows close to us/row: keyed access grows with log n, not with n)");
  if (big.failures || small.failures)
    line("  !! " + std::to_string(big.failures + small.failures) + " statements failed");
}
