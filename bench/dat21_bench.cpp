// The 2.1 data file under the counterparty rows' pattern: 32,767 rows of 162 bytes
// added with their key (statement by statement, and under LOCK), deleted in record
// order under LOCK and added again into the freed slots, then each read back by key
// in a shuffled order and in key order. Each pass is set beside the least plain I/O
// of its bytes (plain.h) in the same run, with the system calls of both; the time
// per row at a quarter of the rows shows that keyed access grows with log n.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/plain.h"
#include "platform/core/fields.h"
#include "platform/core/numtext.h"
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

// The key file beside a data file.
std::string dataPathKey(const std::string& data) { return dat21::keyPath(dat21::dataPath(data), 0); }

enum Pass { kAdd, kAddLocked, kEmptyLocked, kRefillLocked, kOpen, kGet, kScan, kPasses };
const char* const kPassNames[kPasses] = {"add with the key",           "add with the key, locked",
                                         "delete pass, locked",        "add into the freed slots, locked",
                                         "open (load the key)",        "get by key, shuffled",
                                         "next in key order"};

struct Passes {
  std::array<bench::Figure, kPasses> fig;
  std::uint64_t dataBytes = 0, keyBytes = 0;
  int failures = 0;
};

void addRows(TypedFile<Row>& f, int rows, int& failures) {
  for (int i = 1; i <= rows; ++i) {
    f.rec.KOD = static_cast<std::int16_t>(i);
    f.rec.NAME = "counterparty row of the statement";
    if (f.add() != 0) ++failures;
  }
}

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
    bench::timed(p.fig[kAdd], [&] { addRows(f, rows, p.failures); });
    f.close();
    f.create();
    f.open(mode::kReadWrite | mode::kDenyNone);
    bench::timed(p.fig[kAddLocked], [&] {
      f.lock();
      addRows(f, rows, p.failures);
      f.unlock();
    });
    bench::timed(p.fig[kEmptyLocked], [&] {
      f.lock();
      for (f.set(); !f.eof();)
        if (f.next() != 0 || f.erase() != 0) ++p.failures;
      f.unlock();
    });
    bench::timed(p.fig[kRefillLocked], [&] {
      f.lock();
      addRows(f, rows, p.failures);
      f.unlock();
    });
    f.close();

    bench::timed(p.fig[kOpen], [&] {
      if (f.open(mode::kReadWrite | mode::kDenyNone) != 0) ++p.failures;
    });
    bench::timed(p.fig[kGet], [&] {
      for (int k : order) {
        f.rec.KOD = static_cast<std::int16_t>(k);
        if (f.get(0) != 0 || f.rec.KOD.get() != k) ++p.failures;
      }
    });
    int n = 0;
    bench::timed(p.fig[kScan], [&] {
      for (f.set(0); f.next() == 0;) ++n;
    });
    if (n != rows) ++p.failures;
    f.close();
  }
  p.dataBytes = std::filesystem::file_size(name);
  p.keyBytes = std::filesystem::file_size(dataPathKey(name));
  return p;
}

void line(const std::string& s) { std::fputs((s + "\n").c_str(), stdout); }

}  // namespace

void benchDat21() {
  registerDriver(DriverKind::Dat21, dat21::driver());
  test::TempDir dir;
  const Passes big = measure(dir, kRows);
  const Passes small = measure(dir, kRows / 4);
  const std::string data = dir / ("prt" + std::to_string(kRows) + ".dat");
  const std::string key = dataPathKey(data), scratch = dir / "plain.bin";
  const std::uint64_t all = big.dataBytes + big.keyBytes;
  // Adds write the data and key files; the delete pass reads and rewrites the data
  // file and adds to the key; an open reads the key; reads read the data file.
  const bench::PlainIo plain[kPasses] = {
      bench::bestPlain(kRepeats, {}, all, scratch),
      bench::bestPlain(kRepeats, {}, all, scratch),
      bench::bestPlain(kRepeats, {{data, big.dataBytes}}, all, scratch),
      bench::bestPlain(kRepeats, {}, all, scratch),
      bench::bestPlain(kRepeats, {{key, big.keyBytes}}, 0, scratch),
      bench::bestPlain(kRepeats, {{data, big.dataBytes}}, 0, scratch),
      bench::bestPlain(kRepeats, {{data, big.dataBytes}}, 0, scratch),
  };

  line("2.1 data file: " + std::to_string(kRows) + " rows of " + std::to_string(sizeof(Row)) +
       " bytes with one key (best of " + std::to_string(kRepeats) + "); calls: " + bench::SyscallCounter().what());
  std::printf("  %-36s %9s %9s %8s %9s %9s %14s\n", "pass", "ms", "plain ms", "ratio", "calls", "plain",
              "us/row at 1/4");
  for (int k = 0; k < kPasses; ++k) {
    const bench::Figure& f = big.fig[static_cast<std::size_t>(k)];
    std::printf("  %-36s %9s %9s %7sx %9s %9s %14s\n", kPassNames[k], fixedText(f.ms, 2).c_str(),
                fixedText(plain[k].ms, 2).c_str(), fixedText(f.ms / plain[k].ms, 1).c_str(),
                numberText(f.calls).c_str(), numberText(plain[k].calls).c_str(),
                fixedText(small.fig[static_cast<std::size_t>(k)].ms * 1000.0 / (kRows / 4), 3).c_str());
  }
  line("  (plain: the pass's bytes read and written in 1 MiB blocks, one fdatasync; us/row at 1/4");
  line("   of the rows close to the full run's: keyed access grows with log n, not with n)");
  if (big.failures || small.failures)
    line("  !! " + std::to_string(big.failures + small.failures) + " statements failed");
}
