// The postings list over a dbi.dbf of 32,767 postings, each with its counterparty
// row in prt.dat: the list opened headless until its first screen is ready (the rows
// read, both passes, every counterparty read) and the return from the posting form
// (the list filled and the totals computed anew), beside dbview printing the same
// dbi.dbf to /dev/null in the same run, with the system calls per posting of the
// opening and of the return. Target: both faster than dbview.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
#include "platform/core/date.h"
#include "platform/core/numtext.h"
#include "platform/framework/errors.h"
#include "platform/script/scripted_user.h"
#include "platform/storage/dbase/dbase.h"
#include "bench/syscalls.h"
#include "review/postings.h"
#include "tests/support/tempdir.h"

namespace {

using namespace zelk;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 32767;  // the most postings one import numbers
constexpr int kRepeats = 3;   // best of

void writeFiles() {
  static const std::string purpose = ansi("Оплата по счёту 17 от 31.12.2005, НДС не облагается");
  static const std::string payer = ansi("ООО \"Ромашка\" ИНН 7701234567 р/с 40702810000000000001 в АО \"Локо-Банк\"");
  dict::Relate::DBI->Open();
  dict::Relate::PRT->Open();
  dict::Relate::LVO->Open();
  auto& dbi = dict::DBI();
  auto& prt = dict::PRT();
  for (int i = 1; i <= kRows; ++i) {
    prt.clearBuffer();
    prt.rec.KOD = static_cast<std::int16_t>(i);
    prt.rec.NAME = payer;
    prt.add();
    dbi.clearBuffer();
    dbi.rec.NNOPER = i;
    dbi.rec.DATAOPER = static_cast<std::int32_t>(date::dayNumber(2005, 12, 1 + i % 28));
    dbi.rec.NNDOC = std::to_string(i);
    dbi.rec.SUMMA = 1000.25 + i;
    dbi.rec.NAMEOPER = purpose;
    dbi.rec.STATUS = i % 2 ? "1" : "0";
    (i % 2 ? dbi.rec.KT_SCHET : dbi.rec.DT_SCHET) = "51";
    dbi.add();
  }
  auto& lvo = dict::LVO();
  lvo.clearBuffer();
  lvo.rec.OST = 350000;
  lvo.add();
  dict::Relate::LVO->Close();
  dict::Relate::PRT->Close();
  dict::Relate::DBI->Close();
}

struct Timings {
  double opening = 0, back = 0;
  long long openingCalls = 0, backCalls = 0;  // system calls
  int rows = 0;
};

// One run of the list: opened, the form opened on the first posting and closed, the
// list closed.
Timings runList() {
  Timings t;
  bench::SyscallCounter counter;
  script::ScriptedUser user;
  user.install();
  Clock::time_point start = Clock::now(), closing;
  user.then([&](script::ScriptedUser& u) {
    ui::Window& w = u.window();
    t.opening = bench::millisSince(start);
    counter.stop();
    t.openingCalls = counter.calls();
    t.rows = w.rowCount(w.number("?BROWSE:1"));
    u.press(w, "?CHANGE:4");
  });
  user.then([&](script::ScriptedUser& u) {
    counter.start();
    closing = Clock::now();
    u.press(u.window(), "?CANCEL");
  });
  user.then([&](script::ScriptedUser& u) {
    t.back = bench::millisSince(closing);
    counter.stop();
    t.backCalls = counter.calls();
    u.press(u.window(), "?CLOSE");
  });
  counter.start();
  start = Clock::now();
  review::DBI_TAB();
  for (const std::string& f : user.failures()) std::printf("postings: %s\n", f.c_str());
  user.uninstall();
  return t;
}

}  // namespace

void benchPostings() {
  bench::ProgramRun run;
  const test::TempDir& dir = run.dir;
  dict::P_DBI = dir / "dbi.dbf";
  dict::P_PRT = dir / "prt.dat";
  dict::P_LVO = dir / "lvo.dat";
  dict::P_PLN = dir / "pln.dat";
  if (storage::dbase::driver().create(dict::DBI_DECL, dir / "dbi.dbf").code != 0) {
    std::printf("postings: cannot create dbi.dbf\n");
    return;
  }
  writeFiles();

  Timings best{1e300, 1e300, 0, 0, 0};
  for (int i = 0; i < kRepeats; ++i) {
    const Timings t = runList();
    if (t.opening < best.opening) {
      best.opening = t.opening;
      best.openingCalls = t.openingCalls;
    }
    if (t.back < best.back) {
      best.back = t.back;
      best.backCalls = t.backCalls;
    }
    best.rows = t.rows;
  }
  const std::string command = "dbview " + (dir / "dbi.dbf") + " >/dev/null 2>&1";
  int status = 0;
  const double dbview = bench::bestMillis(kRepeats, [&] { status = std::system(command.c_str()); });

  const double rows = best.rows > 0 ? best.rows : 1;
  const char* counted = bench::SyscallCounter().what();
  std::printf(
      "postings: list of %d postings with their counterparty rows opened in %s ms, back from the "
      "form in %s ms; dbview printing the same dbi.dbf %s ms%s; opening/dbview ratio %s, %s %s per "
      "posting; back/dbview ratio %s, %s %s per posting (target both below 1)\n",
      best.rows, fixedText(best.opening, 1).c_str(), fixedText(best.back, 1).c_str(), fixedText(dbview, 1).c_str(),
      status == 0 ? "" : " (dbview failed)", fixedText(dbview > 0 ? best.opening / dbview : 0.0, 2).c_str(),
      fixedText(static_cast<double>(best.openingCalls) / rows, 2).c_str(), counted,
      fixedText(dbview > 0 ? best.back / dbview : 0.0, 2).c_str(),
      fixedText(static_cast<double>(best.backCalls) / rows, 2).c_str(), counted);

  run.end();
}
