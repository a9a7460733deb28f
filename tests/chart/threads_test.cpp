// The credit look-up PLN_TAB1 on threads of its own, started by a small stand-in
// for the posting form: the caller and the debit look-up stay usable meanwhile,
// the last pick wins, the chart form runs on the look-up's thread, and a look-up
// closes with its caller.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/patterns/controls.h"
#include "app/patterns/procedures.h"
#include "app/patterns/window.h"
#include "app/startup.h"
#include "fixture.h"
#include "support/wait.h"

namespace zelk::test {
namespace {

using app::Ctl;
using ui::Kind;

constexpr const char* kCallerTitle = "Проводка";
constexpr const char* kCreditListKey = "ZELK$zelk014";

// The posting form's two look-up buttons, and the picks it took over.
std::atomic<int> debitTaken{0}, creditTaken{0};

class Caller : public app::WindowPattern {
 public:
  explicit Caller(ui::Window& w) : WindowPattern(w, setup()) {}

  // Every refresh takes the picks over and clears them.
  void RefreshValues() override {
    if (int d = dict::PLN_AD.exchange(0)) debitTaken = d;
    if (int k = dict::PLN_AK.exchange(0)) creditTaken = k;
  }

  std::uint8_t TakeAccepted() override {
    const bool debit = field() == win().number("?BUTTON4"), credit = field() == win().number("?BUTTON5");
    if (debit) dict::PLN_AD = 0;
    const std::uint8_t r = WindowPattern::TakeAccepted();
    if (debit) {
      Update();
      app::procedure("PLN_TAB")();
      Reset(false);
    }
    if (credit) {
      Update();
      app::START(app::procedure("PLN_TAB1"), review::kChartLookupStack);
      Reset(false);
      dict::PLN_AK = 0;
    }
    return r;
  }

 private:
  static app::WindowSetup setup() {
    app::WindowSetup s;
    s.procedureName = "caller";
    s.files = {[]() -> fw::RelationManager* { return dict::Relate::PLN; }};
    s.buttons = {{"?CLOSE", fw::response::kCompleted}};
    return s;
  }
};

void caller() {
  ui::WindowDef d;
  d.key = "TEST$caller";
  d.label = "WINDOW";
  d.title = ansi(kCallerTitle);
  d.at = {10, 10, 200, 40};
  d.controls = {
      Ctl(Kind::Button, "?BUTTON4", {4, 4, 60, 14}).text("Дебет"),
      Ctl(Kind::Button, "?BUTTON5", {68, 4, 60, 14}).text("Кредит"),
      Ctl(Kind::Button, "?CLOSE", {132, 4, 60, 14}).text("&Закрыть"),
  };
  ui::Window window(d);
  Caller thisWindow(window);
  app::respond(thisWindow);
}

// The open windows with this definition key or title (1251), oldest first.
std::vector<ui::Window*> openWindows(std::string_view key, std::string_view title = {}) {
  std::vector<ui::Window*> r;
  for (ui::Window* w : ui::allWindows())
    if ((key.empty() || w->def().key == key) && (title.empty() || w->title() == title)) r.push_back(w);
  return r;
}

std::vector<ui::Window*> creditLists(std::size_t n) {
  std::vector<ui::Window*> r;
  waitUntil([&] { return (r = openWindows(kCreditListKey)).size() >= n; });
  return r;
}

bool closed(ui::Window* w) {
  return waitUntil([&] {
    const auto all = ui::allWindows();
    return std::find(all.begin(), all.end(), w) == all.end();
  });
}

class ThreadsTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    ASSERT_TRUE(waitUntil([] { return app::startedThreads() == 0; }));  // earlier tests' threads gone
    debitTaken = creditTaken = 0;
    addAccount({1, "50", "Касса", 1});
    addAccount({2, "51", "Расчетный счет", 1});
    addAccount({3, "60", "Поставщики", 1});
  }
  void onCaller(std::function<void(ScriptedUser&, ui::Window&)> step) { on(kCallerTitle, std::move(step)); }
  std::uint8_t runCaller() {
    caller();
    return dict::GLOBALRESPONSE;
  }
};

TEST_F(ThreadsTest, CreditLookupsRunOnThreadsOfTheirOwnAndTheLastPickWins) {
  std::vector<ui::Window*> lists;
  std::thread::id firstOwner, secondOwner;
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  onCaller([&](ScriptedUser& u, ui::Window& w) {
    lists = creditLists(1);
    u.press(w, "?BUTTON5");
  });
  onCaller([&](ScriptedUser& u, ui::Window& w) {
    lists = creditLists(2);
    ASSERT_EQ(lists.size(), 2u);
    firstOwner = lists[0]->owner();
    secondOwner = lists[1]->owner();
    u.press(w, "?BUTTON4");  // the debit look-up while both are open
  });
  then([](ScriptedUser& u, ui::Window& w) {  // the debit list, on this thread
    u.selectRow(w, "?BROWSE:1", 1);
    u.press(w, "?SELECT:2");
  });
  onCaller([&](ScriptedUser& u, ui::Window&) {
    u.selectRow(*lists[0], "?BROWSE:1", 2);
    u.press(*lists[0], "?SELECT:2");
    EXPECT_TRUE(closed(lists[0]));
    u.selectRow(*lists[1], "?BROWSE:1", 3);
    u.press(*lists[1], "?SELECT:2");
    EXPECT_TRUE(closed(lists[1]));
  });
  onCaller([](ScriptedUser&, ui::Window& w) { w.userActivate(); });  // the form's next refresh
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  EXPECT_EQ(runCaller(), fw::response::kCompleted);
  EXPECT_NE(firstOwner, std::this_thread::get_id());
  EXPECT_NE(secondOwner, std::this_thread::get_id());
  EXPECT_NE(firstOwner, secondOwner);
  EXPECT_EQ(debitTaken.load(), 1);
  EXPECT_EQ(creditTaken.load(), 3);
  EXPECT_EQ(dict::PLN_AK.load(), 0);
}

TEST_F(ThreadsTest, TheChartFormOfACreditLookupRunsOnItsThread) {
  ui::Window* list = nullptr;
  std::thread::id listOwner, formOwner;
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  onCaller([&](ScriptedUser& u, ui::Window&) {
    list = creditLists(1).at(0);
    listOwner = list->owner();
    u.doubleClick(*list, "?BROWSE:1", 2);
    std::vector<ui::Window*> forms;
    ASSERT_TRUE(waitUntil([&] { return !(forms = openWindows("", ansi("Изменить ???"))).empty(); }));
    formOwner = forms[0]->owner();
    u.type(*forms[0], "?PLN:NAME", ansi("Расчетный счет в Локо-Банке"));
    u.press(*forms[0], "?OK");
    EXPECT_TRUE(closed(forms[0]));
    u.press(*list, "?CLOSE");
    EXPECT_TRUE(closed(list));
  });
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  runCaller();
  EXPECT_NE(listOwner, std::this_thread::get_id());
  EXPECT_EQ(formOwner, listOwner);
  EXPECT_EQ(accountsOnDisk().at(1), (Account{2, "51", "Расчетный счет в Локо-Банке", 1}));
  EXPECT_EQ(creditTaken.load(), 0);  // closed without a pick
}

// A look-up belongs to the window that started it: when that window closes, the chart
// form open in the look-up is cancelled (its reserved number given back), the
// look-up closes without a pick and its thread has ended before the window is gone.
TEST_F(ThreadsTest, ALookupClosesWithItsCallerCancellingTheFormOpenInIt) {
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  onCaller([&](ScriptedUser& u, ui::Window& w) {
    ui::Window* list = creditLists(1).at(0);
    u.press(*list, "?INSERT:4");
    ASSERT_TRUE(waitUntil([&] { return !openWindows("", ansi("Добавить ???")).empty(); }));
    EXPECT_EQ(accountsOnDisk().size(), 4u);  // the number is reserved
    u.press(w, "?CLOSE");
  });
  EXPECT_EQ(runCaller(), fw::response::kCompleted);
  EXPECT_EQ(app::startedThreads(), 0);
  EXPECT_TRUE(ui::allWindows().empty());
  EXPECT_EQ(accountsOnDisk().size(), 3u);
  EXPECT_EQ(creditTaken.load(), 0);
  EXPECT_EQ(dict::PLN_AK.load(), 0);
}

// The filter reads FIR at every row: a firm chosen anew on the main thread applies to
// what an open look-up reads from then on.
TEST_F(ThreadsTest, AFirmChosenAnewAppliesToTheRowsAnOpenLookupReadsNext) {
  addAccount({4, "55", "Специальные счета", 2});
  std::vector<std::string> before, after;
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON5"); });
  onCaller([&](ScriptedUser& u, ui::Window&) {
    ui::Window* list = creditLists(1).at(0);
    // The list fills on its own thread: read it once its rows are there.
    ASSERT_TRUE(waitUntil([&] { return list->rowCount(list->number("?BROWSE:1")) == 3; }));
    before = column(*list);
    dict::FIR = 2;
    u.press(*list, "?BUTTON8");
    ASSERT_TRUE(waitUntil([&] { return list->rowCount(list->number("?BROWSE:1")) == 1; }));
    after = column(*list);
    u.press(*list, "?CLOSE");
    EXPECT_TRUE(closed(list));
  });
  onCaller([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  runCaller();
  EXPECT_EQ(before, (std::vector<std::string>{"50", "51", "60"}));
  EXPECT_EQ(after, (std::vector<std::string>{"55"}));
}

// The program ends while a look-up started from no window has its form open for an
// insert: the program closes both, the insert gives its reserved number back, and the
// thread ends.
TEST_F(ThreadsTest, TheProgramsEndClosesTheLookupsLeftOpen) {
  app::START(app::procedure("PLN_TAB1"), review::kChartLookupStack);
  ui::Window* list = creditLists(1).at(0);
  user.press(*list, "?INSERT:4");
  ASSERT_TRUE(waitUntil([&] { return !openWindows("", ansi("Добавить ???")).empty(); }));
  EXPECT_EQ(accountsOnDisk().size(), 4u);  // the number is reserved
  EXPECT_EQ(app::startedThreads(), 1);
  EXPECT_TRUE(app::endStartedThreads({}, std::chrono::seconds(10)));
  EXPECT_EQ(app::startedThreads(), 0);
  EXPECT_TRUE(openWindows(kCreditListKey).empty());
  EXPECT_EQ(accountsOnDisk().size(), 3u);
  EXPECT_EQ(dict::PLN_AK.load(), 0);
}

}  // namespace
}  // namespace zelk::test
