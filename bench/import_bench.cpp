// The three importers' runs at their limit: a statement of 32,767 documents (an RFK
// table of 32,767 payments) imported into files that already hold a previous run of
// that size, headless. Beside each run:
// - the plain baseline in the same process: the input read in 64 KB blocks, the
//   previous run's records read and flagged one by one, the new postings and rows
//   written one pwrite each, both files synced, as the run's statements do;
// - the peak memory (VmHWM) of the run beside that of an empty run, each measured in
//   a child process of its own, so one run's pages do not count for another.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "app/messages.h"
#include "app/startup.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "import/bss.h"
#include "import/loko.h"
#include "import/rfk.h"
#include "platform/core/date.h"
#include "platform/framework/errors.h"
#include "platform/storage/dbase/dbase.h"
#include "tests/import/statements.h"
#include "tests/support/tempdir.h"

namespace {

using zelk::bench::fixed;
using zelk::bench::whole;

using namespace zelk;
namespace fs = std::filesystem;

constexpr int kDocuments = 32767;
constexpr int kRepeats = 3;  // best of
constexpr std::size_t kPostingBytes = 217;  // a dbi.dbf record, deletion flag included
constexpr std::size_t kRowBytes = 162;      // a PRT record

enum class Format { Loko, Rfk, Bss };

using zelk::bench::millisSince;

// The process's peak resident memory in KiB.
long peakKib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) {
      const std::size_t at = line.find_first_of("0123456789");
      long kib = -1;
      if (at != std::string::npos) std::from_chars(line.data() + at, line.data() + line.size(), kib);
      return kib;
    }
  return -1;
}

// Writes the input of n documents; returns its name.
std::string makeInput(const test::TempDir& dir, Format f, int n, const std::string& name) {
  const std::string path = dir / name;
  if (f == Format::Rfk) {
    std::vector<test::Payment> payments;
    payments.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      payments.push_back({0, static_cast<std::int32_t>(date::dayNumber(2024, 3, 1 + i % 28)), i == 0 ? 350000.0 : 0.0,
                          i % 2 ? 0.0 : 1000.25 + i, i % 2 ? 500.5 + i : 0.0, std::to_string(i + 1),
                          "ООО \"Контрагент " + std::to_string(i) + "\" ИНН 7701234567",
                          "Оплата по счёту " + std::to_string(i) + " от 01.03.2024, НДС не облагается"});
    test::writePayments(path, payments);
    return path;
  }
  std::ofstream out(path, std::ios::binary);
  if (f == Format::Loko) {
    for (int i = 0; i < n; ++i)
      out << test::lokoGroup({"350000.00", std::to_string(i + 1), "01-03-2024", i % 2 ? "-500.50" : "1000.25",
                              "Оплата по счёту " + std::to_string(i) + " от 01.03.2024, НДС не облагается",
                              "ООО \"Плательщик " + std::to_string(i) + "\"", "ООО \"Получатель " + std::to_string(i) + "\""});
  } else {
    out << test::dos("Выписка по счёту 40702810900000001234") << test::kCrLf
        << test::bssHeader("01.03.2024", "350000,00", zelk::dict::kBssLine) << test::kCrLf;
    for (int i = 0; i < n; ++i)
      out << test::bssDocument({"01.03.2024", std::to_string(i % 100000), i % 2 ? "40702810900000001234" : "40702810100000005678",
                                "ООО \"Плательщик " + std::to_string(i) + "\"", "ООО \"Получатель " + std::to_string(i) + "\"",
                                "1000,25", "Оплата по счёту " + std::to_string(i) + " от 01.03.2024, НДС не облагается"},
                               zelk::dict::kBssLine)
          << test::kCrLf;
  }
  return path;
}

struct Measured {
  double ms = 0;
  long peak = 0;
  int count = 0;
};

import::ImportResult runOnce(Format f, const std::string& input) {
  switch (f) {
    case Format::Loko: return import::runLoko(input, {});
    case Format::Bss: return import::runBss(input, {});
    case Format::Rfk: break;
  }
  return import::runRfk(0, kLastDay, {});
}

// In a child process: the program's layers, the firm's files in their own folder, a
// previous run over the same input when asked, then the measured runs (the best
// time; every run after the first finds the files holding a previous run).
Measured inChild(const test::TempDir& dir, Format f, const std::string& input, bool previous) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string firm = dir / (previous ? "firm" : "empty-firm");
    fs::remove_all(firm);
    fs::create_directories(firm);
    app::processStart();
    app::threadStart();
    fw::globalErrors().Init(app::defaultErrors());
    dict::DCTINIT();
    dict::P_DBI = firm + "/dbi.dbf";
    dict::P_PRT = firm + "/prt.dat";
    dict::P_LVO = firm + "/lvo.dat";
    dict::RFKPATH = input;
    dict::N_SC_B = "51";
    dict::N_SC_P = "40702810900000001234";
    storage::dbase::driver().create(dict::DBI_DECL, firm + "/dbi.dbf");
    dict::Relate::DBI->Open();
    dict::Relate::LVO->Open();
    dict::Relate::PRT->Open();
    if (f == Format::Rfk) dict::Relate::SUBS_CLT->Open();
    if (previous) runOnce(f, input);
    Measured m{1e300, 0, 0};
    for (int i = 0; i < kRepeats; ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      const import::ImportResult r = runOnce(f, input);
      m.ms = std::min(m.ms, millisSince(t0));
      m.count = r.outcome == import::Outcome::Done ? r.count.value_or(-1) : -1;
    }
    m.peak = peakKib();
    if (::write(fds[1], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  Measured m;
  if (::read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m.count = -2;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return m;
}

// The plain baseline of one run (see the top of the file).
double plainRun(const test::TempDir& dir, const std::string& input, int n) {
  const std::string postings = dir / "plain-postings", rows = dir / "plain-rows";
  const int p = ::open(postings.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  const int r = ::open(rows.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  std::vector<char> rec(kPostingBytes, 'x');
  for (int i = 0; i < n; ++i) {  // the previous run, as the files hold it (not timed)
    if (::pwrite(p, rec.data(), kPostingBytes, static_cast<off_t>(i) * kPostingBytes) < 0) break;
    if (::pwrite(r, rec.data(), kRowBytes, static_cast<off_t>(i) * kRowBytes) < 0) break;
  }
  ::fdatasync(p);
  ::fdatasync(r);

  const auto t0 = std::chrono::steady_clock::now();
  std::vector<char> block(64 * 1024);
  const int in = ::open(input.c_str(), O_RDONLY);
  while (::read(in, block.data(), block.size()) > 0) {
  }
  ::close(in);
  for (int fd : {p, r}) {  // the emptying pass: read each record, flag it
    const std::size_t len = fd == p ? kPostingBytes : kRowBytes;
    for (int i = 0; i < n; ++i) {
      const off_t at = static_cast<off_t>(i) * static_cast<off_t>(len);
      if (::pread(fd, rec.data(), len, at) < 0 || ::pwrite(fd, "*", 1, at) < 0) break;
    }
  }
  for (int i = 0; i < n; ++i) {  // the new postings after the deleted ones, the rows in place
    if (::pwrite(p, rec.data(), kPostingBytes, static_cast<off_t>(n + i) * kPostingBytes) < 0) break;
    if (::pwrite(r, rec.data(), kRowBytes, static_cast<off_t>(i) * kRowBytes) < 0) break;
  }
  ::fdatasync(p);
  ::fdatasync(r);
  const double ms = millisSince(t0);
  ::close(p);
  ::close(r);
  fs::remove(postings);
  fs::remove(rows);
  return ms;
}

}  // namespace

void benchImport() {
  dict::registerDrivers();
  test::TempDir dir;
  std::printf("Import runs: %d documents into files holding a previous run of that size (best of %d)\n", kDocuments,
              kRepeats);
  std::printf("  %-24s %9s %9s %9s %7s %11s %11s %11s\n", "format", "input MB", "run ms", "plain ms", "ratio",
              "peak MiB", "empty MiB", "more MiB");
  const struct {
    const char* name;
    Format f;
    const char* file;
    const char* emptyFile;
  } formats[] = {
      {"On-soft/Loko-Bank", Format::Loko, "loko.txt", "loko-empty.txt"},
      {"RFK payments table", Format::Rfk, "subs_clt.dbf", "subs_clt-empty.dbf"},
      {"BSS", Format::Bss, "bss.txt", "bss-empty.txt"},
  };
  for (const auto& fm : formats) {
    const std::string input = makeInput(dir, fm.f, kDocuments, fm.file);
    const std::string empty = makeInput(dir, fm.f, 0, fm.emptyFile);
    const Measured run = inChild(dir, fm.f, input, true);
    const Measured none = inChild(dir, fm.f, empty, false);
    double plain = 1e300;
    for (int i = 0; i < kRepeats; ++i) plain = std::min(plain, plainRun(dir, input, kDocuments));
    const double mb = static_cast<double>(fs::file_size(input)) / 1e6;
    std::printf("  %-24s %9s %9s %9s %6sx %11s %11s %11s%s\n", fm.name, fixed(mb, 1).c_str(), fixed(run.ms, 1).c_str(),
                fixed(plain, 1).c_str(), fixed(run.ms / plain, 1).c_str(), fixed(run.peak / 1024.0, 1).c_str(),
                fixed(none.peak / 1024.0, 1).c_str(), fixed((run.peak - none.peak) / 1024.0, 1).c_str(),
                run.count == kDocuments ? "" : "  !! the run did not post every document");
    fs::remove(input);
  }
  std::printf("  (targets: ratio within 5x, peak under 16 MiB above the empty run's)\n");
}
