// The postings list's filling: a file-loaded list of 32,767 postings over dbi.dbf
// with the list's eight columns and three variables riding along, against reading the
// same rows from the file alone, in the same run. Target: within 3 times.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/figures.h"
#include "bench/program.h"
#include "app/messages.h"
#include "app/startup.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/core/numtext.h"
#include "platform/framework/browse.h"
#include "platform/framework/errors.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/ui/window.h"
#include "tests/support/tempdir.h"

namespace {


using namespace zelk;

constexpr int kRows = 32767;  // the most postings one import numbers
constexpr int kRepeats = 3;   // best of

void addPostings() {
  static const std::string text = ansi("Оплата по счёту 17 от 31.12.2005, НДС не облагается");
  auto& f = dict::DBI();
  for (int i = 0; i < kRows; ++i) {
    f.clearBuffer();
    f.rec.NNOPER = i + 1;
    f.rec.DATAOPER = static_cast<std::int32_t>(date::dayNumber(2005, 12, 1 + i % 28));
    f.rec.NNDOC = std::to_string(i % 999999);
    f.rec.DT_SCHET = "51";
    f.rec.DT_CODE = "000042";
    f.rec.KT_SCHET = "60.1";
    f.rec.SUMMA = 1000.25 + i;
    f.rec.NAMEOPER = text;
    f.rec.STATUS = i % 2 ? "1" : "0";
    f.add();
  }
}

ui::WindowDef postingsList() {
  ui::WindowDef d;
  d.title = "bench";
  ui::ControlDef list;
  list.kind = ui::Kind::List;
  list.name = "?BROWSE:1";
  list.format = ansi(
      "40L(2)|M~Дата~@d17@27L(2)|M~№ док.~@s6@43L(2)|M~Сч.Дебет~@s10@39L(5)|M~Анал.Деб.~L(2)@s6@"
      "43L(1)|M~Сч.Кредит~L(2)@s10@43L(6)|M~Анал.Кред.~L(2)@s6@45L(2)|M~Сумма~@n_10.2@"
      "200L(2)|M~Наименование операции~@s50@");
  d.controls = {list};
  return d;
}

}  // namespace

void benchLists() {
  bench::ProgramRun run;
  const test::TempDir& dir = run.dir;
  dict::P_DBI = dir / "dbi.dbf";
  if (storage::dbase::driver().create(dict::DBI_DECL, dir / "dbi.dbf").code != 0) {
    std::printf("lists: cannot create dbi.dbf\n");
    return;
  }
  dict::Relate::DBI->Open();
  addPostings();

  auto& f = dict::DBI();
  int read = 0;
  double storage = zelk::bench::bestMillis(kRepeats, [&] {
    read = 0;
    f.set();
    while (f.next() == 0) ++read;
  });

  Text<70> nPart;
  double sDt = 0, sKt = 0;
  ui::Window window(postingsList());
  fw::WindowManager manager;
  manager.Init();
  manager.Open(window);
  fw::ListQueue queue;
  fw::BrowseClass list;
  list.Init(1, f, queue, *dict::Relate::DBI, manager);
  list.FileLoaded = true;
  list.AddSortOrder(nullptr, fw::kRecordOrder);
  auto& r = f.rec;
  for (ui::Use u : {ui::use(r.DATAOPER), ui::use(r.NNDOC), ui::use(r.DT_SCHET), ui::use(r.DT_CODE),
                    ui::use(r.KT_SCHET), ui::use(r.KT_CODE), ui::use(r.SUMMA), ui::use(r.NAMEOPER), ui::use(nPart),
                    ui::useNumber(sDt), ui::useNumber(sKt)})
    list.AddField(u);
  bool first = true;
  double filled = zelk::bench::bestMillis(kRepeats, [&] {
    list.Reset(!first);  // the first filling, then fillings forced anew
    first = false;
  });
  int rows = window.rowCount(1);

  std::printf("lists: file-loaded list of %d rows filled in %s ms; reading the %d rows alone %s ms; "
              "ratio %s (target at most 3)\n",
              rows, fixedText(filled, 1).c_str(), read, fixedText(storage, 1).c_str(),
              fixedText(storage > 0 ? filled / storage : 0.0, 2).c_str());

  manager.Kill();
  dict::Relate::DBI->Close();
  run.end();
}
