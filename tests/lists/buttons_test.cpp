// The list's buttons, keys and clicks: enabling by the row count, the double click,
// the dead editing keys, the right click, select on an empty list.
#include "lists/fixture.h"

namespace zelk::test {
namespace {

struct ButtonState {
  bool enabled, hidden;
  bool operator==(const ButtonState&) const = default;
};
ButtonState state(ui::Window& w, int c) { return {!w.disabled(c), w.hidden(c)}; }

TEST_F(ListsTest, ButtonsFollowTheRowCount) {
  constexpr ButtonState on{true, false}, off{false, false}, hiddenOn{true, true}, hiddenOff{false, true};
  struct Case {
    const char* name;
    int rows;
    std::uint8_t request;
    bool hideSelect;
    std::vector<std::uint32_t> attrs;  // of the window definition
    ButtonState select, view, insert, change, remove;
    bool selectDefault;
    std::uint8_t closeAnswer;
  };
  const std::uint32_t H = ui::kHidden, D = ui::kDisabled;
  const Case cases[] = {
      {"empty", 0, 0, false, {}, on, off, on, off, off, false, fw::response::kCompleted},
      {"rows", 3, 0, false, {}, on, on, on, on, on, false, fw::response::kCompleted},
      {"selecting, empty", 0, fw::request::kSelect, false, {}, off, off, on, off, off, false,
       fw::response::kCancelled},
      {"selecting, rows", 3, fw::request::kSelect, false, {}, on, on, on, on, on, true, fw::response::kCancelled},
      {"hide select", 3, 0, true, {}, hiddenOff, on, on, on, on, false, fw::response::kCompleted},
      {"hide select while selecting", 3, fw::request::kSelect, true, {}, on, on, on, on, on, true,
       fw::response::kCancelled},
      {"hidden buttons, empty", 0, 0, false, {0, 0, 0, H, H, H, H}, on, hiddenOff, hiddenOn, hiddenOff, hiddenOff,
       false, fw::response::kCompleted},
      {"hidden buttons, rows", 3, 0, false, {0, 0, 0, H, H, H, H}, on, hiddenOn, hiddenOn, hiddenOn, hiddenOn, false,
       fw::response::kCompleted},
      {"insert keeps its state", 3, 0, false, {0, 0, 0, 0, D}, on, on, off, on, on, false,
       fw::response::kCompleted},
      // Opened to view: insert, change and delete are not the list's buttons.
      {"viewing, empty", 0, fw::request::kView, false, {}, on, off, on, on, on, false, fw::response::kCompleted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearFirms();
    addFirms(c.rows);
    ListOptions o;
    o.hideSelect = c.hideSelect;
    o.attrs = c.attrs;
    std::vector<ButtonState> seen;
    bool isDefault = false;
    then([&](ui::Window& w) {
      for (int b : {ctl::kSelect, ctl::kView, ctl::kInsert, ctl::kChange, ctl::kDelete}) seen.push_back(state(w, b));
      isDefault = w.isDefault(ctl::kSelect);
      user.press(w, "?CLOSE");
    });
    dict::GLOBALREQUEST = c.request;
    std::uint8_t answer = runFirmList(o);
    EXPECT_EQ(seen, (std::vector<ButtonState>{c.select, c.view, c.insert, c.change, c.remove}));
    EXPECT_EQ(isDefault, c.selectDefault);
    EXPECT_EQ(answer, c.closeAnswer);
    EXPECT_TRUE(user.finished());
  }
}

TEST_F(ListsTest, DoubleClickStartsChangeEvenWithTheButtonHiddenAndSelectsWhileSelecting) {
  struct Case {
    const char* name;
    int rows;
    std::uint8_t request;
    std::vector<std::uint32_t> attrs;
    int row;               // the row clicked
    int formRequest;       // the request the form saw; 0 no form
    int formCode;          // the record buffer's code it saw
    int pick;              // FIR after the list; -1 unchanged
  };
  const std::uint32_t H = ui::kHidden;
  const Case cases[] = {
      {"change shown", 3, 0, {}, 2, fw::request::kChange, 2, -1},
      {"change hidden", 3, 0, {0, 0, 0, 0, 0, H}, 3, fw::request::kChange, 3, -1},
      {"every button hidden", 3, 0, {0, 0, H, H, H, H, H}, 1, fw::request::kChange, 1, -1},
      {"empty list", 0, 0, {}, 1, 0, 0, -1},
      {"outside the rows", 3, 0, {}, 0, 0, 0, -1},
      {"selecting", 3, fw::request::kSelect, {}, 2, 0, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    formCalls.clear();
    clearFirms();
    addFirms(c.rows);
    dict::FIR = 99;
    ListOptions o;
    o.attrs = c.attrs;
    bool openAfter = false;
    then([&](ui::Window& w) { user.doubleClick(w, "?BROWSE:1", c.row); });
    if (c.pick < 0)  // else the list closes on the pick
      then([&](ui::Window& w) {
        openAfter = w.isOpen() && w.title() == firmTitle();
        user.press(w, "?CLOSE");
      });
    dict::GLOBALREQUEST = c.request;
    std::uint8_t answer = runFirmList(o, [](TestList& tw, TestBrowse&) {
      tw.onSelect = [] { dict::FIR = dict::F_NAME().rec.KOD; };
    });
    if (c.formRequest) {
      ASSERT_EQ(formCalls.size(), 1u);
      EXPECT_EQ(formCalls[0].request, c.formRequest);
      EXPECT_EQ(formCalls[0].code, c.formCode);
    } else {
      EXPECT_TRUE(formCalls.empty());
    }
    EXPECT_EQ(dict::FIR.load(), c.pick < 0 ? 99 : c.pick);
    if (c.pick >= 0) EXPECT_EQ(answer, fw::response::kCompleted);
    else EXPECT_TRUE(openAfter);
    EXPECT_TRUE(user.finished());
  }
}

TEST_F(ListsTest, InsDelAndCtrlEnterAreDeadUnlessEditViaPopupIsOn) {
  addFirms(3);
  const int keys[] = {ui::key::kInsert, ui::key::kDelete, ui::key::kCtrlEnter, ui::key::kShiftEnter};
  bool alerted = true;
  then([&](ui::Window& w) {
    alerted = false;
    for (int k : keys) {
      alerted = alerted || w.alerted(k);
      user.key(w, "?BROWSE:1", k);
    }
    EXPECT_TRUE(w.alerted(ui::key::kMouseLeft2));
  });
  then([&](ui::Window& w) { user.press(w, "?CLOSE"); });
  runFirmList();
  EXPECT_FALSE(alerted);
  EXPECT_TRUE(formCalls.empty());

  // The framework's own behaviour, with edit-via-popup left on: the keys start the actions.
  then([&](ui::Window& w) {
    for (int k : keys) user.key(w, "?BROWSE:1", k);
  });
  then([&](ui::Window& w) { user.press(w, "?CLOSE"); });
  runFirmList({}, [](TestList&, TestBrowse& b) { b.editKeys = true; });
  std::vector<int> requests;
  for (const FormCall& f : formCalls) requests.push_back(f.request);
  EXPECT_EQ(requests, (std::vector<int>{fw::request::kInsert, fw::request::kDelete, fw::request::kChange,
                                        fw::request::kView}));
}

TEST_F(ListsTest, RightClickHighlightsTheRowWithoutAReset) {
  addFirms(4);
  int resetsBefore = -1, resetsAfter = -1, selected = 0, code = 0;
  then([&](ui::Window& w) {
    resetsBefore = TestList::running->resets;
    user.rightClick(w, "?BROWSE:1", 3);
  });
  then([&](ui::Window& w) {
    resetsAfter = TestList::running->resets;
    selected = w.selectedRow(ctl::kList);
    code = dict::F_NAME().rec.KOD;
    user.press(w, "?SELECT:2");  // the pick is the right-clicked row
  });
  std::uint8_t answer = runFirmList({}, [](TestList& tw, TestBrowse&) {
    tw.onSelect = [] { dict::FIR = dict::F_NAME().rec.KOD; };
  });
  EXPECT_EQ(resetsAfter, resetsBefore);
  EXPECT_EQ(selected, 3);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(dict::FIR.load(), 3);
  EXPECT_EQ(answer, fw::response::kCompleted);
  EXPECT_TRUE(formCalls.empty());
}

TEST_F(ListsTest, ANewSelectionTakesTheRowIntoTheSourcesAndResetsTheWindow) {
  addAccount(1, "50", "касса");
  addAccount(2, "51", "расчетный счет");
  int resetsBefore = -1, resetsAfter = -1;
  then([&](ui::Window& w) {
    resetsBefore = TestList::running->resets;
    dict::NAME_P = "typed";  // a fragment typed but not applied
    user.selectRow(w, "?BROWSE:1", 2);
  });
  then([&](ui::Window& w) {
    resetsAfter = TestList::running->resets;
    EXPECT_EQ(dict::PLN().rec.KOD, 2);
    EXPECT_EQ(dict::PLN().rec.NOMER, "51");
    EXPECT_EQ(dict::NAME_P.str(), "");  // the row's own value comes back
    user.press(w, "?CLOSE");
  });
  runChartList();
  EXPECT_EQ(resetsAfter, resetsBefore + 1);
}

TEST_F(ListsTest, SelectOnAnEmptyListPicksZeroAndVariablesKeepTheirValues) {
  dict::FIR = 7;
  dict::NAME_P = "abc";
  int kod = -1;
  then([&](ui::Window& w) {
    EXPECT_EQ(w.rowCount(ctl::kList), 0);
    EXPECT_EQ(dict::NAME_P.str(), "abc");
    user.press(w, "?SELECT:2");
  });
  std::uint8_t answer = runChartList({}, [&](TestList& tw, TestBrowse&) {
    tw.onSelect = [&] {
      kod = dict::PLN().rec.KOD;
      dict::FIR = dict::PLN().rec.KOD;
    };
  });
  EXPECT_EQ(kod, 0);
  EXPECT_EQ(dict::FIR.load(), 0);
  EXPECT_TRUE(dict::PLN().rec.NOMER.blank());
  EXPECT_EQ(dict::NAME_P.str(), "abc");
  EXPECT_EQ(answer, fw::response::kCompleted);
}

}  // namespace
}  // namespace zelk::test

namespace zelk::test {
namespace {

TEST_F(ListsTest, InsertIsCancelledWithoutAFormWhenPrimingFails) {
  addFirm(1, "Первая");
  addFirm(32767, "Последний номер");  // no code is left to give
  boxes.answer(fw::kButtonNo);       // "try again?" after the failed numbering
  std::vector<std::string> rows;
  then([&](ui::Window& w) { user.press(w, "?INSERT:4"); });
  then([&](ui::Window& w) {
    rows = column(w, 1);
    user.press(w, "?CLOSE");
  });
  runFirmList();
  EXPECT_TRUE(formCalls.empty());
  EXPECT_EQ(boxCaptions(), std::vector<std::string>{"Ошибка автоматического увеличения"});
  EXPECT_EQ(rows, (std::vector<std::string>{"Первая", "Последний номер"}));
}

}  // namespace
}  // namespace zelk::test
