// The partner lists PR_TTT and PR_TTT1 on both back ends: the rows in code order,
// the search by fragment shared by both lists, the picks, the partner form's
// requests, the empty list, the locator and the window places.
#include <filesystem>

#include "fixture.h"
#include "platform/framework/ini.h"

namespace zelk::test {
namespace {

namespace response = fw::response;

class ListsTest : public PartnersTest {
 protected:
  // On the open list: highlight row (0: leave it) and press button.
  void onList(int row, const char* button) { pressInList(kListTitle, row, button); }
  void closeList() { pressInList(kListTitle, 0, "?CLOSE"); }
  // The codes shown, then the list closed.
  void readCodes(std::vector<std::string>& into) {
    on(kListTitle, [&into](ScriptedUser& u, ui::Window& w) {
      into = column(w);
      u.press(w, "?CLOSE");
    });
  }
  void search(std::string fragment) {
    on(kListTitle, [fragment](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?NAME_D", ansi(fragment));
      u.press(w, "?BUTTON8");
    });
  }
  void addNamedPartners() {
    addPartner("000300", "Ромашка", "ООО \"РОМАШКА\"");
    addPartner("000100", "Локо", "АО \"Локо-Банк\"");
    addPartner("A00001", "касса", "Касса предприятия");
    addPartner("000200", "ИП Иванов", "Иванов Иван Иванович");
  }
};
INSTANTIATE_TEST_SUITE_P(Backends, ListsTest, ::testing::ValuesIn(kRegisterBackends), backendName);

TEST_P(ListsTest, ShowEveryPartnerInCodeOrderWithTheListsControls) {
  addNamedPartners();
  for (auto list : {review::PR_TTT, review::PR_TTT1}) {
    std::vector<std::string> codes, names, hidden, shown, headers;
    std::string windowTitle;
    int lineHeight = -1;
    on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
      windowTitle = title(w);
      codes = column(w, 0);
      names = column(w, 1);
      const int lst = w.number("?BROWSE:1");
      for (const ui::ListColumn& c : w.columns(lst)) headers.push_back(cp::toUtf8(c.header));
      lineHeight = w.lineHeight(lst);
      for (int n = 1; n <= w.last(); ++n)
        if (w.control(n).kind == ui::Kind::Button) (w.hidden(n) ? hidden : shown).push_back(w.control(n).name);
      u.rightClick(w, "?BROWSE:1", 3);  // no popup: the row is highlighted, nothing more
      u.press(w, "?CLOSE");
    });
    list();
    EXPECT_EQ(dict::GLOBALRESPONSE, response::kCompleted);
    EXPECT_EQ(windowTitle, "Список партнеров");
    EXPECT_EQ(codes, (std::vector<std::string>{"000100", "000200", "000300", "A00001"}));
    EXPECT_EQ(names, (std::vector<std::string>{"АО \"Локо-Банк\"", "Иванов Иван Иванович", "ООО \"РОМАШКА\"",
                                               "Касса предприятия"}));
    EXPECT_EQ(headers, (std::vector<std::string>{"Код", "Наименование"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"?BUTTON8", "?BUTTON9", "?SELECT:2", "?VIEW:3", "?INSERT:4", "?CLOSE"}));
    EXPECT_EQ(hidden, (std::vector<std::string>{"?CHANGE:4", "?DELETE:4", "?HELP"}));
    if (list == review::PR_TTT1) {
      EXPECT_EQ(lineHeight, 0);  // the font's
    }
    EXPECT_EQ(boxCount(), 0u);
  }
}

// Another program wrote a name with letters Windows Cyrillic lacks into a register in
// UTF8: the list shows every partner, that one with a substitute for each such letter.
// Only a register in UTF8 holds such letters.
class ForeignLettersTest : public ListsTest {};
INSTANTIATE_TEST_SUITE_P(Utf8, ForeignLettersTest, ::testing::Values(kRegisterBackends[2]), backendName);

TEST_P(ForeignLettersTest, ANameWithLettersTheCodePageLacksHidesNoPartner) {
  addNamedPartners();
  ASSERT_EQ(storage::odbc::runScript(storage::odbc::connectionString(),
                                     "INSERT INTO \"PARTNER\" (\"code\", \"SHORTNAME\", \"ORGNAME\") VALUES "
                                     "('000150', '中餐', 'Ресторан «中餐» 😀');")
                .code,
            0);
  std::vector<std::string> codes, names;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    codes = column(w, 0);
    names = column(w, 1);
    u.press(w, "?CLOSE");
  });
  review::PR_TTT();
  EXPECT_EQ(codes, (std::vector<std::string>{"000100", "000150", "000200", "000300", "A00001"}));
  EXPECT_EQ(names, (std::vector<std::string>{"АО \"Локо-Банк\"", "Ресторан «??» ?", "Иванов Иван Иванович",
                                             "ООО \"РОМАШКА\"", "Касса предприятия"}));
  EXPECT_EQ(boxCount(), 0u);
}

TEST_P(ListsTest, SelectLeavesTheCodeAsANumberInTheSidesPick) {
  struct Case {
    const char* code;
    std::int32_t pick;
  } cases[] = {{"000042", 42}, {"070000", 70000}};
  for (const Case& c : cases) addPartner(c.code, "p");
  for (int i = 0; i < 2; ++i) {
    for (bool credit : {false, true}) {
      SCOPED_TRACE(std::string(cases[i].code) + (credit ? " credit" : " debit"));
      dict::PAR_AD = 0;
      dict::PAR_AK = 0;
      onList(i + 1, "?SELECT:2");
      (credit ? review::PR_TTT1 : review::PR_TTT)();
      EXPECT_EQ(dict::GLOBALRESPONSE, response::kCompleted);
      EXPECT_EQ((credit ? dict::PAR_AK : dict::PAR_AD).load(), cases[i].pick);
      EXPECT_EQ((credit ? dict::PAR_AD : dict::PAR_AK).load(), 0);
    }
  }
  EXPECT_EQ(boxCount(), 0u);
}

// A partner whose code a posting would store in another form (six digits) would put
// another partner's code, or none, into the posting: its pick is refused on either
// side with message 16, and the list stays open.
TEST_P(ListsTest, APartnerWhoseCodeIsNotSixDigitsIsNotPicked) {
  const char* const codes[] = {"42", " 77", "12A456", "-00012", "A12345", "000000"};
  for (const char* code : codes) addPartner(code, "p");
  std::vector<std::string> shown;
  readCodes(shown);
  review::PR_TTT();
  ASSERT_EQ(shown.size(), std::size(codes));
  for (int row = 1; row <= static_cast<int>(std::size(codes)); ++row) {
    for (bool credit : {false, true}) {
      SCOPED_TRACE(shown[static_cast<std::size_t>(row - 1)] + (credit ? " credit" : " debit"));
      boxes.clear();
      dict::PAR_AD = 0;
      dict::PAR_AK = 0;
      bool stayed = false;
      onList(row, "?SELECT:2");
      on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
        stayed = true;
        u.press(w, "?CLOSE");
      });
      (credit ? review::PR_TTT1 : review::PR_TTT)();
      EXPECT_TRUE(stayed);
      EXPECT_EQ(dict::PAR_AD.load(), 0);
      EXPECT_EQ(dict::PAR_AK.load(), 0);
      ASSERT_EQ(boxCaptions(), std::vector<std::string>{"Ошибка содержимого поля"});
      EXPECT_EQ(cp::toUtf8(boxes.last().text), "Поле Код содержит недопустимое значение.");
    }
  }
}

TEST_P(ListsTest, TheFragmentFindsFullAndShortNamesAsTypedAndStaysForTheOtherList) {
  std::filesystem::copy_file(std::string(ZELK_SOURCE_DIR) + "/app/" + fw::kCaseTablesFile, dir / fw::kCaseTablesFile);
  addNamedPartners();
  std::vector<std::string> full, shortOnly, capitals, inTwin, afterReset, nextOpening;
  search("банк");  // in "АО "Локо-Банк"" once lower-cased
  readCodes(full);
  review::PR_TTT();
  EXPECT_EQ(full, (std::vector<std::string>{"000100"}));
  EXPECT_EQ(cp::toUtf8(dict::NAME_D.str()), "банк");

  search("ип ");  // only the short name "ИП Иванов" holds it
  readCodes(shortOnly);
  review::PR_TTT1();
  EXPECT_EQ(shortOnly, (std::vector<std::string>{"000200"}));

  search("РОМАШКА");  // the fragment is not lower-cased
  readCodes(capitals);
  review::PR_TTT();
  EXPECT_TRUE(capitals.empty());

  search("касс");
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?NAME_D"), "касс");
    u.press(w, "?CLOSE");
  });
  review::PR_TTT();
  readCodes(inTwin);  // the twin opens narrowed by the same fragment
  review::PR_TTT1();
  EXPECT_EQ(inTwin, (std::vector<std::string>{"A00001"}));

  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON9"); });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    afterReset = column(w);
    EXPECT_EQ(text(w, "?NAME_D"), "");
    u.press(w, "?CLOSE");
  });
  review::PR_TTT1();
  readCodes(nextOpening);
  review::PR_TTT();
  const std::vector<std::string> all{"000100", "000200", "000300", "A00001"};
  EXPECT_EQ(afterReset, all);
  EXPECT_EQ(nextOpening, all);
}

TEST_P(ListsTest, ViewAndInsertOpenTheFormAndADoubleClickIsRefused) {
  addNamedPartners();
  std::string viewTitle, insertTitle, viewCode, insertCode;
  bool allReadOnly = false;
  onList(2, "?VIEW:3");
  on("View Record", [&](ScriptedUser& u, ui::Window& w) {
    viewTitle = title(w);
    viewCode = text(w, "?PAR:FLD_CODE");
    allReadOnly = w.readOnly(w.number("?PAR:ORGNAME")) && w.readOnly(w.number("?PAR:CODE_KPP"));
    u.press(w, "?OK");
  });
  onList(0, "?INSERT:4");
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    insertTitle = title(w);
    insertCode = text(w, "?PAR:FLD_CODE");
    u.press(w, "?CANCEL");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) { u.doubleClick(w, "?BROWSE:1", 3); });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.expectBox(ansi("Неверный запрос"), ansi("Эта форма не может быть использована для изменения записи"));
    u.press(w, "?CLOSE");
  });
  review::PR_TTT();
  EXPECT_EQ(viewTitle, "View Record");
  EXPECT_EQ(viewCode, "000200");
  EXPECT_TRUE(allReadOnly);
  EXPECT_EQ(insertTitle, "Добавить ???");
  EXPECT_EQ(insertCode, "");
  EXPECT_EQ(boxCaptions(), (std::vector<std::string>{"Неверный запрос"}));
  EXPECT_EQ(partnersOnDisk().size(), 4u);
  EXPECT_EQ(dict::PAR_AD.load(), 0);  // a double click never selects
}

TEST_P(ListsTest, AnEmptyListDisablesViewAndSelectPicksNothing) {
  bool viewDisabled = false, selectDisabled = true;
  dict::PAR_AK = 9;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    viewDisabled = w.disabled(w.number("?VIEW:3"));
    selectDisabled = w.disabled(w.number("?SELECT:2"));
    u.doubleClick(w, "?BROWSE:1", 1);
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?SELECT:2"); });
  review::PR_TTT1();
  EXPECT_TRUE(viewDisabled);
  EXPECT_FALSE(selectDisabled);
  EXPECT_EQ(dict::PAR_AK.load(), 0);
  EXPECT_EQ(boxCount(), 0u);
}

TEST_P(ListsTest, ATypedCharacterMovesToTheFirstCodeAtOrAfterIt) {
  for (int i = 1; i <= 60; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%06d", i * 10000);
    addPartner(code, "p");
  }
  std::string at, first;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) { u.key(w, "?BROWSE:1", '3'); });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    const int lst = w.number("?BROWSE:1");
    at = column(w).at(static_cast<std::size_t>(w.selectedRow(lst)) - 1);
    u.press(w, "?CLOSE");
  });
  review::PR_TTT();
  EXPECT_EQ(at, "300000");
}

TEST_P(ListsTest, EachListKeepsItsOwnPlaceInTheSettings) {
  fw::globalIni().Init((dir.path() / "ZELK.INI").string(), 0, 0);
  addNamedPartners();
  const ui::Rect debitPlace{20, 30, 450, 300}, creditPlace{60, 70, 420, 260};
  auto moveTo = [this](ui::Rect place) {
    on(kListTitle, [place](ScriptedUser& u, ui::Window& w) {
      w.userResize(place, false, false);
      u.press(w, "?CLOSE");
    });
  };
  moveTo(debitPlace);
  review::PR_TTT();
  moveTo(creditPlace);
  review::PR_TTT1();
  ui::Rect debitAgain, creditAgain, listAgain;
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    debitAgain = w.place();
    listAgain = w.rect(w.number("?BROWSE:1"));
    u.press(w, "?CLOSE");
  });
  review::PR_TTT();
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    creditAgain = w.place();
    u.press(w, "?CLOSE");
  });
  review::PR_TTT1();
  EXPECT_EQ(debitAgain, debitPlace);
  EXPECT_EQ(creditAgain, creditPlace);
  EXPECT_GT(listAgain.w, 380);  // laid out for the restored size at once
  EXPECT_EQ(fw::globalIni().fetch("pr_ttt", "Width"), "450");
  EXPECT_EQ(fw::globalIni().fetch("pr_ttt1", "XPos"), "60");
}

}  // namespace
}  // namespace zelk::test
