// The partner list PR_TTT over 100,000 partners on the embedded SQLite data source,
// run as the program runs it (played by the scripted user, a list 20 rows high): its
// opening, a page down, the step locator to a code in the middle, and the first page
// of a search by a fragment that one partner in a hundred holds. Each beside the
// same rows read by isql in the same run (isql's own start taken off). Targets: the
// opening, a page and the locator each under 50 ms, the fragment's first page under
// 200 ms.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/messages.h"
#include "app/startup.h"
#include "bench/figures.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/framework/casetables.h"
#include "platform/framework/errors.h"
#include "platform/script/scripted_user.h"
#include "platform/storage/odbc/odbc.h"
#include "review/partners.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"

void benchPartners();

namespace {

using namespace zelk;
using Clock = std::chrono::steady_clock;

constexpr int kPartners = 100000;
constexpr int kRowsShown = 20;  // the list's height in rows
constexpr int kEvery = 100;     // one partner in a hundred holds the fragment
constexpr int kRepeats = 5;     // best of

const std::filesystem::path kSource = std::filesystem::path(__FILE__).parent_path().parent_path();

// Codes 000000, 000010 ... 999990: the locator's "5" lands in the middle.
std::string code(int i) {
  std::string s = std::to_string(i * 10);
  return std::string(6 - s.size(), '0') + s;
}

bool fill(const std::string& cs, std::string& problem) {
  storage::ErrorState e = storage::odbc::runScript(cs, test::readAll(kSource / "platform/storage/odbc/zlk-schema.sql"));
  if (e.code == 0) e = storage::odbc::runScript(cs, "DELETE FROM \"PARTNER\";");
  if (e.code != 0) {
    problem = e.fileText;
    return false;
  }
  storage::TypedFile<dict::ParRecord> f(dict::PARTNER_DECL);
  if (f.open(storage::mode::kReadWrite | storage::mode::kDenyNone) != 0 || f.lock() != 0) {
    problem = storage::lastError().fileText;
    return false;
  }
  const std::string marked = ansi("ООО \"РОМАШКА-"), plain = ansi("ООО \"Партнёр-");
  for (int i = 0; i < kPartners; ++i) {
    f.clearBuffer();
    f.rec.FLD_CODE = code(i);
    f.rec.SHORTNAME = (i % kEvery == 0 ? marked : plain) + code(i) + "\"";
    f.rec.ORGNAME = (i % kEvery == 0 ? marked : plain) + code(i) + ansi("\", г. Москва, ул. Тверская, д. 1");
    if (f.add() != 0) {
      problem = storage::lastError().fileText;
      return false;
    }
  }
  return f.unlock() == 0;
}

// The scripted user that reports the list 20 rows high, as the screen would.
class User : public script::ScriptedUser {
 public:
  void opened(ui::Window& w) override {
    if (int list = w.number("?BROWSE:1")) w.setVisibleRows(list, kRowsShown);
    ScriptedUser::opened(w);
  }
};

struct Figures {
  double open = 0, page = 0, locate = 0, search = 0;
};

// One run of the list: the four steps timed, each from the user's action to the
// moment the list waits for the user again.
Figures runList() {
  Figures f;
  User user;
  user.install();
  ui::Window* w = nullptr;
  int list = 0;
  Clock::time_point t0;
  auto act = [&](auto action) {
    user.then([&, action](script::ScriptedUser&) {
      action();
      t0 = Clock::now();
    });
  };
  auto took = [&](double& into) {
    user.then([&into, &t0](script::ScriptedUser&) { into = bench::millisSince(t0); });
  };
  user.then([&](script::ScriptedUser&) {
    f.open = bench::millisSince(t0);
    w = ui::threadWindows().back();
    list = w->number("?BROWSE:1");
  });
  act([&] { w->userScroll(list, ui::Event::PageDown); });
  took(f.page);
  act([&] { w->userKey(list, '5'); });
  took(f.locate);
  user.then([&](script::ScriptedUser&) { w->userScroll(list, ui::Event::ScrollTop); });
  user.then([&](script::ScriptedUser& u) { u.type(*w, "?NAME_D", ansi("ромашка")); });
  act([&] { w->userAccept(w->number("?BUTTON8")); });
  took(f.search);
  user.then([&](script::ScriptedUser&) {
    if (w->rowCount(list) != kRowsShown) std::cout << "  the search showed " << w->rowCount(list) << " rows\n";
    w->userAccept(w->number("?BUTTON9"));
  });
  user.then([&](script::ScriptedUser&) { w->userAccept(w->number("?CLOSE")); });
  dict::NAME_D.clear();
  t0 = Clock::now();
  review::PR_TTT();
  for (const std::string& failure : user.failures()) std::cout << "  script: " << failure << "\n";
  user.uninstall();
  return f;
}

double isqlMillis(const std::string& cs, const std::string& script, const test::TempDir& dir) {
  test::writeAll(dir / "isql.sql", script);
  const std::string cmd = "isql -b -k '" + cs + "' < '" + (dir / "isql.sql") + "' > /dev/null 2>&1";
  return bench::millis([&] {
    if (std::system(cmd.c_str()) != 0) std::cout << "  isql failed\n";
  });
}

// The same rows read by isql: a page from the start, the next page, a page from the
// middle code, and the rows the search goes through for its first page.
Figures isqlFigures(const std::string& cs, const test::TempDir& dir) {
  std::string columns;
  for (const storage::FieldDesc& fd : dict::PARTNER_DECL.fields) {
    std::string name;
    for (char c : storage::columnName(fd))
      if (c != '`') name += c;
    columns += (columns.empty() ? "\"" : ", \"") + name + "\"";
  }
  const std::string select = "SELECT " + columns + " FROM \"PARTNER\"";
  auto limit = [](int n) { return " ORDER BY \"code\" LIMIT " + numberText(n) + "\n"; };
  const double start = bench::bestMillis(kRepeats, [&] { isqlMillis(cs, "SELECT 1\n", dir); });
  auto best = [&](const std::string& q) {
    return std::max(0.0, bench::bestMillis(kRepeats, [&] { isqlMillis(cs, q, dir); }) - start);
  };
  Figures f;
  f.open = best(select + limit(kRowsShown));
  f.page = best(select + " WHERE \"code\" > '" + code(kRowsShown - 1) + "'" + limit(kRowsShown));
  f.locate = best(select + " WHERE \"code\" >= '5'" + limit(kRowsShown));
  f.search = best(select + limit(kRowsShown * kEvery));
  return f;
}

void line(const char* what, double list, double isql, double target) {
  std::cout << "  " << what << fixedText(list, 2) << " ms; isql " << fixedText(isql, 2) << " ms; ratio "
            << (isql > 0 ? fixedText(list / isql, 1) : std::string("-")) << "; target under " << fixedText(target, 0)
            << " ms\n";
}

}  // namespace

void benchPartners() {
  std::cout << "partners: PR_TTT over " << numberText(kPartners) << " partners on SQLite, a list of " << kRowsShown
            << " rows\n";
  test::TempDir dir;
  const auto oldDir = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ::setenv("ODBCSYSINI", dir.path().c_str(), 1);
  ::setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
  std::ofstream(dir / "odbc.ini");
  std::ofstream(dir / "odbcinst.ini") << "[SQLite3]\nDriver=libsqlite3odbc.so\n";
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  std::filesystem::copy_file(kSource / "app" / fw::kCaseTablesFile, dir / fw::kCaseTablesFile);
  const std::string cs = "Driver=SQLite3;Database=" + (dir / "zlk.db") + ";";

  app::processStart();
  app::threadStart();
  fw::globalErrors().Init(app::defaultErrors());
  storage::odbc::setConnectionString(cs);
  dict::DCTINIT();
  std::string problem;
  if (!fill(cs, problem)) {
    std::cout << "  skipped: " << problem << "\n";
  } else {
    Figures list = runList();  // the first run warms the data source's cache
    for (int i = 0; i < kRepeats; ++i) {
      Figures r = runList();
      list.open = std::min(list.open, r.open);
      list.page = std::min(list.page, r.page);
      list.locate = std::min(list.locate, r.locate);
      list.search = std::min(list.search, r.search);
    }
    Figures isql = isqlFigures(cs, dir);
    line("opening:                      ", list.open, isql.open, 50);
    line("a page down:                  ", list.page, isql.page, 50);
    line("locator to the middle code:   ", list.locate, isql.locate, 50);
    line("fragment (1 in 100), page 1:  ", list.search, isql.search, 200);
  }
  dict::DCTKILL();
  app::threadEnd();
  storage::odbc::setConnectionString("DSN=zlk");
  std::filesystem::current_path(oldDir);
}
