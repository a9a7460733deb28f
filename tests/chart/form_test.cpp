// The chart form from the chart list: the titles per request, the firm stamp, the
// required entries, view mode, the history key, delete and duplicate account numbers.
#include <thread>

#include "app/startup.h"
#include "fixture.h"

namespace zelk::test {
namespace {


class FormTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    addAccount(kassa);
    addAccount(bank);
  }
  // On the list: highlight row (0: none) and press button.
  void press(int row, const char* button) { pressInList(kListTitle, row, button); }
  void closeList() { pressInList(kListTitle, 0, "?CLOSE"); }
  void insert(const char* nomer, const char* name) {
    press(0, "?INSERT:4");
    on("Добавить ???", [nomer, name](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?PLN:NOMER", ansi(nomer));
      u.type(w, "?PLN:NAME", ansi(name));
      u.press(w, "?OK");
    });
  }
  // PLN_TAB on a thread of its own, played by a scripted user of that thread.
  void onOwnThread(const std::function<void(ScriptedUser&)>& script) {
    user.uninstall();
    std::thread t([&] {
      app::threadStart();
      ScriptedUser u2;
      u2.install();
      script(u2);
      review::PLN_TAB();
      for (const std::string& f : u2.failures()) ADD_FAILURE() << cp::toUtf8(f);
      EXPECT_TRUE(u2.finished());
      u2.uninstall();
      app::threadEnd();
    });
    t.join();
    user.install();
  }
  Account kassa{1, "50", "Касса", 1}, bank{2, "51", "Расчетный счет", 1};
};

TEST_F(FormTest, TheTitleFollowsTheRequest) {
  std::vector<std::string> titles;
  for (const char* button : {"?VIEW:3", "?INSERT:4", "?CHANGE:4", "?DELETE:4"}) {
    press(1, button);
    then([&](ScriptedUser& u, ui::Window& w) {
      titles.push_back(title(w));
      u.press(w, "?CANCEL");
    });
  }
  closeList();
  run(review::PLN_TAB);
  EXPECT_EQ(titles, (std::vector<std::string>{"Счет по плану  счетов", "Добавить ???", "Изменить ???", "Удалить ???"}));
  EXPECT_EQ(accountsOnDisk(), (std::vector<Account>{kassa, bank}));  // the cancelled insert gave its number back
}

TEST_F(FormTest, AnInsertedRowIsNumberedAndStampedWithTheFirm) {
  dict::FIR = 3;
  std::string shownFirm;
  std::vector<std::string> listed;
  press(0, "?INSERT:4");
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    shownFirm = text(w, "?PLN:FIR");
    u.type(w, "?PLN:NOMER", "60");
    u.type(w, "?PLN:NAME", ansi("Поставщики"));
    u.press(w, "?OK");
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    listed = column(w);
    u.press(w, "?CLOSE");
  });
  run(review::PLN_TAB);
  EXPECT_EQ(shownFirm, "3");
  EXPECT_EQ(listed, (std::vector<std::string>{"60"}));
  EXPECT_EQ(accountsOnDisk(), (std::vector<Account>{kassa, bank, {3, "60", "Поставщики", 3}}));
}

TEST_F(FormTest, AChangedRowTakesTheCurrentFirm) {
  addAccount({3, "60", "Поставщики", 2});  // another firm's row, changed while firm 1 is current
  dict::FIR = 2;
  press(1, "?CHANGE:4");
  on("Изменить ???", [&](ScriptedUser&, ui::Window& w) {
    dict::FIR = 1;
    w.userActivate();  // the form regains the focus: a refresh
  });
  on("Изменить ???", [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?PLN:FIR"), "1");
    u.type(w, "?PLN:NAME", ansi("Поставщики и подрядчики"));
    u.press(w, "?OK");
  });
  closeList();
  run(review::PLN_TAB);
  EXPECT_EQ(accountsOnDisk().back(), (Account{3, "60", "Поставщики и подрядчики", 1}));
}

TEST_F(FormTest, AFirmTypedInTheFormIsSavedUnlessARefreshComesFirst) {
  std::string afterRefresh;
  press(0, "?INSERT:4");
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?PLN:FIR", "7");
    w.userActivate();
  });
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    afterRefresh = text(w, "?PLN:FIR");
    u.type(w, "?PLN:NOMER", "71");
    u.type(w, "?PLN:NAME", ansi("Другой фирме"));
    u.type(w, "?PLN:FIR", "7");
    u.press(w, "?OK");
  });
  closeList();
  run(review::PLN_TAB);
  EXPECT_EQ(afterRefresh, "1");
  EXPECT_EQ(accountsOnDisk().back(), (Account{3, "71", "Другой фирме", 7}));
}

TEST_F(FormTest, ABlankRequiredEntryStopsTheCompletion) {
  struct Case {
    int firm;
    const char* nomer;
    const char* name;
    const char* focus;
  } cases[] = {
      {0, "60", "Поставщики", "?PLN:FIR"},  // firm 0 shows blank
      {1, "", "Поставщики", "?PLN:NOMER"},
      {1, "60", "", "?PLN:NAME"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focus);
    dict::FIR = static_cast<std::int16_t>(c.firm);
    std::string stillTitle, focus;
    press(0, "?INSERT:4");
    on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?PLN:NOMER", c.nomer);
      u.type(w, "?PLN:NAME", ansi(c.name));
      u.press(w, "?OK");
    });
    then([&](ScriptedUser& u, ui::Window& w) {
      stillTitle = title(w);
      focus = w.control(w.focus()).name;
      u.press(w, "?CANCEL");
    });
    closeList();
    run(review::PLN_TAB);
    EXPECT_EQ(stillTitle, "Добавить ???");
    EXPECT_EQ(focus, c.focus);
    EXPECT_EQ(accountsOnDisk(), (std::vector<Account>{kassa, bank}));
  }
}

TEST_F(FormTest, ViewModeIsReadOnlyAndOkSavesNothing) {
  std::vector<std::string> readOnly;
  press(2, "?VIEW:3");
  on("Счет по плану  счетов", [&](ScriptedUser&, ui::Window& w) {
    for (int n = 1; n <= w.last(); ++n)
      if (w.control(n).kind == ui::Kind::Entry && w.readOnly(n)) readOnly.push_back(w.control(n).name);
    dict::FIR = 4;  // the refresh stamps the buffer; nothing is written
    w.userActivate();
  });
  on("Счет по плану  счетов", [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?OK"); });
  closeList();
  run(review::PLN_TAB);
  EXPECT_EQ(readOnly, (std::vector<std::string>{"?PLN:FIR", "?PLN:NOMER", "?PLN:NAME"}));
  EXPECT_EQ(accountsOnDisk(), (std::vector<Account>{kassa, bank}));
}

// The form runs on a thread of its own here, so that it is its first call there.
TEST_F(FormTest, CtrlHPutsBackTheValuesOfTheLastOkOnTheThread) {
  std::vector<std::string> before, after;
  const std::vector<const char*> entries = {"?PLN:FIR", "?PLN:NOMER", "?PLN:NAME"};
  auto restore = [&](ScriptedUser& u, ui::Window& w) {
    for (const char* c : entries) u.key(w, c, ui::key::kCtrlH);
  };
  auto read = [&](ui::Window& w, std::vector<std::string>& out) {
    for (const char* c : entries) out.push_back(text(w, c));
  };
  onOwnThread([&](ScriptedUser& u2) {
    auto on2 = [&u2](std::string t, std::function<void(ScriptedUser&, ui::Window&)> step) {
      u2.then([t = ansi(t), step = std::move(step)](ScriptedUser& u) { step(u, u.wait(t)); });
    };
    on2(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on2("Добавить ???", restore);
    on2("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      read(w, before);
      u.type(w, "?PLN:FIR", "1");
      u.type(w, "?PLN:NOMER", "62");
      u.type(w, "?PLN:NAME", ansi("Покупатели"));
      u.press(w, "?OK");
    });
    on2(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on2("Добавить ???", [&](ScriptedUser&, ui::Window& w) {
      dict::FIR = 5;
      w.userActivate();  // the firm entry now shows 5
    });
    on2("Добавить ???", restore);
    on2("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      read(w, after);
      u.press(w, "?CANCEL");
    });
    on2(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  });
  EXPECT_EQ(before, (std::vector<std::string>{"", "", ""}));  // a blank firm entry shows 0 as blank
  EXPECT_EQ(after, (std::vector<std::string>{"1", "62", "Покупатели"}));
}

TEST_F(FormTest, DuplicateAccountNumbersAreKeptAndDeleteRemovesOneRow) {
  insert("50", "Касса валютная");
  std::vector<std::string> numbers, names;
  onList([&](ScriptedUser& u, ui::Window& w) {
    numbers = column(w);
    u.selectRow(w, "?BROWSE:1", 1);
    u.press(w, "?DELETE:4");
  });
  on("Удалить ???", [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?OK"); });
  onList([&](ScriptedUser& u, ui::Window& w) {
    names = column(w, 1);
    u.press(w, "?CLOSE");
  });
  run(review::PLN_TAB);
  EXPECT_EQ(numbers, (std::vector<std::string>{"50", "50", "51"}));
  EXPECT_EQ(names, (std::vector<std::string>{"Касса валютная", "Расчетный счет"}));
  EXPECT_EQ(accountsOnDisk(), (std::vector<Account>{bank, {3, "50", "Касса валютная", 1}}));
  EXPECT_EQ(boxes.count(), 0u);
}

}  // namespace
}  // namespace zelk::test
