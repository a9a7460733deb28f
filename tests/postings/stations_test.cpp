// A list's change re-reads the record of its highlighted row, and only that record:
// one another station took away (a re-import of the postings, a chart row or a firm
// deleted) opens no form, neither on it nor on the record after it; a chart row of
// another firm is never stamped with this one. The other station is a process of its
// own, let loose between this station's list filling and its button press.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fixture.h"
#include "import/loko.h"
#include "tests/import/statements.h"

namespace zelk::test {
namespace {

constexpr const char* kChartTitle = "Фрагмент плана счетов для корреспонденции с расчетным счетом";
constexpr const char* kFirmsTitle = "Настройка фирм для иморта";
constexpr const char* kChartFormKey = "ZELK$zelk009";
constexpr const char* kGoneCaption = "Запись не обновляется";
constexpr const char* kGoneText = "Запись была изменена другой рабочей станцией.";

// Another station: a process forked before this station opens a window, held until
// go() lets it do its work; go() returns once it has ended, true when the work went
// through. Its work opens files of its own.
class OtherStation {
 public:
  explicit OtherStation(const std::function<bool()>& work) {
    if (pipe(go_) != 0) return;
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      close(go_[1]);
      char c = 0;
      const bool released = read(go_[0], &c, 1) == 1;
      _exit(released && work() ? 0 : 1);
    }
    close(go_[0]);
  }
  OtherStation(const OtherStation&) = delete;
  OtherStation& operator=(const OtherStation&) = delete;
  ~OtherStation() { finish(false); }

  bool go() { return finish(true); }

 private:
  bool finish(bool release) {
    if (pid_ <= 0) return false;
    const bool sent = release && write(go_[1], "g", 1) == 1;
    close(go_[1]);  // unreleased, it ends without working
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  int go_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// One file's records as a station reads them, one text each (UTF-8).
template <class R>
std::vector<std::string> recordsOf(const storage::FileDecl& decl, const std::string& path, int key,
                                   std::string (*text)(const R&)) {
  storage::TypedFile<R> f(decl);
  f.setNameSource([path] { return path; });
  std::vector<std::string> out;
  if (f.open(storage::mode::kRead | storage::mode::kDenyNone) != 0) return out;
  if ((key < 0 ? f.set() : f.set(key)) == 0)
    while (f.next() == 0) out.push_back(text(f.rec));
  return out;
}

std::string postingText(const dict::DbiRecord& r) {
  return cp::toUtf8(std::string(trimRight(r.NNDOC.view()))) + "|" + cp::toUtf8(std::string(trimRight(r.KT_SCHET.view())));
}
std::string accountText(const dict::PlnRecord& r) {
  return std::to_string(r.KOD.get()) + "|" + cp::toUtf8(std::string(trimRight(r.NOMER.view()))) + "|" +
         cp::toUtf8(std::string(trimRight(r.NAME.view()))) + "|" + std::to_string(r.FIR.get());
}
std::string firmText(const dict::FnmRecord& r) {
  return std::to_string(r.KOD.get()) + "|" + cp::toUtf8(std::string(trimRight(r.NAME.view())));
}

class StationsTest : public PostingsTest {
 protected:
  void SetUp() override {
    PostingsTest::SetUp();
    dict::FIR = 1;
    std::string text;
    for (const char* n : {"101", "102", "103"})
      text += lokoGroup({"100.00", n, "01-03-2024", "10.00", "Оплата", "Плательщик", "Получатель"});
    statement = write("vypiska.txt", text);
  }

  // The statement imported: the postings 101, 102 and 103 with their rows.
  bool import() {
    if (dict::Relate::DBI->Open() != 0 || dict::Relate::LVO->Open() != 0 || dict::Relate::PRT->Open() != 0)
      return false;
    const import::ImportResult r = import::runLoko(statement, accounts, {});
    dict::Relate::PRT->Close();
    dict::Relate::LVO->Close();
    dict::Relate::DBI->Close();
    return r.outcome == import::Outcome::Done;
  }
  // Firms 1 and 2 share the chart file: this firm's 60.1 and 62.1, firm 2's 60.1
  // right after this firm's in the order of the account numbers.
  static bool writeChart() {
    if (dict::Relate::PLN->Open() != 0) return false;
    bool ok = true;
    for (const auto& [kod, nomer, name, fir] : {std::tuple{1, "60.1", "Поставщики", 1}, std::tuple{2, "60.1", "Поставщики Беты", 2},
                                                std::tuple{3, "62.1", "Покупатели", 1}}) {
      auto& f = dict::PLN();
      f.clearBuffer();
      f.rec.KOD = static_cast<std::int16_t>(kod);
      f.rec.NOMER = nomer;
      f.rec.NAME = ansi(name);
      f.rec.FIR = static_cast<std::int16_t>(fir);
      ok = ok && f.add() == 0;
    }
    dict::Relate::PLN->Close();
    return ok;
  }
  static bool writeFirms() {
    if (dict::Relate::F_NAME->Open() != 0) return false;
    bool ok = true;
    for (const auto& [kod, name] : {std::pair{1, "Альфа"}, std::pair{2, "Бета"}, std::pair{3, "Гамма"}}) {
      auto& f = dict::F_NAME();
      f.clearBuffer();
      f.rec.KOD = static_cast<std::int16_t>(kod);
      f.rec.NAME = ansi(name);
      f.rec.PATH = "C:\\BASE";
      ok = ok && f.add() == 0;
    }
    dict::Relate::F_NAME->Close();
    return ok;
  }
  // Another station deletes the record of a file with this key value.
  template <class R>
  static bool deleteByKey(fw::RelationManager* relate, storage::TypedFile<R>& f, int key, std::int16_t kod) {
    if (relate->Open() != 0) return false;
    f.clearBuffer();
    f.rec.KOD = kod;
    const bool ok = f.get(key) == 0 && f.erase() == 0;
    relate->Close();
    return ok;
  }

  std::string statement;
};

TEST_F(StationsTest, AChangeOfARecordAnotherStationTookAwayOpensNoFormOnAnother) {
  struct Case {
    const char* name;
    const char* list;   // the list procedure and its title
    const char* title;
    int row;            // the row whose record the other station takes away
    const char* entry;  // an entry of the form that would open, and a text for it
    const char* typed;
    std::function<bool()> fill, other;        // the files; the other station's work
    std::function<std::vector<std::string>()> onDisk;
    int rowsAfter;  // the list filled anew
  };
  const Case cases[] = {
      {"postings re-imported", "DBI_TAB", kPostingsListTitle, 2, "?DBI:KT_SCHET", "62.1",
       [&] { return import(); }, [&] { return import(); },
       [&] { return recordsOf<dict::DbiRecord>(dict::DBI_DECL, dict::P_DBI.str(), -1, postingText); }, 3},
      {"a chart row deleted", "PLN_TAB", kChartTitle, 1, "?PLN:NAME", "Moved",
       [] { return writeChart(); },
       [] { return deleteByKey(dict::Relate::PLN, dict::PLN(), dict::pln::KEY_1, 1); },
       [&] { return recordsOf<dict::PlnRecord>(dict::PLN_DECL, dict::P_PLN.str(), dict::pln::KEY_1, accountText); }, 1},
      {"a firm deleted", "FNM_TAB", kFirmsTitle, 2, "?FNM:NAME", "Renamed",
       [] { return writeFirms(); },
       [] { return deleteByKey(dict::Relate::F_NAME, dict::F_NAME(), dict::fnm::KEY_1, 2); },
       [&] { return recordsOf<dict::FnmRecord>(dict::F_NAME_DECL, dir / "F_NAME", dict::fnm::KEY_1, firmText); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.fill());
    OtherStation other(c.other);
    bool worked = false;
    std::vector<std::string> afterOther;
    std::string afterPress;
    int rows = -1;
    on(c.title, [&](script::ScriptedUser& u, ui::Window& w) {
      u.selectRow(w, "?BROWSE:1", c.row);
      worked = other.go();
      afterOther = c.onDisk();
      u.press(w, "?CHANGE:4");
    });
    then([&](script::ScriptedUser& u, ui::Window& w) {
      afterPress = title(w);
      if (w.title() == ansi(c.title)) return;
      u.type(w, c.entry, c.typed);  // a form on another record: what the fault writes
      u.press(w, "?OK");
    });
    on(c.title, [&](script::ScriptedUser& u, ui::Window& w) {
      u.expectBox(ansi(kGoneCaption), ansi(kGoneText));
      rows = w.rowCount(w.number("?BROWSE:1"));
      u.press(w, "?CLOSE");
    });
    app::procedure(c.list)();
    EXPECT_TRUE(worked);
    EXPECT_EQ(afterPress, c.title);  // no form opened
    EXPECT_EQ(rows, c.rowsAfter);
    EXPECT_EQ(c.onDisk(), afterOther);  // nothing written
  }
}

// One station: the credit look-up still lists a chart row that the debit look-up
// deleted; its change opens no form on the next row, firm 2's, so nothing moves
// firm 2's row into this firm.
TEST_F(StationsTest, TheCreditLookUpsChangeOfARowDeletedInTheDebitLookUpMovesNoOtherFirmsRow) {
  ASSERT_TRUE(import());
  ASSERT_TRUE(writeChart());
  ui::Window* credit = nullptr;
  bool chartForm = false;
  on(kPostingsListTitle, [](script::ScriptedUser& u, ui::Window& w) { u.doubleClick(w, "?BROWSE:1", 1); });
  on(kFormTitle, [](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  on(kFormTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    credit = &u.window(ansi(kChartTitle));  // on a thread of its own
    u.settle(*credit);
    u.press(w, "?BUTTON4");
  });
  then([](script::ScriptedUser& u, ui::Window& w) {  // the debit look-up, on this thread
    u.selectRow(w, "?BROWSE:1", 1);
    u.press(w, "?DELETE:4");
  });
  on("Удалить ???", [](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?OK"); });
  then([](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  on(kFormTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    u.selectRow(*credit, "?BROWSE:1", 1);  // the deleted row, still listed
    u.press(*credit, "?CHANGE:4");
    u.settle(*credit);
    for (ui::Window* f : ui::allWindows()) {
      if (f->def().key != kChartFormKey) continue;
      chartForm = true;
      u.press(*f, "?OK");  // what the fault writes
      u.settle(*credit);
    }
    u.expectBox(ansi(kGoneCaption), ansi(kGoneText));
    u.press(*credit, "?CLOSE");
    u.press(w, "?CANCEL");
  });
  on(kPostingsListTitle, [](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  review::DBI_TAB();
  EXPECT_FALSE(chartForm);
  EXPECT_EQ(recordsOf<dict::PlnRecord>(dict::PLN_DECL, dict::P_PLN.str(), dict::pln::KEY_1, accountText),
            (std::vector<std::string>{"2|60.1|Поставщики Беты|2", "3|62.1|Покупатели|1"}));
}

}  // namespace
}  // namespace zelk::test
