// The chart lists: the firm's rows by account number, the fragment search with its
// buttons and entry, the picks, the locator, and what the two lists do differently.
// These tests run without "qvt.env" (only A-Z fold); the Cyrillic pairs are the
// script tests' business, each in a process of its own.
#include "fixture.h"

namespace zelk::test {
namespace {

namespace response = fw::response;

class ListTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    for (const Account& a : accounts) addAccount(a);
  }
  const std::vector<Account> accounts = {
      {1, "60", "Расчеты с поставщиками", 1}, {2, "50", "Касса", 1},      {3, "51", "Расчетный счет BANK", 2},
      {4, "a10", "Прочие", 1},               {5, "A02", "Подотчет", 1},   {6, "50", "касса валютная", 1},
      {7, "70", "Firm zero", 0},              {8, "52", "Валютный bank", 1},
  };
};

TEST_F(ListTest, TheWindowShowsTheFirmsRowsByAccountNumber) {
  std::vector<std::string> numbers, names, headers;
  std::string firm, firmName, firmLabel, fragmentShown;
  bool helpHidden = false, firmIsEntry = true;
  onList([&](ScriptedUser& u, ui::Window& w) {
    numbers = column(w, 0);
    names = column(w, 1);
    for (const ui::ListColumn& c : w.columns(w.number("?BROWSE:1"))) headers.push_back(cp::toUtf8(c.header));
    firm = text(w, "?FIR");
    firmName = text(w, "?N_FIR_A");
    firmLabel = text(w, "?STRING4");
    fragmentShown = text(w, "?NAME_P");
    helpHidden = w.hidden(w.number("?HELP"));
    firmIsEntry = w.control(w.number("?FIR")).kind == ui::Kind::Entry ||
                  w.control(w.number("?N_FIR_A")).kind == ui::Kind::Entry;
    u.press(w, "?CLOSE");
  });
  EXPECT_EQ(run(review::PLN_TAB), response::kCompleted);
  // Case is ignored in the order; duplicates keep the order they were added in.
  EXPECT_EQ(numbers, (std::vector<std::string>{"50", "50", "52", "60", "A02", "a10"}));
  EXPECT_EQ(names, (std::vector<std::string>{"Касса", "касса валютная", "Валютный bank", "Расчеты с поставщиками",
                                             "Подотчет", "Прочие"}));
  EXPECT_EQ(headers, (std::vector<std::string>{"Номер счета", "Наименование счета"}));
  EXPECT_EQ(firm, "1");
  EXPECT_EQ(firmName, "ООО Ромашка");
  EXPECT_EQ(firmLabel, "Фирма №");
  EXPECT_EQ(fragmentShown, "");
  EXPECT_TRUE(helpHidden);
  EXPECT_FALSE(firmIsEntry);
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(ListTest, FirmZeroShowsItsOwnRowsAndTheCodeAsZero) {
  dict::FIR = 0;
  std::vector<std::string> numbers;
  std::string firm;
  onList([&](ScriptedUser& u, ui::Window& w) {
    numbers = column(w);
    firm = text(w, "?FIR");
    u.press(w, "?CLOSE");
  });
  run(review::PLN_TAB);
  EXPECT_EQ(numbers, (std::vector<std::string>{"70"}));
  EXPECT_EQ(firm, "0");
}

TEST_F(ListTest, SearchAndResetButtonsAndOtherFirmsRowsNeverShow) {
  std::vector<std::string> found, afterReset;
  std::string shownAfterReset, variableAfterReset;
  onList([&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?NAME_P", "bank");  // firm 2's "BANK" matches too, but is not the firm's
    u.press(w, "?BUTTON8");
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    found = column(w, 1);
    u.press(w, "?BUTTON9");
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    afterReset = column(w);
    shownAfterReset = text(w, "?NAME_P");
    variableAfterReset = fragment();
    u.press(w, "?CLOSE");
  });
  run(review::PLN_TAB);
  EXPECT_EQ(found, (std::vector<std::string>{"Валютный bank"}));
  EXPECT_EQ(afterReset.size(), 6u);
  EXPECT_EQ(shownAfterReset, "");
  EXPECT_EQ(variableAfterReset, "");
}

TEST_F(ListTest, TheHighlightedRowBringsBackTheFragmentItWasReadWith) {
  std::string typedThenMoved, variableThenMoved, emptyShown;
  int emptyRows = -1;
  std::vector<std::string> withRestored;
  onList([&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?NAME_P", "bank");
    u.press(w, "?BUTTON8");
  });
  onList([&](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON9"); });  // every row, a blank fragment
  onList([&](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?NAME_P", "qqq");  // typed, not applied
    u.selectRow(w, "?BROWSE:1", 3);
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    typedThenMoved = text(w, "?NAME_P");
    variableThenMoved = fragment();
    u.press(w, "?BUTTON8");  // searches with the restored, blank fragment
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    withRestored = column(w);
    u.type(w, "?NAME_P", "nosuch");
    u.press(w, "?BUTTON8");
  });
  onList([&](ScriptedUser& u, ui::Window& w) {
    emptyRows = w.rowCount(w.number("?BROWSE:1"));
    emptyShown = fragment();  // no row to restore from: the typed fragment stays
    u.press(w, "?CLOSE");
  });
  run(review::PLN_TAB);
  EXPECT_EQ(typedThenMoved, "");
  EXPECT_EQ(variableThenMoved, "");
  EXPECT_EQ(withRestored.size(), 6u);
  EXPECT_EQ(emptyRows, 0);
  EXPECT_EQ(emptyShown, "nosuch");
}

TEST_F(ListTest, TheFirstListOpensBlankTheSecondKeepsTheLastFragment) {
  dict::NAME_P = "bank";
  std::vector<std::string> first, second;
  std::string secondShown;
  onList([&](ScriptedUser& u, ui::Window& w) {
    first = column(w);
    u.type(w, "?NAME_P", "bank");
    u.press(w, "?BUTTON8");
  });
  onList([&](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  run(review::PLN_TAB);
  EXPECT_EQ(first.size(), 6u);
  EXPECT_EQ(fragment(), "bank");

  onList([&](ScriptedUser& u, ui::Window& w) {
    second = column(w, 1);
    secondShown = text(w, "?NAME_P");
    u.press(w, "?BUTTON9");  // blanks the fragment of either list
  });
  onList([&](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  run(review::PLN_TAB1);
  EXPECT_EQ(second, (std::vector<std::string>{"Валютный bank"}));
  EXPECT_EQ(secondShown, "bank");
  EXPECT_EQ(fragment(), "");
}

TEST_F(ListTest, SelectPutsTheHighlightedRowIntoThePickOfItsList) {
  struct Case {
    void (*list)();
    int row;
    int picked, debit, credit;
  } cases[] = {
      {review::PLN_TAB, 4, 1, 1, -1},   // "60"
      {review::PLN_TAB1, 2, 6, -1, 6},  // the second "50"
  };
  for (const Case& c : cases) {
    dict::PLN_AD = -1;
    dict::PLN_AK = -1;
    onList([&](ScriptedUser& u, ui::Window& w) {
      u.selectRow(w, "?BROWSE:1", c.row);
      u.press(w, "?SELECT:2");
    });
    EXPECT_EQ(run(c.list), response::kCompleted);
    EXPECT_EQ(dict::PLN_AD.load(), c.debit);
    EXPECT_EQ(dict::PLN_AK.load(), c.credit);
  }
  EXPECT_TRUE(user.finished());
}

TEST_F(ListTest, SelectWithNoRowOnShowPicksZeroAndCloseLeavesThePickAlone) {
  dict::FIR = 9;  // a firm without rows
  dict::PLN_AD = 5;
  onList([&](ScriptedUser& u, ui::Window& w) { u.press(w, "?SELECT:2"); });
  EXPECT_EQ(run(review::PLN_TAB), response::kCompleted);
  EXPECT_EQ(dict::PLN_AD.load(), 0);

  dict::FIR = 1;
  dict::PLN_AD = 5;
  onList([&](ScriptedUser& u, ui::Window& w) {
    u.selectRow(w, "?BROWSE:1", 2);
    u.press(w, "?CLOSE");
  });
  EXPECT_EQ(run(review::PLN_TAB), response::kCompleted);
  EXPECT_EQ(dict::PLN_AD.load(), 5);
}

TEST_F(ListTest, ADoubleClickOpensTheRowForChangeWithoutPicking) {
  std::string formTitle, formName;
  onList([&](ScriptedUser& u, ui::Window& w) { u.doubleClick(w, "?BROWSE:1", 4); });
  then([&](ScriptedUser& u, ui::Window& w) {
    formTitle = title(w);
    formName = text(w, "?PLN:NAME");
    u.press(w, "?CANCEL");
  });
  onList([&](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  run(review::PLN_TAB);
  EXPECT_EQ(formTitle, "Изменить ???");
  EXPECT_EQ(formName, "Расчеты с поставщиками");
  EXPECT_EQ(dict::PLN_AD.load(), 0);
}

TEST_F(ListTest, TypedCharactersFindTheAccountNumberIgnoringCase) {
  std::vector<int> at;
  for (char c : std::string("a1")) {
    onList([c](ScriptedUser& u, ui::Window& w) { u.key(w, "?BROWSE:1", static_cast<unsigned char>(c)); });
    onList([&](ScriptedUser&, ui::Window& w) { at.push_back(w.selectedRow(w.number("?BROWSE:1"))); });
  }
  onList([](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  run(review::PLN_TAB);
  EXPECT_EQ(at, (std::vector<int>{5, 6}));  // "A02", then "a10"
}

}  // namespace
}  // namespace zelk::test
