// The postings list and the posting form through the scripted user: the list's rows
// and figures, the buttons and keys, the form's titles, view mode, the typed and
// picked codes and accounts, the saved posting and the list refilled after it.
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <future>
#include <memory>

#include "fixture.h"
#include "platform/core/picture.h"
#include "platform/storage/sharelock.h"
#include "review/totals.h"
#include "support/station.h"
#include "review/chart.h"
#include "support/wait.h"

namespace zelk::test {
namespace {

namespace response = fw::response;
using script::ScriptedUser;

constexpr const char* kChartListTitle = "Фрагмент плана счетов для корреспонденции с расчетным счетом";
constexpr const char* kLookups[] = {"PLN_TAB", "PLN_TAB1", "PR_TTT", "PR_TTT1"};
constexpr const char* kEntries[] = {"?DBI:DT_SCHET", "?DBI:DT_CODE", "?DBI:KT_SCHET", "?DBI:KT_CODE"};
constexpr const char* kButtons[] = {"?BUTTON4", "?BUTTON6", "?BUTTON5", "?BUTTON7"};

std::string trimmed(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

// dbi.dbf read through the dBase driver, one of its reads failing as on a disk with
// a bad sector.
class FailingReads : public storage::Backend {
 public:
  // Every dBase file opened from now on fails its n-th read (NEXT).
  static void install(int n) {
    failingRead = n;
    storage::registerDriver(storage::DriverKind::Dbase, {&open, storage::dbase::driver().create,
                                                         storage::dbase::driver().build,
                                                         storage::dbase::driver().createMissing});
  }
  static void uninstall() { storage::registerDriver(storage::DriverKind::Dbase, storage::dbase::driver()); }

  explicit FailingReads(std::unique_ptr<storage::Backend> inner) : inner_(std::move(inner)) {}
  storage::ErrorState next(char* rec) override {
    if (++reads_ == failingRead) return storage::fromErrno(EIO);
    return inner_->next(rec);
  }
  storage::ErrorState close() override { return inner_->close(); }
  storage::ErrorState setRecordOrder() override { return inner_->setRecordOrder(); }
  storage::ErrorState setKeyOrder(int key, const char* at) override { return inner_->setKeyOrder(key, at); }
  storage::ErrorState previous(char* rec) override { return inner_->previous(rec); }
  storage::ErrorState get(int key, char* rec) override { return inner_->get(key, rec); }
  storage::ErrorState add(char* rec) override { return inner_->add(rec); }
  storage::ErrorState put(const char* rec) override { return inner_->put(rec); }
  storage::ErrorState erase() override { return inner_->erase(); }
  storage::ErrorState flush() override { return inner_->flush(); }
  storage::ErrorState send(std::string_view command, std::string& reply) override {
    return inner_->send(command, reply);
  }
  storage::ErrorState lock() override { return inner_->lock(); }
  storage::ErrorState unlock() override { return inner_->unlock(); }
  storage::ErrorState records(std::uint64_t& n) override { return inner_->records(n); }
  std::string position() override { return inner_->position(); }
  storage::ErrorState reset(std::string_view position) override { return inner_->reset(position); }
  storage::ErrorState reget(std::string_view position, char* rec) override { return inner_->reget(position, rec); }
  void watch() override { inner_->watch(); }
  bool eof() const override { return inner_->eof(); }

 private:
  static storage::ErrorState open(const storage::FileDecl& decl, const std::string& name, std::uint8_t mode,
                                  std::unique_ptr<storage::Backend>& out) {
    std::unique_ptr<storage::Backend> inner;
    storage::ErrorState e = storage::dbase::driver().open(decl, name, mode, inner);
    if (e.code == 0) out = std::make_unique<FailingReads>(std::move(inner));
    return e;
  }
  static inline int failingRead = 0;
  std::unique_ptr<storage::Backend> inner_;
  int reads_ = 0;
};

class WindowsTest : public PostingsTest {
 protected:
  void SetUp() override {
    PostingsTest::SetUp();
    fill([&] {
      setBalance(1000, day(2024, 3, 1));
      addRow(1, "ООО Альфа");
      addRow(2, "ООО Бета");
      addPosting({1, "11", 100, "0", "Оплата 1", day(2024, 3, 1), "51", ""});
      addPosting({2, "12", 40.5, "1", "Оплата 2", day(2024, 3, 2), "", "51"});
      addPosting({9, "13", 100, "0", "Без строки", day(2024, 3, 3), "51", ""});
      addPosting({1, "14", 100, "0", "Оплата 4", day(2024, 3, 4), "51", ""});
      account601 = addAccount("60.1");
      account621 = addAccount("62.1");
    });
  }
  void TearDown() override {
    for (const char* name : kLookups) app::addProcedure(name, {});
    PostingsTest::TearDown();
  }

  // A figure below the list, without the blanks around it.
  static std::string figure(ui::Window& w, std::string_view control) { return trimmed(text(w, control)); }
  static std::vector<std::string> row(ui::Window& w, int n) {
    std::vector<std::string> r;
    for (const std::string& c : cells(w, n)) r.push_back(trimmed(c));
    return r;
  }

  // Steps on the list standing on its first row: the counterparty shown on rows 1 to 4
  // in turn noted in `shown`, then the list closed.
  void noteCounterpartiesAndClose(std::vector<std::string>& shown) {
    for (int n : {2, 3, 4, 0}) {
      then([&shown, n](ScriptedUser& u, ui::Window& w) {
        shown.push_back(text(w, "?N_PART"));
        if (n != 0) u.selectRow(w, "?BROWSE:1", n);
        else u.press(w, "?CLOSE");
      });
    }
  }

  // The form on the n-th posting (1 the first), as the list calls it.
  std::uint8_t runForm(std::uint8_t request, int n) {
    openAll();
    dict::DBI().set();
    for (int i = 0; i < n; ++i) EXPECT_EQ(dict::DBI().next(), 0);
    dict::GLOBALREQUEST = request;
    review::UPDATEDBI();
    closeAll();
    return dict::GLOBALRESPONSE;
  }
  void onForm(std::string title, std::function<void(ScriptedUser&, ui::Window&)> step) { on(title, std::move(step)); }
  std::uint8_t closeWithLookUpOpen(const std::function<void(ScriptedUser&, ui::Window&)>& close);
  // The credit account the form on the n-th posting shows when it regains the focus
  // after `meanwhile` ran on it; the form is then closed with "Закрыть".
  std::string creditShownAfter(int n, std::function<void(ScriptedUser&)> meanwhile) {
    std::string shown;
    onForm(kFormTitle, [meanwhile = std::move(meanwhile)](ScriptedUser& u, ui::Window& w) {
      meanwhile(u);
      w.userActivate();
    });
    onForm(kFormTitle, [&shown](ScriptedUser& u, ui::Window& w) {
      shown = text(w, "?DBI:KT_SCHET");
      u.press(w, "?CANCEL");
    });
    runForm(fw::request::kChange, n);
    return shown;
  }

  std::int16_t account601 = 0, account621 = 0;
};

TEST_F(WindowsTest, TheListShowsThePostingsTheirCounterpartiesAndTheFigures) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> figures, counterparties, headers;
  bool hiddenButtons = true, changeShown = false;
  std::string group;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (int n = 1; n <= 4; ++n) rows.push_back(row(w, n));
    for (const char* c : {"?N_STR", "?S_DT_T", "?S_KT_T", "?SAL", "?LVO:DATA", "?LVO:OST", "?N_FIR_A"})
      figures.push_back(figure(w, c));
    for (const ui::ListColumn& c : w.columns(w.number("?BROWSE:1"))) headers.push_back(cp::toUtf8(c.header));
    for (const char* b : {"?SELECT:2", "?VIEW:3", "?INSERT:4", "?DELETE:4", "?HELP"})
      hiddenButtons = hiddenButtons && hidden(w, b);
    changeShown = !hidden(w, "?CHANGE:4") && !disabled(w, "?CHANGE:4");
    group = text(w, "?GROUP1");
    u.selectRow(w, "?BROWSE:1", 1);
  });
  noteCounterpartiesAndClose(counterparties);
  EXPECT_EQ(runList(), response::kCompleted);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"01.03.2024", "11", "51", "", "", "", "100.00", "Оплата 1"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"02.03.2024", "12", "", "", "51", "", "40.50", "Оплата 2"}));
  EXPECT_EQ(rows[2][7], "Без строки");
  EXPECT_EQ(figures, (std::vector<std::string>{"4", "300.00", "40.50", "1,259.50", "01/03/2024", "1,000.00",
                                               "ООО Ромашка"}));
  EXPECT_EQ(counterparties, (std::vector<std::string>{"ООО Альфа", "ООО Бета", "", "ООО Альфа"}));
  EXPECT_EQ(headers, (std::vector<std::string>{"Дата", "№ док.", "Сч.Дебет", "Анал.Деб.", "Сч.Кредит",
                                               "Анал.Кред.", "Сумма", "Наименование операции"}));
  EXPECT_TRUE(hiddenButtons);
  EXPECT_TRUE(changeShown);
  EXPECT_EQ(group, "Корреспондент  по аналитическому учету");
}

TEST_F(WindowsTest, InsDelAndCtrlEnterDoNothing) {
  std::string after;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (int k : {ui::key::kInsert, ui::key::kDelete, ui::key::kCtrlEnter}) u.key(w, "?BROWSE:1", k);
  });
  then([&](ScriptedUser& u, ui::Window& w) {
    after = title(w);
    u.close(w);
  });
  runList();
  EXPECT_EQ(after, kPostingsListTitle);
  EXPECT_EQ(postingsOnDisk().size(), 4u);
}

TEST_F(WindowsTest, AnEmptyPostingsFileShowsTheIncomingBalance) {
  ASSERT_EQ(storage::dbase::driver().create(dict::DBI_DECL, dir / "dbi.dbf").code, 0);
  std::vector<std::string> figures;
  bool changeDisabled = false;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (const char* c : {"?N_STR", "?S_DT_T", "?S_KT_T", "?SAL"}) figures.push_back(figure(w, c));
    changeDisabled = disabled(w, "?CHANGE:4");
    u.doubleClick(w, "?BROWSE:1", 1);
  });
  then([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });  // still the list
  EXPECT_EQ(runList(), response::kCompleted);
  EXPECT_EQ(figures, (std::vector<std::string>{"0", "0.00", "0.00", "1,000.00"}));
  EXPECT_TRUE(changeDisabled);
}

// More rows than four digits show: the count stands whole, in a figure wide enough
// for the most rows the list holds.
TEST_F(WindowsTest, TheRowCountShowsCountsAboveFourDigitsWhole) {
  fill([&] {
    for (int i = 4; i < 10000; ++i) addPosting({1, "15", 1, "0", "Оплата", day(2024, 3, 5), "51", ""});
  });
  std::string count;
  int width = 0;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    count = text(w, "?N_STR");
    width = Picture::parse(w.control(w.number("?N_STR")).picture)->width();
    u.press(w, "?CLOSE");
  });
  EXPECT_EQ(runList(), response::kCompleted);
  EXPECT_EQ(count, "     10000");  // at the figure's full width
  EXPECT_GE(width, static_cast<int>(std::to_string(std::numeric_limits<decltype(review::Totals::rows)>::max()).size()));
}

TEST_F(WindowsTest, NoBalanceRecordShowsZeroAndNoDate) {
  fill([] { EXPECT_FALSE(import::emptyFile(dict::LVO())); });
  dict::LVO().rec.OST = 555;  // left by another firm's files
  std::vector<std::string> figures;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (const char* c : {"?LVO:DATA", "?LVO:OST", "?SAL"}) figures.push_back(figure(w, c));
    u.close(w);
  });
  runList();
  EXPECT_EQ(figures, (std::vector<std::string>{"", "0.00", "259.50"}));
}

// Another station holds prt.dat's write lock: the filling asks once whether to wait
// again, and Cancel ends the waiting for the whole filling. The rows show without
// their counterparty texts, with every figure, and one notice says so.
TEST_F(WindowsTest, ACancelledWaitForTheCounterpartyFileIsAskedOnceAndToldOnce) {
  LockingStation other(dict::PRT_DECL, dir / "prt.dat");
  ASSERT_TRUE(other.held());
  ASSERT_EQ(dict::Relate::PRT->Open(), 0);  // held open across the list, with a short wait
  dict::PRT().send("Recover=1");
  std::vector<std::string> captions, figures, counterparties;
  std::string notice;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    captions = boxCaptions();
    notice = cp::toUtf8(boxes.last().text);
    for (const char* c : {"?N_STR", "?S_DT_T", "?S_KT_T", "?SAL"}) figures.push_back(figure(w, c));
    u.selectRow(w, "?BROWSE:1", 1);
  });
  noteCounterpartiesAndClose(counterparties);
  EXPECT_EQ(runList(), response::kCompleted);
  dict::Relate::PRT->Close();
  EXPECT_EQ(captions, (std::vector<std::string>{"Файл занят", "Запись не читается"}));
  EXPECT_EQ(notice, "Ошибка: (File Is Already Locked (32)) возникла при чтении записи из файла " + dir / "prt.dat" + ".");
  EXPECT_EQ(boxCount(), 2u);
  EXPECT_EQ(figures, (std::vector<std::string>{"4", "300.00", "40.50", "1,259.50"}));
  EXPECT_EQ(counterparties, (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(other.release(), 0);
}

// A balance record that cannot be read (damaged, so that the rebuild drops it;
// another station's lock, waiting cancelled) is reported, and neither it nor the
// balance is shown as a figure; the count and the turnovers are.
TEST_F(WindowsTest, ABalanceThatCannotBeReadIsToldAndShowsNoFigure) {
  struct Case {
    const char* name;
    bool busy;
    std::vector<std::string> captions;
  } cases[] = {{"damaged", false, {"Неверный ключ", "Файл восстановлен", "Запись не читается"}}, {"busy", true, {"Файл занят", "Запись не читается"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir / "lvo.dat");
    fill([&] { setBalance(1000, day(2024, 3, 1)); });
    boxes.clear();
    if (!c.busy) damageStatus("lvo.dat", sizeof(dict::LvoRecord), 1);
    std::unique_ptr<LockingStation> other;
    if (c.busy) {
      other = std::make_unique<LockingStation>(dict::LVO_DECL, dir / "lvo.dat");
      ASSERT_TRUE(other->held());
    }
    ASSERT_EQ(dict::Relate::LVO->Open(), 0);
    dict::LVO().send("Recover=1");
    std::vector<std::string> captions, figures;
    std::vector<bool> hiddenFigures;
    on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
      captions = boxCaptions();
      for (const char* f : {"?LVO:DATA", "?LVO:OST", "?SAL", "?N_STR", "?S_DT_T", "?S_KT_T"}) {
        hiddenFigures.push_back(hidden(w, f));
        figures.push_back(figure(w, f));
      }
      u.close(w);
    });
    runList();
    dict::Relate::LVO->Close();
    if (other) {
      EXPECT_EQ(other->release(), 0);
    }
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(hiddenFigures, (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_EQ(std::vector<std::string>(figures.begin() + 3, figures.end()),
              (std::vector<std::string>{"4", "300.00", "40.50"}));
    EXPECT_EQ(figures[2], "0.00");  // nothing computed from the unread balance
  }
}

// A read of dbi.dbf that fails midway (the third record, as on a failing disk) is
// reported with message 1 and closes the list: it shows none of the rows read before
// it and no figure from them.
TEST_F(WindowsTest, AFailedReadOfThePostingsClosesTheList) {
  FailingReads::install(3);
  runList();
  FailingReads::uninstall();
  EXPECT_TRUE(user.finished());
  EXPECT_EQ(boxCaptions(), std::vector<std::string>{"Ошибка доступа к записи"});
}

// A double click opens the form with the change request; OK saves the typed codes
// and the list shows them, with its figures read anew (here a posting another
// station added meanwhile).
TEST_F(WindowsTest, ACompletedPostingShowsInTheListAndTheFiguresAreReadAnew) {
  std::string formTitle, counterparty, summa, date, nndoc;
  std::vector<std::string> rowAfter, figuresAfter;
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) { u.doubleClick(w, "?BROWSE:1", 1); });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    formTitle = title(w);
    counterparty = text(w, "?N_PART");
    summa = trimmed(text(w, "?DBI:SUMMA"));
    date = text(w, "?DBI:DATAOPER");
    nndoc = text(w, "?DBI:NNDOC");
    u.type(w, "?DBI:KT_SCHET", "62.1");
    u.type(w, "?DBI:KT_CODE", "7");
    u.type(w, "?DBI:DT_CODE", "abc");
    elsewhere([] {
      EXPECT_EQ(dict::Relate::DBI->Open(), 0);
      dict::DBI().clearBuffer();
      dict::DBI().rec.STATUS = "1";
      dict::DBI().rec.SUMMA = 9.5;
      EXPECT_EQ(dict::DBI().add(), 0);
      dict::Relate::DBI->Close();
    });
    u.press(w, "?OK");
  });
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    rowAfter = row(w, 1);
    for (const char* c : {"?N_STR", "?S_DT_T", "?S_KT_T", "?SAL"}) figuresAfter.push_back(figure(w, c));
    u.close(w);
  });
  runList();
  EXPECT_EQ(formTitle, kFormTitle);
  EXPECT_EQ(counterparty, "ООО Альфа");
  EXPECT_EQ(summa, "100.00");
  EXPECT_EQ(date, "01.03.2024");
  EXPECT_EQ(nndoc, "11");
  EXPECT_EQ(rowAfter, (std::vector<std::string>{"01.03.2024", "11", "51", "", "62.1", "000007", "100.00", "Оплата 1"}));
  EXPECT_EQ(figuresAfter, (std::vector<std::string>{"5", "300.00", "50.00", "1,250.00"}));
  const auto p = postingsOnDisk();
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(p[0].KT_SCHET, "62.1");
  EXPECT_EQ(p[0].KT_CODE, "000007");
  EXPECT_TRUE(p[0].DT_CODE.blank());
  EXPECT_EQ(p[0].NNOPER_D.get(), 0);
  EXPECT_EQ(p[0].NNOPER_K.get(), 0);
  EXPECT_EQ(p[1].NNOPER_D.get(), 5);  // the others untouched
}

// The list reads the counterparty rows under the file's lock; another station may
// write them whenever the list or the form waits for the user.
TEST_F(WindowsTest, TheCounterpartyFileIsFreeWhileTheWindowsWait) {
  auto writeRow = [](std::int16_t kod) {
    elsewhere([kod] {
      EXPECT_EQ(dict::Relate::PRT->Open(), 0);
      dict::PRT().clearBuffer();
      dict::PRT().rec.KOD = kod;
      EXPECT_EQ(dict::PRT().add(), 0);
      dict::Relate::PRT->Close();
    });
  };
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    writeRow(101);
    u.doubleClick(w, "?BROWSE:1", 2);
  });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    writeRow(102);
    u.press(w, "?CANCEL");
  });
  on(kPostingsListTitle, [&](ScriptedUser& u, ui::Window& w) {
    writeRow(103);
    u.press(w, "?CLOSE");
  });
  runList();
  openAll();
  EXPECT_EQ(rows().size(), 5u);
  closeAll();
}

TEST_F(WindowsTest, OkStoresTheCodesAndClearsTheRowLinksAlsoWhenNothingChanged) {
  struct Case {
    const char* typed;  // nullptr: left as it is
    const char* stored;
  } cases[] = {{nullptr, ""}, {"7", "000007"}, {"0", ""}, {"000000", ""}, {"abc", ""}, {"42", "000042"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "(nothing)");
    onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
      if (c.typed) u.type(w, "?DBI:KT_CODE", c.typed);
      u.press(w, "?OK");
    });
    EXPECT_EQ(runForm(fw::request::kChange, 2), response::kCompleted);
    const auto p = postingsOnDisk();
    EXPECT_EQ(utf8(p[1].KT_CODE.view()), c.stored);
    EXPECT_EQ(p[1].NNOPER_D.get(), 0);
    EXPECT_EQ(p[1].NNOPER_K.get(), 0);
  }
}

TEST_F(WindowsTest, TheFourLookUpsHandTheirPicksToTheForm) {
  struct Seen {
    std::string dtA, ktA;
  };
  auto seen = std::make_shared<std::vector<Seen>>();
  auto note = [seen] { seen->push_back({dict::DT_SCHET_A.str(), dict::KT_SCHET_A.str()}); };
  const std::int16_t debit = account601, credit = account621;
  app::addProcedure("PLN_TAB", [debit] { dict::PLN_AD = debit; });
  app::addProcedure("PR_TTT", [note] {
    note();
    dict::PAR_AD = 42;
  });
  app::addProcedure("PR_TTT1", [note] {
    note();
    dict::PAR_AK = 123456;
  });
  // The credit list runs on its own thread; it picks when the test lets it.
  auto go = std::make_shared<std::promise<void>>();
  auto picked = std::make_shared<std::promise<void>>();
  std::shared_future<void> goSignal = go->get_future().share();
  app::addProcedure("PLN_TAB1", [goSignal, picked, credit] {
    goSignal.wait();
    dict::PLN_AK = credit;
    picked->set_value();
  });
  std::vector<std::string> shown;
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?DBI:KT_SCHET", "70");
    u.press(w, "?BUTTON4");
    u.press(w, "?BUTTON6");
    u.press(w, "?BUTTON7");
    u.press(w, "?BUTTON5");
  });
  onForm(kFormTitle, [&](ScriptedUser&, ui::Window& w) {
    for (const char* e : kEntries) shown.push_back(text(w, e));
    go->set_value();
    picked->get_future().wait();
    w.userActivate();  // the form regains the focus
  });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    shown.push_back(text(w, "?DBI:KT_SCHET"));
    u.press(w, "?OK");
  });
  EXPECT_EQ(runForm(fw::request::kChange, 1), response::kCompleted);
  EXPECT_EQ(shown, (std::vector<std::string>{"60.1", "42", "70", "123456", "62.1"}));
  ASSERT_EQ(seen->size(), 2u);
  EXPECT_EQ((*seen)[0].dtA, "60.1");  // the debit side's account for the partner form
  EXPECT_EQ((*seen)[0].ktA, "");
  EXPECT_EQ((*seen)[1].dtA, "");
  EXPECT_EQ((*seen)[1].ktA, "70");
  const auto p = postingsOnDisk();
  EXPECT_EQ(p[0].DT_SCHET, "60.1");
  EXPECT_EQ(p[0].DT_CODE, "000042");
  EXPECT_EQ(p[0].KT_SCHET, "62.1");
  EXPECT_EQ(p[0].KT_CODE, "123456");
}

// Every press of the credit button starts a further list; the pick made last before
// the form's next refresh is the one taken over.
TEST_F(WindowsTest, OfTwoCreditLookUpsThePickMadeLastCounts) {
  struct Lookup {
    std::promise<void> go, picked;
  };
  auto lookups = std::make_shared<std::vector<std::shared_ptr<Lookup>>>();
  for (int i = 0; i < 2; ++i) lookups->push_back(std::make_shared<Lookup>());
  auto started = std::make_shared<std::atomic<int>>(0);
  const std::int16_t picks[] = {account621, account601};
  app::addProcedure("PLN_TAB1", [lookups, started, picks] {
    const int n = (*started)++;
    Lookup& l = *(*lookups)[static_cast<std::size_t>(n)];
    l.go.get_future().wait();
    dict::PLN_AK = picks[n];
    l.picked.set_value();
  });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.press(w, "?BUTTON5");
    u.press(w, "?BUTTON5");
  });
  const std::string shown = creditShownAfter(1, [&](ScriptedUser&) {
    for (const auto& l : *lookups) {  // the first picks 62.1, the second 60.1
      l->go.set_value();
      l->picked.get_future().wait();
    }
  });
  EXPECT_EQ(shown, "60.1");
}

TEST_F(WindowsTest, ALookUpClosedWithoutAPickLeavesTheField) {
  app::addProcedure("PLN_TAB", [] {});
  app::addProcedure("PR_TTT", [] {});
  std::vector<std::string> shown;
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?DBI:DT_CODE", "5");
    u.press(w, "?BUTTON4");
    u.press(w, "?BUTTON6");
  });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    shown = {text(w, "?DBI:DT_SCHET"), text(w, "?DBI:DT_CODE")};
    u.press(w, "?CANCEL");
  });
  EXPECT_EQ(runForm(fw::request::kChange, 1), response::kCancelled);
  EXPECT_EQ(shown, (std::vector<std::string>{"51", "5"}));
}

TEST_F(WindowsTest, ClosingAfterAPickLeavesThePostingUnchanged) {
  app::addProcedure("PR_TTT", [] { dict::PAR_AD = 42; });
  std::string shown;
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON6"); });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    shown = text(w, "?DBI:DT_CODE");
    u.press(w, "?CANCEL");
  });
  EXPECT_EQ(runForm(fw::request::kChange, 1), response::kCancelled);
  EXPECT_EQ(shown, "42");
  const auto p = postingsOnDisk();
  EXPECT_TRUE(p[0].DT_CODE.blank());
  EXPECT_EQ(p[0].NNOPER_D.get(), 5);
}

// Picks left by look-ups of earlier windows (the chart list of the import menu, a
// credit list that outlived a form) never land in the posting opened next.
TEST_F(WindowsTest, PicksLeftFromEarlierWindowsAreDropped) {
  dict::PLN_AD = account601;
  dict::PLN_AK = account621;
  dict::PAR_AD = 42;
  dict::PAR_AK = 43;
  std::vector<std::string> shown;
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (const char* e : kEntries) shown.push_back(text(w, e));
    u.press(w, "?CANCEL");
  });
  runForm(fw::request::kChange, 1);
  EXPECT_EQ(shown, (std::vector<std::string>{"51", "", "", ""}));
  EXPECT_EQ(dict::PLN_AD, 0);
  EXPECT_EQ(dict::PAR_AK, 0);
}

// The credit look-ups still open (the chart list of the look-up's own definition).
std::vector<ui::Window*> openCreditLookUps() {
  std::vector<ui::Window*> r;
  for (ui::Window* w : ui::allWindows())
    if (w->def().key == "ZELK$zelk014") r.push_back(w);
  return r;
}

// The form on posting 1 with its credit look-up open (its rows read), closed as given.
std::uint8_t WindowsTest::closeWithLookUpOpen(const std::function<void(ScriptedUser&, ui::Window&)>& close) {
  app::addProcedure("PLN_TAB1", review::PLN_TAB1);
  onForm(kFormTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  onForm(kFormTitle, [&close](ScriptedUser& u, ui::Window& w) {
    ui::Window& list = u.wait(ansi(kChartListTitle));
    EXPECT_TRUE(waitUntil([&] { return list.rowCount(list.number("?BROWSE:1")) == 2; }));
    close(u, w);
  });
  return runForm(fw::request::kChange, 1);
}

// A credit look-up belongs to the form that started it: however the form closes, the
// look-up has closed and its thread ended when the form returns, so no pick of it
// lands in the posting opened next.
TEST_F(WindowsTest, ACreditLookUpClosesWithItsFormAndPicksIntoNoOtherPosting) {
  struct Way {
    const char* what;
    std::function<void(ScriptedUser&, ui::Window&)> close;
    std::uint8_t response;
  };
  const Way ways[] = {
      {"OK", [](ScriptedUser& u, ui::Window& w) { u.press(w, "?OK"); }, response::kCompleted},
      {"Закрыть", [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CANCEL"); }, response::kCancelled},
      {"close box", [](ScriptedUser& u, ui::Window& w) { u.close(w); }, response::kCancelled},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    EXPECT_EQ(closeWithLookUpOpen(way.close), way.response);
    EXPECT_EQ(app::startedThreads(), 0);
    EXPECT_TRUE(openCreditLookUps().empty());
    // The next posting's form; a look-up left over picks 62.1 meanwhile.
    const std::string shown = creditShownAfter(2, [](ScriptedUser& u) {
      for (ui::Window* list : openCreditLookUps()) {
        u.selectRow(*list, "?BROWSE:1", 2);
        u.press(*list, "?SELECT:2");
      }
      EXPECT_TRUE(waitUntil([] { return app::startedThreads() == 0; }));
    });
    EXPECT_EQ(shown, "51");
  }
}

// A look-up never outlives the firm it was opened for: once the form has closed and
// another firm is chosen, nothing is left to add a row stamped with the new firm into
// the old firm's chart.
TEST_F(WindowsTest, NoCreditLookUpIsLeftToAddARowOfTheNextFirm) {
  const std::string oldChart = dict::P_PLN.str();
  closeWithLookUpOpen([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CANCEL"); });
  dict::FIR = 2;  // another firm chosen, with a chart folder of its own
  dict::P_PLN = dir / "pln2.dat";
  for (ui::Window* list : openCreditLookUps()) {
    user.press(*list, "?INSERT:4");
    ui::Window& form = user.window(ansi("Добавить ???"));
    user.type(form, "?PLN:NOMER", "76");
    user.type(form, "?PLN:NAME", ansi("Расчеты с прочими"));
    user.press(form, "?OK");
    user.press(*list, "?CLOSE");
  }
  EXPECT_TRUE(waitUntil([] { return app::startedThreads() == 0; }));
  dict::FIR = 0;
  dict::P_PLN = oldChart;
  openAll();
  std::vector<int> firms;
  auto& pln = dict::PLN();
  ASSERT_EQ(pln.set(dict::pln::KEY_1), 0);
  while (pln.next() == 0) firms.push_back(pln.rec.FIR.get());
  closeAll();
  EXPECT_EQ(firms, (std::vector<int>{0, 0}));
}

TEST_F(WindowsTest, ViewModeChangesNothingAndAnswersCancelled) {
  std::vector<bool> disabledButtons, readOnlyEntries;
  std::string shownTitle, counterparty;
  onForm("Смотреть ???", [&](ScriptedUser& u, ui::Window& w) {
    shownTitle = title(w);
    counterparty = text(w, "?N_PART");
    for (const char* b : kButtons) disabledButtons.push_back(disabled(w, b));
    for (const char* e : kEntries) readOnlyEntries.push_back(w.readOnly(w.number(ansi(e))));
    u.press(w, "?OK");
  });
  EXPECT_EQ(runForm(fw::request::kView, 2), response::kCancelled);
  EXPECT_EQ(shownTitle, "Смотреть ???");
  EXPECT_EQ(counterparty, "ООО Бета");
  EXPECT_EQ(disabledButtons, std::vector<bool>(4, true));
  EXPECT_EQ(readOnlyEntries, std::vector<bool>(4, true));
  EXPECT_EQ(postingsOnDisk()[1].NNOPER_D.get(), 5);
}

TEST_F(WindowsTest, TheTitleFollowsTheRequest) {
  onForm("Удалить ???", [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CANCEL"); });
  EXPECT_EQ(runForm(fw::request::kDelete, 1), response::kCancelled);
  EXPECT_EQ(postingsOnDisk().size(), 4u);
}

TEST_F(WindowsTest, CtrlHPutsBackTheValueLastCompleted) {
  onForm(kFormTitle, [](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?DBI:KT_SCHET", "76.5");
    u.press(w, "?OK");
  });
  runForm(fw::request::kChange, 1);
  std::string restored;
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.focus(w, "?DBI:KT_SCHET");
    u.key(w, "?DBI:KT_SCHET", ui::key::kCtrlH);
  });
  onForm(kFormTitle, [&](ScriptedUser& u, ui::Window& w) {
    restored = text(w, "?DBI:KT_SCHET");
    u.press(w, "?CANCEL");
  });
  runForm(fw::request::kChange, 2);
  EXPECT_EQ(restored, "76.5");
}

}  // namespace
}  // namespace zelk::test
