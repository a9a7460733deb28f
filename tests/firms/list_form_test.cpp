// The firm list and the firm form: the buttons, the titles per request, view mode,
// the required entries, the key messages, delete, the history key, the empty list.
#include <thread>

#include "app/startup.h"
#include "fixture.h"

namespace zelk::test {
namespace {

namespace response = fw::response;

class ListFormTest : public FirmsTest {
 protected:
  void SetUp() override {
    FirmsTest::SetUp();
    addFirm({1, "Альфа", "C:\\A", "C:\\PLAN", "51", "C:\\RFK", "40702810000000000001", 2});
    addFirm({2, "Бета", "D:\\B", "", "51.1", "", "", 3});
  }
  // On the list: highlight row and press button.
  void onList(int row, const char* button) { pressInList(kListTitle, row, button); }
  void closeList() { pressInList(kListTitle, 0, "?CLOSE"); }
  Firm alpha{1, "Альфа", "C:\\A", "C:\\PLAN", "51", "C:\\RFK", "40702810000000000001", 2};
  Firm beta{2, "Бета", "D:\\B", "", "51.1", "", "", 3};
};

TEST_F(ListFormTest, ListsTheFirmsByCodeWithTheirColumns) {
  addFirm(9, "Дельта", "E:\\D");
  addFirm(5, "Гамма", "C:\\G");
  std::vector<std::vector<std::string>> cells;
  std::string heading;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (int c = 0; c < 4; ++c) cells.push_back(column(w, c));
    heading = cp::toUtf8(w.columns(1).at(3).header);
    u.press(w, "?CLOSE");
  });
  EXPECT_EQ(runList(), response::kCompleted);
  EXPECT_EQ(cells[0], (std::vector<std::string>{"1", "2", "5", "9"}));
  EXPECT_EQ(cells[1], (std::vector<std::string>{"Альфа", "Бета", "Гамма", "Дельта"}));
  EXPECT_EQ(cells[2], (std::vector<std::string>{"51", "51.1", "", ""}));
  EXPECT_EQ(cells[3], (std::vector<std::string>{"C:\\A", "D:\\B", "C:\\G", "E:\\D"}));
  EXPECT_EQ(heading, "Путь к базам ЗЕЛК");
}

TEST_F(ListFormTest, TheFormsTitleFollowsTheButton) {
  struct Case {
    const char* button;
    std::string title;
  } cases[] = {
      {"?VIEW:3", "Просмотр записи"},
      {"?INSERT:4", "Добавить ???"},
      {"?CHANGE:4", "Изменить ???"},
      {"?DELETE:4", "Удалить ???"},
  };
  std::vector<std::string> titles;
  for (const Case& c : cases) {
    onList(2, c.button);
    then([&](ScriptedUser& u, ui::Window& w) {
      titles.push_back(title(w));
      u.press(w, "?CANCEL");
    });
  }
  closeList();
  runList();
  EXPECT_EQ(titles, (std::vector<std::string>{"Просмотр записи", "Добавить ???", "Изменить ???", "Удалить ???"}));
  EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{alpha, beta}));  // the cancelled insert gave its code back
}

TEST_F(ListFormTest, ViewModeIsReadOnlyAndSavesNothing) {
  std::vector<std::string> readOnly;
  bool optionReadOnly = true;
  std::string shownName, focusAfterOk;
  onList(1, "?VIEW:3");
  on("Просмотр записи", [&](ScriptedUser& u, ui::Window& w) {
    for (int n = 1; n <= w.last(); ++n)
      if (w.control(n).kind == ui::Kind::Entry && w.readOnly(n)) readOnly.push_back(w.control(n).name);
    optionReadOnly = w.readOnly(w.number("?FNM:N_KL"));
    shownName = text(w, "?FNM:NAME");
    u.choose(w, "?OPTION1:RADIO3");  // selectable, not saved
    u.press(w, "?OK");
  });
  closeList();
  runList();
  EXPECT_EQ(readOnly, (std::vector<std::string>{"?FNM:KOD", "?FNM:SCH_B", "?FNM:NAME", "?FNM:PATH",
                                                "?FNM:PATH_PLN", "?FNM:RFKPATH", "?FNM:N_SC_P"}));
  EXPECT_FALSE(optionReadOnly);
  EXPECT_EQ(shownName, "Альфа");
  EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{alpha, beta}));
}

TEST_F(ListFormTest, ABlankRequiredEntryStopsTheCompletionWithTheFocusOnIt) {
  for (const char* blank : {"?FNM:KOD", "?FNM:NAME", "?FNM:PATH"}) {
    SCOPED_TRACE(blank);
    std::string focus, stillTitle;
    onList(0, "?INSERT:4");
    on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?FNM:NAME", ansi("Гамма"));
      u.type(w, "?FNM:PATH", "C:\\G");
      u.type(w, blank, "");
      u.press(w, "?OK");
    });
    then([&](ScriptedUser& u, ui::Window& w) {
      stillTitle = title(w);
      focus = w.control(w.focus()).name;
      u.press(w, "?CANCEL");
    });
    closeList();
    runList();
    EXPECT_EQ(stillTitle, "Добавить ???");
    EXPECT_EQ(focus, blank);
    EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{alpha, beta}));
  }
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(ListFormTest, ACodeInUseIsRefusedWithItsMessageAndTheFormStays) {
  // Insert with the code of another firm: message 15. Change to it: message 28.
  struct Case {
    int row;
    const char* button;
    const char* title;
    std::string caption, text;
  } cases[] = {
      {0, "?INSERT:4", "Добавить ???", "Ошибка дублирования в ключе",
       "Добавление этой записи создает дублирование для ключа: FNm:key_1"},
      {2, "?CHANGE:4", "Изменить ???", "Запись не обновляется", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    boxes.clear();
    std::string stillTitle, name, focus;
    onList(c.row, c.button);
    on(c.title, [&](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?FNM:KOD", "1");
      u.type(w, "?FNM:NAME", ansi("Гамма"));
      u.type(w, "?FNM:PATH", "C:\\G");
      u.press(w, "?OK");
    });
    then([&](ScriptedUser& u, ui::Window& w) {
      stillTitle = title(w);
      name = text(w, "?FNM:NAME");
      focus = w.control(w.focus()).name;
      u.press(w, "?CANCEL");
    });
    closeList();
    runList();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(cp::toUtf8(boxes.last().caption), c.caption);
    if (!c.text.empty()) {
      EXPECT_EQ(cp::toUtf8(boxes.last().text), c.text);
    }
    EXPECT_EQ(stillTitle, c.title);
    EXPECT_EQ(name, "Гамма");
    EXPECT_EQ(focus, "?FNM:KOD");  // the entry after the code's label
    EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{alpha, beta}));
  }
}

TEST_F(ListFormTest, ChangeWritesTheNewFolderAndTheListShowsIt) {
  std::string listed;
  onList(2, "?CHANGE:4");
  on("Изменить ???", [](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?FNM:PATH"), "D:\\B");
    u.type(w, "?FNM:PATH", "D:\\NEW");
    u.press(w, "?OK");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    listed = column(w, 3).at(1);
    u.press(w, "?CLOSE");
  });
  runList();
  Firm changed = beta;
  changed.path = "D:\\NEW";
  EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{alpha, changed}));
  EXPECT_EQ(listed, "D:\\NEW");
}

TEST_F(ListFormTest, ADoubleClickOnARowChangesThatFirm) {
  std::string titleSeen, name;
  on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.doubleClick(w, "?BROWSE:1", 2); });
  then([&](ScriptedUser& u, ui::Window& w) {
    titleSeen = title(w);
    name = text(w, "?FNM:NAME");
    u.press(w, "?CANCEL");
  });
  closeList();
  runList();
  EXPECT_EQ(titleSeen, "Изменить ???");
  EXPECT_EQ(name, "Бета");
}

TEST_F(ListFormTest, DeleteRemovesTheFirmOnOkAndCloseKeepsIt) {
  for (bool ok : {false, true}) {
    onList(1, "?DELETE:4");
    on("Удалить ???", [ok](ScriptedUser& u, ui::Window& w) { u.press(w, ok ? "?OK" : "?CANCEL"); });
    closeList();
    runList();
    std::vector<Firm> want = ok ? std::vector<Firm>{beta} : std::vector<Firm>{alpha, beta};
    EXPECT_EQ(firmsOnDisk(), want) << ok;
  }
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(ListFormTest, SelectAndCloseAnswerCompletedTheCloseBoxCancelled) {
  struct Case {
    const char* how;
    std::uint8_t response;
    int fir;
  } cases[] = {{"?SELECT:2", response::kCompleted, 2}, {"?CLOSE", response::kCompleted, 7},
               {"close box", response::kCancelled, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    dict::FIR = 7;
    on(kListTitle, [&c](ScriptedUser& u, ui::Window& w) {
      u.selectRow(w, "?BROWSE:1", 2);
      if (std::string_view(c.how) == "close box") u.close(w);
      else u.press(w, c.how);
    });
    EXPECT_EQ(runList(), c.response);
    EXPECT_EQ(dict::FIR, c.fir);
  }
}

TEST_F(ListFormTest, ATypedDigitMovesToTheFirstFirmWithACodeAtLeastThatDigit) {
  addFirm(5, "Гамма");
  addFirm(8, "Дельта");
  std::vector<std::string> at;
  auto highlighted = [&](ui::Window& w) {
    at.push_back(column(w, 1).at(static_cast<std::size_t>(w.selectedRow(1) - 1)));
  };
  on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.key(w, "?BROWSE:1", '4'); });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    highlighted(w);
    u.key(w, "?BROWSE:1", '8');
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    highlighted(w);
    u.key(w, "?BROWSE:1", '2');
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    highlighted(w);
    u.press(w, "?SELECT:2");
  });
  runList();
  EXPECT_EQ(at, (std::vector<std::string>{"Гамма", "Дельта", "Бета"}));
  EXPECT_EQ(dict::FIR, 2);
}

class EmptyListTest : public FirmsTest {};

TEST_F(EmptyListTest, NoRowsDisablesChangeDeleteViewAndSelectGivesNoFirm) {
  std::vector<bool> disabledButtons;
  dict::FIR = 7;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    for (const char* b : {"?CHANGE:4", "?DELETE:4", "?VIEW:3", "?INSERT:4", "?SELECT:2"})
      disabledButtons.push_back(disabled(w, b));
    u.doubleClick(w, "?BROWSE:1", 1);  // nothing happens
  });
  then([](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(title(w), kListTitle);
    u.press(w, "?SELECT:2");
  });
  EXPECT_EQ(runList(), response::kCompleted);
  EXPECT_EQ(disabledButtons, (std::vector<bool>{true, true, true, false, false}));
  EXPECT_EQ(dict::FIR, 0);
}

// Ctrl+H puts back what the field held at the last OK in the form on this thread:
// a blank before the first. The form runs on a thread of its own here, so that it
// is its first call on that thread.
TEST_F(ListFormTest, CtrlHPutsBackTheValueOfTheLastOkOnTheThread) {
  std::string before, after;
  int system = -1;
  user.uninstall();
  std::thread t([&] {
    app::threadStart();
    ScriptedUser u2;
    u2.install();
    auto onWindow = [&u2](std::string title, std::function<void(ScriptedUser&, ui::Window&)> step) {
      u2.then([title = ansi(title), step = std::move(step)](ScriptedUser& u) { step(u, u.wait(title)); });
    };
    onWindow(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    onWindow("Добавить ???", [](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?FNM:NAME", ansi("Временно"));
      u.key(w, "?FNM:NAME", ui::key::kCtrlH);
    });
    onWindow("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      before = text(w, "?FNM:NAME");
      u.type(w, "?FNM:NAME", ansi("Гамма"));
      u.type(w, "?FNM:PATH", "C:\\G");
      u.choose(w, "?OPTION1:RADIO3");
      u.press(w, "?OK");
    });
    onWindow(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    onWindow("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      u.key(w, "?FNM:NAME", ui::key::kCtrlH);
      u.key(w, "?FNM:N_KL", ui::key::kCtrlH);
    });
    onWindow("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
      after = text(w, "?FNM:NAME");
      system = w.choice(w.number("?FNM:N_KL"));
      u.press(w, "?CANCEL");
    });
    onWindow(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
    dict::Relate::F_NAME->Open();
    firms::FNM_TAB();
    dict::Relate::F_NAME->Close();
    for (const std::string& f : u2.failures()) ADD_FAILURE() << cp::toUtf8(f);
    EXPECT_TRUE(u2.finished());
    u2.uninstall();
    app::threadEnd();
  });
  t.join();
  user.install();
  EXPECT_EQ(before, "");
  EXPECT_EQ(after, "Гамма");
  EXPECT_EQ(system, 19);  // the radio "BSS"
  ASSERT_EQ(firmsOnDisk().size(), 3u);
  EXPECT_EQ(firmsOnDisk()[2].name, "Гамма");
}

}  // namespace
}  // namespace zelk::test
