// The importers' pattern on the postings table: 32,767 postings appended, the table
// emptied by the delete pass (record order, DELETE each) and refilled, each pass timed
// beside a plain file doing one pread/pwrite per record in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/storage/file.h"
#include "tests/dbase/test_records.h"
#include "tests/support/tempdir.h"

namespace {

using zelk::bench::fixed;
using zelk::bench::whole;

using zelk::storage::TypedFile;
using Postings = TypedFile<zelk::test::Posting>;
namespace mode = zelk::storage::mode;

constexpr int kRows = 32767;  // the most postings one import numbers
constexpr int kRepeats = 3;   // best of

void fill(Postings& f, int i) {
  static const std::string text = zelk::ansi("Оплата по счёту 17 от 31.12.2005, НДС не облагается");
  static const std::string rub = zelk::ansi("РУБ");
  f.clearBuffer();
  f.rec.NNOPER = i % 32767 + 1;
  f.rec.TASK = "01";
  f.rec.DATAOPER = static_cast<std::int32_t>(zelk::date::dayNumber(2005, 12, 1 + i % 28));
  f.rec.NNDOC = std::to_string(i);
  f.rec.DT_SCHET = "51";
  f.rec.SUMMA = 1000.25 + i;
  f.rec.NAMEOPER = text;
  f.rec.VALUTA = rub;
  f.rec.VSUMMA = 1000.25 + i;
  f.rec.VCURS = 1;
  f.rec.USER_DATE = zelk::date::today();
  f.rec.STATUS = "0";
  f.rec.CRC = 123;
  f.rec.ID_ST = 1;
}

void appendPass(Postings& f, int rows) {
  for (int i = 0; i < rows; ++i) {
    fill(f, i);
    f.add();
  }
}

int deletePass(Postings& f) {
  int n = 0;
  f.set();
  while (!f.eof()) {
    f.next();
    if (f.erase() != 0) break;
    ++n;
  }
  return n;
}

struct Passes {
  double append = 0, empty = 0, refill = 0, emptyPastDeleted = 0;
};

// The four passes on a new table, each measured once per repeat on its own table.
Passes measure(const zelk::test::TempDir& dir, int rows) {
  Passes p;
  std::string path = dir / "dbi.dbf";
  auto fresh = [&] {
    auto f = std::make_unique<Postings>(zelk::test::kPostings);
    f->setNameSource([path] { return path; });
    f->create();
    f->open(mode::kReadWrite | mode::kDenyNone);
    return f;
  };
  std::unique_ptr<Postings> f;
  double best[4] = {1e300, 1e300, 1e300, 1e300};
  for (int r = 0; r < kRepeats; ++r) {
    f.reset();
    f = fresh();
    auto time = [&](int k, const std::function<void()>& g) {
      auto t0 = std::chrono::steady_clock::now();
      g();
      best[k] = std::min(best[k], std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    };
    time(0, [&] { appendPass(*f, rows); });
    int deleted = 0;
    time(1, [&] { deleted = deletePass(*f); });
    time(2, [&] { appendPass(*f, rows); });
    int deleted2 = 0;
    time(3, [&] { deleted2 = deletePass(*f); });
    if (deleted != rows || deleted2 != rows || f->records() != static_cast<std::uint64_t>(2 * rows))
      std::printf("  !! the passes did not do their work (%d, %d deleted)\n", deleted, deleted2);
  }
  p.append = best[0];
  p.empty = best[1];
  p.refill = best[2];
  p.emptyPastDeleted = best[3];
  return p;
}

struct Plain {
  double write = 0, readMark = 0;
};

// The same bytes as a plain file: one pwrite per record; one pread per record with a
// one-byte pwrite, as the delete pass reads and marks each.
Plain plain(const zelk::test::TempDir& dir, int rows, std::size_t length) {
  Plain p;
  std::string path = dir / "plain.bin";
  std::vector<char> rec(length, 'x');
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  p.write = zelk::bench::bestMillis(kRepeats, [&] {
    for (int i = 0; i < rows; ++i)
      if (::pwrite(fd, rec.data(), length, static_cast<off_t>(i) * static_cast<off_t>(length)) < 0) break;
  });
  p.readMark = zelk::bench::bestMillis(kRepeats, [&] {
    for (int i = 0; i < rows; ++i) {
      off_t at = static_cast<off_t>(i) * static_cast<off_t>(length);
      if (::pread(fd, rec.data(), length, at) < 0 || ::pwrite(fd, "*", 1, at) < 0) break;
    }
  });
  ::close(fd);
  return p;
}

}  // namespace

void benchDbase() {
  zelk::storage::registerDriver(zelk::storage::DriverKind::Dbase, zelk::storage::dbase::driver());
  zelk::test::TempDir dir;
  const std::size_t length = 217;  // a posting in dbi.dbf, deletion flag included

  Passes big = measure(dir, kRows);
  Plain base = plain(dir, kRows, length);
  Passes small = measure(dir, kRows / 4);

  auto us = [](double ms, int rows) { return ms * 1000.0 / rows; };
  std::printf("dBase postings table: %d postings of %zu bytes (best of %d)\n", kRows, length, kRepeats);
  std::printf("  %-34s %9s %9s %9s %7s %14s\n", "pass", "ms", "plain ms", "us/row", "ratio", "us/row at 1/4");
  auto row = [&](const char* what, double ms, double plainMs, double smallMs) {
    std::printf("  %-34s %9s %9s %9s %6sx %14s\n", what, fixed(ms, 2).c_str(), fixed(plainMs, 2).c_str(),
                fixed(us(ms, kRows), 3).c_str(), fixed(ms / plainMs, 1).c_str(), fixed(us(smallMs, kRows / 4), 3).c_str());
  };
  row("append", big.append, base.write, small.append);
  row("delete pass", big.empty, base.readMark, small.empty);
  row("append after the deleted", big.refill, base.write, small.refill);
  row("delete pass past the deleted", big.emptyPastDeleted, base.readMark, small.emptyPastDeleted);
  std::printf("  (plain: one pwrite per record / one pread and a one-byte pwrite per record;\n"
              "   us/row at 1/4 of the rows close to us/row: no pass grows faster than the rows)\n");
}
