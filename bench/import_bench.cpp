// The three importers' runs at their limit: a statement of 32,767 documents (an RFK
// table of 32,767 payments) imported headless into empty files and into files that
// hold a previous run of that size. Beside each run, measured in the same child
// process right after it: the least plain I/O of the same bytes (the statement and
// the old files read, the resulting files' bytes written, one fdatasync; plain.h),
// the system calls of each, the bytes the run wrote against the bytes of the files it
// leaves, and the peak memory (VmHWM) beside that of a run over an empty statement.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/plain.h"
#include "bench/syscalls.h"
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
#include "platform/core/numtext.h"
#include "platform/framework/errors.h"
#include "platform/storage/dbase/dbase.h"
#include "tests/import/statements.h"
#include "tests/support/tempdir.h"

namespace {


using namespace zelk;
namespace fs = std::filesystem;

constexpr int kDocuments = 32767;
constexpr int kRepeats = 3;  // best of

enum class Format { Loko, Rfk, Bss };

using zelk::bench::millisSince;

const import::Accounts kAccounts{"40702810900000001234", "51"};  // the firm's own account, its ledger account

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
  double ms = 0, cpuMs = 0;  // wall time; the process's CPU time (a figure that load on
                             // the machine disturbs less)
  long long calls = 0, written = 0, result = 0;
  bench::PlainIo plain;
  long peak = 0;
  int count = 0;
};

// The process's CPU time so far (precise, where the user and system split of
// getrusage is counted in scheduler ticks).
double cpuMillis() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

import::ImportResult runOnce(Format f, const std::string& input) {
  switch (f) {
    case Format::Loko: return import::runLoko(input, kAccounts, {});
    case Format::Bss: return import::runBss(input, kAccounts, {});
    case Format::Rfk: break;
  }
  return import::runRfk(0, kLastDay, kAccounts, {});
}

// The firm's files the import writes.
std::vector<std::string> firmFiles(const std::string& firm) {
  return {firm + "/dbi.dbf", firm + "/prt.dat", firm + "/prt.K01", firm + "/lvo.dat"};
}

std::uint64_t sizeOf(const std::string& path) {
  std::error_code ec;
  const auto n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

// In a child process: the program's layers, the firm's files in their own folder, a
// previous run over the same input when asked, then one measured run and the plain
// I/O of its bytes.
Measured inChild(const test::TempDir& dir, Format f, const std::string& input, bool previous) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string firm = dir / "firm";
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
    storage::dbase::driver().create(dict::DBI_DECL, firm + "/dbi.dbf");
    dict::Relate::DBI->Open();
    dict::Relate::LVO->Open();
    dict::Relate::PRT->Open();
    if (f == Format::Rfk) dict::Relate::SUBS_CLT->Open();
    if (previous) runOnce(f, input);
    std::vector<bench::PlainRead> reads{{input, sizeOf(input)}};
    for (const std::string& p : firmFiles(firm)) reads.push_back({p, sizeOf(p)});
    Measured m;
    bench::SyscallCounter counter;
    counter.start();
    const double cpu0 = cpuMillis();
    const auto t0 = std::chrono::steady_clock::now();
    const import::ImportResult r = runOnce(f, input);
    m.ms = millisSince(t0);
    m.cpuMs = cpuMillis() - cpu0;
    counter.stop();
    m.calls = counter.calls();
    m.written = counter.written();
    m.count = r.outcome == import::Outcome::Done ? r.count.value_or(-1) : -1;
    for (const std::string& p : firmFiles(firm)) m.result += static_cast<long long>(sizeOf(p));
    m.plain = bench::plainIo(reads, static_cast<std::uint64_t>(m.result), dir / "plain");
    for (int i = 1; i < kRepeats; ++i) {  // the best of the plain runs too
      const bench::PlainIo p = bench::plainIo(reads, static_cast<std::uint64_t>(m.result), dir / "plain");
      if (p.ms < m.plain.ms) m.plain = p;
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

// The best of kRepeats children (by the run's time).
Measured best(const test::TempDir& dir, Format f, const std::string& input, bool previous) {
  Measured b = inChild(dir, f, input, previous);
  for (int i = 1; i < kRepeats; ++i) {
    Measured m = inChild(dir, f, input, previous);
    if (m.ms < b.ms) b = m;
  }
  return b;
}

double mib(long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

void benchImport() {
  dict::registerDrivers();
  test::TempDir dir;
  const char* counted = bench::SyscallCounter().what();
  std::printf("Import runs: %d documents (best of %d); plain: the same bytes read and written in 1 MiB blocks, "
              "one fdatasync; calls: %s\n",
              kDocuments, kRepeats, counted);
  std::printf("  %-20s %-9s %8s %8s %8s %8s %7s %10s %11s %9s %9s %6s %9s %9s\n", "format", "files", "input MB",
              "run ms", "cpu ms", "plain ms", "ratio", "calls", "plain calls", "calls/doc", "written", "w/res",
              "peak MiB", "more MiB");
  const struct {
    const char* name;
    const char* key;
    Format f;
    const char* file;
    const char* emptyFile;
  } formats[] = {
      {"On-soft/Loko-Bank", "loko", Format::Loko, "loko.txt", "loko-empty.txt"},
      {"RFK payments table", "rfk", Format::Rfk, "subs_clt.dbf", "subs_clt-empty.dbf"},
      {"BSS", "bss", Format::Bss, "bss.txt", "bss-empty.txt"},
  };
  // ZELK_IMPORT_FORMATS (e.g. "loko,rfk") limits the run to the named formats.
  const char* only = std::getenv("ZELK_IMPORT_FORMATS");
  for (const auto& fm : formats) {
    if (only && !std::strstr(only, fm.key)) continue;
    const std::string input = makeInput(dir, fm.f, kDocuments, fm.file);
    const std::string empty = makeInput(dir, fm.f, 0, fm.emptyFile);
    const Measured none = inChild(dir, fm.f, empty, false);
    const double mb = static_cast<double>(fs::file_size(input)) / 1e6;
    for (bool previous : {false, true}) {
      const Measured run = best(dir, fm.f, input, previous);
      std::printf(
          "  %-20s %-9s %8s %8s %8s %8s %6sx %10s %11s %9s %8sM %5sx %9s %9s%s\n", fm.name,
          previous ? "previous" : "empty", fixedText(mb, 1).c_str(), fixedText(run.ms, 1).c_str(),
          fixedText(run.cpuMs, 1).c_str(), fixedText(run.plain.ms, 1).c_str(),
          fixedText(run.ms / run.plain.ms, 1).c_str(), numberText(run.calls).c_str(),
          numberText(run.plain.calls).c_str(), fixedText(static_cast<double>(run.calls) / kDocuments, 2).c_str(),
          fixedText(mib(run.written), 1).c_str(),
          fixedText(static_cast<double>(run.written) / static_cast<double>(std::max(1LL, run.result)), 2).c_str(),
          fixedText(run.peak / 1024.0, 1).c_str(), fixedText((run.peak - none.peak) / 1024.0, 1).c_str(),
          run.count == kDocuments ? "" : "  !! the run did not post every document");
    }
    fs::remove(input);
  }
  std::printf("  (targets: ratio within 3x into empty files, 5x into a previous run's; at most 3 calls per document;\n"
              "   written at most 2x the resulting files; peak under 16 MiB above the empty statement's run)\n");
}
