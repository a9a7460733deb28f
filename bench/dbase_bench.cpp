// The importers' pattern on the postings table: 32,767 postings appended, the table
// emptied by the delete pass (record order, DELETE each) and refilled; once statement
// by statement, once under the table's LOCK (written back at UNLOCK). Each pass is set
// beside the least plain I/O of its bytes (plain.h) in the same run, with the system
// calls of both.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/plain.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/storage/file.h"
#include "tests/dbase/test_records.h"
#include "tests/support/tempdir.h"

namespace {

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

enum Pass { kAppend, kEmpty, kRefill, kEmptyPastDeleted, kPasses };
const char* const kPassNames[kPasses] = {"append", "delete pass", "append after the deleted",
                                         "delete pass past the deleted"};

// The four passes on a new table, each repeat on its own table; locked: each pass
// between LOCK and UNLOCK.
std::array<zelk::bench::Figure, kPasses> measure(const zelk::test::TempDir& dir, int rows, bool locked) {
  std::array<zelk::bench::Figure, kPasses> best;
  const std::string path = dir / "dbi.dbf";
  for (int r = 0; r < kRepeats; ++r) {
    auto f = std::make_unique<Postings>(zelk::test::kPostings);
    f->setNameSource([path] { return path; });
    f->create();
    f->open(mode::kReadWrite | mode::kDenyNone);
    int deleted[2] = {0, 0};
    auto pass = [&](Pass k, const std::function<void()>& g) {
      zelk::bench::timed(best[k], [&] {
        if (locked) f->lock();
        g();
        if (locked) f->unlock();
      });
    };
    pass(kAppend, [&] { appendPass(*f, rows); });
    pass(kEmpty, [&] { deleted[0] = deletePass(*f); });
    pass(kRefill, [&] { appendPass(*f, rows); });
    pass(kEmptyPastDeleted, [&] { deleted[1] = deletePass(*f); });
    if (deleted[0] != rows || deleted[1] != rows || f->records() != static_cast<std::uint64_t>(2 * rows))
      std::printf("  !! the passes did not do their work (%d, %d deleted)\n", deleted[0], deleted[1]);
  }
  return best;
}

}  // namespace

void benchDbase() {
  zelk::storage::registerDriver(zelk::storage::DriverKind::Dbase, zelk::storage::dbase::driver());
  zelk::test::TempDir dir;
  const std::uint64_t length = 217;  // a posting in dbi.dbf, deletion flag included
  const std::uint64_t bytes = length * kRows;

  const auto each = measure(dir, kRows, false);
  const auto locked = measure(dir, kRows, true);
  // The plain I/O of each pass: an append writes its records; a delete pass reads the
  // table so far and writes it back (its flags lie all over it).
  const std::string table = dir / "table.bin", scratch = dir / "plain.bin";
  {
    const int fd = ::open(table.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::vector<char> block(static_cast<std::size_t>(2 * bytes), 'x');
    if (fd < 0 || ::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::printf("  !! no plain file\n");
    if (fd >= 0) ::close(fd);
  }
  const zelk::bench::PlainIo plain[kPasses] = {
      zelk::bench::bestPlain(kRepeats, {}, bytes, scratch),
      zelk::bench::bestPlain(kRepeats, {{table, bytes}}, bytes, scratch),
      zelk::bench::bestPlain(kRepeats, {}, bytes, scratch),
      zelk::bench::bestPlain(kRepeats, {{table, 2 * bytes}}, 2 * bytes, scratch),
  };

  std::printf("dBase postings table: %d postings of %llu bytes (best of %d); calls: %s\n", kRows,
              static_cast<unsigned long long>(length), kRepeats, zelk::bench::SyscallCounter().what());
  zelk::bench::printPassHeader();
  for (int k = 0; k < kPasses; ++k) zelk::bench::printPass(kPassNames[k], each[k], plain[k]);
  for (int k = 0; k < kPasses; ++k)
    zelk::bench::printPass((std::string(kPassNames[k]) + ", locked").c_str(), locked[k], plain[k]);
  std::printf("  (plain: the pass's bytes read and written in 1 MiB blocks, one fdatasync; the passes\n"
              "   sync nothing, so a ratio under 1 is possible)\n");
}
