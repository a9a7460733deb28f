// The chart lists over a pln.dat of 30,000 rows of 10 firms (3,000 each, one name in a
// hundred holding the fragment): PLN_TAB opened, paged down and searched by the
// fragment, PLN_TAB1 filled with the firm's 3,000 rows; each beside the storage's own
// read of the same rows in the same run (the key's order, the other firms' rows
// passed over, the names tested by the same rule). Target: each under 3 times.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "app/messages.h"
#include "app/startup.h"
#include "bench/figures.h"
#include "bench/program.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/framework/casetables.h"
#include "platform/framework/errors.h"
#include "platform/script/scripted_user.h"
#include "review/chart.h"
#include "tests/support/tempdir.h"

namespace {

using namespace zelk;
using Clock = std::chrono::steady_clock;

constexpr int kFirms = 10, kRowsEach = 3000, kFirm = 5;
constexpr int kMatchEvery = 100;  // one name in a hundred holds the fragment
constexpr int kRepeats = 3;       // best of
constexpr const char* kFragment = "касса";

void writeRows(int rowsEach) {
  static const std::string plain = ansi("Расчеты с поставщиками и подрядчиками по договору"),
                           match = ansi("Операционная касса отделения");
  dict::Relate::PLN->Open();
  auto& f = dict::PLN();
  f.lock();
  std::int16_t kod = 0;
  for (int i = 0; i < rowsEach; ++i)
    for (int firm = 1; firm <= kFirms; ++firm) {
      f.clearBuffer();
      f.rec.KOD = ++kod;
      f.rec.NOMER = std::to_string(10 + (i * 7919) % 90) + "." + std::to_string(i);
      f.rec.NAME = i % kMatchEvery == 0 ? match : plain;
      f.rec.FIR = static_cast<std::int16_t>(firm);
      f.add();
    }
  f.unlock();
  dict::Relate::PLN->Close();
}

// The storage's read: the firm's rows in the order of the account number, from the
// start, until want rows are taken (all when want < 0); the rows read in rows.
int storageRead(storage::File& f, int want, const std::string& fragment, long& rows) {
  const auto& rec = *reinterpret_cast<const dict::PlnRecord*>(f.buffer());
  int taken = 0;
  rows = 0;
  f.set(dict::pln::KEY_2);
  while ((want < 0 || taken < want) && f.next() == 0) {
    ++rows;
    if (rec.FIR.get() == kFirm && fw::nameHasFragment(rec.NAME.view(), fragment)) ++taken;
  }
  return taken;
}

// The same, with the file opened first and closed after (opened is false: the file
// stays open between the runs, as a list keeps it).
double timedRead(bool opened, int want, const std::string& fragment, long& rows) {
  storage::TypedFile<dict::PlnRecord> f{dict::PLN_DECL};
  f.setNameSource([] { return dict::P_PLN.str(); });
  const int mode = storage::mode::kRead | storage::mode::kDenyNone;
  if (!opened) f.open(mode);
  const double ms = bench::bestMillis(kRepeats, [&] {
    if (opened) f.open(mode);
    storageRead(f, want, fragment, rows);
    if (opened) f.close();
  });
  f.close();
  return ms;
}

struct Timings {
  double opening = 1e300, pageDown = 1e300, search = 1e300, filling = 1e300;
  int openRows = 0, searchRows = 0, fillRows = 0;
};

// One run of each list: PLN_TAB opened, paged down, searched; PLN_TAB1 opened.
void runLists(Timings& t) {
  script::ScriptedUser user;
  user.install();
  Clock::time_point start;
  auto rowsOf = [](ui::Window& w) { return w.rowCount(w.number("?BROWSE:1")); };
  user.then([&](script::ScriptedUser& u) {
    ui::Window& w = u.window();
    t.opening = std::min(t.opening, bench::millisSince(start));
    t.openRows = rowsOf(w);
    start = Clock::now();
    w.userScroll(w.number("?BROWSE:1"), ui::Event::PageDown);
  });
  user.then([&](script::ScriptedUser& u) {
    ui::Window& w = u.window();
    t.pageDown = std::min(t.pageDown, bench::millisSince(start));
    u.type(w, "?NAME_P", ansi(kFragment));
    start = Clock::now();
    u.press(w, "?BUTTON8");
  });
  user.then([&](script::ScriptedUser& u) {
    ui::Window& w = u.window();
    t.search = std::min(t.search, bench::millisSince(start));
    t.searchRows = rowsOf(w);
    u.press(w, "?BUTTON9");
  });
  user.then([&](script::ScriptedUser& u) { u.press(u.window(), "?CLOSE"); });
  start = Clock::now();
  review::PLN_TAB();
  user.then([&](script::ScriptedUser& u) {
    ui::Window& w = u.window();
    t.filling = std::min(t.filling, bench::millisSince(start));
    t.fillRows = rowsOf(w);
    u.press(w, "?CLOSE");
  });
  start = Clock::now();
  review::PLN_TAB1();
  for (const std::string& f : user.failures()) std::printf("chart: %s\n", f.c_str());
  user.uninstall();
}

void line(const char* what, double list, double storage, int rows, long read) {
  std::printf("chart: %s: %s ms (%d rows on show); storage reading the same %ld rows %s ms; ratio %s (target below 3)\n",
              what, fixedText(list, 2).c_str(), rows, read, fixedText(storage, 2).c_str(),
              fixedText(storage > 0 ? list / storage : 0.0, 2).c_str());
}

}  // namespace

void benchChart() {
  bench::ProgramRun run;
  const test::TempDir& dir = run.dir;
  dict::P_PLN = dir / "pln.dat";
  dict::FIR = kFirm;
  writeRows(kRowsEach);

  Timings t;
  for (int i = 0; i < kRepeats; ++i) runLists(t);

  // The storage's read of what each step shows: a page (the list reads one row beyond
  // it to know whether more follow), with the file's open for the opening and without
  // for the next page; the page of matching rows; every row of the firm, with the open.
  const int page = t.openRows;
  long pageRead = 0, searchRead = 0, allRead = 0;
  const std::string fragment = ansi(kFragment);
  const double opening = timedRead(true, page + 1, "", pageRead);
  const double nextPage = timedRead(false, page + 1, "", pageRead);
  const double search = timedRead(false, t.searchRows + 1, fragment, searchRead);
  const double all = timedRead(true, -1, "", allRead);

  line("PLN_TAB opened", t.opening, opening, t.openRows, pageRead);
  line("PLN_TAB page down", t.pageDown, nextPage, page, pageRead);
  line("PLN_TAB search matching one row in a hundred", t.search, search, t.searchRows, searchRead);
  line("PLN_TAB1 filled", t.filling, all, t.fillRows, allRead);

  // The same lists over a file of half the rows: twice the rows should take about
  // twice the time (4 times would grow with the square).
  dict::P_PLN = dir / "half.dat";
  writeRows(kRowsEach / 2);
  Timings h;
  for (int i = 0; i < kRepeats; ++i) runLists(h);
  auto growth = [](double full, double half) { return fixedText(half > 0 ? full / half : 0.0, 2); };
  std::printf("chart: twice the rows (%d against %d a firm): PLN_TAB1 filled %s times the time, the search %s "
              "times (linear 2, square 4)\n",
              t.fillRows, h.fillRows, growth(t.filling, h.filling).c_str(), growth(t.search, h.search).c_str());

  run.end();
}
